#pragma once
// Message boxes of the windows: an OK button only, no icon, titled with the program's
// title, waiting until the user has closed the box. In scripted runs (TABSEND_AUTOMATE)
// the texts go to standard error instead, one line "message: <text>" each.

#include <QString>
#include <memory>
#include <string>

#include "shell/Seams.h"

class QMessageBox;
class QWidget;

namespace tabsend {

// The box as the windows show it: the text, an OK button (without a picture on it), no icon.
std::unique_ptr<QMessageBox> NewMessageBox(const QString& title, const QString& text,
                                           QWidget* parent);

class QtMessageSink final : public MessageSink {
  public:
    QtMessageSink(QString title, bool toStandardError);
    // The window the boxes are centred on (none: the screen).
    void setParentWindow(QWidget* parent) { parent_ = parent; }
    void showMessage(const std::string& text) override;

  private:
    QString title_;
    bool toStandardError_;
    QWidget* parent_ = nullptr;
};

}  // namespace tabsend
