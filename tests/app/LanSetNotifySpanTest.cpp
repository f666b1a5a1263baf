// The busy notice: its window, its controls, and the line and bar as the compiler drives
// them while it writes a slot.

#include "app/LanSetNotifySpan.h"

#include <gtest/gtest.h>

#include <QGroupBox>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QScreen>
#include <ostream>
#include <string>
#include <vector>

#include "app/Twips.h"
#include "langfiles/LanCompiler.h"
#include "shell/Messages.h"
#include "tests/langfiles/LangTestSupport.h"
#include "tests/support/RecordingSeams.h"

namespace tabsend {
namespace {

const QColor kBlue(0, 0, 255);
const QColor kGreen(0, 255, 0);

template <typename T>
T* child(const QWidget& w, const char* name) {
    T* found = w.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

// Green pixels from the track's left end along its middle row, and green pixels anywhere
// in that row: what the operator sees of the bar.
struct BarPixels {
    int run = 0;
    int total = 0;
};
BarPixels barPixels(const LanSetNotifySpan& notice) {
    const QImage image = child<QWidget>(notice, "Picture1")->grab().toImage();
    const int y = image.height() / 2;
    BarPixels px;
    bool inRun = true;
    for (int x = 0; x < image.width(); ++x) {
        const bool green = image.pixelColor(x, y) == kGreen;
        if (green) ++px.total;
        inRun = inRun && green;
        if (inRun) ++px.run;
    }
    return px;
}

// Passes the compiler's calls on to the real notice and records, after every width set,
// the width in twips and the bar's visible pixels.
class BarProbe : public BusyNotice {
  public:
    explicit BarProbe(LanSetNotifySpan& notice) : notice_(notice) {}
    void show() override { notice_.show(); }
    void setLine(const std::string& text) override { notice_.setLine(text); }
    void setBarWidth(int twips) override {
        notice_.setBarWidth(twips);
        widths.push_back(notice_.barWidth());
        pixels.push_back(barPixels(notice_));
    }
    int barWidth() const override { return notice_.barWidth(); }
    void repaint() override { notice_.repaint(); }
    void close() override { notice_.close(); }

    std::vector<int> widths;
    std::vector<BarPixels> pixels;

  private:
    LanSetNotifySpan& notice_;
};

class Notice : public ::testing::Test {
  protected:
    void SetUp() override { state.LanTablePath = dir.file("LanTable.ini"); }

    LanCompiler& compiler() {
        if (!compiler_)
            compiler_ = std::make_unique<LanCompiler>(state, texts, messages, probe, window, pump);
        return *compiler_;
    }
    // Slot n compiled from a source file of `entries` strings of one byte.
    void compileSource(int n, int entries) {
        const std::string path = dir.file("lang" + std::to_string(n) + ".ini");
        testkit::writeFile(
            path, testkit::simpleSource("English", "1.00", 1, std::vector<int>(entries, 1)));
        compiler().LanFilePath(n) = path;
        compiler().LanFileSelected(n) = kTrue;
        ASSERT_EQ(compiler().SetLanFile(static_cast<std::uint8_t>(n)), kTrue);
    }
    void writeDummy(int n, int entries) {
        state.DummyStrNum = entries;
        compiler().SetLanDummy(static_cast<std::uint8_t>(n));
    }

    testkit::TempDir dir;
    SharedState state;
    Messages texts = MessagesForLanguage(kUiEnglish);
    testkit::RecordingMessages messages;
    testkit::CountingWindowRefresh window;
    testkit::CountingPump pump;
    LanSetNotifySpan notice;
    BarProbe probe{notice};

  private:
    std::unique_ptr<LanCompiler> compiler_;
};

TEST_F(Notice, IsAFramelessTopmostToolWindowWithoutCloseBoxCentredOnTheScreen) {
    const Qt::WindowFlags flags = notice.windowFlags();
    EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Tool);  // a tool window stays out of the task bar
    EXPECT_TRUE(flags.testFlag(Qt::FramelessWindowHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(notice.testAttribute(Qt::WA_QuitOnClose));
    EXPECT_EQ(notice.size(), PxSize(6060, 1860));

    notice.show();
    ASSERT_TRUE(notice.isVisible());
    const QPoint screenCentre = notice.screen()->geometry().center();
    EXPECT_LE((notice.geometry().center() - screenCentre).manhattanLength(), 1);
}

TEST_F(Notice, ControlsHaveTheirSizesAndNoneOverlaps) {
    auto* frame = child<QGroupBox>(notice, "Frame1");
    auto* logo = child<QLabel>(notice, "imgLogo");
    auto* line = child<QLabel>(notice, "Label1");
    auto* track = child<QWidget>(notice, "Picture1");
    auto* bar = child<QWidget>(notice, "Image1");
    ASSERT_TRUE(frame && logo && line && track && bar);

    EXPECT_EQ(frame->size(), PxSize(5760, 1635));
    EXPECT_EQ(logo->size(), PxSize(1815, 465));
    EXPECT_EQ(logo->pixmap().deviceIndependentSize().toSize(), logo->size());
    EXPECT_EQ(line->size(), PxSize(3600, 375));
    EXPECT_TRUE(line->text().isEmpty());
    EXPECT_EQ(track->size(), PxSize(4755, 375));
    EXPECT_EQ(bar->parentWidget(), track);
    EXPECT_EQ(bar->geometry(), QRect(0, Px(15), 0, Px(345)));

    EXPECT_TRUE(notice.rect().contains(frame->geometry()));
    for (const QWidget* w : {static_cast<QWidget*>(logo), static_cast<QWidget*>(line), track})
        EXPECT_TRUE(frame->contentsRect().contains(w->geometry())) << w->objectName().toStdString();
    EXPECT_FALSE(logo->geometry().intersects(line->geometry()));
    EXPECT_FALSE(logo->geometry().intersects(track->geometry()));
    EXPECT_FALSE(line->geometry().intersects(track->geometry()));
    // The label is right of the logo, the track below both.
    EXPECT_GT(line->x(), logo->geometry().right());
    EXPECT_GT(track->y(), std::max(logo->geometry().bottom(), line->geometry().bottom()));

    const BarPixels empty = barPixels(notice);
    EXPECT_EQ(empty.total, 0);
    const QImage image = track->grab().toImage();
    EXPECT_EQ(image.pixelColor(image.width() / 2, image.height() / 2), kBlue);
}

// An event filter counting the paints of one widget.
class PaintCounter : public QObject {
  public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

TEST_F(Notice, ShowAndRepaintPaintAtOnceAndClosingTwiceDoesNothing) {
    PaintCounter counter;
    notice.installEventFilter(&counter);
    notice.show();
    EXPECT_TRUE(notice.isVisible());
    EXPECT_GE(counter.paints, 1) << "show() returned before the notice was painted";

    const int before = counter.paints;
    notice.setLine("Create Language 1 Index table ");
    notice.repaint();
    EXPECT_GT(counter.paints, before);

    notice.close();
    EXPECT_FALSE(notice.isVisible());
    notice.close();
    EXPECT_FALSE(notice.isVisible());
    // Shown again for the next compile.
    notice.show();
    EXPECT_TRUE(notice.isVisible());
    notice.close();
}

TEST_F(Notice, RefusesACloseFromOutside) {
    notice.show();
    QWidget& asWidget = notice;
    EXPECT_FALSE(asWidget.close());  // as the window manager would ask
    EXPECT_TRUE(notice.isVisible());
    notice.close();
    EXPECT_FALSE(notice.isVisible());
}

// The callers lock the main window while the notice is up; a notice owned by that window
// must stay enabled, its line and bar painted as usual, not greyed out.
TEST(NoticeOwnedByTheMainWindow, StaysEnabledWhileTheWindowIsLocked) {
    QWidget mainWindow;
    mainWindow.resize(PxSize(10800, 7950));
    mainWindow.show();
    LanSetNotifySpan owned(&mainWindow);
    ASSERT_TRUE(owned.isWindow());
    owned.show();
    owned.setLine("Create Language 1 Index table ");
    const QImage before = owned.grab().toImage();

    mainWindow.setEnabled(false);
    EXPECT_TRUE(owned.isEnabled());
    EXPECT_TRUE(child<QLabel>(owned, "Label1")->isEnabled());
    EXPECT_EQ(owned.grab().toImage(), before);
    mainWindow.setEnabled(true);
    EXPECT_TRUE(owned.isEnabled());
    owned.close();
}

// The bar for one slot: reset to 0, then every 40th entry one step of 200000 / N twips;
// the track cuts the green off at its right end.
struct BarCase {
    bool fromSource;
    int entries;
    int steps;
    int stepTwips;
};

void PrintTo(const BarCase& c, std::ostream* os) {
    *os << (c.fromSource ? "source" : "dummy") << " slot of " << c.entries << " entries";
}

class NoticeBar : public Notice, public ::testing::WithParamInterface<BarCase> {};

TEST_P(NoticeBar, GrowsInStepsOfTwipsAndIsCutOffByTheTrack) {
    const BarCase c = GetParam();
    notice.show();
    if (c.fromSource)
        compileSource(1, c.entries);
    else
        writeDummy(2, c.entries);

    std::vector<int> expected{0};
    for (int k = 1; k <= c.steps; ++k) expected.push_back(k * c.stepTwips);
    EXPECT_EQ(probe.widths, expected);
    EXPECT_EQ(notice.barWidth(), expected.back());

    const int track = Px(LanSetNotifySpan::kTrackWidthTwips);
    ASSERT_EQ(probe.pixels.size(), expected.size());
    for (std::size_t k = 0; k < expected.size(); ++k) {
        const int visible = std::min(Px(expected[k]), track);
        EXPECT_EQ(probe.pixels[k].run, visible) << expected[k] << " twips";
        EXPECT_EQ(probe.pixels[k].total, visible) << expected[k] << " twips";
    }
    auto* bar = child<QWidget>(notice, "Image1");
    EXPECT_EQ(bar->width(), Px(expected.back()));
}

INSTANTIATE_TEST_SUITE_P(Entries, NoticeBar,
                         ::testing::Values(BarCase{false, 800, 20, 250},
                                           BarCase{true, 800, 20, 250},
                                           BarCase{true, 1000, 25, 200},
                                           BarCase{false, 1000, 25, 200}, BarCase{true, 39, 0, 0},
                                           BarCase{false, 39, 0, 0}),
                         [](const ::testing::TestParamInfo<BarCase>& p) {
                             return std::string(p.param.fromSource ? "Source" : "Dummy") +
                                    std::to_string(p.param.entries);
                         });

TEST_F(Notice, EightHundredEntriesFillTheTrackAtNineteenOfTwentySteps) {
    notice.show();
    writeDummy(1, 800);
    const int track = Px(LanSetNotifySpan::kTrackWidthTwips);
    ASSERT_EQ(probe.pixels.size(), 21U);
    EXPECT_EQ(probe.pixels[10].run, Px(2500));  // half the entries: about half the track
    EXPECT_LT(probe.pixels[18].run, track);     // 4500 twips
    EXPECT_EQ(probe.pixels[19].run, track);     // 4750 twips: the track's end
    EXPECT_EQ(probe.pixels[20].run, track);
}

TEST_F(Notice, ShowsTheCompilersLineAsWritten) {
    notice.show();
    compileSource(1, 40);
    EXPECT_EQ(notice.line(), QStringLiteral("Create Language 1 Index table "));
    EXPECT_EQ(child<QLabel>(notice, "Label1")->accessibleName(), notice.line());

    texts = MessagesForLanguage(kUiGerman);
    writeDummy(2, 40);
    EXPECT_EQ(notice.line().toStdString(), "Sprache löschen 2 Indextabelle ");
}

TEST_F(Notice, EveryLanguagesLineFitsTheStatusLabel) {
    auto* line = child<QLabel>(notice, "Label1");
    ASSERT_NE(line, nullptr);
    for (int lang = kUiEnglish; lang <= kUiSpanish; ++lang) {
        const Messages m = MessagesForLanguage(lang);
        for (int n = 1; n <= 3; ++n) {
            for (const std::string& text : {CreateLanguageLine(m, n), ClearLanguageLine(m, n)}) {
                notice.setLine(text);
                EXPECT_LE(line->fontMetrics().horizontalAdvance(line->text()),
                          line->contentsRect().width())
                    << text;
            }
        }
    }
}

}  // namespace
}  // namespace tabsend
