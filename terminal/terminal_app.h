// Runs the system with its sheet drawn in the terminal: the dialog model's
// platform, whose user is the terminal front end.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

namespace term {

// Exit code when the terminal cannot be used.
constexpr int kNoTerminalExit = 2;

// Runs `system` (the application's entry, which returns the exit code) on
// the dialog model, drawn in the terminal on standard input and output, with
// `appName` as the application's name. Returns the system's exit code (also
// one given to ExitProcess), or kNoTerminalExit after a message on `err`
// when standard input or output is not a terminal, or the terminal type is
// unknown or cannot place the cursor. The terminal is restored before this returns.
int RunInTerminal(const std::function<int()>& system, const std::string& appName, std::FILE* err);

// Puts the pages' pictures, scaled at build time, into the renderer's cache.
void PreloadBuiltInPictures();

// The running executable's file name without its extension, or `fallback`.
std::string ExecutableName(const std::string& fallback);

}  // namespace term
