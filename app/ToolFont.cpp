#include "app/ToolFont.h"

#include <QApplication>
#include <QFont>

namespace tabsend {

void UseToolFont() {
    QFont font("DejaVu Sans");
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(8);
    QApplication::setFont(font);
}

}  // namespace tabsend
