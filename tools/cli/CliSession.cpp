#include "tools/cli/CliSession.h"

#include <unistd.h>

#include <array>
#include <cstdint>
#include <filesystem>

#include "download/DownloadCodec.h"
#include "download/ModuleMain.h"
#include "handlers/ConnectionHandlers.h"
#include "langfiles/LanCompiler.h"
#include "link/ModBusCall.h"
#include "link/PortControl.h"
#include "link/PortMap.h"
#include "link/QtEventPump.h"
#include "link/QtSerialPort.h"
#include "link/QtTickTimer.h"
#include "shell/Messages.h"
#include "shell/SharedState.h"
#include "tools/cli/TerminalProgress.h"

namespace tabsend::cli {

volatile std::sig_atomic_t g_interrupted = 0;

namespace {

// Thrown out of a wait when the user pressed Ctrl-C; caught at the top of the run.
struct Interrupted {};

class InterruptiblePump : public EventPump {
  public:
    explicit InterruptiblePump(EventPump& inner) : inner_(inner) {}
    void yieldOnce() override {
        inner_.yieldOnce();
        if (g_interrupted) throw Interrupted{};
    }
    void processPending() override {
        inner_.processPending();
        if (g_interrupted) throw Interrupted{};
    }

  private:
    EventPump& inner_;
};

// The compile's busy notice on a terminal: the slot line, once per slot.
class TerminalNotice : public BusyNotice {
  public:
    TerminalNotice(std::FILE* out, bool quiet) : out_(out), quiet_(quiet) {}
    void show() override {}
    void setLine(const std::string& text) override {
        if (quiet_) return;
        std::fprintf(out_, "%s\n", text.c_str());
        std::fflush(out_);  // a log shows the slot being compiled while it runs
    }
    void setBarWidth(int twips) override { width_ = twips; }
    int barWidth() const override { return width_; }
    void repaint() override {}
    void close() override {}

  private:
    std::FILE* out_;
    bool quiet_;
    int width_ = 0;
};

class NoWindow : public WindowRefresh {
  public:
    void refreshLocked() override {}
};

class NoControls : public MainControls {
  public:
    void setEnabled(Control, bool) override {}
    void setOperationsVisible(bool) override {}
    void combosChanged() override {}
};

// What the "DEXIO" frame would show, kept for printing.
class SlotTable : public SlotDisplay {
  public:
    struct Row {
        std::string version;
        std::string language;
        bool operationEnabled = false;
        bool ticked = false;
        std::uint32_t colour = ColorCyan;  // nothing read yet
        bool read = false;
    };
    void setVersionText(int slot, const std::string& text) override { row(slot).version = text; }
    void setLanguageText(int slot, const std::string& text) override { row(slot).language = text; }
    void setOperationEnabled(int slot, bool enabled) override {
        row(slot).operationEnabled = enabled;
    }
    void setOperationValue(int slot, bool ticked) override { row(slot).ticked = ticked; }
    void setStatusColor(int slot, std::uint32_t bgr) override {
        row(slot).colour = bgr;
        row(slot).read = true;
    }
    Row& row(int slot) { return rows_.at(static_cast<std::size_t>(slot - 1)); }
    void forgetReads() {
        for (auto& r : rows_) r.read = false;
    }

    static const char* stateText(const Row& r) {
        if (!r.read) return "not read";
        switch (r.colour) {
            case ColorGreen:
                return "in operation";
            case ColorYellow:
                return "out of operation";
            case ColorLightBlue:
                return "present, not switchable";
            case ColorCyan:
                return "empty";
            default:
                return "unknown";
        }
    }

    void print(std::FILE* out) {
        std::fprintf(out, "%-5s %-24s %-10s %s\n", "Slot", "State", "Version", "Language");
        for (int s = 1; s <= 3; ++s) {
            Row& r = row(s);
            std::fprintf(out, "%-5d %-24s %-10s %s\n", s, stateText(r), r.version.c_str(),
                         r.language.c_str());
        }
        std::fflush(out);
    }

  private:
    std::array<Row, 3> rows_;
};

class Session : public DownloadHost {
  public:
    Session(const Options& o, const std::string& programDir, std::FILE* out)
        : options_(o),
          out_(out),
          texts_(MessagesForLanguage(o.language)),
          progress_(out, isatty(fileno(out)) != 0, o.quiet),
          messages_(out, &progress_, stderr,
                    {texts_.MsgDownloadComplete, texts_.MsgSetComplete, texts_.MsgResetComplete}),
          pump_(qtPump_),
          notice_(out, o.quiet),
          link_(port_, pump_, timer1_, messages_),
          device_(portDeviceFromArgument(o.port)),
          portControl_(port_, messages_, [this](int) { return device_; }),
          main_(state_, link_, {}, progress_, messages_, texts_),
          handlers_(state_, portControl_, link_, main_, messages_, texts_, controls_),
          compiler_(state_, texts_, messages_, notice_, window_, pump_) {
        state_.CommBusy = kFalse;
        state_.OperationAutoSet = kFalse;
        state_.LanTablePath = o.table.empty()
                                  ? (std::filesystem::path(programDir) / "LanTable.ini").string()
                                  : o.table;
        InitLanParam(state_);
        portControl_.InitCommCombos();
        portControl_.SetAutoMode();
        if (o.manual) {
            portControl_.SetModeOpt_Click(1);
            portControl_.combos.Combo2 = o.manual->baud;
            portControl_.combos.Combo4 = o.manual->parity;
        }
    }

    ~Session() override { port_.close(); }

    int run() {
        try {
            switch (options_.command) {
                case Command::Compile:
                    return compile();
                case Command::Download:
                    return download();
                case Command::Read:
                    return read();
                case Command::Toggle:
                    return toggle();
                case Command::Help:
                    break;
            }
            return ExitUsage;
        } catch (const Interrupted&) {
            progress_.finishLine();
            port_.close();
            std::fputs(interruptedText(), stderr);
            return ExitInterrupted;
        }
    }

    // ---- DownloadHost ----
    void SetControlsEnabled(bool) override {}
    void PortProcess() override { handlers_.PortProcess(); }
    void PortClose_Click() override { handlers_.PortClose_Click(); }
    void setCompareEnabled(bool) override {}
    void setDownloadEnabled(bool) override {}
    void setDisconnectEnabled(bool) override {}

  private:
    // What was running when Ctrl-C came, for the message that says what was cut off.
    enum class Activity { Other, Compile, Download };

    const char* interruptedText() const {
        switch (activity_) {
            case Activity::Compile:
                return "Interrupted during the compile: the table file was not changed.\n";
            case Activity::Download:
                return "Interrupted: the port is closed. A download that was cut off leaves "
                       "the unit's slot incomplete; download it again.\n";
            case Activity::Other:
                break;
        }
        return "Interrupted: the port is closed.\n";
    }

    int compile() {
        activity_ = Activity::Compile;
        for (int n = 1; n <= 3; ++n) {
            const std::string& file = options_.slotFile[n - 1];
            if (file.empty()) continue;
            const SelectCheck check = compiler_.SelectFile(n, file);
            if (check == SelectCheck::NotReadable) {
                std::fprintf(stderr, "Cannot read the language file for slot %d: %s\n", n,
                             file.c_str());
                return ExitBadInput;
            }
            if (check != SelectCheck::Accepted) {
                // Its message is shown; on a command line of several files, say which one.
                std::fprintf(stderr, "Refused for slot %d: %s\n", n, file.c_str());
                return ExitBadInput;
            }
        }
        if (!isTrue(compiler_.Compile())) return ExitBadInput;
        activity_ = Activity::Other;
        for (int n = 1; n <= 3; ++n) {
            const std::int32_t padded = compiler_.PaddedStrings(n);
            if (options_.slotFile[n - 1].empty() || padded == 0) continue;
            std::fprintf(stderr,
                         "Warning: %s (slot %d): %d string%s with fewer bitmap values than "
                         "BMLen, padded with zeros\n",
                         options_.slotFile[n - 1].c_str(), n, padded, padded == 1 ? "" : "s");
        }
        return ExitOk;
    }

    int connect() {
        handlers_.PortOpenbtn_Click();
        switch (handlers_.lastConnect()) {
            case ConnectionHandlers::ConnectOutcome::Connected:
                return ExitOk;
            case ConnectionHandlers::ConnectOutcome::NoAnswer:
                return ExitNoConnection;
            default:
                return ExitCannotOpen;
        }
    }

    int readBack() {
        const int before = messages_.count();
        slots_.forgetReads();
        main_.ReadBackSlots(slots_);
        progress_.finishLine();
        slots_.print(out_);
        if (messages_.count() != before && messages_.last() == texts_.MsgCommTimeout) {
            return ExitTimeout;
        }
        return ExitOk;
    }

    void disconnect() {
        if (handlers_.Connected()) handlers_.PortClose_Click();
        progress_.finishLine();
    }

    int download() {
        if (int rc = compile(); rc != ExitOk) return rc;
        if (!isTrue(main_.LanSetFlagChk(4))) {
            messages_.showMessage(texts_.MsgNoLanguageFile);
            return ExitBadInput;
        }
        if (int rc = connect(); rc != ExitOk) return rc;
        activity_ = Activity::Download;
        main_.Downloadbtn_Click(*this);
        activity_ = Activity::Other;
        int rc = ExitOk;
        if (state_.CommErrorCode == 0 && state_.DownloadStep == ModuleMain::kStepsDone) {
            rc = ExitOk;
        } else if (state_.CommErrorCode == ErrTimeout) {
            rc = ExitTimeout;  // the sequence has disconnected already
        } else if (state_.CommErrorCode == ErrDataConflict) {
            rc = ExitDataConflict;
        } else {
            rc = ExitRefused;
        }
        if (handlers_.Connected()) {
            const int readRc = readBack();
            if (rc == ExitOk) rc = readRc;
        }
        disconnect();
        return rc;
    }

    int read() {
        if (int rc = connect(); rc != ExitOk) return rc;
        const int rc = readBack();
        disconnect();
        return rc;
    }

    int toggle() {
        if (int rc = connect(); rc != ExitOk) return rc;
        const auto slot = static_cast<std::uint8_t>(options_.toggleSlot);
        if (!isTrue(main_.ToggleSlotOperation(slot))) {
            progress_.finishLine();
            messages_.showMessage(texts_.MsgCommTimeout);
            disconnect();
            return ExitTimeout;
        }
        const int rc = readBack();
        disconnect();
        return rc;
    }

    const Options& options_;
    std::FILE* out_;
    Messages texts_;
    SharedState state_;
    TerminalProgress progress_;
    TerminalMessages messages_;
    QtEventPump qtPump_;
    InterruptiblePump pump_;
    QtTickTimer timer1_;
    QtSerialPort port_;
    TerminalNotice notice_;
    NoWindow window_;
    NoControls controls_;
    SlotTable slots_;
    ModbusLink link_;
    std::string device_;
    PortControl portControl_;
    ModuleMain main_;
    ConnectionHandlers handlers_;
    LanCompiler compiler_;
    Activity activity_ = Activity::Other;
};

}  // namespace

int runCommand(const Options& options, const std::string& programDir, std::FILE* out) {
    Session session(options, programDir, out);
    return session.run();
}

}  // namespace tabsend::cli
