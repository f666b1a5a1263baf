// Renders every window of Tabsend in each of the five UI languages to PNG files:
//   window-shots OUTPUT_DIR
// View Setting, the three tabs of the main window, the busy notice and a message box.
// Run it on a real display (Xvfb will do) so the pictures show the fonts a user sees.
#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QTabWidget>
#include <QTimer>
#include <cstdio>
#include <filesystem>

#include "app/Form0.h"
#include "app/Form1.h"
#include "app/LanSetNotifySpan.h"
#include "app/OpenFileDialog.h"
#include "app/QtMessages.h"
#include "app/ToolFont.h"
#include "app/ViewSetting.h"
#include "shell/Captions.h"

namespace {

using namespace tabsend;

class NoMessages : public MessageSink {
  public:
    void showMessage(const std::string&) override {}
};

class NoDialog : public OpenFileDialog {
  public:
    std::string ShowOpen(const std::string&, int) override { return {}; }
};

const char* kLanguageCodes[] = {"en", "de", "fr", "it", "es"};

bool save(QWidget& w, const QString& path) {
    w.show();
    QApplication::processEvents();
    const bool ok = w.grab().save(path);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    UseToolFont();
    if (argc != 2) {
        std::fprintf(stderr, "usage: window-shots OUTPUT_DIR\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!QDir().mkpath(out.path())) return 1;
    bool ok = true;
    NoMessages messages;
    NoDialog dialog;
    const QString programDir = QCoreApplication::applicationDirPath();
    for (int lang = 0; lang < 5; ++lang) {
        const QString code = kLanguageCodes[lang];
        LanSetNotifySpan notice;
        Form1::Outside outside;
        outside.messages = &messages;
        outside.dialog = &dialog;
        outside.notice = &notice;
        outside.programDir = programDir.toStdString();
        outside.endProgram = [] {};
        Form1 form1(outside);
        form1.Form_Load();
        Form0 form0(messages, [&form1]() -> Form1& { return form1; });
        if (lang == 0) {
            // The View Setting window is not translated: one picture.
            form0.Form_Load();  // needs a LanTable.ini in the working folder
            ok &= save(form0, out.filePath("view-setting.png"));
            form0.hide();
        }
        ViewSetting::SelectLanguage(static_cast<std::uint8_t>(lang),
                                    [&form1]() -> Form1& { return form1; });
        auto* tabs = form1.findChild<QTabWidget*>("SSTab1");
        for (int t = 0; t < 3; ++t) {
            tabs->setCurrentIndex(t);
            ok &= save(form1, out.filePath(QString("main-tab%1-%2.png").arg(t).arg(code)));
        }
        form1.hide();

        const Messages texts = SelectLanguage(static_cast<std::uint8_t>(lang)).messages;
        notice.show();
        notice.setLine(CreateLanguageLine(texts, 2));
        notice.setBarWidth(2500);
        ok &= save(notice, out.filePath(QString("busy-notice-%1.png").arg(code)));
        notice.close();

        auto box =
            NewMessageBox("Tabsend", QString::fromStdString(texts.MsgIllegalOperation), nullptr);
        ok &= save(*box, out.filePath(QString("message-box-%1.png").arg(code)));
        box->hide();
    }
    // A text that is the same in every language, with its full-width exclamation mark.
    auto box = NewMessageBox("Tabsend", QString::fromUtf8(kWriteErrorText), nullptr);
    ok &= save(*box, out.filePath("message-box-write-error.png"));
    return ok ? 0 : 1;
}
