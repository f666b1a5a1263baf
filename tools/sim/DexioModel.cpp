#include "tools/sim/DexioModel.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <stdexcept>

#include "link/ModBusDll.h"

namespace dexsim {

namespace {

constexpr std::uint8_t kFuncDeviceId = 0x2B;
constexpr std::uint8_t kFuncLanWrite = 0x5A;
constexpr std::uint8_t kFuncLanRead = 0x5B;
constexpr std::uint8_t kFuncLanErase = 0x7D;
constexpr std::uint8_t kFuncConnection = 0x7E;
constexpr std::uint32_t kImageBase = 0x40000;
constexpr std::uint8_t kPackageBytes = 255;

struct KindName {
    MessageKind kind;
    std::string_view name;
};
constexpr KindName kKindNames[] = {
    {MessageKind::Connect, "connect"},        {MessageKind::Disconnect, "disconnect"},
    {MessageKind::DeviceId, "device-id"},     {MessageKind::Erase, "erase"},
    {MessageKind::Assembly, "assembly"},      {MessageKind::LanguageInfo, "lang-info"},
    {MessageKind::IndexEntry, "index"},       {MessageKind::Bitmap, "bitmap"},
    {MessageKind::BitmapHead, "head"},        {MessageKind::BitmapPackage, "package"},
    {MessageKind::Complete, "complete"},      {MessageKind::Toggle, "toggle"},
    {MessageKind::ReadStatus, "read-status"}, {MessageKind::ReadVersion, "read-version"},
    {MessageKind::ReadCode, "read-code"},     {MessageKind::Other, "other"},
};

std::uint32_t be32(std::span<const std::uint8_t> d, std::size_t at) {
    return (std::uint32_t{d[at]} << 24) | (std::uint32_t{d[at + 1]} << 16) |
           (std::uint32_t{d[at + 2]} << 8) | std::uint32_t{d[at + 3]};
}
std::uint16_t be16(std::span<const std::uint8_t> d, std::size_t at) {
    return static_cast<std::uint16_t>((d[at] << 8) | d[at + 1]);
}
std::uint8_t byteOf(std::uint32_t v, int shift) {
    return static_cast<std::uint8_t>((v >> shift) & 0xFF);
}

bool sameSetting(const HostLine& host, const tabsend::LineSettings& s) {
    if (host.settings.baud != s.baud || host.settings.stopBits != s.stopBits) return false;
    if (host.parityKnown && host.settings.parity != s.parity) return false;
    if (host.dataBitsKnown && host.settings.dataBits != s.dataBits) return false;
    return true;
}

std::optional<std::uint8_t> parseByte(std::string_view t) {
    int base = 10;
    if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
        t.remove_prefix(2);
        base = 16;
    }
    unsigned v = 0;
    auto [p, ec] = std::from_chars(t.data(), t.data() + t.size(), v, base);
    if (ec != std::errc() || p != t.data() + t.size() || v > 0xFF || t.empty()) return {};
    return static_cast<std::uint8_t>(v);
}

std::string hex2(unsigned v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%02X", v & 0xFFu);
    return buf;
}

}  // namespace

// ---- Names and filters ----------------------------------------------------------------------

std::string_view messageKindName(MessageKind kind) {
    for (const auto& k : kKindNames)
        if (k.kind == kind) return k.name;
    return "other";
}

std::optional<MessageKind> messageKindFromName(std::string_view name) {
    for (const auto& k : kKindNames)
        if (k.name == name) return k.kind;
    return std::nullopt;
}

std::string_view faultKindName(FaultKind kind) {
    switch (kind) {
        case FaultKind::Stopped:
            return "stopped";
        case FaultKind::Ignored:
            return "ignored";
        case FaultKind::Refused:
            return "refused";
        case FaultKind::Exception:
            return "exception";
        case FaultKind::Drop:
            return "drop";
        case FaultKind::WrongEcho:
            return "wrong-echo";
        case FaultKind::Corrupt:
            return "corrupt";
        case FaultKind::Late:
            return "late";
        case FaultKind::Split:
            return "split";
        case FaultKind::Foreign:
            return "foreign";
        case FaultKind::Short:
            return "short";
    }
    return "?";
}

bool MessageFilter::matches(MessageKind k, std::uint8_t func,
                            std::span<const std::uint8_t> data) const {
    if (kind) return *kind == k;
    if (funcCode && *funcCode != func) return false;
    if (firstByte && (data.empty() || data[0] != *firstByte)) return false;
    return funcCode.has_value();
}

std::optional<MessageFilter> parseMessageFilter(std::string_view text) {
    MessageFilter f;
    if (auto k = messageKindFromName(text)) {
        f.kind = k;
        return f;
    }
    const auto colon = text.find(':');
    auto func = parseByte(text.substr(0, colon));
    if (!func) return std::nullopt;
    f.funcCode = func;
    if (colon != std::string_view::npos) {
        auto first = parseByte(text.substr(colon + 1));
        if (!first) return std::nullopt;
        f.firstByte = first;
    }
    return f;
}

std::string formatMessageFilter(const MessageFilter& f) {
    if (f.kind) return std::string(messageKindName(*f.kind));
    std::string s = f.funcCode ? hex2(*f.funcCode) : std::string("?");
    if (f.firstByte) s += ":" + std::to_string(*f.firstByte);
    return s;
}

bool FaultRule::fires(std::uint64_t number, double draw) const {
    if (std::find(nth.begin(), nth.end(), number) != nth.end()) return true;
    return draw < probability;
}

std::vector<std::uint8_t> replyBytes(const Reply& reply) {
    std::vector<std::uint8_t> out;
    for (const auto& c : reply.chunks) out.insert(out.end(), c.bytes.begin(), c.bytes.end());
    return out;
}

std::string hexBytes(std::span<const std::uint8_t> bytes) {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string s;
    s.reserve(bytes.size() * 3);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i) s += ' ';
        s += digits[bytes[i] >> 4];
        s += digits[bytes[i] & 0x0F];
    }
    return s;
}

// ---- Model ----------------------------------------------------------------------------------

DexioModel::DexioModel(DexioConfig config)
    : config_(std::move(config)), rng_(config_.seed), image_(kSlotCount * kSlotAreaSize, 0xFF) {
    for (int n = 0; n < kSlotCount; ++n) {
        const SlotPreset& p = config_.slots[static_cast<std::size_t>(n)];
        Slot& s = slots_[static_cast<std::size_t>(n)];
        SlotState state = p.state;
        if (p.rawStatus) {
            const int bits = std::popcount(*p.rawStatus);
            state = bits == 8   ? SlotState::Empty
                    : bits == 0 ? SlotState::NotSwitchable
                    : bits % 2  ? SlotState::InOperation
                                : SlotState::OutOfOperation;
            s.rawStatus = p.rawStatus;
        }
        s.present = state != SlotState::Empty;
        s.inOperation = state == SlotState::InOperation;
        s.switchable = state != SlotState::NotSwitchable;
        if (s.present) {
            s.version = p.version;
            s.languageCode = p.languageCode;
            s.versionSet = s.languageCodeSet = true;
        }
    }
}

void DexioModel::setFaults(const FaultConfig& faults, std::uint32_t seed) {
    config_.faults = faults;
    config_.seed = seed;
    rng_.seed(seed);
    counters_.accepted = 0;
}

bool DexioModel::serves(const HostLine& host) const {
    return sameSetting(host, config_.line) || (connected_ && sameSetting(host, kDownloadSettings));
}

SlotInfo DexioModel::slot(int n) const {
    if (n < 1 || n > kSlotCount) throw std::out_of_range("slot number");
    const Slot& s = slots_[static_cast<std::size_t>(n - 1)];
    SlotInfo i;
    i.present = s.present;
    i.inOperation = s.inOperation;
    i.switchable = s.switchable;
    i.status = statusOf(s);
    i.totalStrings = s.totalStrings;
    i.version = s.version;
    i.languageCode = s.languageCode;
    i.totalStringsSet = s.totalStringsSet;
    i.versionSet = s.versionSet;
    i.languageCodeSet = s.languageCodeSet;
    i.erases = s.erases;
    i.completes = s.completes;
    return i;
}

const std::map<std::uint16_t, IndexEntry>& DexioModel::index(int n) const {
    if (n < 1 || n > kSlotCount) throw std::out_of_range("slot number");
    return slots_[static_cast<std::size_t>(n - 1)].index;
}

const std::map<std::uint16_t, std::uint32_t>& DexioModel::bitmapsReceived(int n) const {
    if (n < 1 || n > kSlotCount) throw std::out_of_range("slot number");
    return slots_[static_cast<std::size_t>(n - 1)].bitmaps;
}

std::span<const std::uint8_t> DexioModel::slotArea(int n) const {
    if (n < 1 || n > kSlotCount) throw std::out_of_range("slot number");
    return std::span(image_).subspan(static_cast<std::size_t>(n - 1) * kSlotAreaSize,
                                     kSlotAreaSize);
}

std::span<const std::uint8_t> DexioModel::memory(std::uint32_t address, std::size_t len) const {
    if (address < kImageBase) return {};
    const std::uint64_t off = address - kImageBase;
    if (off + len > image_.size()) return {};
    return std::span(image_).subspan(static_cast<std::size_t>(off), len);
}

std::uint8_t DexioModel::statusOf(const Slot& s) {
    if (s.rawStatus) return *s.rawStatus;
    if (!s.present) return kStatusEmpty;
    if (!s.switchable) return kStatusNotSwitchable;
    return s.inOperation ? kStatusInOperation : kStatusOutOfOperation;
}

bool DexioModel::inArea(int n, std::uint32_t addr, std::uint64_t len) const {
    const std::uint64_t base = slotAreaBase(n);
    return addr >= base && std::uint64_t{addr} + len <= base + kSlotAreaSize;
}

void DexioModel::store(std::uint32_t addr, std::span<const std::uint8_t> bytes) {
    std::copy(bytes.begin(), bytes.end(), image_.begin() + (addr - kImageBase));
}

Reply DexioModel::onFrame(std::span<const std::uint8_t> frame,
                          const tabsend::LineSettings& hostSettings, std::int64_t nowUs) {
    return handleFrame(frame, HostLine{hostSettings, true, true}, nowUs);
}

Reply DexioModel::handleFrame(std::span<const std::uint8_t> frame, const HostLine& host,
                              std::int64_t nowUs) {
    ++counters_.frames;
    Exchange ex;
    ex.atUs = nowUs;
    ex.host = host;
    ex.request.assign(frame.begin(), frame.end());
    auto finish = [&](Reply r) {
        ex.reply = r;
        if (observer_) observer_(ex);
        return r;
    };
    auto ignore = [&](std::string why) {
        ++counters_.ignored;
        ex.outcome = Outcome::Ignored;
        ex.note = std::move(why);
        return finish({});
    };

    if (frame.size() < 4) return ignore("too short");
    const tabsend::CrcBytes crc = tabsend::crc16(frame.first(frame.size() - 2));
    if (frame[frame.size() - 2] != crc.low || frame[frame.size() - 1] != crc.high)
        return ignore("bad CRC");
    const std::uint8_t func = frame[1];
    const auto data = frame.subspan(2, frame.size() - 4);
    ex.kind = classify(func, data);
    if (frame[0] != config_.address) return ignore("not addressed to us (" + hex2(frame[0]) + ")");
    if (!serves(host)) {
        std::string seen = std::to_string(host.settings.baud) + " baud, " +
                           std::to_string(host.settings.stopBits) + " stop bit(s)";
        if (host.parityKnown) seen = tabsend::formatLineSettings(host.settings);
        return ignore("line " + seen + " not served");
    }
    if (busy_ && nowUs < busyUntilUs_) return ignore("busy erasing");
    busy_ = false;

    ++counters_.accepted;
    ex.number = counters_.accepted;
    std::array<double, 7> draws{};
    for (double& d : draws) d = static_cast<double>(rng_()) / 4294967296.0;

    const FaultConfig& f = config_.faults;
    if (f.stopAfter && ex.number > *f.stopAfter) {
        ex.faults.push_back(FaultKind::Stopped);
        ex.outcome = Outcome::Silent;
        return finish({});
    }
    for (const auto& filter : f.ignore) {
        if (filter.matches(ex.kind, func, data)) {
            ex.faults.push_back(FaultKind::Ignored);
            ex.outcome = Outcome::Silent;
            return finish({});
        }
    }
    Answer answer;
    bool decided = false;
    for (const auto& filter : f.refuse) {
        if (filter.matches(ex.kind, func, data)) {
            ex.faults.push_back(FaultKind::Refused);
            answer = exception(func, f.refuseCode, "refused");
            decided = true;
            break;
        }
    }
    if (!decided && f.exception.fires(ex.number, draws[2])) {
        ex.faults.push_back(FaultKind::Exception);
        answer = exception(func, f.exceptionCode, "exception fault");
        decided = true;
    }
    if (!decided && config_.requireConnect && !connected_ && ex.kind != MessageKind::Connect &&
        ex.kind != MessageKind::Disconnect) {
        answer = exception(func, kExDeviceFailure, "not connected");
        decided = true;
    }
    if (!decided) {
        answer = process(ex.kind, func, data, nowUs);
        ex.done = (answer.func & 0x80) == 0;
    }
    ex.note = answer.note;
    return finish(shape(answer, ex, draws));
}

Reply DexioModel::shape(const Answer& answer, Exchange& ex, const std::array<double, 7>& draws) {
    const FaultConfig& f = config_.faults;
    if (answer.silent) {
        ex.outcome = Outcome::Silent;
        return {};
    }
    if (answer.func & 0x80) ++counters_.exceptions;
    if (f.drop.fires(ex.number, draws[0])) {
        ex.faults.push_back(FaultKind::Drop);
        ex.outcome = Outcome::Silent;
        return {};
    }
    std::vector<std::uint8_t> data = answer.data;
    if (f.wrongEcho.fires(ex.number, draws[3]) && !data.empty()) {
        ex.faults.push_back(FaultKind::WrongEcho);
        data[0] ^= 0x01;
    }
    // The two later faults draw only when they are in use, so a seed gives the same run as
    // before whenever they are off.
    const auto extraDraw = [this](const FaultRule& rule) {
        return rule.probability > 0.0 ? static_cast<double>(rng_()) / 4294967296.0 : 1.0;
    };
    if (f.shortReply.enabled() && f.shortReply.fires(ex.number, extraDraw(f.shortReply)) &&
        data.size() > 1) {
        ex.faults.push_back(FaultKind::Short);
        data.resize(1);
    }
    std::uint8_t from = config_.address;
    if (f.foreign.enabled() && f.foreign.fires(ex.number, extraDraw(f.foreign))) {
        ex.faults.push_back(FaultKind::Foreign);
        from = f.foreignAddress;
    }
    std::vector<std::uint8_t> bytes = tabsend::buildFrame(from, answer.func, data);
    if (f.corrupt.fires(ex.number, draws[1])) {
        ex.faults.push_back(FaultKind::Corrupt);
        bytes.back() ^= 0xFF;
    }
    std::int64_t silence = config_.turnaroundUs + answer.extraDelayUs;
    if (f.late.fires(ex.number, draws[5])) {
        ex.faults.push_back(FaultKind::Late);
        silence += f.lateUs;
    }
    Reply reply;
    if (f.split.fires(ex.number, draws[4]) && bytes.size() >= 2) {
        ex.faults.push_back(FaultKind::Split);
        const auto cut =
            1 + static_cast<std::size_t>(draws[6] * static_cast<double>(bytes.size() - 1));
        const auto at = static_cast<std::ptrdiff_t>(std::min(cut, bytes.size() - 1));
        reply.chunks.push_back({silence, {bytes.begin(), bytes.begin() + at}});
        reply.chunks.push_back({f.splitGapUs, {bytes.begin() + at, bytes.end()}});
    } else {
        reply.chunks.push_back({silence, std::move(bytes)});
    }
    ++counters_.answered;
    ex.outcome = Outcome::Answered;
    return reply;
}

DexioModel::Answer DexioModel::exception(std::uint8_t func, std::uint8_t code, std::string note) {
    Answer a;
    a.func = static_cast<std::uint8_t>(func | 0x80);
    a.data = {code};
    a.note = std::move(note);
    return a;
}

MessageKind DexioModel::classify(std::uint8_t func, std::span<const std::uint8_t> data) const {
    switch (func) {
        case kFuncConnection:
            if (data.empty()) return MessageKind::Other;
            if (data[0] == 1) return MessageKind::Connect;
            if (data[0] == 0) return MessageKind::Disconnect;
            return MessageKind::Other;
        case kFuncDeviceId:
            return MessageKind::DeviceId;
        case kFuncLanErase:
            return MessageKind::Erase;
        case kFuncLanRead:
            if (data.size() < 2) return MessageKind::Other;
            if (data[1] == 4) return MessageKind::ReadStatus;
            if (data[1] == 2) return MessageKind::ReadVersion;
            if (data[1] == 3) return MessageKind::ReadCode;
            return MessageKind::Other;
        case kFuncLanWrite:
            break;
        default:
            return MessageKind::Other;
    }
    if (data.empty()) return MessageKind::Other;
    const std::uint8_t t = data[0];
    if (t == 0) return MessageKind::Assembly;
    if (t <= 3) return MessageKind::LanguageInfo;
    if (t <= 6) return MessageKind::IndexEntry;
    if (t <= 9) {
        if (data.size() >= 2 && (data[1] & 0x80)) return MessageKind::BitmapHead;
        const Sequence& seq = sequences_[static_cast<std::size_t>(t - 7)];
        if (seq.active && data.size() >= 5 && be16(data, 1) == seq.string) {
            if (seq.lastK < seq.packages) return MessageKind::BitmapPackage;
            // After the last package only its repetition (reply lost) is a package.
            if (data[3] == seq.lastK && data.size() == std::size_t{data[4]} + 5)
                return MessageKind::BitmapPackage;
        }
        return MessageKind::Bitmap;
    }
    if (t <= 12) return MessageKind::Complete;
    if (t <= 15) return MessageKind::Toggle;
    return MessageKind::Other;
}

DexioModel::Answer DexioModel::process(MessageKind kind, std::uint8_t func,
                                       std::span<const std::uint8_t> data, std::int64_t nowUs) {
    switch (kind) {
        case MessageKind::Connect:
        case MessageKind::Disconnect: {
            if (data.size() != 1) return exception(func, kExIllegalValue, "length");
            connected_ = kind == MessageKind::Connect;
            Answer a;
            a.func = func;
            a.data = {static_cast<std::uint8_t>(connected_ ? 0x02 : 0x00)};
            return a;
        }
        case MessageKind::DeviceId:
            return deviceId(data);
        case MessageKind::Erase:
            return erase(data, nowUs);
        case MessageKind::ReadStatus:
        case MessageKind::ReadVersion:
        case MessageKind::ReadCode:
            return read(data);
        case MessageKind::Other:
            break;
        default:
            return write(kind, data);
    }
    // Other: known function code with unknown content, or an unknown function code.
    if (func == kFuncConnection) {
        return exception(func, kExIllegalValue, data.empty() ? "length" : "connection code");
    }
    if (func == kFuncLanWrite || func == kFuncLanRead) {
        if (data.size() < (func == kFuncLanRead ? 2u : 1u))
            return exception(func, kExIllegalValue, "length");
        return exception(func, kExIllegalAddress, func == kFuncLanRead ? "item" : "target");
    }
    return exception(func, kExIllegalFunction, "function code");
}

DexioModel::Answer DexioModel::deviceId(std::span<const std::uint8_t> data) const {
    if (data.size() != 3) return exception(kFuncDeviceId, kExIllegalValue, "length");
    if (data[0] != 0x0E) return exception(kFuncDeviceId, kExIllegalFunction, "MEI type");
    const std::uint8_t code = data[1];
    std::uint8_t first = data[2];
    std::uint8_t last = 2;
    if (code >= 4 && code <= 5) {
        // Individual access to one object (code 5 is taken like code 4).
        if (first > 2) return exception(kFuncDeviceId, kExIllegalAddress, "object id");
        last = first;
    } else if (code >= 1 && code <= 3) {
        if (first > 2) first = 0;  // stream access restarts at the first object
    } else {
        return exception(kFuncDeviceId, kExIllegalValue, "read device id code");
    }
    Answer a;
    a.func = kFuncDeviceId;
    a.data = {0x0E, code, 0x81, 0x00, 0x00, static_cast<std::uint8_t>(last - first + 1)};
    for (std::uint8_t id = first; id <= last; ++id) {
        const std::string& v = config_.identity[id];
        const std::size_t n = std::min<std::size_t>(v.size(), 64);
        a.data.push_back(id);
        a.data.push_back(static_cast<std::uint8_t>(n));
        a.data.insert(a.data.end(), v.begin(), v.begin() + static_cast<std::ptrdiff_t>(n));
    }
    return a;
}

DexioModel::Answer DexioModel::erase(std::span<const std::uint8_t> data, std::int64_t nowUs) {
    if (data.size() != 1 || data[0] < 1 || data[0] > kSlotCount)
        return exception(kFuncLanErase, kExIllegalValue, "slot");
    const int n = data[0];
    const auto i = static_cast<std::size_t>(n - 1);
    auto area = image_.begin() + static_cast<std::ptrdiff_t>(i * kSlotAreaSize);
    std::fill(area, area + kSlotAreaSize, std::uint8_t{0xFF});
    Slot& s = slots_[i];
    const int erases = s.erases + 1;
    s = Slot{};
    s.erases = erases;
    sequences_[i] = Sequence{};
    busy_ = true;
    busyUntilUs_ = nowUs + config_.eraseUs;
    Answer a;
    a.func = kFuncLanErase;
    a.data = {data[0]};
    a.extraDelayUs = config_.eraseUs;
    return a;
}

DexioModel::Answer DexioModel::read(std::span<const std::uint8_t> data) const {
    if (data.size() != 2) return exception(kFuncLanRead, kExIllegalValue, "length");
    if (data[0] < 101 || data[0] > 103) return exception(kFuncLanRead, kExIllegalAddress, "slot");
    const Slot& s = slots_[static_cast<std::size_t>(data[0] - 101)];
    Answer a;
    a.func = kFuncLanRead;
    a.data = {data[0], data[1]};
    switch (data[1]) {
        case 4:
            a.data.push_back(statusOf(s));
            break;
        case 2:
            for (int shift = 24; shift >= 0; shift -= 8) a.data.push_back(byteOf(s.version, shift));
            break;
        case 3:
            a.data.push_back(byteOf(s.languageCode, 8));
            a.data.push_back(byteOf(s.languageCode, 0));
            break;
        default:
            return exception(kFuncLanRead, kExIllegalAddress, "item");
    }
    return a;
}

DexioModel::Answer DexioModel::write(MessageKind kind, std::span<const std::uint8_t> data) {
    const std::uint8_t t = data[0];
    auto bad = [](std::uint8_t code, const char* why) {
        return exception(kFuncLanWrite, code, why);
    };
    Answer ok;
    ok.func = kFuncLanWrite;
    switch (kind) {
        case MessageKind::Assembly:
            if (data.size() < 2) return bad(kExIllegalValue, "length");
            if (data[1] != 1) return bad(kExIllegalAddress, "item");
            if (data.size() != 4 || data[2] != 1) return bad(kExIllegalValue, "length");
            totalLanguages_ = data[3];
            ok.data = {t, data[1]};
            return ok;
        case MessageKind::LanguageInfo: {
            if (data.size() < 3) return bad(kExIllegalValue, "length");
            const std::uint8_t item = data[1];
            if (item < 1 || item > 3) return bad(kExIllegalAddress, "item");
            const std::size_t len = item == 3 ? 2 : 4;
            if (data[2] != len || data.size() != 3 + len) return bad(kExIllegalValue, "length");
            Slot& s = slots_[static_cast<std::size_t>(t - 1)];
            if (item == 1) {
                s.totalStrings = be32(data, 3);
                s.totalStringsSet = true;
            } else if (item == 2) {
                s.version = be32(data, 3);
                s.versionSet = true;
            } else {
                s.languageCode = be16(data, 3);
                s.languageCodeSet = true;
            }
            ok.data = {t, item};
            return ok;
        }
        case MessageKind::IndexEntry: {
            if (data.size() != 12 || data[1] != 100 || data[4] != 7)
                return bad(kExIllegalValue, "index entry layout");
            const int n = t - 3;
            IndexEntry e;
            e.dispLine = data[5];
            e.len = be16(data, 6);
            e.addr = be32(data, 8);
            if (!inArea(n, e.addr, e.len)) return bad(kExIllegalAddress, "outside the slot area");
            slots_[static_cast<std::size_t>(n - 1)].index[be16(data, 2)] = e;
            ok.data = {t, data[1], data[2], data[3]};
            return ok;
        }
        case MessageKind::Bitmap:
            return bitmap(t - 6, data);
        case MessageKind::BitmapHead:
            return bitmapHead(t - 6, data);
        case MessageKind::BitmapPackage:
            return bitmapPackage(t - 6, data);
        case MessageKind::Complete: {
            if (data.size() != 1) return bad(kExIllegalValue, "length");
            const auto i = static_cast<std::size_t>(t - 10);
            Slot& s = slots_[i];
            s.present = true;
            s.inOperation = true;
            s.switchable = true;
            s.rawStatus.reset();
            ++s.completes;
            sequences_[i] = Sequence{};
            ok.data = {t};
            return ok;
        }
        case MessageKind::Toggle: {
            if (data.size() != 2 || data[1] != 4) return bad(kExIllegalValue, "toggle layout");
            Slot& s = slots_[static_cast<std::size_t>(t - 13)];
            if (!s.present) return bad(kExIllegalValue, "no language in the slot");
            if (!s.switchable) return bad(kExIllegalValue, "slot not switchable");
            s.inOperation = !s.inOperation;
            s.rawStatus.reset();
            ok.data = {t, data[1]};
            return ok;
        }
        default:
            return bad(kExIllegalAddress, "target");
    }
}

DexioModel::Answer DexioModel::bitmap(int n, std::span<const std::uint8_t> data) {
    if (data.size() < 8 || data.size() != std::size_t{data[7]} + 8)
        return exception(kFuncLanWrite, kExIllegalValue, "bitmap length");
    const std::uint16_t string = be16(data, 1);
    const std::uint32_t addr = be32(data, 3);
    const std::uint8_t len = data[7];
    if (!inArea(n, addr, len))
        return exception(kFuncLanWrite, kExIllegalAddress, "outside the slot area");
    store(addr, data.subspan(8, len));
    const auto i = static_cast<std::size_t>(n - 1);
    slots_[i].bitmaps[string] = len;
    sequences_[i] = Sequence{};
    Answer a;
    a.func = kFuncLanWrite;
    a.data = {data[0], data[1], data[2]};
    return a;
}

DexioModel::Answer DexioModel::bitmapHead(int n, std::span<const std::uint8_t> data) {
    if (data.size() != 8) return exception(kFuncLanWrite, kExIllegalValue, "head length");
    const std::uint8_t packages = data[7];
    if (packages == 0) return exception(kFuncLanWrite, kExIllegalValue, "no packages");
    const auto string = static_cast<std::uint16_t>(be16(data, 1) & 0x7FFF);
    const std::uint32_t addr = be32(data, 3);
    if (!inArea(n, addr, std::uint64_t{kPackageBytes} * (packages - 1u) + 1))
        return exception(kFuncLanWrite, kExIllegalAddress, "outside the slot area");
    const auto i = static_cast<std::size_t>(n - 1);
    sequences_[i] = Sequence{true, string, addr, packages, 0};
    slots_[i].bitmaps.erase(string);
    Answer a;
    a.func = kFuncLanWrite;
    a.data = {data[0], data[1], data[2], packages};
    return a;
}

DexioModel::Answer DexioModel::bitmapPackage(int n, std::span<const std::uint8_t> data) {
    auto bad = [](std::uint8_t code, std::string why) {
        return exception(kFuncLanWrite, code, std::move(why));
    };
    const auto i = static_cast<std::size_t>(n - 1);
    Sequence& seq = sequences_[i];
    const std::uint8_t k = data[3];
    const std::uint8_t m = data[4];
    if (data.size() != std::size_t{m} + 5) return bad(kExIllegalValue, "package length");
    if (k == 0 || k > seq.packages || (k != seq.lastK + 1 && k != seq.lastK)) {
        return bad(kExIllegalValue, "package " + std::to_string(k) + " out of sequence (expected " +
                                        std::to_string(seq.lastK + 1) + " of " +
                                        std::to_string(seq.packages) + ")");
    }
    if (m == 0 || (k < seq.packages && m != kPackageBytes))
        return bad(kExIllegalValue, "package size");
    const std::uint32_t at = seq.addr + std::uint32_t{kPackageBytes} * (k - 1u);
    if (!inArea(n, at, m)) return bad(kExIllegalAddress, "outside the slot area");
    store(at, data.subspan(5, m));
    seq.lastK = k;
    if (k == seq.packages)
        slots_[i].bitmaps[seq.string] = std::uint32_t{kPackageBytes} * (k - 1u) + m;
    Answer a;
    a.func = kFuncLanWrite;
    a.data = {data[0], data[1], data[2], k};
    return a;
}

}  // namespace dexsim
