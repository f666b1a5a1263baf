#pragma once
// Takes numbers and byte runs off the front of a fuzzer's input; past its end every number
// reads as 0 and every run as empty, so any input is a valid plan.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace tabsend::fuzz {

class FuzzInput {
  public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : rest_(data, size) {}

    bool empty() const { return rest_.empty(); }
    std::size_t size() const { return rest_.size(); }

    std::uint8_t byte() {
        if (rest_.empty()) return 0;
        const std::uint8_t b = rest_.front();
        rest_ = rest_.subspan(1);
        return b;
    }
    std::uint16_t word() { return static_cast<std::uint16_t>(byte() << 8 | byte()); }

    std::span<const std::uint8_t> bytes(std::size_t n) {
        n = std::min(n, rest_.size());
        const auto out = rest_.first(n);
        rest_ = rest_.subspan(n);
        return out;
    }
    std::span<const std::uint8_t> all() { return bytes(rest_.size()); }

    // The rest split at the first occurrence of `separator`: the part before it.
    std::string_view textUntil(char separator) {
        const std::string_view all(reinterpret_cast<const char*>(rest_.data()), rest_.size());
        const std::size_t at = all.find(separator);
        const std::size_t n = at == std::string_view::npos ? all.size() : at;
        rest_ = rest_.subspan(std::min(n + 1, rest_.size()));
        return all.substr(0, n);
    }

  private:
    std::span<const std::uint8_t> rest_;
};

// Stops the run with a crash the fuzzer records, when an invariant does not hold.
inline void require(bool condition) {
    if (!condition) __builtin_trap();
}

}  // namespace tabsend::fuzz
