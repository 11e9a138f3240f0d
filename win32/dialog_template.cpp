#include "win32/dialog_template.h"

#include <cstring>

namespace win32 {

namespace {

class Writer {
 public:
  std::vector<std::uint8_t> bytes;

  void Word(std::uint16_t value) {
    bytes.push_back(static_cast<std::uint8_t>(value & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(value >> 8));
  }
  void Dword(std::uint32_t value) {
    Word(static_cast<std::uint16_t>(value & 0xFFFF));
    Word(static_cast<std::uint16_t>(value >> 16));
  }
  void Short(int value) { Word(static_cast<std::uint16_t>(static_cast<std::int16_t>(value))); }
  void String(const std::u16string& text) {
    for (const char16_t c : text) Word(static_cast<std::uint16_t>(c));
    Word(0);
  }
  void AlignDword() {
    while (bytes.size() % 4 != 0) bytes.push_back(0);
  }
};

class Reader {
 public:
  explicit Reader(const std::vector<std::uint8_t>& data) : m_data(data) {}

  bool Word(std::uint16_t& value) {
    if (m_at + 2 > m_data.size()) return false;
    value = static_cast<std::uint16_t>(m_data[m_at] | (m_data[m_at + 1] << 8));
    m_at += 2;
    return true;
  }
  bool Dword(std::uint32_t& value) {
    std::uint16_t low = 0, high = 0;
    if (!Word(low) || !Word(high)) return false;
    value = static_cast<std::uint32_t>(low) | (static_cast<std::uint32_t>(high) << 16);
    return true;
  }
  bool Short(std::int16_t& value) {
    std::uint16_t raw = 0;
    if (!Word(raw)) return false;
    value = static_cast<std::int16_t>(raw);
    return true;
  }
  bool String(std::u16string& text) {
    text.clear();
    for (;;) {
      std::uint16_t c = 0;
      if (!Word(c)) return false;
      if (c == 0) return true;
      text.push_back(static_cast<char16_t>(c));
    }
  }
  bool AlignDword() {
    while (m_at % 4 != 0) {
      if (m_at >= m_data.size()) return false;
      ++m_at;
    }
    return true;
  }
  std::size_t Offset() const { return m_at; }

 private:
  const std::vector<std::uint8_t>& m_data;
  std::size_t m_at = 0;
};

}  // namespace

std::uint16_t ClassAtom(res::ControlKind kind) {
  switch (kind) {
    case res::ControlKind::GroupBox:
    case res::ControlKind::RadioButton:
    case res::ControlKind::CheckBox:
      return kButtonAtom;
    case res::ControlKind::ComboBox:
      return kComboBoxAtom;
    case res::ControlKind::Edit:
      return kEditAtom;
    case res::ControlKind::Static:
    case res::ControlKind::Picture:
      return kStaticAtom;
  }
  return kStaticAtom;
}

std::u16string Widen(const char* text) {
  std::u16string wide;
  if (text == nullptr) return wide;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p != 0; ++p) {
    wide.push_back(static_cast<char16_t>(*p));
  }
  return wide;
}

std::vector<std::uint8_t> BuildDialogTemplate(const res::DialogTemplate& dialog,
                                              std::uint32_t dialogStyle) {
  Writer out;
  out.Dword(dialogStyle | res::DS_SETFONT);
  out.Dword(0);  // extended style
  out.Word(static_cast<std::uint16_t>(dialog.controls.size()));
  out.Short(0);
  out.Short(0);
  out.Short(dialog.cx);
  out.Short(dialog.cy);
  out.Word(0);  // no menu
  out.Word(0);  // the predefined dialog class
  out.String(Widen(dialog.caption));
  out.Word(static_cast<std::uint16_t>(dialog.pointSize));
  out.String(Widen(dialog.fontName));

  for (const res::ControlTemplate& control : dialog.controls) {
    out.AlignDword();
    out.Dword(control.style);
    out.Dword(0);  // extended style
    out.Short(control.x);
    out.Short(control.y);
    out.Short(control.cx);
    out.Short(control.cy);
    // IDC_STATIC (-1) is stored as 0xFFFF, as resource compilers do.
    out.Word(static_cast<std::uint16_t>(control.id));
    out.Word(0xFFFF);
    out.Word(ClassAtom(control.kind));
    if (control.kind == res::ControlKind::Picture && control.bitmapId != 0) {
      out.Word(0xFFFF);
      out.Word(static_cast<std::uint16_t>(control.bitmapId));
    } else {
      out.String(Widen(control.text));
    }
    out.Word(0);  // no creation data
  }
  return std::move(out.bytes);
}

bool ParseDialogTemplate(const std::vector<std::uint8_t>& bytes, ParsedTemplate& parsed) {
  Reader in(bytes);
  std::uint32_t exStyle = 0;
  std::int16_t x = 0, y = 0;
  std::uint16_t menu = 0, windowClass = 0;
  if (!in.Dword(parsed.style) || !in.Dword(exStyle) || !in.Word(parsed.itemCount) || !in.Short(x) ||
      !in.Short(y) || !in.Short(parsed.cx) || !in.Short(parsed.cy) || !in.Word(menu) ||
      !in.Word(windowClass) || menu != 0 || windowClass != 0 || !in.String(parsed.caption)) {
    return false;
  }
  if ((parsed.style & res::DS_SETFONT) != 0) {
    if (!in.Word(parsed.pointSize) || !in.String(parsed.face)) return false;
  }
  parsed.items.clear();
  for (std::uint16_t i = 0; i < parsed.itemCount; ++i) {
    ParsedItem item;
    if (!in.AlignDword()) return false;
    item.offset = in.Offset();
    std::uint16_t classMarker = 0, extra = 0;
    if (!in.Dword(item.style) || !in.Dword(exStyle) || !in.Short(item.x) || !in.Short(item.y) ||
        !in.Short(item.cx) || !in.Short(item.cy) || !in.Word(item.id) || !in.Word(classMarker) ||
        classMarker != 0xFFFF || !in.Word(item.classAtom)) {
      return false;
    }
    std::uint16_t first = 0;
    if (!in.Word(first)) return false;
    if (first == 0xFFFF) {
      item.titleIsOrdinal = true;
      if (!in.Word(item.titleOrdinal)) return false;
    } else if (first != 0) {
      item.title.push_back(static_cast<char16_t>(first));
      std::u16string rest;
      if (!in.String(rest)) return false;
      item.title += rest;
    }
    if (!in.Word(extra) || extra != 0) return false;
    parsed.items.push_back(std::move(item));
  }
  parsed.size = in.Offset();
  return true;
}

}  // namespace win32
