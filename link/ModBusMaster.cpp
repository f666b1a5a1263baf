#include "link/ModBusMaster.h"

#include <algorithm>
#include <utility>

namespace tabsend {

ModBusMaster::ModBusMaster(ModBusDll& dll, CommDriver& driver) : dll_(dll), driver_(driver) {}

void ModBusMaster::MasterInit() {
    for (ModBusMsg* m : {&ReqMsg, &RspMsg}) {
        m->Length = 0;
        m->Data.assign(kRecordBytes, 0);
        m->Ready = kFalse;
        m->Address = 0;
        m->FuncCode = 0;
    }
    MasterError = 0;
    EngineState = StIdle;
    for (std::uint8_t* ev : {&EvFramed, &EvSent, &EvBroadcastSent, &EvTurnaroundOver, &EvReceived,
                             &EvNoReply, &EvBadFrame, &EvGoodFrame, &EvErrorReady, &EvCollected}) {
        *ev = 0;
    }
    dll_.FrameBufInit();
    driver_.DriverInit();
}

void ModBusMaster::LoadRequest(std::uint8_t FuncCode, std::uint8_t Address,
                               std::span<const std::uint8_t> Data, std::int32_t Count) {
    const auto n = static_cast<std::size_t>(std::max<std::int32_t>(Count, 0));
    ReqMsg.Data.assign(n, 0);
    std::copy_n(Data.begin(), std::min(n, Data.size()), ReqMsg.Data.begin());
    ReqMsg.Length = static_cast<std::int32_t>(n);
    ReqMsg.FuncCode = FuncCode;
    ReqMsg.Address = Address;
    ReqMsg.Ready = kTrue;
}

Flag16 ModBusMaster::BuildRequestFrame() {
    if (ReqMsg.Ready != kTrue) return kFalse;
    dll_.MakeFrame(ReqMsg.FuncCode, ReqMsg.Address, ReqMsg, ReqMsg.Length);
    EvFramed = 1;
    return kTrue;
}

void ModBusMaster::TransmitRequest() {
    if (!driver_.SendFrame()) {
        // The driver has told the user; no reply can come to a request that never left.
        MasterError = ErrTimeout;
        EvNoReply = 1;
    }
}

void ModBusMaster::MasterStep() {
    UpdateState();
    RunState();
}

std::uint8_t ModBusMaster::UpdateState() {
    struct Rule {
        std::uint8_t* flag;
        std::uint8_t next;
    };
    const Rule rules[] = {
        {&EvFramed, StFramed},       {&EvSent, StWaitReply},   {&EvBroadcastSent, StTurnaround},
        {&EvTurnaroundOver, StIdle}, {&EvReceived, StReplyIn}, {&EvNoReply, StFailed},
        {&EvBadFrame, StFailed},     {&EvGoodFrame, StDone},   {&EvErrorReady, StDone},
        {&EvCollected, StIdle},
    };
    const std::uint8_t before = EngineState;
    for (const Rule& r : rules) {
        if (*r.flag == 1) {
            EngineState = r.next;
            *r.flag = 0;
        }
    }
    if (EngineState != before && OnStateChange) OnStateChange(before, EngineState);
    return EngineState;
}

std::uint8_t ModBusMaster::RunState() {
    switch (EngineState) {
        case StWaitReply:
            // No reply in time, or the line was lost while waiting: both end as a timeout.
            if (driver_.ReceiveFrame() != CommDriver::kFrameIn) {
                MasterError = ErrTimeout;
                EvNoReply = 1;
            } else {
                EvReceived = 1;
            }
            break;
        case StReplyIn: {
            std::uint8_t func = 0;
            std::int32_t length = 0;
            std::uint8_t address = 0;
            ModBusMsg checked = RspMsg;
            const std::uint8_t error = dll_.CheckFrame(func, checked, length, address);
            if (error == 0 && ReqMsg.Address != 0 && address != ReqMsg.Address) {
                // A sound frame from another unit on a shared line is not our answer: it
                // is ignored as if it had not come, and the wait goes on.
                driver_.ResumeWait();
                EvSent = 1;
                break;
            }
            MasterError = error;
            RspMsg = std::move(checked);
            RspMsg.FuncCode = func;
            RspMsg.Address = address;
            RspMsg.Length = length;
            RspMsg.Ready = kTrue;
            if (MasterError == ErrDataConflict) {
                EvBadFrame = 1;
            } else {
                EvGoodFrame = 1;
            }
            break;
        }
        case StFailed:
            if (MasterError == ErrTimeout || MasterError == ErrDataConflict) EvErrorReady = 1;
            break;
        case StTurnaround:
            if (isTrue(driver_.TurnaroundTimerExpired())) EvTurnaroundOver = 1;
            break;
        default:  // 0, 1 and 6: nothing happens by itself
            break;
    }
    return EngineState;
}

std::uint8_t ModBusMaster::FetchResponse(std::uint8_t& FuncCodeOut, std::span<std::uint8_t> DataOut,
                                         std::int32_t& LengthOut, std::uint8_t& AddressOut) {
    std::uint8_t result = 0;
    if (MasterError != 0) {
        result = MasterError;
        MasterError = 0;
        RspMsg.Ready = kFalse;
        RspMsg.Length = 0;
    } else {
        FuncCodeOut = RspMsg.FuncCode;
        LengthOut = RspMsg.Length;
        AddressOut = RspMsg.Address;
        const auto n = std::min({static_cast<std::size_t>(std::max<std::int32_t>(RspMsg.Length, 0)),
                                 RspMsg.Data.size(), DataOut.size()});
        std::copy_n(RspMsg.Data.begin(), n, DataOut.begin());
    }
    EvCollected = 1;
    return result;
}

bool ModBusMaster::EventPending() const {
    return (EvFramed | EvSent | EvBroadcastSent | EvTurnaroundOver | EvReceived | EvNoReply |
            EvBadFrame | EvGoodFrame | EvErrorReady | EvCollected) != 0;
}

}  // namespace tabsend
