#include "pages/audio_page.h"

#include "base/ascii_text.h"

#include <string>

#include "hardware/inventory.h"
#include "res/resource.h"
#include "settings/game_settings.h"

namespace halcyra {

bool g_deviceListFilled = false;
const char kPreferredSoundDevice[256] = "Hello";

CAudio::CAudio() : ui::CPropertyPage(res::IDD_AUDIO) {}
CAudio::~CAudio() = default;

BEGIN_MESSAGE_MAP(CAudio, ui::CPropertyPage)
ON_BN_CLICKED(res::IDC_EAX, OnEaxClicked)
ON_CBN_SELCHANGE(res::IDC_SOUND_DEVICE, OnSoundDeviceChange)
ON_CBN_EDITCHANGE(res::IDC_SOUND_DEVICE, OnSoundDeviceChange)
END_MESSAGE_MAP()

ui::BOOL CAudio::OnSetActive() {
  // The list is filled once per process; coming back keeps what is shown.
  if (!g_deviceListFilled) {
    const int shown = FillSoundDeviceCombo(*GetComboBox(res::IDC_SOUND_DEVICE), kPreferredSoundDevice);
    ShowSoundDevice(shown);
    g_deviceListFilled = true;
  }
  return ui::CPropertyPage::OnSetActive();
}

void CAudio::OnOK() { ui::CPropertyPage::OnOK(); }

void CAudio::OnEaxClicked() {
  if (g_pSettings == nullptr) return;
  g_pSettings->enableAcoustics = GetButton(res::IDC_EAX)->GetCheck() == 1 ? 1 : 0;
}

void CAudio::OnSoundDeviceChange() {
  // Nothing stores a sound device: the game plays through the device the
  // page shows, so the list goes back to it rather than show a device whose
  // voices and EAX state the page does not show.
  if (m_nShownDevice < 0) return;
  ui::CComboBox& devices = *GetComboBox(res::IDC_SOUND_DEVICE);
  devices.SetCurSel(m_nShownDevice);
  // Selected in the field, so that the next character typed replaces the
  // description rather than being added to it (see CHARDWARE::OnDeviceEdit).
  devices.SetEditSel(0, -1);
}

void CAudio::ShowSoundDevice(int index) {
  if (index == -1) index = 0;
  const SoundDeviceRecord* record =
      g_pInventory != nullptr ? g_pInventory->GetSoundDevice(index) : nullptr;
  if (record == nullptr) return;
  m_nShownDevice = index < 0 ? 0 : index;

  const std::string voices = std::to_string(static_cast<std::int32_t>(record->hardware3DBuffers));
  const bool acoustics = g_pSettings != nullptr && g_pSettings->enableAcoustics != 0;
  ui::CButton& eax = *GetButton(res::IDC_EAX);
  // The flag itself is only read here: a device without EAX shows the box
  // cleared while the stored choice stays as it was.
  eax.SetCheck(record->eaxSupported && acoustics ? 1 : 0);
  eax.EnableWindow(record->eaxSupported != 0);
  GetDlgItem(res::IDC_VOICES)->SetWindowText(voices);
  GetDlgItem(res::IDC_3D_VOICES)->SetWindowText(voices);
}

int FillSoundDeviceCombo(ui::CComboBox& combo, const char* preferred) {
  if (g_pInventory == nullptr) g_pInventory = new HardwareInventory(nullptr);

  const std::int32_t count = g_pInventory->GetSoundDeviceCount();
  if (count == 0) return -1;

  int selected = -1;
  for (std::int32_t i = 0; i < count; ++i) {
    const SoundDeviceRecord* record = g_pInventory->GetSoundDevice(i);
    if (record == nullptr) continue;
    if (selected == -1 && preferred != nullptr && record->description != nullptr &&
        ascii::EqualsIgnoringCase(preferred, record->description)) {
      selected = i;
    }
    // Inserting at a position keeps the inventory's order in the sorted
    // combo, so a combo position is the inventory index.
    combo.InsertString(i, record->description != nullptr ? record->description : "");
  }
  combo.SetCurSel(selected >= 1 ? selected : 0);
  SetComboDroppedWidth(combo);
  SetComboItemHeights(combo);
  return selected;
}

void SetComboDroppedWidth(ui::CComboBox& combo) {
  int widest = 0;
  {
    // Measured in the context's default font; the context is released at
    // the end of this block.
    const auto dc = combo.GetDC();
    for (int i = 0; i < combo.GetCount(); ++i) {
      const ui::Size size = dc->GetTextExtent(combo.GetLBText(i));
      if (size.cx > widest) widest = size.cx;
    }
  }
  ui::UiPlatform& platform = ui::UiPlatformSlot::Get();
  combo.SetDroppedWidth(widest + platform.GetSystemMetrics(ui::SM_CXVSCROLL) +
                        2 * platform.GetSystemMetrics(ui::SM_CXEDGE));
}

void SetComboItemHeights(ui::CComboBox& combo) {
  const auto dc = combo.GetDC();
  for (int i = 0; i < combo.GetCount(); ++i) {
    const ui::Size size = dc->GetTextExtent(combo.GetLBText(i));
    combo.SetItemHeight(i, size.cy & 0xFFFF);
  }
}

}  // namespace halcyra
