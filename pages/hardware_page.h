// The "3D Hardware" page: renderer, 3D device, textures, mip-mapping and
// screen resolution.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/framework.h"

namespace halcyra {

class CSheet;
struct DisplayDriverRecord;

class CHARDWARE : public ui::CPropertyPage {
 public:
  CHARDWARE();
  ~CHARDWARE() override;

  ui::BOOL OnInitDialog() override;
  void OnOK() override;
  // OK's step: the sheet closes only when OnOK saved the choices.
  ui::BOOL OnApply() override;
  void DoDataExchange() override {}

  CSheet* m_pSheet = nullptr;
  // Number of Direct3D device records in the inventory.
  std::int32_t m_nDevices = 0;
  // Index of the device entry, and so of the record, whose modes the
  // resolution list shows.
  std::int32_t m_nSelectedDevice = 0;
  ui::CButton* m_pMipHigh = nullptr;
  ui::CButton* m_pMipMedium = nullptr;
  ui::CButton* m_pMipLow = nullptr;
  ui::CButton* m_pMipOn = nullptr;
  ui::CButton* m_pMipOff = nullptr;
  // The last OnOK could not save the choices (box 106): the sheet stays open.
  bool m_bSaveFailed = false;

  void FillDeviceList();
  void RestoreRenderer();
  void UseDirect3D(std::int32_t width, std::int32_t height, std::int32_t depth);
  void UseGlide(std::int32_t width, std::int32_t height, std::int32_t depth);
  void ApplyDevice(std::int32_t width, std::int32_t height, std::int32_t depth);
  void SelectResolution(std::int32_t width, std::int32_t height, std::int32_t depth);
  void ReadResolution();

  // The entry a new player starts on: the first fit record of the primary
  // display driver (the one enumerated without GUID), else the first fit
  // record, else 0.
  std::int32_t FirstFitDevice() const;
  // The entry of the saved device: the record with the saved DirectDraw and
  // Direct3D GUIDs; failing that, the first fit record of the saved driver,
  // else its first record; -1 when the saved driver is not there.
  std::int32_t SavedDevice() const;

  // The device combo's text for `record`: the description behind four
  // blanks when the device is fit, behind "(?) " when it is not.
  static std::string DeviceEntryText(const DisplayDriverRecord& record);
  // The device combo's texts for `records`, in order: DeviceEntryText, and
  // where entries would read alike, what tells them apart in parentheses
  // behind it: the driver's name where the drivers differ (two monitors),
  // the device's name, or else its description, where the devices differ
  // (a HAL and a T&L HAL), and as a last resort the entry's number among
  // its twins ("#2").
  static std::vector<std::string> DeviceEntryTexts(const std::vector<const DisplayDriverRecord*>& records);
  // The resolution combo's text for a mode, "640 x 480 x 16".
  static std::string ModeEntryText(std::int32_t width, std::int32_t height, std::int32_t depth);

  // Notification handlers.
  void OnGlide();
  void OnDirect3D();
  void OnDeviceChange();
  void OnResolutionChange();
  void OnDeviceEdit();
  void OnResolutionEdit();
  void OnTexture8Bit();
  void OnTexture16Bit();
  void OnTextureCompressed();
  void OnMipOn();
  void OnMipOff();
  void OnMipHigh();
  void OnMipMedium();
  void OnMipLow();

  DECLARE_MESSAGE_MAP()
};

}  // namespace halcyra
