#!/usr/bin/env bash
# End-to-end tests of the terminal UI: the real program runs in a detached
# tmux session on a private server; keys are sent, the pane is read back,
# and options.ini is checked afterwards.
#
#   e2e_tmux.sh CASE PROGRAM [PROFILE]
#
# PROGRAM is halcyra-sim (run with --machine PROFILE --install-dir DIR) or
# halcyra-setup (run inside DIR). Cases: ok_writes_choices,
# esc_writes_nothing, message_box, ctrl_c_restores, small_window,
# compact_80x24, vt100_padding, dumb_refused, no_color, mono_disabled,
# mouse_release, ctrl_s_keeps_drawing, setup_demo, no_terminal.
set -euo pipefail

case_name="$1"
program="$(realpath -- "$2")"
profile="${3:+$(realpath -- "$3")}"
here="$(cd "$(dirname "$0")" && pwd)"
demo_install="$here/../../terminal/demo_install.sh"

work="$(mktemp -d)"
socket="$work/tmux.sock"
install="$work/install"
status_file="$work/status"

cleanup() {
  tmux -S "$socket" kill-server 2>/dev/null || true
  rm -rf -- "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL ($case_name): $*" >&2
  if [ -S "$socket" ]; then
    echo "--- screen ---" >&2
    tmux -S "$socket" capture-pane -p -t e2e >&2 || true
  fi
  exit 1
}

screen() { tmux -S "$socket" capture-pane -p -t e2e; }
keys() { tmux -S "$socket" send-keys -t e2e "$@"; }

# Waits until the pane shows TEXT (fixed string).
wait_for() {
  local text="$1" tries=0
  until screen | grep -qF -- "$text"; do
    tries=$((tries + 1))
    [ "$tries" -lt 200 ] || fail "timed out waiting for '$text'"
    sleep 0.05
  done
}

# Waits until the pane no longer shows TEXT.
wait_gone() {
  local text="$1" tries=0
  while screen | grep -qF -- "$text"; do
    tries=$((tries + 1))
    [ "$tries" -lt 200 ] || fail "timed out waiting for '$text' to go"
    sleep 0.05
  done
}

# Sends keys one at a time, each after the screen has settled.
press() {
  local key
  for key in "$@"; do
    keys "$key"
    sleep 0.15
  done
}

# Waits for the program to end; prints its exit status.
wait_exit() {
  local tries=0
  until [ -s "$status_file" ]; do
    tries=$((tries + 1))
    [ "$tries" -lt 200 ] || fail "the program did not end"
    sleep 0.05
  done
  cat "$status_file"
}

# Starts the program in a shell in a WIDTH x HEIGHT pane, with the
# environment's NAME=VALUE words that follow (TERM, NO_COLOR).
start() {
  local width="${1:-100}" height="${2:-32}" command
  shift 2 || true
  local environment="env $*"
  if [ -n "$profile" ]; then
    command="$environment '$program' --machine '$profile' --install-dir '$install'"
  else
    command="cd '$install' && $environment '$program'"
  fi
  tmux -S "$socket" -f /dev/null new-session -d -s e2e -x "$width" -y "$height" \
    -e LANG=C.UTF-8 -e LC_ALL=C.UTF-8 "bash --norc --noprofile"
  tmux -S "$socket" set-option -t e2e status off >/dev/null
  sleep 0.1
  # The status is kept also when Ctrl-C ends the program: the trap lets the
  # script go on, and the program starts with SIGINT at its default.
  cat > "$work/run.sh" <<EOF
trap true INT
stty -g > '$work/stty.before'
$command
echo \$? > '$status_file.tmp'
stty -g > '$work/stty.after'
mv '$status_file.tmp' '$status_file'
EOF
  keys "bash '$work/run.sh'" Enter
}

# The first interactive frame: the sheet, the probes done.
wait_sheet() {
  wait_for "Halcyra Setup"
  wait_for "Cancel"
  wait_gone "Detecting hardware"
}

# Sends a mouse event in xterm's X10 form: BUTTON (0 left down, 3 up) at
# the 1-based COLUMN and ROW of the pane.
mouse() {
  local seq
  printf -v seq '\033[M%b%b%b' "\\x$(printf %x $((32 + $1)))" "\\x$(printf %x $((32 + $2)))" \
    "\\x$(printf %x $((32 + $3)))"
  keys -l "$seq"
  sleep 0.2
}

# The 1-based column and row of the first cell of TEXT on the pane.
locate() {
  local line row before
  line="$(screen | grep -nF -- "$1" | head -n1)"
  [ -n "$line" ] || fail "'$1' is not on the screen"
  row="${line%%:*}"
  before="${line#*:}"
  before="${before%%"$1"*}"
  echo "$(( ${#before} + 1 )) $row"
}

# Neither the sheet's texts nor the terminal's padding strings: the pane
# must never show terminfo's "$<N>" delays.
expect_no_padding() {
  if screen | grep -qF '$<'; then fail "terminfo padding printed on the screen"; fi
}

# Disabled controls are told apart without colour: their brackets change.
expect_monochrome_marks() {
  wait_sheet
  wait_for "· · 8-Bit Textures"
  wait_for "(•) 16-Bit Textures"
  wait_for "( ) Glide"
  press Escape
  [ "$(wait_exit)" = 0 ] || fail "exit status $(cat "$status_file")"
}

ini_value() {  # KEY: the value in options.ini
  grep -E "^$1=" "$install/options.ini" | head -n1 | cut -d= -f2-
}

expect_ini() {  # KEY VALUE
  local got
  got="$(ini_value "$1")"
  [ "$got" = "$2" ] || fail "options.ini $1 is '$got', expected '$2'"
}

bash "$demo_install" "$install"
original="$work/options.ini.original"
cp "$install/options.ini" "$original"

case "$case_name" in
  ok_writes_choices)
    start
    wait_sheet
    # Renderer: Glide (the arrow keys check the next button of the group).
    press Left
    wait_for "(•) Glide"
    # Textures: Tab skips the disabled device list; 8-bit textures.
    press Tab Up
    wait_for "(•) 8-Bit Textures"
    # Mip-mapping: from "On" down to "Off", then "High".
    press Tab Down Down
    wait_for "(•) High"
    # Resolution: the first Glide mode.
    press Tab Home
    wait_for "1024 x 768 x 16"
    # Audio page: EAX off.
    press C-NPage
    wait_for "[x] EAX"
    press Tab Space
    wait_for "[ ] EAX"
    press Enter
    [ "$(wait_exit)" = 0 ] || fail "exit status $(cat "$status_file")"
    expect_ini "Game Rasterizer" 3
    expect_ini "GameScreenWidth" 1024
    expect_ini "GameScreenHeight" 768
    expect_ini "GameScreenDepth" 16
    expect_ini "GameMipMapLevel" 1
    expect_ini "Use16BitTextures" 0
    expect_ini "UseCompressedTextures" 0
    expect_ini "EnableAcoustics" 0
    # The line the system prints while loading comes out after the screen.
    screen | grep -qF "reading config from" || fail "standard output was not passed on"
    ;;

  esc_writes_nothing)
    start
    wait_sheet
    press Left Tab Up
    wait_for "(•) 8-Bit Textures"
    press C-NPage
    wait_for "[x] EAX"
    press Tab Space Escape
    [ "$(wait_exit)" = 0 ] || fail "exit status $(cat "$status_file")"
    cmp -s "$original" "$install/options.ini" || fail "Cancel changed options.ini"
    ;;

  message_box)
    start
    wait_sheet
    # Open the device list, take the unfit device above: warning 104.
    press Tab M-Down
    wait_for "(?) 3dfx Voodoo2"
    press Up Enter
    wait_for "Warning"
    wait_for "does not appear to"
    # The box keeps the keyboard: Tab and Esc of the sheet do not reach it;
    # Enter answers it.
    press Tab
    wait_for "does not appear to"
    press Enter
    wait_gone "does not appear to"
    wait_for "(?) 3dfx Voodoo2 SLI 3D Accelerator"
    press Escape
    [ "$(wait_exit)" = 0 ] || fail "exit status $(cat "$status_file")"
    cmp -s "$original" "$install/options.ini" || fail "Cancel changed options.ini"
    ;;

  ctrl_c_restores)
    start
    wait_sheet
    press Left
    wait_for "(•) Glide"
    press C-c
    status="$(wait_exit)"
    [ "$status" = 130 ] || fail "exit status after Ctrl-C is $status"
    cmp -s "$work/stty.before" "$work/stty.after" || fail "terminal modes not restored"
    cmp -s "$original" "$install/options.ini" || fail "Ctrl-C changed options.ini"
    ;;

  ctrl_s_keeps_drawing)
    # Ctrl-S is no flow control while the sheet runs: the next key is still
    # drawn. The terminal's modes (flow control on) come back afterwards.
    start
    wait_sheet
    press C-s
    sleep 0.3
    press Left
    wait_for "(•) Glide"
    press Escape
    [ "$(wait_exit)" = 0 ] || fail "exit status $(cat "$status_file")"
    cmp -s "$work/stty.before" "$work/stty.after" || fail "terminal modes not restored"
    ;;

  small_window)
    start 70 20
    wait_for "too small"
    wait_for "80 x 24"
    tmux -S "$socket" resize-window -t e2e -x 100 -y 32
    wait_sheet
    tmux -S "$socket" resize-window -t e2e -x 79 -y 24
    wait_for "too small"
    press Escape
    wait_exit >/dev/null
    ;;

  compact_80x24)
    # The page area scrolls to the focused control: a round of Tab on each
    # page shows every control, and OK saves what was chosen.
    start 80 24
    wait_sheet
    seen=""
    # Eight stops: renderer, textures, mip-mapping, its level, resolution,
    # OK, Cancel, the tabs.
    for _ in 1 2 3 4 5 6 7 8; do
      seen+="$(screen)"$'\n'
      press Tab
    done
    # Back at the renderer group: to the resolution list, near the page's
    # bottom, and its last mode.
    press Tab Tab Tab Tab End
    wait_for "1280 x 1024 x 16"
    seen+="$(screen)"$'\n'
    press C-NPage
    wait_for "Audio Hardware Device"
    for _ in 1 2 3 4 5; do
      seen+="$(screen)"$'\n'
      press Tab
    done
    for text in "( ) Glide" "(•) Direct 3D" "8-Bit Textures" "(•) 16-Bit Textures" "( ) Compressed" \
                "(•) On" "( ) Off" "( ) High" "(•) Medium" "( ) Low" "Screen Resolution" \
                "SB Live! Wave Device" "Number Of Voices" "Number Of 3D Voices:" "[x] EAX" \
                "[    OK    ]" "[  Cancel  ]"; do
      grep -qF -- "$text" <<<"$seen" || fail "'$text' never came into view"
    done
    if grep -qF "too small" <<<"$seen"; then fail "80 x 24 was called too small"; fi
    # OK by the mouse, wherever the keyboard focus is now.
    read -r ok_col ok_row <<<"$(locate "[    OK    ]")"
    mouse 0 $((ok_col + 3)) "$ok_row"
    mouse 3 $((ok_col + 3)) "$ok_row"
    [ "$(wait_exit)" = 0 ] || fail "exit status $(cat "$status_file")"
    expect_ini "GameScreenWidth" 1280
    expect_ini "GameScreenHeight" 1024
    ;;

  vt100_padding)
    # vt100's strings carry padding ("$<5>"); it must never be printed.
    start 100 32 TERM=vt100
    wait_sheet
    expect_no_padding
    press Left
    wait_for "(•) Glide"
    expect_no_padding
    press Enter
    [ "$(wait_exit)" = 0 ] || fail "exit status $(cat "$status_file")"
    expect_ini "Game Rasterizer" 3
    ;;

  dumb_refused)
    start 100 32 TERM=dumb
    status="$(wait_exit)"
    [ "$status" = 2 ] || fail "exit status on a dumb terminal is $status"
    wait_for 'the terminal type "dumb" cannot place the cursor'
    cmp -s "$original" "$install/options.ini" || fail "options.ini changed"
    ;;

  no_color)
    start 100 32 TERM=xterm-256color NO_COLOR=1
    expect_monochrome_marks
    ;;

  mono_disabled)
    start 100 32 TERM=xterm-mono
    expect_monochrome_marks
    ;;

  mouse_release)
    # OK acts when the button comes up on it after going down there; down
    # on OK and up on Cancel (or the reverse) does nothing.
    start
    wait_sheet
    press Left
    wait_for "(•) Glide"
    read -r ok_col ok_row <<<"$(locate "[    OK    ]")"
    read -r cancel_col cancel_row <<<"$(locate "[  Cancel  ]")"
    mouse 0 $((ok_col + 3)) "$ok_row"
    mouse 3 $((cancel_col + 3)) "$cancel_row"
    mouse 0 $((cancel_col + 3)) "$cancel_row"
    mouse 3 $((ok_col + 3)) "$ok_row"
    sleep 0.5
    [ ! -s "$status_file" ] || fail "a press dragged off a button still acted"
    wait_for "(•) Glide"
    mouse 0 $((ok_col + 3)) "$ok_row"
    mouse 3 $((ok_col + 4)) "$ok_row"
    [ "$(wait_exit)" = 0 ] || fail "exit status $(cat "$status_file")"
    expect_ini "Game Rasterizer" 3
    ;;

  setup_demo)
    start
    wait_sheet
    wait_for "Primary Display Driver"
    press Enter
    [ "$(wait_exit)" = 0 ] || fail "exit status $(cat "$status_file")"
    expect_ini "Game Rasterizer" 2
    expect_ini "GameScreenWidth" 800
    ;;

  no_terminal)
    set +e
    if [ -n "$profile" ]; then
      "$program" --machine "$profile" --install-dir "$install" < /dev/null > "$work/out" 2> "$work/err"
    else
      (cd "$install" && "$program" < /dev/null > "$work/out" 2> "$work/err")
    fi
    status=$?
    set -e
    [ "$status" = 2 ] || fail "exit status without a terminal is $status"
    grep -qF "must be a terminal" "$work/err" || fail "no message: $(cat "$work/err")"
    cmp -s "$original" "$install/options.ini" || fail "options.ini changed"
    ;;

  *)
    fail "unknown case"
    ;;
esac
echo "PASS ($case_name)"
