#include "app/setup_app.h"

#include "hardware/glide.h"
#include "hardware/inventory.h"
#include "settings/game_settings.h"
#include "settings/install_directory.h"

namespace halcyra {

namespace {
constexpr char kSheetTitle[] = "Halcyra Setup";
}  // namespace

// The one application object, constructed before the application starts.
CSetupApp theApp;

CSetupApp::CSetupApp() : ui::CWinApp(nullptr) {}

BEGIN_MESSAGE_MAP(CSetupApp, ui::CWinApp)
ON_COMMAND(ui::ID_HELP, OnHelp)
END_MESSAGE_MAP()

ui::BOOL CSetupApp::InitInstance() {
  EnableControlContainer();
  Enable3dControls();

  CSheet sheet(kSheetTitle, nullptr, 0);
  m_pMainWnd = &sheet;
  const auto result = sheet.DoModal();
  if ((result == ui::IDOK || result == ui::IDCANCEL) && g_pInventory != nullptr) {
    delete g_pInventory;
    g_pInventory = nullptr;
  }
  m_pMainWnd = nullptr;
  // No message loop: the application ends when this returns.
  return ui::FALSE;
}

CSheet::CSheet(const char* title, ui::CCmdTarget* parent, unsigned selectPage)
    : ui::CPropertySheet(title, parent, selectPage) {
  AddPage(&m_hardwarePage);
  AddPage(&m_audioPage);
  m_psh.dwFlags &= ~ui::PSH_HASHELP;
  m_psh.dwFlags |= ui::PSH_NOAPPLYNOW;
  m_hardwarePage.m_pSheet = this;
  m_audioPage.m_pSheet = this;
}

CSheet::~CSheet() = default;

BEGIN_MESSAGE_MAP(CSheet, ui::CPropertySheet)
END_MESSAGE_MAP()

ui::BOOL CSheet::OnInitDialog() {
  const ui::BOOL result = ui::CPropertySheet::OnInitDialog();
  if (ui::CWnd* help = GetDlgItem(ui::IDHELP)) help->ShowWindow(false);
  return result;
}

int RunHalcyraSetup() { return ui::AfxWinMain(); }

void StartAsNewProcess() {
  delete g_pSettings;
  g_pSettings = nullptr;
  delete g_pInventory;
  g_pInventory = nullptr;
  delete g_pGlide;
  g_pGlide = nullptr;
  g_deviceListFilled = false;
  InstallDirectory = std::string(1, '.');  // "." (assigning the literal trips a false -Wrestrict of GCC 12)
}

}  // namespace halcyra
