// The resource tool: runs on the build machine and writes the resources that
// the Windows executables embed, from the one definition in res/:
//   bitmap<ID>.bmp  each bitmap of res/ (the pictures of the pages)
//   halcyra.ico     the application icon (16, 32, 48 pixels)
//   pictures.rc     the resource statements of the icon and the bitmaps
//   strings.rc      the string table
// Usage: halcyra-restool OUTPUT_DIRECTORY
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "res/bitmaps.h"
#include "res/resource.h"
#include "res/strings.h"
#include "win32/resource_files.h"

namespace {

bool Write(const std::string& path, const void* data, std::size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
  out.close();
  if (!out) {
    std::fprintf(stderr, "halcyra-restool: cannot write %s\n", path.c_str());
    return false;
  }
  return true;
}

bool Write(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  return Write(path, bytes.data(), bytes.size());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: halcyra-restool OUTPUT_DIRECTORY\n");
    return 2;
  }
  const std::string dir = argv[1];
  bool ok = true;
  const std::vector<res::Image> icons = {res::RenderIcon(16), res::RenderIcon(32),
                                         res::RenderIcon(48)};
  ok = Write(dir + "/halcyra.ico", win32::EncodeIco(icons)) && ok;
  std::string pictures = std::to_string(res::IDI_APPLICATION_ICON) + " ICON \"" + dir + "/halcyra.ico\"\n";
  for (const int id : res::BitmapIds()) {
    const std::string path = dir + "/bitmap" + std::to_string(id) + ".bmp";
    ok = Write(path, win32::EncodeBmp(res::RenderBitmap(id))) && ok;
    pictures += std::to_string(id) + " BITMAP \"" + path + "\"\n";
  }
  ok = Write(dir + "/pictures.rc", pictures.data(), pictures.size()) && ok;
  const std::string table = win32::RcStringTable(res::StringTable());
  ok = Write(dir + "/strings.rc", table.data(), table.size()) && ok;
  return ok ? 0 : 1;
}
