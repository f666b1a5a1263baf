#include "langfiles/IniDocument.h"

#include <algorithm>
#include <iterator>

namespace tabsend {

namespace {
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
}  // namespace

namespace {

constexpr char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

bool hasLineBreak(std::string_view s) {
    return s.find_first_of("\r\n") != std::string_view::npos;
}

}  // namespace

std::string_view trimIniBlanks(std::string_view s) {
    std::size_t b = 0;
    std::size_t e = s.size();
    while (b < e && isIniBlank(s[b])) ++b;
    while (e > b && isIniBlank(s[e - 1])) --e;
    return s.substr(b, e - b);
}

std::size_t IniNameHash::operator()(std::string_view s) const noexcept {
    std::uint64_t h = 1469598103934665603ULL;
    for (char c : s) {
        h ^= static_cast<unsigned char>(lowerAscii(c));
        h *= 1099511628211ULL;
    }
    return static_cast<std::size_t>(h);
}

bool IniNameEqual::operator()(std::string_view a, std::string_view b) const noexcept {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
    }
    return true;
}

IniDocument::IniDocument() {
    sections_.emplace_back();
}

IniDocument::Line IniDocument::classify(std::string text, Eol eol) {
    Line line;
    line.eol = eol;
    const std::string_view all(text);
    const std::string_view t = trimIniBlanks(all);
    const auto offset = static_cast<std::uint32_t>(t.data() - all.data());
    if (t.empty()) {
        line.kind = Kind::Blank;
    } else if (t.front() == ';') {
        line.kind = Kind::Comment;
    } else if (t.front() == '[' && t.find(']') != std::string_view::npos) {
        line.kind = Kind::Header;
        const std::size_t close = t.rfind(']');
        const std::string_view name = trimIniBlanks(t.substr(1, close - 1));
        line.keyBegin = static_cast<std::uint32_t>(name.data() - all.data());
        line.keyEnd = line.keyBegin + static_cast<std::uint32_t>(name.size());
    } else if (const std::size_t eq = t.find('='); eq != std::string_view::npos) {
        line.kind = Kind::Entry;
        const std::string_view key = trimIniBlanks(t.substr(0, eq));
        const std::string_view value = trimIniBlanks(t.substr(eq + 1));
        line.keyBegin = offset;
        line.keyEnd = offset + static_cast<std::uint32_t>(key.size());
        line.valueBegin = static_cast<std::uint32_t>(value.data() - all.data());
        line.valueEnd = line.valueBegin + static_cast<std::uint32_t>(value.size());
    } else {
        line.kind = Kind::Bare;
    }
    line.text = std::move(text);
    return line;
}

IniDocument IniDocument::parse(std::string_view bytes) {
    IniDocument doc;
    // Many editors start a UTF-8 file with a byte-order mark; it is no part of the text, and
    // a rewrite keeps it.
    if (bytes.starts_with(kByteOrderMark)) {
        bytes.remove_prefix(kByteOrderMark.size());
        doc.byteOrderMark_ = true;
    }
    const std::size_t n = bytes.size();
    std::size_t pos = 0;
    while (pos < n) {
        std::size_t end = pos;
        while (end < n && bytes[end] != '\r' && bytes[end] != '\n') ++end;
        Eol eol = Eol::None;
        std::size_t next = end;
        if (end < n) {
            if (bytes[end] == '\r' && end + 1 < n && bytes[end + 1] == '\n') {
                eol = Eol::CrLf;
                next = end + 2;
            } else {
                eol = bytes[end] == '\r' ? Eol::Cr : Eol::Lf;
                next = end + 1;
            }
        }
        Line line = classify(std::string(bytes.substr(pos, end - pos)), eol);
        if (line.kind == Kind::Header) {
            Section s;
            s.name = line.text.substr(line.keyBegin, line.keyEnd - line.keyBegin);
            s.hasHeader = true;
            s.header = std::move(line);
            doc.sectionIndex_.emplace(s.name, static_cast<std::uint32_t>(doc.sections_.size()));
            doc.sections_.push_back(std::move(s));
        } else {
            Section& s = doc.sections_.back();
            const auto index = static_cast<std::uint32_t>(s.body.size());
            if (line.kind == Kind::Entry && line.keyEnd > line.keyBegin) {
                s.keys.emplace(line.text.substr(line.keyBegin, line.keyEnd - line.keyBegin), index);
            }
            if (line.kind == Kind::Entry || line.kind == Kind::Bare) s.entriesEnd = index + 1;
            s.body.push_back(std::move(line));
        }
        pos = next;
    }
    return doc;
}

const IniDocument::Line* IniDocument::findEntry(std::string_view section,
                                                std::string_view key) const {
    const auto sit = sectionIndex_.find(trimIniBlanks(section));
    if (sit == sectionIndex_.end()) return nullptr;
    const Section& s = sections_[sit->second];
    const auto kit = s.keys.find(trimIniBlanks(key));
    if (kit == s.keys.end()) return nullptr;
    return &s.body[kit->second];
}

std::string_view IniDocument::value(std::string_view section, std::string_view key) const {
    const Line* line = findEntry(section, key);
    if (line == nullptr) return {};
    std::string_view v =
        std::string_view(line->text).substr(line->valueBegin, line->valueEnd - line->valueBegin);
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
        v = v.substr(1, v.size() - 2);
    }
    return v;
}

std::string IniDocument::get(std::string_view section, std::string_view key) const {
    return std::string(value(section, key));
}

bool IniDocument::contains(std::string_view section, std::string_view key) const {
    return findEntry(section, key) != nullptr;
}

IniDocument::Line* IniDocument::lastLine(Section& s) {
    if (!s.tail.empty()) return &s.tail.back();
    if (!s.body.empty()) return &s.body.back();
    return s.hasHeader ? &s.header : nullptr;
}

void IniDocument::ensureLastLineEnded() {
    for (auto s = sections_.rbegin(); s != sections_.rend(); ++s) {
        if (Line* last = lastLine(*s)) {
            if (last->eol == Eol::None) last->eol = Eol::CrLf;
            return;
        }
    }
}

bool IniDocument::set(std::string_view section, std::string_view key, std::string_view value) {
    const std::string_view sec = trimIniBlanks(section);
    const std::string_view k = trimIniBlanks(key);
    if (sec.empty() || k.empty() || hasLineBreak(sec) || hasLineBreak(k) || hasLineBreak(value))
        return false;
    if (sec.find(']') != std::string_view::npos) return false;
    if (k.find('=') != std::string_view::npos || k.front() == ';' || k.front() == '[') return false;

    auto sit = sectionIndex_.find(sec);
    if (sit == sectionIndex_.end()) {
        ensureLastLineEnded();
        Section s;
        s.name = std::string(sec);
        s.hasHeader = true;
        s.header = classify("[" + s.name + "]", Eol::CrLf);
        sit = sectionIndex_.emplace(s.name, static_cast<std::uint32_t>(sections_.size())).first;
        sections_.push_back(std::move(s));
    }
    Section& s = sections_[sit->second];

    const auto kit = s.keys.find(k);
    if (kit != s.keys.end()) {
        Line& line = s.body[kit->second];
        std::string text = line.text.substr(line.keyBegin, line.keyEnd - line.keyBegin);
        text += '=';
        text += value;
        line = classify(std::move(text), Eol::CrLf);
        return true;
    }

    if (s.body.size() > s.entriesEnd) {
        // Once per section: the lines after its last entry move aside, so that this and
        // every later key is appended instead of inserted in front of them.
        s.tail.insert(
            s.tail.begin(),
            std::make_move_iterator(s.body.begin() + static_cast<std::ptrdiff_t>(s.entriesEnd)),
            std::make_move_iterator(s.body.end()));
        s.body.resize(s.entriesEnd);
    }
    const std::size_t at = s.entriesEnd;
    Line& before = at == 0 ? s.header : s.body[at - 1];
    if (before.eol == Eol::None) before.eol = Eol::CrLf;
    std::string text(k);
    text += '=';
    text += value;
    s.body.push_back(classify(std::move(text), Eol::CrLf));
    s.keys.emplace(std::string(k), static_cast<std::uint32_t>(at));
    s.entriesEnd = at + 1;
    return true;
}

std::string IniDocument::serialize() const {
    std::size_t total = 0;
    for (const Section& s : sections_) {
        if (s.hasHeader) total += s.header.text.size() + 2;
        for (const Line& l : s.body) total += l.text.size() + 2;
        for (const Line& l : s.tail) total += l.text.size() + 2;
    }
    std::string out;
    out.reserve(total + kByteOrderMark.size());
    if (byteOrderMark_) out += kByteOrderMark;
    const auto put = [&out](const Line& l) {
        out += l.text;
        switch (l.eol) {
            case Eol::None:
                break;
            case Eol::CrLf:
                out += "\r\n";
                break;
            case Eol::Lf:
                out += '\n';
                break;
            case Eol::Cr:
                out += '\r';
                break;
        }
    };
    for (const Section& s : sections_) {
        if (s.hasHeader) put(s.header);
        for (const Line& l : s.body) put(l);
        for (const Line& l : s.tail) put(l);
    }
    return out;
}

}  // namespace tabsend
