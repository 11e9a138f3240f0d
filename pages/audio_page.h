// The "Audio Selections" page: the sound devices and the EAX switch.
#pragma once

#include <cstdint>

#include "app/framework.h"

namespace halcyra {

class CSheet;

class CAudio : public ui::CPropertyPage {
 public:
  CAudio();
  ~CAudio() override;

  ui::BOOL OnSetActive() override;
  void OnOK() override;
  void DoDataExchange() override {}

  void OnEaxClicked();
  // Shows device `index` of the inventory (-1 taken as 0): its EAX state and
  // its hardware 3D buffer count.
  void ShowSoundDevice(int index);

  CSheet* m_pSheet = nullptr;

  DECLARE_MESSAGE_MAP()
};

// Set after the page has filled its device list for the first time; never
// cleared, so the fill happens once per process.
extern bool g_deviceListFilled;
// The device name the page preselects.
extern const char kPreferredSoundDevice[256];

// Fills `combo` from the inventory (creating it when needed); returns the
// inventory index of the device to show, or -1.
int FillSoundDeviceCombo(ui::CComboBox& combo, const char* preferred);
void SetComboDroppedWidth(ui::CComboBox& combo);
void SetComboItemHeights(ui::CComboBox& combo);

}  // namespace halcyra
