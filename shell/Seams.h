#pragma once
// The small interfaces through which protocol and file code reach the outside world.
// The Qt windows implement them in the programs; the tests implement them with fakes.
// Nothing here may pull in a widget header.

#include <functional>
#include <string>

namespace tabsend {

// "Let pending events run", in two forms.
// yieldOnce(): a wait. The real program blocks in the event loop until at least one event
// arrived (a timer tick at the latest), never a busy loop. Every wait of the link (send,
// receive, retry pause) goes through here.
// processPending(): runs what is pending now and returns at once, without waiting. For
// work that keeps the window painted between steps (the compiler's per-entry refresh).
class EventPump {
  public:
    virtual ~EventPump() = default;
    virtual void yieldOnce() = 0;
    virtual void processPending() = 0;
};

// The periodic timer of the user-interface thread (Timer1). Ticks are delivered only
// while the thread is idle or inside EventPump::yieldOnce().
class TickTimer {
  public:
    virtual ~TickTimer() = default;
    // (Re)starts the timer: onTick runs every intervalMs milliseconds from now on.
    virtual void start(int intervalMs, std::function<void()> onTick) = 0;
    virtual void stop() = 0;
    virtual bool isActive() const = 0;
};

// A message box with an OK button only, titled with the application title.
// Returns when the user has closed it.
class MessageSink {
  public:
    virtual ~MessageSink() = default;
    virtual void showMessage(const std::string& text) = 0;
};

// The "Download information" label (DownItemInfo) and the progress bar (ProgressBar1).
class ProgressView {
  public:
    virtual ~ProgressView() = default;
    virtual void setItemInfo(const std::string& text) = 0;
    virtual void setProgressRange(int min, int max) = 0;
    virtual void setProgressValue(int value) = 0;
};

// The topmost busy notice shown while the table file is written (LanSetNotifySpan):
// a status line and a bar whose width is given in twips.
class BusyNotice {
  public:
    virtual ~BusyNotice() = default;
    virtual void show() = 0;  // show without waiting and paint at once
    virtual void setLine(const std::string& text) = 0;
    virtual void setBarWidth(int twips) = 0;
    virtual int barWidth() const = 0;
    virtual void repaint() = 0;
    virtual void close() = 0;  // closing a closed notice does nothing
};

// What the locked main window offers while a compile or reset runs: keep it painted
// without letting it take input ("enable, repaint and disable it again").
class WindowRefresh {
  public:
    virtual ~WindowRefresh() = default;
    virtual void refreshLocked() = 0;
};

}  // namespace tabsend
