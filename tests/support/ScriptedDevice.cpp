#include "tests/support/ScriptedDevice.h"

#include <utility>

#include "link/ModBusDll.h"

namespace tabsend::testkit {

ScriptedDevice& ScriptedDevice::answer(std::vector<std::uint8_t> bytes, std::int64_t silenceUs) {
    dexsim::Reply r;
    r.chunks.push_back({silenceUs, std::move(bytes)});
    queue_.push_back(std::move(r));
    return *this;
}

ScriptedDevice& ScriptedDevice::answerFrame(std::uint8_t address, std::uint8_t funcCode,
                                            std::vector<std::uint8_t> data,
                                            std::int64_t silenceUs) {
    return answer(buildFrame(address, funcCode, data), silenceUs);
}

ScriptedDevice& ScriptedDevice::answerChunks(std::vector<dexsim::ReplyChunk> chunks) {
    dexsim::Reply r;
    r.chunks = std::move(chunks);
    queue_.push_back(std::move(r));
    return *this;
}

ScriptedDevice& ScriptedDevice::silent() {
    queue_.push_back(dexsim::Reply{});
    return *this;
}

ScriptedDevice& ScriptedDevice::repeat(int n, const dexsim::Reply& reply) {
    for (int i = 0; i < n; ++i) queue_.push_back(reply);
    return *this;
}

dexsim::Reply ScriptedDevice::onFrame(std::span<const std::uint8_t> frame,
                                      const LineSettings& hostSettings, std::int64_t nowUs) {
    requests_.push_back(
        {std::vector<std::uint8_t>(frame.begin(), frame.end()), hostSettings, nowUs});
    if (!queue_.empty()) {
        dexsim::Reply r = std::move(queue_.front());
        queue_.pop_front();
        return r;
    }
    if (fallback_) return fallback_(frame, hostSettings, nowUs);
    return {};
}

}  // namespace tabsend::testkit
