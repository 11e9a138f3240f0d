#include "res/dialogs.h"

#include "res/resource.h"

namespace res {

namespace {

constexpr std::uint32_t kChild = WS_CHILD | WS_VISIBLE;
constexpr std::uint32_t kGroupBox = kChild | BS_GROUPBOX;
constexpr std::uint32_t kRadio = kChild | BS_AUTORADIOBUTTON;
constexpr std::uint32_t kRadioFirst = kRadio | WS_GROUP | WS_TABSTOP;
constexpr std::uint32_t kDropDown = kChild | CBS_DROPDOWN | WS_VSCROLL | WS_GROUP | WS_TABSTOP;

// Template 131: the "3D Hardware" page. Each radio group is closed by the
// next control that starts a group (the combo boxes and the next group's
// first button).
constexpr ControlTemplate kHardwareControls[] = {
    {IDC_STATIC, ControlKind::GroupBox, "3D Hardware", 7, 7, 203, 56, kGroupBox, 0},
    {IDC_GLIDE, ControlKind::RadioButton, "Glide", 17, 20, 32, 10, kRadioFirst, 0},
    {IDC_DIRECT3D, ControlKind::RadioButton, "Direct 3D", 105, 20, 46, 10, kRadio, 0},
    {IDC_DEVICE, ControlKind::ComboBox, "", 15, 37, 178, 131, kDropDown, 0},
    {IDC_STATIC, ControlKind::GroupBox, "Textures", 7, 67, 99, 55, kGroupBox, 0},
    {IDC_TEXTURE_8BIT, ControlKind::RadioButton, "8-Bit Textures", 15, 81, 59, 10, kRadioFirst, 0},
    {IDC_TEXTURE_16BIT, ControlKind::RadioButton, "16-Bit Textures", 15, 92, 63, 10, kRadio, 0},
    {IDC_TEXTURE_COMPRESSED, ControlKind::RadioButton, "Compressed", 15, 104, 84, 9, kRadio, 0},
    {IDC_STATIC, ControlKind::GroupBox, "Mip Mapping", 109, 67, 101, 55, kGroupBox, 0},
    {IDC_MIP_ON, ControlKind::RadioButton, "On", 119, 81, 25, 10, kRadioFirst, 0},
    {IDC_MIP_OFF, ControlKind::RadioButton, "Off", 119, 93, 25, 10, kRadio, 0},
    {IDC_MIP_HIGH, ControlKind::RadioButton, "High", 163, 81, 31, 10, kRadio, 0},
    {IDC_MIP_MEDIUM, ControlKind::RadioButton, "Medium", 163, 93, 41, 10, kRadio, 0},
    {IDC_MIP_LOW, ControlKind::RadioButton, "Low", 163, 105, 29, 10, kRadio, 0},
    {IDC_STATIC, ControlKind::GroupBox, "Screen Resolution", 7, 126, 118, 42, kGroupBox, 0},
    {IDC_RESOLUTION, ControlKind::ComboBox, "", 14, 145, 98, 90, kDropDown, 0},
    {IDC_STATIC, ControlKind::Picture, "", 257, 7, 82, 161,
     kChild | SS_BITMAP | SS_CENTERIMAGE | WS_BORDER | WS_DISABLED, IDB_HARDWARE},
};

// Template 136: the "Audio Selections" page.
constexpr ControlTemplate kAudioControls[] = {
    {IDC_SOUND_DEVICE, ControlKind::ComboBox, "", 147, 31, 135, 137,
     kChild | CBS_DROPDOWN | CBS_SORT | WS_VSCROLL | WS_TABSTOP, 0},
    {IDC_EAX, ControlKind::CheckBox, "EAX", 280, 113, 30, 10,
     kChild | BS_AUTOCHECKBOX | WS_TABSTOP, 0},
    {IDC_STATIC, ControlKind::Static, "Number Of Voices", 111, 100, 58, 8,
     kChild | SS_LEFT | WS_GROUP, 0},
    {IDC_STATIC, ControlKind::Static, "Number Of 3D Voices:", 113, 123, 72, 8,
     kChild | SS_LEFT | WS_GROUP, 0},
    {IDC_VOICES, ControlKind::Edit, "", 189, 98, 40, 14,
     kChild | ES_LEFT | ES_AUTOHSCROLL | ES_READONLY | WS_BORDER | WS_TABSTOP, 0},
    {IDC_3D_VOICES, ControlKind::Edit, "", 189, 121, 40, 14,
     kChild | ES_LEFT | ES_AUTOHSCROLL | ES_READONLY | WS_BORDER | WS_TABSTOP, 0},
    {IDC_STATIC, ControlKind::GroupBox, "Extended Properties:", 254, 98, 75, 33, kGroupBox, 0},
    {IDC_STATIC, ControlKind::GroupBox, "Audio Voices", 99, 84, 145, 55, kGroupBox, 0},
    {IDC_STATIC, ControlKind::GroupBox, "Audio Hardware Device", 112, 7, 203, 56, kGroupBox, 0},
    {IDC_STATIC, ControlKind::Picture, "", 7, 7, 81, 161,
     kChild | SS_BITMAP | SS_REALSIZEIMAGE | SS_CENTERIMAGE | WS_BORDER | WS_DISABLED, IDB_AUDIO},
};

constexpr DialogTemplate kHardwareDialog{
    IDD_HARDWARE, "3D Hardware", 346, 175, "MS Sans Serif", 8, kHardwareControls};
constexpr DialogTemplate kAudioDialog{
    IDD_AUDIO, "Audio Selections", 346, 175, "MS Sans Serif", 8, kAudioControls};

// Every dialog template of the programs, once.
constexpr const DialogTemplate* kDialogs[] = {&kHardwareDialog, &kAudioDialog};

}  // namespace

const char* KindName(ControlKind kind) {
  switch (kind) {
    case ControlKind::GroupBox: return "group";
    case ControlKind::RadioButton: return "radio";
    case ControlKind::CheckBox: return "check";
    case ControlKind::ComboBox: return "combo";
    case ControlKind::Edit: return "edit";
    case ControlKind::Static: return "static";
    case ControlKind::Picture: return "picture";
  }
  return "?";
}

const DialogTemplate& HardwareDialog() { return kHardwareDialog; }
const DialogTemplate& AudioDialog() { return kAudioDialog; }

std::span<const DialogTemplate* const> Dialogs() { return kDialogs; }

const DialogTemplate* FindDialog(int id) {
  for (const DialogTemplate* dialog : kDialogs) {
    if (dialog->id == id) return dialog;
  }
  return nullptr;
}

}  // namespace res
