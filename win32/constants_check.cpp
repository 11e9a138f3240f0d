// The shared headers' constants carry the Windows names and values, so the
// Windows layer passes messages, notifications, styles, flags, metrics and
// registry codes straight through. This file holds the proof: the shared
// values are copied while the names are free, then compared with
// <windows.h>'s definitions.
#include <cstdint>
#include <iterator>

#include "app/ui_platform.h"
#include "res/dialogs.h"
#include "settings/registry.h"

namespace {

struct Shared {
  static constexpr std::intptr_t values[] = {
      ui::BM_GETCHECK, ui::BM_SETCHECK, ui::BST_UNCHECKED, ui::BST_CHECKED,
      ui::CB_GETCOUNT, ui::CB_GETCURSEL, ui::CB_GETLBTEXT, ui::CB_GETLBTEXTLEN,
      ui::CB_INSERTSTRING, ui::CB_RESETCONTENT, ui::CB_SELECTSTRING, ui::CB_SETCURSEL, ui::CB_SETEDITSEL,
      ui::CB_SETITEMHEIGHT, ui::CB_GETITEMHEIGHT, ui::CB_GETDROPPEDWIDTH, ui::CB_SETDROPPEDWIDTH,
      ui::CB_ERR, ui::BN_CLICKED, ui::CBN_SELCHANGE, ui::MB_OK,
      ui::MB_ICONHAND, ui::MB_ICONEXCLAMATION, ui::IDOK, ui::IDCANCEL,
      ui::IDHELP, ui::PSH_NOAPPLYNOW, ui::PSH_HASHELP, ui::SM_CXVSCROLL,
      ui::SM_CXEDGE, res::WS_CHILD, res::WS_VISIBLE, res::WS_DISABLED,
      res::WS_BORDER, res::WS_VSCROLL, res::WS_GROUP, res::WS_TABSTOP,
      res::WS_CAPTION, res::DS_SETFONT, res::BS_AUTOCHECKBOX, res::BS_GROUPBOX,
      res::BS_AUTORADIOBUTTON, res::CBS_DROPDOWN, res::CBS_SORT, res::ES_LEFT,
      res::ES_AUTOHSCROLL, res::ES_READONLY, res::SS_LEFT, res::SS_BITMAP,
      res::SS_CENTERIMAGE, res::SS_REALSIZEIMAGE, reg::KEY_ALL_ACCESS, reg::REG_SZ,
      reg::ERROR_SUCCESS, reg::ERROR_FILE_NOT_FOUND, reg::ERROR_MORE_DATA,
  };
  // Windows defines its predefined keys as pointer casts, which no constant
  // expression can compare; registry_win32.cpp converts this one explicitly.
  static_assert(reg::HKEY_CURRENT_USER == 0x80000001u);
};

}  // namespace

#include "win32/windows_api.h"

namespace {

constexpr std::intptr_t kWindows[] = {
    BM_GETCHECK, BM_SETCHECK, BST_UNCHECKED, BST_CHECKED,
    CB_GETCOUNT, CB_GETCURSEL, CB_GETLBTEXT, CB_GETLBTEXTLEN,
    CB_INSERTSTRING, CB_RESETCONTENT, CB_SELECTSTRING, CB_SETCURSEL, CB_SETEDITSEL,
    CB_SETITEMHEIGHT, CB_GETITEMHEIGHT, CB_GETDROPPEDWIDTH, CB_SETDROPPEDWIDTH,
    CB_ERR, BN_CLICKED, CBN_SELCHANGE, MB_OK,
    MB_ICONHAND, MB_ICONEXCLAMATION, IDOK, IDCANCEL,
    IDHELP, PSH_NOAPPLYNOW, PSH_HASHELP, SM_CXVSCROLL,
    SM_CXEDGE, WS_CHILD, WS_VISIBLE, WS_DISABLED,
    WS_BORDER, WS_VSCROLL, WS_GROUP, WS_TABSTOP,
    WS_CAPTION, DS_SETFONT, BS_AUTOCHECKBOX, BS_GROUPBOX,
    BS_AUTORADIOBUTTON, CBS_DROPDOWN, CBS_SORT, ES_LEFT,
    ES_AUTOHSCROLL, ES_READONLY, SS_LEFT, SS_BITMAP,
    SS_CENTERIMAGE, SS_REALSIZEIMAGE, KEY_ALL_ACCESS, REG_SZ,
    ERROR_SUCCESS, ERROR_FILE_NOT_FOUND, ERROR_MORE_DATA,
};

constexpr bool Same() {
  static_assert(std::size(kWindows) == std::size(Shared::values));
  for (std::size_t i = 0; i < std::size(kWindows); ++i) {
    if (kWindows[i] != Shared::values[i]) return false;
  }
  return true;
}

static_assert(Same(), "a shared constant differs from its Windows definition");

}  // namespace
