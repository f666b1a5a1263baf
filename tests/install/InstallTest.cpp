// A fresh `cmake --install` into a temporary prefix: the layout, the files each program
// folder starts with, the desktop entry and the per-user start script; then the launcher's
// own code, run in the installed folder, starts each build for real, and the build passes
// its start-up check and writes the table of its own folder (scripted with TABSEND_AUTOMATE).
#include <gtest/gtest.h>

#include <QComboBox>
#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <memory>

#include "launcher/Form0.h"
#include "launcher/ProcessStart.h"

namespace {

const QString kAppDir = QStringLiteral(TABSEND_INSTALL_APPDIR);

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString tableCount(const QString& path) {
    // LanTotalNum of the table; "" when the file or the key is missing.
    const QByteArray text = readAll(path);
    const qsizetype at = text.indexOf("LanTotalNum=");
    if (at < 0) return {};
    const qsizetype end = text.indexOf('\n', at);
    return QString::fromLatin1(text.mid(at + 12, end - at - 12)).trimmed();
}

class InstallTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        prefix_ = std::make_unique<QTemporaryDir>();
        ASSERT_TRUE(prefix_->isValid());
        QProcess install;
        install.start(QStringLiteral(CMAKE_COMMAND),
                      {QStringLiteral("--install"), QStringLiteral(BUILD_DIR),
                       QStringLiteral("--prefix"), prefix_->path()});
        ASSERT_TRUE(install.waitForFinished(120000));
        ASSERT_EQ(install.exitCode(), 0) << install.readAllStandardError().toStdString();
    }
    static void TearDownTestSuite() { prefix_.reset(); }

    static QString installed(const QString& relative) {
        return QDir(prefix_->path()).filePath(relative);
    }
    static QString app(const QString& relative) {
        return QDir(installed(kAppDir)).filePath(relative);
    }

    static std::unique_ptr<QTemporaryDir> prefix_;
};
std::unique_ptr<QTemporaryDir> InstallTest::prefix_;

TEST_F(InstallTest, LayoutHoldsBothBuildsBesideTheLauncherWithTheirFiles) {
    struct Entry {
        const char* path;
        bool executable;
    };
    const Entry entries[] = {
        {"Startup", true},
        {"LanTable.ini", false},
        {"Normal/Tabsend", true},
        {"Normal/LanTable.ini", false},
        {"Normal/harrow.ico", false},
        {"Compatibility/Tabsend", true},
        {"Compatibility/LanTable.ini", false},
        {"Compatibility/harrow.ico", false},
        {"tabsend-cli", true},
        {"dexio-sim", true},
        {"examples/english.ini", false},
        {"examples/german.ini", false},
        {"examples/french.ini", false},
    };
    for (const Entry& e : entries) {
        SCOPED_TRACE(e.path);
        const QFileInfo info(app(QString::fromLatin1(e.path)));
        EXPECT_TRUE(info.isFile());
        EXPECT_EQ(info.isExecutable(), e.executable);
    }
    // The two builds are two programs, not one copied twice.
    EXPECT_NE(readAll(app("Normal/Tabsend")), readAll(app("Compatibility/Tabsend")));
}

TEST_F(InstallTest, EveryTableStartsAsAfterAResetAndEveryPointerLoads) {
    const QByteArray top = readAll(app("LanTable.ini"));
    EXPECT_EQ(tableCount(app("LanTable.ini")), QStringLiteral("0"));
    EXPECT_TRUE(top.contains("[Lan3Stringcode]"));
    EXPECT_TRUE(top.contains("Str799Addr="));
    for (const char* folder : {"Normal", "Compatibility"}) {
        SCOPED_TRACE(folder);
        const QString dir = app(QString::fromLatin1(folder));
        EXPECT_EQ(readAll(dir + "/LanTable.ini"), top);
        QImageReader pointer(dir + "/harrow.ico");
        EXPECT_EQ(pointer.format(), QByteArray("ico"));
        const QImage image = pointer.read();
        ASSERT_FALSE(image.isNull()) << pointer.errorString().toStdString();
        EXPECT_EQ(image.size(), QSize(48, 48));
        EXPECT_TRUE(image.hasAlphaChannel());
        // The fingertip is the hotspot Qt gives a pointer without one: the centre. Nothing
        // of the hand lies above it.
        EXPECT_GE(qAlpha(image.pixel(24, 24)), 128);
        int above = 0;
        for (int y = 0; y < 23; ++y) {
            for (int x = 0; x < 48; ++x) above += qAlpha(image.pixel(x, y)) != 0 ? 1 : 0;
        }
        EXPECT_EQ(above, 0);
    }
}

TEST_F(InstallTest, DesktopEntryStartsTheStartScriptWithOurIcon) {
    QSettings entry(installed("share/applications/dex-language-tool.desktop"),
                    QSettings::IniFormat);
    entry.beginGroup(QStringLiteral("Desktop Entry"));
    EXPECT_EQ(entry.value("Type").toString(), QStringLiteral("Application"));
    EXPECT_EQ(entry.value("Name").toString(), QStringLiteral("DEX Language Tool"));
    EXPECT_EQ(entry.value("Exec").toString(), QStringLiteral("dex-language-tool"));
    EXPECT_EQ(entry.value("Icon").toString(), QStringLiteral("dex-language-tool"));
    EXPECT_TRUE(QFileInfo(installed("bin/dex-language-tool")).isExecutable());
    const QImage icon(installed("share/icons/hicolor/64x64/apps/dex-language-tool.png"));
    EXPECT_EQ(icon.size(), QSize(64, 64));
}

// Runs the installed start script with its own HOME and gives its output.
QString prepareCopy(const QString& script, const QString& home) {
    QProcess run;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home);
    env.remove(QStringLiteral("XDG_DATA_HOME"));
    run.setProcessEnvironment(env);
    run.start(script, {QStringLiteral("--prepare")});
    EXPECT_TRUE(run.waitForFinished(60000));
    EXPECT_EQ(run.exitCode(), 0) << run.readAllStandardError().toStdString();
    return QString::fromLocal8Bit(run.readAllStandardOutput()).trimmed();
}

TEST_F(InstallTest, StartScriptKeepsAPerUserCopyThatFollowsThePackageButKeepsTheTables) {
    QTemporaryDir home;
    const QString copy = prepareCopy(installed("bin/dex-language-tool"), home.path());
    EXPECT_EQ(copy, home.path() + "/.local/share/dex-language-tool");
    for (const char* f :
         {"Startup", "LanTable.ini", "Normal/Tabsend", "Normal/LanTable.ini", "Normal/harrow.ico",
          "Compatibility/Tabsend", "Compatibility/LanTable.ini", "Compatibility/harrow.ico",
          "examples/english.ini"}) {
        EXPECT_EQ(readAll(copy + "/" + f), readAll(app(QString::fromLatin1(f)))) << f;
    }
    EXPECT_TRUE(QFileInfo(copy + "/Normal/Tabsend").isExecutable());

    // The user's table stays; a program that differs from the installed one is replaced.
    QFile table(copy + "/Normal/LanTable.ini");
    ASSERT_TRUE(table.open(QIODevice::Append));
    table.write("[Mine]\r\nKeep=1\r\n");
    table.close();
    const QByteArray mine = readAll(copy + "/Normal/LanTable.ini");
    QFile old(copy + "/Compatibility/Tabsend");
    ASSERT_TRUE(old.open(QIODevice::WriteOnly | QIODevice::Truncate));
    old.write("an older build");
    old.close();

    EXPECT_EQ(prepareCopy(installed("bin/dex-language-tool"), home.path()), copy);
    EXPECT_EQ(readAll(copy + "/Normal/LanTable.ini"), mine);
    EXPECT_EQ(readAll(copy + "/Compatibility/Tabsend"), readAll(app("Compatibility/Tabsend")));
}

class RealStart : public InstallTest,
                  public ::testing::WithParamInterface<std::tuple<int, bool>> {};

// Startup's own code in the program folder (installed, or the per-user copy): "Done" starts
// the chosen build with the launcher's folder and environment; the build passes its start-up
// check there (LanTable.ini in the working folder) and a compile writes the table in the
// build's own folder only.
TEST_P(RealStart, ChosenBuildStartsAndWritesTheTableInItsOwnFolder) {
    const auto [position, perUserCopy] = GetParam();
    QTemporaryDir home;
    QString folder = installed(kAppDir);
    if (perUserCopy) folder = prepareCopy(installed("bin/dex-language-tool"), home.path());
    const QString chosen = position == 0 ? "Normal" : "Compatibility";
    const QString other = position == 0 ? "Compatibility" : "Normal";
    const QByteArray initial = readAll(app("LanTable.ini"));
    // Earlier cases may have compiled into the installed folders: start from fresh tables.
    for (const QString& where : {installed(kAppDir), folder}) {
        for (const QString& f : {QString("Normal"), QString("Compatibility")}) {
            QFile::remove(where + "/" + f + "/LanTable.ini");
            ASSERT_TRUE(QFile::copy(app("LanTable.ini"), where + "/" + f + "/LanTable.ini"));
        }
    }

    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(folder));
    qputenv("TABSEND_AUTOMATE",
            ("Command1;Select1=" + folder + "/examples/english.ini;Setbtn;quit").toLocal8Bit());
    startup::DetachedStarter starter;
    class Silent : public startup::MessageBoxes {
      public:
        void show(const QString& text) override { ADD_FAILURE() << text.toStdString(); }
    } messages;
    {
        startup::Form0 chooser(starter, messages);
        ASSERT_TRUE(chooser.Form_Load());
        chooser.findChild<QComboBox*>("Combo1")->setCurrentIndex(position);
        chooser.findChild<QPushButton*>("Command1")->click();
    }
    qunsetenv("TABSEND_AUTOMATE");
    QDir::setCurrent(previous);

    const QString table = folder + "/" + chosen + "/LanTable.ini";
    QDeadlineTimer deadline(60000);
    while (tableCount(table) != "1" && !deadline.hasExpired()) QThread::msleep(50);
    EXPECT_EQ(tableCount(table), QStringLiteral("1"))
        << "the build did not compile into " << table.toStdString();
    EXPECT_TRUE(readAll(table).contains("Language=English"));
    EXPECT_EQ(readAll(folder + "/" + other + "/LanTable.ini"), initial);
    EXPECT_EQ(readAll(folder + "/LanTable.ini"), initial);
    if (perUserCopy) {
        EXPECT_EQ(readAll(app(chosen + "/LanTable.ini")), initial);
    }
}

INSTANTIATE_TEST_SUITE_P(BothBuilds, RealStart,
                         ::testing::Combine(::testing::Values(0, 1),
                                            ::testing::Values(false, true)),
                         [](const auto& param) {
                             return std::string(std::get<0>(param.param) == 0 ? "Normal"
                                                                              : "Compatibility") +
                                    (std::get<1>(param.param) ? "_PerUserCopy" : "_Installed");
                         });

}  // namespace
