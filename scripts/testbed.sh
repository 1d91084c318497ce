#!/usr/bin/env bash
# Runs a command inside the project's Wine test bed: an Xvfb display of its own, the build
# tree's Wine prefix (created once and reused: win32 for an i686 tree, win64 for an x86-64 tree,
# whose WoW64 side runs the 32-bit programs too) and a persistent wineserver for it.
# Everything it starts is stopped again when the command ends, on failure or interrupt too. Its time
# limits only guard against a hang: they hold for 32-bit Wine under emulation on a busy machine.
#   usage: scripts/testbed.sh BUILD_DIR COMMAND [ARGS...]
set -uo pipefail

[ $# -ge 2 ] || { echo "usage: $0 BUILD_DIR COMMAND [ARGS...]" >&2; exit 2; }
BUILD=$(cd "$1" && pwd) || { echo "testbed: build folder $1 not found" >&2; exit 2; }
shift

export WINEPREFIX=$BUILD/wineprefix
# A 32-bit suite stays on a win32 prefix: there every program runs on the i386 loader alone, while a win64
# prefix adds 64-bit services that would also start under emulation.
width=$(cat "$BUILD/kestrel-width" 2>/dev/null || echo i686)
case $width in
    x86_64)
        export WINEARCH=win64
        # 64-bit programs start on the 64-bit loader directly; the 32-bit one would only hand them over.
        mkdir -p "$BUILD/wine-bin"
        printf '#!/bin/sh\nexec /usr/lib/wine/wine64 "$@"\n' > "$BUILD/wine-bin/wine"
        chmod +x "$BUILD/wine-bin/wine"
        export PATH=$BUILD/wine-bin:$PATH ;;
    *) export WINEARCH=win32 ;;
esac
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export KESTREL_BUILD=$BUILD

# One test bed per build tree at a time: a second one would share the prefix's wineserver and
# lose it when the first ends. Later callers wait their turn.
exec 9>"$BUILD/.testbed.lock"
if ! flock -n 9; then
    echo "testbed: another test bed runs on $BUILD; waiting for it" >&2
    flock -w 3600 9 || { echo "testbed: gave up waiting for the other test bed on $BUILD" >&2; exit 1; }
fi
# Only this script holds the lock: a program it starts (a persistent wineserver above all) must not
# keep it after a test bed that was killed outright.
run() { "$@" 9>&-; }

xvfb_pid=
server_started=0
cleanup() {
    local rc=$?
    trap - EXIT INT TERM
    if [ $server_started = 1 ]; then
        timeout 60 wineserver -k >/dev/null 2>&1
        timeout 60 wineserver -w >/dev/null 2>&1
    fi
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null
        wait "$xvfb_pid" 2>/dev/null
    fi
    exit $rc
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

fail() { echo "testbed: $1" >&2; echo "testbed: $2" >&2; exit 1; }

# Wine runs the 32-bit programs as i386 Linux processes: a kernel without IA-32 emulation refuses them.
/usr/lib/wine/wine --version >/dev/null 2>&1 \
    || fail "this machine cannot run 32-bit programs (its kernel refuses i386 executables), so Wine cannot start" \
        "run scripts/setup.sh as root: it registers an i386 emulator for such machines"

# A display of our own: the first number whose lock file and socket are free.
display=
for n in $(seq 91 140); do
    [ -e /tmp/.X$n-lock ] || [ -e /tmp/.X11-unix/X$n ] && continue
    Xvfb :$n -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 9>&- &
    xvfb_pid=$!
    for _ in $(seq 1 100); do
        [ -e /tmp/.X11-unix/X$n ] && break
        kill -0 $xvfb_pid 2>/dev/null || break
        sleep 0.1
    done
    if [ -e /tmp/.X11-unix/X$n ] && kill -0 $xvfb_pid 2>/dev/null; then
        display=:$n
        break
    fi
    kill $xvfb_pid 2>/dev/null; wait $xvfb_pid 2>/dev/null; xvfb_pid=
done
[ -n "$display" ] || fail "no X display could be started (Xvfb on :91 to :140)" "check that xvfb is installed (scripts/setup.sh) and retry"
export DISPLAY=$display

# The prefix: created once; a prefix without its ready mark is from a broken run and is made anew.
stamp=$WINEPREFIX/.kestrel-ready
if [ ! -f "$stamp" ]; then
    rm -rf "$WINEPREFIX"
    run timeout 120 wineserver -p >/dev/null 2>&1 || true
    server_started=1
    echo "testbed: creating the Wine prefix $WINEPREFIX" >&2
    run timeout 900 wine wineboot.exe -i >/dev/null 2>&1 || fail "wineboot -i failed or hung while creating $WINEPREFIX" "remove $WINEPREFIX and retry"
    # The prefix's system directory gets the fake system library the tests install; keep the base clean.
    timeout 60 wineserver -k >/dev/null 2>&1; timeout 60 wineserver -w >/dev/null 2>&1
    touch "$stamp"
fi
# The system library under its second name, "OpenGL32-orig.dll", as installations have it where the
# recorder takes the system library's own file name. Wine finds the Linux half by module name, so
# WINEDLLPATH names a folder per width with both halves under the new name.
# usage: system_gl SYSTEM_DIR WINE_ARCH_DIR (e.g. .../i386-linux-gnu/wine/i386)
system_gl() {
    local sysdir=$1 real=$2-windows/opengl32.dll unixhalf=$2-unix/opengl32.so origdir
    origdir=$BUILD/wine-orig/$(basename "$2")
    mkdir -p "$origdir"
    ln -sf "$real" "$origdir/opengl32-orig.dll"
    ln -sf "$unixhalf" "$origdir/opengl32-orig.so"
    WINEDLLPATH=${WINEDLLPATH:+$WINEDLLPATH:}$origdir
    # Wine matches file names without regard to case, so a test that put the file back under another
    # spelling must not get a second copy beside it; one set aside by an interrupted test comes back.
    local orig aside sysgl sysaside
    orig=$(find "$sysdir" -maxdepth 1 -iname 'opengl32-orig.dll' | head -n 1)
    aside=$(find "$sysdir" -maxdepth 1 -iname 'opengl32-orig.dll.away' | head -n 1)
    if [ -z "$orig" ] && [ -n "$aside" ]; then mv "$aside" "$sysdir/opengl32-orig.dll"; orig=$sysdir/opengl32-orig.dll; fi
    [ -n "$aside" ] && rm -f "$aside"
    # A test that swapped a stand-in library in and was interrupted leaves it behind: put the real one back.
    if [ -n "$orig" ] && ! cmp -s "$orig" "$real"; then rm -f "$orig"; orig=; fi
    [ -n "$orig" ] || cp "$real" "$sysdir/opengl32-orig.dll" \
        || fail "could not place opengl32-orig.dll in $sysdir" "remove $WINEPREFIX and retry"

    # A test that put the recorder in the place of the system's own library and was interrupted.
    sysgl=$(find "$sysdir" -maxdepth 1 -iname 'opengl32.dll' | head -n 1)
    sysaside=$(find "$sysdir" -maxdepth 1 -iname 'opengl32.dll.away' | head -n 1)
    if [ -n "$sysaside" ]; then [ -n "$sysgl" ] && rm -f "$sysgl"; mv "$sysaside" "$sysdir/opengl32.dll"; sysgl=$sysdir/opengl32.dll; fi
    if [ -z "$sysgl" ] || ! cmp -s "$sysgl" "$real"; then
        rm -f "$sysgl"; cp "$real" "$sysdir/opengl32.dll" \
            || fail "could not restore opengl32.dll in $sysdir" "remove $WINEPREFIX and retry"
    fi
}
WINEDLLPATH=
if [ "$WINEARCH" = win64 ]; then
    system_gl "$WINEPREFIX/drive_c/windows/system32" /usr/lib/x86_64-linux-gnu/wine/x86_64
    system_gl "$WINEPREFIX/drive_c/windows/syswow64" /usr/lib/i386-linux-gnu/wine/i386
else
    system_gl "$WINEPREFIX/drive_c/windows/system32" /usr/lib/i386-linux-gnu/wine/i386
fi
export WINEDLLPATH

# A second drive, Y:, for tests that need a path of their own choosing from the drive letter on.
mkdir -p "$BUILD/drive_y"
ln -sfn "$BUILD/drive_y" "$WINEPREFIX/dosdevices/y:"

# Without a Debugger value Wine starts winedbg, which waits; one that cannot start lets the program die.
if ! grep -qx 'no-crash-debugger-2' "$stamp" 2>/dev/null; then
    [ $server_started = 1 ] || { run timeout 120 wineserver -p >/dev/null 2>&1; server_started=1; }
    run timeout 300 wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /t REG_SZ \
        /d 'no-crash-debugger.exe' /f >/dev/null 2>&1 || fail "could not configure crash handling in $WINEPREFIX" "remove $WINEPREFIX and retry"
    timeout 60 wineserver -k >/dev/null 2>&1; timeout 60 wineserver -w >/dev/null 2>&1
    echo no-crash-debugger-2 >> "$stamp"
fi

# A fresh persistent server: after wineboot the first window of every program would stall otherwise.
run timeout 120 wineserver -p >/dev/null 2>&1 || fail "wineserver -p failed for $WINEPREFIX" "run 'WINEPREFIX=$WINEPREFIX wineserver -k' and retry"
server_started=1
run timeout 300 wine cmd /c exit 0 >/dev/null 2>&1 || fail "the Wine prefix $WINEPREFIX does not start programs" "remove $WINEPREFIX and retry"

run "$@"
