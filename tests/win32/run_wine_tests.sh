#!/usr/bin/env bash
# The Windows build's tests: builds the i686 build (which players run) and
# the x86_64 build, and the players' zip of each; checks their imports,
# exports, resources and zips with objdump; then, under Wine on a private
# Xvfb display, runs the i686 build under 32-bit Wine (tools/wine32.sh) when
# this kernel runs 32-bit programs, else the x86_64 build under the
# machine's 64-bit Wine:
#   - the Windows layer's test program (the real sheet against the dialog
#     model, registry, files, message boxes, resources, the manifest) and
#     halcyra-setup.exe from the zip;
#   - halcyra-report.exe from the zip against Wine's DirectDraw, Direct3D and
#     DirectSound, without a Glide library and with test libraries that
#     answer as the ones in the field;
#   - the scenarios of tests/win32/scenarios on halcyra-setup-test.exe, with
#     their options.ini and message boxes checked, and again with halcyra-sim
#     on the machine halcyra-report.exe --profile captured (the report too);
#   - our profile engine side by side with Wine's GetPrivateProfileStringA and
#     GetPrivateProfileIntA on generated and hand-edited files;
#   - screenshots of both pages at 96, 144 and 192 DPI, written to
#     build/screenshots/ (the tests never change tracked files;
#     tools/refresh-screenshots.sh copies the 96 DPI ones into
#     docs/screenshots/ when someone means to refresh the README's);
#   - the differential test: every machine profile and hundreds of fixed and
#     generated scripts on the real sheet (halcyra-setup-test.exe --machine)
#     and on the dialog model (halcyra-sim), output and options.ini compared;
# and after an i686 run, the x86_64 build's layer tests in a second session.
#
# Installs nothing: ./test installs g++-mingw-w64-x86-64, g++-mingw-w64-i686,
# wine64, xvfb and imagemagick; tools/wine32.sh downloads the 32-bit Wine
# into build/wine-i386/. Every Wine call runs under `timeout`, with a prefix
# of its own and WINEDEBUG=-all.
#
# Usage: tests/win32/run_wine_tests.sh [--no-build] [--sweep N]
#   --sweep N                runs only the differential test, on N generated
#                            runs (a new seed each time, printed; set
#                            HALCYRA_SWEEP_SEED to repeat one)
#   HALCYRA_WINE_ONLY=REGEX  runs only the parts whose name matches (layer,
#                            report, scenarios, screenshots, profiles,
#                            differential)
#   HALCYRA_WINE_BUILD=win32|win64  the build to run (default: win32 where
#                            32-bit programs run, else win64)
#   HALCYRA_WINE_KEEP=1      keeps the Wine prefix and the run folders
#   HALCYRA_DIFF_SEED, HALCYRA_DIFF_RANDOM  the differential test's seed and
#                            number of generated scripts (19990401, 24)
#   HALCYRA_DIFF_SHARDS=N    the real sheet's processes playing the
#                            differential list at once (2)
#   HALCYRA_SCREENSHOT_DIR=DIR  where the 96 DPI screenshots go (build/screenshots)
set -uo pipefail
cd "$(dirname "$0")/../.."
ROOT=$PWD

BUILD=1
SWEEP=
while [ $# -gt 0 ]; do
  case "$1" in
    --no-build) BUILD=0 ;;
    --sweep)
      SWEEP=${2:-}
      [[ "$SWEEP" =~ ^[1-9][0-9]*$ ]] || { echo "usage: $0 [--no-build] [--sweep N]" >&2; exit 2; }
      shift ;;
    *) echo "usage: $0 [--no-build] [--sweep N]" >&2; exit 2 ;;
  esac
  shift
done
[ -n "$SWEEP" ] && export HALCYRA_WINE_ONLY=differential

WINE64=${WINE64:-/usr/lib/wine/wine64}
WINESERVER=${WINESERVER:-/usr/lib/wine/wineserver64}
[ -x "$WINESERVER" ] || WINESERVER=$(command -v wineserver || echo /usr/lib/wine/wineserver)
JOBS=${HALCYRA_JOBS:-$(nproc)}
WIN64=$ROOT/build/win64
WIN32=$ROOT/build/win32
# Every failure is a line of $FAILED_LIST (also from subshells), tagged with
# what was being checked: "static" for the inspection of both builds, then
# the build that runs under Wine. A second session started by this script
# (the x86_64 layer tests after an i686 run) adds its lines to the same list,
# so the last line can count each build's failures apart.
if [ -n "${HALCYRA_WINE_FAILED_LIST:-}" ]; then
  FAILED_LIST=$HALCYRA_WINE_FAILED_LIST
  OWN_LIST=
else
  FAILED_LIST=$(mktemp /tmp/halcyra-wine-failures.XXXXXX)
  OWN_LIST=$FAILED_LIST
fi
remove_list() { [ -n "$OWN_LIST" ] && rm -f "$OWN_LIST"; }
trap remove_list EXIT
FAIL_TAG=static

say() { printf '[wine] %s\n' "$*"; }
build_name() { case "$1" in win32) echo i686 ;; win64) echo x86_64 ;; *) echo "$1" ;; esac; }
fail() {
  printf '[wine] FAILED: %s\n' "$*" >&2
  printf '%s\t%s\n' "$FAIL_TAG" "$*" >>"$FAILED_LIST"
}

for tool in cmake ninja x86_64-w64-mingw32-objdump i686-w64-mingw32-objdump "$WINE64" Xvfb timeout awk; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "[wine] missing: $tool (./test installs g++-mingw-w64-x86-64 g++-mingw-w64-i686 wine64 xvfb)" >&2
    exit 1
  fi
done

# ---------------------------------------------------------------------------
# Build
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
if [ "$BUILD" = 1 ]; then
  for preset in win64 win32; do
    say "building $preset"
    cmake --preset "$preset" "${launcher[@]}" >/dev/null || exit 1
    cmake --build "build/$preset" -- -j"$JOBS" >/dev/null || { cmake --build "build/$preset" -- -j1; exit 1; }
    cmake --build "build/$preset" --target package >"build/$preset/package.log" 2>&1 ||
      { cat "build/$preset/package.log"; exit 1; }
  done
fi

# The dialog model's side of the differential test: halcyra-sim and the
# random case generator of the default build.
DEFAULT_BUILD=$ROOT/build/default
if [ "$BUILD" = 1 ] && [[ differential =~ ${HALCYRA_WINE_ONLY:-.} ]]; then
  say "building halcyra-sim and halcyra-script-gen"
  [ -f "$DEFAULT_BUILD/build.ninja" ] || cmake --preset default "${launcher[@]}" >/dev/null || exit 1
  cmake --build "$DEFAULT_BUILD" --target halcyra-sim halcyra-script-gen -- -j"$JOBS" >/dev/null ||
    { cmake --build "$DEFAULT_BUILD" --target halcyra-sim halcyra-script-gen -- -j1; exit 1; }
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

# A session started by another one (see the end) leaves this to it.
static_checks() {
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
  # The players' zip (and its x86_64 twin): exactly the two programs, without
  # symbols, and README.txt; unpacked for the Wine part, which runs the
  # programs from it.
  VERSION=$(awk -F= '/^CMAKE_PROJECT_VERSION:/ {print $2}' "$WIN32/CMakeCache.txt")
  for pair in "x86_64-w64-mingw32-objdump:$WIN64:win64" "i686-w64-mingw32-objdump:$WIN32:win32"; do
    IFS=: read -r objdump dir arch <<<"$pair"
    zip=$dir/package/halcyra-setup-$VERSION-$arch.zip
    rm -rf "$dir/package/unpacked" && mkdir -p "$dir/package/unpacked"
    if [ ! -f "$zip" ]; then fail "$zip was not made"; continue; fi
    (cd "$dir/package/unpacked" && cmake -E tar xf "$zip") || fail "could not unpack $zip"
    listing=$(cd "$dir/package/unpacked" && find . -type f | LC_ALL=C sort | tr '\n' ' ')
    [ "$listing" = "./README.txt ./halcyra-report.exe ./halcyra-setup.exe " ] || fail "$(basename "$zip") holds: $listing"
    for exe in halcyra-setup halcyra-report; do
      file=$dir/package/unpacked/$exe.exe
      [ -f "$file" ] || continue
      "$objdump" -f "$file" | grep -q HAS_SYMS && fail "$(basename "$zip"): $exe.exe is not stripped"
    done
    grep -q "Halcyra Setup $VERSION" "$dir/package/unpacked/README.txt" 2>/dev/null ||
      fail "$(basename "$zip"): README.txt does not name version $VERSION"
  done
  header=$(i686-w64-mingw32-objdump -f "$WIN32/win32/halcyra-setup.exe")
  grep -q 'file format pei-i386' <<<"$header" || fail "the i686 halcyra-setup.exe is not a 32-bit program"
  for pair in "x86_64-w64-mingw32-objdump:$WIN64" "i686-w64-mingw32-objdump:$WIN32"; do
    header=$("${pair%%:*}" -p "${pair#*:}/win32/halcyra-setup.exe")
    grep -q 'Subsystem.*(Windows GUI)' <<<"$header" || fail "${pair#*:}: halcyra-setup.exe is not a GUI program"
    header=$("${pair%%:*}" -p "${pair#*:}/win32/halcyra-setup-test.exe")
    grep -q 'Subsystem.*(Windows CUI)' <<<"$header" || fail "${pair#*:}: halcyra-setup-test.exe is not a console program"
  done
}
[ -n "$OWN_LIST" ] && static_checks

# ---------------------------------------------------------------------------
# The Wine session: a private display, prefix and home.
# Which build runs: the i686 build players get, under the 32-bit Wine of
# tools/wine32.sh, when this kernel runs 32-bit programs; otherwise (one loud
# line says so) the x86_64 build under the machine's 64-bit Wine.
# HALCYRA_WINE_BUILD=win64 or win32 chooses without asking.
#
# This block is the one place that names the build whose programs run: every
# part below takes its programs, libraries and logs from the names it sets
# and never names a build folder itself (check_build_choice.sh, run by ctest
# on every machine, fails when one does).
WINE_BUILD=${HALCYRA_WINE_BUILD:-}
if [ -z "$WINE_BUILD" ]; then
  if "$ROOT/tools/wine32.sh" check; then WINE_BUILD=win32; else WINE_BUILD=win64; fi
fi
case "$WINE_BUILD" in
  win32) WINBUILD=$WIN32 ;;
  win64) WINBUILD=$WIN64 ;;
  *) echo "[wine] HALCYRA_WINE_BUILD must be win32 or win64" >&2; exit 2 ;;
esac
FAIL_TAG=$WINE_BUILD
WIN_PROGRAMS=$WINBUILD/win32           # halcyra-setup-test.exe, halcyra-report.exe
WIN_TESTS=$WINBUILD/win32/tests        # halcyra-win32-tests.exe, halcyra-profile-compare.exe
WIN_GLIDE=$WINBUILD/test-glide         # the test glide2x.dll libraries, one folder each
WIN_ZIP=$WINBUILD/package/unpacked     # the players' zip, unpacked
LOGS=$WINBUILD/wine-test-logs
X86_64_LOGS=$WIN64/wine-test-logs      # the second session's, after an i686 run
if [ "$WINE_BUILD" = win32 ]; then
  "$ROOT/tools/wine32.sh" root >/dev/null || { fail "could not make the 32-bit Wine root"; exit 1; }
  WINE_CMD=("$ROOT/tools/wine32.sh" exec /usr/lib/wine/wine)
  WINESERVER_CMD=("$ROOT/tools/wine32.sh" exec /usr/lib/wine/wineserver32)
else
  WINE_CMD=("$WINE64")
  WINESERVER_CMD=("$WINESERVER")
fi
# ---- end of the build choice ----
wineserver() { timeout 30 "${WINESERVER_CMD[@]}" "$@" >/dev/null 2>&1; }
say "running the $WINE_BUILD build ($(build_name "$WINE_BUILD")) under Wine"

WINE_START=$(date +%s)
TMP=$(mktemp -d /tmp/halcyra-wine.XXXXXX)
rm -rf "$LOGS" && mkdir -p "$LOGS"
export WINEPREFIX=$TMP/prefix WINEDEBUG=-all HOME=$TMP/home WINEARCH=$WINE_BUILD
# No Mono or Gecko install prompts while the prefix is made.
export WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$HOME"
# Wine measures and draws the dialogs' text with the fonts fontconfig
# offers, and the tests hold that measuring to the dialog model's: every Wine
# here sees the same fonts, DejaVu alone, as the 32-bit root has them (other
# packages bring others, Liberation with a browser, whose widths differ).
cat >"$TMP/fonts.conf" <<'EOF'
<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "fonts.dtd">
<fontconfig>
  <dir>/usr/share/fonts/truetype/dejavu</dir>
  <include ignore_missing="yes">/etc/fonts/conf.d</include>
  <cachedir>/tmp/halcyra-wine-fontconfig</cachedir>
</fontconfig>
EOF
export FONTCONFIG_FILE=$TMP/fonts.conf
# Without a sound card ALSA lists no device, and Wine then none either.
printf 'pcm.!default { type null }\nctl.!default { type hw card 0 }\n' >"$HOME/.asoundrc"

XVFB_PIDS=()
cleanup() {
  if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
    wineserver -k
    wineserver -w
  fi
  local pid
  for pid in "${XVFB_PIDS[@]}"; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null; done
  XVFB_PIDS=()
  if [ -n "${HALCYRA_WINE_KEEP:-}" ]; then echo "[wine] kept $TMP" >&2; else rm -rf "$TMP"; fi
}
trap 'cleanup; remove_list' EXIT

start_xvfb() {  # WIDTHxHEIGHT: a display of that size becomes $DISPLAY
  local number=
  rm -f "$TMP/display"
  Xvfb -displayfd 8 -screen 0 "$1x24" -nolisten tcp 8>"$TMP/display" >>"$LOGS/xvfb.log" 2>&1 &
  XVFB_PIDS+=("$!")
  for _ in $(seq 1 100); do
    number=$(tr -dc 0-9 <"$TMP/display" 2>/dev/null)
    [ -n "$number" ] && break
    sleep 0.1
  done
  if [ -z "$number" ]; then
    echo "[wine] Xvfb did not start" >&2
    exit 1
  fi
  export DISPLAY=:$number
}
start_xvfb 1024x768

wine() {  # seconds program args...: one Wine call, bounded
  local seconds=$1
  shift
  timeout --kill-after=10 "$seconds" "${WINE_CMD[@]}" "$@"
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
wineserver -k
wineserver -w

winpath() { printf 'Z:%s' "$1" | tr / '\\'; }
part() { [[ "$1" =~ ${HALCYRA_WINE_ONLY:-.} ]]; }

# ---------------------------------------------------------------------------
part_layer() {
  say "Windows layer tests"
  (cd "$WIN_TESTS" && wine 300 ./halcyra-win32-tests.exe) >"$LOGS/win32-tests.log" 2>&1 ||
    { fail "halcyra-win32-tests.exe (see $LOGS/win32-tests.log)"; grep -v '^\[ \(RUN\|      OK\)' "$LOGS/win32-tests.log" | tail -40 >&2; }

  # The shipped program itself: it starts, shows the sheet with OK and
  # Cancel only, and ends with 0 when the sheet is closed from its title bar.
  say "halcyra-setup.exe"
  local run=$TMP/shipped status
  mkdir -p "$run/game"
  printf '[Game]\r\nGame Rasterizer=2\r\n' >"$run/game/options.ini"
  cp "$WIN_ZIP/halcyra-setup.exe" "$run/"
  (cd "$run" && wine 60 reg add 'HKCU\Software\Corvane\Halcyra' /v 'Install Path' /d "$(winpath "$run/game")" /f) \
    >"$LOGS/shipped-reg.log" 2>&1 || fail "could not set the install path"
  (cd "$run" && wine 120 ./halcyra-setup.exe) >"$LOGS/shipped.out" 2>&1 &
  local shipped=$!
  (cd "$WIN_TESTS" && wine 60 ./halcyra-win32-tests.exe --child close-sheet "Halcyra Setup") \
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
  cp "$WIN_ZIP/halcyra-report.exe" "$REPORT_DIR/"
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

# The Glide probe through the report, with test libraries that answer as the
# ones on players' machines do. One case a line, "|" between the fields:
#   case | library (test-glide/NAME) | glide2x.ini [Board] keys | board present |
#   modes, top to bottom, ";" between | the library's calls in order
GLIDE_CASES='
voodoo-sli     | glide2x          | num_sst=1 fbRam=2 sliDetect=1         | yes | 1024 x 768 x 16;640 x 480 x 16 | grSstQueryBoards grGlideInit grSstQueryHardware grGlideShutdown
voodoo2-sli    | glide2x          | num_sst=1 type=3 fbRam=4 nTexelfx=2 sliDetect=1 | yes | 1024 x 768 x 16;800 x 600 x 16;640 x 480 x 16 | grSstQueryBoards grGlideInit grSstQueryHardware grGlideShutdown
voodoo-rush    | glide2x          | num_sst=1 type=1 fbRam=4 tmuRam=4      | yes | 800 x 600 x 16;640 x 480 x 16 | grSstQueryBoards grGlideInit grSstQueryHardware grGlideShutdown
count-only     | glide2x          | num_sst=1 fbRam=8 fill=count           | yes | 640 x 480 x 16 | grSstQueryBoards grGlideInit grSstQueryHardware grGlideShutdown
no-board       | glide2x          | num_sst=0                             | no  |                | grSstQueryBoards
no-grSstSelect | glide2x-noselect | num_sst=1 fbRam=8                     | no  |                |
'
trim() { local text=$1; text=${text#"${text%%[![:space:]]*}"}; printf '%s' "${text%"${text##*[![:space:]]}"}"; }

part_report() {
  local line name library keys present modes calls word got
  while IFS='|' read -r name library keys present modes calls; do
    name=$(trim "$name")
    [ -n "$name" ] || continue
    library=$(trim "$library") keys=$(trim "$keys") present=$(trim "$present") modes=$(trim "$modes") calls=$(trim "$calls")
    rm -f "$REPORT_DIR/glide2x.log"
    cp "$WIN_GLIDE/$library/glide2x.dll" "$REPORT_DIR/"
    { printf '[Board]\r\n'; for word in $keys; do printf '%s\r\n' "$word"; done; } >"$REPORT_DIR/glide2x.ini"
    R=$LOGS/report-glide-$name.txt
    (cd "$REPORT_DIR" && wine 120 ./halcyra-report.exe --stdout --profile "captured-glide-$name.toml" --date 2026-01-02) \
      >"$R" 2>&1 || fail "halcyra-report.exe with Glide ($name) failed"
    replay_report "$REPORT_DIR/captured-glide-$name.toml" "$R" "with Glide ($name)"
    report_expect "$R" "Glide $name" "^ +Board present: $present\$"
    got=$(awk '/^ +Glide modes:/ {on = 1; next} on && !/^ +[0-9]/ {on = 0} on {sub(/^ +/, ""); printf "%s%s", sep, $0; sep = ";"}' "$R")
    [ "$got" = "$modes" ] || fail "report ($name): Glide modes \"$got\", expected \"$modes\""
    got=
    [ -f "$REPORT_DIR/glide2x.log" ] && got=$(tr -d '\r' <"$REPORT_DIR/glide2x.log" | tr '\n' ' ')
    [ "$(trim "$got")" = "$calls" ] || fail "report ($name): Glide calls \"$got\", expected \"$calls\""
  done <<<"$GLIDE_CASES"
  rm -f "$REPORT_DIR/glide2x.dll" "$REPORT_DIR/glide2x.ini" "$REPORT_DIR/glide2x.log"
}

# ---------------------------------------------------------------------------
# Scenarios. Each folder of tests/win32/scenarios holds:
#   script.txt        the user's actions (the scenario format)
#   options.ini       options.ini before the run (none: no file)
#   setup             optional lines: "archive NAME" (a file in static\),
#                     "readonly options.ini", "glide KEY=VALUE ..." (the test
#                     glide2x.dll beside the program, with that board;
#                     "library=NAME" takes test-glide/NAME instead),
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
  cp "$WIN_PROGRAMS/halcyra-setup-test.exe" "$run/"
  [ -f "$dir/options.ini" ] && cp "$dir/options.ini" "$game/options.ini"
  local install=(--install-dir "$(winpath "$game")")
  if [ -f "$dir/setup" ]; then
    while read -r setup_line; do
      set -- $setup_line
      case "${1:-}" in
        archive) : >"$game/static/$2" ;;
        readonly) chmod a-w "$game/$2" ;;
        glide)
          shift
          local library=glide2x
          { printf '[Board]\r\n'
            for word in "$@"; do
              case "$word" in library=*) library=${word#library=} ;; *) printf '%s\r\n' "$word" ;; esac
            done; } >"$run/glide2x.ini"
          cp "$WIN_GLIDE/$library/glide2x.dll" "$run/" ;;
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
SIM=$ROOT/build/default/programs/halcyra-sim
replay_scenario() {  # folder run-folder
  local dir=$1 run=$2 name sim_game status setup_line install=()
  name=$(basename "$dir")
  if [ ! -x "$SIM" ]; then say "  $name: replay skipped ($SIM is not built)"; return; fi
  # A scenario on Wine's own machine (no Glide library, the "Install Path"
  # given) replays the machine the hardware report captured; one with a
  # Glide library or without the value is captured in its own folder.
  if [ -n "${REPORT_DIR:-}" ] && [ -f "$REPORT_DIR/captured.toml" ] && [ ! -f "$run/glide2x.dll" ] &&
     ! grep -qx 'no-install-dir' "$dir/setup" 2>/dev/null; then
    cp "$REPORT_DIR/captured.toml" "$run/captured.toml"
  else
    cp "$WIN_PROGRAMS/halcyra-report.exe" "$run/"
    (cd "$run" && wine 120 ./halcyra-report.exe --profile captured.toml) >"$LOGS/capture-$name.log" 2>&1 ||
      { fail "scenario $name: capture failed"; return; }
  fi
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
# the sheet at each dump: at 96 DPI (the README's pictures) and at 144 and
# 192 DPI (build/screenshots/dpi/). At each, every picture must fill its
# frame: the driver reports the frame's inside and the bitmap's size.
set_dpi() {  # dots-per-inch WIDTHxHEIGHT: the DPI and virtual desktop size the next programs start with
  printf 'REGEDIT4\n\n[HKEY_CURRENT_USER\\Control Panel\\Desktop]\n"LogPixels"=dword:%08x\n\n[HKEY_CURRENT_USER\\Software\\Wine\\Explorer\\Desktops]\n"Default"="%s"\n' \
    "$1" "$2" >"$TMP/dpi.reg"
  wine 60 reg import "$(winpath "$TMP/dpi.reg")" >>"$LOGS/reg.log" 2>&1 ||
    fail "could not set the DPI to $1 and the desktop to $2"
  wineserver -k
  wineserver -w
}

screenshots_at() {  # dpi target-folder file-suffix
  local dpi=$1 shot_dir=$2 suffix=$3 page n shots=$TMP/shots-$1 line
  mkdir -p "$shots" "$shot_dir"
  (
  for page in hardware audio; do
    n=$([ "$page" = hardware ] && echo 1 || echo 2)
    for _ in $(seq 1 1800); do [ -f "$shots/snap$n.ready" ] && break; sleep 0.1; done
    if [ -f "$shots/snap$n.ready" ]; then
      read -r left top width height <"$shots/snap$n.ready"
      sleep 0.3
      # -strip: no time stamps, so an unchanged page gives the same file.
      import -display "$DISPLAY" -window root -crop "${width}x${height}+${left}+${top}" +repage -strip \
        "$shot_dir/win32-$page$suffix.png" 2>>"$LOGS/import.log" || fail "screenshot of the $page page at $dpi DPI"
      grep -q '^picture ' "$shots/snap$n.ready" || fail "the $page page at $dpi DPI shows no picture"
      while read -r line; do
        set -- $line
        [ "$2 $3" = "$4 $5" ] || fail "the $page page at $dpi DPI: a $4 x $5 picture in a $2 x $3 frame"
      done < <(grep '^picture ' "$shots/snap$n.ready")
      say "  $dpi DPI, $page page: sheet ${width} x ${height}, $(grep '^picture ' "$shots/snap$n.ready" | awk '{print "picture " $2 " x " $3}')"
    else
      fail "the sheet did not pause for the $page page's screenshot at $dpi DPI"
    fi
    : >"$shots/snap$n.go"
  done
  ) &
  local shooter=$!
  run_scenario "$ROOT/tests/win32/screenshots" "$shots"
  wait "$shooter"
}

part_screenshots() {
  if ! command -v import >/dev/null 2>&1; then
    say "screenshots skipped: ImageMagick's import is not installed"
    return
  fi
  say "screenshots"
  local shot_dir=${HALCYRA_SCREENSHOT_DIR:-$ROOT/build/screenshots}
  screenshots_at 96 "$shot_dir" ""
  # The larger DPIs go under build/ even when the README's pictures are
  # refreshed.
  # On a display of their own, large enough for the sheet at 192 DPI (the
  # other parts' display keeps its size: Wine offers display modes up to the
  # size of the X screen, and the scenarios expect those of 1024 x 768).
  local dpi main_display=$DISPLAY
  start_xvfb 1600x1200
  for dpi in 144 192; do
    set_dpi "$dpi" 1600x1200
    screenshots_at "$dpi" "$ROOT/build/screenshots/dpi" "-$dpi"
  done
  # The prefix stays at 192 DPI: this part runs last.
  export DISPLAY=$main_display
}

# ---------------------------------------------------------------------------
part_profiles() {
  say "profile engine against GetPrivateProfileStringA"
  (cd "$WIN_TESTS" && wine 300 ./halcyra-profile-compare.exe "$(winpath "$ROOT/tests/win32/profiles")" \
    "$(winpath "$TMP/generated-ini")") >"$LOGS/profile-compare.txt" 2>&1 ||
    { fail "profile comparison (see $LOGS/profile-compare.txt)"; tail -30 "$LOGS/profile-compare.txt" >&2; }
  tail -n 12 "$LOGS/profile-compare.txt" | sed 's/^/[wine]   /'
}

# ---------------------------------------------------------------------------
# The differential test: the real sheet (halcyra-setup-test.exe --machine, in
# batch mode: one process for many runs) and the dialog model (halcyra-sim)
# play the same cases on the same simulated machines and must print the same
# output, end with the same status and leave the same options.ini bytes.
#
# Machines: every profile of profiles/, crossed with every case; and the
# machines of tests/win32/differential/machines/ (no hardware at all, Glide
# only), crossed with the fixed cases. Cases: the fixed ones of
# tests/win32/differential/cases/ (script.txt, options.ini, setup as for the
# scenarios, plus "machine-install-dir": the machine's own "Install Path"),
# and generated ones (halcyra-script-gen) from a fixed seed. In options.ini,
# @DDGUIDn@ and @D3DGUIDn@ stand for the machine's n-th device's GUID texts.
# Both sides run in a folder of their own per run, with the install
# directory given as the relative path "game", so they print the same paths.
DIFF_SEED=${HALCYRA_DIFF_SEED:-19990401}
DIFF_RANDOM=${HALCYRA_DIFF_RANDOM:-24}
# The real sheet plays the list in this many processes at once.
DIFF_SHARDS=${HALCYRA_DIFF_SHARDS:-2}
[[ "$DIFF_SHARDS" =~ ^[1-9][0-9]*$ ]] || { echo "[wine] HALCYRA_DIFF_SHARDS must be a positive number" >&2; exit 2; }

# The GUID texts of one machine's devices: "NAME n DDGUID D3DGUID" a line.
machine_guids() {  # profile
  "$diff/halcyra-sim" --machine "$1" --report 2>/dev/null | awk -v name="$(basename "$1")" '
    /^ +DDGUID: / {sub(/^ +DDGUID: /, ""); dd[++d] = $0}
    /^ +D3DGUID: / {sub(/^ +D3DGUID: /, ""); d3[++e] = $0}
    END {for (i = 1; i <= d; i++) print name, i, dd[i], d3[i]}'
}

# Makes both sides' folders of every run of RUNS ("index machine case"
# lines): the install directory "game" made from the case, with the
# machine's GUID texts in its options.ini; and writes the Windows side's job
# list. In one awk program, since a few processes per run would cost more
# than the runs themselves.
make_run_folders() {  # diff-folder runs guids jobs
  awk -v diff="$1" -v guids="$3" -v jobs="$4" '
    function winpath(path) { gsub("/", "\\", path); return "Z:" path }
    function base(path) { sub(/.*\//, "", path); return path }
    function load(dir,   line, n) {  # options.ini and setup of a case, once
      if (dir in loaded) return
      loaded[dir] = 1; n = 0; options[dir] = ""; hasOptions[dir] = 0
      while ((getline line < (dir "/options.ini")) > 0) { options[dir] = options[dir] line "\n"; hasOptions[dir] = 1 }
      close(dir "/options.ini")
      setup[dir] = ""
      while ((getline line < (dir "/setup")) > 0) setup[dir] = setup[dir] line "\n"
      close(dir "/setup")
    }
    BEGIN {
      while ((getline line < guids) > 0) { split(line, f, " "); dd[f[1], f[2]] = f[3]; d3[f[1], f[2]] = f[4] }
      while ((getline line < ARGV[1]) > 0) {
        split(line, f, " "); name = sprintf("j%05d", f[1])
        dirs = dirs " " diff "/linux/" name "/game/static " diff "/win/" name "/game/static"
        if (length(dirs) > 60000) { system("mkdir -p" dirs); dirs = "" }
      }
      close(ARGV[1])
      if (dirs != "") system("mkdir -p" dirs)
    }
    {
      index_ = $1; machine = $2; dir = $3; name = sprintf("j%05d", index_); load(dir)
      text = options[dir]
      for (i = 1; i <= 9; i++) {
        gsub("@DDGUID" i "@", dd[base(machine), i], text)
        gsub("@D3DGUID" i "@", d3[base(machine), i], text)
      }
      install = "game"
      n = split(setup[dir], lines, "\n")
      for (side = 0; side < 2; side++) {
        folder = diff (side ? "/win/" : "/linux/") name
        if (hasOptions[dir]) { printf "%s", text > (folder "/game/options.ini"); close(folder "/game/options.ini") }
        for (i = 1; i <= n; i++) {
          split(lines[i], w, " ")
          if (w[1] == "archive") { printf "" > (folder "/game/static/" w[2]); close(folder "/game/static/" w[2]) }
          if (w[1] == "readonly") readonly = readonly " " folder "/game/" w[2]
          if (w[1] == "machine-install-dir") install = ""
        }
      }
      print name, install > (diff "/install.txt")
      printf "%s\t%s\t%s\t%s\n", winpath(diff "/win/" name), winpath(machine), install, winpath(dir "/script.txt") > jobs
      if (length(readonly) > 60000) { system("chmod a-w" readonly); readonly = "" }
    }
    END { if (readonly != "") system("chmod a-w" readonly) }' "$2"
}

# Plays one part of the differential list on the real sheet: jobs-SHARD.txt
# of the folder, whose first line is run OFFSET of RUNS.
play_shard() {  # diff-folder shard offset runs
  local diff=$1 shard=$2 offset=$3 runs=$4 jobs count next=0 last
  jobs=$diff/jobs-$shard.txt
  count=$(wc -l <"$jobs")
  while [ "$next" -lt "$count" ]; do
    # Bounded by the runs left, ten seconds each: a sweep runs for long.
    (cd "$diff" && wine $((120 + 10 * (count - next))) ./halcyra-setup-test.exe --batch "$(winpath "$jobs")" \
      --from "$next") \
      >>"$LOGS/differential-batch-$shard.log" 2>&1
    last=$(awk 'END {print $1}' "$jobs.done" 2>/dev/null)
    if [ -z "$last" ] || [ "$last" -lt "$next" ]; then
      fail "differential: run $((offset + next)) ($(sed -n "$((offset + next + 1))p" "$runs")) ended the batch without a record"
      last=$next
    fi
    next=$((last + 1))
  done
}

part_differential() {
  local diff=$TMP/diff start=$SECONDS seed=$DIFF_SEED random=$DIFF_RANDOM
  local -a profiles machines fixed generated
  rm -rf "$diff" && mkdir -p "$diff/linux" "$diff/win" "$diff/random"
  profiles=("$ROOT"/profiles/*.toml)
  machines=("$ROOT"/tests/win32/differential/machines/*.toml)
  fixed=("$ROOT"/tests/win32/differential/cases/*/)
  if [ -n "$SWEEP" ]; then
    seed=${HALCYRA_SWEEP_SEED:-$(date +%s)}
    random=$(( (SWEEP + ${#profiles[@]} - 1) / ${#profiles[@]} ))
    fixed=()
    machines=()
  fi
  say "differential test: seed $seed"
  # Both programs as they are now, whatever is rebuilt meanwhile.
  cp "$DEFAULT_BUILD/programs/halcyra-sim" "$WIN_PROGRAMS/halcyra-setup-test.exe" "$diff/"
  "$DEFAULT_BUILD/tests/win32/halcyra-script-gen" "$seed" 0 "$random" "$diff/random" ||
    { fail "halcyra-script-gen failed"; return; }
  generated=("$diff"/random/*/)

  # The runs: "index machine case" lines.
  local runs=$diff/runs.txt jobs=$diff/jobs.txt n=0 machine case_dir
  : >"$runs"
  for machine in "${profiles[@]}"; do
    for case_dir in "${fixed[@]}" "${generated[@]}"; do echo "$((n++)) $machine ${case_dir%/}"; done >>"$runs"
  done
  for machine in "${machines[@]}"; do
    for case_dir in "${fixed[@]}"; do echo "$((n++)) $machine ${case_dir%/}"; done >>"$runs"
  done
  for machine in "${profiles[@]}" "${machines[@]}"; do machine_guids "$machine"; done >"$diff/guids.txt"
  make_run_folders "$diff" "$runs" "$diff/guids.txt" "$jobs"
  local index install name

  # The dialog model, beside Wine on the other processor.
  (
    while read -r index machine case_dir && read -r name install <&3; do
      cd "$diff/linux/$name" || continue
      "$diff/halcyra-sim" --machine "$machine" ${install:+--install-dir "$install"} \
        --script "$case_dir/script.txt" >"../$name.out" 2>"../$name.err"
      echo $? >"../$name.status"
    done <"$runs" 3<"$diff/install.txt"
  ) &
  local model=$!

  # The real sheet: the list cut into $DIFF_SHARDS consecutive parts, each
  # played by one process at a time beside the others (the runs share
  # nothing: each has its folders, and the machine is simulated). A run whose
  # system ends the process (message 103) ends it too, and the part's next
  # process goes on after it. A run that leaves no record crashed the process.
  local total=$n shards=$DIFF_SHARDS shard size
  [ "$shards" -gt "$total" ] && shards=$total
  size=$(( (total + shards - 1) / shards ))
  local -a players=()
  for ((shard = 0; shard < shards; shard++)); do
    sed -n "$((shard * size + 1)),$(((shard + 1) * size))p" "$jobs" >"$diff/jobs-$shard.txt"
    play_shard "$diff" "$shard" $((shard * size)) "$runs" &
    players+=("$!")
  done
  wait "${players[@]}"
  wait "$model"
  local status
  for ((shard = 0; shard < shards; shard++)); do
    while read -r index status; do
      printf -v name 'j%05d' $((shard * size + index))
      echo $((status & 255)) >"$diff/win/$name.status"
    done <"$diff/jobs-$shard.txt.done"
  done

  # Compare: both sides' trees at once; a run differs when any of its files
  # (output, error, status, options.ini) does.
  local differ=0
  diff -rq "$diff/linux" "$diff/win" | grep -o 'j[0-9]\{5\}' | sort -u >"$diff/differ.txt"
  while read -r name; do
    differ=$((differ + 1))
    [ "$differ" -le 5 ] || continue
    index=$((10#${name#j}))
    read -r _ machine case_dir < <(sed -n "$((index + 1))p" "$runs")
    fail "differential: $(basename "$machine") with case $(basename "$case_dir") ($name) differs"
    diff -rq "$diff/linux/$name" "$diff/win/$name" >&2
    for f in out err status; do cmp -s "$diff/linux/$name.$f" "$diff/win/$name.$f" || echo "  $name.$f differs" >&2; done
    diff -u "$diff/linux/$name.out" "$diff/win/$name.out" | head -20 >&2
    diff -u "$diff/linux/$name.err" "$diff/win/$name.err" | head -6 >&2
  done <"$diff/differ.txt"
  [ "$differ" -gt 5 ] && fail "differential: $differ runs differ in all (list: $diff/differ.txt)"
  local summary
  if [ -n "$SWEEP" ]; then
    summary="${#profiles[@]} profiles x $random generated scripts = $total runs (seed $seed)"
  else
    summary="${#profiles[@]} profiles x $(( ${#fixed[@]} + random )) scripts (${#fixed[@]} fixed, $random generated, seed $seed)"
    summary+=" + ${#machines[@]} test machines x ${#fixed[@]} fixed scripts = $total runs"
  fi
  if [ "$differ" -eq 0 ]; then
    say "differential: $summary: all identical ($((SECONDS - start)) s)"
  else
    say "differential: $summary: $differ differ ($((SECONDS - start)) s)"
  fi
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
# The profile comparison is one busy program sharing nothing with the
# scenarios' short ones: it runs beside them.
PROFILES_PID=
if part profiles; then
  timed part_profiles >"$TMP/profiles.out" 2>&1 &
  PROFILES_PID=$!
fi
part scenarios && timed part_scenarios
if [ -n "$PROFILES_PID" ]; then
  wait "$PROFILES_PID"
  cat "$TMP/profiles.out"
fi
part differential && timed part_differential
# Last, since it leaves the prefix at another DPI.
part screenshots && timed part_screenshots

WINE_END=$(date +%s)
say "Wine part took $((WINE_END - WINE_START)) s; logs in $LOGS"

# The x86_64 build still finds what the i686 build cannot: handles,
# pointers and message parameters of 64 bits through the window procedures
# and the COM objects of the layer. Its layer tests run in a short second
# session of their own, whose failures join this session's list.
BUILDS_RUN=$WINE_BUILD
if [ "$WINE_BUILD" = win32 ] && [ -z "${HALCYRA_WINE_BUILD:-}" ] && part layer; then
  cleanup
  trap remove_list EXIT
  BUILDS_RUN+=" win64"
  before=$(grep -c "^win64"$'\t' "$FAILED_LIST")
  if ! HALCYRA_WINE_BUILD=win64 HALCYRA_WINE_ONLY='^layer$' HALCYRA_WINE_FAILED_LIST=$FAILED_LIST \
       "$ROOT/tests/win32/run_wine_tests.sh" --no-build; then
    # A session that stops early may not have said why in the list.
    [ "$(grep -c "^win64"$'\t' "$FAILED_LIST")" -gt "$before" ] ||
      { FAIL_TAG=win64; fail "the x86_64 build's layer tests ended early (see $X86_64_LOGS)"; }
  fi
fi

# A session started by another one leaves the summary to it: its status
# tells whether it added failures.
if [ ! -f "$FAILED_LIST" ]; then
  echo "[wine] the list of failures is gone: no result can be told" >&2
  exit 1
fi
if [ -z "$OWN_LIST" ]; then
  ! grep -q "^$WINE_BUILD"$'\t' "$FAILED_LIST"
  exit
fi

# The last line: the failures of each build that ran, counted apart, so
# that it never says one thing while another line says the opposite.
summary=
failures=0
for tag in static $BUILDS_RUN; do
  case "$tag" in
    static) label="static checks of both builds" ;;
    win32) label="i686 build under 32-bit Wine" ;;
    win64) label="x86_64 build under Wine"; [ "$WINE_BUILD" = win32 ] && label+=" (layer tests)" ;;
  esac
  count=$(grep -c "^$tag"$'\t' "$FAILED_LIST")
  failures=$((failures + count))
  if [ "$count" -eq 0 ]; then summary+="${summary:+; }$label: all passed"
  else summary+="${summary:+; }$label: $count check(s) failed"; fi
done
if [ "$failures" -ne 0 ]; then
  echo "[wine] $summary" >&2
  exit 1
fi
say "$summary"
