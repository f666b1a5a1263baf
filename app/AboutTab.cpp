#include "app/AboutTab.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QImageReader>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdlib>

#include "app/BuildInfo.h"
#include "app/Logo.h"
#include "app/Twips.h"

namespace tabsend {

namespace {

// Layout in twips.
constexpr int kMargin = 120;
constexpr int kLogoW = 4095, kLogoH = 1815;
constexpr int kTextX = kMargin + kLogoW + 240;
constexpr int kLabel10Y = 420, kLabel11Y = 900, kLabel12Y = 1380, kLabelH = 330;
constexpr int kFrameY = kMargin + kLogoH + 240;
constexpr int kMinFrameH = 1800;

// A pointer file larger than this is not a cursor: it is not read (it would be read again
// at every mouse move).
constexpr qint64 kMaxCursorFileBytes = 1 << 20;
constexpr int kMaxCursorImages = 16;
constexpr int kCursorSide = 32;

// The pointer stored in `path`: of the file's images the one nearest the usual cursor size
// (32 x 32), hot spot in the middle as for any icon used as a pointer. Null when the file
// is missing, too large or cannot be read as an icon.
QPixmap loadPointer(const QString& path) {
    const QFileInfo info(path);
    if (!info.isFile() || info.size() > kMaxCursorFileBytes) return {};
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    QImage best;
    const int count = std::clamp(reader.imageCount(), 1, kMaxCursorImages);
    for (int i = 0; i < count; ++i) {
        if (i > 0 && !reader.jumpToImage(i)) break;
        const QImage image = reader.read();
        if (image.isNull()) continue;
        const auto distance = [](const QImage& im) { return std::abs(im.width() - kCursorSide); };
        if (best.isNull() || distance(image) < distance(best)) best = image;
    }
    if (best.isNull()) return {};
    if (best.width() > 2 * kCursorSide || best.height() > 2 * kCursorSide)
        best = best.scaled(kCursorSide, kCursorSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return QPixmap::fromImage(best);
}

// Label12: opens the web address on a click, takes its pointer from the file at each move.
class WebLinkLabel : public QLabel {
  public:
    WebLinkLabel(const QString& address, QString cursorPath, QWidget* parent)
        : QLabel(address, parent), address_(address), cursorPath_(std::move(cursorPath)) {
        setMouseTracking(true);
    }

  protected:
    void mouseMoveEvent(QMouseEvent* event) override {
        const QPixmap pointer = loadPointer(cursorPath_);
        if (pointer.isNull())
            unsetCursor();
        else
            setCursor(QCursor(pointer));
        QLabel::mouseMoveEvent(event);
    }
    void mousePressEvent(QMouseEvent* event) override {
        pressed_ = event->button() == Qt::LeftButton;
        QLabel::mousePressEvent(event);
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        const bool click = pressed_ && event->button() == Qt::LeftButton &&
                           rect().contains(event->position().toPoint());
        pressed_ = false;
        QLabel::mouseReleaseEvent(event);
        // The browser starts on its own; whether it could is not looked at.
        if (click) QDesktopServices::openUrl(QUrl(address_));
    }

  private:
    QString address_;
    QString cursorPath_;
    bool pressed_ = false;
};

}  // namespace

const QString& AboutTab::RightsNotice() {
    static const QString text =
        QStringLiteral("© 2026 DEX Language Tool team. All rights reserved.");
    return text;
}

const QString& AboutTab::WebAddress() {
    static const QString address = QStringLiteral("https://www.dex-language-tool.example/");
    return address;
}

AboutTab::AboutTab(const QString& programDir, QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("AboutTab"));

    logo_ = new QLabel(this);
    logo_->setObjectName(QStringLiteral("Picture2"));
    logo_->setAccessibleName(QStringLiteral("DEX Language Tool logo"));
    logo_->setGeometry(PxRect(kMargin, kMargin, kLogoW, kLogoH));
    const qreal ratio = devicePixelRatioF();
    QPixmap logo = DrawLogo(logo_->size() * ratio);
    logo.setDevicePixelRatio(ratio);
    logo_->setPixmap(logo);

    const QString version = QString::fromStdString(VersionLabel());
    version_ = new QLabel(version, this);
    version_->setObjectName(QStringLiteral("Label10"));
    version_->setAccessibleName(version);

    rights_ = new QLabel(RightsNotice(), this);
    rights_->setObjectName(QStringLiteral("Label11"));
    rights_->setAccessibleName(RightsNotice());

    link_ = new WebLinkLabel(WebAddress(), QDir(programDir).filePath(kLinkCursorFile), this);
    link_->setObjectName(QStringLiteral("Label12"));
    link_->setAccessibleName(WebAddress());
    link_->setToolTip(WebAddress());
    QFont linkFont(QStringLiteral("Tahoma"));
    linkFont.setStyleHint(QFont::SansSerif);
    linkFont.setPointSize(9);
    linkFont.setUnderline(true);
    link_->setFont(linkFont);
    link_->setForegroundRole(QPalette::Link);

    frame_ = new QGroupBox(this);
    frame_->setObjectName(QStringLiteral("Frame15"));
    text_ = new QPlainTextEdit(frame_);
    text_->setObjectName(QStringLiteral("Text7"));
    text_->setReadOnly(true);
    text_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    text_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    text_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    auto* inner = new QVBoxLayout(frame_);
    inner->setContentsMargins(Px(120), Px(120), Px(120), Px(120));
    inner->addWidget(text_);

    layOut();
}

void AboutTab::setLegalText(const QString& text) {
    text_->setPlainText(text);
}

void AboutTab::setFrame15Caption(const QString& caption) {
    frame_->setTitle(caption);
    frame_->setAccessibleName(caption);
    text_->setAccessibleName(caption);
}

QSize AboutTab::minimumSizeHint() const {
    int labels = 0;
    for (const QLabel* l : {version_, rights_, link_})
        labels = std::max(labels, l->sizeHint().width());
    return {Px(kTextX) + labels + Px(kMargin), Px(kFrameY + kMinFrameH + kMargin)};
}

QSize AboutTab::sizeHint() const {
    // The tab page of the 10800 x 7950-twip main window: the window less its borders, title
    // bar and the tab bar.
    return PxSize(10560, 7000).expandedTo(minimumSizeHint());
}

void AboutTab::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layOut();
}

void AboutTab::layOut() {
    const int textX = Px(kTextX);
    const int textW = std::max(width() - textX - Px(kMargin), 0);
    const struct {
        QLabel* label;
        int y;
    } rows[] = {{version_, kLabel10Y}, {rights_, kLabel11Y}, {link_, kLabel12Y}};
    for (const auto& row : rows) {
        const QSize hint = row.label->sizeHint();
        // The link is only as wide as its address, so the pointer and the click belong to
        // the text.
        const int w = row.label == link_ ? std::min(hint.width(), textW) : textW;
        row.label->setGeometry(textX, Px(row.y), w, std::max(Px(kLabelH), hint.height()));
    }
    const int frameY = Px(kFrameY);
    frame_->setGeometry(Px(kMargin), frameY, std::max(width() - 2 * Px(kMargin), 0),
                        std::max(height() - frameY - Px(kMargin), Px(kMinFrameH)));
}

}  // namespace tabsend
