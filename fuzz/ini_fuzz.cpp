// The INI reader and editor with the private-profile rules: any bytes parse; an unedited
// document is written back byte for byte; a value set is read back as set (quotes and
// blanks aside); a write touches no other key.
//
// Input: the document, then "\0section\0key\0value\0other section\0other key".

#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/FuzzInput.h"
#include "langfiles/IniDocument.h"

using tabsend::IniDocument;
using tabsend::fuzz::FuzzInput;
using tabsend::fuzz::require;

namespace {

bool sameName(std::string_view a, std::string_view b) {
    return tabsend::IniNameEqual{}(tabsend::trimIniBlanks(a), tabsend::trimIniBlanks(b));
}

// A value that a reader gives back unchanged: no blanks at its ends, no pair of quotes
// around it.
bool readsBackAsIs(std::string_view v) {
    if (!v.empty() && (tabsend::isIniBlank(v.front()) || tabsend::isIniBlank(v.back()))) {
        return false;
    }
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
        return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput in(data, size);
    const std::string_view text = in.textUntil('\0');
    const std::string_view section = in.textUntil('\0');
    const std::string_view key = in.textUntil('\0');
    const std::string_view value = in.textUntil('\0');
    const std::string_view otherSection = in.textUntil('\0');
    const std::string_view otherKey = in.textUntil('\0');

    IniDocument doc = IniDocument::parse(text);
    // Byte for byte, a leading byte-order mark included.
    require(doc.serialize() == text);
    const std::string before = doc.get(section, key);
    require(doc.value(section, key) == before);
    require(!before.empty() <= doc.contains(section, key));
    const std::string otherBefore = doc.get(otherSection, otherKey);

    if (doc.set(section, key, value)) {
        require(doc.contains(section, key));
        if (readsBackAsIs(value)) require(doc.get(section, key) == value);
        const bool same = sameName(section, otherSection) && sameName(key, otherKey);
        if (!same) require(doc.get(otherSection, otherKey) == otherBefore);
        // What is written reads back the same.
        const std::string written = doc.serialize();
        const IniDocument again = IniDocument::parse(written);
        require(again.serialize() == written);
        require(again.get(section, key) == doc.get(section, key));
        require(again.get(otherSection, otherKey) == doc.get(otherSection, otherKey));
    } else {
        require(doc.serialize() == text);  // a refused write changes nothing
    }
    return 0;
}
