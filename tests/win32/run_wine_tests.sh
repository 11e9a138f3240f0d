#!/usr/bin/env bash
# The Windows build's tests: builds the x86_64 build (which runs here under
# Wine) and the i686 build (which players run; 32-bit programs cannot run on
# this machine, so it is compiled and its imports, exports and resources are
# checked with objdump), then, under Wine on a private Xvfb display:
#   - the Windows layer's test program (the real sheet against the dialog
#     model, registry, files, message boxes, resources);
#   - halcyra-report.exe against Wine's DirectDraw, Direct3D and DirectSound,
#     without a Glide library, with the test glide2x.dll, and with one that
#     lacks an export;
#   - the scenarios of tests/win32/scenarios on halcyra-setup-test.exe, with
#     their options.ini and message boxes checked, and again with halcyra-sim
#     on the machine halcyra-report.exe --profile captured (the report too);
#   - our profile engine side by side with Wine's GetPrivateProfileStringA and
#     GetPrivateProfileIntA on generated and hand-edited files;
#   - screenshots of both pages, written to build/screenshots/ (the tests
#     never change tracked files; tools/refresh-screenshots.sh copies them
#     into docs/screenshots/ when someone means to refresh the README's).
#
# Installs nothing: ./test installs g++-mingw-w64-x86-64, g++-mingw-w64-i686,
# wine64, xvfb and imagemagick. Every Wine call runs under `timeout`, with the
# 64-bit loader, a prefix of its own and WINEDEBUG=-all.
#
# Usage: tests/win32/run_wine_tests.sh [--no-build]
#   HALCYRA_WINE_ONLY=REGEX  runs only the parts whose name matches (layer,
#                            report, scenarios, screenshots, profiles)
#   HALCYRA_WINE_KEEP=1      keeps the Wine prefix and the run folders
#   HALCYRA_SCREENSHOT_DIR=DIR  where the screenshots go (build/screenshots)
set -uo pipefail
cd "$(dirname "$0")/../.."
ROOT=$PWD

BUILD=1
[ "${1:-}" = "--no-build" ] && BUILD=0

WINE64=${WINE64:-/usr/lib/wine/wine64}
WINESERVER=${WINESERVER:-/usr/lib/wine/wineserver64}
[ -x "$WINESERVER" ] || WINESERVER=$(command -v wineserver || echo /usr/lib/wine/wineserver)
JOBS=${HALCYRA_JOBS:-$(nproc)}
WIN64=$ROOT/build/win64
WIN32=$ROOT/build/win32
FAILED_LIST=$(mktemp /tmp/halcyra-wine-failures.XXXXXX)
trap 'rm -f "$FAILED_LIST"' EXIT

say() { printf '[wine] %s\n' "$*"; }
# Also from subshells: every failure is a line of $FAILED_LIST.
fail() {
  printf '[wine] FAILED: %s\n' "$*" >&2
  printf '%s\n' "$*" >>"$FAILED_LIST"
}

for tool in cmake ninja x86_64-w64-mingw32-objdump i686-w64-mingw32-objdump "$WINE64" Xvfb timeout awk; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "[wine] missing: $tool (./test installs g++-mingw-w64-x86-64 g++-mingw-w64-i686 wine64 xvfb)" >&2
    exit 1
  fi
done

# ---------------------------------------------------------------------------
# Build
if [ "$BUILD" = 1 ]; then
  launcher=()
  command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  for preset in win64 win32; do
    say "building $preset"
    cmake --preset "$preset" "${launcher[@]}" >/dev/null || exit 1
    cmake --build "build/$preset" -- -j"$JOBS" >/dev/null || { cmake --build "build/$preset" -- -j1; exit 1; }
  done
fi

# ---------------------------------------------------------------------------
# Static checks of both builds: only system DLLs imported (the runtimes are
# linked in), the i686 programs are 32-bit, the test Glide library exports
# the decorated names, and the resources are embedded.
SYSTEM_DLLS="ADVAPI32.dll COMCTL32.dll GDI32.dll KERNEL32.dll USER32.dll msvcrt.dll DDRAW.dll DSOUND.dll"

check_imports() {  # objdump exe
  local names
  names=$("$1" -p "$2" | awk '/DLL Name:/ {print $3}')
  for dll in $names; do
    case " ${SYSTEM_DLLS,,} " in
      *" ${dll,,} "*) ;;
      *) fail "$(basename "$2") imports $dll, which is not a Windows system DLL" ;;
    esac
  done
}

check_resources() {  # objdump exe
  # Type and name ids of the resource tree: "type:name" per leaf.
  local tree
  tree=$("$1" -p "$2" | awk '
    /^The .rsrc Resource Directory section/ {on = 1; next}
    function hex(text,   value, i) {
      text = tolower(text); sub(/^0x/, "", text); value = 0
      for (i = 1; i <= length(text); i++) value = value * 16 + index("0123456789abcdef", substr(text, i, 1)) - 1
      return value
    }
    on && /^ *[0-9a-f]+ +Entry: ID:/ {
      # The indent after the offset tells the level: type, name, language.
      match($0, /^ *[0-9a-f]+/); rest = substr($0, RLENGTH + 1); match(rest, /^ +/); depth = RLENGTH
      id = $4; sub(/,$/, "", id); id = hex(id)
      if (depth <= 3) type = id; else if (depth <= 5) print type ":" id
    }
    on && /^$/ {exit}')
  for want in 2:141 2:142 14:128 6:7 16:1 24:1; do
    grep -qx "$want" <<<"$tree" || fail "$(basename "$2") lacks resource $want (type:name)"
  done
  [ "$(grep -c '^3:' <<<"$tree")" -ge 3 ] || fail "$(basename "$2") lacks its icon images"
}

check_glide_exports() {  # objdump dll
  local exports
  exports=$("$1" -p "$2" | awk '/\[Ordinal\/Name Pointer\] Table/ {on = 1; next} on && /^\t\[/ {print $NF} on && /^$/ {exit}')
  for name in _grSstQueryHardware@4 _grSstQueryBoards@4 _grGlideInit@0 _grGlideShutdown@0 _grSstSelect@4; do
    grep -qx "$name" <<<"$exports" || fail "$2 does not export $name"
  done
}

say "checking imports, exports and resources"
for pair in "x86_64-w64-mingw32-objdump:$WIN64" "i686-w64-mingw32-objdump:$WIN32"; do
  objdump=${pair%%:*}
  dir=${pair#*:}
  for exe in halcyra-setup halcyra-setup-test halcyra-report; do
    file=$dir/win32/$exe.exe
    if [ ! -f "$file" ]; then fail "$file was not built"; continue; fi
    check_imports "$objdump" "$file"
    check_resources "$objdump" "$file"
  done
  check_glide_exports "$objdump" "$dir/test-glide/glide2x/glide2x.dll"
  check_imports "$objdump" "$dir/test-glide/glide2x/glide2x.dll"
done
header=$(i686-w64-mingw32-objdump -f "$WIN32/win32/halcyra-setup.exe")
grep -q 'file format pei-i386' <<<"$header" || fail "the i686 halcyra-setup.exe is not a 32-bit program"
for pair in "x86_64-w64-mingw32-objdump:$WIN64" "i686-w64-mingw32-objdump:$WIN32"; do
  header=$("${pair%%:*}" -p "${pair#*:}/win32/halcyra-setup.exe")
  grep -q 'Subsystem.*(Windows GUI)' <<<"$header" || fail "${pair#*:}: halcyra-setup.exe is not a GUI program"
  header=$("${pair%%:*}" -p "${pair#*:}/win32/halcyra-setup-test.exe")
  grep -q 'Subsystem.*(Windows CUI)' <<<"$header" || fail "${pair#*:}: halcyra-setup-test.exe is not a console program"
done

# ---------------------------------------------------------------------------
# The Wine session: a private display, prefix and home.
WINE_START=$(date +%s)
TMP=$(mktemp -d /tmp/halcyra-wine.XXXXXX)
LOGS=$WIN64/wine-test-logs
rm -rf "$LOGS" && mkdir -p "$LOGS"
export WINEPREFIX=$TMP/prefix WINEDEBUG=-all HOME=$TMP/home WINEARCH=win64
# No Mono or Gecko install prompts while the prefix is made.
export WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$HOME"
# Without a sound card ALSA lists no device, and Wine then none either.
printf 'pcm.!default { type null }\nctl.!default { type hw card 0 }\n' >"$HOME/.asoundrc"

XVFB_PID=
cleanup() {
  if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
    timeout 30 "$WINESERVER" -k >/dev/null 2>&1
    timeout 30 "$WINESERVER" -w >/dev/null 2>&1
  fi
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null && wait "$XVFB_PID" 2>/dev/null
  if [ -n "${HALCYRA_WINE_KEEP:-}" ]; then echo "[wine] kept $TMP" >&2; else rm -rf "$TMP"; fi
}
trap 'cleanup; rm -f "$FAILED_LIST"' EXIT

Xvfb -displayfd 8 -screen 0 1024x768x24 -nolisten tcp 8>"$TMP/display" >"$LOGS/xvfb.log" 2>&1 &
XVFB_PID=$!
DISPLAY_NUMBER=
for _ in $(seq 1 100); do
  DISPLAY_NUMBER=$(tr -dc 0-9 <"$TMP/display" 2>/dev/null)
  [ -n "$DISPLAY_NUMBER" ] && break
  sleep 0.1
done
if [ -z "$DISPLAY_NUMBER" ]; then
  echo "[wine] Xvfb did not start" >&2
  exit 1
fi
export DISPLAY=:$DISPLAY_NUMBER

wine() {  # seconds program args...: one Wine call, bounded
  local seconds=$1
  shift
  timeout --kill-after=10 "$seconds" "$WINE64" "$@"
}

say "making a Wine prefix"
wine 240 wineboot -i >"$LOGS/wineboot.log" 2>&1 || { fail "wineboot failed"; exit 1; }
# A virtual desktop: a screen with the usual list of display modes and no
# window manager needed (without one, Wine waits for each window to be
# withdrawn when it closes).
cat >"$TMP/settings.reg" <<'EOF'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\Explorer]
"Desktop"="Default"

[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]
"Default"="1024x768"

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"
EOF
wine 60 reg import "$(printf 'Z:%s' "$TMP/settings.reg" | tr / '\\')" >"$LOGS/reg.log" 2>&1 || fail "reg import failed"
# The desktop that wineboot started goes; the next program starts the
# virtual one.
timeout 30 "$WINESERVER" -k >/dev/null 2>&1
timeout 30 "$WINESERVER" -w >/dev/null 2>&1

winpath() { printf 'Z:%s' "$1" | tr / '\\'; }
part() { [[ "$1" =~ ${HALCYRA_WINE_ONLY:-.} ]]; }

# ---------------------------------------------------------------------------
part_layer() {
  say "Windows layer tests"
  (cd "$WIN64/win32/tests" && wine 300 ./halcyra-win32-tests.exe) >"$LOGS/win32-tests.log" 2>&1 ||
    { fail "halcyra-win32-tests.exe (see $LOGS/win32-tests.log)"; grep -v '^\[ \(RUN\|      OK\)' "$LOGS/win32-tests.log" | tail -40 >&2; }

  # The shipped program itself: it starts, shows the sheet with OK and
  # Cancel only, and ends with 0 when the sheet is closed from its title bar.
  say "halcyra-setup.exe"
  local run=$TMP/shipped status
  mkdir -p "$run/game"
  printf '[Game]\r\nGame Rasterizer=2\r\n' >"$run/game/options.ini"
  cp "$WIN64/win32/halcyra-setup.exe" "$run/"
  (cd "$run" && wine 60 reg add 'HKCU\Software\Corvane\Halcyra' /v 'Install Path' /d "$(winpath "$run/game")" /f) \
    >"$LOGS/shipped-reg.log" 2>&1 || fail "could not set the install path"
  (cd "$run" && wine 120 ./halcyra-setup.exe) >"$LOGS/shipped.out" 2>&1 &
  local shipped=$!
  (cd "$WIN64/win32/tests" && wine 60 ./halcyra-win32-tests.exe --child close-sheet "Halcyra Setup") \
    >"$LOGS/shipped-close.log" 2>&1 || fail "halcyra-setup.exe: $(cat "$LOGS/shipped-close.log")"
  wait "$shipped"
  status=$?
  [ "$status" = 0 ] || fail "halcyra-setup.exe ended with $status"
  grep -qx 'sheet ok=1 cancel=1 help=0 apply=0' <(tr -d '\r' <"$LOGS/shipped-close.log") ||
    fail "halcyra-setup.exe's buttons: $(cat "$LOGS/shipped-close.log")"
  [ "$(cat "$run/game/options.ini")" = "$(printf '[Game]\r\nGame Rasterizer=2\r')" ] ||
    fail "closing halcyra-setup.exe changed options.ini"
}

# ---------------------------------------------------------------------------
# halcyra-report.exe
report_expect() {  # file description extended-regex
  grep -Eq "$3" "$1" || fail "report ($2): no line matching /$3/"
}

# The captured profile replayed by halcyra-sim gives the same report from its
# "Machine" section on (the lines above it name the program, the Windows and
# folders of this machine).
replay_report() {  # profile windows-report description
  if [ ! -x "$SIM" ]; then say "report replay skipped ($SIM is not built)"; return; fi
  "$SIM" --machine "$1" --report --date 2026-01-02 >"$1.replay.txt" 2>&1 || fail "report ($3): halcyra-sim refused the capture"
  if ! diff -u <(tr -d '\r' <"$2" | sed -n '/^Machine$/,$p') <(sed -n '/^Machine$/,$p' "$1.replay.txt") \
       >"$LOGS/report-replay-${3// /-}.diff"; then
    fail "report ($3): the capture's replay differs ($LOGS/report-replay-${3// /-}.diff)"
    head -20 "$LOGS/report-replay-${3// /-}.diff" >&2
  fi
}

# The report of this machine without Glide; its device names are the
# scenarios' placeholders.
base_report() {
  say "hardware report"
  REPORT_DIR=$TMP/report
  mkdir -p "$REPORT_DIR"
  cp "$WIN64/win32/halcyra-report.exe" "$REPORT_DIR/"
  (cd "$REPORT_DIR" && wine 120 ./halcyra-report.exe --stdout --profile captured.toml --date 2026-01-02) \
    >"$LOGS/report.txt" 2>"$LOGS/report.err" || fail "halcyra-report.exe failed"
  replay_report "$REPORT_DIR/captured.toml" "$LOGS/report.txt" "without Glide"
  R=$LOGS/report.txt
  report_expect "$R" "default driver" '^ +Description: DirectDraw HAL$'
  report_expect "$R" "default driver GUID" '^ +DDGUID: 0,0,0,0,0,0,0,0,0,0,0$'
  report_expect "$R" "HAL device" '^ +D3DGUID: 2229681632,18090,4559,129,111,0,0,192,32,21,110$'
  report_expect "$R" "a fit device" '^ +Fit: yes$'
  report_expect "$R" "progress" '^ +Progress: 200( 100)+ 300 400( 500)+ \(200 start, '
  grep -q '^No sound device listed' "$R" && fail "report: no sound device (is ALSA routed to the null device?)"
  report_expect "$R" "EAX" '^ +EAX: not supported$'
  if grep -Eq '^ +EAX: supported$' "$R"; then fail "report: Wine's DirectSound should not pass the EAX test"; fi
  report_expect "$R" "no Glide" '^ +Board present: no$'
  [ -s "$LOGS/report.err" ] && fail "halcyra-report.exe wrote to standard error: $(head -3 "$LOGS/report.err")"
  # The machine's names for the scenarios' placeholders.
  awk '
    /^Display Devices/ {section = "display"} /^Sound Devices/ {section = "sound"} /^3dfx Glide/ {section = ""}
    section == "display" && /^ +Description: / {sub(/^ +Description: /, ""); print "@DISPLAY" ++d "@\t" $0}
    section == "display" && /^ +DDGUID: / {sub(/^ +DDGUID: /, ""); print "@DDGUID" ++g "@\t" $0}
    section == "sound" && /^ +Description: / {sub(/^ +Description: /, ""); print "@SOUND" ++s "@\t" $0}
  ' "$LOGS/report.txt" >"$TMP/names.tsv"
}

# The Glide probe through the report: with the test library, without a board,
# and with a library that lacks an export.
part_report() {
  cp "$WIN64/test-glide/glide2x/glide2x.dll" "$REPORT_DIR/"
  printf '[Board]\r\nnum_sst=1\r\nfbRam=2\r\nsliDetect=1\r\n' >"$REPORT_DIR/glide2x.ini"
  (cd "$REPORT_DIR" && wine 120 ./halcyra-report.exe --stdout --profile captured-glide.toml --date 2026-01-02) \
    >"$LOGS/report-glide.txt" 2>&1 || fail "halcyra-report.exe with Glide failed"
  replay_report "$REPORT_DIR/captured-glide.toml" "$LOGS/report-glide.txt" "with Glide"
  R=$LOGS/report-glide.txt
  report_expect "$R" "Glide board" '^ +Board present: yes$'
  report_expect "$R" "Glide modes" '^ +Glide modes: 2$'
  grep -A2 'Glide modes' "$R" | tail -2 | tr -s ' ' >"$TMP/modes"
  [ "$(cat "$TMP/modes")" = "$(printf ' 1024 x 768 x 16\n 640 x 480 x 16')" ] ||
    fail "report: Glide modes for fbRam 2 with SLI are $(tr '\n' '|' <"$TMP/modes")"
  [ "$(tr -d '\r' <"$REPORT_DIR/glide2x.log" | tr '\n' ' ')" = "grSstQueryBoards grGlideInit grSstQueryHardware grGlideShutdown " ] ||
    fail "Glide calls: $(tr '\n' ' ' <"$REPORT_DIR/glide2x.log")"

  rm -f "$REPORT_DIR/glide2x.log"
  printf '[Board]\r\nnum_sst=0\r\n' >"$REPORT_DIR/glide2x.ini"
  (cd "$REPORT_DIR" && wine 120 ./halcyra-report.exe --stdout) >"$LOGS/report-noboard.txt" 2>&1 || fail "halcyra-report.exe failed"
  report_expect "$LOGS/report-noboard.txt" "no board reported" '^ +Board present: no$'
  [ "$(tr -d '\r' <"$REPORT_DIR/glide2x.log" | tr '\n' ' ')" = "grSstQueryBoards " ] ||
    fail "Glide calls without a board: $(tr '\n' ' ' <"$REPORT_DIR/glide2x.log")"

  rm -f "$REPORT_DIR/glide2x.log"
  cp "$WIN64/test-glide/glide2x-noselect/glide2x.dll" "$REPORT_DIR/"
  printf '[Board]\r\nnum_sst=1\r\nfbRam=8\r\n' >"$REPORT_DIR/glide2x.ini"
  (cd "$REPORT_DIR" && wine 120 ./halcyra-report.exe --stdout) >"$LOGS/report-noselect.txt" 2>&1 || fail "halcyra-report.exe failed"
  report_expect "$LOGS/report-noselect.txt" "a library without _grSstSelect@4" '^ +Board present: no$'
  [ -e "$REPORT_DIR/glide2x.log" ] && fail "a library without _grSstSelect@4 was called"
}

# ---------------------------------------------------------------------------
# Scenarios. Each folder of tests/win32/scenarios holds:
#   script.txt        the user's actions (the scenario format)
#   options.ini       options.ini before the run (none: no file)
#   setup             optional lines: "archive NAME" (a file in static\),
#                     "readonly options.ini", "glide KEY=VALUE ..." (the test
#                     glide2x.dll beside the program, with that board),
#                     "no-install-dir" (no "Install Path" in the registry)
#   expected.txt      standard output, with @GAME@ for the game folder and
#                     @DISPLAYn@, @DDGUIDn@, @SOUNDn@ for this machine's
#                     devices as halcyra-report.exe lists them
#   expected.ini      options.ini afterwards (absent: must not exist)
#   expected-status   the exit status (default 0)
# Line ends are compared without CR.
replace_placeholders() {  # file game-path
  # Through the environment: awk -v would read the backslashes as escapes.
  PLACEHOLDER_GAME=$2 PLACEHOLDER_NAMES=$TMP/names.tsv awk '
    BEGIN {
      names = ENVIRON["PLACEHOLDER_NAMES"]
      n = 0; key[++n] = "@GAME@"; value[n] = ENVIRON["PLACEHOLDER_GAME"]
      while ((getline line < names) > 0) { split(line, f, "\t"); key[++n] = f[1]; value[n] = f[2] }
    }
    {
      out = ""; rest = $0
      while (1) {
        best = 0; at = 0
        for (i = 1; i <= n; i++) { p = index(rest, key[i]); if (p > 0 && (at == 0 || p < at)) { at = p; best = i } }
        if (!best) break
        out = out substr(rest, 1, at - 1) value[best]; rest = substr(rest, at + length(key[best]))
      }
      print out rest
    }' "$1"
}

run_scenario() {  # folder [pause-dir]
  local scenario_start=$SECONDS
  local dir=$1 pause_dir=${2:-} name run game status expected_status setup_line word
  name=$(basename "$dir")
  run=$TMP/scenario/$name
  game=$run/game
  mkdir -p "$game/static"
  cp "$WIN64/win32/halcyra-setup-test.exe" "$run/"
  [ -f "$dir/options.ini" ] && cp "$dir/options.ini" "$game/options.ini"
  local install=(--install-dir "$(winpath "$game")")
  if [ -f "$dir/setup" ]; then
    while read -r setup_line; do
      set -- $setup_line
      case "${1:-}" in
        archive) : >"$game/static/$2" ;;
        readonly) chmod a-w "$game/$2" ;;
        glide)
          cp "$WIN64/test-glide/glide2x/glide2x.dll" "$run/"
          shift
          { printf '[Board]\r\n'; for word in "$@"; do printf '%s\r\n' "$word"; done; } >"$run/glide2x.ini" ;;
        no-install-dir) install=(--no-install-dir) ;;
        '') ;;
        *) fail "scenario $name: unknown setup line: $setup_line" ;;
      esac
    done <"$dir/setup"
  fi
  local pause=()
  [ -n "$pause_dir" ] && pause=(--pause-dir "$(winpath "$pause_dir")")
  (cd "$run" && wine 120 ./halcyra-setup-test.exe --script "$(winpath "$dir/script.txt")" "${install[@]}" "${pause[@]}") \
    >"$LOGS/scenario-$name.out" 2>"$LOGS/scenario-$name.err"
  status=$?
  say "  $name: status $status after $((SECONDS - scenario_start)) s"
  expected_status=0
  [ -f "$dir/expected-status" ] && expected_status=$(cat "$dir/expected-status")
  [ "$status" = "$expected_status" ] || fail "scenario $name: exit status $status, expected $expected_status"
  if [ -f "$dir/expected.txt" ]; then
    replace_placeholders "$dir/expected.txt" "$(winpath "$game")" >"$TMP/expected"
    if ! diff -u --strip-trailing-cr "$TMP/expected" "$LOGS/scenario-$name.out" >"$LOGS/scenario-$name.diff"; then
      fail "scenario $name: output differs ($LOGS/scenario-$name.diff)"
      head -30 "$LOGS/scenario-$name.diff" >&2
    fi
  fi
  if [ -f "$dir/expected.ini" ]; then
    replace_placeholders "$dir/expected.ini" "" >"$TMP/expected-ini"
    if [ ! -f "$game/options.ini" ]; then
      fail "scenario $name: options.ini is missing"
    elif ! diff -u --strip-trailing-cr "$TMP/expected-ini" "$game/options.ini" >"$LOGS/scenario-$name.ini.diff"; then
      fail "scenario $name: options.ini differs ($LOGS/scenario-$name.ini.diff)"
      head -30 "$LOGS/scenario-$name.ini.diff" >&2
    fi
  elif [ -e "$game/options.ini" ] && [ ! -f "$dir/options.ini" ]; then
    fail "scenario $name: options.ini was created"
  fi
  if grep -q '^driver:' "$LOGS/scenario-$name.err"; then
    fail "scenario $name: $(grep '^driver:' "$LOGS/scenario-$name.err" | head -3)"
  fi
  [ -z "$pause_dir" ] && replay_scenario "$dir" "$run"
}

# The same scenario with halcyra-sim on this machine as halcyra-report.exe
# captures it (with the run's glide2x.dll, if any): the same output, apart
# from the "reading config from" paths, and the same options.ini.
SIM=$ROOT/build/default/simulated/halcyra-sim
replay_scenario() {  # folder run-folder
  local dir=$1 run=$2 name sim_game status setup_line install=()
  name=$(basename "$dir")
  if [ ! -x "$SIM" ]; then say "  $name: replay skipped ($SIM is not built)"; return; fi
  cp "$WIN64/win32/halcyra-report.exe" "$run/"
  (cd "$run" && wine 120 ./halcyra-report.exe --profile captured.toml) >"$LOGS/capture-$name.log" 2>&1 ||
    { fail "scenario $name: capture failed"; return; }
  sim_game=$TMP/replay/$name
  mkdir -p "$sim_game/static"
  [ -f "$dir/options.ini" ] && cp "$dir/options.ini" "$sim_game/options.ini"
  install=(--install-dir "$sim_game")
  if [ -f "$dir/setup" ]; then
    while read -r setup_line; do
      set -- $setup_line
      case "${1:-}" in
        archive) : >"$sim_game/static/$2" ;;
        readonly) chmod a-w "$sim_game/$2" ;;
        no-install-dir) install=() ;;
      esac
    done <"$dir/setup"
  fi
  (cd "$TMP/replay" && "$SIM" --machine "$run/captured.toml" "${install[@]}" --script "$dir/script.txt") \
    >"$LOGS/replay-$name.out" 2>"$LOGS/replay-$name.err"
  status=$?
  [ "$status" = "$(cat "$dir/expected-status" 2>/dev/null || echo 0)" ] ||
    fail "scenario $name: halcyra-sim on the captured machine ended with $status"
  if ! diff -u <(tr -d '\r' <"$LOGS/scenario-$name.out" | grep -v '^reading config from ') \
       <(grep -v '^reading config from ' "$LOGS/replay-$name.out") >"$LOGS/replay-$name.diff"; then
    fail "scenario $name: the captured machine's replay differs ($LOGS/replay-$name.diff)"
    head -20 "$LOGS/replay-$name.diff" >&2
  fi
  if [ -f "$run/game/options.ini" ] || [ -f "$sim_game/options.ini" ]; then
    cmp -s "$run/game/options.ini" "$sim_game/options.ini" ||
      fail "scenario $name: options.ini differs between Windows and the replay"
  fi
}

part_scenarios() {
  say "scenarios"
  for dir in "$ROOT"/tests/win32/scenarios/*/; do
    [ -f "$dir/script.txt" ] && run_scenario "${dir%/}"
  done
}

# ---------------------------------------------------------------------------
# Screenshots of both pages, taken from the display while the driver holds
# the sheet at each dump.
part_screenshots() {
  if command -v import >/dev/null 2>&1; then
    say "screenshots"
    SHOTS=$TMP/shots
    local shot_dir=${HALCYRA_SCREENSHOT_DIR:-$ROOT/build/screenshots}
    mkdir -p "$SHOTS" "$shot_dir"
    (
    for page in hardware audio; do
      n=$([ "$page" = hardware ] && echo 1 || echo 2)
      for _ in $(seq 1 300); do [ -f "$SHOTS/snap$n.ready" ] && break; sleep 0.1; done
      if [ -f "$SHOTS/snap$n.ready" ]; then
        read -r left top width height <"$SHOTS/snap$n.ready"
        sleep 0.3
        # -strip: no time stamps, so an unchanged page gives the same file.
        import -display "$DISPLAY" -window root -crop "${width}x${height}+${left}+${top}" +repage -strip \
          "$shot_dir/win32-$page.png" 2>>"$LOGS/import.log" || fail "screenshot of the $page page"
      else
        fail "the sheet did not pause for the $page page's screenshot"
      fi
      : >"$SHOTS/snap$n.go"
    done
    ) &
    shooter=$!
    run_scenario "$ROOT/tests/win32/screenshots" "$SHOTS"
    wait "$shooter"
  else
    say "screenshots skipped: ImageMagick's import is not installed"
  fi
}

# ---------------------------------------------------------------------------
part_profiles() {
  say "profile engine against GetPrivateProfileStringA"
  (cd "$WIN64/win32/tests" && wine 300 ./halcyra-profile-compare.exe "$(winpath "$ROOT/tests/win32/profiles")" \
    "$(winpath "$TMP/generated-ini")") >"$LOGS/profile-compare.txt" 2>&1 ||
    { fail "profile comparison (see $LOGS/profile-compare.txt)"; tail -30 "$LOGS/profile-compare.txt" >&2; }
  tail -n 12 "$LOGS/profile-compare.txt" | sed 's/^/[wine]   /'
}

# ---------------------------------------------------------------------------
timed() {  # function: runs it and says how long it took
  local start=$SECONDS
  "$1"
  say "  ($((SECONDS - start)) s)"
}
say "Wine prefix ready after $(($(date +%s) - WINE_START)) s"
part layer && timed part_layer
{ part report || part scenarios; } && timed base_report
part report && timed part_report
part scenarios && timed part_scenarios
part screenshots && timed part_screenshots
part profiles && timed part_profiles

WINE_END=$(date +%s)
say "Wine part took $((WINE_END - WINE_START)) s; logs in $LOGS"
FAILURES=$(wc -l <"$FAILED_LIST")
if [ "$FAILURES" -ne 0 ]; then
  echo "[wine] $FAILURES check(s) failed" >&2
  exit 1
fi
say "all Windows checks passed"
