#pragma once
// An INI text held in memory, read and edited with the rules of the Windows private-profile
// routines:
//  - section and key names compare without regard to letter case (ASCII);
//  - blanks (space, tab) around a section name, a key, the '=' and a value are dropped;
//  - one pair of matching double or single quotes around a whole value is removed on read;
//  - only a line whose first non-blank character is ';' is a comment ('#' is not, and there
//    are no comments after a value);
//  - a line without '=' stays in the file, but a lookup never finds it;
//  - the first matching section and the first matching key win, for reading and writing;
//  - missing section, missing key and empty value all read as "";
//  - a value is read in full (the old platform call cut it at its buffer size; a 1,001-byte
//    bitmap written with 0x prefixes is 5,004 characters);
//  - a UTF-8 byte-order mark at the start of the text is skipped;
//  - CRLF, LF and a bare CR all end a line; bytes above 0x7F are kept as they are.
// Editing keeps every line it does not change byte for byte (line ends included). A changed
// key keeps its spelling and is written as key=value; a new key goes after the last entry of
// its section, a new section at the end of the text; every line written ends in CRLF.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tabsend {

// Space and tab: the blanks dropped around names and values.
constexpr bool isIniBlank(char c) {
    return c == ' ' || c == '\t';
}
std::string_view trimIniBlanks(std::string_view s);

// Case-insensitive (ASCII) hashing and comparison of names, usable with string_view lookups.
struct IniNameHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const noexcept;
};
struct IniNameEqual {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const noexcept;
};

class IniDocument {
  public:
    IniDocument();

    // Reads an INI text as the bytes of a file.
    static IniDocument parse(std::string_view bytes);

    // The value of key in section as a reader delivers it (quotes removed, at most 4999
    // characters), "" when the section or key is missing.
    std::string get(std::string_view section, std::string_view key) const;
    // The same as a view into the document; valid until the document is changed.
    std::string_view value(std::string_view section, std::string_view key) const;
    // True when the key exists with '=' in the first matching section.
    bool contains(std::string_view section, std::string_view key) const;

    // Sets key in section to value, creating the section and the key when missing.
    // Returns false (and changes nothing) when the names or the value cannot be stored on
    // one line: an empty name, a line break (CR or LF) anywhere, '=' in the key, ']' in the section
    // name, or a key that would read as a comment or a section line.
    bool set(std::string_view section, std::string_view key, std::string_view value);

    // The text of the whole document, as it is to be written to disk.
    std::string serialize() const;

    std::size_t sectionCount() const { return sections_.size() - 1; }

  private:
    enum class Kind : std::uint8_t { Blank, Comment, Header, Entry, Bare };
    enum class Eol : std::uint8_t { None, CrLf, Lf, Cr };

    struct Line {
        std::string text;  // without its line end
        Eol eol = Eol::CrLf;
        Kind kind = Kind::Blank;
        std::uint32_t keyBegin = 0, keyEnd = 0;      // Entry: trimmed key
        std::uint32_t valueBegin = 0, valueEnd = 0;  // Entry: trimmed value
    };

    struct Section {
        std::string name;  // trimmed, as spelled in the file
        bool hasHeader = false;
        Line header;
        std::vector<Line> body;
        std::size_t entriesEnd = 0;  // index after the last Entry/Bare line of the body
        // The blank and comment lines after the last entry, once a key has been added: new
        // keys then go to the end of body, and however many lines follow costs nothing.
        std::vector<Line> tail;
        std::unordered_map<std::string, std::uint32_t, IniNameHash, IniNameEqual> keys;
    };

    static Line classify(std::string text, Eol eol);
    // The section's last line (its header when it has no other), or null.
    static Line* lastLine(Section& s);
    const Line* findEntry(std::string_view section, std::string_view key) const;
    void ensureLastLineEnded();

    std::vector<Section> sections_;  // sections_[0]: lines before the first section line
    // The text began with a UTF-8 byte-order mark: no part of the text, but written back.
    bool byteOrderMark_ = false;
    std::unordered_map<std::string, std::uint32_t, IniNameHash, IniNameEqual> sectionIndex_;
};

}  // namespace tabsend
