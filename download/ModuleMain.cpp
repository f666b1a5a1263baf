#include "download/ModuleMain.h"

#include <algorithm>
#include <utility>

#include "langfiles/IniFile.h"
#include "langfiles/LanguageCodeManage.h"

namespace tabsend {

namespace {

// Holds CommBusy at -1 for the life of an exchange sequence and sets it back to 0 on every
// way out.
class BusyScope {
  public:
    explicit BusyScope(SharedState& s) : s_(s) { s_.CommBusy = kTrue; }
    ~BusyScope() { s_.CommBusy = kFalse; }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

  private:
    SharedState& s_;
};

// Sets CommBusy back to 0 on every way out of a sequence that raises it itself.
class IdleOnExit {
  public:
    explicit IdleOnExit(SharedState& s) : s_(s) {}
    ~IdleOnExit() { s_.CommBusy = kFalse; }
    IdleOnExit(const IdleOnExit&) = delete;
    IdleOnExit& operator=(const IdleOnExit&) = delete;

  private:
    SharedState& s_;
};

bool validSlot(int slot) {
    return slot >= 1 && slot <= 3;
}

std::string digits(std::int64_t v) {
    return std::to_string(v);
}

std::string lanInfoSection(int slot) {
    return "Lan" + digits(slot) + "Info";
}
std::string stringCodeSection(int slot) {
    return "Lan" + digits(slot) + "Stringcode";
}
std::string strKey(std::int32_t i, const char* name) {
    return "Str" + digits(i) + name;
}

// Progress points a stage adds after string i of `total`: one point whenever
// (i mod step) + 1 = step, step being total / share rounded half to even. When that step
// rounds to 0 (fewer strings than half the share), the share is spread over the strings
// instead, so the slot still adds its whole share and nothing is divided by zero.
class StringProgress {
  public:
    StringProgress(std::int32_t total, std::int16_t share) : total_(total), share_(share) {
        if (share > 0) step_ = DivideRoundHalfEven(total, share);
    }
    std::int16_t pointsAfter(std::int32_t i) const {
        if (step_ > 0) return (i % step_) + 1 == step_ ? 1 : 0;
        if (share_ <= 0 || total_ <= 0) return 0;
        const auto upTo = [&](std::int64_t n) { return n * share_ / total_; };
        return static_cast<std::int16_t>(upTo(i + 1) - upTo(i));
    }

  private:
    std::int64_t total_;
    std::int64_t share_;
    std::int64_t step_ = 0;
};

}  // namespace

ModuleMain::ModuleMain(SharedState& state, ModbusLink& link, IniValueReader reader,
                       ProgressView& view, MessageSink& messages, const Messages& texts,
                       LanguageNamer namer)
    : state_(state),
      link_(link),
      reader_(reader ? std::move(reader) : IniValueReader(&tabsend::ReadIniValue)),
      view_(view),
      messages_(messages),
      texts_(texts),
      namer_(namer ? std::move(namer) : LanguageNamer(&GetLanguageName)) {}

// ---------------------------------------------------------------- helpers

void ModuleMain::SetDownItemInfo(const std::string& text) {
    view_.setItemInfo(text);
}

void ModuleMain::RetryPause() {
    CommDriver& d = link_.driver;
    d.DelayTimerSet(kRetryPauseTicks, true);
    while (!isTrue(d.DelayTimerExpired())) d.pump().yieldOnce();
    d.DelayTimerSet(0, false);
}

void ModuleMain::ProgressReset() {
    barMax_ = 100;
    view_.setProgressRange(0, barMax_);
    view_.setProgressValue(0);
}

void ModuleMain::ProgressAdd(std::int16_t points) {
    int v = ProgressValue + points;
    if (v > barMax_) v = barMax_;
    ProgressValue = static_cast<std::int16_t>(v);
    view_.setProgressValue(ProgressValue);
}

void ModuleMain::ProgressFull() {
    view_.setProgressValue(barMax_);
}

void ModuleMain::ProgressSharesInit() {
    int n = 0;
    for (int s = 1; s <= 3; ++s) n += LanSetFlagChk(s) == kTrue ? 1 : 0;
    if (n > 0) {
        const auto share = [n](int points) {
            return static_cast<std::int16_t>(DivideRoundHalfEven(points, n));
        };
        for (int s = 1; s <= 3; ++s) {
            if (LanSetFlagChk(s) != kTrue) continue;
            ShareErase(s) = share(3);
            ShareLanInfo(s) = share(6);
            ShareIndex(s) = share(30);
            ShareBitmap(s) = share(60);
        }
    }
    ShareAssInfo = 1;
}

Flag16 ModuleMain::LanSetFlagChk(int n) const {
    if (n >= 1 && n <= 3) return state_.LanSetFlag(n) == kTrue ? kTrue : kFalse;
    if (n == 4) {
        for (int s = 1; s <= 3; ++s)
            if (state_.LanSetFlag(s) == kTrue) return kTrue;
    }
    return kFalse;
}

std::string ModuleMain::ReadIniValue(const std::string& section, const std::string& key,
                                     const std::string& file) const {
    return reader_(section, key, file);
}

void ModuleMain::InitLanParam() {
    tabsend::InitLanParam(state_);
}

std::int16_t& ModuleMain::ShareErase(int slot) {
    return slot == 1 ? ShareErase1 : slot == 2 ? ShareErase2 : ShareErase3;
}
std::int16_t& ModuleMain::ShareLanInfo(int slot) {
    return slot == 1 ? ShareLanInfo1 : slot == 2 ? ShareLanInfo2 : ShareLanInfo3;
}
std::int16_t& ModuleMain::ShareIndex(int slot) {
    return slot == 1 ? ShareIndex1 : slot == 2 ? ShareIndex2 : ShareIndex3;
}
std::int16_t& ModuleMain::ShareBitmap(int slot) {
    return slot == 1 ? ShareBitmap1 : slot == 2 ? ShareBitmap2 : ShareBitmap3;
}

std::int32_t ModuleMain::TotalStrNum(std::uint8_t slot) const {
    return IniInt32(ReadIniValue(lanInfoSection(slot), "TotalStrNum", state_.LanTablePath));
}

// ---------------------------------------------------------------- exchange

bool ModuleMain::Exchange(std::uint8_t funcCode, const MessageBytes& data, int tries,
                          const Acceptor& accept, const BeforeTry& beforeTry, PauseRule pause,
                          Reply& reply, std::int32_t minData) {
    for (int t = 0; t < tries; ++t) {
        if (beforeTry) beforeTry(t);
        link_.call.SendRequest(funcCode, state_.SlaveAddress, data,
                               static_cast<std::int32_t>(data.size()));
        reply = Reply{};
        reply.error =
            link_.call.WaitResponse(reply.funcCode, reply.data, reply.length, reply.address);
        if (reply.error == 0 && reply.funcCode == funcCode && reply.length < minData)
            reply.error = ErrDataConflict;
        if (reply.error != 0) {
            // The request never left, or the line was lost while waiting: the user has
            // been told once, and the remaining tries end at once as timeouts.
            if (link_.driver.LinkFailed()) return false;
            if (pause == PauseRule::AfterError) RetryPause();
            continue;
        }
        if (accept(reply)) return true;
        // An intact but wrong reply: the next try goes out at once.
    }
    return false;
}

bool ModuleMain::StageMessage(std::uint8_t funcCode, const MessageBytes& data, int tries,
                              std::optional<std::uint8_t> echo, const BeforeTry& beforeTry) {
    Reply reply;
    const auto accept = [funcCode, echo](const Reply& r) {
        return r.funcCode == funcCode && (!echo || r.data[0] == *echo);
    };
    if (Exchange(funcCode, data, tries, accept, beforeTry, PauseRule::AfterError, reply,
                 echo ? 1 : 0))
        return true;
    state_.CommErrorCode = reply.error;
    return false;
}

// ---------------------------------------------------------------- short stages

Flag16 ModuleMain::ReadDeviceId() {
    BusyScope busy(state_);
    SetDownItemInfo("Read Device ID");
    return toFlag(StageMessage(FuncDeviceId, DeviceIdRequest(), kStageTries, std::nullopt));
}

Flag16 ModuleMain::EraseLanguage(std::uint8_t slot) {
    if (!validSlot(slot)) return kFalse;
    BusyScope busy(state_);
    SetDownItemInfo("Erase language" + digits(slot));
    return toFlag(StageMessage(FuncLanErase, EraseRequest(slot), kEraseTries, slot));
}

Flag16 ModuleMain::SendAssemblyInfo() {
    BusyScope busy(state_);
    SetDownItemInfo(" download language assembly information ");
    const std::uint8_t total =
        IniByte(ReadIniValue("LanAssInfo", "LanTotalNum", state_.LanTablePath));
    return toFlag(StageMessage(FuncLanWrite, AssemblyInfoRequest(total), kStageTries, 0));
}

Flag16 ModuleMain::SendLanguageInfo(std::uint8_t slot) {
    if (!validSlot(slot)) return kFalse;
    BusyScope busy(state_);
    const std::string section = lanInfoSection(slot);
    const std::string lan = "Download language" + digits(slot);
    const auto value = [&](const char* key) {
        return IniInt32(ReadIniValue(section, key, state_.LanTablePath));
    };

    SetDownItemInfo(lan + ",string code total number");
    if (!StageMessage(FuncLanWrite, LanguageInfoLongRequest(slot, 1, value("TotalStrNum")),
                      kStageTries, slot))
        return kFalse;
    SetDownItemInfo(lan + " version number");
    if (!StageMessage(FuncLanWrite, LanguageInfoLongRequest(slot, 2, value("LanVer")), kStageTries,
                      slot))
        return kFalse;
    SetDownItemInfo(lan + ",language code");
    return toFlag(
        StageMessage(FuncLanWrite, LanguageCodeRequest(slot, value("LanType")), kStageTries, slot));
}

Flag16 ModuleMain::SendCompleteSignal(std::uint8_t slot) {
    if (!validSlot(slot)) return kFalse;
    BusyScope busy(state_);
    SetDownItemInfo("send language" + digits(slot) + " complete signal");
    const MessageBytes request = CompleteSignalRequest(slot);
    return toFlag(StageMessage(FuncLanWrite, request, kStageTries, request[0]));
}

// ---------------------------------------------------------------- index and bitmaps

Flag16 ModuleMain::SendStringIndex(std::uint8_t slot) {
    if (!validSlot(slot)) return kFalse;
    BusyScope busy(state_);
    const std::int32_t total = TotalStrNum(slot);
    // String numbers travel in 15 bits (bit 7 of the high byte marks a bitmap head): a slot
    // with more strings cannot be written correctly, so nothing of it is sent.
    if (total > kMaxStringNumber + 1) return kFalse;
    const StringProgress progress(total, ShareIndex(slot));
    const std::string section = stringCodeSection(slot);
    const auto target = static_cast<std::uint8_t>(3 + slot);
    for (std::int32_t i = 0; i < total; ++i) {
        const std::uint8_t dispLine =
            IniByte(ReadIniValue(section, strKey(i, "BMDispLine"), state_.LanTablePath));
        const std::int16_t len =
            IniInt16(ReadIniValue(section, strKey(i, "Len"), state_.LanTablePath));
        const std::int32_t addr =
            IniInt32(ReadIniValue(section, strKey(i, "Addr"), state_.LanTablePath));
        const auto text = [&](int t) {
            SetDownItemInfo("Try No." + digits(t) + ",Language item " + digits(slot) +
                            ",String code" + digits(i) + ",String code index information");
        };
        if (!StageMessage(FuncLanWrite, StringIndexRequest(target, i, dispLine, len, addr),
                          kStageTries, target, text))
            return kFalse;
        ProgressAdd(progress.pointsAfter(i));
    }
    return kTrue;
}

Flag16 ModuleMain::SendBitmapData(std::uint8_t slot) {
    if (!validSlot(slot)) return kFalse;
    BusyScope busy(state_);
    BitmapSlot = slot;
    const std::int32_t total = TotalStrNum(slot);
    if (total > kMaxStringNumber + 1) return kFalse;  // see SendStringIndex
    const StringProgress progress(total, ShareBitmap(slot));
    SetDownItemInfo("Download language" + digits(slot) + ",String code bitmap data");
    const std::string& source = state_.LanSetPath(slot);
    const std::string section = stringCodeSection(slot);
    const auto target = static_cast<std::uint8_t>(6 + slot);
    for (std::int32_t i = 0; i < total; ++i) {
        const BitmapBuffer bytes =
            HexListToBytes(ReadIniValue("LanStrcodeBM", strKey(i, "BMArray"), source));
        const std::int32_t length =
            IniInt32(ReadIniValue("LanStrcodeBM", strKey(i, "BMLen"), source));
        const std::int32_t addr =
            IniInt32(ReadIniValue(section, strKey(i, "Addr"), state_.LanTablePath));
        if (!isTrue(SendStringBitmap(bytes, length, target, i, addr))) return kFalse;
        ProgressAdd(progress.pointsAfter(i));
    }
    return kTrue;
}

Flag16 ModuleMain::SendStringBitmap(const BitmapBuffer& bytes, std::int32_t length,
                                    std::uint8_t target, std::int32_t index, std::int32_t address) {
    if (index < 0 || index > kMaxStringNumber) return kFalse;
    BusyScope busy(state_);
    // A bitmap is at most the 1001 bytes of its buffer.
    const std::int32_t l = std::clamp<std::int32_t>(length, 0, kBitmapBufferBytes);
    if (PackageCount(l) >= 2) return SendBitmapPackages(bytes, l, target, index, address);
    const auto text = [&](int t) {
        SetDownItemInfo("Try No. " + digits(t) + ",Language " + digits(BitmapSlot) +
                        ",string code " + digits(index) + "bitmap data");
    };
    return toFlag(StageMessage(FuncLanWrite, SingleBitmapRequest(target, index, address, bytes, l),
                               kStageTries, target, text));
}

Flag16 ModuleMain::SendBitmapPackages(const BitmapBuffer& bytes, std::int32_t length,
                                      std::uint8_t target, std::int32_t index,
                                      std::int32_t address) {
    if (index < 0 || index > kMaxStringNumber) return kFalse;
    const std::int32_t l = std::clamp<std::int32_t>(length, 0, kBitmapBufferBytes);
    const auto packages = static_cast<std::uint8_t>(PackageCount(l));
    const std::string lead = ",Language " + digits(BitmapSlot) + ",string code " + digits(index);
    const auto headText = [&](int t) {
        SetDownItemInfo("Try No. " + digits(t) + lead + ",bitmap data head");
    };
    if (!StageMessage(FuncLanWrite, BitmapHeadRequest(target, index, address, packages),
                      kStageTries, target, headText))
        return kFalse;
    for (std::uint8_t k = 1; k <= packages; ++k) {
        const auto packageText = [&](int t) {
            SetDownItemInfo("Try No. " + digits(t) + lead + ",package No." + digits(k) +
                            " bitmap data head");
        };
        if (!StageMessage(FuncLanWrite, BitmapPackageRequest(target, index, k, bytes, l),
                          kStageTries, target, packageText))
            return kFalse;
    }
    return kTrue;
}

// ---------------------------------------------------------------- download sequence

bool ModuleMain::RunStep(std::uint8_t step) {
    CommDriver& d = link_.driver;
    const auto due = [this](int slot) { return LanSetFlagChk(slot) == kTrue; };
    // Runs the stage of a slot when it is due, then adds the points of a success.
    const auto slotStage = [&](int slot, auto stage, std::int16_t points) {
        if (!due(slot)) return true;
        if (!isTrue(stage())) return false;
        ProgressAdd(points);
        return true;
    };
    const auto s8 = [](int s) { return static_cast<std::uint8_t>(s); };
    switch (step) {
        case 1:
            d.SetResponseTimeout(kShortTimeout);
            return isTrue(ReadDeviceId());
        case 2:
            d.SetResponseTimeout(kEraseTimeout);
            [[fallthrough]];
        case 3:
        case 4: {
            const int s = step - 1;
            return slotStage(
                s, [&] { return EraseLanguage(s8(s)); }, ShareErase(s));
        }
        case 5:
            d.SetResponseTimeout(kShortTimeout);
            if (!isTrue(SendAssemblyInfo())) return false;
            ProgressAdd(ShareAssInfo);
            return true;
        case 6:
        case 7:
        case 8: {
            const int s = step - 5;
            return slotStage(
                s, [&] { return SendLanguageInfo(s8(s)); }, ShareLanInfo(s));
        }
        case 9:
        case 10:
        case 11: {
            const int s = step - 8;
            return slotStage(
                s, [&] { return SendStringIndex(s8(s)); }, 0);
        }
        case 12:
        case 14:
        case 16: {
            const int s = (step - 10) / 2;
            return slotStage(
                s, [&] { return SendBitmapData(s8(s)); }, 0);
        }
        case 13:
        case 15:
        case 17: {
            const int s = (step - 11) / 2;
            const bool ok = slotStage(
                s, [&] { return SendCompleteSignal(s8(s)); }, 0);
            if (ok && step == 17) ProgressFull();
            return ok;
        }
        default:
            return true;
    }
}

const std::string& ModuleMain::DownloadResultMessage() const {
    if (state_.CommErrorCode == 0 && state_.DownloadStep == kStepsDone)
        return texts_.MsgDownloadComplete;
    if (state_.CommErrorCode == ErrTimeout) return texts_.MsgCommTimeout;
    if (state_.CommErrorCode == ErrDataConflict) return texts_.MsgDataConflict;
    return texts_.MsgIllegalOperation;
}

void ModuleMain::DownloadSequence(DownloadHost& host) {
    host.SetControlsEnabled(false);
    ProgressReset();
    ProgressSharesInit();
    ProgressValue = 0;
    state_.CommErrorCode = 0;
    state_.DownloadStep = 1;
    ProgressAdd(0);
    while (state_.DownloadStep != kStepsDone) {
        if (!RunStep(state_.DownloadStep)) break;
        state_.DownloadStep = static_cast<std::uint8_t>(state_.DownloadStep + 1);
    }
    host.PortProcess();
    messages_.showMessage(DownloadResultMessage());
    ProgressValue = 0;
    ProgressAdd(0);
    host.SetControlsEnabled(true);
    if (state_.CommErrorCode == ErrTimeout) {
        host.PortClose_Click();
        host.setCompareEnabled(false);
    } else {
        host.setCompareEnabled(true);
    }
}

// ---------------------------------------------------------------- connect and disconnect

Flag16 ModuleMain::DeviceConnect(PortOpener& port) {
    link_.driver.SetResponseTimeout(kLineTimeout);
    const bool autoMode = port.AutoMode();
    const int lastIndex = autoMode ? 8 : 7;
    int index = 1;
    const auto accept = [](const Reply& r) {
        return r.funcCode == FuncConnection && r.length == 1 && r.data[0] == 0x02;
    };
    const IdleOnExit idle(state_);
    while (index <= lastIndex && port.PortOpen()) {
        state_.CommBusy = kTrue;
        SetDownItemInfo("Connection start....");
        ProgressValue = 0;
        ProgressAdd(0);
        SetDownItemInfo(port.CurrentSettings());
        Reply reply;
        if (Exchange(FuncConnection, ConnectRequest(), kConnectTries, accept, {}, PauseRule::Never,
                     reply)) {
            SetDownItemInfo("Connection established!");
            return kTrue;
        }
        if (autoMode) SetDownItemInfo("Connection Failed!");
        index += autoMode ? 1 : 6;
        if (index > lastIndex) break;
        if (autoMode) {
            port.OpenPort(static_cast<std::uint8_t>(index));
        } else if (index == 7) {
            port.Download_Port_Open_57600();
        }
    }
    return kFalse;
}

Flag16 ModuleMain::DeviceDisconnect() {
    link_.driver.SetResponseTimeout(kLineTimeout);
    BusyScope busy(state_);
    if (link_.driver.LineLost()) {
        // Nothing can be said to a unit on a lost line; the port is closed by the caller.
        SetDownItemInfo(link_.driver.LineLostText());
        return kFalse;
    }
    SetDownItemInfo("Disconnect Start!");
    ProgressValue = 0;
    ProgressAdd(0);
    const auto accept = [](const Reply& r) {
        return r.funcCode == FuncConnection && r.length == 1 && r.data[0] == 0x00;
    };
    Reply reply;
    const bool ok =
        Exchange(FuncConnection, DisconnectRequest(), 1, accept, {}, PauseRule::AfterError, reply);
    SetDownItemInfo("Disconnect!");
    return toFlag(ok);
}

// ---------------------------------------------------------------- read-back and toggle

std::optional<ModuleMain::Reply> ModuleMain::ReadSlotItem(std::uint8_t slot, std::uint8_t item,
                                                          std::int32_t minData) {
    if (!validSlot(slot)) return std::nullopt;
    BusyScope busy(state_);
    const auto echo = static_cast<std::uint8_t>(100 + slot);
    const auto accept = [echo](const Reply& r) {
        return r.funcCode == FuncLanRead && r.data[0] == echo;
    };
    Reply reply;
    if (!Exchange(FuncLanRead, SlotReadRequest(slot, item), kStageTries, accept, {},
                  PauseRule::AfterError, reply, minData))
        return std::nullopt;
    return reply;
}

std::optional<std::uint8_t> ModuleMain::ReadSlotStatus(std::uint8_t slot) {
    const auto r = ReadSlotItem(slot, ItemStatus, 3);
    if (!r) return std::nullopt;
    return r->data[2];
}

std::optional<std::uint32_t> ModuleMain::ReadSlotVersion(std::uint8_t slot) {
    const auto r = ReadSlotItem(slot, ItemVersion, 6);
    if (!r) return std::nullopt;
    return (std::uint32_t{r->data[2]} << 24) | (std::uint32_t{r->data[3]} << 16) |
           (std::uint32_t{r->data[4]} << 8) | std::uint32_t{r->data[5]};
}

std::optional<std::int32_t> ModuleMain::ReadSlotLanCode(std::uint8_t slot) {
    const auto r = ReadSlotItem(slot, ItemLanCode, 4);
    if (!r) return std::nullopt;
    return r->data[2] * 256 + r->data[3];
}

Flag16 ModuleMain::ToggleSlotOperation(std::uint8_t slot) {
    if (!validSlot(slot)) return kFalse;
    link_.driver.SetResponseTimeout(kLineTimeout);
    BusyScope busy(state_);
    const MessageBytes request = ToggleRequest(slot);
    const std::uint8_t target = request[0];
    const auto accept = [target](const Reply& r) {
        return r.funcCode == FuncLanWrite && r.data[0] == target;
    };
    Reply reply;
    return toFlag(
        Exchange(FuncLanWrite, request, kToggleTries, accept, {}, PauseRule::AfterError, reply, 1));
}

void ModuleMain::SetSlotColor(SlotDisplay& display, int slot, std::uint32_t colour) {
    if (!validSlot(slot)) return;
    if (colour != ColorGreen && colour != ColorYellow && colour != ColorLightBlue &&
        colour != ColorCyan)
        return;
    display.setStatusColor(slot, colour);
}

void ModuleMain::InitSlotColors(SlotDisplay& display) {
    for (int s = 1; s <= 3; ++s) SetSlotColor(display, s, ColorCyan);
}

void ModuleMain::ReadBackSlots(SlotDisplay& display) {
    link_.driver.SetResponseTimeout(kLineTimeout);
    for (std::uint8_t s = 1; s <= 3; ++s) {
        const std::optional<std::uint8_t> status = ReadSlotStatus(s);
        if (!status) {
            messages_.showMessage(texts_.MsgCommTimeout);
            return;
        }
        const int k = CountSetBits(*status);
        if (k == 8) {
            display.setVersionText(s, "");
            display.setLanguageText(s, "");
        } else {
            // A read that fails leaves its box empty; the read-back goes on.
            const std::optional<std::uint32_t> version = ReadSlotVersion(s);
            display.setVersionText(s, version ? digits(*version) : std::string());
            const std::optional<std::int32_t> code = ReadSlotLanCode(s);
            display.setLanguageText(s, code ? namer_(*code) : std::string());
        }
        const bool usable = k >= 1 && k <= 7;
        const bool inOperation = usable && (k % 2) == 1;
        display.setOperationEnabled(s, usable);
        state_.OperationAutoSet = kTrue;
        display.setOperationValue(s, inOperation);
        state_.OperationAutoSet = kFalse;
        const std::uint32_t colour = k == 8        ? ColorCyan
                                     : k == 0      ? ColorLightBlue
                                     : inOperation ? ColorGreen
                                                   : ColorYellow;
        SetSlotColor(display, s, colour);
    }
}

void ModuleMain::Downloadbtn_Click(DownloadHost& host) {
    if (isTrue(state_.CommBusy)) return;
    if (isTrue(LanSetFlagChk(4))) {
        host.setDownloadEnabled(false);
        host.setCompareEnabled(false);
        DownloadSequence(host);
    } else {
        messages_.showMessage(texts_.MsgNoLanguageFile);
    }
}

void ModuleMain::CompareBtn_Click(DownloadHost& host, SlotDisplay& display) {
    if (isTrue(state_.CommBusy)) return;
    host.setDownloadEnabled(false);
    host.setDisconnectEnabled(false);
    host.setCompareEnabled(false);
    ReadBackSlots(display);
    host.setCompareEnabled(true);
    host.setDisconnectEnabled(true);
    host.setDownloadEnabled(true);
}

void ModuleMain::Operation_Click(int n, DownloadHost& host, SlotDisplay& display) {
    if (!validSlot(n)) return;
    if (isTrue(state_.OperationAutoSet)) {
        state_.OperationAutoSet = kFalse;
        // The box of slot 3 changed during a read-back: all slots are read once more.
        if (n == 3) ReadBackSlots(display);
        return;
    }
    if (isTrue(state_.CommBusy)) return;
    host.setDisconnectEnabled(false);
    host.setDownloadEnabled(false);
    if (isTrue(ToggleSlotOperation(static_cast<std::uint8_t>(n)))) {
        ReadBackSlots(display);
    } else {
        for (int s = 1; s <= 3; ++s) display.setOperationEnabled(s, false);
        for (int s = 1; s <= 3; ++s) SetSlotColor(display, s, ColorCyan);
        messages_.showMessage(texts_.MsgCommTimeout);
    }
    host.setDisconnectEnabled(true);
    host.setDownloadEnabled(true);
}

}  // namespace tabsend
