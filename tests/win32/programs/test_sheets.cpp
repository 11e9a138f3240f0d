#include "test_sheets.h"

#include "app/message_text.h"
#include "res/resource.h"
#include "res/strings.h"
#include "test_pages.h"

using namespace halcyra;

namespace wintest {

// Runs a `Sheet` built on a log modally, then prints the log.
template <class Sheet>
static int RunLogged(std::FILE* out) {
  std::vector<std::string> log;
  {
    Sheet sheet(log);
    sheet.DoModal();
  }
  for (const auto& entry : log) std::fprintf(out, "log %s\n", entry.c_str());
  return 0;
}

int RecordingSystem(std::FILE* out) { return RunLogged<test::RecordingSheet>(out); }

class RefusingSheet : public test::RecordingSheet {
 public:
  explicit RefusingSheet(std::vector<std::string>& log) : test::RecordingSheet(log) { first.refusals = 1; }
};

int RefusingSystem(std::FILE* out) { return RunLogged<RefusingSheet>(out); }

// A 3D page that fills and probes its combo boxes and buttons from its own
// code when it initialises, and an audio page that inserts into its sorted
// combo box. Every result is logged.
class FillingPage : public test::RecordingPage {
 public:
  FillingPage(std::vector<std::string>& log) : test::RecordingPage(res::IDD_HARDWARE, "hw", log), m_log(&log) {}

  ui::BOOL OnInitDialog() override {
    const ui::BOOL result = test::RecordingPage::OnInitDialog();
    ui::CComboBox& device = *GetComboBox(res::IDC_DEVICE);
    device.ResetContent();
    Log("insert", device.InsertString(0, "beta"));
    Log("insert", device.InsertString(1, "Alpha"));
    Log("insert", device.InsertString(-1, "Gamma"));
    Log("insert", device.InsertString(2, "alphabet"));
    Log("insert-past-end", device.InsertString(9, "nowhere"));
    Log("count", device.GetCount());
    for (int i = 0; i < device.GetCount(); ++i) m_log->push_back("item " + device.GetLBText(i));
    Log("textlen-missing", device.GetLBTextLen(9));
    Log("current", device.GetCurSel());
    Log("select-alpha", device.SelectString(0, "alpha"));
    Log("select-BETA", device.SelectString(0, "BETA"));
    Log("select-gam", device.SelectString(0, "gam"));
    Log("select-missing", device.SelectString(0, "zzz"));
    Log("current", device.GetCurSel());
    Log("setcursel-past-end", device.SetCurSel(10));
    Log("current", device.GetCurSel());
    Log("setcursel", device.SetCurSel(2));
    m_log->push_back("text " + device.GetWindowText());

    ui::CComboBox& resolution = *GetComboBox(res::IDC_RESOLUTION);
    for (const char* mode : {"640 x 480 x 16", "800 x 600 x 16", "640 x 480 x 32", "1024 x 768 x 16"}) {
      resolution.InsertString(-1, mode);
    }
    Log("select-first-duplicate", resolution.SelectString(0, "640 x 480 x 16"));
    Log("select-prefix", resolution.SelectString(0, "640 x 480 x 3"));
    Log("select-zero", resolution.SelectString(0, "640 x 480 x 1"));
    Log("select-8", resolution.SelectString(0, "640 x 480 x 8"));
    Log("current", resolution.GetCurSel());

    // Programmatic checks raise no notification.
    GetButton(res::IDC_GLIDE)->SetCheck(ui::BST_CHECKED);
    GetButton(res::IDC_MIP_HIGH)->SetCheck(ui::BST_CHECKED);
    GetButton(res::IDC_MIP_ON)->SetCheck(ui::BST_CHECKED);
    GetDlgItem(res::IDC_DIRECT3D)->EnableWindow(false);
    Log("direct3d-enabled", GetDlgItem(res::IDC_DIRECT3D)->IsWindowEnabled());
    return result;
  }

  void Log(const char* what, long long value) { m_log->push_back(std::string(what) + " " + std::to_string(value)); }

 private:
  std::vector<std::string>* m_log;
};

class SortingPage : public test::RecordingPage {
 public:
  SortingPage(std::vector<std::string>& log) : test::RecordingPage(res::IDD_AUDIO, "audio", log), m_log(&log) {}

  ui::BOOL OnInitDialog() override {
    const ui::BOOL result = test::RecordingPage::OnInitDialog();
    ui::CComboBox& combo = *GetComboBox(res::IDC_SOUND_DEVICE);
    combo.InsertString(0, "zeta");
    combo.InsertString(0, "Mu");
    combo.InsertString(-1, "alpha");
    for (int i = 0; i < combo.GetCount(); ++i) m_log->push_back("item " + combo.GetLBText(i));
    combo.SetCurSel(0);
    GetButton(res::IDC_EAX)->SetCheck(ui::BST_CHECKED);
    GetDlgItem(res::IDC_VOICES)->SetWindowText("32");
    return result;
  }

 private:
  std::vector<std::string>* m_log;
};

class ProbeSheet : public ui::CPropertySheet {
 public:
  explicit ProbeSheet(std::vector<std::string>& log)
      : ui::CPropertySheet("Probe Sheet", nullptr, 0), first(log), second(log) {
    AddPage(&first);
    AddPage(&second);
    m_psh.dwFlags = (m_psh.dwFlags & ~ui::PSH_HASHELP) | ui::PSH_NOAPPLYNOW;
  }
  FillingPage first;
  SortingPage second;
};

int ProbeSystem(std::FILE* out) { return RunLogged<ProbeSheet>(out); }

// A one-page sheet of `Page`; the result of DoModal.
template <class Page>
static std::intptr_t RunOnePage() {
  Page page;
  ui::CPropertySheet sheet("Halcyra Setup", nullptr, 0);
  sheet.AddPage(&page);
  return sheet.DoModal();
}

// A page whose buttons raise the warning boxes.
class BoxPage : public ui::CPropertyPage {
 public:
  BoxPage() : ui::CPropertyPage(res::IDD_HARDWARE) {}
  void OnLow() { ShowWarningBox(*this, res::IDS_DEVICE_UNFIT, ui::MB_ICONHAND); }
  void OnMedium() {
    ShowWarningBox(*this, res::IDS_MIPMAP_NOT_RECOMMENDED, ui::MB_ICONEXCLAMATION);
    ShowWarningBox(*this, res::IDS_SAVE_FAILED, ui::MB_ICONEXCLAMATION);
  }
  void OnOK() override { ShowWarningBox(*this, res::IDS_TEXTURE_ARCHIVE_MISSING, ui::MB_ICONHAND); }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(BoxPage, ui::CPropertyPage)
ON_BN_CLICKED(res::IDC_MIP_LOW, OnLow)
ON_BN_CLICKED(res::IDC_MIP_MEDIUM, OnMedium)
END_MESSAGE_MAP()

int BoxSystem(std::FILE*) { return static_cast<int>(RunOnePage<BoxPage>()) == ui::IDOK ? 0 : 1; }

// A page that gives up while it initialises, as the 3D page does on a
// machine without any 3D device.
class GiveUpPage : public ui::CPropertyPage {
 public:
  GiveUpPage() : ui::CPropertyPage(res::IDD_HARDWARE) {}
  ui::BOOL OnInitDialog() override {
    ShowWarningBox(*this, res::IDS_NO_3D_HARDWARE, ui::MB_ICONHAND);
    ui::UiPlatformSlot::Get().ExitProcess(-1);
    return ui::TRUE;
  }
};

int GiveUpSystem(std::FILE*) {
  RunOnePage<GiveUpPage>();
  return 0;
}

// ---------------------------------------------------------------------------

class InspectingSheet::Page : public ui::CPropertyPage {
 public:
  Page(unsigned id, std::function<void(ui::CPropertyPage&)> inspect)
      : ui::CPropertyPage(id), m_inspect(std::move(inspect)) {}
  ui::BOOL OnInitDialog() override {
    m_inspect(*this);
    return ui::TRUE;
  }

 private:
  std::function<void(ui::CPropertyPage&)> m_inspect;
};

InspectingSheet::InspectingSheet(std::function<void(ui::CPropertyPage&)> inspectPage)
    : ui::CPropertySheet("Halcyra Setup", nullptr, 0) {
  m_pages.push_back(new Page(res::IDD_HARDWARE, inspectPage));
  m_pages.push_back(new Page(res::IDD_AUDIO, inspectPage));
  for (Page* page : m_pages) AddPage(page);
  m_psh.dwFlags = (m_psh.dwFlags & ~ui::PSH_HASHELP) | ui::PSH_NOAPPLYNOW;
}

InspectingSheet::~InspectingSheet() {
  for (Page* page : m_pages) delete page;
}

}  // namespace wintest
