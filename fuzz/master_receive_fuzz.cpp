// The master engine's receive path: a request goes out over the fake serial line and the
// "device" answers with arbitrary bytes in arbitrary chunks and silences, or floods the line
// with never-ending input. The call must end with 0, 32 or 33, never write past the caller's
// buffer, and leave the link fit for the next exchange.
//
// Input: [flags] [timeout] then chunks of [silence] [length] [bytes...].
//   flags bit 0: after the chunks, the line keeps talking: the chunks repeat back to back
//                (silence 0) for several seconds of line time.
//   flags bit 1: the chunks are sent as noise before the request instead of as its reply.
//   silence:     in units of 500 µs (0 .. 127 ms): the 20 ms silence rule is inside.

#include <array>
#include <cstdint>
#include <vector>

#include "fuzz/FuzzInput.h"
#include "link/ModBusCall.h"
#include "tests/support/LinkRig.h"

using tabsend::fuzz::FuzzInput;
using tabsend::fuzz::require;

namespace {

constexpr std::int64_t kSilenceUnitUs = 500;
constexpr std::size_t kFloodBytes = 24'000;  // about 4.6 s at 57600 baud
const std::array<std::uint8_t, 1> kConnect{0x01};

struct Outs {
    std::uint8_t func = 0;
    std::int32_t length = -1;
    std::uint8_t address = 0;
    std::array<std::uint8_t, 300> data{};  // the guard after 260 bytes must stay untouched
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput in(data, size);
    const std::uint8_t flags = in.byte();
    const int timeoutTicks = 2 + in.byte() % 160;

    dexsim::Reply reply;
    std::size_t total = 0;
    while (!in.empty()) {
        dexsim::ReplyChunk chunk;
        chunk.silenceUs = static_cast<std::int64_t>(in.byte() % 255) * kSilenceUnitUs;
        const auto bytes = in.bytes(in.byte());
        chunk.bytes.assign(bytes.begin(), bytes.end());
        total += chunk.bytes.size();
        reply.chunks.push_back(std::move(chunk));
    }
    if ((flags & 1) != 0 && total > 0) {
        const std::vector<dexsim::ReplyChunk> once = reply.chunks;
        while (total < kFloodBytes) {
            for (dexsim::ReplyChunk c : once) {
                c.silenceUs = 0;
                total += c.bytes.size();
                reply.chunks.push_back(std::move(c));
            }
        }
    }

    tabsend::testkit::LinkRig rig;
    rig.link.driver.SetResponseTimeout(timeoutTicks * 10);
    if ((flags & 2) != 0) {
        rig.port.inject(reply);
        rig.clock.advanceTicks(1 + flags / 4 % 8);
    } else if (!reply.empty()) {
        rig.device.answerChunks(reply.chunks);
    }

    Outs o;
    const std::span<std::uint8_t> out(o.data.data(), 260);
    require(rig.link.call.SendRequest(0x7E, 33, kConnect, 1) == tabsend::kTrue);
    const std::uint8_t result = rig.link.call.WaitResponse(o.func, out, o.length, o.address);
    require(result == 0 || result == 32 || result == 33);
    for (std::size_t i = 260; i < o.data.size(); ++i) require(o.data[i] == 0);
    if (result == 0) require(o.length >= 0 && o.length <= 271);

    // Once the line has fallen quiet, the next exchange must go through.
    std::int64_t restUs = rig.port.wireTimeUs(static_cast<std::int64_t>(total));
    for (const dexsim::ReplyChunk& c : reply.chunks) restUs += c.silenceUs;
    rig.clock.advanceTicks(static_cast<long>(restUs / 10'000) + 3);
    rig.device.answerFrame(0x21, 0x7E, {0x02});
    Outs next;
    require(rig.link.call.SendRequest(0x7E, 33, kConnect, 1) == tabsend::kTrue);
    require(rig.link.call.WaitResponse(next.func, next.data, next.length, next.address) == 0);
    require(next.func == 0x7E && next.length == 1 && next.data[0] == 0x02 && next.address == 0x21);
    return 0;
}
