#!/bin/sh
# Installs TorvaneSetup.exe silently into a fresh prefix of the build's Wine (wine-exec: 64-bit, or
# 32-bit in Windows 98 mode) and checks what it left: the files, the Start-menu entry, the
# uninstaller's registration and all 25 settings with their defaults; walks through a user's first run as scripts/run.sh does (tests/e2e/walk.cpp) and checks its
# summary; installs again over changed settings and checks they survive; then starts Torvane from
# its folder and checks that it passes the seal and stores the true one. The walk and the start
# need a display (run CTest under xvfb-run); without one those parts are skipped.
#
# Usage: test_install.sh <TorvaneSetup.exe> <work folder (emptied)> <wine-exec> <walk.exe>
set -u

SETUP=$1
WORK=$2
WINE_EXEC=$3
WALK=$4
WINE=$WINE_EXEC     # the build's Wine: wine64, or 32-bit Wine in Windows 98 mode for the i686 build
WINESERVER=/usr/lib/wine/wineserver
KEY='HKLM\SOFTWARE\Brannholt\Torvane'
UNINSTALL_KEY='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Torvane'
EXTENSIONS='COM,EXE,DLL,SYS,DRV,OVL,BIN,VXD,386,SCR,CPL,OCX,DOC,DOT,XLS,XLT'

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok:   $*"; }

rm -rf "$WORK"
mkdir -p "$WORK"
export WINEPREFIX="$WORK/prefix"
export TORVANE_WINEPREFIX="$WINEPREFIX"
# The prefix as every program of the build gets it: the desktop with its taskbar, the user's own
# folders.
"$WINE_EXEC" wineboot -i >/dev/null 2>&1
"$WINESERVER" -w

PROGRAM_DIR="$WINEPREFIX/drive_c/Program Files/Torvane"
WIN_PROGRAM_DIR='C:\Program Files\Torvane'

install() {
    "$WINE" "$SETUP" /S
    code=$?
    "$WINESERVER" -w
    return $code
}

# All values of the settings key as "name<TAB>type<TAB>data" lines.
# A query that prints nothing is asked once more: now and then one meets the prefix's Wine server
# as it shuts down (a missing key prints nothing both times).
settings() {
    found=$("$WINE" reg query "$KEY" 2>/dev/null)
    [ -n "$found" ] || found=$("$WINE" reg query "$KEY" 2>/dev/null)
    printf '%s\n' "$found" | tr -d '\r' |
        sed -n 's/^    \([^ ]*\)    \(REG_[A-Z_]*\)    \{0,1\}\(.*\)$/\1	\2	\3/p'
}

# The value of one setting as "type<TAB>data", or nothing when it is missing.
setting() {
    settings | awk -F '\t' -v name="$1" 'tolower($1) == tolower(name) { print $2 "\t" $3 }'
}

expect_setting() {    # name type data
    got=$(setting "$1")
    want=$(printf '%s\t%s' "$2" "$3")
    if [ "$got" = "$want" ]; then pass "$1 = $3"; else fail "$1: got '$got', expected '$want'"; fi
}

set_setting() {       # name type data
    "$WINE" reg add "$KEY" /v "$1" /t "$2" /d "$3" /f >/dev/null 2>&1 || fail "could not set $1"
}

# ---- A fresh install ------------------------------------------------------------------------------

if install; then pass "silent install exits with 0"; else fail "silent install exits with $code"; fi
for file in Torvane.exe Torvane.VXD Uninstall.exe; do
    if [ -f "$PROGRAM_DIR/$file" ]; then pass "$file installed"; else fail "$file missing in $PROGRAM_DIR"; fi
done
[ -d "$PROGRAM_DIR/Infected" ] && pass "folder Infected created" || fail "folder Infected missing"
if find "$WINEPREFIX/drive_c" -path '*Start Menu/Programs/Torvane/Torvane.lnk' | grep -q .; then
    pass "Start-menu entry"
else
    fail "no Start-menu entry Torvane\\Torvane.lnk"
fi
if "$WINE" reg query "$UNINSTALL_KEY" /v UninstallString 2>/dev/null | tr -d '\r' | grep -q 'Uninstall.exe'; then
    pass "uninstaller registered"
else
    fail "uninstaller not registered"
fi

count=$(settings | wc -l)
[ "$count" -eq 25 ] && pass "25 settings" || { fail "$count settings, expected 25"; settings; }
expect_setting Torvane REG_DWORD 0x0
expect_setting Language REG_DWORD 0x0
expect_setting Action REG_DWORD 0x1
expect_setting OnlyLog REG_DWORD 0x0
expect_setting MacroSpecial REG_DWORD 0x0
expect_setting StopMacros REG_DWORD 0x0
expect_setting Type REG_DWORD 0x1
expect_setting CompressedExe REG_DWORD 0x1
expect_setting Archives REG_DWORD 0x1
expect_setting FloppyBoot REG_DWORD 0x1
expect_setting Heuristics REG_DWORD 0x1
expect_setting ScanOn REG_DWORD 0x3
expect_setting OnShutdown REG_DWORD 0x1
expect_setting Disable REG_DWORD 0x1
expect_setting Icon REG_DWORD 0x1
expect_setting LogToFile REG_DWORD 0x0
expect_setting Append REG_DWORD 0x1
expect_setting Log REG_DWORD 0xff
expect_setting Ext REG_DWORD 0x0
expect_setting LogFileName REG_SZ "$WIN_PROGRAM_DIR\\Torvane.REP"
expect_setting MoveDir REG_SZ "$WIN_PROGRAM_DIR\\Infected"
expect_setting Exclusions REG_SZ ""
expect_setting Extensions REG_SZ "$EXTENSIONS"
expect_setting UserExtensions REG_SZ ""
expect_setting InUse REG_SZ "$EXTENSIONS"

# ---- A user's first run: the walk through the main job, as scripts/run.sh takes it ----------------

if [ -z "${DISPLAY:-}" ]; then
    echo "SKIP: no display for the first-run walk (run under xvfb-run)"
else
    TORVANE_SHOTS="$WORK/shots" "$WINE_EXEC" "$WALK" "$WIN_PROGRAM_DIR" \
        > "$WORK/walk.log" 2>&1
    code=$?
    "$WINESERVER" -w
    summary=$(tr -d '\r' < "$WORK/walk.log" | sed -n 's/^summary: //p')
    expected='^[2-9] files scanned, 1 detection \(av-test\.com\), action "Deny access": av-test\.com stays in Downloads, and no program can open it; Torvane ended with exit code 0$'
    if [ $code -eq 0 ] && printf '%s\n' "$summary" | grep -Eq "$expected"; then
        pass "first-run walk: $summary"
    else
        fail "first-run walk ended with $code"
        tr -d '\r' < "$WORK/walk.log"
    fi
fi

# ---- Installing again keeps the user's settings ---------------------------------------------------

set_setting Heuristics REG_DWORD 0
set_setting Exclusions REG_SZ '[+C:\TEMP]'
set_setting Language REG_DWORD 1
set_setting Torvane REG_DWORD 305419896        # 0x12345678: a sealed installation
if install; then pass "install over an installation exits with 0"; else fail "second install exits with $code"; fi
expect_setting Heuristics REG_DWORD 0x0
expect_setting Exclusions REG_SZ '[+C:\TEMP]'
expect_setting Language REG_DWORD 0x1
expect_setting Torvane REG_DWORD 0x12345678

# A covered value that went missing is created again, and the seal goes back to 0 so that the
# completed settings can load.
"$WINE" reg delete "$KEY" /v UserExtensions /f >/dev/null 2>&1
if install; then pass "install over incomplete settings exits with 0"; else fail "third install exits with $code"; fi
expect_setting UserExtensions REG_SZ ""
expect_setting Heuristics REG_DWORD 0x0
expect_setting Torvane REG_DWORD 0x0

# ---- Torvane starts from its folder, passes the seal and rewrites it -------------------------------

if [ -z "${DISPLAY:-}" ]; then
    echo "SKIP: no display for starting Torvane (run under xvfb-run)"
else
    (cd "$PROGRAM_DIR" && exec "$WINE" "$WIN_PROGRAM_DIR\\Torvane.exe") &
    torvane=$!
    seal=0x0
    waited=0
    while [ $waited -lt 60 ] && kill -0 $torvane 2>/dev/null; do
        seal=$(setting Torvane | cut -f 2)
        [ -n "$seal" ] && [ "$seal" != 0x0 ] && break
        sleep 1
        waited=$((waited + 1))
    done
    if [ -n "$seal" ] && [ "$seal" != 0x0 ]; then
        pass "Torvane started and stored the seal $seal"
        sleep 2
        kill -0 $torvane 2>/dev/null && pass "Torvane keeps running" || fail "Torvane ended after sealing"
    elif kill -0 $torvane 2>/dev/null; then
        fail "Torvane runs but the seal is still '$seal' after $waited s"
    else
        wait $torvane
        fail "Torvane ended with exit code $? without storing a seal"
    fi
    kill $torvane 2>/dev/null
    wait $torvane 2>/dev/null
    "$WINESERVER" -w

    # The stored seal is the CRC-32 (reflected, preset all ones, no final inversion) of the 17
    # numbers as little-endian bytes followed by the six texts.
    if command -v python3 >/dev/null 2>&1; then
        expected=$(settings | python3 -c '
import sys, zlib
values = {}
for line in sys.stdin:
    name, kind, data = (line.rstrip("\n").split("\t") + [""])[:3]
    values[name.lower()] = (kind, data)
numbers = ["Action", "OnlyLog", "MacroSpecial", "StopMacros", "Type", "CompressedExe", "Archives",
           "FloppyBoot", "Heuristics", "ScanOn", "OnShutdown", "Disable", "Icon", "LogToFile", "Append",
           "Log", "Ext"]
texts = ["LogFileName", "MoveDir", "Exclusions", "Extensions", "UserExtensions", "InUse"]
data = b"".join(int(values[n.lower()][1], 16).to_bytes(4, "little") for n in numbers)
data += b"".join(values[t.lower()][1].encode("cp1252") for t in texts)
print("0x%x" % (zlib.crc32(data) ^ 0xFFFFFFFF))
')
        seal=$(setting Torvane | cut -f 2)
        [ "$seal" = "$expected" ] && pass "the stored seal is the true one" || fail "seal $seal, expected $expected"
    fi
fi

# ---- Uninstall ------------------------------------------------------------------------------------

"$WINE" "$PROGRAM_DIR/Uninstall.exe" /S
"$WINESERVER" -w
sleep 2     # the uninstaller works from a copy of itself that it starts and leaves running
"$WINESERVER" -w
[ -f "$PROGRAM_DIR/Torvane.exe" ] && fail "Torvane.exe left after uninstall" || pass "uninstall removed the program"
[ -z "$(settings)" ] && pass "uninstall removed the settings" || fail "settings left after uninstall"

if [ $failures -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "all installer checks passed"
