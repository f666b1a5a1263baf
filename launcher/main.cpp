// Startup: asks which firmware the DEXIO runs and starts the matching build of Tabsend.
#include <QApplication>

#include "launcher/Form0.h"
#include "launcher/ProcessStart.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Startup"));
    startup::DetachedStarter starter;
    startup::QtMessageBoxes messages;
    startup::Form0 chooser(starter, messages);
    if (!chooser.Form_Load()) return 0;
    chooser.show();
    return app.exec();
}
