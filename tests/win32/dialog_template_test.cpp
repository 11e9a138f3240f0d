// The in-memory dialog templates: what the dialog manager reads back from
// the bytes must be the definition in res/, control by control.
#include <gtest/gtest.h>

#include "res/dialogs.h"
#include "res/resource.h"
#include "win32/dialog_template.h"

namespace {

class DialogTemplateTest : public ::testing::TestWithParam<int> {};

TEST_P(DialogTemplateTest, ReadsBackAsTheDefinition) {
  const res::DialogTemplate& dialog = *res::FindDialog(GetParam());
  const std::vector<std::uint8_t> bytes = win32::BuildDialogTemplate(dialog);
  win32::ParsedTemplate parsed;
  ASSERT_TRUE(win32::ParseDialogTemplate(bytes, parsed));
  EXPECT_EQ(parsed.size, bytes.size()) << "no bytes after the last control";

  EXPECT_EQ(parsed.style, win32::kPageStyle | res::DS_SETFONT);
  EXPECT_EQ(parsed.cx, dialog.cx);
  EXPECT_EQ(parsed.cy, dialog.cy);
  EXPECT_EQ(parsed.caption, win32::Widen(dialog.caption));
  EXPECT_EQ(parsed.pointSize, dialog.pointSize);
  EXPECT_EQ(parsed.face, u"MS Sans Serif");

  ASSERT_EQ(parsed.itemCount, dialog.controls.size());
  ASSERT_EQ(parsed.items.size(), dialog.controls.size());
  for (std::size_t i = 0; i < dialog.controls.size(); ++i) {
    const res::ControlTemplate& control = dialog.controls[i];
    const win32::ParsedItem& item = parsed.items[i];
    SCOPED_TRACE("control " + std::to_string(i));
    EXPECT_EQ(item.offset % 4, 0u) << "each control starts on a DWORD boundary";
    EXPECT_EQ(item.style, control.style);
    EXPECT_EQ(item.x, control.x);
    EXPECT_EQ(item.y, control.y);
    EXPECT_EQ(item.cx, control.cx);
    EXPECT_EQ(item.cy, control.cy);
    EXPECT_EQ(item.id, static_cast<std::uint16_t>(control.id)) << "IDC_STATIC as 0xFFFF";
    EXPECT_EQ(item.classAtom, win32::ClassAtom(control.kind));
    if (control.kind == res::ControlKind::Picture) {
      EXPECT_TRUE(item.titleIsOrdinal);
      EXPECT_EQ(item.titleOrdinal, control.bitmapId);
    } else {
      EXPECT_FALSE(item.titleIsOrdinal);
      EXPECT_EQ(item.title, win32::Widen(control.text));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(BothPages, DialogTemplateTest, ::testing::Values(res::IDD_HARDWARE, res::IDD_AUDIO));

TEST(DialogTemplate, TextsAreWidenedByteForByte) {
  EXPECT_EQ(win32::Widen("3D Hardware"), u"3D Hardware");
  EXPECT_EQ(win32::Widen("caf\xe9"), std::u16string(u"caf") + char16_t{0xE9});
  EXPECT_EQ(win32::Widen(""), u"");
  EXPECT_EQ(win32::Widen(nullptr), u"");
}

TEST(DialogTemplate, AnyTruncationIsRefusedByTheReader) {
  const std::vector<std::uint8_t> bytes = win32::BuildDialogTemplate(res::HardwareDialog());
  win32::ParsedTemplate parsed;
  for (std::size_t length = 0; length + 1 < bytes.size(); length += 7) {
    const std::vector<std::uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length));
    EXPECT_FALSE(win32::ParseDialogTemplate(cut, parsed)) << "length " << length;
  }
}

}  // namespace
