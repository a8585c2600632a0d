# Shared by scripts/test, scripts/demo and the benchmarks: the build folder, its Wine prefix, a
# virtual display and one persistent wineserver. Source it, then call the functions.
VANTEL_ROOT=${VANTEL_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
VANTEL_BUILD=${VANTEL_BUILD:-$VANTEL_ROOT/build}
export WINEPREFIX="$VANTEL_BUILD/wineprefix"
export WINEARCH=win32
export WINEDEBUG=-all
# Wine runs winemenubuilder whenever a file association changes: it would write the tests' and the
# demo's associations into the Linux desktop, and it outlives the program, holding its output open
# (a test runner then waits for it).
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:+$WINEDLLOVERRIDES;}winemenubuilder.exe=d"

vantel_die() { echo "$(basename "$0"): $*" >&2; exit 1; }

# Creates the build's Wine prefix once (about 10 s).
vantel_ensure_prefix() {
  command -v wine >/dev/null || vantel_die "wine is not installed; run scripts/setup"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Creating the Wine prefix in $WINEPREFIX ..."
    mkdir -p "$WINEPREFIX"
    # No Mono or Gecko download prompts while the prefix is made (there is no network for them).
    WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY= wineboot -i >/dev/null 2>&1 \
      || vantel_die "wineboot could not create the prefix"
    wineserver -w
  fi
}

# A program that crashes must end at once, not wait in winedbg: without an AeDebug debugger Wine
# starts winedbg --auto, which never ends under a test runner; a debugger that cannot be started
# makes the crash end the process. Checked on every run, so older prefixes get it too.
vantel_no_crash_debugger() {
  local key='HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug'
  wine reg add "$key" /v Debugger /t REG_SZ /d vantel-no-debugger.exe /f >/dev/null 2>&1 || true
}

# Starts Xvfb on a free display and exports DISPLAY; vantel_stop ends it.
vantel_start_display() {
  command -v Xvfb >/dev/null || vantel_die "Xvfb is not installed; run scripts/setup"
  local n
  for n in $(seq 90 140); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    VANTEL_XVFB_PID=$!
    local i
    for i in $(seq 1 50); do
      [ -e "/tmp/.X11-unix/X$n" ] && { export DISPLAY=":$n"; return 0; }
      kill -0 "$VANTEL_XVFB_PID" 2>/dev/null || break
      sleep 0.1
    done
  done
  vantel_die "could not start Xvfb"
}

# One persistent wineserver for the run: each Wine start then takes about 0.1 s, not 0.5 s.
vantel_start_wineserver() {
  wineserver -p 2>/dev/null || true   # already running for this prefix: use that one
  wine cmd /c exit >/dev/null 2>&1 || true   # warm the prefix's services up once
  # The desktop process (explorer.exe /desktop) starts with the first program that touches the
  # window system and keeps that program's standard handles: started here, it holds none of a
  # test's output pipe open (which would keep CTest waiting for the test until its timeout).
  wine rundll32.exe user32.dll,GetDesktopWindow >/dev/null 2>&1 || true
  vantel_no_crash_debugger
}

vantel_stop() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "${VANTEL_XVFB_PID:-}" ]; then
    kill "$VANTEL_XVFB_PID" 2>/dev/null || true
    wait "$VANTEL_XVFB_PID" 2>/dev/null || true
    VANTEL_XVFB_PID=
  fi
}
