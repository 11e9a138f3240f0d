// The dialog templates of the two property pages: one definition that every
// layer showing the dialogs reads (dialog model, terminal, Windows).
#pragma once

#include <cstdint>
#include <span>

namespace res {

// Window and control styles, with their Windows values.
constexpr std::uint32_t WS_CHILD = 0x40000000;
constexpr std::uint32_t WS_VISIBLE = 0x10000000;
constexpr std::uint32_t WS_DISABLED = 0x08000000;
constexpr std::uint32_t WS_BORDER = 0x00800000;
constexpr std::uint32_t WS_VSCROLL = 0x00200000;
constexpr std::uint32_t WS_GROUP = 0x00020000;
constexpr std::uint32_t WS_TABSTOP = 0x00010000;
constexpr std::uint32_t WS_CAPTION = 0x00C00000;
constexpr std::uint32_t DS_SETFONT = 0x40;

constexpr std::uint32_t BS_AUTOCHECKBOX = 0x3;
constexpr std::uint32_t BS_GROUPBOX = 0x7;
constexpr std::uint32_t BS_AUTORADIOBUTTON = 0x9;
constexpr std::uint32_t CBS_DROPDOWN = 0x2;
constexpr std::uint32_t CBS_AUTOHSCROLL = 0x40;
constexpr std::uint32_t CBS_SORT = 0x100;
constexpr std::uint32_t ES_LEFT = 0x0;
constexpr std::uint32_t ES_AUTOHSCROLL = 0x80;
constexpr std::uint32_t ES_READONLY = 0x800;
constexpr std::uint32_t SS_LEFT = 0x0;
constexpr std::uint32_t SS_BITMAP = 0xE;
constexpr std::uint32_t SS_CENTERIMAGE = 0x200;
constexpr std::uint32_t SS_REALSIZEIMAGE = 0x800;

enum class ControlKind { GroupBox, RadioButton, CheckBox, ComboBox, Edit, Static, Picture };

// Name of a kind as the scenario runner prints it.
const char* KindName(ControlKind kind);

struct ControlTemplate {
  int id;              // IDC_STATIC (-1) when the control has none
  ControlKind kind;
  const char* text;    // caption; empty for combos, edits and pictures
  int x, y, cx, cy;    // dialog units
  std::uint32_t style; // WS_*, BS_*, CBS_*, ES_*, SS_* bits
  int bitmapId;        // the picture's bitmap; 0 for other kinds

  bool StartsGroup() const { return (style & WS_GROUP) != 0; }
  bool TabStop() const { return (style & WS_TABSTOP) != 0; }
  bool InitiallyDisabled() const { return (style & WS_DISABLED) != 0; }
};

struct DialogTemplate {
  int id;
  const char* caption;
  int cx, cy;            // dialog units
  const char* fontName;
  int pointSize;
  std::span<const ControlTemplate> controls;
};

const DialogTemplate& HardwareDialog();  // template 131
const DialogTemplate& AudioDialog();     // template 136
// Every template, each once.
std::span<const DialogTemplate* const> Dialogs();
// The template with `id`, or null.
const DialogTemplate* FindDialog(int id);

}  // namespace res
