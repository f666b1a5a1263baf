#include "tests/support/FakeSerialPort.h"

#include <algorithm>
#include <utility>

namespace tabsend::testkit {

namespace {
const char* const kIoError = "Input/output error";
}

FakeSerialPort::FakeSerialPort(VirtualClock& clock, dexsim::LineDevice* device)
    : clock_(clock), device_(device) {
    lineId_ = clock_.attachLine([this](std::int64_t nowUs) { advanceTo(nowUs); });
}

FakeSerialPort::~FakeSerialPort() {
    clock_.detach(lineId_);
}

std::int64_t FakeSerialPort::wireTimeUs(std::int64_t characters) const {
    const std::int64_t bits = bitsPerCharacter(settings_);
    const std::int64_t baud = settings_.baud > 0 ? settings_.baud : 1;
    return (characters * bits * 1'000'000 + baud - 1) / baud;
}

CommError FakeSerialPort::open(const std::string& device, const std::string& settings) {
    sync();
    OpenAttempt attempt{device, settings, clock_.now(), CommErrorNumber::None};
    auto fail = [&](CommErrorNumber number, std::string description) {
        attempt.result = number;
        opens_.push_back(attempt);
        return CommError{number, std::move(description)};
    };
    if (open_) return fail(CommErrorNumber::PortAlreadyOpen, "The port is already open");
    const auto parsed = parseLineSettings(settings);
    if (!parsed) return fail(CommErrorNumber::BadSettings, "Invalid line settings");
    if (missing_.count(device) != 0 ||
        (deviceGone_ && (goneName_.empty() || goneName_ == device))) {
        return fail(CommErrorNumber::DeviceNotFound, "No such file or directory");
    }
    if (busy_.count(device) != 0) return fail(CommErrorNumber::PortBusy, "Device or resource busy");
    if (std::find(refused_.begin(), refused_.end(), *parsed) != refused_.end()) {
        return fail(CommErrorNumber::BadSettings, "Unsupported line settings");
    }
    if (openCheck_) {
        CommError e = openCheck_(device, *parsed);
        if (!e.ok()) return fail(e.number, e.description);
    }
    open_ = true;
    deadHandle_ = false;
    deviceName_ = device;
    settingsText_ = settings;
    settings_ = *parsed;
    pendingError_ = {};
    dropWire();
    opens_.push_back(attempt);
    return {};
}

void FakeSerialPort::close() {
    if (open_) ++closes_;
    open_ = false;
    deadHandle_ = false;
    dropWire();
}

void FakeSerialPort::dropWire() {
    txRun_.clear();
    frozenOut_ = 0;
    rxInFlight_.clear();
    inBuf_.clear();
    rxLineFreeUs_ = clock_.now();
}

void FakeSerialPort::advanceTo(std::int64_t nowUs) {
    if (!open_ || deadHandle_) return;
    if (!txRun_.empty()) {
        const std::int64_t endUs =
            txRunStartUs_ + wireTimeUs(static_cast<std::int64_t>(txRun_.size()));
        if (endUs <= nowUs) {
            const std::vector<std::uint8_t> frame = std::move(txRun_);
            txRun_.clear();
            written_.back().delivered = true;
            if (device_ != nullptr) schedule(device_->onFrame(frame, settings_, endUs), endUs);
        }
    }
    while (!rxInFlight_.empty() && rxInFlight_.front().arrivalUs <= nowUs) {
        inBuf_.push_back(rxInFlight_.front().byte);
        rxInFlight_.pop_front();
    }
}

void FakeSerialPort::schedule(const dexsim::Reply& reply, std::int64_t fromUs) {
    std::int64_t t = fromUs;
    for (const auto& chunk : reply.chunks) {
        const std::int64_t start =
            std::max(t + std::max<std::int64_t>(chunk.silenceUs, 0), rxLineFreeUs_);
        for (std::size_t j = 0; j < chunk.bytes.size(); ++j) {
            rxInFlight_.push_back(
                {start + wireTimeUs(static_cast<std::int64_t>(j) + 1), chunk.bytes[j]});
        }
        t = start + wireTimeUs(static_cast<std::int64_t>(chunk.bytes.size()));
        rxLineFreeUs_ = t;
    }
}

void FakeSerialPort::inject(const dexsim::Reply& reply) {
    sync();
    if (!open_ || deadHandle_) return;
    schedule(reply, clock_.now());
    sync();
}

int FakeSerialPort::inBufferCount() {
    sync();
    return (open_ && !deadHandle_) ? static_cast<int>(inBuf_.size()) : 0;
}

void FakeSerialPort::discardInput() {
    sync();
    ++inputDiscards_;
    inBuf_.clear();
}

std::vector<std::uint8_t> FakeSerialPort::input() {
    sync();
    std::vector<std::uint8_t> taken = std::move(inBuf_);
    inBuf_.clear();
    return taken;
}

CommError FakeSerialPort::output(std::span<const std::uint8_t> bytes) {
    sync();
    if (!open_) return {CommErrorNumber::PortNotOpen, "The port is not open"};
    if (deadHandle_) return {CommErrorNumber::WriteFailed, kIoError};
    if (bytes.empty()) return {};
    if (txRun_.empty()) {
        txRunStartUs_ = clock_.now();
        WrittenFrame f;
        f.startUs = txRunStartUs_;
        f.settings = settings_;
        written_.push_back(std::move(f));
    }
    txRun_.insert(txRun_.end(), bytes.begin(), bytes.end());
    written_.back().bytes = txRun_;
    written_.back().endUs = txRunStartUs_ + wireTimeUs(static_cast<std::int64_t>(txRun_.size()));
    return {};
}

int FakeSerialPort::outBufferCount() {
    sync();
    if (!open_) return 0;
    if (deadHandle_) return frozenOut_;
    int left = 0;
    for (std::size_t i = txRun_.size(); i > 0; --i) {
        if (txRunStartUs_ + wireTimeUs(static_cast<std::int64_t>(i)) <= clock_.now()) break;
        ++left;
    }
    return left;
}

void FakeSerialPort::discardOutput() {
    sync();
    if (deadHandle_) {
        frozenOut_ = 0;
        return;
    }
    if (txRun_.empty()) return;
    const std::size_t left = static_cast<std::size_t>(outBufferCount());
    const std::size_t gone = txRun_.size() - left;
    if (gone == 0) {
        txRun_.clear();
        written_.pop_back();
        return;
    }
    // The part already on the wire reaches the device as a cut-off frame.
    txRun_.resize(gone);
    written_.back().bytes = txRun_;
    written_.back().endUs = txRunStartUs_ + wireTimeUs(static_cast<std::int64_t>(gone));
    sync();
}

CommError FakeSerialPort::takeError() {
    CommError e = std::move(pendingError_);
    pendingError_ = {};
    return e;
}

void FakeSerialPort::setMissing(const std::string& device, bool missing) {
    if (missing) {
        missing_.insert(device);
    } else {
        missing_.erase(device);
    }
}

void FakeSerialPort::setBusy(const std::string& device, bool busy) {
    if (busy) {
        busy_.insert(device);
    } else {
        busy_.erase(device);
    }
}

void FakeSerialPort::refuseSettings(const std::string& settingsText) {
    if (auto s = parseLineSettings(settingsText)) refused_.push_back(*s);
}

void FakeSerialPort::vanish() {
    sync();
    if (!deviceGone_) goneName_ = open_ ? deviceName_ : std::string();
    deviceGone_ = true;
    if (open_ && !deadHandle_) {
        const int left = outBufferCount();
        deadHandle_ = true;
        txRun_.clear();
        rxInFlight_.clear();
        inBuf_.clear();
        frozenOut_ = left;
        pendingError_ = {CommErrorNumber::WriteFailed, kIoError};
    }
}

void FakeSerialPort::reappear() {
    deviceGone_ = false;
    goneName_.clear();
}

}  // namespace tabsend::testkit
