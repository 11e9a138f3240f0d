// The dialog model: an in-memory property sheet, its pages and their
// controls, built from the dialog templates, with the behaviour of the
// Windows dialog manager that the pages rely on. It meets ui::UiPlatform off
// Windows; a UserAgent (a scenario script, the terminal, a test) plays the
// user.
//
// Fixed metrics, since there is no real font: every character of the
// default font is 6 x 13 pixels, a vertical scroll bar is 16 pixels wide and
// a 3D edge 2 pixels.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/framework.h"
#include "app/ui_platform.h"
#include "res/dialogs.h"

namespace dm {

constexpr int kCharWidth = 6;
constexpr int kCharHeight = 13;
constexpr int kVScrollWidth = 16;
constexpr int kEdgeWidth = 2;

// The model's text extent of `text` in its fixed font.
ui::Size TextExtent(const std::string& text);

// The width in pixels of a drop-down combo box's edit field: the combo's
// width (a dialog unit is a quarter of the average character width) less
// the drop-down button, the two 3D edges and two pixels of margin each side.
int ComboEditWidth(const res::ControlTemplate& combo);

class PageModel;
class SheetModel;

// One control's state. Buttons use `check`; combo boxes `items`, `curSel`
// and `text` (the edit field); edit fields, labels and group boxes `text`.
class ControlModel : public ui::Window {
 public:
  explicit ControlModel(const res::ControlTemplate& tmpl);

  int Id() const { return m_template->id; }
  res::ControlKind Kind() const { return m_template->kind; }
  const res::ControlTemplate& Template() const { return *m_template; }

  bool enabled;
  bool visible = true;
  int check = 0;
  std::vector<std::string> items;
  int curSel = -1;
  std::string text;
  int droppedWidth = 0;
  std::vector<int> itemHeights;  // one a item, 0 until set

  // ui::Window
  ui::LRESULT SendMessage(unsigned msg, ui::WPARAM wParam, ui::LPARAM lParam) override;
  void EnableWindow(bool enable) override { enabled = enable; }
  bool IsWindowEnabled() const override { return enabled; }
  void SetWindowText(const std::string& value) override { text = value; }
  std::string GetWindowText() const override { return text; }
  void ShowWindow(bool show) override { visible = show; }
  std::unique_ptr<ui::DeviceContext> GetDC() override;

 private:
  const res::ControlTemplate* m_template;
};

// A page window: the controls of one template, in template order.
class PageModel : public ui::PageWindow {
 public:
  PageModel(SheetModel& sheet, ui::CPropertyPage& page, const res::DialogTemplate& tmpl);

  const res::DialogTemplate& Template() const { return *m_template; }
  ui::CPropertyPage& Page() { return *m_page; }
  std::vector<std::unique_ptr<ControlModel>>& Controls() { return m_controls; }
  const std::vector<std::unique_ptr<ControlModel>>& Controls() const { return m_controls; }
  // The control with `id` (the first when several share it), or null.
  ControlModel* Find(int id);
  const ControlModel* Find(int id) const;

  // ui::PageWindow
  ui::Window* GetDlgItem(int id) override { return Find(id); }
  int MessageBox(const std::string& text, const std::string& caption, unsigned type) override;

 private:
  SheetModel* m_sheet;
  ui::CPropertyPage* m_page;
  const res::DialogTemplate* m_template;
  std::vector<std::unique_ptr<ControlModel>> m_controls;
};

// A message box on screen.
struct MessageBoxInfo {
  std::string text;
  std::string caption;
  unsigned type = 0;        // MB_* bits
  unsigned stringId = 0;    // the string-table id of the text, 0 when none
  bool IsStop() const { return (type & 0xF0) == ui::MB_ICONHAND; }
  bool IsWarning() const { return (type & 0xF0) == ui::MB_ICONEXCLAMATION; }
};

// A user action on the sheet.
struct Action {
  enum class Kind { Click, Select, Type, Tab, Ok, Cancel, Close };
  Kind kind = Kind::Cancel;
  int id = 0;       // Click, Select, Type: the control of the active page
  int index = 0;    // Select: the entry; Tab: the page
  std::string text; // Type
};

enum class ActionError { None, NoSuchControl, Disabled, NotACombo, NoSuchEntry, NoSuchPage };
const char* Describe(ActionError error);

// Who operates the sheet.
class UserAgent {
 public:
  virtual ~UserAgent() = default;
  // The pointer changed (the wait cursor is shown while the probes run).
  virtual void CursorChanged(SheetModel& /*sheet*/, ui::Cursor /*cursor*/) {}
  // The next action; nullopt ends the run with Cancel.
  virtual std::optional<Action> NextAction(SheetModel& sheet) = 0;
  // A modal message box; returns when the user has dismissed it (IDOK).
  virtual int ShowMessageBox(SheetModel& sheet, const MessageBoxInfo& box) = 0;
  // The sheet closed with IDOK or IDCANCEL.
  virtual void SheetClosed(SheetModel& /*sheet*/, int /*result*/) {}
};

// A running property sheet.
class SheetModel : public ui::SheetWindow {
 public:
  SheetModel(ui::CPropertySheet& sheet, UserAgent& agent);
  ~SheetModel() override;

  // The modal run: IDOK or IDCANCEL.
  int Run();

  const std::string& Caption() const;
  int PageCount() const { return static_cast<int>(m_pages.size()); }
  // The window of page `index`, or null while it has not been created.
  PageModel* Page(int index) { return m_pages[static_cast<std::size_t>(index)].get(); }
  const PageModel* Page(int index) const { return m_pages[static_cast<std::size_t>(index)].get(); }
  // The caption of page `index`'s tab (its template's caption).
  std::string TabCaption(int index) const;
  int ActivePage() const { return m_active; }
  PageModel* Active() { return m_active >= 0 ? Page(m_active) : nullptr; }
  // The sheet's own buttons: OK, Cancel, Help (hidden by the application).
  ControlModel* SheetButton(int id);
  const ControlModel* SheetButton(int id) const;
  bool HelpButtonVisible() const;
  bool ApplyButtonVisible() const;
  // The message box on screen, if any.
  const std::optional<MessageBoxInfo>& OpenMessageBox() const { return m_box; }
  ui::Cursor CurrentCursor() const { return m_cursor; }
  bool Closed() const { return m_result != 0; }

  // Whether `action` can be carried out now (on the active page).
  ActionError Check(const Action& action) const;
  // Carries out a user action, as the dialog manager does: automatic radio
  // and check buttons change before the notification, selections notify,
  // programmatic changes never do. `action` must have passed Check.
  void Apply(const Action& action);

  // Used by the platform and the page windows.
  int ShowMessageBox(const MessageBoxInfo& box);
  void SetCursor(ui::Cursor cursor);

  // ui::SheetWindow
  ui::Window* GetDlgItem(int id) override;
  void CreateStartPage() override;

 private:
  void Activate(int index);
  void Press(int result);

  ui::CPropertySheet* m_sheet;
  UserAgent* m_agent;
  std::vector<std::unique_ptr<PageModel>> m_pages;
  std::vector<std::unique_ptr<ControlModel>> m_buttons;
  std::vector<res::ControlTemplate> m_buttonTemplates;
  int m_active = -1;
  int m_result = 0;
  ui::Cursor m_cursor = ui::Cursor::Arrow;
  std::optional<MessageBoxInfo> m_box;
};

// ui::UiPlatform on the dialog model.
class ModelPlatform : public ui::UiPlatform {
 public:
  ModelPlatform(UserAgent& agent, std::string applicationName);

  int RunPropertySheet(ui::CPropertySheet& sheet) override;
  void SetCursor(ui::Cursor cursor) override;
  int GetSystemMetrics(int index) override;
  int LoadString(unsigned id, char* buffer, int size) override;
  std::string ApplicationName() override { return m_name; }
  // Throws ui::ProcessExit, so that the host can report the code and tests
  // go on.
  [[noreturn]] void ExitProcess(int code) override;

  // The sheet that runs now, or null.
  SheetModel* Running() { return m_running; }

 private:
  UserAgent* m_agent;
  std::string m_name;
  SheetModel* m_running = nullptr;
  ui::Cursor m_cursor = ui::Cursor::Arrow;
};

// Runs `system` (the application's entry) on a dialog-model platform named
// `appName` whose user is `agent`, and returns its exit code: what it
// returns, or the code it ended the process with. The platform is installed
// for the run only; other exceptions pass through after it is removed.
int RunOnModel(UserAgent& agent, const std::string& appName, const std::function<int()>& system);

}  // namespace dm
