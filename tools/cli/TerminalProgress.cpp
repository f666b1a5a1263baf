#include "tools/cli/TerminalProgress.h"

#include <algorithm>

namespace tabsend::cli {

TerminalProgress::TerminalProgress(std::FILE* out, bool interactive, bool quiet)
    : out_(out), interactive_(interactive), quiet_(quiet) {}

TerminalProgress::~TerminalProgress() {
    finishLine();
}

void TerminalProgress::setItemInfo(const std::string& text) {
    text_ = text;
    redraw();
}

void TerminalProgress::setProgressRange(int min, int max) {
    min_ = min;
    max_ = max;
}

void TerminalProgress::setProgressValue(int value) {
    if (value == value_) return;
    value_ = value;
    if (interactive_) redraw();
}

// In a log, per-string first tries would give thousands of lines: keep the lines that say
// something new (a phase, a retry, another percent).
bool TerminalProgress::worthALine(int percent) const {
    const bool firstTry = text_.rfind("Try No.0,", 0) == 0 || text_.rfind("Try No. 0,", 0) == 0;
    if (!firstTry) return text_ != lastText_;
    return percent != lastPercent_;
}

void TerminalProgress::redraw() {
    if (quiet_) return;
    const int span = std::max(1, max_ - min_);
    const int percent = std::clamp((value_ - min_) * 100 / span, 0, 100);
    char pct[16];
    std::snprintf(pct, sizeof pct, "%3d%%", percent);
    const std::string line = std::string(pct) + "  " + text_;
    if (interactive_) {
        // Pad over what the previous, longer text left on the line.
        std::string padded = line;
        if (padded.size() < lastPrinted_.size())
            padded.append(lastPrinted_.size() - padded.size(), ' ');
        std::fprintf(out_, "\r%s", padded.c_str());
        lineOpen_ = true;
        lastPrinted_ = line;
    } else if (worthALine(percent)) {
        std::fprintf(out_, "%s\n", line.c_str());
        lastPrinted_ = line;
        lastPercent_ = percent;
    }
    lastText_ = text_;
    std::fflush(out_);
}

void TerminalProgress::finishLine() {
    if (lineOpen_) {
        std::fputc('\n', out_);
        std::fflush(out_);
        lineOpen_ = false;
        lastPrinted_.clear();
    }
}

void TerminalMessages::showMessage(const std::string& text) {
    if (progress_) progress_->finishLine();
    last_ = text;
    ++count_;
    const bool result = std::find(results_.begin(), results_.end(), text) != results_.end();
    std::FILE* to = result ? out_ : err_;
    std::fprintf(to, "%s\n", text.c_str());
    std::fflush(to);
}

}  // namespace tabsend::cli
