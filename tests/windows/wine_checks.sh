#!/usr/bin/env bash
# The Windows program under Wine against the Linux sandbox on loopback: the console-mode send (the same
# log as the Linux program's), a send under Wine's heap checking, the console launcher's exit status
# through cmd.exe, a non-ANSI argument and UTF-8 output, the version resource and manifest, HTTPS with and
# without --ca-file, and the installer (silent install, a send with the installed program, silent
# uninstall, nothing left).
#   tests/windows/wine_checks.sh NATIVE_BUILD WINDOWS_BUILD
# Needs WINEPREFIX set and its wineserver running (see .ci/run).
set -euo pipefail
native=$(realpath "${1:?usage: wine_checks.sh NATIVE_BUILD WINDOWS_BUILD}")
win=$(realpath "${2:?usage: wine_checks.sh NATIVE_BUILD WINDOWS_BUILD}")
: "${WINEPREFIX:?WINEPREFIX must be set}"
work="$win/wine-checks"
rm -rf "$work" && mkdir -p "$work"
program="$win/murenta-tervalis-helper.exe"
installer=$(echo "$win"/murenta-tervalis-helper-*-setup.exe)

pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done' EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }
pass() { echo "ok: $*"; }
# Wine sees the building machine's root as drive Z:.
winpath() { local p=${1//\//\\}; echo "Z:$p"; }

# Starts a sandbox named $1 with the remaining options; its address lines land in $work/$1.out.
start_sandbox() {
    local name=$1
    shift
    "$native/sandbox/murenta-sandbox" --local-port 0 --server-port 0 --quiet "$@" >"$work/$name.out" 2>"$work/$name.err" &
    pids+=($!)
    for _ in $(seq 1 100); do
        grep -q '^user ' "$work/$name.out" 2>/dev/null && return 0
        kill -0 "${pids[-1]}" 2>/dev/null || break
        sleep 0.1
    done
    cat "$work/$name.err" >&2
    fail "sandbox $name did not start"
}
field() { awk -v key="$2" '$1 == key { print $2 }' "$work/$1.out"; }
# The options of one console-mode send to sandbox $1.
send_options() {
    echo --cli --server "$(field "$1" regional-server)" --local "$(field "$1" local-service)" \
        --token "$(field "$1" token)" --npsn "$(field "$1" npsn)" --user "$(field "$1" user)"
}
# Runs a command, keeping its exit status in $status and its output in $work/$1.{out,err}.
run() {
    local name=$1
    shift
    status=0
    "$@" </dev/null >"$work/$name.stdout" 2>"$work/$name.stderr" || status=$?
}

echo "-- console-mode send: the Windows program gives the Linux program's log"
start_sandbox demo
mkdir -p "$work/linux-data" "$work/windows-data"
run linux "$native/app/murenta-tervalis-helper" $(send_options demo) --data-dir "$work/linux-data"
[ "$status" -eq 0 ] || fail "the Linux program's send ended with $status"
run windows wine "$program" $(send_options demo) --data-dir "$(winpath "$work/windows-data")"
[ "$status" -eq 0 ] || { cat "$work/windows.stderr" >&2; fail "the Windows program's send ended with $status"; }
# The Windows C library ends lines with CR LF on a pipe.
tr -d '\r' <"$work/windows.stdout" | diff -u "$work/linux.stdout" - || fail "the Windows program's log differs"
grep -q 'Seluruh Proses Selesai' "$work/windows.stdout" || fail "no complete send"
cmp "$work/linux-data/data.json" "$work/windows-data/data.json" || fail "the credentials files differ"
pass "send complete, exit 0, $(wc -l <"$work/linux.stdout") log lines as on Linux, same data.json"

echo "-- a send under Wine's heap checking: no block freed twice or after its end"
# Wine then fills freed memory and says on stderr when a pointer given back is no block it handed out, as
# when a destructor runs on memory already released (MinGW-w64 does that to the thread_local objects of a
# thread that ends: each table is read on one).
run heap env WINEDEBUG=warn+heap wine "$program" $(send_options demo) --data-dir "$(winpath "$work/windows-data")"
[ "$status" -eq 0 ] || { cat "$work/heap.stderr" >&2; fail "the send under heap checking ended with $status"; }
! grep 'warn:heap' "$work/heap.stderr" || fail "Wine's heap checking found blocks given back wrongly"
pass "send of $(grep -c 'Kirim Data Sukses' "$work/heap.stdout") tables under heap checking, nothing given back wrongly"

echo "-- the console launcher through cmd.exe: output there and the exit status to the caller"
# Nothing listens on port 9 of loopback: the startup check fails, exit status 2.
run launcher env WINEPATH="$(winpath "$win")" wine cmd /c murenta-tervalis-helper --cli --server http://127.0.0.1:9 \
    --data-dir "$(winpath "$work/windows-data")"
[ "$status" -eq 2 ] || fail "cmd /c murenta-tervalis-helper --cli gave $status, not 2"
grep -q '^Status: ' "$work/launcher.stderr" || fail "the launcher's caller saw no status lines"
pass "cmd /c murenta-tervalis-helper --cli: exit status 2, status lines on the caller's output"

echo "-- non-ANSI arguments arrive intact; the text comes out as UTF-8"
unusual="$work/Sekolah Café’ Ñusantara"
mkdir -p "$unusual"
run unusual wine "$program" $(send_options demo) --data-dir "$(winpath "$unusual")"
[ "$status" -eq 0 ] || fail "the send with a non-ANSI data folder ended with $status"
[ -s "$unusual/data.json" ] || fail "no data.json in the folder named with é, ’ and Ñ"
run usage wine "$program" --cli --npsn-é’
[ "$status" -eq 1 ] || fail "an unknown option gave $status, not 1"
grep -q -- '--npsn-é’' "$work/usage.stderr" || fail "the unknown option was not echoed as UTF-8"
pass "data folder 'Sekolah Café’ Ñusantara' used; '--npsn-é’' echoed in UTF-8"

echo "-- version resource and manifest"
grep -q -a 'PerMonitorV2' "$program" && grep -q -a '<activeCodePage[^>]*>UTF-8<' "$program" &&
    grep -q -a 'Microsoft.Windows.Common-Controls' "$program" || fail "the manifest is missing"
# The fixed version block (after its signature 0xFEEF04BD) and the version texts, from the project version.
python3 - "$program" "$(dirname "$0")/../../CMakeLists.txt" <<'PY' || fail "the version resource does not match the project version"
import re, struct, sys
exe = open(sys.argv[1], 'rb').read()
major, minor, patch = map(int, re.search(r'project\(\S+ VERSION (\d+)\.(\d+)\.(\d+)', open(sys.argv[2]).read()).groups())
at = exe.index(struct.pack('<I', 0xFEEF04BD))
file_ms, file_ls, product_ms, product_ls = struct.unpack_from('<4I', exe, at + 8)
assert (file_ms, file_ls) == (product_ms, product_ls) == ((major << 16) | minor, patch << 16), 'numbers'
text = f'{major}.{minor:02d}'
for key in ('FileVersion', 'ProductVersion'):
    assert re.search((key + '\0').encode('utf-16-le') + b'(\0\0)*' + (text + '\0').encode('utf-16-le'), exe), key
print(f'version {major}.{minor}.{patch}.0, texts "{text}"')
PY
pass "manifest (DPI, UTF-8 code page, common controls 6), version resource from the project version"

echo "-- HTTPS through the Windows system library"
openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -keyout "$work/ca.key" \
    -out "$work/ca.pem" -days 2 -subj '/CN=Wine Check CA' -addext basicConstraints=critical,CA:TRUE \
    -addext keyUsage=critical,keyCertSign,cRLSign 2>/dev/null
openssl req -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -keyout "$work/server.key" \
    -out "$work/server.csr" -subj '/CN=127.0.0.1' 2>/dev/null
printf 'subjectAltName=IP:127.0.0.1,DNS:localhost\nextendedKeyUsage=serverAuth\n' >"$work/server.ext"
openssl x509 -req -in "$work/server.csr" -CA "$work/ca.pem" -CAkey "$work/ca.key" -CAcreateserial -days 2 \
    -extfile "$work/server.ext" -out "$work/server.pem" 2>/dev/null
start_sandbox tls --tls-cert "$work/server.pem" --tls-key "$work/server.key"
run untrusted wine "$program" $(send_options tls) --data-dir "$(winpath "$work/windows-data")"
[ "$status" -eq 2 ] || fail "an untrusted certificate gave $status, not 2"
pass "untrusted certificate refused (exit 2)"
run trusted wine "$program" $(send_options tls) --data-dir "$(winpath "$work/windows-data")" \
    --ca-file "$(winpath "$work/ca.pem")"
if [ "$status" -eq 0 ]; then
    pass "--ca-file: certificate accepted, send complete"
else
    # Wine's Schannel (on GnuTLS) takes no CA added at run time; Windows does.
    echo "known Wine limit: --ca-file gave exit $status under Wine: $(grep -m1 -i 'tls\|ssl' "$work/trusted.stderr")"
fi

echo "-- installer: silent install, a send with the installed program, silent uninstall"
run install wine "$installer" /S
[ "$status" -eq 0 ] || fail "silent install ended with $status"
drive_c="$WINEPREFIX/drive_c"
installed="$drive_c/Program Files/Murenta Tervalis Helper"
shortcut="$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Murenta Tervalis Helper.lnk"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\MurentaTervalisHelper'
for f in murenta-tervalis-helper.exe murenta-tervalis-helper.com uninstall.exe; do
    [ -f "$installed/$f" ] || fail "not installed: $f"
done
[ -f "$shortcut" ] || fail "no Start-menu shortcut"
wine reg query "$key" /v UninstallString </dev/null >"$work/reg.out" 2>&1 || fail "no entry in the programs list"
user_data="$drive_c/users/${USER:-$(id -un)}/AppData/Roaming/Murenta Tervalis Helper Check"
mkdir -p "$user_data"
run installed_send env WINEPATH='C:\Program Files\Murenta Tervalis Helper' wine cmd /c murenta-tervalis-helper \
    $(send_options demo) --data-dir "$(winpath "$user_data")"
[ "$status" -eq 0 ] || fail "the installed program's send ended with $status"
grep -q 'Seluruh Proses Selesai' "$work/installed_send.stdout" || fail "the installed program made no complete send"
run uninstall wine "$installed/uninstall.exe" /S
# The uninstaller copies itself to a temporary folder (~nsu*.tmp), starts the copy and ends at once: wait
# for the copy.
for copy in $(pgrep -f '~nsu' || true); do
    tail --pid="$copy" -f /dev/null
done
[ ! -e "$installed" ] || fail "left behind: $(ls -A "$installed")"
[ ! -e "$shortcut" ] || fail "the Start-menu shortcut is left"
wine reg query "$key" </dev/null >/dev/null 2>&1 && fail "the programs-list entry is left"
[ -s "$user_data/data.json" ] || fail "the uninstaller removed the user's credentials"
pass "installed, sent (exit 0), uninstalled: program folder, shortcut and programs-list entry gone, credentials kept"
echo "-- all Windows checks passed"
