// The application object and the property sheet of Halcyra Setup.
#pragma once

#include "app/framework.h"
#include "pages/audio_page.h"
#include "pages/hardware_page.h"

namespace halcyra {

class CSheet : public ui::CPropertySheet {
 public:
  CSheet(const char* title, ui::CCmdTarget* parent, unsigned selectPage);
  ~CSheet() override;

  ui::BOOL OnInitDialog() override;

  CHARDWARE m_hardwarePage;
  CAudio m_audioPage;

  DECLARE_MESSAGE_MAP()
};

// A second sheet class with no pages; declared, never instantiated.
class CPropSheet : public ui::CPropertySheet {
 public:
  CPropSheet(const char* title, ui::CCmdTarget* parent, unsigned selectPage)
      : ui::CPropertySheet(title, parent, selectPage) {}
};

class CSetupApp : public ui::CWinApp {
 public:
  CSetupApp();
  ui::BOOL InitInstance() override;

  DECLARE_MESSAGE_MAP()
};

// Runs Halcyra Setup on the installed platform, as the framework starts an
// application: returns the process's exit code.
int RunHalcyraSetup();

// Puts the system's process-wide state back as a new process has it, so that
// a host can run the application again and again in one process.
void StartAsNewProcess();

}  // namespace halcyra
