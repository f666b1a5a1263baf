#include "app/QtMessages.h"

#include <QIcon>
#include <QMessageBox>
#include <QPushButton>
#include <cstdio>

namespace tabsend {

std::unique_ptr<QMessageBox> NewMessageBox(const QString& title, const QString& text,
                                           QWidget* parent) {
    auto box = std::make_unique<QMessageBox>(QMessageBox::NoIcon, title, text, QMessageBox::Ok,
                                             parent);
    box->setObjectName("MessageBox");
    box->button(QMessageBox::Ok)->setIcon(QIcon());
    return box;
}

QtMessageSink::QtMessageSink(QString title, bool toStandardError)
    : title_(std::move(title)), toStandardError_(toStandardError) {}

void QtMessageSink::showMessage(const std::string& text) {
    if (toStandardError_) {
        std::fprintf(stderr, "message: %s\n", text.c_str());
        std::fflush(stderr);
        return;
    }
    NewMessageBox(title_, QString::fromStdString(text), parent_)->exec();
}

}  // namespace tabsend
