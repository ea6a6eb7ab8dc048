#!/bin/sh
# The installer as a user meets it, in a fresh Wine prefix. Each scenario is a few lines below:
# - a silent install: the files, the Start-menu entry, the Startup-folder shortcut, the uninstaller's
#   registration and all 25 settings with their defaults; Torvane is not started unasked;
# - Torvane starts with Windows: the session ends, a new one begins as at logon (wineboot runs the
#   Startup folder), and Torvane runs from its folder with its driver and its tray icon, and has
#   stored the true seal;
# - a user's first run, the walk of scripts/run.sh (tests/e2e/walk.cpp), and its summary;
# - installing again keeps changed settings, and a covered value created again resets the seal;
# - a silent install with /START starts Torvane;
# - an upgrade over a running Torvane with changed settings: it is ended and started again, one
#   Torvane runs, of the new files, with the changed settings and their seal;
# - a Torvane that does not end, or a file of it held: the installer fails and changes nothing;
# - removal while Torvane runs: nothing of the program is left but a report file and moved files
#   that hold something, and no Torvane runs;
# - the interactive installer: its last page offers "Start Torvane now", ticked, and Finish starts it.
# The build's Wine runs it all (wine-exec: 64-bit, or 32-bit Wine in Windows 98 mode for the i686
# build). Everything after the silent install needs a display (run CTest under xvfb-run) and python3: without
# them the script ends with 77, which CTest reports as skipped.
#
# Usage: test_install.sh <TorvaneSetup.exe> <work folder (emptied)> <wine-exec> <walk.exe> <setup_robot.exe>
# The installer, wine-exec and the robots are one build's; wine-exec runs everything in this suite's
# own prefix (TORVANE_WINEPREFIX), with that build's Wine.
set -u

SETUP=$1
WORK=$2
WINE_EXEC=$3
WALK=$4
ROBOT=$5
WINE=$WINE_EXEC     # the build's Wine: wine64, or 32-bit Wine in Windows 98 mode for the i686 build
WINESERVER=${TORVANE_WINESERVER:-/usr/lib/wine/wineserver}
KEY='HKLM\SOFTWARE\Brannholt\Torvane'
UNINSTALL_KEY='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Torvane'
EXTENSIONS='COM,EXE,DLL,SYS,DRV,OVL,BIN,VXD,386,SCR,CPL,OCX,DOC,DOT,XLS,XLT'

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok:   $*"; }
check() {    # description command...: passes when the command succeeds
    what=$1; shift
    if "$@"; then pass "$what"; else fail "$what"; fi
}

rm -rf "$WORK"
mkdir -p "$WORK"
export WINEPREFIX="$WORK/prefix"
export TORVANE_WINEPREFIX="$WINEPREFIX"
# Whatever a failed scenario left running in this prefix must not outlive the suite.
trap '"$WINESERVER" -k 2>/dev/null' EXIT
# The prefix as every program of the build gets it: the desktop with its taskbar, the user's own
# folders.
"$WINE_EXEC" wineboot -i >/dev/null 2>&1
"$WINESERVER" -w

install() {    # installer arguments; $code is its exit code
    "$WINE" "$SETUP" "$@"
    code=$?
    return $code
}

robot() { "$WINE" "$ROBOT" "$@"; }

# Asks the command every half second until it succeeds, for at most $1 seconds; 1 when it never did.
wait_until() {
    limit=$1; shift
    started=$(date +%s)
    until "$@"; do
        [ $(($(date +%s) - started)) -lt "$limit" ] || return 1
        sleep 0.5
    done
}

# The session ends once every program in it has ended, and the server with them.
end_session() {
    timeout 120 "$WINESERVER" -w || { fail "the session did not end: a program kept running"; "$WINESERVER" -k; }
}

# What reg prints for a query (its arguments). A query that fails or prints nothing is asked up to
# twice more: now and then one meets the prefix's Wine server as it shuts down after the programs
# before it ended (a missing key or value fails the same way every time).
reg_query() {
    for attempt in 1 2 3; do
        found=$("$WINE" reg query "$@" 2>/dev/null) && [ -n "$found" ] && break
    done
    printf '%s\n' "$found" | tr -d '\r'
}

registered() { "$WINE" reg query "$UNINSTALL_KEY" >/dev/null 2>&1; }
not_registered() { ! registered; }

# All values of the settings key as "name<TAB>type<TAB>data" lines.
settings() {
    reg_query "$KEY" |
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

# The true seal of the stored settings, as reg shows a number: the CRC-32 (reflected, preset all
# ones, no final inversion) of the 17 numbers as little-endian bytes followed by the six texts.
true_seal() {
    settings | python3 -c '
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
'
}

expect_true_seal() {   # what Torvane did: it stored a seal of its own, the true one of what is stored
    seal=$(setting Torvane | cut -f 2)
    [ "$seal" != 0x0 ] && [ "$seal" = "$(true_seal)" ] && pass "$1 the true seal $seal" ||
        fail "seal $seal, expected $(true_seal)"
}

# Gives the installed program and driver another link date, so that they differ from the
# installer's files and still run: an older version of them.
make_old() {
    for file in Torvane.exe Torvane.VXD; do
        python3 -c '
import struct, sys
data = bytearray(open(sys.argv[1], "rb").read())
stamp = struct.unpack_from("<I", data, 0x3C)[0] + 8
data[stamp:stamp + 4] = b"OLD!"
open(sys.argv[1], "wb").write(data)
' "$PROGRAM_DIR/$file"
    done
}

same_files() {    # folder: 0 when the installed program and driver are the ones kept there
    cmp -s "$PROGRAM_DIR/Torvane.exe" "$1/Torvane.exe" && cmp -s "$PROGRAM_DIR/Torvane.VXD" "$1/Torvane.VXD"
}

# Starts Torvane in its folder, as its Start-menu entry does.
start_by_hand() {
    (cd "$PROGRAM_DIR" && exec "$WINE" "$WIN_PROGRAM_DIR\\Torvane.exe") &
}

running() {    # what: leaves the process id in $pid
    pid=$(robot running "$WIN_PROGRAM_DIR" | tr -d '\r')
    if [ -n "$pid" ]; then pass "$1: Torvane runs from its folder (process $pid), driver loaded, tray icon shown"
    else fail "$1: Torvane does not run as installed"; fi
}

# ---- A fresh install ------------------------------------------------------------------------------

if install /S; then pass "silent install exits with 0"; else fail "silent install exits with $code"; fi
WIN_PROGRAM_DIR=$(reg_query "$UNINSTALL_KEY" /v InstallLocation | sed -n 's/^ *InstallLocation *REG_SZ *//p')
PROGRAM_DIR=$("$WINE" winepath -u "$WIN_PROGRAM_DIR" 2>/dev/null | tr -d '\r' | sed 's:/$::')
[ -n "$WIN_PROGRAM_DIR" ] && [ -d "$PROGRAM_DIR" ] && pass "installed into $WIN_PROGRAM_DIR" ||
    fail "no program folder registered ('$WIN_PROGRAM_DIR')"
for file in Torvane.exe Torvane.VXD Uninstall.exe; do
    if [ -f "$PROGRAM_DIR/$file" ]; then pass "$file installed"; else fail "$file missing in $PROGRAM_DIR"; fi
done
[ -d "$PROGRAM_DIR/Infected" ] && pass "folder Infected created" || fail "folder Infected missing"
start_menu() { find "$WINEPREFIX/drive_c" -ipath '*/Start Menu/Programs/Torvane/Torvane.lnk' | grep -q .; }
startup() { find "$WINEPREFIX/drive_c/users" -ipath '*/Start Menu/Programs/Startup/Torvane.lnk' | grep -q .; }
check "Start-menu entry Torvane\\Torvane.lnk" start_menu
check "the user's Startup folder holds Torvane.lnk" startup
if reg_query "$UNINSTALL_KEY" /v UninstallString | grep -q 'Uninstall.exe'; then
    pass "uninstaller registered"
else
    fail "uninstaller not registered"
fi
check "a silent install without /START starts no Torvane" robot none
mkdir -p "$WORK/new" && cp "$PROGRAM_DIR/Torvane.exe" "$PROGRAM_DIR/Torvane.VXD" "$WORK/new/"

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

missing=
[ -n "${DISPLAY:-}" ] || missing="a display (run under xvfb-run)"
command -v python3 >/dev/null 2>&1 || missing="${missing:+$missing and }python3"
if [ -n "$missing" ]; then
    echo "SKIPPED: everything after the silent install: it needs $missing"
    [ $failures -eq 0 ] && exit 77
    echo "$failures check(s) failed"
    exit 1
fi

# ---- Torvane starts with Windows ------------------------------------------------------------------

end_session
"$WINE" wineboot >/dev/null 2>&1    # a new session, as at logon: the Startup folder runs
running "a new session"
expect_true_seal "it stored"
check "Exit ends Torvane with exit code 0" robot exit
end_session

# ---- A user's first run: the walk through the main job, as scripts/run.sh takes it ----------------

TORVANE_SHOTS="$WORK/shots" TORVANE_WINEPREFIX="$WINEPREFIX" "$WINE_EXEC" "$WALK" "$WIN_PROGRAM_DIR" \
    > "$WORK/walk.log" 2>&1
code=$?
end_session
summary=$(tr -d '\r' < "$WORK/walk.log" | sed -n 's/^summary: //p')
expected='^[2-9] files scanned, 1 detection \(av-test\.com\), action "Deny access": av-test\.com stays in Downloads, and no program can open it; Torvane ended with exit code 0$'
if [ $code -eq 0 ] && printf '%s\n' "$summary" | grep -Eq "$expected"; then
    pass "first-run walk: $summary"
else
    fail "first-run walk ended with $code"
    tr -d '\r' < "$WORK/walk.log"
fi

# ---- Installing again keeps the user's settings ---------------------------------------------------

set_setting Heuristics REG_DWORD 0
set_setting Exclusions REG_SZ '[+C:\TEMP]'
set_setting Language REG_DWORD 1
set_setting Torvane REG_DWORD 305419896        # 0x12345678: a sealed installation
if install /S; then pass "install over an installation exits with 0"; else fail "second install exits with $code"; fi
expect_setting Heuristics REG_DWORD 0x0
expect_setting Exclusions REG_SZ '[+C:\TEMP]'
expect_setting Language REG_DWORD 0x1
expect_setting Torvane REG_DWORD 0x12345678

# A covered value that went missing is created again, and the seal goes back to 0 so that the
# completed settings can load.
"$WINE" reg delete "$KEY" /v UserExtensions /f >/dev/null 2>&1
if install /S; then pass "install over incomplete settings exits with 0"; else fail "third install exits with $code"; fi
expect_setting UserExtensions REG_SZ ""
expect_setting Heuristics REG_DWORD 0x0
expect_setting Torvane REG_DWORD 0x0

# ---- Protection begins at once: a silent install asked to start Torvane ----------------------------

if install /S /START; then pass "silent install with /START exits with 0"; else fail "install /S /START exits with $code"; fi
running "after a silent install with /START"
expect_true_seal "it loaded the settings and stored"

# ---- An upgrade over a running Torvane with changed settings --------------------------------------

check "Exit ends Torvane" robot exit
make_old
start_by_hand
running "the older version"
old_pid=$pid
set_setting Action REG_DWORD 3                  # changed and saved as the property sheet does
set_setting Exclusions REG_SZ '[+C:\OLD][D:\DATA]'
sealed=$(true_seal)
set_setting Torvane REG_DWORD $((sealed))
if install /S; then pass "an upgrade over a running Torvane exits with 0"; else fail "upgrade exits with $code"; fi
running "after the upgrade"
[ -n "$pid" ] && [ "$pid" != "$old_pid" ] && pass "the Torvane running is a new process" ||
    fail "process $old_pid, not a new one, runs after the upgrade"
check "the program and the driver are the new files" same_files "$WORK/new"
expect_setting Action REG_DWORD 0x3
expect_setting Exclusions REG_SZ '[+C:\OLD][D:\DATA]'
expect_setting Torvane REG_DWORD "$sealed"

# ---- A Torvane that does not end, or holds its files: the installer stops and changes nothing -----

check "Exit ends Torvane" robot exit
make_old
mkdir -p "$WORK/old" && cp "$PROGRAM_DIR/Torvane.exe" "$PROGRAM_DIR/Torvane.VXD" "$WORK/old/"
for holder in window "$WIN_PROGRAM_DIR\\Torvane.VXD"; do
    "$WINE" "$ROBOT" hold "$holder" > "$WORK/hold.log" 2>&1 &
    held=$!
    wait_until 60 grep -q ready "$WORK/hold.log" || fail "the stand-in ($holder) did not start"
    if install /S; then fail "install with $holder held exits with 0"; else pass "install with $holder held fails ($code)"; fi
    check "with $holder held the installed files stay as they were" same_files "$WORK/old"
    kill $held
    wait $held 2>/dev/null
done
check "no Torvane runs after a failed install" robot none

# ---- Removal while Torvane runs --------------------------------------------------------------------

# A report file and a moved file stay, each holding something; nothing else of the program does.
if install /S /START; then pass "install with /START over the older files exits with 0"; else fail "install exits with $code"; fi
running "before the removal"
echo "report line" > "$PROGRAM_DIR/Torvane.REP"
echo "moved" > "$PROGRAM_DIR/Infected/moved.com"
"$WINE" "$PROGRAM_DIR/Uninstall.exe" /S
# The uninstaller works from a copy of itself that it starts and leaves running; its last step
# deletes its registration.
check "the uninstaller ends" wait_until 120 not_registered
check "no Torvane runs after the removal" robot none
left=$(cd "$PROGRAM_DIR" 2>/dev/null && find . -mindepth 1 | sort | tr '\n' ' ')
[ "$left" = "./Infected ./Infected/moved.com ./Torvane.REP " ] && pass "left: the report file and the moved file" ||
    fail "left in the program folder: '$left'"
check "the Start-menu entry is gone" eval '! start_menu'
check "the Startup shortcut is gone" eval '! startup'
[ -z "$(settings)" ] && pass "the settings are gone" || fail "settings left after uninstall"
rm -rf "$PROGRAM_DIR"

# ---- The interactive installer starts Torvane from its last page; removal leaves nothing -----------

check "the last page offers \"Start Torvane now\" ticked, and Finish ends Setup" \
    robot install "$("$WINE" winepath -w "$SETUP" 2>/dev/null | tr -d '\r')"
running "after Finish"
"$WINE" "$PROGRAM_DIR/Uninstall.exe" /S
check "the uninstaller ends" wait_until 120 not_registered
check "no Torvane runs after the removal" robot none
[ ! -e "$PROGRAM_DIR" ] && pass "the program folder is gone" || fail "left: $(find "$PROGRAM_DIR" | tr '\n' ' ')"
[ -z "$(settings)" ] && pass "the settings are gone" || fail "settings left after uninstall"
end_session

if [ $failures -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "all installer checks passed"
