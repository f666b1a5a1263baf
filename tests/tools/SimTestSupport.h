#pragma once
// Small host side for the device model tests: builds request frames the way the tool lays
// them out, hands them to the model with a running clock, and takes the reply apart.

#include <cstdint>
#include <span>
#include <vector>

#include "link/ModBusDll.h"
#include "tools/sim/DexioModel.h"

namespace dexsim::test {

inline constexpr tabsend::LineSettings k19200e81{19200, tabsend::Parity::Even, 8, 1};
inline constexpr tabsend::LineSettings k57600e81{57600, tabsend::Parity::Even, 8, 1};

using Bytes = std::vector<std::uint8_t>;

struct Answer {
    bool replied = false;
    bool crcOk = false;
    std::uint8_t address = 0;
    std::uint8_t func = 0;
    Bytes data;
    Bytes raw;
    Reply plan;
};

inline Answer takeApart(const Reply& plan) {
    Answer a;
    a.plan = plan;
    a.raw = replyBytes(plan);
    a.replied = !a.raw.empty();
    if (a.raw.size() >= 4) {
        const auto crc = tabsend::crc16(std::span(a.raw).first(a.raw.size() - 2));
        a.crcOk = a.raw[a.raw.size() - 2] == crc.low && a.raw.back() == crc.high;
        a.address = a.raw[0];
        a.func = a.raw[1];
        a.data.assign(a.raw.begin() + 2, a.raw.end() - 2);
    }
    return a;
}

inline void put32(Bytes& b, std::uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) b.push_back(static_cast<std::uint8_t>(v >> s));
}
inline void put16(Bytes& b, std::uint32_t v) {
    b.push_back(static_cast<std::uint8_t>(v >> 8));
    b.push_back(static_cast<std::uint8_t>(v));
}

// Message data as the tool lays it out.
inline Bytes indexEntry(int slot, std::uint16_t str, std::uint8_t dispLine, std::uint16_t len,
                        std::uint32_t addr) {
    Bytes b{static_cast<std::uint8_t>(3 + slot), 100};
    put16(b, str);
    b.push_back(7);
    b.push_back(dispLine);
    put16(b, len);
    put32(b, addr);
    return b;
}
inline Bytes singleBitmap(int slot, std::uint16_t str, std::uint32_t addr, const Bytes& bytes) {
    Bytes b{static_cast<std::uint8_t>(6 + slot)};
    put16(b, str);
    put32(b, addr);
    b.push_back(static_cast<std::uint8_t>(bytes.size()));
    b.insert(b.end(), bytes.begin(), bytes.end());
    return b;
}
inline Bytes bitmapHead(int slot, std::uint16_t str, std::uint32_t addr, std::uint8_t packages) {
    Bytes b{static_cast<std::uint8_t>(6 + slot)};
    put16(b, str | 0x8000u);
    put32(b, addr);
    b.push_back(packages);
    return b;
}
inline Bytes bitmapPackage(int slot, std::uint16_t str, std::uint8_t k, const Bytes& bytes) {
    Bytes b{static_cast<std::uint8_t>(6 + slot)};
    put16(b, str);
    b.push_back(k);
    b.push_back(static_cast<std::uint8_t>(bytes.size()));
    b.insert(b.end(), bytes.begin(), bytes.end());
    return b;
}
inline Bytes languageInfo(int slot, std::uint8_t item, std::uint32_t value) {
    Bytes b{static_cast<std::uint8_t>(slot), item, static_cast<std::uint8_t>(item == 3 ? 2 : 4)};
    if (item == 3)
        put16(b, value);
    else
        put32(b, value);
    return b;
}

// Bytes 0, 1, 2, ... of a bitmap of n bytes, different per seed.
inline Bytes pattern(std::size_t n, std::uint8_t seed) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(i * 7 + seed);
    return b;
}

// The host end: a clock that moves on by the whole reply plus 10 ms after every request, so
// the unit is never asked while it still answers (or erases).
struct Host {
    DexioModel& model;
    tabsend::LineSettings settings = k19200e81;
    std::int64_t nowUs = 1'000'000;

    Answer frame(const Bytes& raw) {
        Answer a = takeApart(model.onFrame(raw, settings, nowUs));
        std::int64_t t = 10'000;
        for (const auto& c : a.plan.chunks) t += c.silenceUs + 1000;
        nowUs += t;
        return a;
    }
    Answer ask(std::uint8_t func, const Bytes& data, std::uint8_t address = 33) {
        return frame(tabsend::buildFrame(address, func, data));
    }
    Answer write(const Bytes& data) { return ask(0x5A, data); }
    Answer read(int slot, std::uint8_t item) {
        return ask(0x5B, {static_cast<std::uint8_t>(100 + slot), item});
    }
    bool connect() {
        auto a = ask(0x7E, {1});
        return a.crcOk && a.func == 0x7E && a.data == Bytes{2};
    }
    // Status byte (or -1 when the read fails).
    int status(int slot) {
        auto a = read(slot, 4);
        if (!a.crcOk || a.func != 0x5B || a.data.size() != 3) return -1;
        return a.data[2];
    }
};

}  // namespace dexsim::test
