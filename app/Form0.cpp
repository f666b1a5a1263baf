#include "app/Form0.h"

#include <QComboBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

#include "app/Form1.h"
#include "app/Twips.h"
#include "app/ViewSetting.h"

namespace tabsend {

Form0::Form0(MessageSink& messages, std::function<Form1&()> mainWindow, QWidget* parent)
    : QWidget(parent), messages_(messages), mainWindow_(std::move(mainWindow)) {
    setObjectName("Form0");
    setWindowTitle("setting");
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(PxSize(4815, 1260));

    auto* frame1 = new QGroupBox("View Setting", this);
    frame1->setObjectName("Frame1");
    frame1->setAccessibleName(frame1->title());
    frame1->setGeometry(PxRect(120, 60, 3375, 1080));
    auto* label1 = new QLabel("Language:", frame1);
    label1->setObjectName("Label1");
    label1->setAccessibleName(label1->text());
    label1->setGeometry(PxRect(120, 480, 1020, 255));
    Combo1 = new QComboBox(frame1);
    Combo1->setObjectName("Combo1");
    Combo1->setAccessibleName(label1->text());
    Combo1->setEditable(false);
    Combo1->setGeometry(PxRect(1200, 450, 2040, 315));
    label1->setBuddy(Combo1);
    Command1 = new QPushButton("Done", this);
    Command1->setObjectName("Command1");
    Command1->setAccessibleName(Command1->text());
    Command1->setGeometry(PxRect(3615, 510, 1080, 375));
    Command1->setDefault(true);
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
}

std::int16_t Form0::LanTableFileExistChk() {
    // Relative name: looked up in the working folder, not the program folder.
    if (QFileInfo("LanTable.ini").isFile()) return -1;
    messages_.showMessage("System file corrupt.");
    return 0;
}

bool Form0::Form_Load() {
    if (LanTableFileExistChk() == 0) return false;
    Combo1->clear();
    Combo1->addItems({"English", "Deutsch", "Français", "Italiano", "Español"});
    Combo1->setCurrentIndex(0);
    return true;
}

void Form0::Command1_Click() {
    const int position = Combo1->currentIndex();
    const auto index = static_cast<std::uint8_t>(position < 0 ? 0 : position);
    ViewSetting::SelectLanguage(index, mainWindow_);
    close();
    mainWindow_().show();
}

}  // namespace tabsend
