#include "tools/sim/SimOptions.h"

#include <charconv>
#include <cmath>
#include <functional>
#include <map>

namespace dexsim {

namespace {

std::optional<std::uint64_t> toUnsigned(std::string_view t, std::uint64_t max) {
    int base = 10;
    if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
        t.remove_prefix(2);
        base = 16;
    }
    std::uint64_t v = 0;
    auto [p, ec] = std::from_chars(t.data(), t.data() + t.size(), v, base);
    if (t.empty() || ec != std::errc() || p != t.data() + t.size() || v > max) return {};
    return v;
}

std::optional<double> toDouble(const std::string& t) {
    if (t.empty()) return {};
    std::size_t used = 0;
    double v = 0;
    try {
        v = std::stod(t, &used);
    } catch (...) {
        return {};
    }
    if (used != t.size() || !std::isfinite(v)) return {};
    return v;
}

std::optional<std::int64_t> msToUs(const std::string& t) {
    auto v = toDouble(t);
    if (!v || *v < 0 || *v > 3'600'000) return {};
    return static_cast<std::int64_t>(std::llround(*v * 1000.0));
}

std::optional<std::vector<std::uint64_t>> toList(const std::string& t) {
    std::vector<std::uint64_t> out;
    std::string_view rest = t;
    while (true) {
        const auto comma = rest.find(',');
        auto n = toUnsigned(rest.substr(0, comma), UINT64_MAX);
        if (!n || *n == 0) return {};
        out.push_back(*n);
        if (comma == std::string_view::npos) break;
        rest.remove_prefix(comma + 1);
    }
    return out;
}

std::vector<std::string> split(const std::string& t, char sep) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (true) {
        const auto at = t.find(sep, start);
        parts.push_back(t.substr(start, at - start));
        if (at == std::string::npos) break;
        start = at + 1;
    }
    return parts;
}

}  // namespace

std::optional<SlotPreset> parseSlotPreset(const std::string& text) {
    const auto parts = split(text, ',');
    if (parts.size() > 3) return {};
    SlotPreset p;
    static const std::map<std::string, SlotState, std::less<>> states = {
        {"empty", SlotState::Empty},
        {"in-service", SlotState::InOperation},
        {"in-operation", SlotState::InOperation},
        {"out-of-service", SlotState::OutOfOperation},
        {"out-of-operation", SlotState::OutOfOperation},
        {"locked", SlotState::NotSwitchable},
        {"not-switchable", SlotState::NotSwitchable},
    };
    if (auto it = states.find(parts[0]); it != states.end()) {
        p.state = it->second;
    } else if (auto raw = toUnsigned(parts[0], 0xFF)) {
        p.rawStatus = static_cast<std::uint8_t>(*raw);
    } else {
        return {};
    }
    if (parts.size() >= 2) {
        auto code = toUnsigned(parts[1], 0xFFFF);
        if (!code) return {};
        p.languageCode = static_cast<std::uint16_t>(*code);
    }
    if (parts.size() == 3) {
        auto version = toUnsigned(parts[2], 0xFFFFFFFF);
        if (!version) return {};
        p.version = static_cast<std::uint32_t>(*version);
    }
    return p;
}

SimOptionsResult parseSimOptions(const std::vector<std::string>& args) {
    SimOptions o;
    FaultConfig& f = o.device.faults;
    auto fail = [](std::string why) { return SimOptionsResult{std::nullopt, std::move(why)}; };

    using Setter = std::function<bool(const std::string&)>;
    auto probability = [](FaultRule& r) -> Setter {
        return [&r](const std::string& v) {
            auto p = toDouble(v);
            if (!p || *p < 0 || *p > 1) return false;
            r.probability = *p;
            return true;
        };
    };
    auto nth = [](FaultRule& r) -> Setter {
        return [&r](const std::string& v) {
            auto list = toList(v);
            if (!list) return false;
            r.nth.insert(r.nth.end(), list->begin(), list->end());
            return true;
        };
    };
    auto duration = [](std::int64_t& target) -> Setter {
        return [&target](const std::string& v) {
            auto us = msToUs(v);
            if (!us) return false;
            target = *us;
            return true;
        };
    };
    auto code = [](std::uint8_t& target) -> Setter {
        return [&target](const std::string& v) {
            auto c = toUnsigned(v, 0xFF);
            if (!c) return false;
            target = static_cast<std::uint8_t>(*c);
            return true;
        };
    };
    auto filters = [](std::vector<MessageFilter>& target) -> Setter {
        return [&target](const std::string& v) {
            auto flt = parseMessageFilter(v);
            if (!flt) return false;
            target.push_back(*flt);
            return true;
        };
    };
    auto slot = [&o](std::size_t n) -> Setter {
        return [&o, n](const std::string& v) {
            auto p = parseSlotPreset(v);
            if (!p) return false;
            o.device.slots[n] = *p;
            return true;
        };
    };

    const std::map<std::string, Setter, std::less<>> withValue = {
        {"--settings",
         [&o](const std::string& v) {
             auto s = tabsend::parseLineSettings(v);
             if (!s) return false;
             o.device.line = *s;
             return true;
         }},
        {"--address", code(o.device.address)},
        {"--turnaround-ms", duration(o.device.turnaroundUs)},
        {"--erase-ms", duration(o.device.eraseUs)},
        {"--seed",
         [&o](const std::string& v) {
             auto s = toUnsigned(v, 0xFFFFFFFF);
             if (!s) return false;
             o.device.seed = static_cast<std::uint32_t>(*s);
             return true;
         }},
        {"--drop", probability(f.drop)},
        {"--drop-nth", nth(f.drop)},
        {"--corrupt", probability(f.corrupt)},
        {"--corrupt-nth", nth(f.corrupt)},
        {"--exception", probability(f.exception)},
        {"--exception-nth", nth(f.exception)},
        {"--exception-code", code(f.exceptionCode)},
        {"--wrong-echo", probability(f.wrongEcho)},
        {"--wrong-echo-nth", nth(f.wrongEcho)},
        {"--split", probability(f.split)},
        {"--split-nth", nth(f.split)},
        {"--split-gap-ms", duration(f.splitGapUs)},
        {"--late", probability(f.late)},
        {"--late-nth", nth(f.late)},
        {"--late-ms", duration(f.lateUs)},
        {"--foreign", probability(f.foreign)},
        {"--foreign-nth", nth(f.foreign)},
        {"--foreign-address", code(f.foreignAddress)},
        {"--short", probability(f.shortReply)},
        {"--short-nth", nth(f.shortReply)},
        {"--stop-after",
         [&f](const std::string& v) {
             auto k = toUnsigned(v, UINT64_MAX);
             if (!k) return false;
             f.stopAfter = *k;
             return true;
         }},
        {"--refuse", filters(f.refuse)},
        {"--refuse-code", code(f.refuseCode)},
        {"--ignore", filters(f.ignore)},
        {"--dump-dir",
         [&o](const std::string& v) {
             if (v.empty()) return false;
             o.dumpDir = v;
             return true;
         }},
        {"--slot1", slot(0)},
        {"--slot2", slot(1)},
        {"--slot3", slot(2)},
    };
    const std::map<std::string, std::function<void()>, std::less<>> flags = {
        {"--pace", [&o] { o.pace = true; }},
        {"--no-pace", [&o] { o.pace = false; }},
        {"--log", [&o] { o.log = true; }},
        {"--require-connect", [&o] { o.device.requireConnect = true; }},
        {"--help", [&o] { o.help = true; }},
        {"-h", [&o] { o.help = true; }},
    };

    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> value;
        if (const auto eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.resize(eq);
        }
        if (auto fl = flags.find(name); fl != flags.end()) {
            if (value) return fail("option " + name + " takes no value");
            fl->second();
            continue;
        }
        auto op = withValue.find(name);
        if (op == withValue.end()) return fail("unknown option " + name);
        if (!value) {
            if (i + 1 >= args.size()) return fail("option " + name + " needs a value");
            value = args[++i];
        }
        if (!op->second(*value)) return fail("bad value for " + name + ": '" + *value + "'");
    }
    return SimOptionsResult{o, {}};
}

std::string simUsage() {
    return R"(Usage: dexio-sim [options]

Stands in for a DEXIO operator unit on a pseudo-terminal. Prints the terminal's device path
(e.g. /dev/pts/5) on the first line of standard output, then serves until SIGINT or SIGTERM.
SIGUSR1 writes the memory dump (with --dump-dir) without stopping.

Line and timing:
  --settings S          line setting the unit answers at (default 19200,e,8,1); after a
                        connect it also answers at 57600,e,8,1 until a disconnect
  --address N           unit address (default 33)
  --turnaround-ms MS    silence before each reply (default 2)
  --erase-ms MS         time a slot erase takes (default 1500); the unit is deaf meanwhile
  --pace / --no-pace    send replies at the line's character rate (default on)
  --require-connect     answer only connect/disconnect until connected (others: exception 04)

Slots at start:
  --slot1 / --slot2 / --slot3 STATE[,CODE[,VERSION]]
                        STATE: empty (status 0xFF), in-service (0xFE), out-of-service
                        (0xFC), locked (0x00), or a raw status byte such as 0xEF;
                        CODE and VERSION: what a present slot reports (default 1,1)

Faults (P is a probability 0..1; LIST is request numbers such as 3,7; requests are counted
from 1 over the frames the unit accepts; all random choices come from --seed):
  --seed N              seed of the fault generator (default 1)
  --drop P / --drop-nth LIST              carry the request out, lose the reply
  --corrupt P / --corrupt-nth LIST        damage the reply's CRC
  --exception P / --exception-nth LIST    answer with an exception instead (not carried out)
  --exception-code C                      its exception code (default 4)
  --wrong-echo P / --wrong-echo-nth LIST  alter the reply's first data byte
  --split P / --split-nth LIST            cut the reply in two with a silence
  --split-gap-ms MS                       that silence (default 30)
  --late P / --late-nth LIST              answer late
  --late-ms MS                            by this much (default 300)
  --foreign P / --foreign-nth LIST        answer from another address (a second device)
  --foreign-address A                     that address (default 7)
  --short P / --short-nth LIST            cut the reply to its first data byte
  --stop-after K        answer the first K requests, then nothing
  --refuse KIND         answer KIND with an exception (default code 4); repeatable
  --refuse-code C       exception code of refused requests
  --ignore KIND         never answer KIND; repeatable
                        KIND: connect, disconnect, device-id, erase, assembly, lang-info,
                        index, bitmap, head, package, complete, toggle, read-status,
                        read-version, read-code, other, or FUNC[:FIRSTBYTE] such as 0x7D
                        or 0x5A:8

Output:
  --dump-dir DIR        write DIR/memory.bin and DIR/index.txt after every complete signal,
                        on SIGUSR1 and at exit
  --log                 one line per frame on standard error
  --help, -h            this text
)";
}

}  // namespace dexsim
