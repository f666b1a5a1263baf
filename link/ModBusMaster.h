#pragma once
// Modbus master engine: one transaction at a time as a small state machine that moves
// only when stepped. Events are one-byte flags that the next step turns into a state.

#include <cstdint>
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

    void MasterInit();
    void LoadRequest(std::uint8_t FuncCode, std::uint8_t Address,
                     std::span<const std::uint8_t> Data, std::int32_t Count);
    Flag16 BuildRequestFrame();
    void TransmitRequest();
    std::uint8_t MasterState() const { return EngineState; }
    void MasterStep();
    std::uint8_t UpdateState();
    std::uint8_t RunState();
    std::uint8_t FetchResponse(std::uint8_t& FuncCodeOut, std::span<std::uint8_t> DataOut,
                               std::int32_t& LengthOut, std::uint8_t& AddressOut);

    void RaiseEvSent() override { EvSent = 1; }
    void RaiseEvBroadcastSent() override { EvBroadcastSent = 1; }

private:
    ModBusDll& dll_;
    CommDriver& driver_;
};

}  // namespace tabsend
