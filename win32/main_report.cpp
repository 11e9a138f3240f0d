// halcyra-report.exe: the hardware report of this computer, as Halcyra
// Setup sees it, for the player to send to support. It runs the same probes
// as Halcyra Setup, on the real DirectDraw, Direct3D, DirectSound,
// glide2x.dll and registry, with the platform captured, so that the report
// carries a machine profile that halcyra-sim replays.
//
//   halcyra-report.exe                 writes halcyra-report.txt (the report
//                                      with the machine profile at its end)
//                                      in the game's folder, else in the
//                                      user's documents, and says where (on
//                                      the command prompt it was started
//                                      from, else in a message box)
//   halcyra-report.exe --stdout        prints the report on standard output
//   halcyra-report.exe --profile FILE  writes the machine profile to FILE
//   --date TEXT                        the report's date (for tests)
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "base/printable_text.h"
#include "simulated/inventory_report.h"
#include "win32/host.h"

namespace {

constexpr char kReportName[] = "halcyra-report.txt";
constexpr char kCaption[] = "Halcyra Setup hardware report";

// "Windows 10.0 (build 19045)", and the Wine version when Wine runs it.
std::string SystemDescription() {
  std::string text = "Windows";
  HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
  using RtlGetVersionProc = LONG(WINAPI*)(OSVERSIONINFOW*);
  using WineVersionProc = const char*(CDECL*)();
  if (ntdll != nullptr) {
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
    auto rtlGetVersion = reinterpret_cast<RtlGetVersionProc>(
        reinterpret_cast<void*>(::GetProcAddress(ntdll, "RtlGetVersion")));
    if (rtlGetVersion != nullptr && rtlGetVersion(&version) == 0) {
      text += " " + std::to_string(version.dwMajorVersion) + "." + std::to_string(version.dwMinorVersion) +
              " (build " + std::to_string(version.dwBuildNumber) + ")";
    }
    auto wineVersion = reinterpret_cast<WineVersionProc>(
        reinterpret_cast<void*>(::GetProcAddress(ntdll, "wine_get_version")));
    if (wineVersion != nullptr) text += std::string(", under Wine ") + wineVersion();
  }
  text += sizeof(void*) == 8 ? ", 64-bit report" : ", 32-bit report";
  return text;
}

// The folder this program lies in.
std::string ProgramFolder() {
  std::vector<char> path(MAX_PATH);
  for (;;) {
    const DWORD length = ::GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return ".";
    if (length < path.size()) {
      std::string text(path.data(), length);
      const std::size_t slash = text.find_last_of("\\/");
      return slash == std::string::npos ? "." : text.substr(0, slash);
    }
    path.resize(path.size() * 2);
  }
}

// The user's documents folder, through shell32 loaded at run time (the
// programs import system DLLs of the kernel, user and graphics only).
std::optional<std::string> DocumentsFolder() {
  using GetFolderPathProc = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPSTR);
  constexpr int kPersonal = 0x0005;  // CSIDL_PERSONAL
  std::optional<std::string> folder;
  if (HMODULE shell = ::LoadLibraryA("shell32.dll")) {
    auto getFolderPath = reinterpret_cast<GetFolderPathProc>(
        reinterpret_cast<void*>(::GetProcAddress(shell, "SHGetFolderPathA")));
    char path[MAX_PATH] = {};
    if (getFolderPath != nullptr && getFolderPath(nullptr, kPersonal, nullptr, 0, path) == S_OK) folder = path;
    ::FreeLibrary(shell);
  }
  if (!folder) {
    if (const char* profile = std::getenv("USERPROFILE")) folder = std::string(profile) + "\\Documents";
  }
  return folder;
}

// Writes `text` with Windows line ends; false when the file cannot be
// written whole.
bool WriteText(const std::string& path, const std::string& text) {
  std::string lines;
  lines.reserve(text.size() + text.size() / 32);
  for (char c : text) {
    if (c == '\n') lines += '\r';
    lines += c;
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << lines;
  out.close();
  if (!out) ::DeleteFileA(path.c_str());
  return static_cast<bool>(out);
}

// Started from a command prompt, the console is shared with it (or the
// output goes to a file or a pipe that whoever started the program reads):
// where the report went is said there, and no box waits for a click.
// Started from Explorer the console is this program's alone: it goes, so
// that only the message box shows. True when started from a prompt.
bool KeepPromptConsole() {
  DWORD processes[2];
  const DWORD count = ::GetConsoleProcessList(processes, 2);
  const DWORD output = ::GetFileType(::GetStdHandle(STD_OUTPUT_HANDLE));
  const bool redirected = output == FILE_TYPE_DISK || output == FILE_TYPE_PIPE;
  if (count == 1 && !redirected) ::FreeConsole();
  return count > 1 || redirected;
}

// Tells the player: on the prompt's console, else in a message box.
void Tell(bool onPrompt, const std::string& message, UINT icon) {
  if (onPrompt) {
    std::fputs((message + "\n").c_str(), icon == MB_ICONERROR ? stderr : stdout);
    return;
  }
  ::MessageBoxA(nullptr, message.c_str(), kCaption, MB_OK | icon);
}

int WriteReportFile(const std::string& text, const std::string& installFolder, bool installPathSet, bool onPrompt) {
  std::vector<std::string> folders;
  folders.push_back(installPathSet ? installFolder : ProgramFolder());
  if (const auto documents = DocumentsFolder()) folders.push_back(*documents);
  std::string tried;
  for (const std::string& folder : folders) {
    const std::string path = folder + "\\" + kReportName;
    if (WriteText(path, text)) {
      const std::string message = "The hardware report is in\n\n" + path +
                                  "\n\nPlease send this file to Halcyra support.";
      Tell(onPrompt, message, MB_ICONINFORMATION);
      return 0;
    }
    tried += "\n" + path;
  }
  const std::string message = "The hardware report could not be written to:\n" + tried +
                              "\n\nStart halcyra-report.exe --stdout > report.txt from a command prompt instead.";
  Tell(onPrompt, message, MB_ICONERROR);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  bool toStdout = false;
  std::optional<std::string> profile;
  std::optional<std::string> date;
  for (int index = 1; index < argc; ++index) {
    const std::string argument = argv[index];
    if (argument == "--stdout") {
      toStdout = true;
    } else if ((argument == "--profile" || argument == "--date") && index + 1 < argc) {
      (argument == "--profile" ? profile : date) = std::string(argv[++index]);
    } else {
      std::fprintf(stderr, "usage: halcyra-report.exe [--stdout] [--profile FILE] [--date TEXT]\n");
      return 2;
    }
  }
  const bool fileForSupport = !toStdout && !profile;
  const bool onPrompt = fileForSupport && KeepPromptConsole();
  _setmode(_fileno(stdout), _O_BINARY);

  win32::WindowsHost host(::GetModuleHandleA(nullptr));
  sim::ProbeRun run = sim::RunProbes();
  const std::string system = SystemDescription();
  run.captured.name = "This computer";
  run.captured.description = system;
  const sim::ReportHeader header{"halcyra-report", date.value_or(sim::Today()), system};

  int status = 0;
  if (toStdout) {
    std::fputs(sim::SupportReport(header, run).c_str(), stdout);
    std::fflush(stdout);
  }
  if (profile && !WriteText(*profile, sim::CapturedProfile(header, run))) {
    std::fprintf(stderr, "halcyra-report: cannot write %s\n", printable::Escape(*profile).c_str());
    status = 1;
  }
  if (fileForSupport) {
    status = WriteReportFile(sim::SupportFile(header, run), run.installFolder, run.captured.installPath.has_value(),
                             onPrompt);
  }
  return status;
}
