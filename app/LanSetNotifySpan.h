#pragma once
// The busy notice shown while the compiler and Reset write LanTable.ini: a small window
// without a title bar, kept above all other windows and out of the task bar, with the logo,
// a status line and a green bar on a blue track. The callers set the line and the bar's
// width in twips; a bar wider than its track is cut off at the track's right end.
//
// Controls (objectName): Frame1 (frame without caption) holding imgLogo (logo), Label1
// (status line), Picture1 (the blue track) and Image1 (the green bar inside the track).

#include <QWidget>

#include "shell/Seams.h"

class QGroupBox;
class QLabel;

namespace tabsend {

class LanSetNotifySpan : public QWidget, public BusyNotice {
  public:
    // Window size and layout in twips.
    static constexpr int kWidthTwips = 6060;
    static constexpr int kHeightTwips = 1860;
    static constexpr int kTrackWidthTwips = 4755;
    static constexpr int kTrackHeightTwips = 375;
    static constexpr int kBarHeightTwips = 345;

    // With a parent the notice is centred on the parent's screen and stays with it.
    explicit LanSetNotifySpan(QWidget* parent = nullptr);

    // BusyNotice. These hide QWidget's functions of the same names on purpose: through this
    // class, show() centres, raises and paints at once, and close() only hides the notice,
    // so it can be shown again for the next compile or reset.
    void show() override;
    void setLine(const std::string& text) override;
    void setBarWidth(int twips) override;
    int barWidth() const override { return barTwips_; }
    void repaint() override;
    void close() override;

    // The status line as shown (Label1).
    QString line() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    // The notice has no close box; a close asked for from outside (the window manager) is
    // refused, only the callers close it.
    void closeEvent(QCloseEvent* event) override;
    // The callers disable the main window while the notice is up; a notice owned by it
    // would be disabled with it and greyed out. It keeps itself enabled.
    void changeEvent(QEvent* event) override;

  private:
    void centreOnScreen();

    QGroupBox* frame_;
    QLabel* logo_;
    QLabel* label_;
    QWidget* track_;
    QWidget* bar_;
    int barTwips_ = 0;
    bool closing_ = false;
};

}  // namespace tabsend
