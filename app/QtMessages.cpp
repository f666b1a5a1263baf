#include "app/QtMessages.h"

#include <QMessageBox>
#include <cstdio>

namespace tabsend {

QtMessageSink::QtMessageSink(QString title, bool toStandardError)
    : title_(std::move(title)), toStandardError_(toStandardError) {}

void QtMessageSink::showMessage(const std::string& text) {
    if (toStandardError_) {
        std::fprintf(stderr, "message: %s\n", text.c_str());
        std::fflush(stderr);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, title_, QString::fromStdString(text), QMessageBox::Ok,
                    parent_);
    box.setObjectName("MessageBox");
    box.exec();
}

}  // namespace tabsend
