#!/usr/bin/env bash
# Builds the Debian package and the .tar.gz from an already built tree, unpacks the .deb into
# a throw-away root and checks what a user gets: the program folder, the start script, the
# desktop entry with its icon, and the declared Qt dependencies.
#   tests/install/check_package.sh BUILD_DIR
set -euo pipefail

build="$(cd "${1:?usage: check_package.sh BUILD_DIR}" && pwd)"
fail() { echo "package check: $*" >&2; exit 1; }

rm -rf "$build/packages"
log="$build/packages.log"
(cd "$build" && cpack -G "DEB;TGZ" >"$log" 2>&1) || { cat "$log" >&2; fail "cpack failed"; }
deb=$(ls "$build"/packages/*.deb 2>/dev/null | head -1)
tgz=$(ls "$build"/packages/*.tar.gz 2>/dev/null | head -1)
[ -n "$deb" ] || fail "no .deb made"
[ -n "$tgz" ] || fail "no .tar.gz made"

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg -x "$deb" "$root"

app="$root/usr/lib/dex-language-tool"
for f in Startup Normal/Tabsend Compatibility/Tabsend tabsend-cli dexio-sim; do
    [ -x "$app/$f" ] || fail "$f missing or not executable"
    file -b "$app/$f" | grep -q "ELF" || fail "$f is not a program"
    file -b "$app/$f" | grep -q "not stripped" && fail "$f carries debug symbols"
done
for f in LanTable.ini Normal/LanTable.ini Normal/harrow.ico Compatibility/LanTable.ini \
         Compatibility/harrow.ico examples/english.ini; do
    [ -f "$app/$f" ] || fail "$f missing"
done
grep -q "^LanTotalNum=0" "$app/LanTable.ini" || fail "the initial table is not a reset one"
cmp -s "$app/LanTable.ini" "$app/Normal/LanTable.ini" || fail "the tables differ"
[ -x "$root/usr/bin/dex-language-tool" ] || fail "start script missing"
grep -q 'dirname "$self")/../lib/dex-language-tool' "$root/usr/bin/dex-language-tool" ||
    fail "the start script does not find the program folder"

entry="$root/usr/share/applications/dex-language-tool.desktop"
[ -f "$entry" ] || fail "desktop entry missing"
value() { sed -n "s/^$1=//p" "$entry"; }
[ "$(value Type)" = Application ] || fail "desktop entry: Type"
[ "$(value Exec)" = dex-language-tool ] || fail "desktop entry: Exec"
[ "$(value Terminal)" = false ] || fail "desktop entry: Terminal"
[ -f "$root/usr/share/icons/hicolor/64x64/apps/$(value Icon).png" ] ||
    fail "desktop entry: the icon is not in the package"
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$entry" || fail "desktop entry does not validate"
fi

depends=$(dpkg-deb -f "$deb" Depends)
for lib in libqt6widgets6 libqt6gui6 libqt6core6 libqt6serialport6 fonts-dejavu-core; do
    echo "$depends" | grep -q "$lib" || fail "Depends lacks $lib: $depends"
done

# The .tar.gz holds the same files.
diff <(dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./usr/||; s|/$||' | grep -v '^\.\?$' | sort) \
     <(tar -tzf "$tgz" | sed 's|^[^/]*/||; s|/$||' | grep -v '^$' | sort) >/dev/null ||
    fail "the .deb and the .tar.gz hold different files"

echo "package check: $(basename "$deb") $(du -h "$deb" | cut -f1), $(basename "$tgz") $(du -h "$tgz" | cut -f1)"
