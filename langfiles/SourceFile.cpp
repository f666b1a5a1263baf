#include "langfiles/SourceFile.h"

#include "langfiles/IniCache.h"
#include "langfiles/IniNumbers.h"

namespace tabsend {

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

SourceFileCheck CheckSourceFile(const std::string& path, int slot) {
    SourceFileCheck check;
    if (path.empty()) return check;
    const auto doc = sharedIniCache().document(path);
    if (!doc) return check;
    const std::string language = doc->get(kSourceInfoSection, "Language");
    if (language.empty()) {
        check.result = SelectCheck::FileTypeNotFit;
        return check;
    }
    const std::string version = doc->get(kSourceInfoSection, "LanVer");
    if (version.empty()) {
        check.result = SelectCheck::FileTypeNotFit;
        return check;
    }
    if (slot == 1 && LeadingNumber(doc->value(kSourceInfoSection, "LanCode")) != 1.0) {
        check.result = SelectCheck::SelectEnglishFirst;
        return check;
    }
    check.result = SelectCheck::Accepted;
    check.language = language;
    check.version = version;
    return check;
}

const std::string* SelectionMessage(SelectCheck result, const Messages& texts) {
    switch (result) {
        case SelectCheck::FileTypeNotFit:
            return &texts.MsgFileTypeNotFit;
        case SelectCheck::SelectEnglishFirst:
            return &texts.MsgSelectEnglishFirst;
        case SelectCheck::Accepted:
        case SelectCheck::NotReadable:
            break;
    }
    return nullptr;
}

bool SplitBitmapText(std::string_view text, std::vector<std::uint8_t>& bytes) {
    bytes.clear();
    // Every "0x" removed (left to right, as a text replace does), commas to blanks, CR, LF
    // and tab removed.
    std::string cleaned;
    cleaned.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '0' && i + 1 < text.size() && text[i + 1] == 'x') {
            ++i;
            continue;
        }
        if (c == '\r' || c == '\n' || c == '\t') continue;
        cleaned += c == ',' ? ' ' : c;
    }
    std::size_t b = 0;
    std::size_t e = cleaned.size();
    while (b < e && cleaned[b] == ' ') ++b;
    while (e > b && cleaned[e - 1] == ' ') --e;
    if (b == e) return true;

    std::size_t start = b;
    for (std::size_t i = b; i <= e; ++i) {
        if (i < e && cleaned[i] != ' ') continue;
        const std::size_t len = i - start;
        if (len < 1 || len > 2) return false;
        int value = 0;
        for (std::size_t k = start; k < i; ++k) {
            const int d = hexDigit(cleaned[k]);
            if (d < 0) return false;
            value = value * 16 + d;
        }
        if (bytes.size() == static_cast<std::size_t>(kMaxBitmapBytes)) return false;
        bytes.push_back(static_cast<std::uint8_t>(value));
        start = i + 1;
    }
    return true;
}

}  // namespace tabsend
