#include "pages/hardware_page.h"

#include "base/ascii_text.h"

#include <cstdio>

#include "app/message_text.h"
#include "hardware/glide.h"
#include "hardware/inventory.h"
#include "res/resource.h"
#include "settings/file_system.h"
#include "settings/game_settings.h"
#include "settings/install_directory.h"
#include "settings/texture_check.h"

namespace halcyra {

namespace {

constexpr std::int32_t kNoResolution = -1;
constexpr char kFallbackMode16[] = "640 x 480 x 16";
constexpr char kFallbackMode8[] = "640 x 480 x 8";

// A GUID text of the inventory, cut to what the settings field holds.
std::string SettingsText(const char* text) {
  if (text == nullptr) return {};
  return std::string(text).substr(0, kMaxValueLength);
}

// The entry whose text is `text`, ASCII case ignored, searched in the order
// of the dialog manager's select-by-text: from the second entry to the last,
// then the first; CB_ERR when none. Of two entries that read alike the
// later one is found, as select-by-text would find it.
int FindExact(const ui::CComboBox& combo, const std::string& text) {
  const int count = combo.GetCount();
  for (int step = 1; step <= count; ++step) {
    const int i = step % count;
    if (ascii::EqualsIgnoringCase(combo.GetLBText(i), text)) return i;
  }
  return static_cast<int>(ui::CB_ERR);
}

// Selects by text: the entry that reads exactly `text` when there is one, so
// that a text that begins a longer entry cannot take that entry's place;
// otherwise the dialog manager's search for the first entry that begins with
// it. Returns the index made current, or CB_ERR with the selection unchanged.
int SelectByText(const ui::CComboBox& combo, const std::string& text) {
  const int exact = FindExact(combo, text);
  if (exact != ui::CB_ERR) return combo.SetCurSel(exact);
  return combo.SelectString(0, text);
}

}  // namespace

CHARDWARE::CHARDWARE() : ui::CPropertyPage(res::IDD_HARDWARE) {}
CHARDWARE::~CHARDWARE() = default;

BEGIN_MESSAGE_MAP(CHARDWARE, ui::CPropertyPage)
ON_BN_CLICKED(res::IDC_GLIDE, OnGlide)
ON_BN_CLICKED(res::IDC_DIRECT3D, OnDirect3D)
ON_CBN_SELCHANGE(res::IDC_DEVICE, OnDeviceChange)
ON_CBN_SELCHANGE(res::IDC_RESOLUTION, OnResolutionChange)
ON_CBN_EDITCHANGE(res::IDC_DEVICE, OnDeviceEdit)
ON_CBN_EDITCHANGE(res::IDC_RESOLUTION, OnResolutionEdit)
ON_BN_CLICKED(res::IDC_TEXTURE_8BIT, OnTexture8Bit)
ON_BN_CLICKED(res::IDC_TEXTURE_16BIT, OnTexture16Bit)
ON_BN_CLICKED(res::IDC_TEXTURE_COMPRESSED, OnTextureCompressed)
ON_BN_CLICKED(res::IDC_MIP_ON, OnMipOn)
ON_BN_CLICKED(res::IDC_MIP_OFF, OnMipOff)
ON_BN_CLICKED(res::IDC_MIP_HIGH, OnMipHigh)
ON_BN_CLICKED(res::IDC_MIP_MEDIUM, OnMipMedium)
ON_BN_CLICKED(res::IDC_MIP_LOW, OnMipLow)
END_MESSAGE_MAP()

std::string CHARDWARE::DeviceEntryText(const DisplayDriverRecord& record) {
  // Both prefixes are four characters, so the descriptions line up.
  return std::string(record.fit ? "    " : "(?) ") +
         (record.description != nullptr ? record.description : "");
}

namespace {

// A record's optional text field, "" when the enumeration gave none.
std::string Field(const char* text) { return text != nullptr ? text : ""; }

// Whether `field` of the records `group` names reads differently for some.
bool Differs(const std::vector<const DisplayDriverRecord*>& records, const std::vector<std::size_t>& group,
             char* DisplayDriverRecord::*field) {
  for (const std::size_t i : group) {
    if (Field(records[i]->*field) != Field(records[group.front()]->*field)) return true;
  }
  return false;
}

}  // namespace

std::vector<std::string> CHARDWARE::DeviceEntryTexts(const std::vector<const DisplayDriverRecord*>& records) {
  std::vector<std::string> texts;
  texts.reserve(records.size());
  for (const DisplayDriverRecord* record : records) {
    texts.push_back(record != nullptr ? DeviceEntryText(*record) : std::string());
  }
  std::vector<bool> done(records.size(), false);
  for (std::size_t first = 0; first < records.size(); ++first) {
    if (done[first] || records[first] == nullptr) continue;
    // The twins of entry `first`: every later entry that reads the same.
    std::vector<std::size_t> group = {first};
    for (std::size_t i = first + 1; i < records.size(); ++i) {
      if (!done[i] && records[i] != nullptr && texts[i] == texts[first]) group.push_back(i);
    }
    for (const std::size_t i : group) done[i] = true;
    if (group.size() < 2) continue;

    const bool byDriver = Differs(records, group, &DisplayDriverRecord::driverName);
    const bool byName = Differs(records, group, &DisplayDriverRecord::deviceName);
    const bool byDescription = !byName && Differs(records, group, &DisplayDriverRecord::deviceDescription);
    std::vector<std::string> marks(group.size());
    for (std::size_t k = 0; k < group.size(); ++k) {
      const DisplayDriverRecord& record = *records[group[k]];
      std::string& mark = marks[k];
      const auto add = [&mark](const std::string& part) { mark += (mark.empty() ? "" : ", ") + part; };
      if (byDriver) add(Field(record.driverName));
      if (byName) add(Field(record.deviceName));
      if (byDescription) add(Field(record.deviceDescription));
    }
    // Marks that still read alike (devices the enumerations named the same)
    // get the entry's number among its twins as well.
    std::vector<bool> alike(group.size(), false);
    for (std::size_t k = 0; k < group.size(); ++k) {
      for (std::size_t j = 0; j < group.size(); ++j) alike[k] = alike[k] || (j != k && marks[j] == marks[k]);
    }
    for (std::size_t k = 0; k < group.size(); ++k) {
      if (alike[k]) marks[k] += (marks[k].empty() ? "#" : " #") + std::to_string(k + 1);
    }
    for (std::size_t k = 0; k < group.size(); ++k) texts[group[k]] += " (" + marks[k] + ")";
  }
  return texts;
}

std::string CHARDWARE::ModeEntryText(std::int32_t width, std::int32_t height, std::int32_t depth) {
  return std::to_string(width) + " x " + std::to_string(height) + " x " + std::to_string(depth);
}

ui::BOOL CHARDWARE::OnInitDialog() {
  ui::CPropertyPage::OnInitDialog();

  // Install directory, then the settings record from its options.ini.
  CreateSettingsAtDialogStart();
  GameSettings& settings = *g_pSettings;

  FillDeviceList();

  // A stored Glide choice without a board would leave the game nothing to
  // start with; Direct3D takes its place when a device exists, before the
  // texture buttons are set, so a compressed-texture choice survives.
  const bool board = g_pGlide != nullptr && g_pGlide->HasGlideBoard();
  if (settings.rasterizer == RasterizerGlide && !board && m_nDevices >= 1) {
    settings.rasterizer = RasterizerDirect3D;
  }

  GetButton(res::IDC_TEXTURE_8BIT)->SetCheck(settings.textureMode == Textures8Bit ? 1 : 0);
  GetButton(res::IDC_TEXTURE_16BIT)->SetCheck(settings.textureMode == Textures16Bit ? 1 : 0);
  GetButton(res::IDC_TEXTURE_COMPRESSED)->SetCheck(settings.textureMode == TexturesCompressed ? 1 : 0);

  // Glide has no compressed textures.
  if (settings.rasterizer == RasterizerGlide) {
    if (settings.textureMode == TexturesCompressed) {
      settings.textureMode = Textures8Bit;
      GetButton(res::IDC_TEXTURE_8BIT)->SetCheck(1);
    }
    GetButton(res::IDC_TEXTURE_COMPRESSED)->SetCheck(0);
    GetButton(res::IDC_TEXTURE_COMPRESSED)->EnableWindow(false);
  } else {
    GetButton(res::IDC_TEXTURE_COMPRESSED)->EnableWindow(true);
  }

  m_pMipHigh = GetButton(res::IDC_MIP_HIGH);
  m_pMipMedium = GetButton(res::IDC_MIP_MEDIUM);
  m_pMipLow = GetButton(res::IDC_MIP_LOW);
  m_pMipOn = GetButton(res::IDC_MIP_ON);
  m_pMipOff = GetButton(res::IDC_MIP_OFF);
  switch (settings.mipMapLevel) {
    case 0:
      m_pMipOff->SetCheck(1);
      m_pMipLow->SetCheck(0);
      m_pMipMedium->SetCheck(0);
      m_pMipHigh->SetCheck(0);
      break;
    case 1:
      m_pMipOn->SetCheck(1);
      m_pMipHigh->SetCheck(1);
      break;
    case 2:
      m_pMipOn->SetCheck(1);
      m_pMipMedium->SetCheck(1);
      break;
    case 3:
      m_pMipOn->SetCheck(1);
      m_pMipLow->SetCheck(1);
      break;
    default:
      // A level the page does not know: no button, the value stays.
      break;
  }

  RestoreRenderer();

  GetButton(res::IDC_GLIDE)->SetCheck(settings.rasterizer == RasterizerGlide ? 1 : 0);
  GetButton(res::IDC_DIRECT3D)->SetCheck(settings.rasterizer == RasterizerDirect3D ? 1 : 0);
  if (m_nDevices == 0) GetButton(res::IDC_DIRECT3D)->EnableWindow(false);
  if (!board) GetButton(res::IDC_GLIDE)->EnableWindow(false);
  GetDlgItem(res::IDC_DEVICE)->EnableWindow(settings.rasterizer == RasterizerDirect3D);
  return ui::TRUE;
}

void CHARDWARE::FillDeviceList() {
  if (g_pInventory == nullptr) {
    ui::UiPlatformSlot::Get().SetCursor(ui::Cursor::Wait);
    // Every display and sound probe runs inside this construction.
    g_pInventory = new HardwareInventory(nullptr);
    m_nDevices = g_pInventory->GetDisplayDriverCount();

    ui::CComboBox& devices = *GetComboBox(res::IDC_DEVICE);
    if (m_nDevices >= 1) {
      devices.EnableWindow(true);
      GetDlgItem(res::IDC_DIRECT3D)->EnableWindow(true);
      // Entry i stands for record i, so an entry is never looked up by its
      // text; entries that would read alike are told apart for the player.
      std::vector<const DisplayDriverRecord*> records;
      for (std::int32_t i = 0; i < m_nDevices; ++i) records.push_back(g_pInventory->GetDisplayDriver(i));
      const std::vector<std::string> texts = DeviceEntryTexts(records);
      for (std::int32_t i = 0; i < m_nDevices; ++i) devices.InsertString(i, texts[static_cast<std::size_t>(i)]);
      const std::int32_t saved = SavedDevice();
      devices.SetCurSel(saved >= 0 ? saved : FirstFitDevice());
    } else {
      devices.EnableWindow(false);
      GetDlgItem(res::IDC_DIRECT3D)->EnableWindow(false);
    }
    ui::UiPlatformSlot::Get().SetCursor(ui::Cursor::Arrow);
  }

  if (g_pGlide == nullptr) g_pGlide = new GlideBoardInfo();

  if (m_nDevices == 0 && !g_pGlide->HasGlideBoard()) {
    // Nothing to render with: say so and end without saving.
    ShowWarningBox(*this, res::IDS_NO_3D_HARDWARE, ui::MB_ICONHAND);
    ui::UiPlatformSlot::Get().ExitProcess(-1);
  }
}

std::int32_t CHARDWARE::FirstFitDevice() const {
  // The list holds the driver enumerated last first, so on a machine with a
  // second monitor its driver's entries come before the primary's: a new
  // player starts where Windows puts the game, on the primary display.
  std::int32_t firstFit = -1;
  for (std::int32_t i = 0; i < m_nDevices; ++i) {
    const DisplayDriverRecord* record = g_pInventory->GetDisplayDriver(i);
    if (record == nullptr || !record->fit) continue;
    if (record->ddGuid == dx::GUID{}) return i;
    if (firstFit < 0) firstFit = i;
  }
  return firstFit >= 0 ? firstFit : 0;
}

std::int32_t CHARDWARE::SavedDevice() const {
  const GameSettings& settings = *g_pSettings;
  std::int32_t firstOfDriver = -1;
  std::int32_t firstFitOfDriver = -1;
  for (std::int32_t i = 0; i < m_nDevices; ++i) {
    const DisplayDriverRecord* record = g_pInventory->GetDisplayDriver(i);
    if (record == nullptr || record->ddGuidText == nullptr ||
        !ascii::EqualsIgnoringCase(record->ddGuidText, settings.ddGuid)) {
      continue;
    }
    if (record->d3dGuidText != nullptr && ascii::EqualsIgnoringCase(record->d3dGuidText, settings.d3dGuid)) return i;
    if (firstOfDriver < 0) firstOfDriver = i;
    if (firstFitOfDriver < 0 && record->fit) firstFitOfDriver = i;
  }
  return firstFitOfDriver >= 0 ? firstFitOfDriver : firstOfDriver;
}

void CHARDWARE::RestoreRenderer() {
  ui::UiPlatformSlot::Get().SetCursor(ui::Cursor::Wait);
  GameSettings& settings = *g_pSettings;
  const std::int32_t width = settings.screenWidth;
  const std::int32_t height = settings.screenHeight;
  const std::int32_t depth = settings.screenDepth;

  if (settings.rasterizer == RasterizerGlide) {
    // A stored Glide choice stays, even without a board.
    UseGlide(width, height, depth);
  } else if (settings.rasterizer != RasterizerDirect3D && m_nDevices == 0) {
    settings.rasterizer = RasterizerGlide;
    UseGlide(width, height, depth);
  } else {
    settings.rasterizer = RasterizerDirect3D;
    // Takes the entry FillDeviceList made current, so the entry shown is the
    // device saved.
    UseDirect3D(width, height, depth);
  }
  ui::UiPlatformSlot::Get().SetCursor(ui::Cursor::Arrow);
}

void CHARDWARE::UseDirect3D(std::int32_t width, std::int32_t height, std::int32_t depth) {
  g_pSettings->rasterizer = RasterizerDirect3D;
  GetDlgItem(res::IDC_DEVICE)->EnableWindow(true);
  GetDlgItem(res::IDC_TEXTURE_COMPRESSED)->EnableWindow(true);
  if (m_nDevices >= 1) {
    GetButton(res::IDC_GLIDE)->SetCheck(0);
    GetButton(res::IDC_DIRECT3D)->SetCheck(1);
    // Direct3D has no 8-bit textures: 16-bit takes their place.
    if (GetButton(res::IDC_TEXTURE_8BIT)->GetCheck() == 1) {
      g_pSettings->textureMode = Textures16Bit;
      GetButton(res::IDC_TEXTURE_8BIT)->SetCheck(0);
      GetButton(res::IDC_TEXTURE_COMPRESSED)->SetCheck(0);
      GetButton(res::IDC_TEXTURE_16BIT)->SetCheck(1);
    }
    GetDlgItem(res::IDC_TEXTURE_8BIT)->EnableWindow(false);
    ApplyDevice(width, height, depth);
  } else {
    UseGlide(width, height, depth);
    GetButton(res::IDC_GLIDE)->SetCheck(1);
    GetButton(res::IDC_DIRECT3D)->SetCheck(0);
    GetDlgItem(res::IDC_DIRECT3D)->EnableWindow(false);
    GetDlgItem(res::IDC_DEVICE)->EnableWindow(false);
    GetDlgItem(res::IDC_TEXTURE_COMPRESSED)->EnableWindow(false);
  }
}

void CHARDWARE::UseGlide(std::int32_t width, std::int32_t height, std::int32_t depth) {
  g_pSettings->rasterizer = RasterizerGlide;
  // Glide has no compressed textures: 8-bit takes their place.
  if (GetButton(res::IDC_TEXTURE_COMPRESSED)->GetCheck() == 1) {
    g_pSettings->textureMode = Textures8Bit;
    GetButton(res::IDC_TEXTURE_8BIT)->SetCheck(1);
  }
  GetButton(res::IDC_GLIDE)->SetCheck(1);
  GetButton(res::IDC_TEXTURE_COMPRESSED)->SetCheck(0);
  GetDlgItem(res::IDC_TEXTURE_COMPRESSED)->EnableWindow(false);
  GetDlgItem(res::IDC_DEVICE)->EnableWindow(false);

  ui::CComboBox& resolutions = *GetComboBox(res::IDC_RESOLUTION);
  resolutions.ResetContent();
  if (g_pGlide != nullptr) {
    const GlideModeRecord* mode = g_pGlide->modes;
    for (std::int32_t i = 0; i < g_pGlide->modeCount && mode != nullptr; ++i, mode = mode->next) {
      resolutions.InsertString(i, ModeEntryText(mode->width, mode->height, mode->bitsPerPixel));
    }
  }
  GetDlgItem(res::IDC_TEXTURE_8BIT)->EnableWindow(true);
  SelectResolution(width, height, depth);
}

void CHARDWARE::ApplyDevice(std::int32_t width, std::int32_t height, std::int32_t depth) {
  ui::CComboBox& resolutions = *GetComboBox(res::IDC_RESOLUTION);
  resolutions.ResetContent();

  // The current entry's record, by position. Without a current entry the
  // first fit one is shown and taken, so the list never shows one device
  // while the settings hold another.
  ui::CComboBox& devices = *GetComboBox(res::IDC_DEVICE);
  int current = devices.GetCurSel();
  if (current < 0) current = devices.SetCurSel(FirstFitDevice());
  m_nSelectedDevice = current < 0 ? 0 : current;

  const DisplayDriverRecord* record = g_pInventory->GetDisplayDriver(m_nSelectedDevice);
  if (record != nullptr) {
    g_pSettings->ddGuid = SettingsText(record->ddGuidText);
    g_pSettings->d3dGuid = SettingsText(record->d3dGuidText);
    const DisplayModeRecord* mode = record->modes;
    for (std::int32_t i = 0; i < record->modeCount && mode != nullptr; ++i, mode = mode->next) {
      resolutions.InsertString(i, ModeEntryText(static_cast<std::int32_t>(mode->width),
                                                static_cast<std::int32_t>(mode->height),
                                                static_cast<std::int32_t>(mode->depth)));
    }
  }
  SelectResolution(width, height, depth);
  g_pSettings->rasterizer = RasterizerDirect3D;

  if (record != nullptr && !record->fit) {
    // Only informs: the device stays chosen.
    ShowWarningBox(*this, res::IDS_DEVICE_UNFIT, ui::MB_ICONEXCLAMATION);
  }
}

void CHARDWARE::SelectResolution(std::int32_t width, std::int32_t height, std::int32_t depth) {
  ui::CComboBox& resolutions = *GetComboBox(res::IDC_RESOLUTION);
  resolutions.SetCurSel(0);
  if (width == kNoResolution) {
    width = 640;
    height = 480;
    depth = 16;
  }
  if (SelectByText(resolutions, ModeEntryText(width, height, depth)) == ui::CB_ERR &&
      SelectByText(resolutions, kFallbackMode16) == ui::CB_ERR) {
    SelectByText(resolutions, kFallbackMode8);
  }
  if (resolutions.GetCurSel() >= 0) {
    // Whichever entry is shown is the resolution saved.
    ReadResolution();
  } else {
    // No entry to show (a device left without modes): the game's own last
    // resort.
    g_pSettings->screenWidth = 640;
    g_pSettings->screenHeight = 480;
    g_pSettings->screenDepth = 8;
  }
}

void CHARDWARE::ReadResolution() {
  ui::CComboBox& resolutions = *GetComboBox(res::IDC_RESOLUTION);
  const int current = resolutions.GetCurSel();
  if (current < 0) return;
  const std::string text = resolutions.GetLBText(current);
  // Fields that cannot be read keep their values.
  int width = 0, height = 0, depth = 0;
  const int read = std::sscanf(text.c_str(), "%d x %d x %d", &width, &height, &depth);
  if (read >= 1) g_pSettings->screenWidth = width;
  if (read >= 2) g_pSettings->screenHeight = height;
  if (read >= 3) g_pSettings->screenDepth = depth;
}

void CHARDWARE::OnGlide() { UseGlide(kNoResolution, kNoResolution, kNoResolution); }
void CHARDWARE::OnDirect3D() { UseDirect3D(kNoResolution, kNoResolution, kNoResolution); }
void CHARDWARE::OnDeviceChange() { ApplyDevice(kNoResolution, kNoResolution, kNoResolution); }
void CHARDWARE::OnResolutionChange() { ReadResolution(); }

// Text typed into a combo's edit field is never a choice: the entry shown
// before is put back at once, so what the field shows stays what is saved.
// The entry put back is selected in the field, as the dialog manager does in
// a focused combo box: the next character typed replaces it rather than
// being added to a text that may fill the field already.
void CHARDWARE::OnDeviceEdit() {
  ui::CComboBox& devices = *GetComboBox(res::IDC_DEVICE);
  devices.SetCurSel(m_nSelectedDevice);
  devices.SetEditSel(0, -1);
}

void CHARDWARE::OnResolutionEdit() {
  const GameSettings& settings = *g_pSettings;
  ui::CComboBox& resolutions = *GetComboBox(res::IDC_RESOLUTION);
  // The saved resolution is always the shown entry's; an empty list shows
  // none.
  resolutions.SetCurSel(
      FindExact(resolutions, ModeEntryText(settings.screenWidth, settings.screenHeight, settings.screenDepth)));
  resolutions.SetEditSel(0, -1);
}

void CHARDWARE::OnTexture8Bit() { g_pSettings->textureMode = Textures8Bit; }
void CHARDWARE::OnTextureCompressed() { g_pSettings->textureMode = TexturesCompressed; }

void CHARDWARE::OnTexture16Bit() {
  // 16-bit textures always go with medium mip-mapping.
  g_pSettings->textureMode = Textures16Bit;
  m_pMipOff->SetCheck(0);
  g_pSettings->mipMapLevel = 2;
  m_pMipOn->SetCheck(1);
  m_pMipMedium->SetCheck(1);
  m_pMipLow->SetCheck(0);
  m_pMipHigh->SetCheck(0);
}

// The five mip-mapping buttons are one radio group, so each handler puts
// back the "On" or "Off" half of the picture after the click cleared it.
void CHARDWARE::OnMipOn() {
  m_pMipOff->SetCheck(0);
  if (g_pSettings->textureMode == Textures16Bit) {
    g_pSettings->mipMapLevel = 2;
    m_pMipMedium->SetCheck(1);
  } else {
    g_pSettings->mipMapLevel = 1;
    m_pMipHigh->SetCheck(1);
  }
}

void CHARDWARE::OnMipOff() {
  g_pSettings->mipMapLevel = 0;
  m_pMipOff->SetCheck(1);
  m_pMipLow->SetCheck(0);
  m_pMipMedium->SetCheck(0);
  m_pMipHigh->SetCheck(0);
}

void CHARDWARE::OnMipHigh() {
  g_pSettings->mipMapLevel = 1;
  m_pMipOff->SetCheck(0);
  m_pMipOn->SetCheck(1);
  if (g_pSettings->textureMode == Textures16Bit) {
    ShowWarningBox(*this, res::IDS_MIPMAP_NOT_RECOMMENDED, ui::MB_ICONEXCLAMATION);
  }
}

void CHARDWARE::OnMipMedium() {
  m_pMipOff->SetCheck(0);
  g_pSettings->mipMapLevel = 2;
  m_pMipOn->SetCheck(1);
}

void CHARDWARE::OnMipLow() {
  m_pMipOff->SetCheck(0);
  g_pSettings->mipMapLevel = 3;
  m_pMipOn->SetCheck(1);
}

namespace {

// The text of box 106 that says why the save failed.
unsigned SaveFailureText(SaveFailure failure) {
  switch (failure) {
    case SaveFailure::kReadOnlyFile:
      return res::IDS_SAVE_FAILED_READ_ONLY;
    case SaveFailure::kNoRights:
      return res::IDS_SAVE_FAILED_NO_RIGHTS;
    case SaveFailure::kFolderMissing:
      return res::IDS_SAVE_FAILED_FOLDER_MISSING;
    case SaveFailure::kUnreadable:
      return res::IDS_SAVE_FAILED_UNREADABLE;
    case SaveFailure::kNoGameFolder:
      return res::IDS_SAVE_FAILED_NO_GAME_FOLDER;
    case SaveFailure::kNone:
    case SaveFailure::kOther:
      break;
  }
  return res::IDS_SAVE_FAILED_OTHER;
}

}  // namespace

void CHARDWARE::OnOK() {
  // Save first; the archive check then judges the texture choice as saved.
  // A save that failed says why and keeps the sheet open with every choice
  // (the record stays), so OK may be pressed again once the cause is mended;
  // the archive check waits for the save that succeeds.
  const CommitResult commit = CommitSettings();
  m_bSaveFailed = !commit.saved;
  if (!commit.saved) {
    std::string folder = commit.failure == SaveFailure::kNoGameFolder ? commit.failedPath
                                                                     : ParentDirectory(commit.failedPath);
    // The current folder is named in full: "." tells the player nothing.
    if (folder == ".") folder = filesys::FileSystemSlot::Get().CurrentFolder();
    char* cause = LoadMessageText(SaveFailureText(commit.failure));
    ShowWarningBox(*this, res::IDS_SAVE_FAILED, ui::MB_ICONEXCLAMATION, {folder, cause != nullptr ? cause : ""});
    delete[] cause;
    return;
  }
  if (!TextureSetCheck(commit.options)) ShowWarningBox(*this, res::IDS_TEXTURE_ARCHIVE_MISSING, ui::MB_ICONHAND);
  ui::CPropertyPage::OnOK();
}

ui::BOOL CHARDWARE::OnApply() {
  OnOK();
  return m_bSaveFailed ? ui::FALSE : ui::TRUE;
}

}  // namespace halcyra
