#pragma once
// Fakes of the user-facing seams that record what the code under test showed.

#include <string>
#include <vector>

#include "shell/Seams.h"

namespace tabsend::testkit {

class RecordingMessages : public MessageSink {
  public:
    void showMessage(const std::string& text) override { shown.push_back(text); }
    std::vector<std::string> shown;
};

class RecordingProgress : public ProgressView {
  public:
    void setItemInfo(const std::string& text) override { itemInfos.push_back(text); }
    void setProgressRange(int lo, int hi) override {
        min = lo;
        max = hi;
    }
    void setProgressValue(int v) override {
        value = v;
        values.push_back(v);
    }
    std::string lastItemInfo() const {
        return itemInfos.empty() ? std::string() : itemInfos.back();
    }

    std::vector<std::string> itemInfos;
    std::vector<int> values;
    int min = 0;
    int max = 100;
    int value = 0;
};

class RecordingBusyNotice : public BusyNotice {
  public:
    void show() override {
        open = true;
        ++shows;
    }
    void setLine(const std::string& text) override { lines.push_back(text); }
    void setBarWidth(int twips) override {
        width = twips;
        widths.push_back(twips);
    }
    int barWidth() const override { return width; }
    void repaint() override { ++repaints; }
    void close() override { open = false; }

    bool open = false;
    int shows = 0;
    int repaints = 0;
    int width = 0;
    std::vector<std::string> lines;
    std::vector<int> widths;
};

class CountingWindowRefresh : public WindowRefresh {
  public:
    void refreshLocked() override { ++count; }
    int count = 0;
};

// An event pump with nothing to run: counts how often the code waited (yields) and how
// often it only let pending events through (pending).
class CountingPump : public EventPump {
  public:
    void yieldOnce() override { ++yields; }
    void processPending() override { ++pending; }
    long yields = 0;
    long pending = 0;
};

}  // namespace tabsend::testkit
