#include "launcher/ProcessStart.h"

#include <QAbstractButton>
#include <QIcon>
#include <QMessageBox>
#include <QProcess>

namespace startup {

bool DetachedStarter::start(const StartRequest& request) {
    QProcess process;
    // A relative program path with a folder in it is resolved against the working folder
    // the new process starts in, which is the launcher's own.
    process.setProgram(request.program);
    process.setArguments(request.arguments);
    process.setWorkingDirectory(request.workingDirectory);
    process.setProcessEnvironment(request.environment);
    return process.startDetached();
}

void QtMessageBoxes::show(const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Startup"), text, QMessageBox::Ok);
    box.button(QMessageBox::Ok)->setIcon(QIcon());  // a plain OK, without the style's picture
    box.exec();
}

}  // namespace startup
