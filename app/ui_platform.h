// The user-interface operations that the application framework and the pages
// rely on, as one small interface that each platform layer implements: the
// dialog model (tests, simulated machine, terminal), and the real Windows
// dialog manager. Message, notification, style and metric numbers are the
// Windows ones, so the Windows layer can pass them straight through.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

#include "base/platform_slot.h"

namespace ui {

using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

// Button messages and states.
constexpr unsigned BM_GETCHECK = 0x00F0;
constexpr unsigned BM_SETCHECK = 0x00F1;
constexpr int BST_UNCHECKED = 0;
constexpr int BST_CHECKED = 1;

// Combo-box messages.
constexpr unsigned CB_SETEDITSEL = 0x0142;
constexpr unsigned CB_GETCOUNT = 0x0146;
constexpr unsigned CB_GETCURSEL = 0x0147;
constexpr unsigned CB_GETLBTEXT = 0x0148;
constexpr unsigned CB_GETLBTEXTLEN = 0x0149;
constexpr unsigned CB_INSERTSTRING = 0x014A;
constexpr unsigned CB_RESETCONTENT = 0x014B;
constexpr unsigned CB_SELECTSTRING = 0x014D;
constexpr unsigned CB_SETCURSEL = 0x014E;
constexpr unsigned CB_SETITEMHEIGHT = 0x0153;
constexpr unsigned CB_GETITEMHEIGHT = 0x0154;
constexpr unsigned CB_GETDROPPEDWIDTH = 0x015F;
constexpr unsigned CB_SETDROPPEDWIDTH = 0x0160;
constexpr LRESULT CB_ERR = -1;

// Notifications that reach a page's message map.
constexpr unsigned BN_CLICKED = 0;
constexpr unsigned CBN_SELCHANGE = 1;
constexpr unsigned CBN_EDITCHANGE = 5;  // the user changed a combo's edit field

// Message-box types and results.
constexpr unsigned MB_OK = 0x00;
constexpr unsigned MB_ICONHAND = 0x10;
constexpr unsigned MB_ICONEXCLAMATION = 0x30;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDHELP = 9;

// Command id of the standard Help command.
constexpr unsigned ID_HELP = 0xE146;

// Property-sheet header flags.
constexpr std::uint32_t PSH_NOAPPLYNOW = 0x0080;
constexpr std::uint32_t PSH_HASHELP = 0x0200;

// System metrics used for text measuring.
constexpr int SM_CXVSCROLL = 2;
constexpr int SM_CXEDGE = 45;

enum class Cursor { Arrow, Wait };

struct Size {
  int cx = 0;
  int cy = 0;
};

// A window's device context, released by destroying it.
class DeviceContext {
 public:
  virtual ~DeviceContext() = default;
  // Width and height in pixels of `text` in the context's current font.
  virtual Size GetTextExtent(const std::string& text) = 0;
};

// One window of the platform: a control, or the sheet's own buttons.
class Window {
 public:
  virtual ~Window() = default;
  virtual LRESULT SendMessage(unsigned msg, WPARAM wParam, LPARAM lParam) = 0;
  virtual void EnableWindow(bool enable) = 0;
  virtual bool IsWindowEnabled() const = 0;
  virtual void SetWindowText(const std::string& text) = 0;
  virtual std::string GetWindowText() const = 0;
  virtual void ShowWindow(bool show) = 0;
  virtual std::unique_ptr<DeviceContext> GetDC() = 0;
};

// The window of one property page, created by the platform's sheet.
class PageWindow {
 public:
  virtual ~PageWindow() = default;
  // The control with `id`, or null when the page has none.
  virtual Window* GetDlgItem(int id) = 0;
  // Modal message box owned by the page; returns the button pressed.
  virtual int MessageBox(const std::string& text, const std::string& caption, unsigned type) = 0;
};

// The window of a running property sheet.
class SheetWindow {
 public:
  virtual ~SheetWindow() = default;
  // The sheet's own controls (IDOK, IDCANCEL, IDHELP), or null.
  virtual Window* GetDlgItem(int id) = 0;
  // Creates the start page's window, runs its OnInitDialog and activates it.
  // The framework's sheet initialisation calls this, as the Windows property
  // sheet creates its first page while it initialises.
  virtual void CreateStartPage() = 0;
};

class CPropertySheet;

// The process-wide operations of the platform.
class UiPlatform {
 public:
  virtual ~UiPlatform() = default;
  // Runs `sheet` modally: IDOK (1), IDCANCEL (2), or -1 when the sheet could
  // not be created.
  virtual int RunPropertySheet(CPropertySheet& sheet) = 0;
  virtual void SetCursor(Cursor cursor) = 0;
  virtual int GetSystemMetrics(int index) = 0;
  // Copies string-table entry `id` (at most size-1 characters and a NUL)
  // into `buffer`; returns the number of characters copied, 0 when missing.
  virtual int LoadString(unsigned id, char* buffer, int size) = 0;
  // The executable's file name without its extension.
  virtual std::string ApplicationName() = 0;
  // Ends the process with `code`; never returns.
  [[noreturn]] virtual void ExitProcess(int code) = 0;
};

// The platform in use, installed once by the host program before the
// application runs. Its empty platform ends the process with a message:
// there is no user interface to run without one.
using UiPlatformSlot = halcyra::PlatformSlot<UiPlatform>;
UiPlatform& EmptyPlatform(std::type_identity<UiPlatform>);

// Thrown by platform layers whose ExitProcess must unwind instead of ending
// the host (the dialog model inside tests and the scenario runner). The
// system's own code never catches it.
struct ProcessExit {
  int code;
};

}  // namespace ui
