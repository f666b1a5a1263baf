#pragma once
// Progress and messages of tabsend-cli on a terminal or in a log.

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "shell/Seams.h"

namespace tabsend::cli {

// Shows the download information text and the percentage. On a terminal one line is
// rewritten in place; otherwise every new text is a plain line of its own (the percentage
// is added to it), so a log stays readable.
class TerminalProgress : public ProgressView {
  public:
    TerminalProgress(std::FILE* out, bool interactive, bool quiet);
    ~TerminalProgress() override;

    void setItemInfo(const std::string& text) override;
    void setProgressRange(int min, int max) override;
    void setProgressValue(int value) override;

    // Ends a rewritten line so that the next output starts on a fresh line.
    void finishLine();

  private:
    void redraw();
    bool worthALine(int percent) const;

    std::FILE* out_;
    bool interactive_;
    bool quiet_;
    std::string text_;
    std::string lastPrinted_;
    std::string lastText_;
    int lastPercent_ = -1;
    int min_ = 0;
    int max_ = 100;
    int value_ = 0;
    bool lineOpen_ = false;
};

// Message boxes become lines on the error stream; the last one is kept for the exit status.
// The message boxes on a terminal: the results named at construction go to `out`, every
// other message (errors and warnings) to `err` (to `out` as well when no `err` is given).
class TerminalMessages : public MessageSink {
  public:
    TerminalMessages(std::FILE* out, TerminalProgress* progress, std::FILE* err = nullptr,
                     std::vector<std::string> results = {})
        : out_(out),
          err_(err != nullptr ? err : out),
          progress_(progress),
          results_(std::move(results)) {}
    void showMessage(const std::string& text) override;
    const std::string& last() const { return last_; }
    int count() const { return count_; }

  private:
    std::FILE* out_;
    std::FILE* err_;
    TerminalProgress* progress_;
    std::vector<std::string> results_;
    std::string last_;
    int count_ = 0;
};

}  // namespace tabsend::cli
