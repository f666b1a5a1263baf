// The message and caption tables of the five UI languages (shell/Messages, shell/Captions).

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "shell/Captions.h"
#include "shell/Messages.h"

namespace tabsend {
namespace {

TEST(Messages, PinsTextsWithTheirBlanks) {
    const Messages en = MessagesForLanguage(kUiEnglish);
    const Messages de = MessagesForLanguage(kUiGerman);
    const Messages fr = MessagesForLanguage(kUiFrench);
    const Messages it = MessagesForLanguage(kUiItalian);
    const Messages es = MessagesForLanguage(kUiSpanish);
    EXPECT_EQ(en.MsgSetComplete, "  Set complete!");
    EXPECT_EQ(de.MsgSetComplete, "  Einstellung abgeschlossen!");
    EXPECT_EQ(fr.MsgSetComplete, "  Installation compléte");
    EXPECT_EQ(fr.MsgCommTimeout, "Timeout ");
    EXPECT_EQ(it.MsgFileTypeNotFit, " Ttipo di file non adatto.");
    EXPECT_EQ(it.MsgNoLanguageFile, " Nessun file di lingua selezionato.");
    EXPECT_EQ(en.MsgSelectEnglishFirst, "Please select English language file for language 1!");
    EXPECT_EQ(de.MsgSelectEnglishFirst, "Bitte englische Sprachdatei für Sprache 1 wählen!");
    EXPECT_EQ(es.MsgNoLanguageFile, "No se ha seleccionado ningún archivo de idioma");
    EXPECT_EQ(en.MsgIllegalOperation, "Illegal Language operation or DEXIO is in wrong state!");
    EXPECT_EQ(es.MsgIndexTable, " Tabla de índice ");
    EXPECT_EQ(en.MsgLanguageFileDamaged, "Language File damaged!");
    EXPECT_EQ(en.MsgLanguageFileSetError, "Language File set error!");
    EXPECT_EQ(std::string(kWriteErrorText), "write error\xEF\xBC\x81");
    EXPECT_EQ(std::string(kIniErrorText), "ini error\xEF\xBC\x81");
}

TEST(Messages, BuildsTheBusyNoticeLines) {
    EXPECT_EQ(CreateLanguageLine(MessagesForLanguage(kUiEnglish), 1),
              "Create Language 1 Index table ");
    EXPECT_EQ(ClearLanguageLine(MessagesForLanguage(kUiEnglish), 3),
              "Clear Language 3 Index table ");
    EXPECT_EQ(ClearLanguageLine(MessagesForLanguage(kUiGerman), 2),
              "Sprache löschen 2 Indextabelle ");
    EXPECT_EQ(CreateLanguageLine(MessagesForLanguage(kUiFrench), 3),
              "Créer une langue 3 Table d'index ");
}

TEST(Messages, AnyOtherIndexGivesEnglish) {
    for (int index : {-1, 5, 255, 1000}) {
        const Messages m = MessagesForLanguage(index);
        EXPECT_EQ(m.MsgSetComplete, "  Set complete!") << index;
        EXPECT_EQ(m.MsgIndexTable, " Index table ") << index;
    }
    // The five languages differ from one another.
    std::set<std::string> texts;
    for (int i = 0; i < 5; ++i) texts.insert(MessagesForLanguage(i).MsgLanguageFileDamaged);
    EXPECT_EQ(texts.size(), 5U);
}

TEST(Captions, SetsTheRowsInTheRoutinesOrder) {
    const LanguageCaptions en = SetEnglish();
    ASSERT_EQ(en.controls.size(), 45U);
    EXPECT_EQ(en.controls.front().control, "Frame1");
    EXPECT_EQ(en.controls[1].control, "Frame4");
    EXPECT_EQ(en.controls[2].control, "Select1");
    EXPECT_EQ(en.controls[4].control, "Select3");
    EXPECT_EQ(en.controls[5].control, "Clear1");
    EXPECT_EQ(en.controls.back().control, "Label7");
    EXPECT_EQ(en.controls.back().text, "Stop Bit");
    // The same control names in the same order for every language.
    for (std::uint8_t i = 1; i < 5; ++i) {
        const LanguageCaptions other = SelectLanguage(i);
        ASSERT_EQ(other.controls.size(), en.controls.size());
        for (std::size_t k = 0; k < en.controls.size(); ++k)
            EXPECT_EQ(other.controls[k].control, en.controls[k].control);
    }
}

TEST(Captions, PinsTextsOfEachLanguage) {
    const LanguageCaptions it = SelectLanguage(3);
    EXPECT_EQ(it.tabs[2], "Informazioni ");
    EXPECT_EQ(*CaptionOf(it, "Operation2"), "Funzionamento");
    EXPECT_EQ(it.frame15, "Note legali");
    const LanguageCaptions fr = SelectLanguage(2);
    EXPECT_EQ(fr.tabs[1], "Sélection et téléchargement");
    EXPECT_EQ(*CaptionOf(fr, "Label7"), "Bit d'arrêt");
    EXPECT_EQ(fr.messages.MsgCommTimeout, "Timeout ");
    const LanguageCaptions de = SelectLanguage(1);
    EXPECT_EQ(de.tabs[0], "COM-Konfiguration");
    EXPECT_EQ(*CaptionOf(de, "Label9"), "Hand");
    EXPECT_EQ(de.messages.MsgClearLanguage, "Sprache löschen ");
    const LanguageCaptions es = SelectLanguage(4);
    EXPECT_EQ(*CaptionOf(es, "Label14"), "Velocidad de transmisión en baudios");
    EXPECT_EQ(*CaptionOf(es, "Operation1"), "En marcha");
    const LanguageCaptions en = SelectLanguage(0);
    EXPECT_EQ(en.legalText, "  ");
    EXPECT_EQ(en.tabs[1], "Select and download");
    EXPECT_EQ(CaptionOf(en, "Text7"), nullptr);
    EXPECT_EQ(SelectLanguage(9).tabs[0], "COM Configuration");
}

TEST(Captions, FamiliesShareOneWordInEveryLanguage) {
    for (std::uint8_t i = 0; i < 5; ++i) {
        const LanguageCaptions c = SelectLanguage(i);
        for (const char* family : {"Select", "Clear", "Operation", "LanCurVer", "LanCurLanCode"}) {
            const std::string base = family;
            EXPECT_EQ(*CaptionOf(c, base + "1"), *CaptionOf(c, base + "3")) << family;
        }
        EXPECT_EQ(*CaptionOf(c, "LanCurLanCode1"), *CaptionOf(c, "Label15"));
        EXPECT_EQ(*CaptionOf(c, "Label1"), *CaptionOf(c, "LanCurVer1"));
        EXPECT_EQ(*CaptionOf(c, "Label20"), *CaptionOf(c, "Label22"));
        if (i != 0) {
            EXPECT_GT(c.legalText.size(), 40U) << int(i);  // a sentence, not the English blanks
        }
    }
}

}  // namespace
}  // namespace tabsend
