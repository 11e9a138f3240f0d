#include "app/message_text.h"

#include <cstring>
#include <new>
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

}  // namespace halcyra
