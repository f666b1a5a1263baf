#pragma once
// The DEXIO stand-in: a Modbus RTU slave at unit address 33 that keeps the three language
// slot areas, the string index and the slot states in memory, answers the connection, download
// and read-back messages as the unit does, and can misbehave on purpose (seeded faults).
//
// It is reached two ways: in-process as a LineDevice (the fake serial line of the tests hands
// it each request frame), and through the pseudo-terminal front end of the dexio-sim program.
// It never touches a clock or a file itself: times come in with each frame, and replies go out
// as a plan of silences and bytes.

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "link/SerialPort.h"
#include "tools/sim/LineDevice.h"

namespace dexsim {

// ---- Fixed facts of the unit -------------------------------------------------------------

inline constexpr std::uint8_t kDefaultAddress = 33;
inline constexpr std::uint32_t kSlotAreaSize = 0x80000;
// Device address of slot n's area (n = 1..3): 0x40000, 0xC0000, 0x140000.
constexpr std::uint32_t slotAreaBase(int slot) {
    return 0x40000u + static_cast<std::uint32_t>(slot - 1) * kSlotAreaSize;
}
inline constexpr int kSlotCount = 3;

// Slot status bytes as the unit reports them. The host counts the bits set: 8 no language,
// odd present and in operation, even (2..6) present and out of operation, 0 present and not
// switchable.
inline constexpr std::uint8_t kStatusEmpty = 0xFF;
inline constexpr std::uint8_t kStatusInOperation = 0xFE;
inline constexpr std::uint8_t kStatusOutOfOperation = 0xFC;
inline constexpr std::uint8_t kStatusNotSwitchable = 0x00;

// Modbus exception codes the unit uses.
inline constexpr std::uint8_t kExIllegalFunction = 0x01;
inline constexpr std::uint8_t kExIllegalAddress = 0x02;  // unknown target/item, outside a slot
inline constexpr std::uint8_t kExIllegalValue = 0x03;    // malformed data, sequence, state
inline constexpr std::uint8_t kExDeviceFailure = 0x04;

// ---- Messages ------------------------------------------------------------------------------

enum class MessageKind : std::uint8_t {
    Connect,
    Disconnect,
    DeviceId,
    Erase,
    Assembly,
    LanguageInfo,
    IndexEntry,
    Bitmap,         // single bitmap message (0..255 bytes)
    BitmapHead,     // head of a bitmap sent in packages
    BitmapPackage,  // one package after a head
    Complete,
    Toggle,
    ReadStatus,
    ReadVersion,
    ReadCode,
    Other,  // anything else: unknown function code, target or item
};

// Lower-case names as the command line and the log use them ("read-status", "package", ...).
std::string_view messageKindName(MessageKind kind);
std::optional<MessageKind> messageKindFromName(std::string_view name);

// Selects messages for --refuse / --ignore: by kind, or by function code and optionally the
// first data byte (the slot or target), e.g. "erase", "0x7D", "0x5A:8".
struct MessageFilter {
    std::optional<MessageKind> kind;
    std::optional<std::uint8_t> funcCode;
    std::optional<std::uint8_t> firstByte;
    bool matches(MessageKind k, std::uint8_t func, std::span<const std::uint8_t> data) const;
};
std::optional<MessageFilter> parseMessageFilter(std::string_view text);
std::string formatMessageFilter(const MessageFilter& f);

// ---- Configuration -------------------------------------------------------------------------

enum class SlotState : std::uint8_t { Empty, InOperation, OutOfOperation, NotSwitchable };

// State of one slot when the unit starts.
struct SlotPreset {
    SlotState state = SlotState::Empty;
    // Reported as the status byte until the slot's state changes (toggle, erase, complete);
    // its bit count also decides the state the slot starts in. For e.g. 0xEF.
    std::optional<std::uint8_t> rawStatus;
    std::uint32_t version = 1;       // reported for a present slot
    std::uint16_t languageCode = 1;  // reported for a present slot (1 English, 8 German, ...)
};

// One fault kind: fires for the listed request numbers (1-based, counted over the requests the
// unit accepts) and otherwise with the given probability.
struct FaultRule {
    double probability = 0.0;
    std::vector<std::uint64_t> nth;
    bool enabled() const { return probability > 0.0 || !nth.empty(); }
    bool fires(std::uint64_t number, double draw) const;
};

enum class FaultKind : std::uint8_t {
    Stopped,    // the unit has stopped answering (stopAfter)
    Ignored,    // the message kind is ignored (silence)
    Refused,    // the message kind is refused (exception reply)
    Exception,  // exception reply instead of the answer
    Drop,       // request carried out, reply lost
    WrongEcho,  // reply's first data byte altered
    Corrupt,    // reply's CRC damaged
    Late,       // reply delayed by lateUs
    Split,      // reply cut in two by splitGapUs of silence
    Foreign,    // reply sent from foreignAddress instead of the unit's address
    Short,      // reply cut to its first data byte, CRC correct
};
std::string_view faultKindName(FaultKind kind);

struct FaultConfig {
    FaultRule drop;
    FaultRule corrupt;
    FaultRule exception;
    FaultRule wrongEcho;
    FaultRule split;
    FaultRule late;
    FaultRule foreign;  // another device on the line answers in the unit's stead
    FaultRule shortReply;
    std::uint8_t foreignAddress = 7;
    std::uint8_t exceptionCode = kExDeviceFailure;  // of the exception fault
    std::int64_t splitGapUs = 30'000;               // longer than the host's 20 ms frame gap
    std::int64_t lateUs = 300'000;
    // Answers this many accepted requests, then none at all.
    std::optional<std::uint64_t> stopAfter;
    std::vector<MessageFilter> refuse;  // answered with an exception (refuseCode), not done
    std::uint8_t refuseCode = kExDeviceFailure;
    std::vector<MessageFilter> ignore;  // not answered, not done
};

struct DexioConfig {
    // The line setting the unit serves; once connected it also serves 57600,e,8,1.
    tabsend::LineSettings line{19200, tabsend::Parity::Even, 8, 1};
    std::uint8_t address = kDefaultAddress;
    std::int64_t turnaroundUs = 2'000;  // from the end of a request to the start of the reply
    std::int64_t eraseUs = 1'500'000;   // time an erase takes; the unit is deaf meanwhile
    // Without a connect, serve only the connect request (others get exception 04).
    bool requireConnect = false;
    std::array<SlotPreset, kSlotCount> slots{};
    FaultConfig faults;
    std::uint32_t seed = 1;
    // Device identification objects 0, 1, 2.
    std::array<std::string, 3> identity{"Dexsim", "DEXIO-SIM", "V1.0"};
};

// The line setting the unit switches to after a connect.
inline constexpr tabsend::LineSettings kDownloadSettings{57600, tabsend::Parity::Even, 8, 1};

// What the unit can tell of the host's line. On a pseudo-terminal the parity and the data
// bits never reach the far side, so those are compared only when known.
struct HostLine {
    tabsend::LineSettings settings;
    bool parityKnown = true;
    bool dataBitsKnown = true;
};

// ---- Queries -------------------------------------------------------------------------------

struct IndexEntry {
    std::uint8_t dispLine = 0;
    std::uint16_t len = 0;
    std::uint32_t addr = 0;
};

struct SlotInfo {
    bool present = false;
    bool inOperation = false;
    bool switchable = true;
    std::uint8_t status = kStatusEmpty;  // as a status read reports it
    // Language information as last received (erased: all bits set).
    std::uint32_t totalStrings = 0xFFFFFFFF;
    std::uint32_t version = 0xFFFFFFFF;
    std::uint16_t languageCode = 0xFFFF;
    bool totalStringsSet = false;
    bool versionSet = false;
    bool languageCodeSet = false;
    int erases = 0;     // erase requests carried out
    int completes = 0;  // complete signals carried out
};

enum class Outcome : std::uint8_t { Answered, Silent, Ignored };

// One frame as the unit saw it, for logs and tests.
struct Exchange {
    std::int64_t atUs = 0;
    std::uint64_t number = 0;  // 1-based count of accepted requests; 0: not accepted
    HostLine host;             // the line as the unit saw it
    std::vector<std::uint8_t> request;
    MessageKind kind = MessageKind::Other;
    Outcome outcome = Outcome::Ignored;
    std::string note;   // why ignored, or what an exception reply means
    bool done = false;  // the request was carried out (the unit's state may have changed)
    Reply reply;
    std::vector<FaultKind> faults;
};

struct Counters {
    std::uint64_t frames = 0;    // every frame handed over
    std::uint64_t accepted = 0;  // sound, ours, at a served setting, not busy
    std::uint64_t answered = 0;  // replies put on the line
    std::uint64_t exceptions = 0;
    std::uint64_t ignored = 0;
};

// All bytes of a reply plan back to back.
std::vector<std::uint8_t> replyBytes(const Reply& reply);
// Hex text "21 7E 02 ..." of bytes.
std::string hexBytes(std::span<const std::uint8_t> bytes);

// ---- The model -----------------------------------------------------------------------------

class DexioModel : public LineDevice {
  public:
    explicit DexioModel(DexioConfig config = {});

    // LineDevice: the host's settings are fully known (fake line of the tests).
    Reply onFrame(std::span<const std::uint8_t> frame, const tabsend::LineSettings& hostSettings,
                  std::int64_t nowUs) override;
    // The same with what the line can tell of the host (pseudo-terminal).
    Reply handleFrame(std::span<const std::uint8_t> frame, const HostLine& host,
                      std::int64_t nowUs);

    // Called for every frame, after it was handled.
    void setObserver(std::function<void(const Exchange&)> observer) {
        observer_ = std::move(observer);
    }

    // Replaces the faults and restarts the random sequence from `seed` and the request count
    // from 0.
    void setFaults(const FaultConfig& faults, std::uint32_t seed);
    const DexioConfig& config() const { return config_; }

    bool connected() const { return connected_; }
    bool serves(const HostLine& host) const;
    // Request numbers count from here.
    std::uint64_t requestCount() const { return counters_.accepted; }
    const Counters& counters() const { return counters_; }

    SlotInfo slot(int slot) const;  // slot 1..3; throws std::out_of_range otherwise
    std::uint8_t slotStatus(int slot) const { return this->slot(slot).status; }
    std::optional<std::uint8_t> totalLanguages() const { return totalLanguages_; }
    // Index entries of a slot by string number.
    const std::map<std::uint16_t, IndexEntry>& index(int slot) const;
    // Bitmap bytes received per string number (single message: its length; packages: the sum
    // once the last package arrived).
    const std::map<std::uint16_t, std::uint32_t>& bitmapsReceived(int slot) const;
    // The 0x80000 bytes of a slot's area (erased bytes are 0xFF).
    std::span<const std::uint8_t> slotArea(int slot) const;
    // `len` bytes at a device address inside the three areas; empty if outside.
    std::span<const std::uint8_t> memory(std::uint32_t address, std::size_t len) const;
    // The three areas back to back (slot 1 first).
    std::span<const std::uint8_t> image() const { return image_; }

  private:
    struct Slot {
        bool present = false;
        bool inOperation = false;
        bool switchable = true;
        std::optional<std::uint8_t> rawStatus;
        std::uint32_t totalStrings = 0xFFFFFFFF;
        std::uint32_t version = 0xFFFFFFFF;
        std::uint16_t languageCode = 0xFFFF;
        bool totalStringsSet = false;
        bool versionSet = false;
        bool languageCodeSet = false;
        int erases = 0;
        int completes = 0;
        std::map<std::uint16_t, IndexEntry> index;
        std::map<std::uint16_t, std::uint32_t> bitmaps;
    };
    // A bitmap sent as head + packages.
    struct Sequence {
        bool active = false;
        std::uint16_t string = 0;
        std::uint32_t addr = 0;
        std::uint8_t packages = 0;
        std::uint8_t lastK = 0;  // last package taken (0: only the head)
    };
    // The plain answer before faults.
    struct Answer {
        bool silent = false;
        std::uint8_t func = 0;
        std::vector<std::uint8_t> data;
        std::int64_t extraDelayUs = 0;
        std::string note;
    };

    MessageKind classify(std::uint8_t func, std::span<const std::uint8_t> data) const;
    Answer process(MessageKind kind, std::uint8_t func, std::span<const std::uint8_t> data,
                   std::int64_t nowUs);
    Answer deviceId(std::span<const std::uint8_t> data) const;
    Answer erase(std::span<const std::uint8_t> data, std::int64_t nowUs);
    Answer write(MessageKind kind, std::span<const std::uint8_t> data);
    Answer read(std::span<const std::uint8_t> data) const;
    Answer bitmap(int slot, std::span<const std::uint8_t> data);
    Answer bitmapHead(int slot, std::span<const std::uint8_t> data);
    Answer bitmapPackage(int slot, std::span<const std::uint8_t> data);
    static Answer exception(std::uint8_t func, std::uint8_t code, std::string note);
    bool inArea(int slot, std::uint32_t addr, std::uint64_t len) const;
    void store(std::uint32_t addr, std::span<const std::uint8_t> bytes);
    static std::uint8_t statusOf(const Slot& s);
    Reply shape(const Answer& answer, Exchange& ex, const std::array<double, 7>& draws);

    DexioConfig config_;
    std::mt19937 rng_;
    std::function<void(const Exchange&)> observer_;
    Counters counters_;
    bool connected_ = false;
    std::int64_t busyUntilUs_ = 0;
    bool busy_ = false;
    std::optional<std::uint8_t> totalLanguages_;
    std::array<Slot, kSlotCount> slots_{};
    std::array<Sequence, kSlotCount> sequences_{};
    std::vector<std::uint8_t> image_;
};

}  // namespace dexsim
