#include "app/LanSetNotifySpan.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <algorithm>

#include "app/BgrColor.h"
#include "app/Logo.h"
#include "app/Twips.h"

namespace tabsend {

namespace {

constexpr std::uint32_t kTrackColour = 0xFF0000;  // blue
constexpr std::uint32_t kBarColour = 0x00FF00;    // green

// Layout inside the window and inside Frame1, in twips.
constexpr int kFrameX = 150, kFrameY = 112, kFrameW = 5760, kFrameH = 1635;
constexpr int kLogoX = 120, kLogoY = 240, kLogoW = 1815, kLogoH = 465;
// The status line runs to the frame's right margin: the French and Italian lines are too
// long for a label ending above the track's end.
constexpr int kLineX = 2040, kLineY = 285, kLineW = kFrameW - 120 - kLineX, kLineH = 375;
constexpr int kTrackX = (kFrameW - LanSetNotifySpan::kTrackWidthTwips) / 2, kTrackY = 1020;
constexpr int kBarY = (LanSetNotifySpan::kTrackHeightTwips - LanSetNotifySpan::kBarHeightTwips) / 2;

QWidget* colourBox(QWidget* parent, const char* name, std::uint32_t bgr) {
    auto* box = new QWidget(parent);
    box->setObjectName(QString::fromLatin1(name));
    QPalette palette = box->palette();
    palette.setColor(QPalette::Window, BgrColor(bgr));
    box->setPalette(palette);
    box->setAutoFillBackground(true);
    return box;
}

}  // namespace

LanSetNotifySpan::LanSetNotifySpan(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("LanSetNotifySpan"));
    setAccessibleName(QStringLiteral("LanSetNotifySpan"));
    // A helper window: closing it never ends the program.
    setAttribute(Qt::WA_QuitOnClose, false);
    setFixedSize(PxSize(kWidthTwips, kHeightTwips));

    frame_ = new QGroupBox(this);
    frame_->setObjectName(QStringLiteral("Frame1"));
    frame_->setGeometry(PxRect(kFrameX, kFrameY, kFrameW, kFrameH));

    logo_ = new QLabel(frame_);
    logo_->setObjectName(QStringLiteral("imgLogo"));
    logo_->setAccessibleName(QStringLiteral("DEX Language Tool logo"));
    logo_->setGeometry(PxRect(kLogoX, kLogoY, kLogoW, kLogoH));
    const qreal ratio = devicePixelRatioF();
    QPixmap logo = DrawLogo(logo_->size() * ratio);
    logo.setDevicePixelRatio(ratio);
    logo_->setPixmap(logo);

    label_ = new QLabel(frame_);
    label_->setObjectName(QStringLiteral("Label1"));
    label_->setGeometry(PxRect(kLineX, kLineY, kLineW, kLineH));
    label_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    track_ = colourBox(frame_, "Picture1", kTrackColour);
    track_->setGeometry(PxRect(kTrackX, kTrackY, kTrackWidthTwips, kTrackHeightTwips));
    bar_ = colourBox(track_, "Image1", kBarColour);
    bar_->setGeometry(0, Px(kBarY), 0, Px(kBarHeightTwips));
}

void LanSetNotifySpan::centreOnScreen() {
    const QScreen* screen = parentWidget() ? parentWidget()->screen() : this->screen();
    if (!screen) return;
    QRect area = geometry();
    area.moveCenter(screen->geometry().center());
    move(area.topLeft());
}

void LanSetNotifySpan::show() {
    if (!isVisible()) centreOnScreen();
    QWidget::show();
    // Let the window system map the window so the paint below reaches the screen; input
    // stays queued for the callers' own event pump.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    QWidget::repaint();
}

void LanSetNotifySpan::setLine(const std::string& text) {
    const QString line = QString::fromStdString(text);
    label_->setText(line);
    label_->setAccessibleName(line);
}

QString LanSetNotifySpan::line() const {
    return label_->text();
}

void LanSetNotifySpan::setBarWidth(int twips) {
    barTwips_ = twips;
    // Image1 keeps the full width; Picture1 cuts it off at its right end.
    bar_->resize(Px(std::max(twips, 0)), bar_->height());
}

void LanSetNotifySpan::repaint() {
    if (isVisible()) QWidget::repaint();
}

void LanSetNotifySpan::close() {
    if (!isVisible()) return;
    closing_ = true;
    QWidget::close();
    closing_ = false;
}

void LanSetNotifySpan::paintEvent(QPaintEvent*) {
    // The fixed single border of the window.
    QPainter p(this);
    p.setPen(palette().color(QPalette::Shadow));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

void LanSetNotifySpan::closeEvent(QCloseEvent* event) {
    if (closing_)
        event->accept();
    else
        event->ignore();
}

void LanSetNotifySpan::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // Disabled through its owner, not by itself: enable it again (a window may be enabled
    // under a disabled owner).
    if (event->type() == QEvent::EnabledChange && !isEnabled() &&
        !testAttribute(Qt::WA_ForceDisabled))
        setEnabled(true);
}

}  // namespace tabsend
