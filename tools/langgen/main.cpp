// langgen: writes a language source file to standard output.
//
//   langgen --strings N --min-len A --max-len B --seed S --code C --name NAME --version V
//   langgen --render TEXTS.txt --code C --name NAME --version V [--cp1252]
//
// The first form makes N strings of random bitmaps; the second renders every line of a
// UTF-8 text file with a 5x7 font. --cp1252 writes the language name in Windows-1252, as
// the files made on a Western European PC are.

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <map>
#include <stdexcept>
#include <string>

#include "tools/langgen/LangGen.h"

namespace {

int usage() {
    std::fprintf(stderr,
                 "usage: langgen --strings N [--min-len A] [--max-len B] [--seed S] [--code C]\n"
                 "               [--name NAME] [--version V]\n"
                 "       langgen --render TEXTS.txt [--code C] [--name NAME] [--version V] "
                 "[--cp1252]\n");
    return 2;
}

long long number(const std::string& option, const std::string& text) {
    std::size_t used = 0;
    long long v = 0;
    try {
        v = std::stoll(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used != text.size() || text.empty())
        throw std::invalid_argument(option + " needs a whole number, not \"" + text + "\"");
    return v;
}

}  // namespace

int main(int argc, char** argv) {
    std::map<std::string, std::string> args;
    bool cp1252 = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--cp1252") {
            cp1252 = true;
        } else if (a.rfind("--", 0) == 0 && i + 1 < argc) {
            args[a] = argv[++i];
        } else {
            return usage();
        }
    }
    const auto known = {"--strings", "--min-len", "--max-len", "--seed",
                        "--code",    "--name",    "--version", "--render"};
    for (const auto& [k, v] : args) {
        bool ok = false;
        for (const char* n : known) ok = ok || k == n;
        if (!ok) return usage();
    }
    if (args.count("--strings") == args.count("--render")) return usage();

    try {
        tabsend::langgen::Options o;
        if (args.count("--code"))
            o.code = static_cast<std::int32_t>(number("--code", args["--code"]));
        if (args.count("--name")) o.name = args["--name"];
        if (args.count("--version")) o.version = args["--version"];
        if (cp1252) o.name = tabsend::langgen::ToWindows1252(o.name);
        std::string out;
        if (args.count("--render")) {
            const std::vector<std::string> texts =
                tabsend::langgen::ReadTextLines(args["--render"]);
            out = tabsend::langgen::RenderLanguageSource(texts, o.code, o.name, o.version);
        } else {
            o.strings = static_cast<std::int32_t>(number("--strings", args["--strings"]));
            if (args.count("--min-len"))
                o.minLen = static_cast<std::int32_t>(number("--min-len", args["--min-len"]));
            if (args.count("--max-len"))
                o.maxLen = static_cast<std::int32_t>(number("--max-len", args["--max-len"]));
            if (args.count("--seed"))
                o.seed = static_cast<std::uint64_t>(number("--seed", args["--seed"]));
            out = tabsend::langgen::GenerateLanguageSource(o);
        }
        std::fwrite(out.data(), 1, out.size(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "langgen: %s\n", e.what());
        return 1;
    }
}
