// ui::UiPlatform on the real Windows dialog manager: the sheet is a
// PropertySheetA whose pages are built at run time from the dialog templates
// in res/, and every control operation is the Windows message itself.
#pragma once

#include <memory>
#include <string>

#include "app/framework.h"
#include "win32/windows_api.h"

namespace win32 {

// A control (or one of the sheet's buttons) as a framework window. Messages
// pass straight through (the framework's message numbers are the Windows
// ones), but for two whose effect the system relies on and today's dialog
// manager changes: BM_SETCHECK on an automatic radio button sets that button
// only, and CB_SETCURSEL past the last entry clears the selection.
class HwndWindow : public ui::Window {
 public:
  explicit HwndWindow(HWND hwnd) : m_hwnd(hwnd) {}
  HWND Handle() const { return m_hwnd; }

  ui::LRESULT SendMessage(unsigned msg, ui::WPARAM wParam, ui::LPARAM lParam) override;
  void EnableWindow(bool enable) override;
  bool IsWindowEnabled() const override;
  void SetWindowText(const std::string& text) override;
  std::string GetWindowText() const override;
  void ShowWindow(bool show) override;
  // The window's own device context (GetDC), released (ReleaseDC) with the
  // returned object. Its font is whatever GetDC gives, as for any caller of
  // GetDC: the control's font is not selected into it.
  std::unique_ptr<ui::DeviceContext> GetDC() override;

 private:
  ui::LRESULT SetCheck(ui::WPARAM state);

  HWND m_hwnd;
};

// The text of a window, of any length.
std::string WindowText(HWND hwnd);
// A static control showing a bitmap (a page's picture).
bool IsPictureControl(HWND hwnd);

// Hooks for a host that watches the sheet run (the scenario driver of the
// test build). Every call happens on the user-interface thread.
class SheetObserver {
 public:
  virtual ~SheetObserver() = default;
  // PropertySheetA is about to be called.
  virtual void SheetStarting() {}
  // The sheet window has finished its initialisation (the start page exists).
  virtual void SheetReady(HWND /*sheetWindow*/, ui::CPropertySheet& /*sheet*/) {}
  // A page refused OK: the sheet stays open.
  virtual void OkRefused() {}
  // PropertySheetA returned; `result` is IDOK, IDCANCEL or -1.
  virtual void SheetClosed(int /*result*/) {}
  // ExitProcess was called with `code`; the process ends when this returns.
  virtual void ProcessEnding(int /*code*/) {}
};

class Win32Platform : public ui::UiPlatform {
 public:
  explicit Win32Platform(HINSTANCE instance);

  void SetObserver(SheetObserver* observer) { m_observer = observer; }
  HINSTANCE Instance() const { return m_instance; }

  int RunPropertySheet(ui::CPropertySheet& sheet) override;
  void SetCursor(ui::Cursor cursor) override;
  int GetSystemMetrics(int index) override;
  int LoadString(unsigned id, char* buffer, int size) override;
  std::string ApplicationName() override;
  [[noreturn]] void ExitProcess(int code) override;

 private:
  HINSTANCE m_instance;
  SheetObserver* m_observer = nullptr;
  bool m_running = false;
};

// The file name of `module` without its directory and extension.
std::string ModuleBaseName(HMODULE module);

}  // namespace win32
