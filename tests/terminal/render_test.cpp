// The renderer on the real templates: where things go, how states look.
#include <gtest/gtest.h>

#include <algorithm>

#include "demo_pages.h"
#include "res/resource.h"
#include "terminal/frame_writer.h"
#include "terminal/render.h"

namespace {

using term::Caps;
using term::Grid;
using term::Size;
using term::ViewState;

constexpr Size kTerm{100, 32};
constexpr Caps kColour{256, true};
constexpr Caps kMono{0, false};

using test::IndexOf;

// The cell rectangle of control `id` of the active page.
term::Rect PlaceOf(const dm::SheetModel& sheet, const term::SheetLayout& layout, int id) {
  const term::ControlPlace* place = layout.Place(IndexOf(sheet, id));
  if (place) return place->rect;
  ADD_FAILURE() << "no control " << id;
  return {};
}

std::string Cells(const Grid& grid, const term::Rect& rect) {
  std::u32string text;
  for (int x = rect.x; x < rect.x + rect.w; ++x) text.push_back(grid.At(x, rect.y).ch);
  return term::ToUtf8(text);
}

TEST(RenderLayout, BothPagesKeepTheTemplatesGeometry) {
  // On both pages: every control inside the page, frames that contain a
  // control in dialog units contain it in cells (inside their border), and
  // no two one-line controls share a cell.
  for (const int page : {0, 1}) {
    test::WithDemoSheet({test::Tab(page)}, [&](dm::SheetModel& sheet) {
      const term::SheetLayout layout = term::ComputeLayout(sheet, ViewState{}, kTerm);
      ASSERT_TRUE(layout.fits);
      EXPECT_EQ(layout.page.w, 87);
      EXPECT_EQ(layout.page.h, 22);
      const auto& controls = sheet.Page(page)->Controls();
      for (const auto& a : layout.controls) {
        const auto& ta = controls[static_cast<std::size_t>(a.index)]->Template();
        EXPECT_GE(a.rect.x, layout.page.x);
        EXPECT_LE(a.rect.Right(), layout.page.Right()) << ta.text;
        EXPECT_LE(a.rect.Bottom(), layout.page.Bottom()) << ta.text;
        for (const auto& b : layout.controls) {
          if (a.index == b.index) continue;
          const auto& tb = controls[static_cast<std::size_t>(b.index)]->Template();
          const bool framed = ta.kind == res::ControlKind::GroupBox;
          const bool inside = tb.x >= ta.x && tb.y >= ta.y && tb.x + tb.cx <= ta.x + ta.cx &&
                              tb.y + tb.cy <= ta.y + ta.cy;
          if (framed && inside && tb.kind != res::ControlKind::ComboBox) {
            EXPECT_GT(b.rect.x, a.rect.x) << tb.text << " in " << ta.text;
            EXPECT_LT(b.rect.Right(), a.rect.Right()) << tb.text << " in " << ta.text;
            EXPECT_GT(b.rect.y, a.rect.y) << tb.text << " in " << ta.text;
            EXPECT_LT(b.rect.Bottom(), a.rect.Bottom()) << tb.text << " in " << ta.text;
          }
          const bool oneLine = ta.kind != res::ControlKind::GroupBox &&
                               ta.kind != res::ControlKind::Picture &&
                               tb.kind != res::ControlKind::GroupBox &&
                               tb.kind != res::ControlKind::Picture;
          if (oneLine && a.rect.y == b.rect.y) {
            const bool apart = a.rect.Right() < b.rect.x || b.rect.Right() < a.rect.x;
            EXPECT_TRUE(apart) << ta.text << " / " << tb.text;
          }
        }
      }
    });
  }
}

TEST(RenderLayout, DialogUnitsMapToCells) {
  test::WithDemoSheet({}, [](dm::SheetModel& sheet) {
    const term::SheetLayout layout = term::ComputeLayout(sheet, ViewState{}, kTerm);
    const int px = layout.page.x, py = layout.page.y;
    // Glide at (17, 20) 32 x 10: column 17/4, the row of its centre 25/8.
    EXPECT_EQ(PlaceOf(sheet, layout, res::IDC_GLIDE).x - px, 4);
    EXPECT_EQ(PlaceOf(sheet, layout, res::IDC_GLIDE).y - py, 3);
    // Radio buttons in one template row share a cell row; a column of them
    // keeps its column.
    EXPECT_EQ(PlaceOf(sheet, layout, res::IDC_GLIDE).y, PlaceOf(sheet, layout, res::IDC_DIRECT3D).y);
    EXPECT_EQ(PlaceOf(sheet, layout, res::IDC_MIP_ON).y, PlaceOf(sheet, layout, res::IDC_MIP_HIGH).y);
    EXPECT_EQ(PlaceOf(sheet, layout, res::IDC_MIP_OFF).y, PlaceOf(sheet, layout, res::IDC_MIP_MEDIUM).y);
    EXPECT_EQ(PlaceOf(sheet, layout, res::IDC_MIP_ON).x, PlaceOf(sheet, layout, res::IDC_MIP_OFF).x);
    const int rows[] = {PlaceOf(sheet, layout, res::IDC_TEXTURE_8BIT).y,
                        PlaceOf(sheet, layout, res::IDC_TEXTURE_16BIT).y,
                        PlaceOf(sheet, layout, res::IDC_TEXTURE_COMPRESSED).y};
    EXPECT_TRUE(rows[0] < rows[1] && rows[1] < rows[2]);
    // The device combo is 178 units wide: 45 cells.
    EXPECT_EQ(PlaceOf(sheet, layout, res::IDC_DEVICE).w, 45);
  });
}

TEST(RenderLayout, LongAudioLabelsPushTheirFieldsAlongAligned) {
  test::WithDemoSheet({test::Tab(1)}, [](dm::SheetModel& sheet) {
    const term::SheetLayout layout = term::ComputeLayout(sheet, ViewState{}, kTerm);
    const term::Rect voices = PlaceOf(sheet, layout, res::IDC_VOICES);
    const term::Rect voices3d = PlaceOf(sheet, layout, res::IDC_3D_VOICES);
    EXPECT_EQ(voices.x, voices3d.x);
    const Grid grid = term::Render(sheet, ViewState{}, layout, kColour);
    const auto label = test::Find(grid, "Number Of 3D Voices:");
    ASSERT_GE(label.first, 0);
    EXPECT_EQ(label.second, voices3d.y);
    EXPECT_GT(voices3d.x, label.first + 20);  // at least one blank between
    // The group's caption is wider than the template's frame: it is widened.
    EXPECT_TRUE(test::Shows(grid, "Extended Properties:"));
  });
}

TEST(Render, HardwarePageShowsItsControlsAndState) {
  test::WithDemoSheet({}, [](dm::SheetModel& sheet) {
    const term::SheetLayout layout = term::ComputeLayout(sheet, ViewState{}, kTerm);
    const Grid grid = term::Render(sheet, ViewState{}, layout, kColour);
    EXPECT_NE(grid.RowText(layout.sheet.y).find("Halcyra Setup"), std::string::npos);
    const std::string tabs = grid.RowText(layout.sheet.y + 2);
    EXPECT_LT(tabs.find("3D Hardware"), tabs.find("Audio Selections"));
    for (const char* text : {"3D Hardware ", "Textures", "Mip Mapping", "Screen Resolution",
                             "( ) Glide", "(\u2022) Direct 3D", "( ) 8-Bit Textures",
                             "(\u2022) 16-Bit Textures", "( ) Compressed", "(\u2022) On",
                             "( ) Off", "( ) High", "(\u2022) Medium", "( ) Low",
                             "    Voodoo3 3000 Direct3D", "800 x 600 x 16", "OK", "Cancel"}) {
      EXPECT_TRUE(test::Shows(grid, text)) << text;
    }
    EXPECT_FALSE(test::Shows(grid, "Help"));  // hidden by the sheet
    EXPECT_FALSE(test::Shows(grid, "Apply"));
    // The closed combo ends in its drop-down arrow.
    const term::Rect combo = PlaceOf(sheet, layout, res::IDC_DEVICE);
    EXPECT_EQ(grid.At(combo.Right(), combo.y).ch, U'\u25BC');
  });
}

// Radio marks are shown on the 3D page above; the check box and the audio
// page's fields here.
TEST(Render, AudioPageShowsItsCheckBoxAndFields) {
  test::WithDemoSheet({test::Tab(1)}, [](dm::SheetModel& sheet) {
    const Grid grid = term::Render(sheet, ViewState{}, kTerm, kColour);
    for (const char* text : {"[x] EAX", "Sound Blaster Live!", "[32"}) {
      EXPECT_TRUE(test::Shows(grid, text)) << text;
    }
  });
}

TEST(Render, DisabledAndFocusedControlsLookApart) {
  test::WithDemoSheet({}, [](dm::SheetModel& sheet) {
    ViewState state;
    state.page = 0;
    state.control = IndexOf(sheet, res::IDC_DIRECT3D);
    for (const Caps caps : {kColour, kMono}) {
      const term::SheetLayout layout = term::ComputeLayout(sheet, state, kTerm);
      const Grid grid = term::Render(sheet, state, layout, caps);
      const term::Rect disabled = PlaceOf(sheet, layout, res::IDC_TEXTURE_8BIT);
      const term::Rect enabled = PlaceOf(sheet, layout, res::IDC_TEXTURE_16BIT);
      const term::Rect focused = PlaceOf(sheet, layout, res::IDC_DIRECT3D);
      const auto& off = grid.At(disabled.x + term::kMarkCols, disabled.y).style;
      const auto& on = grid.At(enabled.x + term::kMarkCols, enabled.y).style;
      const auto& focus = grid.At(focused.x + term::kMarkCols, focused.y).style;
      EXPECT_NE(off, on) << caps.colors;
      EXPECT_NE(focus, on) << caps.colors;
      EXPECT_NE(focus, off) << caps.colors;
      // The mark of the focused button keeps the plain look.
      EXPECT_EQ(grid.At(focused.x, focused.y).style, on);
      // Without colour a disabled button's brackets differ too: not every
      // such terminal can dim.
      if (caps.colors == 0) {
        EXPECT_NE(grid.At(disabled.x, disabled.y).ch, grid.At(enabled.x, enabled.y).ch);
        EXPECT_NE(grid.At(disabled.x + 2, disabled.y).ch, grid.At(enabled.x + 2, enabled.y).ch);
      } else {
        EXPECT_EQ(grid.At(disabled.x, disabled.y).ch, grid.At(enabled.x, enabled.y).ch);
      }
    }
    // Focus on a sheet button.
    state.area = ViewState::Area::Button;
    state.button = ui::IDCANCEL;
    const term::SheetLayout layout = term::ComputeLayout(sheet, state, kTerm);
    const Grid grid = term::Render(sheet, state, layout, kColour);
    const auto& ok = layout.buttons[0];
    const auto& cancel = layout.buttons[1];
    ASSERT_EQ(cancel.id, ui::IDCANCEL);
    EXPECT_NE(grid.At(cancel.rect.x, cancel.rect.y).style.bg, grid.At(ok.rect.x, ok.rect.y).style.bg);
  });
}

TEST(Render, OpenListShowsEntriesWithBarAndScrollMarks) {
  test::WithDemoSheet({}, [](dm::SheetModel& sheet) {
    ViewState state;
    state.page = 0;
    state.control = IndexOf(sheet, res::IDC_DEVICE);
    state.list = term::OpenList{state.control, 1, 0};
    const term::SheetLayout layout = term::ComputeLayout(sheet, state, kTerm);
    ASSERT_TRUE(layout.list);
    const term::Rect combo = PlaceOf(sheet, layout, res::IDC_DEVICE);
    EXPECT_EQ(layout.list->frame.y, combo.y + 1);  // room below: it drops down
    EXPECT_EQ(layout.list->visible, 2);
    const Grid grid = term::Render(sheet, state, layout, kColour);
    const int first = layout.list->frame.y + 1;
    EXPECT_NE(grid.RowText(first).find("Voodoo3 3000"), std::string::npos);
    EXPECT_NE(grid.RowText(first + 1).find("(?) RIVA TNT"), std::string::npos);
    const int x = layout.list->frame.x + 1;
    EXPECT_NE(grid.At(x, first + 1).style, grid.At(x, first).style);  // the bar

    // Twelve modes in a list of nine rows near the bottom: the list opens
    // upwards and marks that more follow.
    state.control = IndexOf(sheet, res::IDC_RESOLUTION);
    state.list = term::OpenList{state.control, 1, 0};
    const term::SheetLayout low = term::ComputeLayout(sheet, state, kTerm);
    ASSERT_TRUE(low.list);
    const term::Rect resolution = PlaceOf(sheet, low, res::IDC_RESOLUTION);
    EXPECT_EQ(low.list->visible, 9);
    EXPECT_EQ(low.list->frame.Bottom(), resolution.y - 1);
    const Grid lowGrid = term::Render(sheet, state, low, kColour);
    EXPECT_EQ(lowGrid.At(low.list->frame.Right(), low.list->frame.y + 9).ch, U'\u25BC');
    EXPECT_NE(lowGrid.At(low.list->frame.Right(), low.list->frame.y + 1).ch, U'\u25B2');
  });
}

TEST(Render, MessageBoxOverTheSheet) {
  test::WithDemoSheet(
      {test::Click(res::IDC_MIP_HIGH)},
      [](dm::SheetModel& sheet) {
        const term::SheetLayout layout = term::ComputeLayout(sheet, ViewState{}, kTerm);
        ASSERT_TRUE(layout.box);
        const Grid grid = term::Render(sheet, ViewState{}, layout, kColour);
        const term::Rect& frame = layout.box->frame;
        EXPECT_NE(grid.RowText(frame.y).find("halcyra-setup"), std::string::npos);
        EXPECT_TRUE(test::Shows(grid, "/!\\"));
        EXPECT_TRUE(test::Shows(grid, "Warning"));
        EXPECT_EQ(Cells(grid, layout.box->ok), "[   OK   ]");
        // The whole text, wrapped within the box, word for word.
        std::string shown;
        for (const auto& line : layout.box->lines) {
          EXPECT_LE(static_cast<int>(line.size()), term::kBoxTextCols);
          shown += (shown.empty() ? "" : " ") + term::ToUtf8(line);
        }
        EXPECT_EQ(shown,
                  "The mip-map setting you have selected is not recommended with 16-bit "
                  "textures, as it may cause a significant degradation in performance.");
        for (std::size_t i = 0; i < layout.box->lines.size(); ++i) {
          EXPECT_NE(grid.RowText(frame.y + 2 + static_cast<int>(i)).find(term::ToUtf8(layout.box->lines[i])),
                    std::string::npos);
        }
      },
      /*inBox=*/true);
}

TEST(Render, SmallTerminalAsksForALargerWindow) {
  test::WithDemoSheet({}, [](dm::SheetModel& sheet) {
    for (const Size small : {Size{79, 24}, Size{80, 23}}) {
      const term::SheetLayout layout = term::ComputeLayout(sheet, ViewState{}, small);
      EXPECT_FALSE(layout.fits);
      EXPECT_EQ(layout.needed, (Size{80, 24}));
      EXPECT_EQ(layout.whole, (Size{93, 29}));
      const Grid grid = term::Render(sheet, ViewState{}, layout, kColour);
      EXPECT_TRUE(test::Shows(grid, "too small"));
      EXPECT_TRUE(test::Shows(grid, "80 x 24"));
      EXPECT_TRUE(test::Shows(grid, std::to_string(small.cols) + " x " + std::to_string(small.rows)));
      EXPECT_FALSE(test::Shows(grid, "Glide"));
    }
    // Exactly the needed size is enough; a tiny one still shows the request.
    EXPECT_TRUE(term::ComputeLayout(sheet, ViewState{}, Size{80, 24}).fits);
    EXPECT_TRUE(term::ComputeLayout(sheet, ViewState{}, Size{80, 24}).Scrolls());
    EXPECT_FALSE(term::ComputeLayout(sheet, ViewState{}, Size{93, 29}).Scrolls());
    const Grid tiny = term::Render(sheet, ViewState{}, Size{12, 3}, kColour);
    EXPECT_EQ(tiny.Cols(), 12);
    EXPECT_FALSE(tiny.ToText().find_first_not_of(" \n") == std::string::npos);
  });
}

// At 80 x 24 the page area scrolls: whichever control has the focus is
// wholly in view, nothing of the page is drawn outside its area, and the
// tabs and the sheet's buttons stay in view.
TEST(RenderLayout, EveryControlComesIntoViewAt80x24) {
  constexpr Size kSmall{80, 24};
  for (const int page : {0, 1}) {
    test::WithDemoSheet({test::Tab(page)}, [&](dm::SheetModel& sheet) {
      const auto& controls = sheet.Page(page)->Controls();
      int focusable = 0;
      for (std::size_t i = 0; i < controls.size(); ++i) {
        const dm::ControlModel& c = *controls[i];
        const auto kind = c.Kind();
        if (!c.visible || !c.enabled || kind == res::ControlKind::GroupBox ||
            kind == res::ControlKind::Picture || kind == res::ControlKind::Static) {
          continue;
        }
        ++focusable;
        ViewState state;
        state.page = page;
        state.control = static_cast<int>(i);
        const term::SheetLayout layout = term::ComputeLayout(sheet, state, kSmall);
        ASSERT_TRUE(layout.fits);
        EXPECT_TRUE(layout.Scrolls());
        const term::Rect rect = layout.Place(static_cast<int>(i))->rect;
        EXPECT_TRUE(layout.page.Contains(rect.x, rect.y) && layout.page.Contains(rect.Right(), rect.Bottom()))
            << c.text;
        const Grid grid = term::Render(sheet, state, layout, kColour);
        if (!c.text.empty() && kind != res::ControlKind::ComboBox) {
          EXPECT_TRUE(test::Shows(grid, c.text)) << c.text << "\n" << grid.ToText();
        }
        for (const char* always : {"OK", "Cancel", "3D Hardware", "Audio Selections"}) {
          EXPECT_TRUE(test::Shows(grid, always)) << always;
        }
        // The page's frame is whole: nothing of the page drawn over it.
        const term::Rect& frame = layout.pageFrame;
        for (int y = frame.y + 1; y < frame.Bottom(); ++y) {
          for (const int x : {frame.x, frame.Right()}) {
            const char32_t ch = grid.At(x, y).ch;
            EXPECT_TRUE(ch == U'\u2502' || ch == U'\u25B2' || ch == U'\u25BC') << x << "," << y;
          }
        }
      }
      EXPECT_GE(focusable, 2);
    });
  }
}

TEST(Render, PicturesInColourOrAsFrames) {
  test::WithDemoSheet({}, [](dm::SheetModel& sheet) {
    const term::SheetLayout layout = term::ComputeLayout(sheet, ViewState{}, kTerm);
    const auto& controls = sheet.Page(0)->Controls();
    const auto picture = std::find_if(layout.controls.begin(), layout.controls.end(), [&](const auto& p) {
      return controls[static_cast<std::size_t>(p.index)]->Kind() == res::ControlKind::Picture;
    });
    ASSERT_NE(picture, layout.controls.end());
    const term::Rect frame = picture->rect;
    const Grid colour = term::Render(sheet, ViewState{}, layout, kColour);
    const Grid mono = term::Render(sheet, ViewState{}, layout, kMono);
    int blocks = 0;
    std::vector<term::Color> seen;
    for (int y = frame.y + 1; y < frame.Bottom(); ++y) {
      for (int x = frame.x + 1; x < frame.Right(); ++x) {
        const term::Cell& cell = colour.At(x, y);
        if (cell.ch == U'\u2580') ++blocks;
        seen.push_back(cell.style.fg);
        EXPECT_EQ(mono.At(x, y).ch, U' ');
      }
    }
    std::sort(seen.begin(), seen.end());
    seen.erase(std::unique(seen.begin(), seen.end()), seen.end());
    EXPECT_EQ(blocks, (frame.w - 2) * (frame.h - 2));
    EXPECT_GT(seen.size(), 20u);  // a picture, not a fill
    EXPECT_EQ(mono.At(frame.x, frame.y).ch, U'+');
    // Without colour nothing carries a colour, and only ASCII is used.
    for (int y = 0; y < mono.Rows(); ++y) {
      for (int x = 0; x < mono.Cols(); ++x) {
        EXPECT_EQ(mono.At(x, y).style.fg, term::kDefaultColor);
        EXPECT_EQ(mono.At(x, y).style.bg, term::kDefaultColor);
        EXPECT_LT(mono.At(x, y).ch, 0x80u);
      }
    }
  });
}

// The picture sits in the middle of its frame; at 256 and 8 colours it is
// made of palette colours, spread so that each small area keeps its colour.
TEST(Render, PicturesAreCentredAndDitheredToThePalette) {
  const term::Color fill = term::PictureBackground();
  constexpr int kCols = 19, kRows = 19;  // the 3D page's picture inside its frame
  const std::vector<term::Color> truth = term::ComputePictureCells(res::IDB_HARDWARE, kCols, kRows, fill);
  ASSERT_EQ(truth.size(), static_cast<std::size_t>(kCols * kRows * 2));
  int left = kCols, right = -1;
  for (int y = 0; y < kRows * 2; ++y) {
    for (int x = 0; x < kCols; ++x) {
      if (truth[static_cast<std::size_t>(y * kCols + x)] == fill) continue;
      left = std::min(left, x);
      right = std::max(right, x);
    }
  }
  EXPECT_EQ(left, kCols - 1 - right);

  auto channel = [](term::Color c, int shift) { return static_cast<int>((c >> shift) & 0xFF); };
  // The mean difference, over 4 x 4 pixel blocks and channels, between the
  // mean colour of `pixels` and of the picture.
  auto blockError = [&](const std::vector<term::Color>& pixels) {
    int sum = 0, blocks = 0;
    for (int by = 0; by + 4 <= kRows * 2; by += 4) {
      for (int bx = 0; bx + 4 <= kCols; bx += 4) {
        for (const int shift : {16, 8, 0}) {
          int got = 0, want = 0;
          for (int y = by; y < by + 4; ++y) {
            for (int x = bx; x < bx + 4; ++x) {
              got += channel(pixels[static_cast<std::size_t>(y * kCols + x)], shift);
              want += channel(truth[static_cast<std::size_t>(y * kCols + x)], shift);
            }
          }
          sum += std::abs(got - want) / 16;
          ++blocks;
        }
      }
    }
    return sum / blocks;
  };
  for (const int colors : {8, 256}) {
    const std::vector<term::Color> dithered = term::DitherToPalette(truth, kCols, fill, colors);
    std::vector<term::Color> nearest = truth;
    for (std::size_t i = 0; i < truth.size(); ++i) {
      EXPECT_TRUE(dithered[i] == fill || term::PaletteColor(term::PaletteIndex(dithered[i], colors), colors) == dithered[i]);
      if (truth[i] == fill) {
        EXPECT_EQ(dithered[i], fill);
      }
      nearest[i] = term::PaletteColor(term::PaletteIndex(truth[i], colors), colors);
    }
    EXPECT_LT(blockError(dithered) * 2, blockError(nearest)) << colors;
  }
}

}  // namespace
