#pragma once
// The download protocol and the read-back of the DEXIO: the vendor message set, the stage
// exchange with its tries and pauses, the progress accounting, the 17-step download
// sequence, the string index and bitmap transfer, the connect and disconnect sequences and
// the read-back and toggle of the three language slots.
//
// Every exchange goes through the call pair of the link; everything the user sees goes
// through the ProgressView (DownItemInfo, ProgressBar1), the MessageSink and the small
// interfaces of DownloadSeams.h.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "download/DownloadCodec.h"
#include "download/DownloadSeams.h"
#include "link/ModBusCall.h"
#include "shell/Messages.h"
#include "shell/Seams.h"
#include "shell/SharedState.h"

namespace tabsend {

class ModuleMain {
  public:
    // Tries allowed per message.
    static constexpr int kStageTries = 6;
    static constexpr int kEraseTries = 2;
    static constexpr int kToggleTries = 20;
    static constexpr int kConnectTries = 2;
    // Ticks of Timer1.
    static constexpr std::int32_t kRetryPauseTicks = 6;
    static constexpr std::int32_t kShortTimeout = 6;
    static constexpr std::int32_t kEraseTimeout = 1400;
    static constexpr std::int32_t kLineTimeout = 20;  // connect, disconnect, read-back, toggle
    // DownloadStep once all 17 steps have run.
    static constexpr std::uint8_t kStepsDone = 18;

    // All references must outlive the object; `texts` are the message variables of the run.
    // Without a reader the values come from the files through ReadIniValue of langfiles/;
    // without a namer the names come from GetLanguageName.
    ModuleMain(SharedState& state, ModbusLink& link, IniValueReader reader, ProgressView& view,
               MessageSink& messages, const Messages& texts, LanguageNamer namer = {});
    ModuleMain(const ModuleMain&) = delete;
    ModuleMain& operator=(const ModuleMain&) = delete;

    // ---- Progress state ----
    std::int16_t ProgressValue = 0;
    std::int16_t ShareErase1 = 0, ShareErase2 = 0, ShareErase3 = 0;
    std::int16_t ShareAssInfo = 0;
    std::int16_t ShareLanInfo1 = 0, ShareLanInfo2 = 0, ShareLanInfo3 = 0;
    std::int16_t ShareIndex1 = 0, ShareIndex2 = 0, ShareIndex3 = 0;
    std::int16_t ShareBitmap1 = 0, ShareBitmap2 = 0, ShareBitmap3 = 0;
    // Slot of the running bitmap stage, shown in the bitmap texts.
    std::uint8_t BitmapSlot = 0;

    // ---- Helpers ----
    void SetDownItemInfo(const std::string& text);
    // 6 ticks of Timer1, letting events run meanwhile.
    void RetryPause();
    void ProgressReset();
    void ProgressAdd(std::int16_t points);
    void ProgressFull();
    void ProgressSharesInit();
    // n = 1..3: the slot's flag; n = 4: any slot due; else 0.
    Flag16 LanSetFlagChk(int n) const;
    // The value of key in section of file, "" when absent, read in full (a 1,001-byte
    // bitmap list is 5,004 characters).
    std::string ReadIniValue(const std::string& section, const std::string& key,
                             const std::string& file) const;
    // The shared start values (forwarded to the shared state).
    void InitLanParam();

    // ---- Stages: -1 done, 0 failed with the reason in CommErrorCode ----
    Flag16 ReadDeviceId();
    Flag16 EraseLanguage(std::uint8_t slot);
    Flag16 SendAssemblyInfo();
    Flag16 SendLanguageInfo(std::uint8_t slot);
    Flag16 SendCompleteSignal(std::uint8_t slot);
    Flag16 SendStringIndex(std::uint8_t slot);
    Flag16 SendBitmapData(std::uint8_t slot);
    Flag16 SendStringBitmap(const BitmapBuffer& bytes, std::int32_t length, std::uint8_t target,
                            std::int32_t index, std::int32_t address);
    Flag16 SendBitmapPackages(const BitmapBuffer& bytes, std::int32_t length, std::uint8_t target,
                              std::int32_t index, std::int32_t address);

    // ---- Download sequence: the 17 steps and the one result message ----
    void DownloadSequence(DownloadHost& host);

    // ---- Connect and disconnect ----
    Flag16 DeviceConnect(PortOpener& port);
    Flag16 DeviceDisconnect();

    // ---- Read-back and slot toggle ----
    void ReadBackSlots(SlotDisplay& display);
    // The unit's answer, or nothing when every try failed. A failed read is kept apart from
    // the value, so a unit that really reports 0xEF (seven bits set) shows as present and in
    // operation, and only a failed read shows "Communication timeout!". A failed version or
    // language-code read leaves its box empty rather than showing 255 as if the unit had
    // said so; the read-back goes on.
    std::optional<std::uint8_t> ReadSlotStatus(std::uint8_t slot);
    std::optional<std::uint32_t> ReadSlotVersion(std::uint8_t slot);
    std::optional<std::int32_t> ReadSlotLanCode(std::uint8_t slot);
    Flag16 ToggleSlotOperation(std::uint8_t slot);
    // Slot 1..3 and one of the four slot colours; anything else changes nothing.
    void SetSlotColor(SlotDisplay& display, int slot, std::uint32_t colour);
    // All three colour boxes cyan (start of the program).
    void InitSlotColors(SlotDisplay& display);
    // The Download button: nothing while an exchange runs; with a slot due, Download and
    // Read are disabled and the sequence runs; with none, MsgNoLanguageFile and nothing sent.
    void Downloadbtn_Click(DownloadHost& host);
    // The Read button.
    void CompareBtn_Click(DownloadHost& host, SlotDisplay& display);
    // The Click handler of Operation1..Operation3 (n = 1..3): raised by a user click or by
    // the program setting the box's value.
    void Operation_Click(int n, DownloadHost& host, SlotDisplay& display);

    // The text chosen for the end of a download by CommErrorCode and DownloadStep.
    const std::string& DownloadResultMessage() const;

  private:
    // One reply as WaitResponse hands it over.
    struct Reply {
        std::uint8_t error = 0;
        std::uint8_t funcCode = 0;
        std::array<std::uint8_t, 257> data{};
        std::int32_t length = 0;
        std::uint8_t address = 0;
    };
    enum class PauseRule { AfterError, Never };
    using Acceptor = std::function<bool(const Reply&)>;
    using BeforeTry = std::function<void(int tryNo)>;

    // Up to `tries` exchanges of one request until a reply is accepted; the last try's
    // outcome is left in `reply`. A reply with the request's function code but fewer than
    // `minData` data bytes is too short for what the caller reads from it: it counts as a
    // damaged reply (33), like a bad CRC.
    bool Exchange(std::uint8_t funcCode, const MessageBytes& data, int tries,
                  const Acceptor& accept, const BeforeTry& beforeTry, PauseRule pause, Reply& reply,
                  std::int32_t minData = 0);
    // A stage message: accepted when the function code matches and, when `echo` is given,
    // data byte 0 equals it. On failure CommErrorCode = the last try's error byte.
    bool StageMessage(std::uint8_t funcCode, const MessageBytes& data, int tries,
                      std::optional<std::uint8_t> echo, const BeforeTry& beforeTry = {});
    // One read of a slot item: the reply, or nothing when every try failed.
    // `minData`: the data bytes the caller reads from the reply.
    std::optional<Reply> ReadSlotItem(std::uint8_t slot, std::uint8_t item, std::int32_t minData);
    bool RunStep(std::uint8_t step);
    std::int16_t& ShareErase(int slot);
    std::int16_t& ShareLanInfo(int slot);
    std::int16_t& ShareIndex(int slot);
    std::int16_t& ShareBitmap(int slot);
    std::int32_t TotalStrNum(std::uint8_t slot) const;

    SharedState& state_;
    ModbusLink& link_;
    IniValueReader reader_;
    ProgressView& view_;
    MessageSink& messages_;
    const Messages& texts_;
    LanguageNamer namer_;
    int barMax_ = 100;
};

}  // namespace tabsend
