// String-table texts for the warning boxes.
#pragma once

#include <initializer_list>
#include <string_view>

namespace ui {
class CPropertyPage;
}

namespace halcyra {

// A new copy (release with delete[]) of string-table entry `id`, of exactly
// the string's length plus its terminator; null when it cannot be allocated.
char* LoadMessageText(unsigned id);

// The warning-box convention: loads text `id`, shows it in a message box
// owned by `page` with the application's name as caption, one OK button and
// `icon` (MB_ICONHAND or MB_ICONEXCLAMATION), and releases the text.
void ShowWarningBox(ui::CPropertyPage& page, unsigned id, unsigned icon);
// The same for a text with "%s" places: each is replaced, in order, by one
// of `inserts`, as it stands (an insert is never read as a format).
void ShowWarningBox(ui::CPropertyPage& page, unsigned id, unsigned icon,
                    std::initializer_list<std::string_view> inserts);

}  // namespace halcyra
