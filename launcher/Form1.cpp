#include "launcher/Form1.h"

#include <QLabel>
#include <QPixmap>

#include "launcher/HelpPicture.h"
#include "launcher/Twips.h"

namespace startup {

Form1::Form1(QWidget* chooser)
    : QDialog(chooser, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Help"));
    setAccessibleName(QStringLiteral("Help"));
    setModal(true);
    setFixedSize(PxSize(6615, 6135));

    // The picture fills the window inside a thin border, unscaled and centred.
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setAccessibleName(QStringLiteral("How to get DEXIO FW Version:"));
    Image1->setFrameShape(QFrame::Box);
    Image1->setLineWidth(1);
    Image1->setAlignment(Qt::AlignCenter);
    Image1->setAutoFillBackground(true);
    QPalette palette = Image1->palette();
    palette.setColor(QPalette::Window, Qt::white);
    Image1->setPalette(palette);
    Image1->setPixmap(QPixmap::fromImage(HelpPicture()));
    Image1->setGeometry(rect());
}

void Form1::showEvent(QShowEvent* event) {
    if (QWidget* chooser = parentWidget()) {
        QRect frame = frameGeometry();
        frame.moveCenter(chooser->frameGeometry().center());
        move(frame.topLeft());
    }
    QDialog::showEvent(event);
}

}  // namespace startup
