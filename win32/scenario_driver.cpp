#include "win32/scenario_driver.h"

#include <sstream>

#include "base/printable_text.h"

#include "res/resource.h"
#include "res/strings.h"

namespace win32 {

namespace {

ScenarioDriver* g_driver = nullptr;

void CALLBACK TimerProc(HWND, UINT, UINT_PTR, DWORD) {
  if (g_driver != nullptr) g_driver->Tick();
}

// The controls of the standard message box: its text and its icon. Windows
// and Wine number them differently.
constexpr int kBoxTextIds[] = {0xFFFF, 100};
constexpr int kBoxIconIds[] = {20, 0x0440};
constexpr char kAnsweredProperty[] = "Halcyra.BoxAnswered";

std::string ClassName(HWND hwnd) {
  char name[64] = {};
  const int length = ::GetClassNameA(hwnd, name, static_cast<int>(sizeof name));
  return std::string(name, length > 0 ? static_cast<std::size_t>(length) : 0);
}

HWND BoxControl(HWND box, const int* ids, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    if (HWND control = ::GetDlgItem(box, ids[i])) return control;
  }
  return nullptr;
}

struct BoxSearch {
  HWND sheet = nullptr;
  HWND found = nullptr;
};

// A visible top-level dialog of this thread, other than the sheet, that has
// the message box's text control.
BOOL CALLBACK FindBox(HWND hwnd, LPARAM lParam) {
  auto* search = reinterpret_cast<BoxSearch*>(lParam);
  if (hwnd == search->sheet || !::IsWindowVisible(hwnd) || ClassName(hwnd) != "#32770") return TRUE;
  if (BoxControl(hwnd, kBoxTextIds, std::size(kBoxTextIds)) == nullptr) return TRUE;
  search->found = hwnd;
  return FALSE;
}

const char* IconName(HWND box) {
  HWND iconControl = BoxControl(box, kBoxIconIds, std::size(kBoxIconIds));
  if (iconControl == nullptr) return "none";
  const auto icon = reinterpret_cast<HICON>(::SendMessageA(iconControl, STM_GETICON, 0, 0));
  if (icon == nullptr) return "none";
  // The system icons are shared: loading one again gives the same handle.
  if (icon == ::LoadIconA(nullptr, MAKEINTRESOURCEA(32513))) return "stop";         // IDI_HAND
  if (icon == ::LoadIconA(nullptr, MAKEINTRESOURCEA(32515))) return "warning";      // IDI_EXCLAMATION
  if (icon == ::LoadIconA(nullptr, MAKEINTRESOURCEA(32516))) return "information";  // IDI_ASTERISK
  if (icon == ::LoadIconA(nullptr, MAKEINTRESOURCEA(32514))) return "question";     // IDI_QUESTION
  return "unknown";
}

bool FileExists(const std::string& path) {
  return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

std::string DumpLine(const res::ControlTemplate& control, HWND window) {
  dm::ControlView view;
  view.enabled = ::IsWindowEnabled(window) != FALSE;
  view.text = WindowText(window);
  switch (control.kind) {
    case res::ControlKind::RadioButton:
    case res::ControlKind::CheckBox:
      view.check = static_cast<int>(::SendMessageA(window, BM_GETCHECK, 0, 0));
      break;
    case res::ControlKind::ComboBox: {
      view.curSel = static_cast<int>(::SendMessageA(window, CB_GETCURSEL, 0, 0));
      const LRESULT count = ::SendMessageA(window, CB_GETCOUNT, 0, 0);
      for (LRESULT i = 0; i < count; ++i) {
        const LRESULT length = ::SendMessageA(window, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
        std::string item(length > 0 ? static_cast<std::size_t>(length) + 1 : 1, '\0');
        const LRESULT copied = ::SendMessageA(window, CB_GETLBTEXT, static_cast<WPARAM>(i),
                                              reinterpret_cast<LPARAM>(item.data()));
        item.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
        view.items.push_back(std::move(item));
      }
      break;
    }
    default:
      break;
  }
  return dm::DumpLine(control, view);
}

ScenarioDriver::ScenarioDriver(const dm::Script& script, std::FILE* out, std::FILE* err,
                               DriverOptions options)
    : m_script(&script), m_out(out), m_err(err), m_options(std::move(options)) {
  g_driver = this;
}

ScenarioDriver::~ScenarioDriver() {
  if (m_timer != 0) ::KillTimer(nullptr, m_timer);
  if (g_driver == this) g_driver = nullptr;
}

void ScenarioDriver::Print(const std::string& line) {
  // After a fault the run is over for the user: the sheet closes unseen.
  if (!m_fault.empty()) return;
  std::fputs(line.c_str(), m_out);
  std::fputc('\n', m_out);
  std::fflush(m_out);
}

void ScenarioDriver::SheetStarting() {
  // Started before the sheet exists, so that a box shown while the start
  // page initialises is answered as well.
  m_timer = ::SetTimer(nullptr, 0, 10, &TimerProc);
}

void ScenarioDriver::SheetReady(HWND sheetWindow, ui::CPropertySheet& sheet) {
  m_sheetWindow = sheetWindow;
  m_sheet = &sheet;
  m_ready = true;
}

void ScenarioDriver::SheetClosed(int result) {
  m_closed = true;
  if (m_timer != 0) {
    ::KillTimer(nullptr, m_timer);
    m_timer = 0;
  }
  Print(result == IDOK ? "result ok" : "result cancel");
}

void ScenarioDriver::OkRefused() {
  // The sheet stays open: the script goes on with its next step.
  m_closing = false;
}

void ScenarioDriver::ProcessEnding(int code) {
  Print("exit " + std::to_string(code));
  for (const auto& problem : m_problems) std::fprintf(m_err, "driver: %s\n", problem.c_str());
  std::fflush(m_err);
  if (m_options.processEnding) m_options.processEnding(code);
}

void ScenarioDriver::Tick() {
  if (AnswerMessageBox()) return;
  if (!m_ready || m_closed || m_closing || m_busy) return;
  if (Holding()) return;
  m_busy = true;
  Step();
  m_busy = false;
}

bool ScenarioDriver::AnswerMessageBox() {
  BoxSearch search;
  search.sheet = m_sheetWindow;
  ::EnumThreadWindows(::GetCurrentThreadId(), &FindBox, reinterpret_cast<LPARAM>(&search));
  const HWND box = search.found;
  if (box == nullptr) return false;
  if (::GetPropA(box, kAnsweredProperty) != nullptr) return true;
  ::SetPropA(box, kAnsweredProperty, reinterpret_cast<HANDLE>(1));

  const std::string text = WindowText(BoxControl(box, kBoxTextIds, std::size(kBoxTextIds)));
  const unsigned id = res::FindStringId(text.c_str());
  Print("box " + std::to_string(id) + ' ' + IconName(box) + ' ' + dm::Quote(text));

  const std::string caption = WindowText(box);
  const std::string expected = ModuleBaseName(nullptr);
  if (caption != expected) {
    m_problems.push_back("message box caption " + dm::Quote(caption) + " is not the application name " +
                         dm::Quote(expected));
  }
  // One OK button and nothing else.
  if (::GetDlgItem(box, IDOK) == nullptr || ::GetDlgItem(box, IDCANCEL) != nullptr ||
      ::GetDlgItem(box, IDYES) != nullptr || ::GetDlgItem(box, IDNO) != nullptr) {
    m_problems.push_back("message box " + dm::Quote(text) + " does not have exactly one OK button");
  }
  ::PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(::GetDlgItem(box, IDOK)));
  return true;
}

bool ScenarioDriver::Holding() {
  if (!m_holding) return false;
  const std::string go = m_options.pauseDirectory + "\\snap" + std::to_string(m_snapshots) + ".go";
  if (FileExists(go) || ::GetTickCount() - m_holdStart > 60000) {
    m_holding = false;
    return false;
  }
  return true;
}

void ScenarioDriver::Step() {
  while (m_next < m_script->steps.size()) {
    const dm::ScriptStep& step = m_script->steps[m_next++];
    if (step.dump) {
      Dump();
      if (!m_options.pauseDirectory.empty()) {
        ++m_snapshots;
        ::RedrawWindow(m_sheetWindow, nullptr, nullptr,
                       RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
        RECT rect{};
        ::GetWindowRect(m_sheetWindow, &rect);
        const std::string ready =
            m_options.pauseDirectory + "\\snap" + std::to_string(m_snapshots) + ".ready";
        if (std::FILE* file = std::fopen(ready.c_str(), "wb")) {
          std::fprintf(file, "%ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left,
                       rect.bottom - rect.top);
          // Each picture of the shown page: its frame's inside and its
          // bitmap, in pixels, so the test can see that one fills the other.
          HWND page = reinterpret_cast<HWND>(::SendMessageA(m_sheetWindow, PSM_GETCURRENTPAGEHWND, 0, 0));
          for (HWND child = page != nullptr ? ::GetWindow(page, GW_CHILD) : nullptr; child != nullptr;
               child = ::GetWindow(child, GW_HWNDNEXT)) {
            if (!IsPictureControl(child)) continue;
            RECT client{};
            ::GetClientRect(child, &client);
            BITMAP bitmap{};
            const auto image = reinterpret_cast<HBITMAP>(::SendMessageA(child, STM_GETIMAGE, IMAGE_BITMAP, 0));
            if (image != nullptr) ::GetObjectA(image, sizeof bitmap, &bitmap);
            std::fprintf(file, "picture %ld %ld %ld %ld\n", client.right, client.bottom, bitmap.bmWidth,
                         bitmap.bmHeight);
          }
          std::fclose(file);
        }
        m_holding = true;
        m_holdStart = ::GetTickCount();
        return;
      }
      continue;
    }
    const dm::ActionError error = Check(step.action);
    if (error != dm::ActionError::None) {
      Fail(step.line, dm::Describe(error));
      return;
    }
    const auto kind = step.action.kind;
    // Closing the sheet ends the script: what follows is never carried out
    // (unless a page refuses OK and the sheet stays open; see OkRefused,
    // which may run inside Apply).
    const bool closes =
        kind == dm::Action::Kind::Ok || kind == dm::Action::Kind::Cancel || kind == dm::Action::Kind::Close;
    if (closes) m_closing = true;
    Apply(step.action);
    if (closes) return;
    PumpMessages();
    if (m_closed) return;
  }
  // The script ended with the sheet open.
  m_closing = true;
  ::SendMessageA(m_sheetWindow, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
}

void ScenarioDriver::Fail(int line, const char* why) {
  m_fault = "script line " + std::to_string(line) + ": " + printable::Escape(why);
  m_closing = true;
  ::SendMessageA(m_sheetWindow, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
}

void ScenarioDriver::PumpMessages() {
  // Everything the action left waiting: posted messages, painting, and
  // timers that are due (this driver's own tick finds it busy and returns).
  // The bound only guards against a window that never stops asking.
  MSG msg;
  for (int handled = 0; handled < 100000 && ::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE); ++handled) {
    if (msg.message == WM_QUIT) {
      ::PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    ::TranslateMessage(&msg);
    ::DispatchMessageA(&msg);
  }
}

HWND ScenarioDriver::ActivePage() const {
  return reinterpret_cast<HWND>(::SendMessageA(m_sheetWindow, PSM_GETCURRENTPAGEHWND, 0, 0));
}

int ScenarioDriver::ActiveIndex() const {
  HWND page = ActivePage();
  if (page == nullptr) return -1;
  return static_cast<int>(
      ::SendMessageA(m_sheetWindow, PSM_HWNDTOINDEX, reinterpret_cast<WPARAM>(page), 0));
}

const res::DialogTemplate* ScenarioDriver::ActiveTemplate() const {
  const ui::CPropertyPage* page = m_sheet->GetPage(ActiveIndex());
  return page != nullptr ? res::FindDialog(static_cast<int>(page->TemplateId())) : nullptr;
}

const res::ControlTemplate* ScenarioDriver::FindControl(int id) const {
  const res::DialogTemplate* dialog = ActiveTemplate();
  if (dialog == nullptr || id == res::IDC_STATIC) return nullptr;
  for (const auto& control : dialog->controls) {
    if (control.id == id) return &control;
  }
  return nullptr;
}

void ScenarioDriver::Dump() {
  const res::DialogTemplate* dialog = ActiveTemplate();
  HWND page = ActivePage();
  if (dialog == nullptr || page == nullptr) return;
  // The dialog manager creates the controls in template order, and that is
  // the order of the page's child windows.
  HWND child = ::GetWindow(page, GW_CHILD);
  for (const auto& control : dialog->controls) {
    if (child == nullptr) {
      m_problems.push_back("page " + std::to_string(dialog->id) + " has fewer windows than controls");
      return;
    }
    if (control.id != res::IDC_STATIC && ::GetDlgCtrlID(child) != control.id) {
      m_problems.push_back("page " + std::to_string(dialog->id) + ": window " +
                           std::to_string(::GetDlgCtrlID(child)) + " where control " +
                           std::to_string(control.id) + " belongs");
    }
    Print(DumpLine(control, child));
    child = ::GetWindow(child, GW_HWNDNEXT);
  }
  if (child != nullptr) {
    m_problems.push_back("page " + std::to_string(dialog->id) + " has more windows than controls");
  }
}

dm::ActionError ScenarioDriver::Check(const dm::Action& action) {
  switch (action.kind) {
    case dm::Action::Kind::Click:
    case dm::Action::Kind::Select:
    case dm::Action::Kind::Type: {
      const res::ControlTemplate* control = FindControl(action.id);
      HWND window = control != nullptr ? ::GetDlgItem(ActivePage(), action.id) : nullptr;
      if (window == nullptr) return dm::ActionError::NoSuchControl;
      if (!::IsWindowEnabled(window)) return dm::ActionError::Disabled;
      if (action.kind == dm::Action::Kind::Click) return dm::ActionError::None;
      if (control->kind != res::ControlKind::ComboBox) return dm::ActionError::NotACombo;
      if (action.kind == dm::Action::Kind::Select &&
          (action.index < 0 || action.index >= ::SendMessageA(window, CB_GETCOUNT, 0, 0))) {
        return dm::ActionError::NoSuchEntry;
      }
      return dm::ActionError::None;
    }
    case dm::Action::Kind::Tab:
      return action.index >= 0 && action.index < m_sheet->GetPageCount()
                 ? dm::ActionError::None
                 : dm::ActionError::NoSuchPage;
    case dm::Action::Kind::Ok:
    case dm::Action::Kind::Cancel:
    case dm::Action::Kind::Close:
      return dm::ActionError::None;
  }
  return dm::ActionError::None;
}

void ScenarioDriver::Apply(const dm::Action& action) {
  switch (action.kind) {
    case dm::Action::Kind::Click: {
      const res::ControlTemplate* control = FindControl(action.id);
      // Only buttons answer a click with a notification.
      if (control->kind != res::ControlKind::RadioButton &&
          control->kind != res::ControlKind::CheckBox) {
        return;
      }
      ::SendMessageA(::GetDlgItem(ActivePage(), action.id), BM_CLICK, 0, 0);
      return;
    }
    case dm::Action::Kind::Select: {
      HWND page = ActivePage();
      HWND combo = ::GetDlgItem(page, action.id);
      ::SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(action.index), 0);
      ::SendMessageA(page, WM_COMMAND, MAKEWPARAM(action.id, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(combo));
      return;
    }
    case dm::Action::Kind::Type: {
      // Select the edit field's text and type over it, key by key.
      HWND combo = ::GetDlgItem(ActivePage(), action.id);
      HWND edit = ::FindWindowExA(combo, nullptr, "Edit", nullptr);
      if (edit == nullptr) return;
      ::SendMessageA(edit, EM_SETSEL, 0, -1);
      if (action.text.empty()) {
        ::SendMessageA(edit, WM_CHAR, VK_BACK, 1);
      }
      for (const char c : action.text) {
        ::SendMessageA(edit, WM_CHAR, static_cast<WPARAM>(static_cast<unsigned char>(c)), 1);
      }
      return;
    }
    case dm::Action::Kind::Tab:
      // Picking the tab that is already selected does nothing.
      if (action.index != ActiveIndex()) {
        ::SendMessageA(m_sheetWindow, PSM_SETCURSEL, static_cast<WPARAM>(action.index), 0);
      }
      return;
    case dm::Action::Kind::Ok:
      ::SendMessageA(m_sheetWindow, PSM_PRESSBUTTON, PSBTN_OK, 0);
      return;
    case dm::Action::Kind::Cancel:
      ::SendMessageA(m_sheetWindow, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
      return;
    case dm::Action::Kind::Close:
      ::SendMessageA(m_sheetWindow, WM_SYSCOMMAND, SC_CLOSE, 0);
      return;
  }
}

int RunScenario(std::string_view scriptText, const std::function<int()>& system,
                Win32Platform& platform, std::FILE* out, std::FILE* err,
                const DriverOptions& options) {
  auto parsed = dm::ParseScript(scriptText);
  if (auto* error = std::get_if<dm::ScriptError>(&parsed)) {
    // The message may quote the script's line: its controls are shown escaped.
    std::fprintf(err, "script line %d: %s\n", error->line, printable::Escape(error->message).c_str());
    return 2;
  }
  const dm::Script& script = std::get<dm::Script>(parsed);
  ScenarioDriver driver(script, out, err, options);
  platform.SetObserver(&driver);
  const int code = system();
  platform.SetObserver(nullptr);
  for (const auto& problem : driver.Problems()) std::fprintf(err, "driver: %s\n", problem.c_str());
  if (!driver.Fault().empty()) {
    std::fflush(out);
    std::fprintf(err, "%s\n", driver.Fault().c_str());
    std::fflush(err);
    return 2;
  }
  std::fprintf(out, "exit %d\n", code);
  std::fflush(out);
  std::fflush(err);
  return code;
}

}  // namespace win32
