// The chooser: the start check of both builds, which build "Done" starts and how, the help
// window, and the start of a real process with the launcher's folder and environment.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <functional>
#include <vector>

#include "launcher/Form0.h"
#include "launcher/Form1.h"
#include "launcher/HelpPicture.h"
#include "launcher/ProcessStart.h"

namespace startup {
namespace {

class RecordingStarter : public ProcessStarter {
  public:
    bool start(const StartRequest& request) override {
        requests.push_back(request);
        return succeed;
    }
    std::vector<StartRequest> requests;
    bool succeed = true;
};

class RecordingMessages : public MessageBoxes {
  public:
    void show(const QString& text) override { shown.push_back(text); }
    std::vector<QString> shown;
};

// Runs each test in a fresh working folder and puts the old one back afterwards.
class LauncherTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        previous = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(dir.path()));
    }
    void TearDown() override { QDir::setCurrent(previous); }

    void makeFile(const QString& relative) {
        ASSERT_TRUE(QDir(dir.path()).mkpath(QFileInfo(relative).path()));
        QFile f(dir.filePath(relative));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    void makeBothBuilds() {
        makeFile(QString::fromLatin1(kNormalBuild));
        makeFile(QString::fromLatin1(kCompatibilityBuild));
    }
    template <class T>
    T* child(QWidget& w, const char* name) {
        T* found = w.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    QTemporaryDir dir;
    QString previous;
    RecordingStarter starter;
    RecordingMessages messages;
};

struct MissingCase {
    const char* name;
    std::vector<const char*> files;    // created relative to the working folder
    std::vector<const char*> folders;  // created as folders
};

TEST_F(LauncherTest, AMissingBuildEndsTheLauncherWithTheMessageAndStartsNothing) {
    const std::vector<MissingCase> cases = {
        {"nothing there", {}, {}},
        {"only Normal", {kNormalBuild}, {}},
        {"only Compatibility", {kCompatibilityBuild}, {}},
        {"Normal is a folder", {kCompatibilityBuild}, {kNormalBuild}},
        {"builds in another folder only",
         {"other/Normal/Tabsend", "other/Compatibility/Tabsend"},
         {}},
    };
    for (const MissingCase& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir here;
        ASSERT_TRUE(QDir::setCurrent(here.path()));
        for (const char* f : c.files) {
            ASSERT_TRUE(QDir(here.path()).mkpath(QFileInfo(QString::fromLatin1(f)).path()));
            QFile file(here.filePath(QString::fromLatin1(f)));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        }
        for (const char* f : c.folders) ASSERT_TRUE(QDir(here.path()).mkpath(f));

        RecordingMessages shown;
        RecordingStarter started;
        Form0 chooser(started, shown);
        EXPECT_FALSE(chooser.Form_Load());
        ASSERT_EQ(shown.shown.size(), 1u);
        EXPECT_EQ(shown.shown[0], QStringLiteral("System file corrupt."));
        EXPECT_TRUE(started.requests.empty());
        EXPECT_FALSE(chooser.isVisible());
    }
}

TEST_F(LauncherTest, BothBuildsPresentFillTheListAndSelectTheNewerFirmware) {
    makeBothBuilds();
    Form0 chooser(starter, messages);
    ASSERT_TRUE(chooser.Form_Load());
    EXPECT_TRUE(messages.shown.empty());
    auto* combo = child<QComboBox>(chooser, "Combo1");
    ASSERT_NE(combo, nullptr);
    EXPECT_FALSE(combo->isEditable());
    ASSERT_EQ(combo->count(), 2);
    EXPECT_EQ(combo->itemText(0), QStringLiteral("v 1.2.xxx (or above)"));
    EXPECT_EQ(combo->itemText(1), QStringLiteral("v 1.1.xxx"));
    EXPECT_EQ(combo->currentIndex(), 0);
}

TEST_F(LauncherTest, ChooserShowsTheCaptionsAndSizeOfTheWindow) {
    makeBothBuilds();
    Form0 chooser(starter, messages);
    ASSERT_TRUE(chooser.Form_Load());
    chooser.show();
    EXPECT_EQ(chooser.windowTitle(), QStringLiteral("setting"));
    EXPECT_EQ(chooser.size(), QSize(323, 75));  // 4845 x 1125 twips at 96 DPI
    EXPECT_EQ(chooser.minimumSize(), chooser.maximumSize());
    EXPECT_FALSE(chooser.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(chooser.windowFlags() & Qt::WindowMaximizeButtonHint);
    auto* frame = child<QGroupBox>(chooser, "Frame1");
    auto* help = child<QPushButton>(chooser, "Command2");
    auto* done = child<QPushButton>(chooser, "Command1");
    ASSERT_TRUE(frame && help && done);
    EXPECT_EQ(frame->title(), QStringLiteral("DEXIO FW version"));
    EXPECT_EQ(help->text(), QStringLiteral("Help"));
    EXPECT_EQ(done->text(), QStringLiteral("Done"));
    for (QWidget* w : std::initializer_list<QWidget*>{frame, help, done}) {
        EXPECT_FALSE(w->accessibleName().isEmpty());
        EXPECT_TRUE(chooser.rect().contains(w->geometry())) << w->objectName().toStdString();
    }
    EXPECT_EQ(help->accessibleName(), help->text());
    EXPECT_EQ(done->accessibleName(), done->text());
    EXPECT_LT(help->y(), done->y());                  // Help above Done
    EXPECT_GT(help->x(), frame->geometry().right());  // on the right of the list
    EXPECT_TRUE(frame->isAncestorOf(child<QComboBox>(chooser, "Combo1")));
}

struct DoneCase {
    const char* name;
    int position;  // -1: the list is left untouched
    const char* expected;
};

TEST_F(LauncherTest, DoneStartsTheChosenBuildInTheWorkingFolderWithTheEnvironmentAndEnds) {
    makeBothBuilds();
    qputenv("STARTUP_TEST_MARKER", "passed on");
    const DoneCase cases[] = {
        {"untouched", -1, kNormalBuild},
        {"position 0", 0, kNormalBuild},
        {"position 1", 1, kCompatibilityBuild},
    };
    for (const DoneCase& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingStarter started;
        Form0 chooser(started, messages);
        ASSERT_TRUE(chooser.Form_Load());
        chooser.show();
        if (c.position >= 0) child<QComboBox>(chooser, "Combo1")->setCurrentIndex(c.position);
        child<QPushButton>(chooser, "Command1")->click();

        ASSERT_EQ(started.requests.size(), 1u);
        const StartRequest& r = started.requests[0];
        EXPECT_EQ(r.program, QString::fromLatin1(c.expected));
        EXPECT_TRUE(r.arguments.isEmpty());
        EXPECT_EQ(QDir(r.workingDirectory).canonicalPath(), QDir(dir.path()).canonicalPath());
        EXPECT_EQ(r.environment.value(QStringLiteral("STARTUP_TEST_MARKER")),
                  QStringLiteral("passed on"));
        EXPECT_EQ(r.environment, QProcessEnvironment::systemEnvironment());
        EXPECT_FALSE(chooser.isVisible());
    }
    qunsetenv("STARTUP_TEST_MARKER");
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(LauncherTest, AFailedStartStillEndsTheLauncherSilently) {
    makeBothBuilds();
    starter.succeed = false;
    Form0 chooser(starter, messages);
    ASSERT_TRUE(chooser.Form_Load());
    chooser.show();
    // The build vanished after the check: the start fails, the launcher ends anyway.
    ASSERT_TRUE(QFile::remove(dir.filePath(QString::fromLatin1(kNormalBuild))));
    // The event loop ends because the chooser, its last window, closed; a safety timer
    // ends it with 1 otherwise.
    QTimer::singleShot(0, [&] { child<QPushButton>(chooser, "Command1")->click(); });
    QTimer safety;
    QObject::connect(&safety, &QTimer::timeout, [] { QApplication::exit(1); });
    safety.start(10000);
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_EQ(starter.requests.size(), 1u);
    EXPECT_FALSE(chooser.isVisible());
    EXPECT_TRUE(messages.shown.empty());
}

// Presses Help and, once the modal help window runs, hands it to `inspect` and closes it.
void pressHelp(Form0& chooser, const std::function<void(QWidget*)>& inspect) {
    bool seen = false;
    QTimer::singleShot(0, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        seen = modal != nullptr;
        if (modal == nullptr) return;
        inspect(modal);
        modal->close();
    });
    chooser.findChild<QPushButton*>(QStringLiteral("Command2"))->click();
    EXPECT_TRUE(seen) << "no modal help window";
}

TEST_F(LauncherTest, HelpOpensAModalWindowCentredOverTheChooserWithThePicture) {
    makeBothBuilds();
    Form0 chooser(starter, messages);
    ASSERT_TRUE(chooser.Form_Load());
    chooser.move(200, 150);
    chooser.show();
    pressHelp(chooser, [&](QWidget* help) {
        EXPECT_EQ(help->objectName(), QStringLiteral("Form1"));
        EXPECT_EQ(help->windowTitle(), QStringLiteral("Help"));
        EXPECT_TRUE(help->isModal());
        EXPECT_EQ(help->parentWidget(), &chooser);  // a child window: no task bar entry
        EXPECT_EQ(help->size(), QSize(441, 409));   // 6615 x 6135 twips at 96 DPI
        EXPECT_FALSE(help->windowFlags() & Qt::WindowMinimizeButtonHint);
        EXPECT_FALSE(help->windowFlags() & Qt::WindowMaximizeButtonHint);
        const QPoint offset = help->frameGeometry().center() - chooser.frameGeometry().center();
        EXPECT_LE(offset.manhattanLength(), 2);
        auto* image = help->findChild<QLabel*>(QStringLiteral("Image1"));
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->geometry(), help->rect());
        EXPECT_EQ(image->frameShape(), QFrame::Box);
        EXPECT_EQ(image->pixmap().size(), QSize(444, 405));
    });
    EXPECT_TRUE(chooser.isVisible());
    EXPECT_TRUE(starter.requests.empty());
}

TEST_F(LauncherTest, HelpOpenedAndClosedAnyNumberOfTimesKeepsTheSelection) {
    makeBothBuilds();
    Form0 chooser(starter, messages);
    ASSERT_TRUE(chooser.Form_Load());
    chooser.show();
    child<QComboBox>(chooser, "Combo1")->setCurrentIndex(1);
    std::vector<QPointer<QWidget>> windows;
    for (int i = 0; i < 3; ++i) {
        pressHelp(chooser, [&](QWidget* help) { windows.emplace_back(help); });
        EXPECT_EQ(child<QComboBox>(chooser, "Combo1")->currentIndex(), 1);
    }
    ASSERT_EQ(windows.size(), 3u);
    for (const auto& w : windows) EXPECT_TRUE(w.isNull()) << "a help window outlived its close";
    child<QPushButton>(chooser, "Command1")->click();
    ASSERT_EQ(starter.requests.size(), 1u);
    EXPECT_EQ(starter.requests[0].program, QString::fromLatin1(kCompatibilityBuild));
}

TEST(HelpPicture, IsBlackOnWhiteWithTheVersionMarkedInBlue) {
    const QImage picture = HelpPicture();
    EXPECT_EQ(picture.size(), QSize(444, 405));
    EXPECT_EQ(picture.depth(), 24);
    int white = 0, dark = 0, blue = 0, other = 0;
    int darkInHeading = 0, blueInSketch = 0;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            const QColor c = picture.pixelColor(x, y);
            if (c == Qt::white) {
                ++white;
            } else if (c.red() == c.green() && c.green() == c.blue()) {
                ++dark;  // black text and lines, with grey edges from smoothing
                if (y < 50) ++darkInHeading;
            } else if (c.blue() > c.red() && c.red() == c.green()) {
                ++blue;  // the mark, its label and arrow, with smoothed edges
                if (y > 130 && y < 310) ++blueInSketch;
            } else {
                ++other;
            }
        }
    }
    EXPECT_GT(white, picture.width() * picture.height() * 3 / 4);
    EXPECT_GT(darkInHeading, 200);
    EXPECT_GT(blueInSketch, 200);
    EXPECT_EQ(blue, blueInSketch);
    EXPECT_GT(dark, darkInHeading);
    EXPECT_EQ(other, 0);
}

// The real start: a separate process in the launcher's working folder, with its environment,
// found through the relative path, and not waited for.
TEST_F(LauncherTest, DetachedStarterRunsTheProgramInTheGivenFolderWithTheEnvironment) {
    makeFile(QStringLiteral("Normal/probe"));
    QFile script(dir.filePath(QStringLiteral("Normal/probe")));
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write(
        "#!/bin/sh\necho \"$(pwd) $PROBE_MARKER $#\" > probe.out.tmp\n"
        "mv probe.out.tmp probe.out\n");
    script.close();
    ASSERT_TRUE(script.setPermissions(script.permissions() | QFile::ExeOwner));

    StartRequest request;
    request.program = QStringLiteral("Normal/probe");
    request.workingDirectory = dir.path();
    request.environment = QProcessEnvironment::systemEnvironment();
    request.environment.insert(QStringLiteral("PROBE_MARKER"), QStringLiteral("inherited"));
    DetachedStarter real;
    ASSERT_TRUE(real.start(request));

    QFile out(dir.filePath(QStringLiteral("probe.out")));
    QDeadlineTimer deadline(20000);
    while (!out.exists() && !deadline.hasExpired()) QThread::msleep(20);
    ASSERT_TRUE(out.open(QIODevice::ReadOnly)) << "the program did not run";
    EXPECT_EQ(QString::fromLocal8Bit(out.readAll()).trimmed(),
              QDir(dir.path()).canonicalPath() + QStringLiteral(" inherited 0"));

    request.program = QStringLiteral("Normal/missing");
    EXPECT_FALSE(real.start(request));
}

}  // namespace
}  // namespace startup
