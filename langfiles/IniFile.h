#pragma once
// The INI operations of the tool: one value read by section and key, one value written, and
// an editing session that keeps a file in memory for many writes and saves it once.
// The rules of reading and editing are those of IniDocument.h.

#include <string>

#include "langfiles/IniDocument.h"

namespace tabsend {

// The value of KeyName in section AppName of the INI file FileName: "" for a missing file,
// section or key, at most 4999 characters. Never fails. Unchanged files are not parsed again.
std::string GetFromini(const std::string& AppName, const std::string& KeyName,
                       const std::string& FileName);

// The download's reader: the same behaviour as GetFromini.
std::string ReadIniValue(const std::string& section, const std::string& key,
                         const std::string& file);

// Sets KeyName in section AppName of FileName to Value, creating the file (its folder must
// exist), the section and the key when missing; every other line stays as it was. The file
// is replaced as a whole, never left half-written. Returns true when the value is on disk;
// false when the file could not be read or written or the names or the value cannot be
// stored (see IniDocument::set). Shows nothing.
bool WriteIniValue(const std::string& AppName, const std::string& KeyName, const std::string& Value,
                   const std::string& FileName);

// A file held in memory for editing: loaded once, changed any number of times through
// doc(), and saved once (crash-safe replacement, see saveFileAtomically).
class IniEditSession {
  public:
    // Loads the file; a missing file starts as an empty text.
    explicit IniEditSession(std::string path);

    // False when the file exists but could not be read: saving then fails, so that lines
    // the session never saw are not lost.
    bool loaded() const { return loaded_; }
    const std::string& path() const { return path_; }
    IniDocument& doc() { return doc_; }
    const IniDocument& doc() const { return doc_; }

    // Writes the whole text once. True when the file on disk now holds it.
    bool save(std::string* why = nullptr);

  private:
    std::string path_;
    IniDocument doc_;
    bool loaded_ = true;
};

}  // namespace tabsend
