#pragma once
// A complete Modbus link on a fake line, for tests of the link and of everything above it:
// virtual clock (also the event pump and Timer1), scripted device, fake port, recorded
// message boxes, and the four link modules wired together.
//
//   LinkRig rig;                       // port opened on "COM1" at 57600,e,8,1, MasterInit done
//   rig.device.answerFrame(0x21, 0x7E, {0x02});
//   rig.link.call.SendRequest(0x7E, 33, one, 1);
//   auto r = rig.link.call.WaitResponse(func, data, len, addr);
//
// Members are declared in the order they must be built (the clock first, the link last).

#include <string>

#include "link/ModBusCall.h"
#include "tests/support/FakeSerialPort.h"
#include "tests/support/RecordingSeams.h"
#include "tests/support/ScriptedDevice.h"
#include "tests/support/VirtualClock.h"

namespace tabsend::testkit {

struct LinkRig {
    // Opens the port with `settings` (unless empty) and runs MasterInit.
    explicit LinkRig(const std::string& settings = "57600,e,8,1",
                     const std::string& deviceName = "COM1") {
        if (!settings.empty()) {
            port.open(deviceName, settings);
            link.master.MasterInit();
        }
    }

    VirtualClock clock;
    ScriptedDevice device;
    FakeSerialPort port{clock, &device};
    RecordingMessages messages;
    ModbusLink link{port, clock, clock.timer1(), messages};
};

}  // namespace tabsend::testkit
