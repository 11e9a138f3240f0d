// A small application framework in the style of the classic Windows dialog
// frameworks: an application object, a property sheet, property pages whose
// control notifications reach member handlers through message maps, and thin
// control wrappers. It is platform independent: every window operation goes
// through ui::UiPlatform and the window interfaces of ui_platform.h.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "app/ui_platform.h"

namespace ui {

using BOOL = int;
constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;

// ---------------------------------------------------------------------------
// Message maps

class CCmdTarget;
using CmdHandler = void (CCmdTarget::*)();

struct MessageMapEntry {
  int id;                 // control or command id
  unsigned notification;  // BN_CLICKED, CBN_SELCHANGE, ...
  CmdHandler handler;     // null ends the table
};

struct MessageMap {
  const MessageMap* base;
  const MessageMapEntry* entries;
};

class CCmdTarget {
 public:
  virtual ~CCmdTarget() = default;
  static const MessageMap* GetThisMessageMap();
  virtual const MessageMap* GetMessageMap() const;
  // Runs the handler bound to (id, notification) in this class's message map
  // or a base class's; returns whether one was found.
  bool OnCmdMsg(int id, unsigned notification);
};

#define DECLARE_MESSAGE_MAP() const ::ui::MessageMap* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                      \
  const ::ui::MessageMap* theClass::GetMessageMap() const {         \
    using ThisClass [[maybe_unused]] = theClass;                    \
    using TheBaseClass = baseClass;                                 \
    static const ::ui::MessageMapEntry kEntries[] = {
#define ON_BN_CLICKED(id, memberFn) \
  {id, ::ui::BN_CLICKED, static_cast<::ui::CmdHandler>(&ThisClass::memberFn)},
#define ON_CBN_SELCHANGE(id, memberFn) \
  {id, ::ui::CBN_SELCHANGE, static_cast<::ui::CmdHandler>(&ThisClass::memberFn)},
#define ON_CBN_EDITCHANGE(id, memberFn) \
  {id, ::ui::CBN_EDITCHANGE, static_cast<::ui::CmdHandler>(&ThisClass::memberFn)},
#define ON_COMMAND(id, memberFn) \
  {static_cast<int>(id), ::ui::BN_CLICKED, static_cast<::ui::CmdHandler>(&ThisClass::memberFn)},
#define END_MESSAGE_MAP()                                                \
  {0, 0, nullptr}};                                                      \
  static const ::ui::MessageMap kMap{TheBaseClass::GetThisMessageMap(), kEntries}; \
  return &kMap;                                                          \
  }

// ---------------------------------------------------------------------------
// Control wrappers: a borrowed platform window and the framework's helpers.

class CDC {
 public:
  explicit CDC(std::unique_ptr<DeviceContext> dc) : m_dc(std::move(dc)) {}
  // GetTextExtentPointA: width and height of `text`.
  Size GetTextExtent(const std::string& text) const;

 private:
  std::unique_ptr<DeviceContext> m_dc;
};

class CWnd {
 public:
  explicit CWnd(Window* window = nullptr) : m_hWnd(window) {}
  virtual ~CWnd() = default;
  CWnd(const CWnd&) = delete;
  CWnd& operator=(const CWnd&) = delete;

  LRESULT SendMessage(unsigned msg, WPARAM wParam = 0, LPARAM lParam = 0) const;
  void EnableWindow(bool enable = true) const;
  bool IsWindowEnabled() const;
  void SetWindowText(const std::string& text) const;
  std::string GetWindowText() const;
  void ShowWindow(bool show) const;
  // GetDC; the context is released (ReleaseDC) when the CDC is destroyed.
  std::unique_ptr<CDC> GetDC() const;

  Window* m_hWnd;
};

class CButton : public CWnd {
 public:
  using CWnd::CWnd;
  int GetCheck() const { return static_cast<int>(SendMessage(BM_GETCHECK)); }
  void SetCheck(int state) const { SendMessage(BM_SETCHECK, static_cast<WPARAM>(state)); }
};

class CComboBox : public CWnd {
 public:
  using CWnd::CWnd;
  void ResetContent() const { SendMessage(CB_RESETCONTENT); }
  int InsertString(int index, const std::string& text) const;
  int GetCount() const { return static_cast<int>(SendMessage(CB_GETCOUNT)); }
  int GetCurSel() const { return static_cast<int>(SendMessage(CB_GETCURSEL)); }
  int SetCurSel(int index) const;
  // CB_SETEDITSEL: selects characters `start` to `end` (-1: the end) of the
  // edit field, so that the next character typed replaces them.
  void SetEditSel(int start, int end) const;
  int GetLBTextLen(int index) const;
  // Text of entry `index`; empty when there is no such entry.
  std::string GetLBText(int index) const;
  // CB_SELECTSTRING: prefix match without regard to case, starting after
  // `startAfter`; returns the index made current, or CB_ERR.
  int SelectString(int startAfter, const std::string& text) const;
  int SetDroppedWidth(int width) const;
  int SetItemHeight(int index, int height) const;
};

// ---------------------------------------------------------------------------
// Property pages and sheets

class CPropertySheet;

class CPropertyPage : public CCmdTarget {
 public:
  explicit CPropertyPage(unsigned templateId);
  ~CPropertyPage() override;

  unsigned TemplateId() const { return m_templateId; }

  // Framework hooks, overridden by the pages.
  virtual BOOL OnInitDialog();  // after the page window is created
  virtual BOOL OnSetActive();   // on every activation
  virtual void OnOK();          // when the user presses OK
  // OK's step for this page, run by the sheet in page order: the framework's
  // own runs OnOK and lets the sheet close. A page that returns FALSE keeps
  // the sheet open, with every page as it stands (the pages after it are not
  // asked), as a property sheet's apply can be refused.
  virtual BOOL OnApply();
  virtual void OnCancel();      // when the user cancels
  virtual void DoDataExchange() {}

  // The control with `id` as a plain window, a button or a combo box; null
  // when the page has no window or no such control. The wrapper lives as
  // long as the page window.
  CWnd* GetDlgItem(int id);
  CButton* GetButton(int id);
  CComboBox* GetComboBox(int id);
  // Message box owned by the page; a null caption means the application's
  // name.
  int MessageBox(const std::string& text, const char* caption = nullptr,
                 unsigned type = MB_OK);

  // Called by the platform's sheet.
  void AttachWindow(PageWindow* window);
  void DetachWindow();
  PageWindow* GetSafeHwnd() const { return m_hWnd; }
  bool OnCommand(int id, unsigned notification) { return OnCmdMsg(id, notification); }

  static const MessageMap* GetThisMessageMap();
  const MessageMap* GetMessageMap() const override;

 private:
  unsigned m_templateId;
  PageWindow* m_hWnd = nullptr;
  std::map<int, std::unique_ptr<CWnd>> m_windows;
  std::map<int, std::unique_ptr<CButton>> m_buttons;
  std::map<int, std::unique_ptr<CComboBox>> m_combos;
};

struct PROPSHEETHEADER {
  std::uint32_t dwFlags = 0;
  unsigned nStartPage = 0;
  std::string caption;
};

class CPropertySheet : public CCmdTarget {
 public:
  CPropertySheet(const std::string& caption, CCmdTarget* parent, unsigned selectPage);
  ~CPropertySheet() override;

  void AddPage(CPropertyPage* page);
  int GetPageCount() const { return static_cast<int>(m_pages.size()); }
  CPropertyPage* GetPage(int index) const;

  // Modal run through the platform: IDOK, IDCANCEL, or -1.
  virtual std::intptr_t DoModal();
  // The sheet's initialisation; the framework's own creates the start page.
  virtual BOOL OnInitDialog();

  CWnd* GetDlgItem(int id);

  // Called by the platform while the sheet runs.
  void AttachWindow(SheetWindow* window);
  void DetachWindow();
  SheetWindow* GetSafeHwnd() const { return m_hWnd; }

  static const MessageMap* GetThisMessageMap();
  const MessageMap* GetMessageMap() const override;

  PROPSHEETHEADER m_psh;

 private:
  std::vector<CPropertyPage*> m_pages;
  SheetWindow* m_hWnd = nullptr;
  std::map<int, std::unique_ptr<CWnd>> m_controls;
};

class CWinApp : public CCmdTarget {
 public:
  // Registers the one application object of the process.
  explicit CWinApp(const char* appName = nullptr);
  ~CWinApp() override;

  virtual BOOL InitInstance();
  virtual int Run();
  virtual int ExitInstance();

  void EnableControlContainer() {}
  void Enable3dControls() {}
  // The standard Help command: the application has no help content.
  void OnHelp() {}

  static const MessageMap* GetThisMessageMap();
  const MessageMap* GetMessageMap() const override;

  CCmdTarget* m_pMainWnd = nullptr;
};

CWinApp* AfxGetApp();
// The application's name: the executable's file name without its extension.
std::string AfxGetAppName();
// The framework's entry: runs the application object's InitInstance, and its
// message loop when InitInstance returns TRUE; returns the exit code.
int AfxWinMain();

}  // namespace ui
