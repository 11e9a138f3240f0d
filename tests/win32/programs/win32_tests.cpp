// Tests of the Windows layer, run under Wine: the real property sheet and
// controls against the dialog model (the same scripts must print the same
// events on both), the scenario driver's faults, message boxes, the
// resources in the executable, the registry and the file operations.
//
// Usage: halcyra-win32-tests.exe [FILTER]   runs the cases whose name holds FILTER
//        halcyra-win32-tests.exe --child …  (used by the cases themselves)
#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <regex>
#include <string>
#include <vector>

#include "app/message_text.h"
#include "check.h"
#include "dialog_model/scenario.h"
#include "res/dialogs.h"
#include "settings/recovery_record.h"
#include "res/resource.h"
#include "res/strings.h"
#include "test_sheets.h"
#include "hardware/glide.h"
#include "hardware/inventory.h"
#include "win32/directx_win32.h"
#include "win32/file_system_win32.h"
#include "win32/registry_win32.h"
#include "win32/scenario_driver.h"
#include "win32/ui_platform_win32.h"

using namespace halcyra;

namespace {

using check::ReadAll;
using check::ReadBytes;
using check::WriteBytes;

win32::Win32Platform* g_platform = nullptr;

struct Outcome {
  int code = 0;
  std::string out;
  std::string err;
};

using System = std::function<int(std::FILE* out)>;

// Plays `script` on the real dialog manager (`onWindows`), or on the dialog
// model (which installs its own platform while it runs).
Outcome Run(bool onWindows, const std::string& script, const System& system) {
  Outcome outcome;
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  ui::UiPlatformSlot::Install(g_platform);
  const auto play = [&] { return system(out); };
  const std::string name = win32::ModuleBaseName(nullptr);
  outcome.code = onWindows ? win32::RunScenario(script, play, *g_platform, out, err)
                           : dm::RunScenario(script, play, name, out, err);
  outcome.out = ReadAll(out);
  outcome.err = ReadAll(err);
  std::fclose(out);
  std::fclose(err);
  ui::UiPlatformSlot::Install(g_platform);
  return outcome;
}

// ---------------------------------------------------------------------------
// Child processes, for the runs that end the process.

std::string SelfPath() {
  std::vector<char> path(MAX_PATH);
  for (;;) {
    const DWORD length = ::GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) return std::string(path.data(), length);
    path.resize(path.size() * 2);
  }
}

std::string TempDirectory() {
  char buffer[MAX_PATH + 1] = {};
  const DWORD length = ::GetTempPathA(sizeof buffer, buffer);
  return std::string(buffer, length);
}

// Runs this program with `arguments`; its standard output and error are
// returned, and its exit code as a signed number.
Outcome RunChild(const std::string& arguments) {
  static int counter = 0;
  const std::string base = TempDirectory() + "halcyra-child-" + std::to_string(::GetCurrentProcessId()) +
                           "-" + std::to_string(++counter);
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE out = ::CreateFileA((base + ".out").c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  HANDLE err = ::CreateFileA((base + ".err").c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = out;
  startup.hStdError = err;
  PROCESS_INFORMATION process{};
  // Built by appending: GCC 12 warns falsely (-Wrestrict) about "\"" + text.
  std::string command(1, '"');
  command.append(SelfPath()).append("\" ").append(arguments);
  Outcome outcome;
  if (!::CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &process)) {
    outcome.code = 9999;
  } else {
    ::WaitForSingleObject(process.hProcess, 60000);
    DWORD code = 0;
    ::GetExitCodeProcess(process.hProcess, &code);
    outcome.code = static_cast<int>(code);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
  }
  ::CloseHandle(out);
  ::CloseHandle(err);
  outcome.out = ReadBytes(base + ".out");
  outcome.err = ReadBytes(base + ".err");
  ::DeleteFileA((base + ".out").c_str());
  ::DeleteFileA((base + ".err").c_str());
  return outcome;
}

int ChildMain(int argc, char** argv) {
  const std::string what = argc > 2 ? argv[2] : "";
  if (what == "script" && argc > 4) {
    const System system = std::strcmp(argv[3], "probe") == 0 ? System(&wintest::ProbeSystem) : System(&wintest::RecordingSystem);
    return win32::RunScenario(ReadBytes(argv[4]), [&] { return system(stdout); }, *g_platform, stdout,
                              stderr);
  }
  if (what == "give-up") {
    return win32::RunScenario("", [] { return wintest::GiveUpSystem(stdout); }, *g_platform, stdout, stderr);
  }
  if (what == "close-sheet" && argc > 3) {
    // Another program's sheet: waits for the top-level window titled
    // argv[3], checks that it shows OK and Cancel and no Help button, and
    // closes it from its title bar.
    HWND sheet = nullptr;
    for (int tries = 0; tries < 300 && sheet == nullptr; ++tries) {
      sheet = ::FindWindowA(nullptr, argv[3]);
      if (sheet == nullptr || !::IsWindowVisible(sheet)) {
        sheet = nullptr;
        ::Sleep(100);
      }
    }
    if (sheet == nullptr) {
      std::fprintf(stderr, "no window titled \"%s\" appeared\n", argv[3]);
      return 1;
    }
    ::Sleep(300);
    auto shown = [&](int id) {
      HWND button = ::GetDlgItem(sheet, id);
      return button != nullptr && ::IsWindowVisible(button);
    };
    std::printf("sheet ok=%d cancel=%d help=%d apply=%d\n", shown(IDOK), shown(IDCANCEL), shown(IDHELP),
                shown(0x3021));
    ::PostMessageA(sheet, WM_SYSCOMMAND, SC_CLOSE, 0);
    return 0;
  }
  std::fprintf(stderr, "unknown child %s\n", what.c_str());
  return 3;
}

// ---------------------------------------------------------------------------
// The sheet contract and the controls: the real dialog manager prints what
// the dialog model prints.

struct ParityCase {
  const char* name;
  const char* script;
  bool probe = false;  // runs the probe sheet instead of the recording sheet
};

void ExpectSameOnBoth(const System& system, const ParityCase& c) {
  const Outcome model = Run(false, c.script, system);
  const Outcome real = Run(true, c.script, system);
  if (real.out != model.out) {
    check::Fail(__FILE__, __LINE__,
                std::string("case ") + c.name + ": Windows printed\n" + real.out + "--- the model printed\n" + model.out);
  }
  EXPECT_EQ(real.code, model.code);
  EXPECT_EQ(real.err, std::string());
}

CHECK_CASE(SheetContractMatchesTheModel) {
  const ParityCase cases[] = {
      {"end-of-script", ""},
      {"cancel", "cancel\n"},
      {"close", "tab 1\nclose\n"},
      {"tabs", "tab 1\ntab 0\ntab 0\ntab 1\n"},
      {"ok-first-page", "ok\n"},
      {"ok-both-pages", "tab 1\ntab 0\nok\n"},
      {"radio-groups", "click 1010\nclick 1012\nclick 1008\ndump\nclick 1002\nclick 1003\ndump\n"},
      {"check-box", "tab 1\nclick 1015\nclick 1015\nclick 1015\ndump\n"},
      {"clicks-without-notification", "click 1004\nclick 1007\ndump\n"},
      {"after-close", "cancel\nclick 1002\n"},
  };
  for (const auto& c : cases) ExpectSameOnBoth(&wintest::RecordingSystem, c);
  // A page that refuses OK keeps the sheet open on the page shown, and the
  // pages after it are not asked; the next OK closes it.
  const ParityCase refused[] = {
      {"ok-refused-then-ok", "tab 1\nok\ndump\nok\n"},
      {"ok-refused-then-cancel", "ok\ncancel\n"},
      {"ok-refused-at-the-end", "ok\n"},
  };
  for (const auto& c : refused) ExpectSameOnBoth(&wintest::RefusingSystem, c);
}

CHECK_CASE(ControlsMatchTheModel) {
  const ParityCase cases[] = {
      {"filled", "dump\n"},
      {"select", "select 1004 3\ndump\nselect 1007 0\ndump\n"},
      {"sorted-combo", "tab 1\ndump\nselect 1014 2\ndump\n"},
      {"radio-after-code", "click 1011\ndump\n"},
      // The edit fields do not scroll: what does not fit is refused.
      {"long-typing", "type 1004 xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx\n"
                      "type 1007 xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx\ndump\n"},
  };
  for (const auto& c : cases) ExpectSameOnBoth(&wintest::ProbeSystem, c);
}

// Typing into a drop-down combo box's edit field keeps the text and, with
// the list closed, leaves no entry current, even when the text begins an
// entry: the dialog manager looks the text up without selecting it.
CHECK_CASE(TypingIntoAComboBoxKeepsTheTextAndClearsTheCurrentEntry) {
  for (const char* typed : {"Hello There", "alpha"}) {
    const Outcome real =
        Run(true, std::string("select 1004 1\ntype 1004 ") + typed + "\ndump\n", &wintest::ProbeSystem);
    EXPECT(real.out.find("1004 combo enabled=1 current=-1 items=\"beta\",\"Alpha\",\"alphabet\",\"Gamma\" text=\"" +
                         std::string(typed) + "\"") != std::string::npos);
    EXPECT_EQ(real.err, std::string());
  }
}

CHECK_CASE(MessageBoxesAreRealAndAnswered) {
  const ParityCase cases[] = {
      {"stop", "click 1012\n"},
      {"two-warnings", "click 1011\n"},
      {"ok-hook", "ok\n"},
  };
  for (const auto& c : cases) ExpectSameOnBoth(&wintest::BoxSystem, c);
}

CHECK_CASE(ABoxWhileThePageInitialisesAndTheEndOfTheProcess) {
  const Outcome child = RunChild("--child give-up");
  EXPECT_EQ(child.out, "box 103 stop \"" + std::string(res::FindString(res::IDS_NO_3D_HARDWARE)) +
                           "\"\nexit -1\n");
  EXPECT_EQ(child.code, -1);
  EXPECT_EQ(child.err, std::string());
}

CHECK_CASE(ScriptFaultsEndTheRunWithCodeTwo) {
  const ParityCase cases[] = {
      {"unknown-control", "click 4711\n"},
      {"static-control", "click -1\n"},
      {"help-button", "tab 1\nclick 1016\nclick 9\n"},
      {"disabled", "click 1002\nclick 1003\n", true},
      {"not-a-combo", "select 1002 0\n"},
      {"no-such-entry", "select 1004 0\n"},
      {"no-such-page", "tab 2\n"},
      {"parse-error", "click\n"},
      {"unknown-action", "jump 3\n"},
  };
  const std::string script = TempDirectory() + "halcyra-fault.txt";
  for (const auto& c : cases) {
    WriteBytes(script, c.script);
    const Outcome child = RunChild(std::string("--child script ") + (c.probe ? "probe" : "recording") + " \"" +
                                   script + "\"");
    const Outcome model =
        Run(false, c.script, c.probe ? System(&wintest::ProbeSystem) : System(&wintest::RecordingSystem));
    EXPECT_EQ(child.code, 2);
    EXPECT_EQ(model.code, 2);
    if (child.err != model.err) {
      check::Fail(__FILE__, __LINE__, std::string(c.name) + ": Windows said " + child.err + " the model " + model.err);
    }
  }
  ::DeleteFileA(script.c_str());
}

// ---------------------------------------------------------------------------
// The windows built from the templates. (The sheet's own buttons are checked
// on the shipped program by run_wine_tests.sh.)

CHECK_CASE(PagesAreBuiltFromTheTemplates) {
  std::vector<std::string> pageCaptions;
  std::vector<int> inspected;
  auto inspectPage = [&](ui::CPropertyPage& page) {
    const res::DialogTemplate* dialog = res::FindDialog(static_cast<int>(page.TemplateId()));
    const int anyId = dialog->id == res::IDD_HARDWARE ? res::IDC_GLIDE : res::IDC_EAX;
    HWND pageWindow = ::GetParent(dynamic_cast<win32::HwndWindow*>(page.GetDlgItem(anyId)->m_hWnd)->Handle());
    HWND child = ::GetWindow(pageWindow, GW_CHILD);
    int count = 0;
    for (const auto& control : dialog->controls) {
      EXPECT(child != nullptr);
      if (child == nullptr) break;
      char name[64] = {};
      ::GetClassNameA(child, name, sizeof name);
      const char* expected = control.kind == res::ControlKind::ComboBox ? "ComboBox"
                             : control.kind == res::ControlKind::Edit   ? "Edit"
                             : (control.kind == res::ControlKind::Static ||
                                control.kind == res::ControlKind::Picture)
                                 ? "Static"
                                 : "Button";
      EXPECT_EQ(std::string(name), std::string(expected));
      const auto style = static_cast<std::uint32_t>(::GetWindowLongA(child, GWL_STYLE));
      const auto exStyle = static_cast<std::uint32_t>(::GetWindowLongA(child, GWL_EXSTYLE));
      // Every style bit of the template, group starts and tab stops
      // included; the dialog manager draws a bordered control with a sunken
      // edge instead of the border, and a combo box gives its scroll bar to
      // its list.
      std::uint32_t wanted = control.style;
      if ((wanted & WS_BORDER) != 0) {
        EXPECT((style & WS_BORDER) != 0 || (exStyle & WS_EX_CLIENTEDGE) != 0);
        wanted &= ~static_cast<std::uint32_t>(WS_BORDER);
      }
      if (control.kind == res::ControlKind::ComboBox) wanted &= ~static_cast<std::uint32_t>(WS_VSCROLL);
      EXPECT_EQ(style & wanted, wanted);
      if (control.kind != res::ControlKind::ComboBox && control.kind != res::ControlKind::Edit &&
          control.kind != res::ControlKind::Picture) {
        EXPECT_EQ(win32::WindowText(child), std::string(control.text));
      }
      if (control.kind == res::ControlKind::Picture) {
        // The picture fills its frame: drawn at the control's pixel size,
        // whatever the DPI made of the template's dialog units.
        const auto bitmap = reinterpret_cast<HBITMAP>(::SendMessageA(child, STM_GETIMAGE, IMAGE_BITMAP, 0));
        EXPECT(bitmap != nullptr);
        BITMAP info{};
        if (bitmap != nullptr) ::GetObjectA(bitmap, sizeof info, &info);
        RECT client{};
        ::GetClientRect(child, &client);
        EXPECT(client.right > 0 && client.bottom > 0);
        EXPECT_EQ(info.bmWidth, client.right);
        EXPECT_EQ(info.bmHeight, client.bottom);
        // The resource itself keeps the design size.
        const auto resource = reinterpret_cast<HBITMAP>(::LoadImageA(
            ::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(control.bitmapId), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
        BITMAP design{};
        if (resource != nullptr) ::GetObjectA(resource, sizeof design, &design);
        EXPECT_EQ(design.bmWidth, 116L);
        EXPECT_EQ(design.bmHeight, 270L);
        if (resource != nullptr) ::DeleteObject(resource);
      }
      ++count;
      child = ::GetWindow(child, GW_HWNDNEXT);
    }
    EXPECT(child == nullptr);
    inspected.push_back(count);
    pageCaptions.push_back(win32::WindowText(pageWindow));
  };
  const Outcome real = Run(true, "tab 1\n", [&](std::FILE*) {
    wintest::InspectingSheet sheet(inspectPage);
    return static_cast<int>(sheet.DoModal());
  });
  EXPECT_EQ(real.code, IDCANCEL);
  EXPECT_EQ(inspected.size(), 2u);
  if (inspected.size() == 2) {
    EXPECT_EQ(inspected[0], static_cast<int>(res::HardwareDialog().controls.size()));
    EXPECT_EQ(inspected[1], static_cast<int>(res::AudioDialog().controls.size()));
    EXPECT_EQ(pageCaptions[0], std::string("3D Hardware"));
    EXPECT_EQ(pageCaptions[1], std::string("Audio Selections"));
  }
  EXPECT_EQ(real.err, std::string());
}

// ---------------------------------------------------------------------------
// The platform's other operations.

// A list of hundreds of modes (as today's drivers offer: the 4K profile
// holds 282 over its three drivers) dropped down on the real resolution
// combo: the list is no taller than the monitor's work area, shows a
// screenful of entries at most and scrolls to the rest.
CHECK_CASE(ALongModeListDropsToASaneHeightAndScrolls) {
  int count = 0, itemHeight = 0, listHeight = 0, workHeight = 0;
  bool scrolls = false;
  auto inspectPage = [&](ui::CPropertyPage& page) {
    if (page.TemplateId() != static_cast<unsigned>(res::IDD_HARDWARE)) return;
    HWND combo = dynamic_cast<win32::HwndWindow*>(page.GetDlgItem(res::IDC_RESOLUTION)->m_hWnd)->Handle();
    for (int width = 640; count < 282; width += 8) {
      for (const int depth : {8, 16, 32}) {
        const std::string text = std::to_string(width) + " x " + std::to_string(width * 9 / 16) + " x " +
                                 std::to_string(depth);
        ::SendMessageA(combo, CB_INSERTSTRING, static_cast<WPARAM>(count++), reinterpret_cast<LPARAM>(text.c_str()));
      }
    }
    ::SendMessageA(combo, CB_SHOWDROPDOWN, TRUE, 0);
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    if (::GetComboBoxInfo(combo, &info) && info.hwndList != nullptr) {
      RECT list{};
      ::GetWindowRect(info.hwndList, &list);
      listHeight = list.bottom - list.top;
      itemHeight = static_cast<int>(::SendMessageA(combo, CB_GETITEMHEIGHT, 0, 0));
      scrolls = (::GetWindowLongA(info.hwndList, GWL_STYLE) & WS_VSCROLL) != 0;
      MONITORINFO monitor{};
      monitor.cbSize = sizeof monitor;
      ::GetMonitorInfoA(::MonitorFromWindow(info.hwndList, MONITOR_DEFAULTTONEAREST), &monitor);
      workHeight = monitor.rcWork.bottom - monitor.rcWork.top;
    }
    ::SendMessageA(combo, CB_SHOWDROPDOWN, FALSE, 0);
  };
  const Outcome real = Run(true, "", [&](std::FILE*) {
    wintest::InspectingSheet sheet(inspectPage);
    return static_cast<int>(sheet.DoModal());
  });
  EXPECT_EQ(real.code, IDCANCEL);
  EXPECT(itemHeight > 0);
  EXPECT(listHeight >= 5 * itemHeight);
  EXPECT(listHeight <= workHeight);
  EXPECT(listHeight <= 31 * itemHeight);
  EXPECT(scrolls);
}

CHECK_CASE(TheManifestDeclaresPerMonitorDpiAwareness) {
  // RT_MANIFEST 24, CREATEPROCESS_MANIFEST_RESOURCE_ID 1.
  HRSRC found = ::FindResourceA(nullptr, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
  EXPECT(found != nullptr);
  if (found == nullptr) return;
  const auto* data = static_cast<const char*>(::LockResource(::LoadResource(nullptr, found)));
  const std::string manifest(data != nullptr ? data : "", data != nullptr ? ::SizeofResource(nullptr, found) : 0);
  EXPECT(manifest.find(">true/pm</dpiAware>") != std::string::npos);
  EXPECT(manifest.find(">PerMonitorV2, PerMonitor</dpiAwareness>") != std::string::npos);
  EXPECT(manifest.find("level=\"asInvoker\"") != std::string::npos);
}

CHECK_CASE(StringTableAndApplicationName) {
  for (const auto& entry : res::StringTable()) {
    char* text = LoadMessageText(entry.id);
    EXPECT_EQ(std::string(text != nullptr ? text : "(null)"), std::string(entry.text));
    delete[] text;
  }
  char* missing = LoadMessageText(4711);
  EXPECT_EQ(std::string(missing), std::string());
  delete[] missing;
  char small[8];
  EXPECT_EQ(g_platform->LoadString(res::IDS_NO_3D_HARDWARE, small, sizeof small), 7);
  EXPECT_EQ(std::string(small), std::string("No comp"));
  EXPECT_EQ(g_platform->ApplicationName(), std::string("halcyra-win32-tests"));
  EXPECT_EQ(ui::AfxGetAppName(), std::string("halcyra-win32-tests"));
}

CHECK_CASE(MetricsCursorsAndTextMeasuring) {
  EXPECT(g_platform->GetSystemMetrics(SM_CXVSCROLL) > 0);
  EXPECT(g_platform->GetSystemMetrics(SM_CXEDGE) > 0);
  g_platform->SetCursor(ui::Cursor::Wait);
  EXPECT(::GetCursor() == ::LoadCursorA(nullptr, MAKEINTRESOURCEA(32514)));
  g_platform->SetCursor(ui::Cursor::Arrow);
  EXPECT(::GetCursor() == ::LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)));

  HWND window = ::CreateWindowExA(0, "STATIC", "x", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  win32::HwndWindow wrapped(window);
  auto dc = wrapped.GetDC();
  const ui::Size one = dc->GetTextExtent("W");
  const ui::Size ten = dc->GetTextExtent("WWWWWWWWWW");
  EXPECT(one.cx > 0 && one.cy > 0);
  EXPECT_EQ(ten.cx, 10 * one.cx);
  EXPECT_EQ(ten.cy, one.cy);
  EXPECT_EQ(dc->GetTextExtent("").cx, 0);
  dc.reset();
  ::DestroyWindow(window);
}

// ---------------------------------------------------------------------------
// Registry

constexpr char kTestKey[] = "Software\\Corvane\\HalcyraTests\\";
// HKEY_CURRENT_USER as the registry interface carries it.
constexpr reg::HKEY kCurrentUser = 0x80000001u;

CHECK_CASE(RegistryOpensCreatesAndQueries) {
  win32::Win32Registry registry;
  ::RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Corvane\\HalcyraTests");
  reg::HKEY key = 0;
  EXPECT_EQ(registry.CreateKeyEx(kCurrentUser, kTestKey, KEY_ALL_ACCESS, &key), 0L);
  EXPECT(key != 0);
  const char path[] = "C:\\Games\\Halcyra";
  ::RegSetValueExA(reinterpret_cast<HKEY>(key), "Install Path", 0, REG_SZ,
                   reinterpret_cast<const BYTE*>(path), sizeof path);
  // A text stored without its terminator is read with one.
  ::RegSetValueExA(reinterpret_cast<HKEY>(key), "Unterminated", 0, REG_SZ,
                   reinterpret_cast<const BYTE*>("abc"), 3);
  // Each read: the value, the buffer's size (no buffer: 0) and what it gives.
  struct Read {
    const char* value;
    std::uint32_t size;
    long result;
    std::uint32_t sizeAfter;
    std::string bytes;  // the buffer afterwards, up to the first terminator
  };
  const std::string untouched(8, 'x');
  const Read reads[] = {
      {"Missing", 32, ERROR_FILE_NOT_FOUND, 32, std::string(32, 'x')},
      {"Install Path", 32, ERROR_SUCCESS, sizeof path, path},
      // Too small: the size needed, and the buffer untouched.
      {"Install Path", 8, ERROR_MORE_DATA, sizeof path, untouched},
      // Exactly the text and its terminator fits.
      {"Install Path", sizeof path, ERROR_SUCCESS, sizeof path, path},
      // A null buffer asks for the size.
      {"Install Path", 0, ERROR_SUCCESS, sizeof path, ""},
      {"Unterminated", 32, ERROR_SUCCESS, 4, "abc"},
  };
  for (const Read& read : reads) {
    std::vector<char> buffer(read.size, 'x');
    std::uint32_t type = 0;
    std::uint32_t size = read.size;
    char* data = read.size != 0 ? buffer.data() : nullptr;
    EXPECT_EQ(registry.QueryValueEx(key, read.value, &type, data, &size), read.result);
    EXPECT_EQ(size, read.sizeAfter);
    const auto end = std::find(buffer.begin(), buffer.end(), '\0');
    EXPECT_EQ(std::string(buffer.begin(), end), read.bytes);
    if (read.result == ERROR_SUCCESS) EXPECT_EQ(type, static_cast<std::uint32_t>(REG_SZ));
  }
  EXPECT_EQ(registry.CloseKey(key), 0L);

  // Opening again finds the same key and value.
  reg::HKEY again = 0;
  EXPECT_EQ(registry.CreateKeyEx(kCurrentUser, kTestKey, KEY_ALL_ACCESS, &again), 0L);
  std::uint32_t type = 0;
  char buffer[32];
  std::uint32_t size = sizeof buffer;
  EXPECT_EQ(registry.QueryValueEx(again, "Install Path", &type, buffer, &size), ERROR_SUCCESS);
  registry.CloseKey(again);
  ::RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Corvane\\HalcyraTests");
}

// ---------------------------------------------------------------------------
// Files

struct Scratch {
  std::string dir;
  Scratch() {
    dir = TempDirectory() + "halcyra-files-" + std::to_string(::GetCurrentProcessId());
    ::CreateDirectoryA(dir.c_str(), nullptr);
  }
  ~Scratch() {
    for (const std::string& name : Names()) {
      ::SetFileAttributesA((dir + "\\" + name).c_str(), FILE_ATTRIBUTE_NORMAL);
      ::DeleteFileA((dir + "\\" + name).c_str());
    }
    ::RemoveDirectoryA(dir.c_str());
  }
  std::string Path(const char* name) const { return dir + "\\" + name; }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA((dir + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
      const std::string name = found.cFileName;
      if (name != "." && name != "..") names.push_back(name);
    } while (::FindNextFileA(search, &found));
    ::FindClose(search);
    return names;
  }
};

CHECK_CASE(FilesOpenReadAndReplace) {
  Scratch scratch;
  win32::Win32FileSystem files;
  const std::string ini = scratch.Path("options.ini");
  EXPECT(!files.CanOpenForReading(ini));
  EXPECT(!files.Exists(ini));
  EXPECT(!files.ReadFile(ini).has_value());
  EXPECT(!files.CanOpenForReading(scratch.dir));

  const std::string original("[Game]\r\nGame Rasterizer=2\r\n\0binary\xff", 36);
  WriteBytes(ini, original);
  EXPECT(files.CanOpenForReading(ini));
  EXPECT(files.Exists(ini));
  EXPECT(files.ReadFile(ini) == std::optional<std::string>(original));

  // A replace leaves the new content and nothing else in the folder, and the
  // file keeps its hidden attribute.
  ::SetFileAttributesA(ini.c_str(), FILE_ATTRIBUTE_HIDDEN);
  std::string big(3 * 1024 * 1024 + 17, 'a');
  for (std::size_t i = 0; i < big.size(); i += 61) big[i] = '\n';
  EXPECT(files.ReplaceFile(ini, big));
  EXPECT(files.ReadFile(ini) == std::optional<std::string>(big));
  EXPECT_EQ(scratch.Names().size(), 1u);
  EXPECT((::GetFileAttributesA(ini.c_str()) & FILE_ATTRIBUTE_HIDDEN) != 0);
  EXPECT(files.ReplaceFile(ini, ""));
  EXPECT(files.ReadFile(ini) == std::optional<std::string>(std::string()));

  // A read-only file is neither opened for update nor replaced.
  WriteBytes(ini, original);
  ::SetFileAttributesA(ini.c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT(files.CanOpenForReading(ini));
  EXPECT(!files.ReplaceFile(ini, "new"));
  EXPECT(files.ReadFile(ini) == std::optional<std::string>(original));
  EXPECT_EQ(scratch.Names().size(), 1u);
  ::SetFileAttributesA(ini.c_str(), FILE_ATTRIBUTE_NORMAL);

  // A folder that does not exist: nothing is written anywhere.
  EXPECT(!files.ReplaceFile(scratch.Path("missing\\options.ini"), "x"));
  // A directory in the file's place is not replaced.
  ::CreateDirectoryA(scratch.Path("sub").c_str(), nullptr);
  EXPECT(!files.ReplaceFile(scratch.Path("sub"), "x"));
  ::RemoveDirectoryA(scratch.Path("sub").c_str());
}

// Sets a file's last write time `seconds` into the past.
void Age(const std::string& path, unsigned seconds) {
  HANDLE file = ::CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  EXPECT(file != INVALID_HANDLE_VALUE);
  FILETIME now{};
  ::GetSystemTimeAsFileTime(&now);
  ULARGE_INTEGER ticks{};
  ticks.LowPart = now.dwLowDateTime;
  ticks.HighPart = now.dwHighDateTime;
  ticks.QuadPart -= static_cast<ULONGLONG>(seconds) * 10'000'000ull;
  const FILETIME then{ticks.LowPart, ticks.HighPart};
  EXPECT(::SetFileTime(file, nullptr, nullptr, &then));
  ::CloseHandle(file);
}

// LOCALAPPDATA set to a folder of its own for a test (the in-place saves'
// recovery folder lies below it), and put back after.
struct OwnLocalAppData {
  std::string dir;
  std::string saved;
  bool had = false;
  explicit OwnLocalAppData(const Scratch& scratch) : dir(scratch.Path("local")) {
    char value[MAX_PATH] = {};
    had = ::GetEnvironmentVariableA("LOCALAPPDATA", value, MAX_PATH) > 0;
    saved = value;
    ::CreateDirectoryA(dir.c_str(), nullptr);
    ::SetEnvironmentVariableA("LOCALAPPDATA", dir.c_str());
  }
  std::string Recovery() const { return dir + "\\Halcyra Setup\\Recovery"; }
  ~OwnLocalAppData() {
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA((Recovery() + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        ::DeleteFileA((Recovery() + "\\" + found.cFileName).c_str());
      } while (::FindNextFileA(search, &found));
      ::FindClose(search);
    }
    ::RemoveDirectoryA(Recovery().c_str());
    ::RemoveDirectoryA((dir + "\\Halcyra Setup").c_str());
    ::RemoveDirectoryA(dir.c_str());
    ::SetEnvironmentVariableA("LOCALAPPDATA", had ? saved.c_str() : nullptr);
  }
  bool RecoveryIsEmpty() const {
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA((Recovery() + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return true;
    bool empty = true;
    do {
      const std::string name = found.cFileName;
      if (name != "." && name != "..") empty = false;
    } while (::FindNextFileA(search, &found));
    ::FindClose(search);
    return empty;
  }
};

// A file with a second name is written in place, so both names see the new
// content, and the recovery file is gone afterwards; new files that a
// killed save left beside it a while ago are removed, a young one (a
// running save's) stays.
CHECK_CASE(ReplaceKeepsHardLinksAndRemovesStaleFiles) {
  Scratch scratch;
  const OwnLocalAppData local(scratch);
  win32::Win32FileSystem files;
  const std::string ini = scratch.Path("options.ini");
  WriteBytes(ini, std::string(300, 'o'));
  WriteBytes(ini + ".saving-stale0000000", "left by a killed save");
  Age(ini + ".saving-stale0000000", 120);
  WriteBytes(ini + ".saving-young0000000", "a running save's");
  WriteBytes(ini + ".saving-short", "not a save's name");
  Age(ini + ".saving-short", 120);
  EXPECT(::CreateHardLinkA(scratch.Path("backup.ini").c_str(), ini.c_str(), nullptr));
  EXPECT(files.ReplaceFile(ini, "new"));
  EXPECT(files.ReadFile(ini) == std::optional<std::string>(std::string("new")));
  EXPECT(files.ReadFile(scratch.Path("backup.ini")) == std::optional<std::string>(std::string("new")));
  EXPECT(local.RecoveryIsEmpty());
  std::vector<std::string> names = scratch.Names();
  std::sort(names.begin(), names.end());
  EXPECT(names == (std::vector<std::string>{"backup.ini", "local", "options.ini", "options.ini.saving-short",
                                            "options.ini.saving-young0000000"}));
}

// An in-place save cut short while copying left its recovery file: the next
// read finishes the copy. A recovery file that was cut itself (the save
// never reached the file) is removed and the file read as it is.
CHECK_CASE(AnInPlaceSaveCutShortIsFinishedByTheNextRead) {
  Scratch scratch;
  const OwnLocalAppData local(scratch);
  win32::Win32FileSystem files;
  const std::string ini = scratch.Path("options.ini");
  const std::string oldContent = "[Game]\r\nGameScreenWidth=640\r\nKey=Value e 1\r\n";
  const std::string newContent = "[Game]\r\nGameScreenWidth=1280\r\nKey=Value e 1\r\n";
  const std::string torn = "[Game]\r\nGameScreenWidth=1280\r\nKey=Value e 1\r\n\r\n";
  WriteBytes(ini, oldContent);
  EXPECT(::CreateHardLinkA(scratch.Path("backup.ini").c_str(), ini.c_str(), nullptr));
  EXPECT(files.ReplaceFile(ini, oldContent));  // makes the recovery folder
  HANDLE file = ::CreateFileA(ini.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  BY_HANDLE_FILE_INFORMATION info{};
  EXPECT(::GetFileInformationByHandle(file, &info));
  ::CloseHandle(file);
  char id[40];
  std::snprintf(id, sizeof id, "%08lx-%08lx%08lx", static_cast<unsigned long>(info.dwVolumeSerialNumber),
                static_cast<unsigned long>(info.nFileIndexHigh), static_cast<unsigned long>(info.nFileIndexLow));
  char full[MAX_PATH] = {};
  EXPECT(::GetFullPathNameA(ini.c_str(), MAX_PATH, full, nullptr) > 0);
  const std::string record = filesys::FormatRecoveryRecord({full, id, newContent});
  const std::string recovery = local.Recovery() + "\\" + filesys::RecoveryFileName(id);

  WriteBytes(ini, torn);
  WriteBytes(recovery, record);
  EXPECT(files.ReadFile(ini) == std::optional<std::string>(newContent));
  EXPECT(files.ReadFile(scratch.Path("backup.ini")) == std::optional<std::string>(newContent));
  EXPECT(local.RecoveryIsEmpty());

  WriteBytes(ini, oldContent);
  WriteBytes(recovery, record.substr(0, record.size() - 1));
  EXPECT(files.ReadFile(ini) == std::optional<std::string>(oldContent));
  EXPECT(local.RecoveryIsEmpty());
}

// The user's VirtualStore copy of a file in a virtualized location, for a
// process without elevation.
CHECK_CASE(VirtualStorePathsFollowLocalAppData) {
  win32::Win32FileSystem files;
  char programFiles[MAX_PATH] = {};
  EXPECT(::GetEnvironmentVariableA("ProgramFiles", programFiles, MAX_PATH) > 3);
  char saved[MAX_PATH] = {};
  const bool hadLocal = ::GetEnvironmentVariableA("LOCALAPPDATA", saved, MAX_PATH) > 0;
  ::SetEnvironmentVariableA("LOCALAPPDATA", "C:\\Users\\test\\AppData\\Local");

  HANDLE token = nullptr;
  TOKEN_ELEVATION elevation{};
  DWORD size = 0;
  const bool elevated = ::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token) &&
                        ::GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size) &&
                        elevation.TokenIsElevated != 0;
  if (token != nullptr) ::CloseHandle(token);
  const std::string inside = std::string(programFiles) + "\\Halcyra\\options.ini";
  const auto copy = files.VirtualStorePath(inside);
  const auto elevatedCopy = files.ElevatedUserCopyPath(inside);
  const std::optional<std::string> expected("C:\\Users\\test\\AppData\\Local\\VirtualStore\\" + inside.substr(3));
  // Elevated, the program's own writes are not virtualized, but the user's
  // copy is where the game started normally reads.
  EXPECT(copy == (elevated ? std::nullopt : expected));
  EXPECT(elevatedCopy == (elevated ? expected : std::nullopt));
  EXPECT(!files.VirtualStorePath("C:\\Games\\Halcyra\\options.ini").has_value());
  ::SetEnvironmentVariableA("LOCALAPPDATA", nullptr);
  EXPECT(!files.VirtualStorePath(inside).has_value());
  if (hadLocal) ::SetEnvironmentVariableA("LOCALAPPDATA", saved);
  std::printf("VirtualStore: this process is %s\n", elevated ? "elevated" : "not elevated");
}

// An install folder past MAX_PATH: made, written, read, replaced again (the
// sweep of stale new files included) and judged read-only, whole.
CHECK_CASE(FilesPastMaxPath) {
  Scratch scratch;
  win32::Win32FileSystem files;
  std::string folder = scratch.dir;
  while (folder.size() < 330) folder += "\\" + std::string(40, 'h');
  const std::string ini = folder + "\\options.ini";
  EXPECT(files.MakeDirectories(folder + "\\static"));
  EXPECT(files.Exists(folder + "\\static"));
  EXPECT(!files.Exists(ini));
  EXPECT(files.ReplaceFile(ini, "[Game]\r\n"));
  EXPECT(files.CanOpenForReading(ini));
  EXPECT(files.ReplaceFile(ini, "[Game]\r\nGameScreenWidth=1024\r\n"));
  EXPECT(files.ReadFile(ini) == std::optional<std::string>("[Game]\r\nGameScreenWidth=1024\r\n"));
  EXPECT(!files.IsReadOnly(ini));
  const std::wstring wide = L"\\\\?\\" + std::wstring(ini.begin(), ini.end());
  ::SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT(files.IsReadOnly(ini));
  EXPECT(!files.ReplaceFile(ini, "x"));
  ::SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_NORMAL);
  ::DeleteFileW(wide.c_str());
  for (std::string gone = folder + "\\static"; gone.size() > scratch.dir.size(); gone.resize(gone.rfind('\\'))) {
    ::RemoveDirectoryW((L"\\\\?\\" + std::wstring(gone.begin(), gone.end())).c_str());
  }
}

// The current folder and the program's own, as the game-folder search uses
// them.
CHECK_CASE(CurrentAndProgramFolders) {
  win32::Win32FileSystem files;
  char current[MAX_PATH] = {};
  ::GetCurrentDirectoryA(MAX_PATH, current);
  EXPECT(files.CurrentFolder() == current);
  char module[MAX_PATH] = {};
  const std::string program(module, ::GetModuleFileNameA(nullptr, module, MAX_PATH));
  EXPECT(files.ProgramFolder() == std::optional<std::string>(program.substr(0, program.rfind('\\'))));
}

CHECK_CASE(AReplaceThatCannotRenameKeepsTheOriginal) {
  Scratch scratch;
  win32::Win32FileSystem files;
  const std::string ini = scratch.Path("options.ini");
  WriteBytes(ini, "old");
  // Another program holds the file open without sharing deletion, so the
  // rename over it fails.
  HANDLE held = ::CreateFileA(ini.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  EXPECT(held != INVALID_HANDLE_VALUE);
  EXPECT(!files.ReplaceFile(ini, "new"));
  ::CloseHandle(held);
  EXPECT(files.ReadFile(ini) == std::optional<std::string>(std::string("old")));
  EXPECT_EQ(scratch.Names().size(), 1u);
}

// ---------------------------------------------------------------------------
// The probes on Wine's DirectDraw, Direct3D and DirectSound, and the Glide
// probe through the library loader with the test glide2x.dll.

std::vector<std::int32_t>* g_progress = nullptr;
void RecordProgress(std::int32_t code) {
  if (g_progress != nullptr) g_progress->push_back(code);
}

struct DirectXInstalled {
  win32::Win32DirectDraw directDraw;
  win32::Win32DirectSound directSound;
  win32::Win32LibraryLoader loader;
  DirectXInstalled() {
    dx::DirectDrawSlot::Install(&directDraw);
    dx::DirectSoundSlot::Install(&directSound);
    dll::LibraryLoaderSlot::Install(&loader);
  }
  ~DirectXInstalled() {
    dll::LibraryLoaderSlot::Install(nullptr);
    dx::DirectSoundSlot::Install(nullptr);
    dx::DirectDrawSlot::Install(nullptr);
  }
};

CHECK_CASE(TheInventoryOnTheRealApisReleasesEveryInterface) {
  DirectXInstalled installed;
  std::vector<std::int32_t> progress;
  g_progress = &progress;
  auto* inventory = new HardwareInventory(&RecordProgress);
  g_progress = nullptr;
  EXPECT_EQ(win32::LiveInterfaces(), 0L);

  // 200, one 100 a usable driver, 300, 400, one 500 an openable sound entry.
  std::string steps;
  for (const std::int32_t code : progress) steps += " " + std::to_string(code);
  EXPECT(std::regex_match(steps, std::regex(" 200( 100)+ 300 400( 500)+")));

  // Wine's default driver is listed last (drivers come in reverse order),
  // with the all-zero GUID, and its HAL device is fit.
  EXPECT(inventory->GetDisplayDriverCount() >= 1);
  const std::int32_t last = inventory->GetDisplayDriverCount() - 1;
  const DisplayDriverRecord* record = inventory->GetDisplayDriver(last);
  EXPECT(record != nullptr);
  if (record != nullptr) {
    EXPECT_EQ(std::string(record->description), std::string("DirectDraw HAL"));
    EXPECT_EQ(std::string(record->ddGuidText), std::string("0,0,0,0,0,0,0,0,0,0,0"));
    EXPECT_EQ(std::string(record->d3dGuidText), std::string("2229681632,18090,4559,129,111,0,0,192,32,21,110"));
    EXPECT_EQ(static_cast<int>(record->fit), 1);
    EXPECT(record->modeCount >= 1);
    for (const DisplayModeRecord* mode = record->modes; mode != nullptr; mode = mode->next) {
      EXPECT(mode->width >= 640 && mode->height >= 480 && mode->depth >= 16);
    }
  }
  // Wine's sound devices are listed (the default entry is not) and fail the
  // EAX test: Wine's property set does not know the EAX reverb set.
  EXPECT(inventory->GetSoundDeviceCount() >= 1);
  for (std::int32_t i = 0; i < inventory->GetSoundDeviceCount(); ++i) {
    EXPECT_EQ(static_cast<int>(inventory->GetSoundDevice(i)->eaxSupported), 0);
  }
  delete inventory;
  EXPECT_EQ(win32::LiveInterfaces(), 0L);
}

std::string GlideDirectory(const char* variant) {
  // The test libraries lie in build/<preset>/test-glide/<variant>; this
  // program in build/<preset>/win32/tests.
  std::string path = SelfPath();
  for (int up = 0; up < 3; ++up) path.erase(path.find_last_of('\\'));
  return path + "\\test-glide\\" + variant;
}

struct GlideRun {
  bool present = false;
  std::vector<std::string> modes;
  std::string calls;
};

GlideRun ProbeGlide(const char* variant, const std::string& board) {
  const std::string dir = GlideDirectory(variant);
  WriteBytes(dir + "\\glide2x.ini", "[Board]\r\n" + board);
  ::DeleteFileA((dir + "\\glide2x.log").c_str());
  ::SetDllDirectoryA(dir.c_str());
  GlideRun run;
  {
    GlideBoardInfo glide;
    run.present = glide.HasGlideBoard();
    const GlideModeRecord* mode = glide.modes;
    for (std::int32_t i = 0; i < glide.modeCount && mode != nullptr; ++i, mode = mode->next) {
      run.modes.push_back(std::to_string(mode->width) + "x" + std::to_string(mode->height) + "x" +
                          std::to_string(mode->bitsPerPixel));
    }
  }
  ::SetDllDirectoryA(nullptr);
  run.calls = ReadBytes(dir + "\\glide2x.log");
  // The library is unloaded again: its file can be replaced.
  EXPECT(::GetModuleHandleA("glide2x.dll") == nullptr);
  return run;
}

CHECK_CASE(GlideBoardsThroughTheLibraryLoader) {
  DirectXInstalled installed;
  struct Case {
    const char* variant;
    const char* board;
    bool present;
    std::vector<std::string> modes;
    const char* calls;
  };
  const char* const probed = "grSstQueryBoards\ngrGlideInit\ngrSstQueryHardware\ngrGlideShutdown\n";
  const Case cases[] = {
      {"glide2x", "num_sst=1\r\nfbRam=2\r\n", true, {"640x480x16"}, probed},
      {"glide2x", "num_sst=2\r\nfbRam=8\r\n", true, {"1024x768x16", "800x600x16", "640x480x16"},
       probed},
      {"glide2x", "num_sst=1\r\nfbRam=2\r\nsliDetect=1\r\n", true, {"1024x768x16", "640x480x16"},
       probed},
      // No board: Glide is not initialised.
      {"glide2x", "num_sst=0\r\n", false, {}, "grSstQueryBoards\n"},
      // A library without "_grSstSelect@4" is no board, and is not called.
      {"glide2x-noselect", "num_sst=1\r\nfbRam=8\r\n", false, {}, ""},
  };
  for (const Case& c : cases) {
    const GlideRun run = ProbeGlide(c.variant, c.board);
    EXPECT_EQ(run.present, c.present);
    EXPECT(run.modes == c.modes);
    EXPECT_EQ(run.calls, std::string(c.calls));
  }
  // Without any library: no board.
  GlideBoardInfo none;
  EXPECT(!none.HasGlideBoard());
  EXPECT_EQ(none.modeCount, 0);
}

}  // namespace

int main(int argc, char** argv) {
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
  ::InitCommonControlsEx(&controls);
  win32::Win32Platform platform(::GetModuleHandleA(nullptr));
  g_platform = &platform;
  ui::UiPlatformSlot::Install(&platform);
  if (argc > 1 && std::strcmp(argv[1], "--child") == 0) return ChildMain(argc, argv);
  return check::RunAll(argc > 1 ? argv[1] : "");
}
