// The resources every layer shows: dialog templates, string table, bitmaps.
#include <gtest/gtest.h>

#include <set>

#include "res/bitmaps.h"
#include "res/dialogs.h"
#include "res/resource.h"
#include "res/strings.h"

namespace {

// The radio groups as the dialog manager forms them: from a control that
// starts a group to the next one that starts one.
std::vector<std::set<int>> RadioGroups(const res::DialogTemplate& dialog) {
  std::vector<std::set<int>> groups;
  std::set<int> current;
  for (const auto& control : dialog.controls) {
    if (control.StartsGroup() && !current.empty()) {
      groups.push_back(current);
      current.clear();
    }
    if (control.kind == res::ControlKind::RadioButton) current.insert(control.id);
  }
  if (!current.empty()) groups.push_back(current);
  return groups;
}

TEST(DialogTemplates, HardwarePageHasItsCaptionSizeAndRadioGroups) {
  const res::DialogTemplate& dialog = res::HardwareDialog();
  EXPECT_EQ(dialog.id, 131);
  EXPECT_STREQ(dialog.caption, "3D Hardware");
  EXPECT_EQ(dialog.cx, 346);
  EXPECT_EQ(dialog.cy, 175);
  EXPECT_STREQ(dialog.fontName, "MS Sans Serif");
  EXPECT_EQ(dialog.pointSize, 8);
  EXPECT_EQ(dialog.controls.size(), 17u);
  EXPECT_EQ(RadioGroups(dialog), (std::vector<std::set<int>>{
                                     {1002, 1003}, {1005, 1006, 1015}, {1008, 1009, 1010, 1011, 1012}}));
  for (const auto& control : dialog.controls) {
    if (control.kind == res::ControlKind::RadioButton) {
      EXPECT_EQ(control.style & 0xF, res::BS_AUTORADIOBUTTON) << control.text;
    }
    if (control.kind == res::ControlKind::ComboBox) {
      EXPECT_EQ(control.style & 0x3, res::CBS_DROPDOWN);
      EXPECT_NE(control.style & res::WS_VSCROLL, 0u);
    }
  }
  const res::ControlTemplate& picture = dialog.controls.back();
  EXPECT_EQ(picture.kind, res::ControlKind::Picture);
  EXPECT_EQ(picture.bitmapId, 142);
  EXPECT_EQ(picture.cx, 82);
  EXPECT_EQ(picture.cy, 161);
}

TEST(DialogTemplates, AudioPageHasItsControlsInOrder) {
  const res::DialogTemplate& dialog = res::AudioDialog();
  EXPECT_EQ(dialog.id, 136);
  EXPECT_STREQ(dialog.caption, "Audio Selections");
  std::vector<int> ids;
  for (const auto& control : dialog.controls) ids.push_back(control.id);
  EXPECT_EQ(ids, (std::vector<int>{1014, 1015, -1, -1, 1016, 1017, -1, -1, -1, -1}));
  const auto& combo = dialog.controls[0];
  EXPECT_NE(combo.style & res::CBS_SORT, 0u);
  const auto& edit = dialog.controls[4];
  EXPECT_NE(edit.style & res::ES_READONLY, 0u);
  EXPECT_EQ(dialog.controls[1].style & 0xF, res::BS_AUTOCHECKBOX);
  EXPECT_FALSE(dialog.controls[1].InitiallyDisabled());
  EXPECT_EQ(dialog.controls.back().bitmapId, 141);
  EXPECT_EQ(res::FindDialog(131), &res::HardwareDialog());
  EXPECT_EQ(res::FindDialog(999), nullptr);
}

TEST(StringTable, HoldsTheWarningTexts) {
  EXPECT_STREQ(res::FindString(103), "No compatible 3D hardware devices were detected on your system.");
  // Two blanks after the first sentence.
  EXPECT_NE(std::string(res::FindString(104)).find("Halcyra.  If you choose"), std::string::npos);
  EXPECT_TRUE(std::string(res::FindString(102)).starts_with("You have chosen a texture setting"));
  EXPECT_TRUE(std::string(res::FindString(105)).ends_with("degradation in performance."));
  EXPECT_TRUE(std::string(res::FindString(106)).starts_with("Your settings could not be saved"));
  EXPECT_EQ(res::FindString(101), nullptr);
  EXPECT_EQ(res::FindStringId(res::FindString(105)), 105u);
  EXPECT_EQ(res::FindStringId("not a string of ours"), 0u);
}

TEST(Bitmaps, AreTheSizeThePicturesExpectAndNotBlank) {
  for (int id : {res::IDB_AUDIO, res::IDB_HARDWARE}) {
    const res::Image image = res::RenderBitmap(id);
    ASSERT_EQ(image.width, 116);
    ASSERT_EQ(image.height, 270);
    ASSERT_EQ(image.rgb.size(), 116u * 270u * 3u);
    std::set<int> colours;
    for (int y = 0; y < image.height; y += 9) {
      for (int x = 0; x < image.width; x += 7) colours.insert(image.R(x, y) << 16 | image.G(x, y) << 8 | image.B(x, y));
    }
    EXPECT_GT(colours.size(), 20u) << id;
  }
  EXPECT_EQ(res::RenderBitmap(1).width, 0);
  EXPECT_EQ(res::RenderIcon(32).rgb.size(), 32u * 32u * 3u);
}

// A picture drawn for a larger frame is the same picture, sharp: at twice
// the design size every other pixel is the design's pixel; a frame of
// another shape is filled whole; an empty frame gets no picture.
TEST(Bitmaps, AreDrawnAtTheSizeOfTheirFrame) {
  for (int id : {res::IDB_AUDIO, res::IDB_HARDWARE}) {
    const res::Image design = res::RenderBitmap(id);
    const res::Image doubled = res::RenderBitmap(id, 2 * res::kPictureWidth, 2 * res::kPictureHeight);
    ASSERT_EQ(doubled.rgb.size(), design.rgb.size() * 4);
    int differing = 0;
    for (int y = 0; y < design.height; ++y) {
      for (int x = 0; x < design.width; ++x) {
        differing += doubled.R(2 * x, 2 * y) != design.R(x, y) || doubled.G(2 * x, 2 * y) != design.G(x, y) ||
                     doubled.B(2 * x, 2 * y) != design.B(x, y);
      }
    }
    EXPECT_EQ(differing, 0) << id;
    // The 3D page's frame at 192 DPI under Wine: wider than the design.
    const res::Image wide = res::RenderBitmap(id, 263, 479);
    ASSERT_EQ(wide.rgb.size(), 263u * 479u * 3u);
    EXPECT_NE(wide.R(0, 0) << 16 | wide.G(0, 0) << 8 | wide.B(0, 0), 0) << id;
    EXPECT_NE(wide.R(262, 478) << 16 | wide.G(262, 478) << 8 | wide.B(262, 478), 0) << id;
    EXPECT_EQ(res::RenderBitmap(id, 0, 270).width, 0);
  }
}

}  // namespace
