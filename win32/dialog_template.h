// In-memory dialog templates (the DLGTEMPLATE format the Windows dialog
// manager reads) built from the one dialog definition in res/, so the Windows
// pages show exactly the controls every other layer shows. Free of Windows
// headers, so the byte layout is also checked by the Linux unit tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "res/dialogs.h"

namespace win32 {

// Styles of a property page's own window: a captioned child that the
// property sheet shows, with the template's font.
constexpr std::uint32_t kPageStyle =
    res::WS_CHILD | res::WS_DISABLED | res::WS_CAPTION | res::DS_SETFONT;

// Predefined window-class atoms used by the items of a template.
constexpr std::uint16_t kButtonAtom = 0x0080;
constexpr std::uint16_t kEditAtom = 0x0081;
constexpr std::uint16_t kStaticAtom = 0x0082;
constexpr std::uint16_t kComboBoxAtom = 0x0085;

std::uint16_t ClassAtom(res::ControlKind kind);

// 8-bit text as UTF-16, each byte as the Latin-1 character of its value.
std::u16string Widen(const char* text);

// The template as the dialog manager reads it: a DLGTEMPLATE with
// `dialogStyle`, the caption, DS_SETFONT's point size and face, then one
// DWORD-aligned DLGITEMTEMPLATE per control in template order. A picture's
// title is the ordinal of its bitmap resource. The first byte must be placed
// on a DWORD boundary (std::vector's storage is).
std::vector<std::uint8_t> BuildDialogTemplate(const res::DialogTemplate& dialog,
                                              std::uint32_t dialogStyle = kPageStyle);

// A template read back from its bytes; used by the tests.
struct ParsedItem {
  std::uint32_t style = 0;
  std::int16_t x = 0, y = 0, cx = 0, cy = 0;
  std::uint16_t id = 0;
  std::uint16_t classAtom = 0;
  bool titleIsOrdinal = false;
  std::uint16_t titleOrdinal = 0;
  std::u16string title;
  std::size_t offset = 0;  // of the item's header
};

struct ParsedTemplate {
  std::uint32_t style = 0;
  std::uint16_t itemCount = 0;
  std::int16_t cx = 0, cy = 0;
  std::u16string caption;
  std::uint16_t pointSize = 0;
  std::u16string face;
  std::vector<ParsedItem> items;
  std::size_t size = 0;  // bytes consumed
};

// Reads `bytes` as a DLGTEMPLATE; false when it is malformed or truncated.
bool ParseDialogTemplate(const std::vector<std::uint8_t>& bytes, ParsedTemplate& parsed);

}  // namespace win32
