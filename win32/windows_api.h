// <windows.h> for the Windows layer.
//
// The shared headers name their constants as Windows does (BM_GETCHECK,
// WS_CHILD, HKEY_CURRENT_USER, ...), and <windows.h> defines those names as
// macros. So the shared headers are read here first, while the names are
// still free; code after this header uses the Windows names unqualified
// (constants_check.cpp asserts that the values agree).
//
// The framework's interfaces also have members named like Windows API
// functions (SendMessage, LoadString, MessageBox, GetWindowText,
// SetWindowText), which <windows.h> turns into macros; those macros are
// removed, and this layer calls the ANSI functions by their full names.
#pragma once

#include "app/framework.h"
#include "app/ui_platform.h"
#include "dialog_model/scenario.h"
#include "dialog_model/sheet_model.h"
#include "hardware/directdraw_api.h"
#include "hardware/directsound_api.h"
#include "hardware/directx_types.h"
#include "hardware/glide_library.h"
#include "hardware/library_loader.h"
#include "res/dialogs.h"
#include "res/resource.h"
#include "settings/file_system.h"
#include "settings/registry.h"
#include "win32/dialog_template.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#undef SendMessage
#undef LoadString
#undef MessageBox
#undef GetWindowText
#undef SetWindowText
#undef GetMessage
#undef RegCreateKeyEx
#undef RegQueryValueEx
#undef ReplaceFile
