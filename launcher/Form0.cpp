#include "launcher/Form0.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QIcon>
#include <QPixmap>
#include <QPushButton>

#include "launcher/Form1.h"
#include "launcher/Twips.h"
#include "tools/artwork/Artwork.h"

namespace startup {

namespace {

QPushButton* button(QWidget* parent, const char* name, const QString& caption, QRect at) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setAccessibleName(caption);
    b->setGeometry(at);
    return b;
}

// A file (not a folder) of that name, relative to the working folder.
bool fileExists(const char* relativePath) {
    return QFileInfo(QString::fromLatin1(relativePath)).isFile();
}

}  // namespace

Form0::Form0(ProcessStarter& starter, MessageBoxes& messages)
    : QWidget(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      starter_(starter),
      messages_(messages) {
    setObjectName(QStringLiteral("Form0"));
    setWindowTitle(QStringLiteral("setting"));
    setAccessibleName(QStringLiteral("setting"));
    setWindowIcon(QIcon(QPixmap::fromImage(artwork::ProgramIcon(64))));
    setFixedSize(PxSize(4845, 1125));

    Frame1 = new QGroupBox(QStringLiteral("DEXIO FW version"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setAccessibleName(Frame1->title());
    Frame1->setGeometry(PxRect(120, 45, 3240, 960));

    Combo1 = new QComboBox(Frame1);  // pick only, no typing
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Combo1->setAccessibleName(Frame1->title());
    Combo1->setEditable(false);
    Combo1->setGeometry(PxRect(120, 330, 3000, 435));

    Command2 = button(this, "Command2", QStringLiteral("Help"), PxRect(3480, 90, 1215, 420));
    Command1 = button(this, "Command1", QStringLiteral("Done"), PxRect(3480, 585, 1215, 420));
    connect(Command2, &QPushButton::clicked, this, &Form0::Command2_Click);
    connect(Command1, &QPushButton::clicked, this, &Form0::Command1_Click);
}

int16_t Form0::SysFileExistChk() {
    // The Compatibility build is looked for only when the Normal one is there.
    if (fileExists(kNormalBuild) && fileExists(kCompatibilityBuild)) return -1;
    messages_.show(QStringLiteral("System file corrupt."));
    return 0;
}

bool Form0::Form_Load() {
    if (SysFileExistChk() == 0) {
        close();
        return false;
    }
    Combo1->clear();
    Combo1->addItem(QStringLiteral("v 1.2.xxx (or above)"));
    Combo1->addItem(QStringLiteral("v 1.1.xxx"));
    Combo1->setCurrentIndex(0);
    return true;
}

void Form0::Command2_Click() {
    // A new help window each time; the chooser takes no input while it is open.
    Form1 help(this);
    help.exec();
}

void Form0::Command1_Click() {
    const auto position = static_cast<uint8_t>(Combo1->currentIndex());
    StartRequest request;
    request.program = QString::fromLatin1(position == 0 ? kNormalBuild : kCompatibilityBuild);
    request.workingDirectory = QDir::currentPath();
    request.environment = QProcessEnvironment::systemEnvironment();
    // Whether the build started or not, the launcher's work is done.
    starter_.start(request);
    close();
}

}  // namespace startup
