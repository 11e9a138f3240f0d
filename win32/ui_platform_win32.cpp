#include "win32/ui_platform_win32.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "res/bitmaps.h"
#include "res/dialogs.h"
#include "res/resource.h"
#include "win32/dialog_template.h"

namespace win32 {

namespace {

class WindowDeviceContext : public ui::DeviceContext {
 public:
  explicit WindowDeviceContext(HWND hwnd) : m_hwnd(hwnd), m_dc(::GetDC(hwnd)) {}
  ~WindowDeviceContext() override {
    if (m_dc != nullptr) ::ReleaseDC(m_hwnd, m_dc);
  }
  WindowDeviceContext(const WindowDeviceContext&) = delete;
  WindowDeviceContext& operator=(const WindowDeviceContext&) = delete;

  ui::Size GetTextExtent(const std::string& text) override {
    SIZE size{0, 0};
    if (m_dc != nullptr) {
      ::GetTextExtentPoint32A(m_dc, text.data(), static_cast<int>(text.size()), &size);
    }
    return {static_cast<int>(size.cx), static_cast<int>(size.cy)};
  }

 private:
  HWND m_hwnd;
  HDC m_dc;
};

// A property page's window. Control wrappers are made on first request and
// live as long as the page window.
class PageWindowImpl : public ui::PageWindow {
 public:
  explicit PageWindowImpl(HWND hwnd) : m_hwnd(hwnd) {}

  ui::Window* GetDlgItem(int id) override {
    // Labels and frames share IDC_STATIC; the pages never look them up.
    if (id == res::IDC_STATIC) return nullptr;
    for (const auto& control : m_controls) {
      if (control.first == id) return control.second.get();
    }
    HWND child = ::GetDlgItem(m_hwnd, id);
    if (child == nullptr) return nullptr;
    m_controls.emplace_back(id, std::make_unique<HwndWindow>(child));
    return m_controls.back().second.get();
  }

  int MessageBox(const std::string& text, const std::string& caption, unsigned type) override {
    return ::MessageBoxA(m_hwnd, text.c_str(), caption.c_str(), type);
  }

 private:
  HWND m_hwnd;
  std::vector<std::pair<int, std::unique_ptr<HwndWindow>>> m_controls;
};

struct PageContext {
  ui::CPropertyPage* page = nullptr;
  SheetObserver* observer = nullptr;
  int bitmapId = 0;  // the template's picture, or 0
  std::vector<std::uint8_t> dialogTemplate;
  std::unique_ptr<PageWindowImpl> window;
  std::vector<HBITMAP> pictures;  // made for the page's picture controls
};

// A 24-bit top-down DIB section holding the image.
HBITMAP MakeBitmap(const res::Image& image) {
  BITMAPINFO info;
  std::memset(&info, 0, sizeof info);
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = image.width;
  info.bmiHeader.biHeight = -image.height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap == nullptr || bits == nullptr) return bitmap;
  const std::size_t stride = (static_cast<std::size_t>(image.width) * 3 + 3) & ~std::size_t{3};
  auto* rows = static_cast<std::uint8_t*>(bits);
  for (int y = 0; y < image.height; ++y) {
    std::uint8_t* row = rows + static_cast<std::size_t>(y) * stride;
    for (int x = 0; x < image.width; ++x) {
      row[x * 3] = image.B(x, y);
      row[x * 3 + 1] = image.G(x, y);
      row[x * 3 + 2] = image.R(x, y);
    }
  }
  return bitmap;
}

// Draws the page's picture at the pixel size of its control, so it fills
// its frame at every DPI; the resource bitmap has the design size only.
void FitPictures(HWND page, PageContext& context) {
  if (context.bitmapId == 0) return;
  for (HWND child = ::GetWindow(page, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
    if (!IsPictureControl(child)) continue;
    RECT client{};
    ::GetClientRect(child, &client);
    const res::Image image = res::RenderBitmap(context.bitmapId, client.right, client.bottom);
    HBITMAP bitmap = image.width > 0 ? MakeBitmap(image) : nullptr;
    if (bitmap == nullptr) continue;
    auto* previous = reinterpret_cast<HBITMAP>(
        ::SendMessageA(child, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap)));
    // The one the dialog manager loaded from the resources, or one of ours
    // from an earlier size: either way no longer shown.
    if (previous != nullptr && previous != bitmap) {
      std::erase(context.pictures, previous);
      ::DeleteObject(previous);
    }
    context.pictures.push_back(bitmap);
  }
}

void ReleasePictures(HWND page, PageContext& context) {
  for (HWND child = ::GetWindow(page, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
    if (IsPictureControl(child)) ::SendMessageA(child, STM_SETIMAGE, IMAGE_BITMAP, 0);
  }
  for (HBITMAP bitmap : context.pictures) ::DeleteObject(bitmap);
  context.pictures.clear();
}

// Opens the sheet centred on the work area of the screen that holds the
// mouse pointer, wholly on it where it fits.
void CentreOnPointerScreen(HWND sheet) {
  POINT pointer{};
  ::GetCursorPos(&pointer);
  MONITORINFO monitor;
  std::memset(&monitor, 0, sizeof monitor);
  monitor.cbSize = sizeof monitor;
  if (!::GetMonitorInfoA(::MonitorFromPoint(pointer, MONITOR_DEFAULTTOPRIMARY), &monitor)) return;
  RECT window{};
  ::GetWindowRect(sheet, &window);
  const RECT& area = monitor.rcWork;
  const LONG width = window.right - window.left, height = window.bottom - window.top;
  LONG left = area.left + (area.right - area.left - width) / 2;
  LONG top = area.top + (area.bottom - area.top - height) / 2;
  if (left < area.left) left = area.left;
  if (top < area.top) top = area.top;
  ::SetWindowPos(sheet, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

class SheetWindowImpl;

// Everything one modal run of a sheet needs while PropertySheetA runs.
struct SheetRun {
  ui::CPropertySheet* sheet = nullptr;
  SheetObserver* observer = nullptr;
  std::vector<std::unique_ptr<PageContext>> pages;
  HWND hwnd = nullptr;
  WNDPROC originalProc = nullptr;
  WPARAM initWParam = 0;
  LPARAM initLParam = 0;
  bool defaultInitDone = false;
  LRESULT defaultInitResult = TRUE;
  std::unique_ptr<SheetWindowImpl> window;
  HHOOK cbtHook = nullptr;

  // Runs the dialog manager's own initialisation of the sheet, which creates
  // the start page; once.
  void DefaultInit() {
    if (defaultInitDone || hwnd == nullptr) return;
    defaultInitDone = true;
    defaultInitResult = ::CallWindowProcA(originalProc, hwnd, WM_INITDIALOG, initWParam, initLParam);
  }
};

class SheetWindowImpl : public ui::SheetWindow {
 public:
  explicit SheetWindowImpl(SheetRun& run) : m_run(&run) {}

  ui::Window* GetDlgItem(int id) override {
    for (const auto& control : m_controls) {
      if (control.first == id) return control.second.get();
    }
    HWND child = ::GetDlgItem(m_run->hwnd, id);
    if (child == nullptr) return nullptr;
    m_controls.emplace_back(id, std::make_unique<HwndWindow>(child));
    return m_controls.back().second.get();
  }

  void CreateStartPage() override { m_run->DefaultInit(); }

 private:
  SheetRun* m_run;
  std::vector<std::pair<int, std::unique_ptr<HwndWindow>>> m_controls;
};

// The run whose sheet window is being created; one sheet runs at a time.
SheetRun* g_starting = nullptr;
constexpr char kRunProperty[] = "Halcyra.SheetRun";

SheetRun* RunOf(HWND hwnd) { return static_cast<SheetRun*>(::GetPropA(hwnd, kRunProperty)); }

// The sheet window's procedure, put in front of the dialog manager's: the
// framework's sheet initialisation runs around the dialog manager's own, as
// the framework's sheets do, so that the start page is created inside it.
LRESULT CALLBACK SheetProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  SheetRun* run = RunOf(hwnd);
  if (run == nullptr) return ::DefDlgProcA(hwnd, msg, wParam, lParam);
  const WNDPROC original = run->originalProc;
  switch (msg) {
    case WM_INITDIALOG: {
      run->initWParam = wParam;
      run->initLParam = lParam;
      run->window = std::make_unique<SheetWindowImpl>(*run);
      run->sheet->AttachWindow(run->window.get());
      run->sheet->OnInitDialog();
      run->DefaultInit();
      CentreOnPointerScreen(hwnd);
      if (run->observer != nullptr) run->observer->SheetReady(hwnd, *run->sheet);
      return run->defaultInitResult;
    }
    case WM_NCDESTROY: {
      const LRESULT result = ::CallWindowProcA(original, hwnd, msg, wParam, lParam);
      ::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
      ::RemovePropA(hwnd, kRunProperty);
      return result;
    }
    default:
      return ::CallWindowProcA(original, hwnd, msg, wParam, lParam);
  }
}

// Catches the creation of the sheet window (the first top-level dialog that
// PropertySheetA creates) and puts SheetProc in front of its procedure
// before it receives any message of its own.
LRESULT CALLBACK CbtProc(int code, WPARAM wParam, LPARAM lParam) {
  SheetRun* run = g_starting;
  if (code == HCBT_CREATEWND && run != nullptr && run->hwnd == nullptr) {
    const HWND hwnd = reinterpret_cast<HWND>(wParam);
    const auto* create = reinterpret_cast<CBT_CREATEWNDA*>(lParam)->lpcs;
    const bool dialogClass =
        create->lpszClass != nullptr &&
        (reinterpret_cast<ULONG_PTR>(create->lpszClass) == 0x8002 ||
         (HIWORD(reinterpret_cast<ULONG_PTR>(create->lpszClass)) != 0 &&
          std::strcmp(create->lpszClass, "#32770") == 0));
    if (dialogClass && (create->style & WS_CHILD) == 0) {
      run->hwnd = hwnd;
      ::SetPropA(hwnd, kRunProperty, run);
      run->originalProc = reinterpret_cast<WNDPROC>(
          ::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SheetProc)));
    }
  }
  return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

// WM_DPICHANGED_AFTERPARENT (Windows 10 1703 and later): the page has been
// laid out anew for another screen's DPI.
constexpr UINT kDpiChangedAfterParent = 0x02E3;

// A page's dialog procedure: the framework page's hooks and message map.
INT_PTR CALLBACK PageProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_INITDIALOG) {
    const auto* psp = reinterpret_cast<const PROPSHEETPAGEA*>(lParam);
    auto* context = reinterpret_cast<PageContext*>(psp->lParam);
    ::SetWindowLongPtrA(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(context));
    context->window = std::make_unique<PageWindowImpl>(hwnd);
    context->page->AttachWindow(context->window.get());
    FitPictures(hwnd, *context);
    return context->page->OnInitDialog();
  }
  auto* context = reinterpret_cast<PageContext*>(::GetWindowLongPtrA(hwnd, DWLP_USER));
  if (context == nullptr) return FALSE;
  switch (msg) {
    case WM_COMMAND:
      return context->page->OnCommand(LOWORD(wParam), HIWORD(wParam)) ? TRUE : FALSE;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      LONG_PTR result = 0;
      switch (header->code) {
        case PSN_SETACTIVE:
          result = context->page->OnSetActive() ? 0 : -1;
          break;
        case PSN_KILLACTIVE:
          result = FALSE;
          break;
        case PSN_APPLY:
          // A page that refuses keeps the sheet open on the page shown; the
          // pages after it are not asked.
          if (context->page->OnApply()) {
            result = PSNRET_NOERROR;
          } else {
            result = PSNRET_INVALID_NOCHANGEPAGE;
            if (context->observer != nullptr) context->observer->OkRefused();
          }
          break;
        case PSN_RESET:
          context->page->OnCancel();
          break;
        case PSN_QUERYCANCEL:
          result = FALSE;
          break;
        default:
          return FALSE;
      }
      ::SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, result);
      return TRUE;
    }
    case kDpiChangedAfterParent:
      // The dialog manager has laid the page out for the new screen's DPI.
      FitPictures(hwnd, *context);
      return FALSE;
    case WM_DESTROY:
      ReleasePictures(hwnd, *context);
      context->page->DetachWindow();
      context->window.reset();
      ::SetWindowLongPtrA(hwnd, DWLP_USER, 0);
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

// ---------------------------------------------------------------------------

ui::LRESULT HwndWindow::SendMessage(unsigned msg, ui::WPARAM wParam, ui::LPARAM lParam) {
  if (msg == BM_SETCHECK) return SetCheck(wParam);
  if (msg == CB_SETCURSEL) {
    // An index past the end clears the selection, as for -1: so Windows
    // documents it, while Wine keeps the old selection.
    const LRESULT count = ::SendMessageA(m_hwnd, CB_GETCOUNT, 0, 0);
    if (static_cast<LRESULT>(static_cast<std::intptr_t>(wParam)) >= count) {
      ::SendMessageA(m_hwnd, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
      return CB_ERR;
    }
  }
  return ::SendMessageA(m_hwnd, msg, static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam));
}

ui::LRESULT HwndWindow::SetCheck(ui::WPARAM state) {
  // The system sets each radio button on its own (the mip-mapping group shows
  // "On" and a level together), while today's dialog manager clears the
  // other automatic radio buttons of the group when one is checked by
  // BM_SETCHECK. For the code's own check the button is made a plain radio
  // button, which BM_SETCHECK leaves alone, and automatic again afterwards;
  // a user's click still clears the group.
  const LONG style = ::GetWindowLongA(m_hwnd, GWL_STYLE);
  if ((style & BS_TYPEMASK) != BS_AUTORADIOBUTTON || state != BST_CHECKED) {
    return ::SendMessageA(m_hwnd, BM_SETCHECK, static_cast<WPARAM>(state), 0);
  }
  ::SetWindowLongA(m_hwnd, GWL_STYLE, (style & ~BS_TYPEMASK) | BS_RADIOBUTTON);
  const LRESULT result = ::SendMessageA(m_hwnd, BM_SETCHECK, static_cast<WPARAM>(state), 0);
  // BM_SETCHECK may have changed the tab stop; keep that, restore the type.
  const LONG after = ::GetWindowLongA(m_hwnd, GWL_STYLE);
  ::SetWindowLongA(m_hwnd, GWL_STYLE, (after & ~BS_TYPEMASK) | BS_AUTORADIOBUTTON);
  return result;
}

void HwndWindow::EnableWindow(bool enable) { ::EnableWindow(m_hwnd, enable ? TRUE : FALSE); }

bool HwndWindow::IsWindowEnabled() const { return ::IsWindowEnabled(m_hwnd) != FALSE; }

void HwndWindow::SetWindowText(const std::string& text) { ::SetWindowTextA(m_hwnd, text.c_str()); }

std::string HwndWindow::GetWindowText() const { return WindowText(m_hwnd); }

void HwndWindow::ShowWindow(bool show) { ::ShowWindow(m_hwnd, show ? SW_SHOW : SW_HIDE); }

std::unique_ptr<ui::DeviceContext> HwndWindow::GetDC() {
  return std::make_unique<WindowDeviceContext>(m_hwnd);
}

bool IsPictureControl(HWND hwnd) {
  char name[16] = "";
  if (::GetClassNameA(hwnd, name, sizeof name) == 0 || ::lstrcmpiA(name, "Static") != 0) return false;
  return (::GetWindowLongA(hwnd, GWL_STYLE) & SS_TYPEMASK) == SS_BITMAP;
}

std::string WindowText(HWND hwnd) {
  const int length = ::GetWindowTextLengthA(hwnd);
  if (length <= 0) return {};
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  const int copied = ::GetWindowTextA(hwnd, text.data(), length + 1);
  text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
  return text;
}

std::string ModuleBaseName(HMODULE module) {
  std::vector<char> path(MAX_PATH);
  for (;;) {
    const DWORD length = ::GetModuleFileNameA(module, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  std::string name(path.begin(), path.end());
  const std::size_t slash = name.find_last_of("\\/");
  if (slash != std::string::npos) name.erase(0, slash + 1);
  const std::size_t dot = name.find_last_of('.');
  if (dot != std::string::npos) name.erase(dot);
  return name;
}

// ---------------------------------------------------------------------------

Win32Platform::Win32Platform(HINSTANCE instance) : m_instance(instance) {}

int Win32Platform::RunPropertySheet(ui::CPropertySheet& sheet) {
  const int count = sheet.GetPageCount();
  if (count == 0 || m_running) return -1;

  SheetRun run;
  run.sheet = &sheet;
  run.observer = m_observer;
  std::vector<PROPSHEETPAGEA> pages(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    auto context = std::make_unique<PageContext>();
    context->page = sheet.GetPage(i);
    context->observer = m_observer;
    static const res::DialogTemplate kEmpty{0, "", 346, 175, "MS Sans Serif", 8, {}};
    const res::DialogTemplate* tmpl = res::FindDialog(static_cast<int>(context->page->TemplateId()));
    context->dialogTemplate = BuildDialogTemplate(tmpl != nullptr ? *tmpl : kEmpty);
    if (tmpl != nullptr) {
      for (const auto& control : tmpl->controls) {
        if (control.kind == res::ControlKind::Picture && control.bitmapId != 0) context->bitmapId = control.bitmapId;
      }
    }

    PROPSHEETPAGEA& page = pages[static_cast<std::size_t>(i)];
    std::memset(&page, 0, sizeof page);
    page.dwSize = sizeof page;
    page.dwFlags = PSP_DLGINDIRECT;
    page.hInstance = m_instance;
    page.pResource = reinterpret_cast<LPCDLGTEMPLATEA>(context->dialogTemplate.data());
    page.pfnDlgProc = &PageProc;
    page.lParam = reinterpret_cast<LPARAM>(context.get());
    run.pages.push_back(std::move(context));
  }

  PROPSHEETHEADERA header;
  std::memset(&header, 0, sizeof header);
  header.dwSize = sizeof header;
  // Apply and Help as the sheet's flags say; no title-bar help button either,
  // as there is no help content.
  header.dwFlags = PSH_PROPSHEETPAGE | PSH_USEICONID | PSH_NOCONTEXTHELP |
                   (sheet.m_psh.dwFlags & (PSH_NOAPPLYNOW | PSH_HASHELP));
  header.hwndParent = nullptr;
  header.hInstance = m_instance;
  header.pszIcon = MAKEINTRESOURCEA(res::IDI_APPLICATION_ICON);
  header.pszCaption = sheet.m_psh.caption.c_str();
  header.nPages = static_cast<UINT>(count);
  header.nStartPage = sheet.m_psh.nStartPage < static_cast<unsigned>(count) ? sheet.m_psh.nStartPage : 0;
  header.ppsp = pages.data();

  m_running = true;
  g_starting = &run;
  run.cbtHook = ::SetWindowsHookExA(WH_CBT, &CbtProc, nullptr, ::GetCurrentThreadId());
  if (m_observer != nullptr) m_observer->SheetStarting();
  const INT_PTR raw = ::PropertySheetA(&header);
  if (run.cbtHook != nullptr) ::UnhookWindowsHookEx(run.cbtHook);
  g_starting = nullptr;
  m_running = false;

  for (auto& context : run.pages) {
    if (context->window) {
      context->page->DetachWindow();
      context->window.reset();
    }
  }
  sheet.DetachWindow();

  // A modal PropertySheet gives a positive value for OK, 0 for Cancel and -1
  // when it could not be created.
  const int result = raw > 0 ? IDOK : raw == 0 ? IDCANCEL : -1;
  if (m_observer != nullptr) m_observer->SheetClosed(result);
  return result;
}

void Win32Platform::SetCursor(ui::Cursor cursor) {
  // IDC_ARROW and IDC_WAIT, by number, for the ANSI call.
  const LPCSTR id = cursor == ui::Cursor::Wait ? MAKEINTRESOURCEA(32514) : MAKEINTRESOURCEA(32512);
  ::SetCursor(::LoadCursorA(nullptr, id));
}

int Win32Platform::GetSystemMetrics(int index) { return ::GetSystemMetrics(index); }

int Win32Platform::LoadString(unsigned id, char* buffer, int size) {
  if (buffer == nullptr || size <= 0) return 0;
  return ::LoadStringA(m_instance, id, buffer, size);
}

std::string Win32Platform::ApplicationName() { return ModuleBaseName(nullptr); }

void Win32Platform::ExitProcess(int code) {
  std::fflush(stdout);
  if (m_observer != nullptr) m_observer->ProcessEnding(code);
  std::fflush(stdout);
  std::fflush(stderr);
  ::ExitProcess(static_cast<UINT>(code));
}

}  // namespace win32
