#include "app/Form1.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <cstdlib>

#include "app/AboutTab.h"
#include "app/Logo.h"
#include "app/PortList.h"
#include "app/Twips.h"
#include "link/PortMap.h"

namespace tabsend {

namespace {

// Client area of the main window and the tab control inside it, in twips.
constexpr int kClientWidth = 10800;
constexpr int kClientHeight = 7560;

template <typename W>
W* make(QWidget* parent, const char* name, int x, int y, int w, int h) {
    auto* widget = new W(parent);
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(PxRect(x, y, w, h));
    return widget;
}

QString numbered(const char* stem, int n) {
    return QString::fromLatin1(stem) + QString::number(n);
}

// A label or caption text, also given to screen readers as the control's name.
void setCaption(QWidget* w, const QString& text) {
    if (auto* b = qobject_cast<QAbstractButton*>(w)) {
        b->setText(text);
    } else if (auto* l = qobject_cast<QLabel*>(w)) {
        l->setText(text);
    } else if (auto* g = qobject_cast<QGroupBox*>(w)) {
        g->setTitle(text);
    }
    w->setAccessibleName(text);
}

QLabel* label(QWidget* parent, const QString& name, int x, int y, int w, int h = 255) {
    auto* l = new QLabel(parent);
    l->setObjectName(name);
    l->setGeometry(PxRect(x, y, w, h));
    return l;
}

QLineEdit* displayBox(QWidget* parent, const QString& name, int x, int y) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setAccessibleName(name);
    box->setGeometry(PxRect(x, y, 1695, 300));
    box->setReadOnly(true);
    box->setEnabled(false);
    return box;
}

QPushButton* button(QWidget* parent, const QString& name, int x, int y, int w, int h = 375) {
    auto* b = new QPushButton(parent);
    b->setObjectName(name);
    b->setGeometry(PxRect(x, y, w, h));
    b->setAutoDefault(false);
    return b;
}

QComboBox* dropDown(QWidget* parent, const char* name, int x, int y, int w) {
    auto* c = make<QComboBox>(parent, name, x, y, w, 315);
    c->setEditable(false);
    c->setAccessibleName(QString::fromLatin1(name));
    return c;
}

void fillItems(QComboBox* combo, const std::vector<std::string>& items) {
    for (const auto& item : items) combo->addItem(QString::fromStdString(item));
}

void selectText(QComboBox* combo, const std::string& text) {
    const int i = combo->findText(QString::fromStdString(text));
    if (i >= 0) combo->setCurrentIndex(i);
}

}  // namespace

Form1::Form1(Outside outside, QWidget* parent)
    : QWidget(parent),
      outside_(std::move(outside)),
      link_(port_, pump_, timer1_, *outside_.messages),
      portControl_(port_, *outside_.messages, [this](int n) { return deviceForEntry(n - 1); }),
      main_(state_, link_, {}, *this, *outside_.messages, texts_),
      handlers_(state_, portControl_, link_, main_, *outside_.messages, texts_, *this),
      compiler_(state_, texts_, *outside_.messages, *outside_.notice, *this, pump_) {
    setObjectName("Form1");
    setWindowTitle("DEX Language Tool ");
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(PxSize(kClientWidth, kClientHeight));
    setWindowIcon(ProgramIcon());

    SSTab1 = make<QTabWidget>(this, "SSTab1", 60, 60, kClientWidth - 120, kClientHeight - 120);
    auto* comPage = new QWidget;
    auto* selectPage = new QWidget;
    comPage->setObjectName("SSTab1_Tab0");
    selectPage->setObjectName("SSTab1_Tab1");
    SSTab1->addTab(comPage, "COM Configuration");
    SSTab1->addTab(selectPage, "Select and download");
    About = new AboutTab(QString::fromStdString(outside_.programDir));
    About->setObjectName("SSTab1_Tab2");
    SSTab1->addTab(About, "About");
    SSTab1->setCurrentIndex(1);  // the window opens on the tab the program never changes
    buildComTab(comPage);
    buildSelectTab(selectPage);
    connectHandlers();
}

Form1::~Form1() = default;

void Form1::buildComTab(QWidget* page) {
    Frame16 = make<QGroupBox>(page, "Frame16", 120, 60, 10320, 2160);
    auto* frame17 = make<QGroupBox>(Frame16, "Frame17", 240, 360, 4680, 1560);
    label(frame17, "Label4", 240, 300, 4200);
    Combo1 = dropDown(frame17, "Combo1", 240, 720, 3300);
    auto* frame10 = make<QGroupBox>(Frame16, "Frame10", 5160, 360, 4920, 1560);
    label(frame10, "Label13", 240, 300, 4500);
    SetModeOpt[0] = make<QRadioButton>(frame10, "SetModeOpt_0", 240, 840, 300, 255);
    label(frame10, "Label8", 600, 840, 1800);
    SetModeOpt[1] = make<QRadioButton>(frame10, "SetModeOpt_1", 2520, 840, 300, 255);
    label(frame10, "Label9", 2880, 840, 1800);
    SetModeOpt[0]->setChecked(true);

    Frame7 = make<QGroupBox>(page, "Frame7", 120, 2340, 10320, 2640);
    label(Frame7, "Label14", 360, 480, 4200);
    Combo2 = dropDown(Frame7, "Combo2", 4800, 450, 1800);
    label(Frame7, "Label5", 360, 1020, 4200);
    Combo3 = dropDown(Frame7, "Combo3", 4800, 990, 1800);
    label(Frame7, "Label6", 360, 1560, 4200);
    Combo4 = dropDown(Frame7, "Combo4", 4800, 1530, 1800);
    label(Frame7, "Label7", 360, 2100, 4200)->hide();
    Combo5 = dropDown(Frame7, "Combo5", 4800, 2070, 1800);
    Combo5->hide();
}

void Form1::buildSelectTab(QWidget* page) {
    // "PC": the three slots' source files.
    Frame1 = make<QGroupBox>(page, "Frame1", 120, 60, 4695, 5415);
    for (int n = 1; n <= 3; ++n) {
        const int y = 480 + (n - 1) * 1440;
        const auto i = static_cast<std::size_t>(n - 1);
        Select[i] = button(Frame1, numbered("Select", n), 120, y, 1215);
        Clear[i] = button(Frame1, numbered("Clear", n), 120, y + 600, 1215);
        Clear[i]->setEnabled(false);
        label(Frame1, numbered("Label", 14 + n), 1560, y + 120, 840);
        LanguageBox[i] = displayBox(Frame1, numbered("Text", n), 2400, y + 105);
        label(Frame1, numbered("Label", n), 1560, y + 720, 840);
        VersionBox[i] = displayBox(Frame1, numbered("Text", 3 + n), 2400, y + 705);
    }
    ResetKey = button(Frame1, "ResetKey", 120, 4800, 1335);
    Setbtn = button(Frame1, "Setbtn", 1560, 4800, 1335);
    ReadCur = button(Frame1, "ReadCur", 3000, 4800, 1575);
    ReadCur->setEnabled(false);

    // "DEXIO": what the unit holds, and the connection.
    Frame4 = make<QGroupBox>(page, "Frame4", 4935, 60, 5505, 5415);
    for (int n = 1; n <= 3; ++n) {
        const int y = 480 + (n - 1) * 1440;
        const auto i = static_cast<std::size_t>(n - 1);
        label(Frame4, numbered("LanCurLanCode", n), 120, y + 120, 1080);
        LanCode[i] = displayBox(Frame4, QString("Lan%1Code").arg(n), 1200, y + 105);
        label(Frame4, numbered("LanCurVer", n), 120, y + 720, 1080);
        LanVer[i] = displayBox(Frame4, QString("Lan%1Ver").arg(n), 1200, y + 705);
        label(Frame4, numbered("Label", 19 + n), 3060, y + 120, 960);
        LanStaColor[i] = new QFrame(Frame4);
        LanStaColor[i]->setObjectName(QString("Lan%1StaColor").arg(n));
        LanStaColor[i]->setAccessibleName(LanStaColor[i]->objectName());
        LanStaColor[i]->setGeometry(PxRect(4080, y + 60, 1215, 375));
        LanStaColor[i]->setFrameShape(QFrame::Box);
        LanStaColor[i]->setAutoFillBackground(true);
        Operation[i] = new QCheckBox(Frame4);
        Operation[i]->setObjectName(numbered("Operation", n));
        Operation[i]->setGeometry(PxRect(3060, y + 705, 2340, 300));
        Operation[i]->setEnabled(false);
    }
    PortOpenbtn = button(Frame4, "PortOpenbtn", 120, 4800, 1695);
    PortClose = button(Frame4, "PortClose", 1920, 4800, 1695);
    PortClose->setEnabled(false);
    CompareBtn = button(Frame4, "CompareBtn", 3720, 4800, 1695);
    CompareBtn->setEnabled(false);

    // The download: button, progress text and bar under a thin blue strip.
    auto* frame8 = make<QFrame>(page, "Frame8", 120, 5535, 10320, 1380);
    auto* picture3 = make<QFrame>(frame8, "Picture3", 0, 0, 10320, 135);
    picture3->setAutoFillBackground(true);
    QPalette stripe = picture3->palette();
    stripe.setColor(QPalette::Window, QColor(0, 0, 255));
    picture3->setPalette(stripe);
    label(frame8, "Label18", 120, 330, 2760);
    DownItemInfo = label(frame8, "DownItemInfo", 2940, 330, 5460);
    setCaption(DownItemInfo, "download information");
    label(frame8, "Label19", 120, 810, 2760);
    auto* picture1 = make<QFrame>(frame8, "Picture1", 2940, 750, 5460, 375);
    ProgressBar1 = new QProgressBar(picture1);
    ProgressBar1->setObjectName("ProgressBar1");
    ProgressBar1->setAccessibleName("ProgressBar1");
    ProgressBar1->setGeometry(0, 0, picture1->width(), picture1->height());
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    Downloadbtn = button(frame8, "Downloadbtn", 8580, 420, 1620, 555);
    Downloadbtn->setEnabled(false);
}

void Form1::connectHandlers() {
    for (int n = 1; n <= 3; ++n) {
        const auto i = static_cast<std::size_t>(n - 1);
        connect(Select[i], &QPushButton::clicked, this, [this, n] { Select_Click(n); });
        connect(Clear[i], &QPushButton::clicked, this, [this, n] { Clear_Click(n); });
        // Like the check box of the old toolkit, a change of value made by the program
        // raises the handler too.
        connect(Operation[i], &QCheckBox::toggled, this, [this, n] { Operation_Click(n); });
    }
    connect(ResetKey, &QPushButton::clicked, this, [this] { ResetKey_Click(); });
    connect(Setbtn, &QPushButton::clicked, this, [this] { Setbtn_Click(); });
    connect(ReadCur, &QPushButton::clicked, this, [this] { ReadCur_Click(); });
    connect(PortOpenbtn, &QPushButton::clicked, this, [this] { PortOpenbtn_Click(); });
    connect(PortClose, &QPushButton::clicked, this, [this] { PortClose_Click(); });
    connect(CompareBtn, &QPushButton::clicked, this, [this] { CompareBtn_Click(); });
    connect(Downloadbtn, &QPushButton::clicked, this, [this] { Downloadbtn_Click(); });
    for (int i = 0; i < 2; ++i) {
        connect(SetModeOpt[static_cast<std::size_t>(i)], &QRadioButton::clicked, this,
                [this, i] { SetModeOpt_Click(i); });
    }
    for (QComboBox* c : {Combo1, Combo2, Combo3, Combo4, Combo5}) {
        connect(c, &QComboBox::currentIndexChanged, this, [this] { comboEdited(); });
    }
}

// ---- Load and unload ----

void Form1::Form_Load() {
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        trayIcon_ = new QSystemTrayIcon(windowIcon(), this);
        trayIcon_->setToolTip("Lexiport");
        trayIcon_->show();
    }
    state_.CommBusy = kFalse;
    state_.OperationAutoSet = kFalse;
    main_.InitSlotColors(*this);
    state_.LanTablePath =
        QDir(QString::fromStdString(outside_.programDir)).filePath("LanTable.ini").toStdString();
    compiler_.LanSelectedCount = 0;
    for (int n = 1; n <= 3; ++n) {
        compiler_.LanFilePath(n).clear();
        compiler_.LanFileSelected(n) = kFalse;
    }
    main_.InitLanParam();
    fillPortList();
    portControl_.InitCommCombos();
    portControl_.SetAutoMode();
    combosChanged();
}

void Form1::closeEvent(QCloseEvent* event) {
    if (!isEnabled()) {
        // A compile or a reset holds the window locked: it cannot be closed then.
        event->ignore();
        return;
    }
    Form_Unload();
    event->accept();
}

void Form1::Form_Unload() {
    if (trayIcon_) trayIcon_->hide();
    // The program ends here, even inside a download: no further request is sent and the
    // port goes with the process.
    if (outside_.endProgram) {
        outside_.endProgram();
    } else {
        std::_Exit(0);
    }
}

bool Form1::trayIconShown() const {
    return trayIcon_ && trayIcon_->isVisible();
}

// ---- Languages ----

void Form1::ApplyLanguage(const LanguageCaptions& captions) {
    for (int i = 0; i < 3; ++i) {
        SSTab1->setTabText(i, QString::fromStdString(captions.tabs[static_cast<std::size_t>(i)]));
    }
    for (const auto& row : captions.controls) {
        if (auto* w = findChild<QWidget*>(QString::fromStdString(row.control))) {
            setCaption(w, QString::fromStdString(row.text));
        }
    }
    // The option buttons are named after the labels beside them.
    SetModeOpt[0]->setAccessibleName(findChild<QLabel*>("Label8")->text());
    SetModeOpt[1]->setAccessibleName(findChild<QLabel*>("Label9")->text());
    texts_ = captions.messages;
    About->setLegalText(QString::fromStdString(captions.legalText));
    About->setFrame15Caption(QString::fromStdString(captions.frame15));
}

// ---- The "PC" frame ----

void Form1::showSlotBoxes(int n) {
    const auto i = static_cast<std::size_t>(n - 1);
    const SlotBoxes& boxes = compiler_.Boxes(n);
    LanguageBox[i]->setText(QString::fromStdString(boxes.language));
    VersionBox[i]->setText(QString::fromStdString(boxes.version));
    Clear[i]->setEnabled(boxes.clearEnabled);
}

void Form1::showSlotBoxes() {
    for (int n = 1; n <= 3; ++n) showSlotBoxes(n);
}

void Form1::Select_Click(int n) {
    const std::string path = outside_.dialog->ShowOpen(kSourceFileFilter, 1);
    compiler_.SelectFile(n, path);
    showSlotBoxes(n);
}

void Form1::Clear_Click(int n) {
    compiler_.Clear(n);
    showSlotBoxes(n);
}

void Form1::lockWindow(bool locked) {
    SSTab1->setEnabled(!locked);
    QWidget::setEnabled(!locked);
}

void Form1::ResetKey_Click() {
    ResetKey->setEnabled(false);
    lockWindow(true);
    for (std::size_t i = 0; i < 3; ++i) {
        LanguageBox[i]->clear();
        VersionBox[i]->clear();
    }
    compiler_.Reset();
    showSlotBoxes();
    lockWindow(false);
    ReadCur->setEnabled(false);
    ResetKey->setEnabled(true);
}

void Form1::Setbtn_Click() {
    Setbtn->setEnabled(false);
    lockWindow(true);
    compiler_.Compile();
    showSlotBoxes();
    if (compiler_.RestoreEnabled()) ReadCur->setEnabled(true);
    Setbtn->setEnabled(true);
    lockWindow(false);
}

void Form1::ReadCur_Click() {
    compiler_.Restore();
    showSlotBoxes();
}

void Form1::refreshLocked() {
    // Called once per table entry: keep the locked window painted at screen pace, not at the
    // pace of the entries (a repaint per entry would cost more than the compile).
    if (refreshClock_.isValid() && refreshClock_.elapsed() < kRefreshMs) return;
    refreshClock_.start();
    repaint();
}

// ---- The "DEXIO" frame and the download ----

void Form1::PortOpenbtn_Click() {
    handlers_.PortOpenbtn_Click();
}

void Form1::PortClose_Click() {
    handlers_.PortClose_Click();
}

void Form1::PortProcess() {
    handlers_.PortProcess();
}

void Form1::CompareBtn_Click() {
    main_.CompareBtn_Click(*this, *this);
}

void Form1::Downloadbtn_Click() {
    main_.Downloadbtn_Click(*this);
}

void Form1::Operation_Click(int n) {
    main_.Operation_Click(n, *this, *this);
}

void Form1::SetControlsEnabled(bool enabled) {
    for (QPushButton* b : {ResetKey, Setbtn, ReadCur, PortClose, CompareBtn})
        b->setEnabled(enabled);
    for (std::size_t i = 0; i < 3; ++i) {
        Clear[i]->setEnabled(enabled);
        Select[i]->setEnabled(enabled);
    }
    setOperationsVisible(enabled);
}

void Form1::setCompareEnabled(bool enabled) {
    CompareBtn->setEnabled(enabled);
}

void Form1::setDownloadEnabled(bool enabled) {
    Downloadbtn->setEnabled(enabled);
}

void Form1::setDisconnectEnabled(bool enabled) {
    PortClose->setEnabled(enabled);
}

void Form1::setVersionText(int slot, const std::string& text) {
    LanVer.at(static_cast<std::size_t>(slot - 1))->setText(QString::fromStdString(text));
}

void Form1::setLanguageText(int slot, const std::string& text) {
    LanCode.at(static_cast<std::size_t>(slot - 1))->setText(QString::fromStdString(text));
}

void Form1::setOperationEnabled(int slot, bool enabled) {
    Operation.at(static_cast<std::size_t>(slot - 1))->setEnabled(enabled);
}

void Form1::setOperationValue(int slot, bool ticked) {
    Operation.at(static_cast<std::size_t>(slot - 1))->setChecked(ticked);
}

void Form1::setStatusColor(int slot, std::uint32_t bgr) {
    QFrame* box = LanStaColor.at(static_cast<std::size_t>(slot - 1));
    QPalette p = box->palette();
    p.setColor(QPalette::Window,
               QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                      static_cast<int>((bgr >> 16) & 0xFF)));
    box->setPalette(p);
}

void Form1::setEnabled(Control control, bool enabled) {
    switch (control) {
        case MainControls::PortOpenbtn:
            PortOpenbtn->setEnabled(enabled);
            break;
        case MainControls::PortClose:
            PortClose->setEnabled(enabled);
            break;
        case MainControls::Downloadbtn:
            Downloadbtn->setEnabled(enabled);
            break;
        case MainControls::CompareBtn:
            CompareBtn->setEnabled(enabled);
            break;
    }
}

void Form1::setOperationsVisible(bool visible) {
    for (QCheckBox* box : Operation) box->setVisible(visible);
}

void Form1::setItemInfo(const std::string& text) {
    DownItemInfo->setText(QString::fromStdString(text));
}

void Form1::setProgressRange(int min, int max) {
    ProgressBar1->setRange(min, max);
}

void Form1::setProgressValue(int value) {
    if (ProgressBar1->value() == value) return;
    ProgressBar1->setValue(value);
    ProgressBar1->repaint();  // every step reaches the screen, even between two waits
}

// ---- The "COM Configuration" tab ----

void Form1::SetModeOpt_Click(int index) {
    portControl_.SetModeOpt_Click(index);
    combosChanged();
}

std::string Form1::deviceForEntry(int listPosition) const {
    if (listPosition >= 0 && listPosition < PortMap::kLastCom) {
        return comPortDevice(listPosition + 1);
    }
    const auto extra = static_cast<std::size_t>(listPosition - PortMap::kLastCom);
    return extra < extraPorts_.size() ? extraPorts_[extra] : std::string();
}

void Form1::fillPortList() {
    extraPorts_ = outside_.extraPorts ? outside_.extraPorts() : ExtraSerialPorts();
    mirroringCombos_ = true;
    Combo1->clear();
    fillItems(Combo1, CommCombos::PortItems());
    for (const auto& device : extraPorts_) Combo1->addItem(QString::fromStdString(device));
    Combo2->clear();
    fillItems(Combo2, CommCombos::BaudItems());
    Combo3->clear();
    fillItems(Combo3, CommCombos::DataItems());
    Combo4->clear();
    fillItems(Combo4, CommCombos::ParityItems());
    Combo5->clear();
    fillItems(Combo5, CommCombos::StopItems());
    mirroringCombos_ = false;
}

void Form1::combosChanged() {
    const CommCombos& model = portControl_.combos;
    mirroringCombos_ = true;
    Combo1->setCurrentIndex(model.Combo1);
    selectText(Combo2, model.Combo2);
    selectText(Combo3, model.Combo3);
    selectText(Combo4, model.Combo4);
    selectText(Combo5, model.Combo5);
    QComboBox* combos[] = {Combo1, Combo2, Combo3, Combo4, Combo5};
    for (std::size_t i = 0; i < 5; ++i) combos[i]->setEnabled(model.enabled[i]);
    Combo1->setToolTip(QString::fromStdString(deviceForEntry(model.Combo1)));
    mirroringCombos_ = false;
}

void Form1::comboEdited() {
    if (mirroringCombos_) return;
    CommCombos& model = portControl_.combos;
    model.Combo1 = Combo1->currentIndex();
    model.Combo2 = Combo2->currentText().toStdString();
    model.Combo3 = Combo3->currentText().toStdString();
    model.Combo4 = Combo4->currentText().toStdString();
    model.Combo5 = Combo5->currentText().toStdString();
    Combo1->setToolTip(QString::fromStdString(deviceForEntry(model.Combo1)));
}

}  // namespace tabsend
