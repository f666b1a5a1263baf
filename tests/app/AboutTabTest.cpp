// The About tab: its texts, the web link (click and pointer) and the legal text box.

#include "app/AboutTab.h"

#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <memory>

#include "app/Twips.h"
#include "shell/Captions.h"

namespace tabsend {
namespace {

// Receives the addresses the program asks the desktop to open.
class UrlCatcher : public QObject {
    Q_OBJECT
  public:
    QList<QUrl> opened;
  public slots:
    void open(const QUrl& url) { opened.append(url); }
};

template <typename T>
T* child(const QWidget& w, const char* name) {
    T* found = w.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

class About : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(programDir.isValid());
        tab = std::make_unique<AboutTab>(programDir.path());
        tab->resize(tab->sizeHint());
        tab->show();
        link = child<QLabel>(*tab, "Label12");
        ASSERT_NE(link, nullptr);
    }

    QString cursorFile() const { return programDir.filePath(QStringLiteral("harrow.ico")); }
    void moveOverLink() {
        QMouseEvent move(QEvent::MouseMove, QPointF(3, 3), link->mapToGlobal(QPointF(3, 3)),
                         Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(link, &move);
    }
    bool standardPointer() const {
        return !link->testAttribute(Qt::WA_SetCursor) && link->cursor().shape() == Qt::ArrowCursor;
    }
    static void writeIcon(const QString& path, QColor colour, int side = 32) {
        QImage image(side, side, QImage::Format_ARGB32);
        image.fill(colour);
        ASSERT_TRUE(image.save(path, "ICO")) << path.toStdString();
    }

    QTemporaryDir programDir;
    std::unique_ptr<AboutTab> tab;
    QLabel* link = nullptr;
};

TEST_F(About, ShowsTheVersionRightsNoticeAndWebLink) {
    auto* version = child<QLabel>(*tab, "Label10");
    auto* rights = child<QLabel>(*tab, "Label11");
    ASSERT_TRUE(version && rights);
    EXPECT_EQ(version->text(), QStringLiteral("DEX Language Tool (Ver1.6.0N)"));
    EXPECT_EQ(version->accessibleName(), version->text());
    EXPECT_EQ(rights->text(), AboutTab::RightsNotice());
    EXPECT_EQ(rights->accessibleName(), rights->text());
    EXPECT_FALSE(rights->text().contains(QLatin1Char('\n')));

    EXPECT_EQ(link->text(), AboutTab::WebAddress());
    EXPECT_EQ(link->toolTip(), AboutTab::WebAddress());
    EXPECT_EQ(link->accessibleName(), AboutTab::WebAddress());
    EXPECT_TRUE(QUrl(AboutTab::WebAddress()).isValid());
    EXPECT_TRUE(link->font().underline());
    EXPECT_EQ(link->font().pointSize(), 9);

    auto* logo = child<QLabel>(*tab, "Picture2");
    ASSERT_NE(logo, nullptr);
    EXPECT_EQ(logo->geometry(), PxRect(120, 120, 4095, 1815));
    EXPECT_FALSE(logo->pixmap().isNull());
}

TEST_F(About, AClickOnTheLinkOpensTheAddressOnce) {
    struct Case {
        const char* what;
        Qt::MouseButton button;
        QPoint release;  // relative to the link; outside when the pointer was dragged off
        int opened;
    };
    const Case cases[] = {
        {"left click", Qt::LeftButton, QPoint(3, 3), 1},
        {"right click", Qt::RightButton, QPoint(3, 3), 0},
        {"dragged off before release", Qt::LeftButton, QPoint(-20, -20), 0},
    };
    for (const Case& c : cases) {
        UrlCatcher catcher;
        QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher, "open");
        QDesktopServices::setUrlHandler(QStringLiteral("http"), &catcher, "open");
        QTest::mousePress(link, c.button, Qt::NoModifier, QPoint(3, 3));
        QTest::mouseRelease(link, c.button, Qt::NoModifier, c.release);
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
        QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
        ASSERT_EQ(catcher.opened.size(), c.opened) << c.what;
        if (c.opened) {
            EXPECT_EQ(catcher.opened.front(), QUrl(AboutTab::WebAddress())) << c.what;
        }
    }
}

TEST_F(About, LinkPointerComesFromTheFileAtEveryMove) {
    moveOverLink();
    EXPECT_TRUE(standardPointer()) << "no file yet";

    writeIcon(cursorFile(), QColor(255, 0, 0));
    moveOverLink();
    ASSERT_TRUE(link->testAttribute(Qt::WA_SetCursor));
    EXPECT_EQ(link->cursor().shape(), Qt::BitmapCursor);
    QImage pointer = link->cursor().pixmap().toImage();
    ASSERT_EQ(pointer.size(), QSize(32, 32));
    EXPECT_EQ(pointer.pixelColor(16, 16), QColor(255, 0, 0));
    EXPECT_EQ(link->cursor().hotSpot(), QPoint(16, 16));

    // The file is read again at the next move.
    writeIcon(cursorFile(), QColor(0, 0, 255));
    moveOverLink();
    pointer = link->cursor().pixmap().toImage();
    ASSERT_FALSE(pointer.isNull());
    EXPECT_EQ(pointer.pixelColor(16, 16), QColor(0, 0, 255));

    ASSERT_TRUE(QFile::remove(cursorFile()));
    moveOverLink();
    EXPECT_TRUE(standardPointer()) << "file removed";
}

TEST_F(About, UnreadablePointerFilesLeaveTheStandardPointer) {
    const struct {
        const char* what;
        QByteArray bytes;  // empty: a folder of that name
    } cases[] = {
        {"garbage", QByteArray("this is not an icon at all, only text\r\n").repeated(20)},
        {"an icon header without images", QByteArray::fromHex("000001000100")},
        {"empty file", QByteArray("")},
        {"too large", QByteArray(2 << 20, '\0')},
    };
    for (const auto& c : cases) {
        writeIcon(cursorFile(), QColor(255, 0, 0));
        moveOverLink();
        ASSERT_FALSE(standardPointer());
        QFile file(cursorFile());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(c.bytes);
        file.close();
        moveOverLink();
        EXPECT_TRUE(standardPointer()) << c.what;
    }
    ASSERT_TRUE(QFile::remove(cursorFile()));
    ASSERT_TRUE(QDir(programDir.path()).mkdir(QStringLiteral("harrow.ico")));
    moveOverLink();
    EXPECT_TRUE(standardPointer()) << "a folder";
}

TEST_F(About, LargeIconsAreShrunkToPointerSize) {
    writeIcon(cursorFile(), QColor(0, 128, 0), 256);
    moveOverLink();
    ASSERT_TRUE(link->testAttribute(Qt::WA_SetCursor));
    EXPECT_EQ(link->cursor().pixmap().size(), QSize(32, 32));
}

TEST_F(About, LegalTextBoxIsReadOnlyWithAVerticalScrollBar) {
    auto* frame = child<QGroupBox>(*tab, "Frame15");
    auto* text = child<QPlainTextEdit>(*tab, "Text7");
    ASSERT_TRUE(frame && text);
    EXPECT_TRUE(frame->isAncestorOf(text));
    EXPECT_TRUE(text->isReadOnly());
    EXPECT_EQ(text->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(text->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    EXPECT_TRUE(frame->title().isEmpty());

    // Typing changes nothing.
    tab->setLegalText(QStringLiteral("abc"));
    text->setFocus();
    QTest::keyClicks(text, QStringLiteral("xyz"));
    EXPECT_EQ(text->toPlainText(), QStringLiteral("abc"));
}

TEST_F(About, LegalTextAndFrameCaptionOfEveryLanguageArriveExactly) {
    auto* frame = child<QGroupBox>(*tab, "Frame15");
    auto* text = child<QPlainTextEdit>(*tab, "Text7");
    ASSERT_TRUE(frame && text);
    for (std::uint8_t lang = 0; lang <= 4; ++lang) {
        const LanguageCaptions c = SelectLanguage(lang);
        tab->setLegalText(QString::fromStdString(c.legalText));
        tab->setFrame15Caption(QString::fromStdString(c.frame15));
        EXPECT_EQ(text->toPlainText().toStdString(), c.legalText) << int(lang);
        EXPECT_EQ(frame->title().toStdString(), c.frame15) << int(lang);
        EXPECT_EQ(frame->accessibleName(), frame->title());
    }
}

TEST_F(About, NothingIsCutOffOrOverlappingInTheTabPage) {
    const QWidget* parts[] = {child<QWidget>(*tab, "Picture2"), child<QWidget>(*tab, "Label10"),
                              child<QWidget>(*tab, "Label11"), link,
                              child<QWidget>(*tab, "Frame15")};
    for (std::uint8_t lang = 0; lang <= 4; ++lang) {
        tab->setFrame15Caption(QString::fromStdString(SelectLanguage(lang).frame15));
        for (const QWidget* a : parts) {
            ASSERT_NE(a, nullptr);
            EXPECT_TRUE(tab->rect().contains(a->geometry())) << a->objectName().toStdString();
            for (const QWidget* b : parts) {
                if (a == b) continue;
                EXPECT_FALSE(a->geometry().intersects(b->geometry()))
                    << a->objectName().toStdString() << " / " << b->objectName().toStdString();
            }
        }
        for (const char* name : {"Label10", "Label11", "Label12"}) {
            const auto* label = child<QLabel>(*tab, name);
            EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()),
                      label->contentsRect().width())
                << name;
            EXPECT_LE(label->fontMetrics().height(), label->contentsRect().height()) << name;
        }
        const auto* frame = child<QGroupBox>(*tab, "Frame15");
        EXPECT_LE(frame->fontMetrics().horizontalAdvance(frame->title()), frame->width() / 2);
    }
}

}  // namespace
}  // namespace tabsend

#include "AboutTabTest.moc"
