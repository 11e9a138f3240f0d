// What the support page's script calls: the session (support_session.h),
// the dump and box lines read back from the drawn page, and the pages'
// pictures. Texts cross as bytes with their length (8-bit texts, as the
// system's are); results are NUL-terminated bytes that stay valid until the
// next call (JSON results are ASCII: they escape every other byte).
#include <emscripten/emscripten.h>

#include <cstdint>
#include <string>
#include <vector>

#include "dialog_model/scenario.h"
#include "res/bitmaps.h"
#include "res/dialogs.h"
#include "web/support_session.h"

namespace {

web::Session& TheSession() {
  static web::Session session;
  return session;
}

std::string& Result() {
  static std::string result;
  return result;
}

const char* Return(std::string text) {
  Result() = std::move(text);
  return Result().c_str();
}

std::string Bytes(const char* data, int length) {
  return data != nullptr && length > 0 ? std::string(data, static_cast<std::size_t>(length)) : std::string();
}

}  // namespace

extern "C" {

// Starts a session on `machine` (a profile or a report) with the player's
// options.ini when `hasOptions`; `archives` holds one bit a texture archive
// (1 bitmapsh.flx, 2 bitmap16.flx, 4 bitmapc.flx); `failCall` fails that
// platform call, numbered as the report lists them (0: none). "" or the
// error's text.
EMSCRIPTEN_KEEPALIVE const char* hs_start(const char* machine, int machineLength, const char* options,
                                          int optionsLength, int hasOptions, int archives, int readOnly,
                                          double failCall) {
  web::SessionInput input;
  input.machineText = Bytes(machine, machineLength);
  if (hasOptions != 0) input.optionsIni = Bytes(options, optionsLength);
  const char* const names[] = {"bitmapsh.flx", "bitmap16.flx", "bitmapc.flx"};
  for (int bit = 0; bit < 3; ++bit) {
    if ((archives & (1 << bit)) != 0) input.archives.emplace_back(names[bit]);
  }
  input.readOnlyOptions = readOnly != 0;
  input.failCall = failCall >= 1 && failCall < 1e15 ? static_cast<std::uint64_t>(failCall) : 0;
  return Return(TheSession().Start(input));
}

EMSCRIPTEN_KEEPALIVE const char* hs_state() { return Return(TheSession().State()); }

// kind: 0 click, 1 select, 2 type, 3 tab, 4 ok, 5 cancel, 6 close.
EMSCRIPTEN_KEEPALIVE const char* hs_act(int kind, int id, int index, const char* text, int textLength) {
  dm::Action action;
  constexpr dm::Action::Kind kinds[] = {dm::Action::Kind::Click, dm::Action::Kind::Select, dm::Action::Kind::Type,
                                        dm::Action::Kind::Tab,   dm::Action::Kind::Ok,     dm::Action::Kind::Cancel,
                                        dm::Action::Kind::Close};
  if (kind < 0 || kind > 6) return Return("{\"state\":\"error\",\"message\":\"no such action\"}");
  action.kind = kinds[kind];
  action.id = id;
  action.index = index;
  action.text = Bytes(text, textLength);
  return Return(TheSession().Act(action));
}

EMSCRIPTEN_KEEPALIVE const char* hs_answer_box() { return Return(TheSession().AnswerBox()); }

EMSCRIPTEN_KEEPALIVE const char* hs_script() { return Return(TheSession().Script()); }

EMSCRIPTEN_KEEPALIVE const char* hs_options() { return Return(TheSession().Options()); }

// The dump line of control `index` of template `dialog` as the page shows
// it: `items` holds `itemCount` entries, each ended by a NUL.
EMSCRIPTEN_KEEPALIVE const char* hs_dump_line(int dialog, int index, int enabled, int check, int curSel,
                                              const char* items, int itemsLength, const char* text,
                                              int textLength) {
  const res::DialogTemplate* tmpl = res::FindDialog(dialog);
  if (tmpl == nullptr || index < 0 || static_cast<std::size_t>(index) >= tmpl->controls.size()) return Return("");
  dm::ControlView view;
  view.enabled = enabled != 0;
  view.check = check;
  view.curSel = curSel;
  const std::string all = Bytes(items, itemsLength);
  for (std::size_t at = 0; at < all.size();) {
    const std::size_t end = all.find('\0', at);
    if (end == std::string::npos) break;
    view.items.push_back(all.substr(at, end - at));
    at = end + 1;
  }
  view.text = Bytes(text, textLength);
  return Return(dm::DumpLine(tmpl->controls[static_cast<std::size_t>(index)], view));
}

// The output line of a message box as the page shows it; `icon` 0 stop,
// 1 warning, 2 information.
EMSCRIPTEN_KEEPALIVE const char* hs_box_line(int id, int icon, const char* text, int textLength) {
  dm::MessageBoxInfo box;
  box.stringId = static_cast<unsigned>(id);
  box.type = icon == 0 ? ui::MB_ICONHAND : icon == 1 ? ui::MB_ICONEXCLAMATION : 0x40u;
  box.text = Bytes(text, textLength);
  return Return(dm::BoxLine(box));
}

// The picture `id` drawn at `width` x `height`, as RGBA rows from the top
// (width * height * 4 bytes), or null.
EMSCRIPTEN_KEEPALIVE const std::uint8_t* hs_bitmap(int id, int width, int height) {
  static std::vector<std::uint8_t> rgba;
  const res::Image image = res::RenderBitmap(id, width, height);
  if (image.width != width || image.height != height || width <= 0 || height <= 0) return nullptr;
  rgba.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4, 255);
  for (std::size_t i = 0, n = static_cast<std::size_t>(width) * static_cast<std::size_t>(height); i < n; ++i) {
    rgba[i * 4] = image.rgb[i * 3];
    rgba[i * 4 + 1] = image.rgb[i * 3 + 1];
    rgba[i * 4 + 2] = image.rgb[i * 3 + 2];
  }
  return rgba.data();
}

}  // extern "C"
