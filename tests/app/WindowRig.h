#pragma once
// A Tabsend main window for tests: recording message boxes (each with the progress bar's
// value at the moment it was shown), a file dialog that answers what the test queued, a
// recording busy notice, a program folder of its own, and no end of the process on close.

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QTabWidget>
#include <deque>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/Form1.h"
#include "app/OpenFileDialog.h"
#include "tests/support/RecordingSeams.h"

namespace tabsend::apptest {

namespace fs = std::filesystem;

class QueuedDialog : public OpenFileDialog {
  public:
    std::string ShowOpen(const std::string& filter, int filterIndex) override {
        filters.push_back(filter);
        filterIndexes.push_back(filterIndex);
        if (answers.empty()) return "";
        std::string a = answers.front();
        answers.pop_front();
        return a;
    }
    std::deque<std::string> answers;  // "" answers as a cancelled dialog
    std::vector<std::string> filters;
    std::vector<int> filterIndexes;
};

struct ShownMessage {
    std::string text;
    int progressValue = -1;
    int progressMax = -1;
    bool windowEnabled = true;
};

class WindowMessages : public MessageSink {
  public:
    void showMessage(const std::string& text) override {
        ShownMessage m{text};
        if (window) {
            auto* bar = window->findChild<QProgressBar*>("ProgressBar1");
            m.progressValue = bar->value();
            m.progressMax = bar->maximum();
            m.windowEnabled = window->isEnabled();
        }
        shown.push_back(m);
    }
    std::vector<std::string> texts() const {
        std::vector<std::string> t;
        for (const auto& m : shown) t.push_back(m.text);
        return t;
    }
    QWidget* window = nullptr;
    std::vector<ShownMessage> shown;
};

class WindowRig {
  public:
    // `programDir` empty: a fresh temporary folder.
    explicit WindowRig(fs::path programDir = {});
    ~WindowRig();

    Form1& form() { return *form_; }
    template <typename W = QWidget>
    W* get(const char* name) const {
        W* w = form_->findChild<W*>(QString::fromLatin1(name));
        if (!w) throw std::runtime_error(std::string("no control ") + name);
        return w;
    }
    void click(const char* name) { get<QAbstractButton>(name)->click(); }
    std::string text(const char* name) const;
    const fs::path& dir() const { return dir_; }
    fs::path table() const { return dir_ / "LanTable.ini"; }
    fs::path write(const std::string& name, const std::string& text) const;

    QueuedDialog dialog;
    WindowMessages messages;
    testkit::RecordingBusyNotice notice;
    int endRequests = 0;

  private:
    fs::path dir_;
    bool ownDir_ = false;
    std::unique_ptr<Form1> form_;
};

// Every caption, with the control it belongs to, that does not fit its control's width.
std::vector<std::string> ClippedCaptions(const QWidget& root);

}  // namespace tabsend::apptest
