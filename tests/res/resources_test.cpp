// The resources every layer shows: dialog templates, string table, bitmaps.
#include <gtest/gtest.h>

#include <map>
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

// The radio groups the page's rules rely on, the combo boxes' and buttons'
// styles the dialog manager acts on, and each page's picture.
TEST(DialogTemplates, GroupsAndStylesThePagesRelyOn) {
  using namespace res;
  const DialogTemplate& hardware = HardwareDialog();
  EXPECT_EQ(RadioGroups(hardware), (std::vector<std::set<int>>{{IDC_GLIDE, IDC_DIRECT3D},
                                                               {IDC_TEXTURE_8BIT, IDC_TEXTURE_16BIT, IDC_TEXTURE_COMPRESSED},
                                                               {IDC_MIP_ON, IDC_MIP_OFF, IDC_MIP_HIGH, IDC_MIP_MEDIUM, IDC_MIP_LOW}}));
  for (const auto& control : hardware.controls) {
    if (control.kind == ControlKind::RadioButton) {
      EXPECT_EQ(control.style & 0xF, BS_AUTORADIOBUTTON) << control.text;
    }
    if (control.kind == ControlKind::ComboBox) {
      EXPECT_EQ(control.style & 0x3, CBS_DROPDOWN);
      EXPECT_NE(control.style & WS_VSCROLL, 0u);
    }
  }
  const DialogTemplate& audio = AudioDialog();
  std::map<int, std::uint32_t> style;
  for (const auto& control : audio.controls) style[control.id] = control.style;
  EXPECT_NE(style[IDC_SOUND_DEVICE] & CBS_SORT, 0u);
  EXPECT_NE(style[IDC_VOICES] & style[IDC_3D_VOICES] & ES_READONLY, 0u);
  EXPECT_EQ(style[IDC_EAX] & 0xF, BS_AUTOCHECKBOX);
  EXPECT_EQ(hardware.controls.back().bitmapId, IDB_HARDWARE);
  EXPECT_EQ(audio.controls.back().bitmapId, IDB_AUDIO);
  EXPECT_EQ(FindDialog(IDD_HARDWARE), &hardware);
  EXPECT_EQ(FindDialog(999), nullptr);
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
