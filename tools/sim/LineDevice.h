#pragma once
// The far end of a serial line, as the fake line of the tests and the pseudo-terminal
// front end of dexio-sim both drive it: the line frames requests by silence and hands each
// one over; the device answers with a plan of bytes and silences.

#include <cstdint>
#include <span>
#include <vector>

#include "link/SerialPort.h"

namespace dexsim {

// A piece of a reply: `silenceUs` microseconds of quiet line, then `bytes` back to back at
// the line's character rate.
struct ReplyChunk {
    std::int64_t silenceUs = 0;
    std::vector<std::uint8_t> bytes;
};

// What the device puts on the line after a request. The first chunk's silence is the
// turnaround (and, for an erase, the erase time). No chunks: the device stays silent.
struct Reply {
    std::vector<ReplyChunk> chunks;
    bool empty() const { return chunks.empty(); }
};

class LineDevice {
  public:
    virtual ~LineDevice() = default;
    // One frame arrived, sent by the host with `hostSettings`; `nowUs` is the moment its
    // last byte arrived (virtual or real microseconds; only differences matter).
    virtual Reply onFrame(std::span<const std::uint8_t> frame,
                          const tabsend::LineSettings& hostSettings, std::int64_t nowUs) = 0;
};

}  // namespace dexsim
