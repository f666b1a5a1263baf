#!/usr/bin/env bash
# One entry point for a fresh Debian 12 machine.
#   scripts/dev.sh test            install, build, run every test (also under ASan/UBSan)
#   scripts/dev.sh demo [PORT]     install, build, compile the example languages and download
#                                  them to a unit on PORT, or to dexio-sim when no PORT is given
#   scripts/dev.sh build           install and build only
#   scripts/dev.sh package         install, build, make the Debian package and the .tar.gz
#                                  (build/packages/) and check them
#   scripts/dev.sh run             install, build, install into build/stage and start Startup
#                                  there (needs a display)
set -euo pipefail

here="$(cd "$(dirname "$0")/.." && pwd)"
cd "$here"
jobs="$(nproc 2>/dev/null || echo 2)"

packages=(build-essential cmake ninja-build pkg-config qt6-base-dev qt6-serialport-dev
          libgtest-dev libgmock-dev fonts-dejavu-core xvfb xauth dpkg-dev file)

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

check_package() {  # dir: make the .deb and .tar.gz from the built tree and check them
    echo "== Package check"
    tests/install/check_package.sh "$1"
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
        check_package build
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
    package)
        install_packages
        configure_build build
        check_package build
        ls -1 "$here"/build/packages/*.deb "$here"/build/packages/*.tar.gz
        ;;
    run)
        install_packages
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
        echo "usage: $0 test | demo [PORT] | build | package | run" >&2
        exit 2
        ;;
esac
