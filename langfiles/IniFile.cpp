#include "langfiles/IniFile.h"

#include <utility>

#include "langfiles/FileIo.h"
#include "langfiles/IniCache.h"
#include "langfiles/LinkTarget.h"

namespace tabsend {

std::string GetFromini(const std::string& AppName, const std::string& KeyName,
                       const std::string& FileName) {
    return sharedIniCache().read(AppName, KeyName, FileName);
}

std::string ReadIniValue(const std::string& section, const std::string& key,
                         const std::string& file) {
    return sharedIniCache().read(section, key, file);
}

IniEditSession::IniEditSession(std::string path) : path_(std::move(path)) {
    if (!statFile(path_).exists) {
        // Missing (or not a regular file, which the save then refuses to replace).
        return;
    }
    std::string bytes;
    if (!readWholeFile(path_, bytes)) {
        loaded_ = false;
        return;
    }
    doc_ = IniDocument::parse(bytes);
}

bool IniEditSession::save(std::string* why) {
    if (!loaded_) {
        if (why != nullptr) *why = "cannot read " + path_;
        return false;
    }
    // A table reached through a symbolic link is replaced at the link's target, so the link
    // stays and everything else that uses the target sees the new content.
    const std::string target = replacementTarget(path_);
    const bool ok = saveFileAtomically(target, doc_.serialize(), why);
    sharedIniCache().forget(path_);
    if (target != path_) sharedIniCache().forget(target);
    return ok;
}

bool WriteIniValue(const std::string& AppName, const std::string& KeyName, const std::string& Value,
                   const std::string& FileName) {
    IniEditSession session(FileName);
    if (!session.loaded()) return false;
    if (!session.doc().set(AppName, KeyName, Value)) return false;
    return session.save();
}

}  // namespace tabsend
