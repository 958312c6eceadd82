#!/usr/bin/env bash
# Checks a built Morvane.exe: a GUI program of the expected machine, at most
# 300 KB, importing only system DLLs, carrying the Common Controls 6 manifest
# and the 128 x 128 icon group DEFAULT_ICON.
set -euo pipefail
exe=${1:?usage: check-exe.sh Morvane.exe}
fail() { echo "check-exe: $*" >&2; exit 1; }
[ -f "$exe" ] || fail "$exe not found"

header=$(x86_64-w64-mingw32-objdump -f "$exe")
case "$header" in
    *pei-i386*) machine=x86 ;;
    *pei-x86-64*) machine=amd64 ;;
    *) fail "unknown machine" ;;
esac
size=$(stat -c %s "$exe")
echo "size: $size bytes ($machine)"
[ "$machine" != x86 ] || [ "$size" -le 307200 ] || fail "the 32-bit exe exceeds 300 KB"

dump=$(x86_64-w64-mingw32-objdump -p "$exe")
grep -q 'Subsystem.*0*2.*(Windows GUI)' <<<"$dump" || fail "not a GUI subsystem program"
dlls=$(grep 'DLL Name:' <<<"$dump" | awk '{print $3}' | tr 'A-Z' 'a-z' | sort -u)
echo "imports:" $dlls
system='^(kernel32|user32|gdi32|msvcrt|advapi32|shell32|comctl32|ntdll|ucrtbase|api-ms-win-.*)\.dll$'
while read -r dll; do
    [[ "$dll" =~ $system ]] || fail "imports a non-system DLL: $dll"
done <<<"$dlls"

manifest=$(wrestool -x --raw --type=24 "$exe")
grep -q 'name="Microsoft.Windows.Common-Controls"' <<<"$manifest" || fail "manifest lacks Common Controls"
grep -q 'version="6.0.0.0"' <<<"$manifest" || fail "manifest lacks version 6.0.0.0"
grep -q "processorArchitecture=\"$machine\"" <<<"$manifest" || fail "manifest names another architecture"
grep -q 'publicKeyToken="6595b64144ccf1df"' <<<"$manifest" || fail "manifest lacks the public key token"

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
wrestool -x --type=14 --name=DEFAULT_ICON "$exe" >"$tmp/icon.ico" || fail "no icon group DEFAULT_ICON"
icons=$(icotool -l "$tmp/icon.ico")
echo "icon: $icons"
[ "$(wc -l <<<"$icons")" = 1 ] || fail "the icon group must hold a single image"
grep -q -- '--width=128 --height=128 --bit-depth=32' <<<"$icons" || fail "the icon is not 128 x 128 at 32 bits"
echo "check-exe: ok"
