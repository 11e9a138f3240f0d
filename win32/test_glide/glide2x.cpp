// A stand-in for the 3dfx Glide 2 library, for the tests: exports the five
// entry points that the Glide probe resolves, with their decorated names, and
// answers with the board that "glide2x.ini" beside the DLL describes, the way
// the libraries found on players' machines fill the configuration block:
//
//   [Board]
//   num_sst=1        boards reported (default 1)
//   type=0           the first board's type: 0 Voodoo Graphics, 1 Voodoo Rush
//                    (SST-96), 3 Voodoo2 (default 0)
//   fbRam=4          its frame-buffer megabytes (default 4)
//   sliDetect=0      scan-line interleave, Voodoo and Voodoo2 only (default 0)
//   nTexelfx=1       texture units, 1 or 2; a Rush has one (default 1)
//   tmuRam=4         texture megabytes of each unit (default 4)
//   fill=all         "count": grSstQueryHardware fills in num_sst and
//                    nothing else, as some Glide wrappers do (default all)
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
struct GrVoodooConfig {  // Voodoo Graphics and Voodoo2
  int fbRam;
  int fbiRev;
  int nTexelfx;
  int sliDetect;
  GrTMUConfig tmuConfig[2];
};
struct GrSst96Config {  // Voodoo Rush
  int fbRam;
  int nTexelfx;
  GrTMUConfig tmuConfig;
};
struct GrSstConfig {
  int type;
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

constexpr int kTypeVoodoo = 0;
constexpr int kTypeSst96 = 1;
constexpr int kTypeVoodoo2 = 3;

void FillTmus(GrTMUConfig* tmus, int count) {
  for (int i = 0; i < count; ++i) {
    tmus[i].tmuRev = 1;
    tmus[i].tmuRam = Setting("tmuRam", 4);
  }
}

void FillBoard(GrHwConfiguration* hw) {
  hw->num_sst = Setting("num_sst", 1);
  if (hw->num_sst <= 0) return;
  char fill[16] = "";
  GetPrivateProfileStringA("Board", "fill", "all", fill, sizeof fill, Beside("glide2x.ini").c_str());
  if (std::strcmp(fill, "count") == 0) return;
  GrSstConfig& sst = hw->SSTs[0];
  sst.type = Setting("type", kTypeVoodoo);
  const int units = Setting("nTexelfx", 1) >= 2 ? 2 : 1;
  if (sst.type == kTypeSst96) {
    GrSst96Config& rush = sst.sstBoard.SST96Config;
    rush.fbRam = Setting("fbRam", 4);
    rush.nTexelfx = 1;
    FillTmus(&rush.tmuConfig, 1);
  } else {
    GrVoodooConfig& voodoo = sst.type == kTypeVoodoo2 ? sst.sstBoard.Voodoo2Config : sst.sstBoard.VoodooConfig;
    voodoo.fbRam = Setting("fbRam", 4);
    voodoo.fbiRev = sst.type == kTypeVoodoo2 ? 4 : 2;
    voodoo.nTexelfx = units;
    voodoo.sliDetect = Setting("sliDetect", 0);
    FillTmus(voodoo.tmuConfig, units);
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
