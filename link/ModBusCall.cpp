#include "link/ModBusCall.h"

#include <array>

namespace tabsend {

Flag16 ModBusCall::SendRequest(std::uint8_t FuncCode, std::uint8_t Address,
                               std::span<const std::uint8_t> Data, std::int32_t Count) {
    master_.LoadRequest(FuncCode, Address, Data, Count);

    // Back to idle. After a collected exchange one step does it; the other cases only arise
    // when the pairing with WaitResponse was broken, and are brought to an end here.
    while (master_.MasterState() != StIdle) {
        const std::uint8_t state = master_.MasterState();
        if (state == StDone && !master_.EventPending()) {
            // The outcome of the previous request was never fetched: drop it.
            std::uint8_t func = 0;
            std::int32_t length = 0;
            std::uint8_t address = 0;
            (void)master_.FetchResponse(func, std::span<std::uint8_t>(), length, address);
            continue;
        }
        if (state == StTurnaround && !master_.EventPending()) {
            // After a broadcast the quiet time must pass, and it passes only in ticks.
            master_.Driver().pump().yieldOnce();
        }
        master_.MasterStep();
        if (master_.MasterState() == state && state != StTurnaround && !master_.EventPending()) {
            // Nothing moves the engine on from here (a frame that was never sent): drop it.
            master_.EvCollected = 1;
        }
    }

    master_.BuildRequestFrame();
    while (master_.MasterState() != StFramed) {
        const std::uint8_t state = master_.MasterState();
        master_.MasterStep();
        if (master_.MasterState() == state && !master_.EventPending()) break;
    }

    master_.TransmitRequest();
    return kTrue;
}

std::uint8_t ModBusCall::WaitResponse(std::uint8_t& FuncCodeOut, std::span<std::uint8_t> DataOut,
                                      std::int32_t& LengthOut, std::uint8_t& AddressOut) {
    for (;;) {
        const std::uint8_t state = master_.MasterState();
        // Already collected, or no request sent since: there is nothing to wait for.
        if (master_.EvCollected != 0) return ErrTimeout;
        if (!master_.EventPending() && (state == StIdle || state == StFramed)) return ErrTimeout;
        // A broadcast gets no reply; the next SendRequest waits out its quiet time.
        if (master_.EvBroadcastSent != 0 || state == StTurnaround) return ErrTimeout;
        if (state == StDone) break;
        master_.MasterStep();
        if (master_.MasterState() == state && !master_.EventPending()) return ErrTimeout;
    }
    return master_.FetchResponse(FuncCodeOut, DataOut, LengthOut, AddressOut);
}

}  // namespace tabsend
