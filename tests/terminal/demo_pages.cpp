#include "demo_pages.h"

#include "res/strings.h"

namespace test {

BEGIN_MESSAGE_MAP(DemoHardwarePage, ui::CPropertyPage)
ON_BN_CLICKED(res::IDC_MIP_HIGH, OnMipHigh)
ON_CBN_SELCHANGE(res::IDC_DEVICE, OnDevice)
END_MESSAGE_MAP()

BEGIN_MESSAGE_MAP(DemoAudioPage, ui::CPropertyPage)
ON_BN_CLICKED(res::IDC_EAX, OnEax)
END_MESSAGE_MAP()

ui::BOOL DemoHardwarePage::OnInitDialog() {
  ui::CPropertyPage::OnInitDialog();
  ui::UiPlatformSlot::Get().SetCursor(ui::Cursor::Wait);
  if (probe) probe();
  ui::CComboBox* devices = GetComboBox(res::IDC_DEVICE);
  devices->InsertString(0, "    Voodoo3 3000 Direct3D");
  devices->InsertString(1, "(?) RIVA TNT");
  devices->SetCurSel(0);
  ui::CComboBox* modes = GetComboBox(res::IDC_RESOLUTION);
  const char* kModes[] = {"640 x 480 x 16", "800 x 600 x 16", "1024 x 768 x 16",
                          "1280 x 1024 x 16", "640 x 480 x 32", "800 x 600 x 32",
                          "1024 x 768 x 32", "1152 x 864 x 32", "1280 x 960 x 32",
                          "1280 x 1024 x 32", "1600 x 1200 x 32", "1920 x 1080 x 32"};
  int index = 0;
  for (const char* mode : kModes) modes->InsertString(index++, mode);
  modes->SetCurSel(1);
  GetButton(res::IDC_DIRECT3D)->SetCheck(1);
  GetButton(res::IDC_TEXTURE_16BIT)->SetCheck(1);
  GetButton(res::IDC_MIP_ON)->SetCheck(1);
  GetButton(res::IDC_MIP_MEDIUM)->SetCheck(1);
  GetDlgItem(res::IDC_TEXTURE_8BIT)->EnableWindow(false);
  ui::UiPlatformSlot::Get().SetCursor(ui::Cursor::Arrow);
  return ui::TRUE;
}

void DemoHardwarePage::OnMipHigh() {
  GetButton(res::IDC_MIP_ON)->SetCheck(1);
  MessageBox(res::FindString(res::IDS_MIPMAP_NOT_RECOMMENDED), nullptr,
             ui::MB_OK | ui::MB_ICONEXCLAMATION);
}

ui::BOOL DemoAudioPage::OnSetActive() {
  if (!filled) {
    filled = true;
    ui::CComboBox* devices = GetComboBox(res::IDC_SOUND_DEVICE);
    devices->InsertString(0, "Sound Blaster Live!");
    devices->InsertString(1, "Primary Sound Driver");
    devices->SetCurSel(0);
    GetButton(res::IDC_EAX)->SetCheck(1);
    GetDlgItem(res::IDC_VOICES)->SetWindowText("32");
    GetDlgItem(res::IDC_3D_VOICES)->SetWindowText("32");
  }
  return ui::CPropertyPage::OnSetActive();
}

DemoSheet::DemoSheet() : ui::CPropertySheet("Halcyra Setup", nullptr, 0) {
  AddPage(&hardware);
  AddPage(&audio);
  m_psh.dwFlags = (m_psh.dwFlags & ~ui::PSH_HASHELP) | ui::PSH_NOAPPLYNOW;
}

ui::BOOL DemoSheet::OnInitDialog() {
  const ui::BOOL result = ui::CPropertySheet::OnInitDialog();
  if (ui::CWnd* help = GetDlgItem(ui::IDHELP)) help->ShowWindow(false);
  return result;
}

int RunDemoSheet(dm::UserAgent& agent, DemoSheet& sheet) {
  dm::ModelPlatform platform(agent, "halcyra-setup");
  ui::UiPlatformSlot::Install(&platform);
  int result = 0;
  try {
    result = static_cast<int>(sheet.DoModal());
  } catch (...) {
    ui::UiPlatformSlot::Install(nullptr);
    throw;
  }
  ui::UiPlatformSlot::Install(nullptr);
  return result;
}

std::optional<dm::Action> InspectingUser::NextAction(dm::SheetModel& sheet) {
  if (m_next < actions.size()) return actions[m_next++];
  if (!m_done && !inBox && inspect) {
    m_done = true;
    inspect(sheet);
  }
  return std::nullopt;
}

int InspectingUser::ShowMessageBox(dm::SheetModel& sheet, const dm::MessageBoxInfo&) {
  if (!m_done && inBox && inspect) {
    m_done = true;
    inspect(sheet);
  }
  return ui::IDOK;
}

void WithDemoSheet(const std::vector<dm::Action>& actions,
                   const std::function<void(dm::SheetModel&)>& inspect, bool inBox) {
  DemoSheet sheet;
  InspectingUser user;
  user.actions = actions;
  user.inspect = inspect;
  user.inBox = inBox;
  RunDemoSheet(user, sheet);
}

term::Event ScriptedScreen::NextEvent() {
  if (events.empty()) return KeyEvent(term::Key::Hangup);
  const term::Event event = events.front();
  events.pop_front();
  if (event.key == term::Key::Resize) size = {event.x, event.y};
  return event;
}

int IndexOf(const dm::SheetModel& sheet, int id) {
  const auto& controls = sheet.Page(sheet.ActivePage())->Controls();
  for (std::size_t i = 0; i < controls.size(); ++i) {
    if (controls[i]->Id() == id) return static_cast<int>(i);
  }
  return -1;
}

bool Shows(const term::Grid& grid, const std::string& text) {
  return Find(grid, text).first >= 0;
}

std::pair<int, int> Find(const term::Grid& grid, const std::string& text) {
  for (int y = 0; y < grid.Rows(); ++y) {
    const std::string row = grid.RowText(y);
    const auto at = row.find(text);
    if (at == std::string::npos) continue;
    // Count the columns before the match (UTF-8 lead bytes).
    int col = 0;
    for (std::size_t i = 0; i < at; ++i) {
      if ((static_cast<unsigned char>(row[i]) & 0xC0) != 0x80) ++col;
    }
    return {col, y};
  }
  return {-1, -1};
}

}  // namespace test
