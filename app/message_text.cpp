#include "app/message_text.h"

#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "app/framework.h"

namespace halcyra {

char* LoadMessageText(unsigned id) {
  // The platform copies at most 4095 characters and a terminator.
  constexpr int kBufferSize = 4096;
  std::vector<char> buffer(kBufferSize, '\0');
  const int length = ui::UiPlatformSlot::Get().LoadString(id, buffer.data(), kBufferSize);
  const std::size_t copied = length > 0 ? static_cast<std::size_t>(length) : 0;
  char* text = new (std::nothrow) char[copied + 1];
  if (text == nullptr) return nullptr;
  std::memcpy(text, buffer.data(), copied);
  text[copied] = '\0';
  return text;
}

void ShowWarningBox(ui::CPropertyPage& page, unsigned id, unsigned icon) {
  char* text = LoadMessageText(id);
  page.MessageBox(text != nullptr ? text : "", nullptr, ui::MB_OK | icon);
  delete[] text;
}

void ShowWarningBox(ui::CPropertyPage& page, unsigned id, unsigned icon,
                    std::initializer_list<std::string_view> inserts) {
  char* text = LoadMessageText(id);
  const std::string_view format = text != nullptr ? text : "";
  std::string shown;
  std::size_t from = 0;
  auto insert = inserts.begin();
  for (std::size_t at = format.find("%s"); at != std::string_view::npos && insert != inserts.end();
       at = format.find("%s", from)) {
    shown.append(format.substr(from, at - from)).append(*insert++);
    from = at + 2;
  }
  shown.append(format.substr(from));
  delete[] text;
  page.MessageBox(shown, nullptr, ui::MB_OK | icon);
}

}  // namespace halcyra
