#include "app/BuildInfo.h"

#ifndef TABSEND_BUILD_LETTER
#error "TABSEND_BUILD_LETTER must name the build ('N' or 'C')"
#endif
#ifndef TABSEND_BUILD_NAME
#error "TABSEND_BUILD_NAME must name the build's folder"
#endif

namespace tabsend {

char BuildLetter() {
    return TABSEND_BUILD_LETTER;
}

const char* BuildName() {
    return TABSEND_BUILD_NAME;
}

std::string VersionLabel() {
    return std::string("DEX Language Tool (Ver1.6.0") + BuildLetter() + ")";
}

}  // namespace tabsend
