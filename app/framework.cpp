#include "app/framework.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

namespace ui {

namespace {
CWinApp* g_app = nullptr;
}  // namespace

UiPlatform& EmptyPlatform(std::type_identity<UiPlatform>) {
  std::fputs("Halcyra Setup: no user-interface platform installed\n", stderr);
  std::abort();
}

// ---------------------------------------------------------------------------

const MessageMap* CCmdTarget::GetThisMessageMap() {
  static const MessageMapEntry kEntries[] = {{0, 0, nullptr}};
  static const MessageMap kMap{nullptr, kEntries};
  return &kMap;
}

const MessageMap* CCmdTarget::GetMessageMap() const { return GetThisMessageMap(); }

bool CCmdTarget::OnCmdMsg(int id, unsigned notification) {
  for (const MessageMap* map = GetMessageMap(); map != nullptr; map = map->base) {
    for (const MessageMapEntry* e = map->entries; e->handler != nullptr; ++e) {
      if (e->id == id && e->notification == notification) {
        (this->*(e->handler))();
        return true;
      }
    }
  }
  return false;
}

// ---------------------------------------------------------------------------

Size CDC::GetTextExtent(const std::string& text) const { return m_dc->GetTextExtent(text); }

LRESULT CWnd::SendMessage(unsigned msg, WPARAM wParam, LPARAM lParam) const {
  return m_hWnd->SendMessage(msg, wParam, lParam);
}
void CWnd::EnableWindow(bool enable) const { m_hWnd->EnableWindow(enable); }
bool CWnd::IsWindowEnabled() const { return m_hWnd->IsWindowEnabled(); }
void CWnd::SetWindowText(const std::string& text) const { m_hWnd->SetWindowText(text); }
std::string CWnd::GetWindowText() const { return m_hWnd->GetWindowText(); }
void CWnd::ShowWindow(bool show) const { m_hWnd->ShowWindow(show); }
std::unique_ptr<CDC> CWnd::GetDC() const { return std::make_unique<CDC>(m_hWnd->GetDC()); }

int CComboBox::InsertString(int index, const std::string& text) const {
  return static_cast<int>(SendMessage(CB_INSERTSTRING, static_cast<WPARAM>(index),
                                      reinterpret_cast<LPARAM>(text.c_str())));
}

int CComboBox::SetCurSel(int index) const {
  return static_cast<int>(SendMessage(CB_SETCURSEL, static_cast<WPARAM>(index)));
}

int CComboBox::GetLBTextLen(int index) const {
  return static_cast<int>(SendMessage(CB_GETLBTEXTLEN, static_cast<WPARAM>(index)));
}

std::string CComboBox::GetLBText(int index) const {
  const int length = GetLBTextLen(index);
  if (length < 0) return {};
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  const auto copied = SendMessage(CB_GETLBTEXT, static_cast<WPARAM>(index),
                                  reinterpret_cast<LPARAM>(text.data()));
  if (copied < 0) return {};
  text.resize(static_cast<std::size_t>(copied));
  return text;
}

int CComboBox::SelectString(int startAfter, const std::string& text) const {
  return static_cast<int>(SendMessage(CB_SELECTSTRING, static_cast<WPARAM>(startAfter),
                                      reinterpret_cast<LPARAM>(text.c_str())));
}

void CComboBox::SetEditSel(int start, int end) const {
  const auto low = static_cast<std::uint16_t>(start);
  const auto high = static_cast<std::uint16_t>(end);
  SendMessage(CB_SETEDITSEL, 0, static_cast<LPARAM>(static_cast<std::uint32_t>(high) << 16 | low));
}

int CComboBox::SetDroppedWidth(int width) const {
  return static_cast<int>(SendMessage(CB_SETDROPPEDWIDTH, static_cast<WPARAM>(width)));
}

int CComboBox::SetItemHeight(int index, int height) const {
  return static_cast<int>(
      SendMessage(CB_SETITEMHEIGHT, static_cast<WPARAM>(index), static_cast<LPARAM>(height)));
}

// ---------------------------------------------------------------------------

CPropertyPage::CPropertyPage(unsigned templateId) : m_templateId(templateId) {}
CPropertyPage::~CPropertyPage() = default;

BOOL CPropertyPage::OnInitDialog() {
  DoDataExchange();
  return TRUE;
}
BOOL CPropertyPage::OnSetActive() { return TRUE; }
void CPropertyPage::OnOK() {}
BOOL CPropertyPage::OnApply() {
  OnOK();
  return TRUE;
}
void CPropertyPage::OnCancel() {}

void CPropertyPage::AttachWindow(PageWindow* window) {
  DetachWindow();
  m_hWnd = window;
}

void CPropertyPage::DetachWindow() {
  m_windows.clear();
  m_buttons.clear();
  m_combos.clear();
  m_hWnd = nullptr;
}

namespace {
// Returns the wrapper of type T for control `id`, made on first request. One
// map per wrapper type keeps every pointer handed out valid while the page
// window lives.
template <class Owner, class T>
T* CachedControl(Owner* owner, std::map<int, std::unique_ptr<T>>& cache, int id) {
  if (owner == nullptr) return nullptr;
  auto found = cache.find(id);
  if (found != cache.end()) return found->second.get();
  Window* window = owner->GetDlgItem(id);
  if (window == nullptr) return nullptr;
  return cache.emplace(id, std::make_unique<T>(window)).first->second.get();
}
}  // namespace

CWnd* CPropertyPage::GetDlgItem(int id) { return CachedControl(m_hWnd, m_windows, id); }
CButton* CPropertyPage::GetButton(int id) { return CachedControl(m_hWnd, m_buttons, id); }
CComboBox* CPropertyPage::GetComboBox(int id) { return CachedControl(m_hWnd, m_combos, id); }

int CPropertyPage::MessageBox(const std::string& text, const char* caption, unsigned type) {
  const std::string title = caption != nullptr ? std::string(caption) : AfxGetAppName();
  if (m_hWnd == nullptr) return IDOK;
  return m_hWnd->MessageBox(text, title, type);
}

const MessageMap* CPropertyPage::GetThisMessageMap() {
  static const MessageMapEntry kEntries[] = {{0, 0, nullptr}};
  static const MessageMap kMap{CCmdTarget::GetThisMessageMap(), kEntries};
  return &kMap;
}
const MessageMap* CPropertyPage::GetMessageMap() const { return GetThisMessageMap(); }

// ---------------------------------------------------------------------------

// The sheet runs modally with no owner window in this system, so the parent
// is not kept.
CPropertySheet::CPropertySheet(const std::string& caption, CCmdTarget* /*parent*/,
                               unsigned selectPage) {
  m_psh.caption = caption;
  m_psh.nStartPage = selectPage;
  // The framework's sheets announce help by default.
  m_psh.dwFlags = PSH_HASHELP;
}

CPropertySheet::~CPropertySheet() = default;

void CPropertySheet::AddPage(CPropertyPage* page) { m_pages.push_back(page); }

CPropertyPage* CPropertySheet::GetPage(int index) const {
  if (index < 0 || index >= GetPageCount()) return nullptr;
  return m_pages[static_cast<std::size_t>(index)];
}

std::intptr_t CPropertySheet::DoModal() { return UiPlatformSlot::Get().RunPropertySheet(*this); }

BOOL CPropertySheet::OnInitDialog() {
  if (m_hWnd != nullptr) m_hWnd->CreateStartPage();
  return TRUE;
}

CWnd* CPropertySheet::GetDlgItem(int id) { return CachedControl(m_hWnd, m_controls, id); }

void CPropertySheet::AttachWindow(SheetWindow* window) {
  m_controls.clear();
  m_hWnd = window;
}

void CPropertySheet::DetachWindow() {
  m_controls.clear();
  m_hWnd = nullptr;
}

const MessageMap* CPropertySheet::GetThisMessageMap() {
  static const MessageMapEntry kEntries[] = {{0, 0, nullptr}};
  static const MessageMap kMap{CCmdTarget::GetThisMessageMap(), kEntries};
  return &kMap;
}
const MessageMap* CPropertySheet::GetMessageMap() const { return GetThisMessageMap(); }

// ---------------------------------------------------------------------------

CWinApp::CWinApp(const char* /*appName*/) { g_app = this; }

CWinApp::~CWinApp() {
  if (g_app == this) g_app = nullptr;
}

BOOL CWinApp::InitInstance() { return TRUE; }

// Without windows of its own the application has no message loop to run.
int CWinApp::Run() { return ExitInstance(); }

int CWinApp::ExitInstance() { return 0; }

const MessageMap* CWinApp::GetThisMessageMap() {
  static const MessageMapEntry kEntries[] = {{0, 0, nullptr}};
  static const MessageMap kMap{CCmdTarget::GetThisMessageMap(), kEntries};
  return &kMap;
}
const MessageMap* CWinApp::GetMessageMap() const { return GetThisMessageMap(); }

CWinApp* AfxGetApp() { return g_app; }

std::string AfxGetAppName() { return UiPlatformSlot::Get().ApplicationName(); }

int AfxWinMain() {
  CWinApp* app = AfxGetApp();
  if (app == nullptr) return -1;
  if (!app->InitInstance()) return app->ExitInstance();
  return app->Run();
}

}  // namespace ui
