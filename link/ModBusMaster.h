#pragma once
// Modbus master engine: one transaction at a time as a small state machine that moves
// only when stepped. Events are one-byte flags that the next step turns into a state.

#include <cstdint>
#include <functional>
#include <span>

#include "link/CommDriver.h"
#include "link/ModBusDll.h"

namespace tabsend {

enum EngineStates : std::uint8_t {
    StIdle = 0,
    StFramed = 1,
    StWaitReply = 2,
    StReplyIn = 3,
    StFailed = 4,
    StTurnaround = 5,
    StDone = 6,
};

class ModBusMaster : public SendEvents {
  public:
    ModBusMaster(ModBusDll& dll, CommDriver& driver);

    ModBusMsg ReqMsg;
    ModBusMsg RspMsg;
    std::uint8_t MasterError = 0;
    std::uint8_t EngineState = StIdle;
    // The ten events, in the order UpdateState examines them.
    std::uint8_t EvFramed = 0;
    std::uint8_t EvSent = 0;
    std::uint8_t EvBroadcastSent = 0;
    std::uint8_t EvTurnaroundOver = 0;
    std::uint8_t EvReceived = 0;
    std::uint8_t EvNoReply = 0;
    std::uint8_t EvBadFrame = 0;
    std::uint8_t EvGoodFrame = 0;
    std::uint8_t EvErrorReady = 0;
    std::uint8_t EvCollected = 0;

    // Empty records (271 data bytes each), state 0, no events; then the frame buffers and
    // the driver (which (re)starts Timer1 and sets the response timeout to 1400).
    void MasterInit();
    // ReqMsg = the first Count bytes of Data (zeros past its end), ready to be framed.
    void LoadRequest(std::uint8_t FuncCode, std::uint8_t Address,
                     std::span<const std::uint8_t> Data, std::int32_t Count);
    // Frames ReqMsg into TxFrame and raises EvFramed; false (and nothing raised) when no
    // request has been loaded.
    Flag16 BuildRequestFrame();
    // Sends TxFrame. When the port fails, the exchange ends as a timeout (MasterError 32,
    // EvNoReply), so the engine goes on to 4 and 6 instead of staying in 1.
    void TransmitRequest();
    std::uint8_t MasterState() const { return EngineState; }
    void MasterStep();
    // Applies the raised events in table order (the last one raised in that order wins).
    std::uint8_t UpdateState();
    // Does what the current state asks; in state 2 it waits for the reply. A sound reply
    // whose address is not the request's goes back to state 2 (EvSent) and the wait goes
    // on with what is left of the response timeout.
    std::uint8_t RunState();
    // 0: the reply goes to the out-arguments (DataOut receives at most DataOut.size()
    // bytes; LengthOut is the reply's data length). 32/33: out-arguments untouched.
    // Raises EvCollected in both cases.
    std::uint8_t FetchResponse(std::uint8_t& FuncCodeOut, std::span<std::uint8_t> DataOut,
                               std::int32_t& LengthOut, std::uint8_t& AddressOut);

    // True while any of the ten events is raised.
    bool EventPending() const;

    // Called with the old and the new state whenever UpdateState changes the state.
    std::function<void(std::uint8_t from, std::uint8_t to)> OnStateChange;

    CommDriver& Driver() { return driver_; }

    void RaiseEvSent() override { EvSent = 1; }
    void RaiseEvBroadcastSent() override { EvBroadcastSent = 1; }

  private:
    ModBusDll& dll_;
    CommDriver& driver_;
};

}  // namespace tabsend
