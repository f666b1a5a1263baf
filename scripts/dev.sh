#!/usr/bin/env bash
# One entry point for a fresh Debian 12 machine.
#   scripts/dev.sh test            install, then every build CI makes, each with its tests:
#                                  GCC at Release (-O3), Clang with ASan+UBSan, the fuzz
#                                  targets for 30 s each, the Windows core under Wine
#   scripts/dev.sh fuzz [SECONDS]  install, build the fuzz targets (Clang) and run each one
#                                  SECONDS long (default 30)
#   scripts/dev.sh demo [PORT]     install, build, compile the example languages and download
#                                  them to a unit on PORT, or to dexio-sim when no PORT is given
#   scripts/dev.sh build           install and build only
#   scripts/dev.sh package         install, build, make the Debian package and the .tar.gz
#                                  (build/packages/) and check them
#   scripts/dev.sh run             install, build, install into build/stage and start Startup
#                                  there (needs a display)
# Our own builds treat warnings as errors (a user's plain cmake build does not). Set
# CMAKE_CXX_COMPILER_LAUNCHER=ccache in the environment to build through ccache.
set -euo pipefail

here="$(cd "$(dirname "$0")/.." && pwd)"
cd "$here"
jobs="$(nproc 2>/dev/null || echo 2)"

packages=(build-essential cmake ninja-build pkg-config qt6-base-dev qt6-serialport-dev
          libgtest-dev libgmock-dev fonts-dejavu-core fonts-droid-fallback xvfb xauth dpkg-dev
          file)
# Clang with libFuzzer and the sanitizer runtimes; MinGW-w64 and Wine for the Windows core.
clang_packages=(clang libclang-rt-14-dev llvm)
windows_packages=(g++-mingw-w64-x86-64 wine wine64)

install_packages() {  # package...
    local missing=()
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    echo "Installing: ${missing[*]}"
    if [ -z "${apt_updated:-}" ]; then
        $sudo apt-get update -qq
        apt_updated=1
    fi
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

configure() {  # dir, extra cmake args...
    local dir="$1"; shift
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTABSEND_WERROR=ON "$@" >/dev/null
}

configure_build() {  # dir, extra cmake args...
    configure "$@" && cmake --build "$1" -j"$jobs"
}

run_tests() {  # dir, extra ctest args...
    local dir="$1"; shift
    export QT_QPA_PLATFORM=offscreen
    export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
    chmod 700 "$XDG_RUNTIME_DIR"
    (cd "$dir" && ctest --output-on-failure -j"$jobs" --timeout 300 "$@")
}

check_package() {  # dir: make the .deb and .tar.gz from the built tree and check them
    echo "== Package check"
    tests/install/check_package.sh "$1"
}

run_sanitized_tests() {  # dir
    (
        export ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1
        run_tests "$1"
    )
}

# ---- fuzzing ----

fuzz_targets=(master_receive_fuzz hexlist_fuzz ini_fuzz compile_fuzz codec_fuzz)

build_fuzz() {  # dir
    configure "$1" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DTABSEND_FUZZ=ON -DTABSEND_CORE_ONLY=ON &&
        cmake --build "$1" -j"$jobs" --target "${fuzz_targets[@]}"
}

# Runs every target `seconds` long, one after the other, on a working corpus started from the
# committed seeds. Crashes, hangs and leaks are saved in DIR/artifacts/<target>/. Prints one
# line per target with its executions; fails when any target found something.
run_fuzz() {  # dir, seconds
    local dir="$1" seconds="$2" failed=0
    for t in "${fuzz_targets[@]}"; do
        local corpus="$dir/corpus/$t" artifacts="$dir/artifacts/$t" log="$dir/$t.log"
        mkdir -p "$corpus" "$artifacts"
        local rc=0
        ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
            "$dir/fuzz/$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
            -print_final_stats=1 -artifact_prefix="$artifacts/" \
            "$corpus" "fuzz/corpus/$t" >"$log" 2>&1 || rc=$?
        local runs
        runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)"
        if [ "$rc" -eq 0 ]; then
            printf '%-22s %10s runs in %ss, corpus %s files, nothing found\n' \
                "$t" "${runs:-?}" "$seconds" "$(ls "$corpus" | wc -l)"
        else
            failed=1
            printf '%-22s %10s runs, FOUND A FAULT (exit %s), see %s and %s\n' \
                "$t" "${runs:-?}" "$rc" "$log" "$artifacts"
            grep -m1 -E "ERROR|runtime error|deadly signal|timeout" "$log" || true
        fi
    done
    return "$failed"
}

# ---- the Windows core ----

build_windows() {  # dir
    configure "$1" --toolchain cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release &&
        cmake --build "$1" -j"$jobs"
}

# Runs each test program of the Windows build once under Wine (a program per test, as CTest
# would, costs half a second of Wine start each). Prints GoogleTest's count per program.
run_windows_tests() {  # dir
    local dir="$1" failed=0 passed=0 failing=0
    export WINEDEBUG=-all
    [ -d "${WINEPREFIX:-$HOME/.wine}" ] || wine wineboot --init >/dev/null 2>&1
    while IFS= read -r exe; do
        local log="${exe%.exe}.wine.log" rc=0
        # Wine's console ends lines with CR LF.
        (cd "$(dirname "$exe")" && wine "$(basename "$exe")" --gtest_brief=1) 2>&1 |
            tr -d '\r' >"$log" || rc=$?
        local ran ok
        ran="$(sed -n 's/^\[==========\] \([0-9][0-9]*\) tests\{0,1\} from.*ran.*/\1/p' "$log" | tail -1)"
        ok="$(sed -n 's/^\[  PASSED  \] \([0-9][0-9]*\) tests\{0,1\}\..*/\1/p' "$log" | tail -1)"
        [[ "$ran" =~ ^[0-9]+$ ]] || ran=0
        [[ "$ok" =~ ^[0-9]+$ ]] || ok=0
        if [ "$ran" -eq 0 ] && [ "$rc" -eq 0 ]; then rc=1; fi  # no test ran: no pass
        passed=$((passed + ok))
        failing=$((failing + ran - ok))
        printf '%-22s %4s tests, %4s passed%s\n' "$(basename "$exe" .exe)" "$ran" "$ok" \
            "$([ "$rc" -eq 0 ] || echo ", FAILED (exit $rc)")"
        if [ "$rc" -ne 0 ]; then
            failed=1
            grep -E "^\[  FAILED  \]|Failure" "$log" | head -20 || true
        fi
    done < <(find "$dir/tests" -name '*_tests.exe' | sort)
    echo "Windows: $passed tests passed, $failing failed"
    return "$failed"
}

# ---- steps with times and a summary ----

logs=""
step_names=()
step_results=()
step_seconds=()

# Runs a step in the foreground, its output on the terminal.
step() {  # name, command...
    local name="$1"; shift
    local start=$SECONDS rc=0
    echo "== $name"
    "$@" || rc=$?
    record "$name" "$rc" $((SECONDS - start))
}

# Starts a step in the background with its output in $logs/<name>.log; finish_step waits.
declare -A bg_pid bg_start
start_step() {  # name, command...
    local name="$1"; shift
    echo "== $name (in the background, log $logs/$name.log)"
    bg_start[$name]=$SECONDS
    (
        rc=0
        "$@" || rc=$?
        echo $((SECONDS - bg_start[$name])) >"$logs/$name.seconds"
        exit "$rc"
    ) >"$logs/$name.log" 2>&1 &
    bg_pid[$name]=$!
}
finish_step() {  # name; the time recorded is the step's own, not the wait for it
    local name="$1" rc=0
    wait "${bg_pid[$name]}" || rc=$?
    echo "== $name (finished)"
    if [ "$rc" -eq 0 ]; then tail -n 12 "$logs/$name.log"; else tail -n 60 "$logs/$name.log"; fi
    record "$name" "$rc" "$(cat "$logs/$name.seconds" 2>/dev/null || echo $((SECONDS - bg_start[$name])))"
}

record() {  # name, exit code, seconds
    step_names+=("$1")
    step_results+=("$2")
    step_seconds+=("$3")
}

summary() {
    local passed=0 failed=0
    echo
    echo "== Summary"
    for i in "${!step_names[@]}"; do
        local r="ok"
        if [ "${step_results[$i]}" -eq 0 ]; then passed=$((passed + 1)); else r="FAILED"; failed=$((failed + 1)); fi
        printf '  %-34s %-7s %4ss\n' "${step_names[$i]}" "$r" "${step_seconds[$i]}"
    done
    printf '  %-34s %-7s %4ss\n' "total" "" "$SECONDS"
    echo "$passed passed, $failed failed"
    [ "$failed" -eq 0 ]
}

# The Windows part: packages (after the Clang ones, apt takes one at a time), a Wine prefix
# ready before the tests need it.
windows_prepare() {
    install_packages "${windows_packages[@]}" && WINEDEBUG=-all wine wineboot --init
}

ci_test() {
    logs="$(mktemp -d)"
    export WINEPREFIX="${WINEPREFIX:-$logs/wine}"
    step "packages" install_packages "${packages[@]}" "${clang_packages[@]}"
    # While GCC builds: the Windows packages and the Wine prefix.
    start_step "windows-packages" windows_prepare
    step "gcc-release-build" configure_build build-release -DCMAKE_BUILD_TYPE=Release
    step "gcc-release-tests" run_tests build-release
    step "package-check" check_package build-release
    step "clang-asan-ubsan-build" configure_build build-asan -DCMAKE_CXX_COMPILER=clang++ \
        -DCMAKE_BUILD_TYPE=Debug -DTABSEND_SANITIZE=ON
    step "clang-asan-ubsan-tests" run_sanitized_tests build-asan
    step "fuzz-build" build_fuzz build-fuzz
    # The fuzzers take one core; the Windows build shares the other.
    start_step "fuzz-runs-30s" run_fuzz build-fuzz 30
    finish_step "windows-packages"
    if [ "${step_results[-1]}" -eq 0 ]; then
        step "windows-build" build_windows build-win
        step "windows-tests-wine" run_windows_tests build-win
    fi
    finish_step "fuzz-runs-30s"
    # Further steps go here, before the summary.
    summary
}

case "${1:-test}" in
    build)
        install_packages "${packages[@]}"
        configure_build build
        ;;
    test)
        ci_test
        ;;
    fuzz)
        install_packages "${packages[@]}" "${clang_packages[@]}"
        build_fuzz build-fuzz
        run_fuzz build-fuzz "${2:-30}"
        ;;
    demo)
        install_packages "${packages[@]}"
        configure_build build
        shift
        exec "$here/scripts/demo.sh" "$here/build" "$@"
        ;;
    package)
        install_packages "${packages[@]}"
        configure_build build
        check_package build
        ls -1 "$here"/build/packages/*.deb "$here"/build/packages/*.tar.gz
        ;;
    run)
        install_packages "${packages[@]}"
        configure_build build
        if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
            echo "run: no display (try: xvfb-run -a scripts/dev.sh run)" >&2
            exit 2
        fi
        stage="$here/build/stage"
        rm -rf "$stage"
        cmake --install build --prefix "$stage" >/dev/null
        # Startup looks for the builds in its working folder: start it in the program folder.
        appdir="$(sed -n 's/^TABSEND_INSTALL_APPDIR:[A-Z]*=//p' build/CMakeCache.txt)"
        cd "$stage/${appdir:-lib/dex-language-tool}"
        exec ./Startup
        ;;
    *)
        echo "usage: $0 test | fuzz [SECONDS] | demo [PORT] | build | package | run" >&2
        exit 2
        ;;
esac
