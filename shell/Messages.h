#pragma once
// The sixteen user messages of Tabsend in the five user-interface languages.
// They are filled once per run, when the operator has picked the UI language, and keep
// their texts until the program ends. Leading and trailing blanks belong to the texts.
// Texts are UTF-8.

#include <cstdint>
#include <string>

namespace tabsend {

// UI-language index as picked in the View Setting window.
inline constexpr int kUiEnglish = 0;
inline constexpr int kUiGerman = 1;
inline constexpr int kUiFrench = 2;
inline constexpr int kUiItalian = 3;
inline constexpr int kUiSpanish = 4;

struct Messages {
    std::string MsgSetComplete;
    std::string MsgResetComplete;
    std::string MsgFileTypeNotFit;
    std::string MsgNoLanguageFile;
    std::string MsgCommTimeout;
    std::string MsgDownloadComplete;
    std::string MsgDataConflict;
    std::string MsgIllegalOperation;
    std::string MsgCannotConnect;
    std::string MsgLanguageFileDamaged;
    std::string MsgLanguageFileSetError;
    std::string MsgSelectEnglishFirst;
    std::string MsgCannotOpenPort;
    std::string MsgCreateLanguage;  // first piece of the busy-notice line (slot from a file)
    std::string MsgClearLanguage;   // first piece of the busy-notice line (dummy slot)
    std::string MsgIndexTable;      // last piece of both busy-notice lines
};

// The texts of one UI language: 0 English, 1 German, 2 French, 3 Italian, 4 Spanish;
// any other index gives English.
Messages MessagesForLanguage(int uiLanguage);

// Fills the variables in their fixed order, MsgSetComplete first and MsgIndexTable last.
void FillMessages(Messages& m, int uiLanguage);

// The busy-notice line of slot n: MsgCreateLanguage (or MsgClearLanguage), n, MsgIndexTable.
std::string CreateLanguageLine(const Messages& m, int slot);
std::string ClearLanguageLine(const Messages& m, int slot);

// Texts that are the same in every UI language.
inline constexpr const char* kWriteErrorText = "write error！";
inline constexpr const char* kIniErrorText = "ini error！";

}  // namespace tabsend
