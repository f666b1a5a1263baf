// The View Setting window: the start-up check in the working folder and "Done".
#include <gtest/gtest.h>

#include <QComboBox>
#include <QPushButton>
#include <memory>

#include "app/Form0.h"
#include "app/Form1.h"
#include "shell/Captions.h"
#include "tests/app/WindowRig.h"

namespace tabsend::apptest {
namespace {

// Runs the test in a working folder of its own and goes back afterwards.
class InFolder {
  public:
    explicit InFolder(const fs::path& dir) : before_(fs::current_path()) { fs::current_path(dir); }
    ~InFolder() { fs::current_path(before_); }

  private:
    fs::path before_;
};

class ViewSettingWindow : public ::testing::Test {
  protected:
    ViewSettingWindow() {
        work = rig.dir() / "work";
        fs::create_directories(work);
        form0 = std::make_unique<Form0>(messages, [this]() -> Form1& {
            ++mainWindowUses;
            return rig.form();
        });
    }
    WindowRig rig;  // its folder is the program folder
    fs::path work;  // the working folder
    testkit::RecordingMessages messages;
    std::unique_ptr<Form0> form0;
    int mainWindowUses = 0;
};

TEST_F(ViewSettingWindow, StartsOnlyWithATableInTheWorkingFolder) {
    struct Case {
        bool inWorkingFolder;
        bool inProgramFolder;
        bool starts;
    };
    for (const Case c : {Case{true, false, true}, Case{false, true, false}, Case{true, true, true},
                         Case{false, false, false}}) {
        fs::remove(work / "LanTable.ini");
        fs::remove(rig.table());
        if (c.inWorkingFolder) rig.write("work/LanTable.ini", "");
        if (c.inProgramFolder) rig.write("LanTable.ini", "");
        messages.shown.clear();
        InFolder cd(work);
        EXPECT_EQ(form0->Form_Load(), c.starts)
            << "working folder " << c.inWorkingFolder << ", program folder " << c.inProgramFolder;
        EXPECT_EQ(messages.shown, c.starts ? std::vector<std::string>{}
                                           : std::vector<std::string>{"System file corrupt."});
    }
    EXPECT_EQ(mainWindowUses, 0) << "no main window before Done";
}

TEST_F(ViewSettingWindow, AFolderNamedLikeTheTableDoesNotCount) {
    fs::create_directories(work / "LanTable.ini");
    InFolder cd(work);
    EXPECT_FALSE(form0->Form_Load());
}

TEST_F(ViewSettingWindow, OffersTheFiveLanguagesWithEnglishAndDoneUntouchedGivesEnglish) {
    rig.write("work/LanTable.ini", "");
    InFolder cd(work);
    ASSERT_TRUE(form0->Form_Load());
    auto* list = form0->findChild<QComboBox*>("Combo1");
    QStringList names;
    for (int i = 0; i < list->count(); ++i) names << list->itemText(i);
    EXPECT_EQ(names, QStringList({"English", "Deutsch", "Français", "Italiano", "Español"}));
    EXPECT_EQ(list->currentIndex(), 0);
    EXPECT_EQ(form0->windowTitle(), "setting");
    form0->show();
    form0->findChild<QPushButton*>("Command1")->click();
    EXPECT_GE(mainWindowUses, 1);
    EXPECT_FALSE(form0->isVisible());
    EXPECT_TRUE(rig.form().isVisible());
    EXPECT_EQ(rig.text("Setbtn"), "Compile");
    EXPECT_EQ(rig.form().texts().MsgSetComplete, "  Set complete!");
}

TEST_F(ViewSettingWindow, DoneAppliesThePickedLanguage) {
    rig.write("work/LanTable.ini", "");
    InFolder cd(work);
    ASSERT_TRUE(form0->Form_Load());
    form0->findChild<QComboBox*>("Combo1")->setCurrentIndex(3);
    form0->findChild<QPushButton*>("Command1")->click();
    EXPECT_EQ(rig.get<QTabWidget>("SSTab1")->tabText(2).toStdString(), "Informazioni ");
    EXPECT_EQ(rig.form().texts().MsgFileTypeNotFit, " Ttipo di file non adatto.");
}

}  // namespace
}  // namespace tabsend::apptest
