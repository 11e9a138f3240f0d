// Display driver and 3D device probing: the platform callbacks of the driver
// enumeration and of the texture probe, and the GUID text form.
#pragma once

#include <cstddef>

#include "hardware/directdraw_api.h"
#include "hardware/records.h"

namespace halcyra {

class HardwareInventory;

// What the driver callback hands to the device callback for one DirectDraw
// driver, while that driver's devices are enumerated.
struct DriverEnumContext {
  char* driverName;          // borrowed; copied into each record
  char* driverDescription;   // borrowed; copied into each record
  dx::GUID driverGuid;       // all zero for the default driver
  dx::IDirectDraw4* directDraw;  // borrowed, for the mode enumeration
  DisplayDriverRecord* pending;  // records made for this driver, newest first
  HardwareInventory* inventory;  // whose store the records are made in
};

// The GUID text form: the eleven fields as unsigned decimal numbers
// separated by commas. At most this many characters, terminator excluded.
constexpr std::size_t kGuidTextMaxLength = 54;
// Writes `guid` in the text form with its NUL into `text`; returns the
// text's length.
std::size_t FormatGuidText(const dx::GUID& guid, char (&text)[kGuidTextMaxLength + 1]);

// DirectDrawEnumerateExA's callback; `context` is the inventory. Always TRUE.
dx::BOOL HALCYRA_STDCALL DirectDrawEnumCallback(dx::GUID* guid, char* description, char* name,
                                                void* context, dx::HMONITOR monitor);
// IDirect3D3::EnumDevices's callback; `context` is the DriverEnumContext.
dx::HRESULT HALCYRA_STDCALL Direct3DDeviceEnumCallback(dx::GUID* guid, char* description, char* name,
                                                      dx::D3DDEVICEDESC* hardware,
                                                      dx::D3DDEVICEDESC* software, void* context);
// IDirectDraw4::EnumDisplayModes's callback; `context` is the record.
dx::HRESULT HALCYRA_STDCALL DisplayModeEnumCallback(dx::DDSURFACEDESC2* mode, void* context);
// IDirect3DDevice3::EnumTextureFormats's callback; `context` is the record.
dx::HRESULT HALCYRA_STDCALL TextureFormatEnumCallback(dx::DDPIXELFORMAT* format, void* context);

}  // namespace halcyra
