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
  // The device list: another entry chosen, or text typed into its field,
  // puts the entry of the device shown back, so that the list, the voice
  // fields and the EAX box always describe one device, the one the game
  // plays through (the game keeps no choice of sound device).
  void OnSoundDeviceChange();
  // Shows device `index` of the inventory (-1 taken as 0): its EAX state and
  // its hardware 3D buffer count.
  void ShowSoundDevice(int index);

  CSheet* m_pSheet = nullptr;
  // The combo position of the device ShowSoundDevice shows; -1 before.
  int m_nShownDevice = -1;

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
