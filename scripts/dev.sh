#!/usr/bin/env bash
# One entry point for a fresh Debian 12 machine.
#   scripts/dev.sh test            install, build, run every test (also under ASan/UBSan)
#   scripts/dev.sh demo [PORT]     install, build, compile the example languages and download
#                                  them to a unit on PORT, or to dexio-sim when no PORT is given
#   scripts/dev.sh build           install and build only
set -euo pipefail

here="$(cd "$(dirname "$0")/.." && pwd)"
cd "$here"
jobs="$(nproc 2>/dev/null || echo 2)"

packages=(build-essential cmake ninja-build pkg-config qt6-base-dev qt6-serialport-dev
          libgtest-dev libgmock-dev fonts-dejavu-core xvfb xauth)

install_packages() {
    local missing=()
    for p in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    echo "Installing: ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

configure_build() {  # dir, extra cmake args...
    local dir="$1"; shift
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
    cmake --build "$dir" -j"$jobs"
}

run_tests() {  # dir
    export QT_QPA_PLATFORM=offscreen
    export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
    chmod 700 "$XDG_RUNTIME_DIR"
    (cd "$1" && ctest --output-on-failure -j"$jobs" --timeout 300)
}

case "${1:-test}" in
    build)
        install_packages
        configure_build build
        ;;
    test)
        install_packages
        echo "== Build and test"
        configure_build build
        run_tests build
        echo "== Build and test under AddressSanitizer and UndefinedBehaviorSanitizer"
        configure_build build-asan -DTABSEND_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
        ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 run_tests build-asan
        ;;
    demo)
        install_packages
        configure_build build
        shift
        exec "$here/scripts/demo.sh" "$here/build" "$@"
        ;;
    *)
        echo "usage: $0 test | demo [PORT] | build" >&2
        exit 2
        ;;
esac
