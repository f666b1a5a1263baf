// The main window as it opens, in each language, and its slot selection driven through the
// buttons.
#include <gtest/gtest.h>

#include <QFrame>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTabBar>

#include "langfiles/IniFile.h"
#include "shell/Captions.h"
#include "tests/app/WindowRig.h"
#include "tests/e2e/E2eSupport.h"

namespace tabsend::apptest {
namespace {

QColor boxColour(WindowRig& rig, const char* name) {
    return rig.get<QFrame>(name)->palette().color(QPalette::Window);
}

TEST(MainWindowOpens, InTheStartStateOfEveryControl) {
    WindowRig rig;
    Form1& f = rig.form();
    EXPECT_EQ(f.windowTitle().toStdString(), "DEX Language Tool ");
    EXPECT_EQ(rig.get<QTabWidget>("SSTab1")->currentIndex(), 1);
    for (const char* box : {"Lan1StaColor", "Lan2StaColor", "Lan3StaColor"}) {
        EXPECT_EQ(boxColour(rig, box), QColor(0, 255, 255)) << box;
    }
    for (const char* off :
         {"Clear1", "Clear2", "Clear3", "ReadCur", "PortClose", "CompareBtn", "Downloadbtn",
          "Operation1", "Operation2", "Operation3", "Combo2", "Combo3", "Combo4", "Combo5", "Text1",
          "Text4", "Lan1Code", "Lan3Ver"}) {
        EXPECT_FALSE(rig.get(off)->isEnabled()) << off << " should be disabled";
    }
    for (const char* on : {"Select1", "Select2", "Select3", "ResetKey", "Setbtn", "PortOpenbtn",
                           "Combo1", "SetModeOpt_0", "SetModeOpt_1"}) {
        EXPECT_TRUE(rig.get(on)->isEnabled()) << on << " should be enabled";
    }
    EXPECT_EQ(rig.text("Combo1"), "Com1");
    EXPECT_EQ(rig.text("Combo2"), "19200");
    EXPECT_EQ(rig.text("Combo3"), "8");
    EXPECT_EQ(rig.text("Combo4"), "Even");
    EXPECT_TRUE(rig.get<QRadioButton>("SetModeOpt_0")->isChecked());
    EXPECT_TRUE(rig.get("Combo5")->isHidden());
    EXPECT_TRUE(rig.get("Label7")->isHidden());
    EXPECT_EQ(rig.text("DownItemInfo"), "download information");
    EXPECT_EQ(rig.get<QProgressBar>("ProgressBar1")->value(), 0);
    // Start values, whatever an earlier run left in the table file.
    const SharedState& s = f.state();
    EXPECT_EQ(s.DownloadStep, 0);
    EXPECT_EQ(s.SlaveAddress, 33);
    EXPECT_EQ(s.LanTablePath, (rig.dir() / "LanTable.ini").string());
    EXPECT_EQ(s.CommBusy, 0);
    // The platform here has no notification area: the icon is left out.
    EXPECT_FALSE(f.trayIconShown());
}

TEST(MainWindowOpens, PortListNamesTheDeviceOfTheChosenEntryAndOffersMoreDevicesAfterCom9) {
    WindowRig rig;
    auto* combo1 = rig.get<QComboBox>("Combo1");
    ASSERT_EQ(combo1->count(), 9);
    EXPECT_EQ(combo1->toolTip().toStdString(), rig.form().deviceForEntry(0));
    combo1->setCurrentIndex(3);
    EXPECT_EQ(rig.form().portControl().CommPort(), 4);
    EXPECT_EQ(combo1->toolTip().toStdString(), rig.form().deviceForEntry(3));
}

TEST(MainWindowLanguages, EachLanguageSetsEveryCaptionOfItsTableAndNoneIsCutOff) {
    for (int lang = 0; lang <= 4; ++lang) {
        SCOPED_TRACE("UI language " + std::to_string(lang));
        WindowRig rig;
        const LanguageCaptions c = SelectLanguage(static_cast<std::uint8_t>(lang));
        rig.form().ApplyLanguage(c);
        rig.form().show();  // lays out what sizes itself when shown
        auto* tabs = rig.get<QTabWidget>("SSTab1");
        for (int t = 0; t < 3; ++t) {
            EXPECT_EQ(tabs->tabText(t).toStdString(), c.tabs[static_cast<std::size_t>(t)]);
        }
        EXPECT_LE(tabs->tabBar()->sizeHint().width(), tabs->width());
        for (const auto& row : c.controls) {
            QWidget* w = rig.get(row.control.c_str());
            EXPECT_EQ(rig.text(row.control.c_str()), row.text) << row.control;
            EXPECT_EQ(w->accessibleName().toStdString(), row.text) << row.control;
        }
        EXPECT_EQ(rig.form().texts().MsgDownloadComplete, c.messages.MsgDownloadComplete);
        EXPECT_EQ(rig.form().texts().MsgIndexTable, c.messages.MsgIndexTable);
        EXPECT_EQ(rig.get<QPlainTextEdit>("Text7")->toPlainText().toStdString(), c.legalText);
        EXPECT_EQ(rig.text("Frame15"), c.frame15);
        // Texts the languages do not touch.
        EXPECT_EQ(rig.text("DownItemInfo"), "download information");
        const auto clipped = ClippedCaptions(rig.form());
        EXPECT_TRUE(clipped.empty()) << clipped.front();
        // Screen readers and scripts find every control by a name.
        for (const QWidget* w : rig.form().findChildren<QWidget*>()) {
            if (qobject_cast<const QAbstractButton*>(w) || qobject_cast<const QComboBox*>(w) ||
                qobject_cast<const QLineEdit*>(w)) {
                EXPECT_FALSE(w->accessibleName().isEmpty()) << w->objectName().toStdString();
            }
            if (auto* b = qobject_cast<const QAbstractButton*>(w); b && !b->text().isEmpty()) {
                EXPECT_EQ(b->accessibleName(), b->text()) << w->objectName().toStdString();
            }
        }
    }
}

// ---- The "PC" frame through its buttons ----

class SlotSelection : public ::testing::Test {
  protected:
    void SetUp() override {
        rig.form().ApplyLanguage(SetEnglish());
        en = rig.write("en.ini", e2e::GeneratedSource(5, 3, 30, 11, 1, "English", "7"));
        de = rig.write("de.ini", e2e::GeneratedSource(4, 3, 30, 12, 8, "German", "2"));
        fr = rig.write("fr.ini", e2e::GeneratedSource(4, 3, 30, 13, 2, "French", "9"));
    }
    void select(int n, const fs::path& file) {
        rig.dialog.answers.push_back(file.string());
        rig.click(("Select" + std::to_string(n)).c_str());
    }
    std::string box(int textNo) { return rig.text(("Text" + std::to_string(textNo)).c_str()); }
    bool enabled(const std::string& name) { return rig.get(name.c_str())->isEnabled(); }

    WindowRig rig;
    fs::path en, de, fr;
};

TEST_F(SlotSelection, SelectShowsTheFileAndTheDialogOffersLanguageFilesFirst) {
    select(1, en);
    EXPECT_EQ(box(1), "English");
    EXPECT_EQ(box(4), "7");
    EXPECT_TRUE(enabled("Clear1"));
    ASSERT_EQ(rig.dialog.filters.size(), 1u);
    EXPECT_EQ(rig.dialog.filters[0], "ini文件(*.ini)|*.ini|所有文件(*.*)|*.*");
    EXPECT_EQ(rig.dialog.filterIndexes[0], 1);
    EXPECT_TRUE(rig.messages.shown.empty());
}

TEST_F(SlotSelection, RefusedOrCancelledKeepsTheEarlierFile) {
    select(2, de);
    select(1, fr);  // not English
    select(2, rig.write("junk.ini", "[Other]\nx=1\n"));
    select(2, "");  // cancelled
    select(2, rig.dir() / "missing.ini");
    EXPECT_EQ(rig.messages.texts(),
              (std::vector<std::string>{"Please select English language file for language 1!",
                                        "File type is not fit!"}));
    EXPECT_EQ(box(1), "");
    EXPECT_FALSE(enabled("Clear1"));
    EXPECT_EQ(box(2), "German");
    EXPECT_TRUE(enabled("Clear2"));
}

TEST_F(SlotSelection, CompileClearRestoreAndResetFollowTheSlotStates) {
    select(1, en);
    select(2, de);
    rig.click("Setbtn");
    EXPECT_EQ(rig.messages.texts(), std::vector<std::string>{"  Set complete!"});
    EXPECT_FALSE(rig.messages.shown.back().windowEnabled) << "the window is locked until then";
    EXPECT_TRUE(rig.form().isEnabled());
    EXPECT_TRUE(rig.get("SSTab1")->isEnabled());
    EXPECT_TRUE(enabled("ReadCur"));
    EXPECT_TRUE(enabled("Setbtn"));
    EXPECT_FALSE(rig.notice.open);
    EXPECT_EQ(rig.notice.lines.front(), "Create Language 1 Index table ");
    EXPECT_EQ(rig.notice.lines.back(), "Clear Language 3 Index table ");
    const SharedState& s = rig.form().state();
    EXPECT_EQ(s.LanSetFlag1, -1);
    EXPECT_EQ(s.LanSetFlag2, -1);
    EXPECT_EQ(s.LanSetFlag3, 0);

    rig.click("Clear2");
    EXPECT_EQ(box(2), "");
    EXPECT_EQ(box(5), "");
    EXPECT_FALSE(enabled("Clear2"));
    EXPECT_EQ(s.LanSetFlag2, 0);
    select(3, fr);
    EXPECT_EQ(box(3), "French");

    rig.click("ReadCur");
    EXPECT_EQ(box(2), "German");
    EXPECT_EQ(box(5), "2");
    EXPECT_TRUE(enabled("Clear2"));
    EXPECT_EQ(s.LanSetFlag2, -1);
    EXPECT_EQ(box(3), "") << "slot 3 was compiled as a dummy slot";
    EXPECT_FALSE(enabled("Clear3"));

    rig.click("ResetKey");
    EXPECT_EQ(rig.messages.texts().back(), "Reset complete!");
    for (int t = 1; t <= 6; ++t) EXPECT_EQ(box(t), "") << "Text" << t;
    for (const char* off : {"Clear1", "Clear2", "Clear3", "ReadCur"}) EXPECT_FALSE(enabled(off));
    EXPECT_TRUE(enabled("ResetKey"));
    EXPECT_TRUE(rig.form().isEnabled());
    EXPECT_EQ(s.LanSetFlag1, 0);
    EXPECT_EQ(s.SlaveAddress, 33);
    EXPECT_EQ(GetFromini("LanAssInfo", "LanTotalNum", rig.table().string()), "0");
}

TEST(MainWindowClose, EndsTheProgramAtOnce) {
    WindowRig rig;
    rig.form().show();
    rig.form().close();
    EXPECT_EQ(rig.endRequests, 1);
}

}  // namespace
}  // namespace tabsend::apptest
