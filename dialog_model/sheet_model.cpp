#include "dialog_model/sheet_model.h"

#include "base/ascii_text.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "res/resource.h"
#include "res/strings.h"

namespace dm {

namespace {

constexpr int ID_APPLY_NOW = 0x3021;

class ModelDeviceContext : public ui::DeviceContext {
 public:
  ui::Size GetTextExtent(const std::string& text) override { return TextExtent(text); }
};

// Restores a value when a scope ends, also when an exception passes.
template <class T>
class Restore {
 public:
  Restore(T& slot, T value) : m_slot(slot), m_old(std::move(slot)) { m_slot = std::move(value); }
  ~Restore() { m_slot = std::move(m_old); }
  Restore(const Restore&) = delete;
  Restore& operator=(const Restore&) = delete;

 private:
  T& m_slot;
  T m_old;
};

}  // namespace

ui::Size TextExtent(const std::string& text) {
  return {static_cast<int>(text.size()) * kCharWidth, kCharHeight};
}

int ComboEditWidth(const res::ControlTemplate& combo) {
  return combo.cx * kCharWidth / 4 - kVScrollWidth - 2 * kEdgeWidth - 4;
}

const char* Describe(ActionError error) {
  switch (error) {
    case ActionError::None: return "no error";
    case ActionError::NoSuchControl: return "no such control on the active page";
    case ActionError::Disabled: return "the control is disabled";
    case ActionError::NotACombo: return "the control is not a combo box";
    case ActionError::NoSuchEntry: return "the combo box has no such entry";
    case ActionError::NoSuchPage: return "the sheet has no such page";
  }
  return "unknown error";
}

// ---------------------------------------------------------------------------

ControlModel::ControlModel(const res::ControlTemplate& tmpl)
    : enabled(!tmpl.InitiallyDisabled()), m_template(&tmpl) {
  switch (tmpl.kind) {
    case res::ControlKind::ComboBox:
    case res::ControlKind::Edit:
    case res::ControlKind::Picture:
      break;
    default:
      text = tmpl.text;
      break;
  }
}

ui::LRESULT ControlModel::SendMessage(unsigned msg, ui::WPARAM wParam, ui::LPARAM lParam) {
  const auto index = static_cast<int>(static_cast<std::intptr_t>(wParam));
  const int count = static_cast<int>(items.size());
  const bool valid = index >= 0 && index < count;
  switch (msg) {
    case ui::BM_GETCHECK:
      return check;
    case ui::BM_SETCHECK:
      check = static_cast<int>(wParam);
      return 0;
    case ui::CB_RESETCONTENT:
      // Empties the list and the edit field.
      items.clear();
      itemHeights.clear();
      curSel = -1;
      text.clear();
      return 0;
    case ui::CB_INSERTSTRING: {
      // Inserts at the given place (-1: the end) and never sorts, whatever
      // the combo's style.
      const int at = index == -1 ? count : index;
      if (at < 0 || at > count || lParam == 0) return ui::CB_ERR;
      items.insert(items.begin() + at, reinterpret_cast<const char*>(lParam));
      itemHeights.insert(itemHeights.begin() + at, 0);
      if (curSel >= at) ++curSel;
      return at;
    }
    case ui::CB_GETCOUNT:
      return count;
    case ui::CB_GETCURSEL:
      return curSel;
    case ui::CB_SETCURSEL:
      if (!valid) {
        curSel = -1;
        text.clear();
        return ui::CB_ERR;
      }
      curSel = index;
      text = items[static_cast<std::size_t>(index)];
      return index;
    case ui::CB_GETLBTEXTLEN:
      return valid ? static_cast<ui::LRESULT>(items[static_cast<std::size_t>(index)].size())
                   : ui::CB_ERR;
    case ui::CB_GETLBTEXT: {
      if (!valid || lParam == 0) return ui::CB_ERR;
      const std::string& item = items[static_cast<std::size_t>(index)];
      std::memcpy(reinterpret_cast<char*>(lParam), item.c_str(), item.size() + 1);
      return static_cast<ui::LRESULT>(item.size());
    }
    case ui::CB_SELECTSTRING: {
      // Searches after the start entry to the end, then from the top; the
      // first entry that begins with the text, ignoring case, is made
      // current. No match changes nothing.
      if (lParam == 0 || count == 0) return ui::CB_ERR;
      const std::string wanted = reinterpret_cast<const char*>(lParam);
      const int start = (index < 0 || index >= count) ? -1 : index;
      for (int step = 1; step <= count; ++step) {
        const int i = (start + step) % count;
        if (ascii::StartsWithIgnoringCase(items[static_cast<std::size_t>(i)], wanted)) {
          curSel = i;
          text = items[static_cast<std::size_t>(i)];
          return i;
        }
      }
      return ui::CB_ERR;
    }
    case ui::CB_SETEDITSEL:
      // Typing here always replaces the whole field, so a selection changes
      // nothing the model keeps; the real combo box answers TRUE.
      return 1;
    case ui::CB_SETDROPPEDWIDTH:
      droppedWidth = static_cast<int>(wParam);
      return droppedWidth;
    case ui::CB_GETDROPPEDWIDTH:
      return droppedWidth;
    case ui::CB_SETITEMHEIGHT:
      if (!valid) return ui::CB_ERR;
      itemHeights[static_cast<std::size_t>(index)] = static_cast<int>(lParam & 0xFFFF);
      return 0;
    case ui::CB_GETITEMHEIGHT:
      return valid ? itemHeights[static_cast<std::size_t>(index)] : ui::CB_ERR;
    default:
      return 0;
  }
}

std::unique_ptr<ui::DeviceContext> ControlModel::GetDC() {
  return std::make_unique<ModelDeviceContext>();
}

// ---------------------------------------------------------------------------

PageModel::PageModel(SheetModel& sheet, ui::CPropertyPage& page, const res::DialogTemplate& tmpl)
    : m_sheet(&sheet), m_page(&page), m_template(&tmpl) {
  m_controls.reserve(tmpl.controls.size());
  for (const auto& control : tmpl.controls) {
    m_controls.push_back(std::make_unique<ControlModel>(control));
  }
}

ControlModel* PageModel::Find(int id) {
  if (id == res::IDC_STATIC) return nullptr;
  for (auto& control : m_controls) {
    if (control->Id() == id) return control.get();
  }
  return nullptr;
}

const ControlModel* PageModel::Find(int id) const {
  return const_cast<PageModel*>(this)->Find(id);
}

int PageModel::MessageBox(const std::string& text, const std::string& caption, unsigned type) {
  MessageBoxInfo box;
  box.text = text;
  box.caption = caption;
  box.type = type;
  box.stringId = res::FindStringId(text.c_str());
  return m_sheet->ShowMessageBox(box);
}

// ---------------------------------------------------------------------------

SheetModel::SheetModel(ui::CPropertySheet& sheet, UserAgent& agent)
    : m_sheet(&sheet), m_agent(&agent) {
  m_pages.resize(static_cast<std::size_t>(sheet.GetPageCount()));
  m_buttonTemplates = {
      {ui::IDOK, res::ControlKind::Static, "OK", 0, 0, 50, 14, res::WS_CHILD | res::WS_VISIBLE, 0},
      {ui::IDCANCEL, res::ControlKind::Static, "Cancel", 0, 0, 50, 14,
       res::WS_CHILD | res::WS_VISIBLE, 0},
      {ui::IDHELP, res::ControlKind::Static, "Help", 0, 0, 50, 14, res::WS_CHILD | res::WS_VISIBLE, 0},
      {ID_APPLY_NOW, res::ControlKind::Static, "Apply", 0, 0, 50, 14,
       res::WS_CHILD | res::WS_VISIBLE, 0},
  };
}

SheetModel::~SheetModel() {
  for (int i = 0; i < PageCount(); ++i) {
    if (m_pages[static_cast<std::size_t>(i)]) m_sheet->GetPage(i)->DetachWindow();
  }
  m_sheet->DetachWindow();
}

int SheetModel::Run() {
  if (m_buttons.empty()) {
    for (const auto& tmpl : m_buttonTemplates) {
      m_buttons.push_back(std::make_unique<ControlModel>(tmpl));
    }
    SheetButton(ui::IDHELP)->visible = (m_sheet->m_psh.dwFlags & ui::PSH_HASHELP) != 0;
    SheetButton(ID_APPLY_NOW)->visible = (m_sheet->m_psh.dwFlags & ui::PSH_NOAPPLYNOW) == 0;
  }
  if (PageCount() == 0) return -1;

  m_sheet->AttachWindow(this);
  m_sheet->OnInitDialog();
  if (m_active < 0) CreateStartPage();

  while (m_result == 0) {
    std::optional<Action> action = m_agent->NextAction(*this);
    if (!action) {
      Press(ui::IDCANCEL);
      break;
    }
    if (Check(*action) == ActionError::None) Apply(*action);
  }
  m_agent->SheetClosed(*this, m_result);
  return m_result;
}

const std::string& SheetModel::Caption() const { return m_sheet->m_psh.caption; }

std::string SheetModel::TabCaption(int index) const {
  const ui::CPropertyPage* page = m_sheet->GetPage(index);
  if (page == nullptr) return {};
  const res::DialogTemplate* tmpl = res::FindDialog(static_cast<int>(page->TemplateId()));
  return tmpl != nullptr ? tmpl->caption : "";
}

const ControlModel* SheetModel::SheetButton(int id) const {
  for (const auto& button : m_buttons) {
    if (button->Id() == id) return button.get();
  }
  return nullptr;
}

ControlModel* SheetModel::SheetButton(int id) {
  return const_cast<ControlModel*>(std::as_const(*this).SheetButton(id));
}

bool SheetModel::HelpButtonVisible() const {
  const ControlModel* help = SheetButton(ui::IDHELP);
  return help != nullptr && help->visible;
}

bool SheetModel::ApplyButtonVisible() const {
  const ControlModel* apply = SheetButton(ID_APPLY_NOW);
  return apply != nullptr && apply->visible;
}

ui::Window* SheetModel::GetDlgItem(int id) { return SheetButton(id); }

void SheetModel::CreateStartPage() {
  if (m_active >= 0 || PageCount() == 0) return;
  int start = static_cast<int>(m_sheet->m_psh.nStartPage);
  if (start < 0 || start >= PageCount()) start = 0;
  Activate(start);
}

void SheetModel::Activate(int index) {
  ui::CPropertyPage* page = m_sheet->GetPage(index);
  auto& window = m_pages[static_cast<std::size_t>(index)];
  if (!window) {
    const res::DialogTemplate* tmpl = res::FindDialog(static_cast<int>(page->TemplateId()));
    static const res::DialogTemplate kEmpty{0, "", 0, 0, "", 8, {}};
    window = std::make_unique<PageModel>(*this, *page, tmpl != nullptr ? *tmpl : kEmpty);
    page->AttachWindow(window.get());
    m_active = index;
    page->OnInitDialog();
  }
  m_active = index;
  page->OnSetActive();
}

void SheetModel::Press(int result) {
  if (result == ui::IDOK) {
    for (int i = 0; i < PageCount(); ++i) {
      // A page that refuses keeps the sheet open, on the page shown.
      if (m_pages[static_cast<std::size_t>(i)] && !m_sheet->GetPage(i)->OnApply()) return;
    }
  } else {
    for (int i = 0; i < PageCount(); ++i) {
      if (m_pages[static_cast<std::size_t>(i)]) m_sheet->GetPage(i)->OnCancel();
    }
  }
  m_result = result;
}

ActionError SheetModel::Check(const Action& action) const {
  switch (action.kind) {
    case Action::Kind::Click:
    case Action::Kind::Select:
    case Action::Kind::Type: {
      if (m_active < 0) return ActionError::NoSuchControl;
      const ControlModel* control = Page(m_active)->Find(action.id);
      if (control == nullptr) return ActionError::NoSuchControl;
      if (!control->enabled) return ActionError::Disabled;
      if (action.kind == Action::Kind::Click) return ActionError::None;
      if (control->Kind() != res::ControlKind::ComboBox) return ActionError::NotACombo;
      if (action.kind == Action::Kind::Select &&
          (action.index < 0 || action.index >= static_cast<int>(control->items.size()))) {
        return ActionError::NoSuchEntry;
      }
      return ActionError::None;
    }
    case Action::Kind::Tab:
      return action.index >= 0 && action.index < PageCount() ? ActionError::None
                                                              : ActionError::NoSuchPage;
    case Action::Kind::Ok:
    case Action::Kind::Cancel:
    case Action::Kind::Close:
      return ActionError::None;
  }
  return ActionError::None;
}

void SheetModel::Apply(const Action& action) {
  switch (action.kind) {
    case Action::Kind::Click: {
      PageModel* page = Active();
      ControlModel* control = page->Find(action.id);
      auto& controls = page->Controls();
      if (control->Kind() == res::ControlKind::RadioButton) {
        // An automatic radio button checks itself and clears the other radio
        // buttons of its group: from the control that starts the group to the
        // next control that starts one.
        std::size_t at = 0;
        while (controls[at].get() != control) ++at;
        std::size_t first = at;
        while (first > 0 && !controls[first]->Template().StartsGroup()) --first;
        std::size_t last = at + 1;
        while (last < controls.size() && !controls[last]->Template().StartsGroup()) ++last;
        for (std::size_t i = first; i < last; ++i) {
          if (controls[i]->Kind() == res::ControlKind::RadioButton) controls[i]->check = 0;
        }
        control->check = 1;
      } else if (control->Kind() == res::ControlKind::CheckBox) {
        control->check = control->check == 1 ? 0 : 1;
      } else {
        // Labels, frames, pictures, edit fields and closed combo boxes send
        // no click notification.
        return;
      }
      page->Page().OnCommand(action.id, ui::BN_CLICKED);
      return;
    }
    case Action::Kind::Select: {
      PageModel* page = Active();
      ControlModel* control = page->Find(action.id);
      control->curSel = action.index;
      control->text = control->items[static_cast<std::size_t>(action.index)];
      page->Page().OnCommand(action.id, ui::CBN_SELCHANGE);
      return;
    }
    case Action::Kind::Type: {
      // Typed over the edit field's text, key by key. As in the real edit
      // field without horizontal scrolling (CBS_AUTOHSCROLL), a character
      // that would not fit in the field's width is refused. As in the real
      // drop-down combo box, the list then has no current entry, even when
      // the text begins one.
      PageModel* page = Active();
      ControlModel* control = page->Find(action.id);
      const bool scrolls = (control->Template().style & res::CBS_AUTOHSCROLL) != 0;
      const int width = ComboEditWidth(control->Template());
      control->text.clear();
      for (const char c : action.text) {
        if (!scrolls && TextExtent(control->text + c).cx > width) continue;
        control->text += c;
      }
      control->curSel = -1;
      page->Page().OnCommand(action.id, ui::CBN_EDITCHANGE);
      return;
    }
    case Action::Kind::Tab:
      if (action.index != m_active) Activate(action.index);
      return;
    case Action::Kind::Ok:
      Press(ui::IDOK);
      return;
    case Action::Kind::Cancel:
    case Action::Kind::Close:
      Press(ui::IDCANCEL);
      return;
  }
}

int SheetModel::ShowMessageBox(const MessageBoxInfo& box) {
  Restore<std::optional<MessageBoxInfo>> shown(m_box, box);
  return m_agent->ShowMessageBox(*this, box);
}

void SheetModel::SetCursor(ui::Cursor cursor) {
  if (cursor == m_cursor) return;
  m_cursor = cursor;
  m_agent->CursorChanged(*this, cursor);
}

// ---------------------------------------------------------------------------

ModelPlatform::ModelPlatform(UserAgent& agent, std::string applicationName)
    : m_agent(&agent), m_name(std::move(applicationName)) {}

int ModelPlatform::RunPropertySheet(ui::CPropertySheet& sheet) {
  SheetModel model(sheet, *m_agent);
  Restore<SheetModel*> running(m_running, &model);
  return model.Run();
}

void ModelPlatform::SetCursor(ui::Cursor cursor) {
  m_cursor = cursor;
  if (m_running != nullptr) m_running->SetCursor(cursor);
}

int ModelPlatform::GetSystemMetrics(int index) {
  switch (index) {
    case ui::SM_CXVSCROLL: return kVScrollWidth;
    case ui::SM_CXEDGE: return kEdgeWidth;
    default: return 0;
  }
}

int ModelPlatform::LoadString(unsigned id, char* buffer, int size) {
  if (buffer == nullptr || size <= 0) return 0;
  const char* text = res::FindString(id);
  if (text == nullptr) {
    buffer[0] = '\0';
    return 0;
  }
  const std::size_t copied = std::min(std::strlen(text), static_cast<std::size_t>(size - 1));
  std::memcpy(buffer, text, copied);
  buffer[copied] = '\0';
  return static_cast<int>(copied);
}

void ModelPlatform::ExitProcess(int code) { throw ui::ProcessExit{code}; }

int RunOnModel(UserAgent& agent, const std::string& appName, const std::function<int()>& system) {
  ModelPlatform platform(agent, appName);
  struct Installed {
    explicit Installed(ui::UiPlatform* p) { ui::UiPlatformSlot::Install(p); }
    ~Installed() { ui::UiPlatformSlot::Install(nullptr); }
    Installed(const Installed&) = delete;
    Installed& operator=(const Installed&) = delete;
  } installed(&platform);
  try {
    return system();
  } catch (const ui::ProcessExit& exit) {
    return exit.code;
  }
}

}  // namespace dm
