#pragma once
// A line device for link tests: records every request it receives and answers each from a
// queue of canned replies, in order. When the queue is empty it stays silent, or asks the
// fallback handler if one is set.

#include <cstdint>
#include <deque>
#include <functional>
#include <span>
#include <vector>

#include "link/SerialPort.h"
#include "tools/sim/LineDevice.h"

namespace tabsend::testkit {

class ScriptedDevice : public dexsim::LineDevice {
  public:
    // Turnaround used when a reply names none.
    static constexpr std::int64_t kDefaultTurnaroundUs = 2'000;

    struct Request {
        std::vector<std::uint8_t> frame;
        LineSettings settings;
        std::int64_t atUs = 0;  // the moment its last byte arrived
    };

    // The next request is answered with these bytes after `silenceUs` of quiet line.
    ScriptedDevice& answer(std::vector<std::uint8_t> bytes,
                           std::int64_t silenceUs = kDefaultTurnaroundUs);
    // The same with a frame built from address, function code and data, CRC appended.
    ScriptedDevice& answerFrame(std::uint8_t address, std::uint8_t funcCode,
                                std::vector<std::uint8_t> data,
                                std::int64_t silenceUs = kDefaultTurnaroundUs);
    // The next request is answered in pieces, each after its own silence.
    ScriptedDevice& answerChunks(std::vector<dexsim::ReplyChunk> chunks);
    // The next request gets no answer.
    ScriptedDevice& silent();
    // The same plan for the next n requests.
    ScriptedDevice& repeat(int n, const dexsim::Reply& reply);

    using Handler = std::function<dexsim::Reply(std::span<const std::uint8_t> frame,
                                                const LineSettings& settings, std::int64_t nowUs)>;
    // Answers requests once the queue is empty (default: silence).
    void setFallback(Handler handler) { fallback_ = std::move(handler); }

    const std::vector<Request>& requests() const { return requests_; }
    std::size_t queued() const { return queue_.size(); }

    dexsim::Reply onFrame(std::span<const std::uint8_t> frame, const LineSettings& hostSettings,
                          std::int64_t nowUs) override;

  private:
    std::deque<dexsim::Reply> queue_;
    Handler fallback_;
    std::vector<Request> requests_;
};

}  // namespace tabsend::testkit
