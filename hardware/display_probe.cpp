// Display driver enumeration, device selection, the display-mode filter and
// the texture-format probe.
#include "hardware/display_probe.h"

#include <string_view>

#include "hardware/inventory.h"
#include "hardware/record_list.h"

namespace halcyra {

namespace {

// While the device callback runs a record's mode enumeration, the record
// and the store its modes are made in; a mode callback for any other record
// has no store and keeps nothing. The modes go at the tail of the record's
// list, which stays open (its tail kept) for the enumeration.
struct ModeEnumeration {
  DisplayDriverRecord* record = nullptr;
  RecordStore* store = nullptr;
};
ModeEnumeration g_modeEnumeration;

// Appends `value` in decimal, without leading zeros.
char* AppendDecimal(char* out, unsigned long value) {
  char digits[20];
  int count = 0;
  do {
    digits[count++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  while (count > 0) *out++ = digits[--count];
  return out;
}

template <typename Interface>
Interface* AsInterface(void* object) {
  return static_cast<Interface*>(object);
}

bool Succeeded(dx::HRESULT result) { return result == dx::DD_OK; }

}  // namespace

std::size_t FormatGuidText(const dx::GUID& guid, char (&text)[kGuidTextMaxLength + 1]) {
  // The eleven fields as "%lu,%lu,...,%lu" writes them, without the cost of
  // a format string: a large machine has thousands of these texts.
  char* out = AppendDecimal(text, guid.Data1);
  *out++ = ',';
  out = AppendDecimal(out, guid.Data2);
  *out++ = ',';
  out = AppendDecimal(out, guid.Data3);
  for (const unsigned char byte : guid.Data4) {
    *out++ = ',';
    out = AppendDecimal(out, byte);
  }
  *out = '\0';
  return static_cast<std::size_t>(out - text);
}

namespace {

// A record's GUID text, made in the store.
char* GuidTextIn(RecordStore& store, const dx::GUID& guid) {
  char text[kGuidTextMaxLength + 1];
  const std::size_t length = FormatGuidText(guid, text);
  return store.CopyText(std::string_view(text, length));
}

}  // namespace

bool HardwareInventory::EnumerateDisplayDrivers() {
  const dx::DWORD flags =
      dx::DDENUM_ATTACHEDSECONDARYDEVICES | dx::DDENUM_DETACHEDSECONDARYDEVICES | dx::DDENUM_NONDISPLAYDEVICES;
  return dx::DirectDrawSlot::Get().DirectDrawEnumerateExA(DirectDrawEnumCallback, this, flags) == dx::DD_OK;
}

dx::BOOL HALCYRA_STDCALL DirectDrawEnumCallback(dx::GUID* guid, char* description, char* name, void* context,
                                                dx::HMONITOR) {
  auto* inventory = static_cast<HardwareInventory*>(context);

  dx::IDirectDraw* directDraw = nullptr;
  if (!Succeeded(dx::DirectDrawSlot::Get().DirectDrawCreate(guid, &directDraw, nullptr)) || directDraw == nullptr) {
    return dx::TRUE;
  }

  void* object = nullptr;
  const dx::HRESULT asked = directDraw->QueryInterface(dx::IID_IDirectDraw4, &object);
  directDraw->Release();
  if (!Succeeded(asked) || object == nullptr) return dx::TRUE;
  auto* directDraw4 = AsInterface<dx::IDirectDraw4>(object);

  object = nullptr;
  if (!Succeeded(directDraw4->QueryInterface(dx::IID_IDirect3D3, &object)) || object == nullptr) {
    directDraw4->Release();
    return dx::TRUE;
  }
  auto* direct3D = AsInterface<dx::IDirect3D3>(object);

  inventory->progress(kProgressDriver);

  DriverEnumContext driver{};
  driver.driverName = name;
  driver.driverDescription = description;
  if (guid != nullptr) driver.driverGuid = *guid;
  driver.directDraw = directDraw4;
  driver.pending = nullptr;
  driver.inventory = inventory;

  direct3D->EnumDevices(Direct3DDeviceEnumCallback, &driver);

  direct3D->Release();
  directDraw4->Release();

  // The pending list is newest first; moving each to the inventory's head
  // puts this driver's records, in enumeration order, before the earlier
  // drivers' records.
  while (driver.pending != nullptr) {
    DisplayDriverRecord* record = driver.pending;
    driver.pending = record->next;
    record->next = inventory->displayDrivers;
    inventory->displayDrivers = record;
    ++inventory->displayDriverCount;
  }
  return dx::TRUE;
}

dx::HRESULT HALCYRA_STDCALL Direct3DDeviceEnumCallback(dx::GUID* guid, char* deviceDescription, char* deviceName,
                                                      dx::D3DDEVICEDESC* hardware,
                                                      dx::D3DDEVICEDESC* software, void* context) {
  if (guid == nullptr || hardware == nullptr || software == nullptr || context == nullptr) {
    return dx::D3DENUMRET_CANCEL;
  }
  auto* driver = static_cast<DriverEnumContext*>(context);
  if (*guid == dx::IID_IDirect3DNullDevice) return dx::D3DENUMRET_OK;
  if (hardware->dwFlags == 0) return dx::D3DENUMRET_OK;  // a software rasteriser

  if (driver->inventory == nullptr) return dx::D3DENUMRET_CANCEL;
  RecordStore& store = driver->inventory->Details();
  auto* record = driver->inventory->Records().Make<DisplayDriverRecord>();
  if (record == nullptr) return dx::D3DENUMRET_CANCEL;

  const char* description = driver->driverDescription != nullptr ? driver->driverDescription : "";
  record->description = store.CopyText(description);
  record->ddGuid = driver->driverGuid;
  record->d3dGuid = *guid;
  if (record->description != nullptr) {
    record->ddGuidText = GuidTextIn(store, record->ddGuid);
    record->d3dGuidText = GuidTextIn(store, record->d3dGuid);
  }
  // A record without its description or GUID texts would leave the pages
  // with null text: it is not listed (its memory goes with the store) and
  // the enumeration stops.
  if (record->description == nullptr || record->ddGuidText == nullptr || record->d3dGuidText == nullptr) {
    return dx::D3DENUMRET_CANCEL;
  }
  record->next = driver->pending;
  driver->pending = record;
  // Only what tells twin entries apart: a copy that fails leaves it null.
  if (driver->driverName != nullptr) record->driverName = store.CopyText(driver->driverName);
  if (deviceName != nullptr) record->deviceName = store.CopyText(deviceName);
  if (deviceDescription != nullptr) record->deviceDescription = store.CopyText(deviceDescription);

  record->hardware = 1;
  record->renderDepths = hardware->dwDeviceRenderBitDepth;
  if ((hardware->dwTextureOpCaps & (dx::D3DTEXOPCAPS_SELECTARG2 | dx::D3DTEXOPCAPS_MODULATE)) != 0) {
    record->textureFormats |= TEXFMT_BLENDOPS;
  }

  const ModeEnumeration outer = g_modeEnumeration;
  g_modeEnumeration = ModeEnumeration{record, &store};
  {
    const OpenRecordList<DisplayModeRecord> modes(record->modes);
    driver->directDraw->EnumDisplayModes(0, nullptr, record, DisplayModeEnumCallback);
  }
  g_modeEnumeration = outer;

  if (record->modes == nullptr) {
    auto* mode = store.Make<DisplayModeRecord>();
    if (mode != nullptr) {
      record->modeCount = 1;
      mode->width = 640;
      mode->height = 480;
      mode->depth = 16;
      mode->pixelFormat.dwSize = sizeof(dx::DDPIXELFORMAT);
      mode->pixelFormat.dwFlags = dx::DDPF_RGB;
      mode->pixelFormat.dwRGBBitCount = 16;
      mode->pixelFormat.dwRBitMask = 0xF800;
      mode->pixelFormat.dwGBitMask = 0x07E0;
      mode->pixelFormat.dwBBitMask = 0x001F;
      record->modes = mode;
    }
  }
  return dx::D3DENUMRET_OK;
}

dx::HRESULT HALCYRA_STDCALL DisplayModeEnumCallback(dx::DDSURFACEDESC2* mode, void* context) {
  auto* record = static_cast<DisplayDriverRecord*>(context);
  if (mode == nullptr || record == nullptr) return dx::DDENUMRET_OK;
  const dx::DWORD depth = mode->ddpfPixelFormat.dwRGBBitCount;
  const dx::DWORD depths = record->renderDepths;
  if ((depth == 8 && (depths & dx::DDBD_8) == 0) || (depth == 16 && (depths & dx::DDBD_16) == 0) ||
      (depth == 24 && (depths & dx::DDBD_24) == 0) || (depth == 32 && (depths & dx::DDBD_32) == 0)) {
    return dx::DDENUMRET_OK;
  }
  if (mode->dwWidth < 640 || mode->dwHeight < 480 || depth < 16) return dx::DDENUMRET_OK;

  auto* kept =
      g_modeEnumeration.record == record ? g_modeEnumeration.store->Make<DisplayModeRecord>() : nullptr;
  if (kept == nullptr) return dx::DDENUMRET_OK;
  ++record->modeCount;
  kept->next = nullptr;
  kept->width = mode->dwWidth;
  kept->height = mode->dwHeight;
  kept->depth = depth;
  kept->pixelFormat = mode->ddpfPixelFormat;
  AppendRecord(record->modes, kept);
  return dx::DDENUMRET_OK;
}

bool HardwareInventory::ProbeDisplayDrivers() {
  for (DisplayDriverRecord* record = displayDrivers; record != nullptr; record = record->next) {
    dx::IDirectDraw* directDraw = nullptr;
    if (!Succeeded(dx::DirectDrawSlot::Get().DirectDrawCreate(&record->ddGuid, &directDraw, nullptr)) ||
        directDraw == nullptr) {
      continue;
    }

    void* object = nullptr;
    const dx::HRESULT asked = directDraw->QueryInterface(dx::IID_IDirectDraw4, &object);
    directDraw->Release();
    if (!Succeeded(asked) || object == nullptr) continue;
    auto* directDraw4 = AsInterface<dx::IDirectDraw4>(object);

    object = nullptr;
    if (!Succeeded(directDraw4->QueryInterface(dx::IID_IDirect3D3, &object)) || object == nullptr) {
      directDraw4->Release();
      continue;
    }
    auto* direct3D = AsInterface<dx::IDirect3D3>(object);

    if (!Succeeded(directDraw4->SetCooperativeLevel(nullptr, dx::DDSCL_NORMAL))) {
      direct3D->Release();
      directDraw4->Release();
      continue;
    }

    dx::DDSURFACEDESC2 description{};
    description.dwSize = dx::kDDSurfaceDesc2Size;
    description.dwFlags = dx::DDSD_CAPS;
    description.ddsCaps.dwCaps = dx::DDSCAPS_PRIMARYSURFACE | dx::DDSCAPS_3DDEVICE;
    dx::IDirectDrawSurface4* surface = nullptr;
    for (DisplayModeRecord* mode = record->modes; mode != nullptr; mode = mode->next) {
      description.dwWidth = mode->width;
      description.dwHeight = mode->height;
      description.ddpfPixelFormat = mode->pixelFormat;
      dx::IDirectDrawSurface4* created = nullptr;
      if (Succeeded(directDraw4->CreateSurface(&description, &created, nullptr)) && created != nullptr) {
        surface = created;
        break;
      }
    }
    if (surface == nullptr) {
      directDraw4->Release();
      direct3D->Release();
      continue;
    }

    dx::IDirect3DDevice3* device = nullptr;
    if (!Succeeded(direct3D->CreateDevice(record->d3dGuid, surface, &device, nullptr)) || device == nullptr) {
      surface->Release();
      direct3D->Release();
      directDraw4->Release();
      continue;
    }

    const dx::HRESULT enumerated = device->EnumTextureFormats(TextureFormatEnumCallback, record);

    device->Release();
    surface->Release();
    direct3D->Release();
    directDraw4->Release();

    if (enumerated == dx::D3D_OK && (record->textureFormats & TEXFMT_1555) == 0) record->has565Textures = 0;
  }
  return true;
}

dx::HRESULT HALCYRA_STDCALL TextureFormatEnumCallback(dx::DDPIXELFORMAT* format, void* context) {
  auto* record = static_cast<DisplayDriverRecord*>(context);
  if (format == nullptr || record == nullptr) return dx::D3DENUMRET_OK;
  const dx::DWORD bits = format->dwRGBBitCount;
  const dx::DWORD red = format->dwRBitMask;
  const dx::DWORD green = format->dwGBitMask;
  const dx::DWORD blue = format->dwBBitMask;
  const dx::DWORD alpha = format->dwRGBAlphaBitMask;
  const bool argb8888 = alpha == 0xFF000000u && red == 0x00FF0000u && green == 0x0000FF00u && blue == 0x000000FFu;

  if ((format->dwFlags & dx::DDPF_PALETTEINDEXED8) != 0) {
    record->palettedTextures = 1;
    record->textureFormats |= TEXFMT_8BIT;
  } else if ((format->dwFlags & (dx::DDPF_ALPHAPIXELS | dx::DDPF_ALPHA)) != 0 && bits == 8) {
    record->textureFormats |= TEXFMT_8BIT;
  } else if (bits == 16) {
    if (red == 0xF800 && green == 0x07E0 && blue == 0x001F) {
      record->has565Textures = 1;
    } else if (alpha == 0x8000 && red == 0x7C00 && green == 0x03E0 && blue == 0x001F) {
      record->textureFormats |= TEXFMT_1555;
    } else if (alpha == 0xF000 && red == 0x0F00 && green == 0x00F0 && blue == 0x000F) {
      record->textureFormats |= TEXFMT_4444;
    } else if (argb8888) {
      record->textureFormats |= TEXFMT_8888;
    } else if ((red == 0x00FF && alpha == 0xFF00) || (red == 0xFF00 && alpha == 0x00FF)) {
      record->textureFormats |= TEXFMT_88;
    }
  } else if (bits == 32 && argb8888) {
    record->textureFormats |= TEXFMT_8888;
  }
  return dx::D3DENUMRET_OK;
}

}  // namespace halcyra
