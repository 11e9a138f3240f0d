// A stand-in for the 3dfx Glide 2 library, for the tests: exports the five
// entry points that the Glide probe resolves, with their decorated names, and
// answers with the board that "glide2x.ini" beside the DLL describes:
//
//   [Board]
//   num_sst=1        boards reported by grSstQueryBoards (default 1)
//   fbRam=4          frame-buffer megabytes of the first board (default 4)
//   sliDetect=0      scan-line interleave of the first board (default 0)
//
// Every call is appended, one name a line, to "glide2x.log" beside the DLL,
// so the tests can see which entry points ran and in what order.
#include <windows.h>

#include <cstring>
#include <string>

namespace {

// The Glide 2 hardware configuration block, as its public header lays it out.
struct GrTMUConfig {
  int tmuRev;
  int tmuRam;
};
struct GrVoodooConfig {
  int fbRam;
  int fbiRev;
  int nTexelfx;
  int sliDetect;
  GrTMUConfig tmuConfig[2];
};
struct GrSst96Config {
  int fbRam;
  int nTexelfx;
  GrTMUConfig tmuConfig;
};
struct GrSstConfig {
  int type;  // GR_SSTTYPE_VOODOO = 0
  union {
    GrVoodooConfig VoodooConfig;
    GrSst96Config SST96Config;
    GrVoodooConfig Voodoo2Config;
  } sstBoard;
};
struct GrHwConfiguration {
  int num_sst;
  GrSstConfig SSTs[4];
};
static_assert(sizeof(GrHwConfiguration) == 148);

HMODULE g_module = nullptr;

// The path of a file beside this DLL.
std::string Beside(const char* name) {
  std::string path(MAX_PATH, '\0');
  for (;;) {
    const DWORD length = GetModuleFileNameA(g_module, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return name;
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  const std::size_t slash = path.find_last_of("\\/");
  path.resize(slash == std::string::npos ? 0 : slash + 1);
  return path + name;
}

int Setting(const char* key, int fallback) {
  return static_cast<int>(
      GetPrivateProfileIntA("Board", key, fallback, Beside("glide2x.ini").c_str()));
}

void Log(const char* call) {
  HANDLE file = CreateFileA(Beside("glide2x.log").c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  std::string line = std::string(call) + "\n";
  DWORD written = 0;
  WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  CloseHandle(file);
}

void FillBoard(GrHwConfiguration* hw) {
  hw->num_sst = Setting("num_sst", 1);
  if (hw->num_sst > 0) {
    hw->SSTs[0].type = 0;
    GrVoodooConfig& voodoo = hw->SSTs[0].sstBoard.VoodooConfig;
    voodoo.fbRam = Setting("fbRam", 4);
    voodoo.fbiRev = 2;
    voodoo.nTexelfx = 1;
    voodoo.sliDetect = Setting("sliDetect", 0);
    voodoo.tmuConfig[0].tmuRev = 1;
    voodoo.tmuConfig[0].tmuRam = 4;
  }
}

}  // namespace

extern "C" {

int __stdcall grSstQueryBoards(GrHwConfiguration* hw) {
  Log("grSstQueryBoards");
  if (hw == nullptr) return 0;
  hw->num_sst = Setting("num_sst", 1);
  return 1;
}

int __stdcall grSstQueryHardware(GrHwConfiguration* hw) {
  Log("grSstQueryHardware");
  if (hw == nullptr) return 0;
  FillBoard(hw);
  return hw->num_sst > 0 ? 1 : 0;
}

void __stdcall grGlideInit(void) { Log("grGlideInit"); }

void __stdcall grGlideShutdown(void) { Log("grGlideShutdown"); }

int __stdcall grSstSelect(int which) {
  Log(("grSstSelect " + std::to_string(which)).c_str());
  return 1;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) g_module = instance;
  return TRUE;
}

}  // extern "C"
