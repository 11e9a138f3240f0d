// The support page's session: Halcyra Setup on a simulated machine (a
// player's report or a machine profile) in this process's memory file
// system, driven by what the page's user does.
//
// The browser cannot block inside a modal loop, so the session replays: the
// user's actions so far (and the message boxes already answered) are played
// from the start on a fresh machine every time, up to the first thing the
// user has not seen yet, the frontier: the next action awaited on the sheet,
// or a new message box. What the sheet shows there is the session's state;
// the run then ends with Cancel, unseen, so nothing is saved. The machine,
// the settings store and the pages are deterministic, so every replay shows
// what one uninterrupted run would show at that point. An OK that closes the
// sheet runs to the end, and the saved options.ini is read back.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "dialog_model/sheet_model.h"

namespace web {

// The game's folder in the memory file system.
inline constexpr char kGameFolder[] = "/game";

// What the session starts from.
struct SessionInput {
  std::string machineText;               // a profile, or a report that carries one
  // The player's options.ini; for a report without one, the options.ini
  // that its "Current choices" lines describe.
  std::optional<std::string> optionsIni;
  std::vector<std::string> archives;     // texture archives present in static/
  bool readOnlyOptions = false;          // options.ini may not be written
  std::uint64_t failCall = 0;            // as halcyra-sim --fail-call; 0: none
};

// The state the page draws, as JSON (texts as 8-bit strings, each byte
// 0x80-0xFF as the character of that number).
//   {"state":"sheet", "caption", "tabs":[..], "active":N, "cursor":"arrow|wait",
//    "page":{"id","width","height","controls":[{"index","id","kind","text","x","y","w","h",
//            "enabled","visible","check","items":[..],"curSel","group","tabstop","bitmap"}]},
//    "buttons":[{"id","text","enabled","visible"}],
//    "box":null | {"id","icon","text","caption"}}
//   {"state":"done", "result":"ok|cancel|none", "exit":N, "options":TEXT|null}
//   {"state":"error", "message":TEXT}
class Session {
 public:
  // Sets up the memory file system and reads the machine; returns the
  // error's text when the file cannot be used ("" on success).
  std::string Start(const SessionInput& input);

  // Adds a user action and replays; a refused action (a disabled or absent
  // control) is dropped and named in "refused" of the state.
  std::string Act(const dm::Action& action);
  // The user dismissed the message box on screen.
  std::string AnswerBox();
  // The state now (replays).
  std::string State();

  // The actions so far, as a scenario script for halcyra-sim.
  std::string Script() const;

  // The player's options.ini the session starts from, and whether it was
  // rebuilt from a report's lines: {"options":TEXT|null,"fromReport":BOOL}.
  std::string Options() const;

 private:
  std::string Replay();

  SessionInput m_input;
  bool m_started = false;
  std::vector<dm::Action> m_actions;
  int m_boxesAnswered = 0;
  bool m_optionsFromReport = false;
};

// The script line of one action ("click 1002", "select 1003 2", ...).
std::string ScriptLine(const dm::Action& action);

// Escapes `text` as a JSON string (with the quotes): bytes 0x80-0xFF as
// \u0080-\u00FF, controls as \u00XX.
std::string JsonString(const std::string& text);

}  // namespace web
