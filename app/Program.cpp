#include "app/Program.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QProgressBar>
#include <QTimer>
#include <cstdio>

#include "app/Form0.h"
#include "app/Form1.h"
#include "app/LanSetNotifySpan.h"
#include "app/QtMessages.h"

namespace tabsend {

QStringList AutomationSteps(const QString& value) {
    QStringList steps;
    for (const QString& step : value.split(';')) {
        const QString trimmed = step.trimmed();
        if (!trimmed.isEmpty()) steps << trimmed;
    }
    return steps;
}

// The real dialog, or the path a scripted step gave.
class Program::ScriptedDialog final : public OpenFileDialog {
  public:
    std::string ShowOpen(const std::string& filter, int filterIndex) override {
        if (scripted_) {
            scripted_ = false;
            return path_;
        }
        return QtOpenFileDialog(nullptr).ShowOpen(filter, filterIndex);
    }
    void answerNext(std::string path) {
        path_ = std::move(path);
        scripted_ = true;
    }

  private:
    bool scripted_ = false;
    std::string path_;
};

Program::Program()
    : steps_(AutomationSteps(qEnvironmentVariable("TABSEND_AUTOMATE"))),
      messages_(std::make_unique<QtMessageSink>("Tabsend", !steps_.isEmpty())),
      dialog_(std::make_unique<ScriptedDialog>()),
      notice_(std::make_unique<LanSetNotifySpan>()) {}

Program::~Program() = default;

Form1& Program::mainWindow() {
    if (!form1_) {
        Form1::Outside outside;
        outside.messages = messages_.get();
        outside.dialog = dialog_.get();
        outside.notice = notice_.get();
        outside.programDir = QCoreApplication::applicationDirPath().toStdString();
        form1_ = std::make_unique<Form1>(std::move(outside));
        messages_->setParentWindow(form1_.get());
        form1_->Form_Load();
    }
    return *form1_;
}

int Program::run() {
    form0_ = std::make_unique<Form0>(*messages_, [this]() -> Form1& { return mainWindow(); });
    if (!form0_->Form_Load()) return 1;
    form0_->show();
    if (!steps_.isEmpty()) QTimer::singleShot(0, [this] { playNextStep(); });
    return QApplication::exec();
}

void Program::playNextStep() {
    if (steps_.isEmpty()) return;
    const QString step = steps_.takeFirst();
    if (step == "quit") {
        QCoreApplication::exit(0);
        return;
    }
    const QString name = step.section('=', 0, 0);
    const QString argument = step.section('=', 1);
    if (name == "closeWhenProgress" && form1_) {
        // Closes the main window as soon as its bar reaches the value, from inside whatever
        // runs then (a download's waits, typically).
        auto* bar = form1_->findChild<QProgressBar*>("ProgressBar1");
        const int at = argument.toInt();
        QObject::connect(bar, &QProgressBar::valueChanged, form1_.get(), [this, at](int value) {
            if (value >= at) form1_->close();
        });
        QTimer::singleShot(0, [this] { playNextStep(); });
        return;
    }
    QAbstractButton* target = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (!top->isVisible()) continue;
        target = top->findChild<QAbstractButton*>(name);
        if (target) break;
    }
    if (!target || !target->isEnabled()) {
        std::fprintf(stderr, "automation: no enabled control named %s\n", qPrintable(name));
        QCoreApplication::exit(3);
        return;
    }
    if (step.contains('=')) dialog_->answerNext(argument.toStdString());
    target->click();
    QTimer::singleShot(0, [this] { playNextStep(); });
}

}  // namespace tabsend
