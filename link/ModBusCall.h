#pragma once
// The blocking call pair through which every exchange with the DEXIO is made.

#include <cstdint>
#include <span>

#include "link/ModBusMaster.h"

namespace tabsend {

class ModBusCall {
  public:
    explicit ModBusCall(ModBusMaster& master) : master_(master) {}

    // Puts one request on the wire; returns once the frame has left the output buffer and
    // the response timer runs. Always -1. When the port fails, the user has been told and
    // the following WaitResponse gives 32. A request sent before the previous one was
    // collected first completes and drops the previous exchange.
    Flag16 SendRequest(std::uint8_t FuncCode, std::uint8_t Address,
                       std::span<const std::uint8_t> Data, std::int32_t Count);

    // Waits for the outcome of the last SendRequest: 0 with the reply written to the
    // out-arguments (DataOut receives at most its own size; LengthOut is the reply's data
    // length), or 32 / 33 with them untouched. Without a request pending (none sent, already
    // collected, or a broadcast) it gives 32 at once.
    std::uint8_t WaitResponse(std::uint8_t& FuncCodeOut, std::span<std::uint8_t> DataOut,
                              std::int32_t& LengthOut, std::uint8_t& AddressOut);

  private:
    ModBusMaster& master_;
};

// The four modules of the link wired together over one serial port.
struct ModbusLink {
    ModbusLink(SerialPort& port, EventPump& pump, TickTimer& timer1, MessageSink& messages)
        : driver(dll, port, pump, timer1, messages), master(dll, driver), call(master) {
        driver.SetEvents(&master);
    }
    ModbusLink(const ModbusLink&) = delete;
    ModbusLink& operator=(const ModbusLink&) = delete;

    ModBusDll dll;
    CommDriver driver;
    ModBusMaster master;
    ModBusCall call;
};

}  // namespace tabsend
