// The audio page's combo sizing: the dropped list as wide as the widest
// entry plus a scroll bar and two edges, each entry as high as its text,
// under the dialog model's fixed metrics.
#include <gtest/gtest.h>

#include "dialog_model/sheet_model.h"
#include "pages/audio_page.h"
#include "res/dialogs.h"

using namespace halcyra;

namespace {

class NoUser : public dm::UserAgent {
 public:
  std::optional<dm::Action> NextAction(dm::SheetModel&) override { return std::nullopt; }
  int ShowMessageBox(dm::SheetModel&, const dm::MessageBoxInfo&) override { return ui::IDOK; }
};

TEST(ComboSizing, DroppedWidthIsTheWidestTextPlusScrollBarAndEdges) {
  const struct {
    std::vector<const char*> items;
    int widest;  // characters
  } cases[] = {{{"SB16", "Aureal Vortex AU8830 (WDM)", "Live!"}, 26}, {{}, 0}};
  for (const auto& c : cases) {
    NoUser user;
    dm::ModelPlatform platform(user, "pages_tests");
    ui::UiPlatformSlot::Install(&platform);
    dm::ControlModel control(res::AudioDialog().controls[0]);
    ui::CComboBox combo(&control);
    for (const char* text : c.items) combo.InsertString(-1, text);
    SetComboDroppedWidth(combo);
    SetComboItemHeights(combo);
    ui::UiPlatformSlot::Install(nullptr);
    EXPECT_EQ(control.droppedWidth, c.widest * dm::kCharWidth + dm::kVScrollWidth + 2 * dm::kEdgeWidth);
    EXPECT_EQ(control.itemHeights, (std::vector<int>(c.items.size(), dm::kCharHeight)));
  }
}

}  // namespace
