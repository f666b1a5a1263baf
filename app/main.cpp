// Tabsend: the View Setting window first, then the main window.
#include <QApplication>

#include "app/Program.h"
#include "app/ToolFont.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Tabsend");
    tabsend::UseToolFont();
    tabsend::Program program;
    return program.run();
}
