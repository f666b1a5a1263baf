#pragma once
// The user messages the download, the read-back and the slot toggle show, in the chosen
// user-interface language. Default: the English texts.

#include <string>

namespace tabsend {

struct DownloadMessages {
    std::string MsgCommTimeout = "Communication timeout!";
    std::string MsgDownloadComplete = "Download complete!";
    std::string MsgDataConflict = "Communication Data conflict!";
    std::string MsgIllegalOperation = "Illegal Language operation or DEXIO is in wrong state!";
};

}  // namespace tabsend
