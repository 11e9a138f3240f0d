// reg::Registry on the Windows registry.
#pragma once

#include "settings/registry.h"

namespace win32 {

class Win32Registry : public reg::Registry {
 public:
  long CreateKeyEx(reg::HKEY root, const std::string& subKey, std::uint32_t access,
                   reg::HKEY* result) override;
  long QueryValueEx(reg::HKEY key, const std::string& name, std::uint32_t* type, char* data,
                    std::uint32_t* size) override;
  long CloseKey(reg::HKEY key) override;
};

}  // namespace win32
