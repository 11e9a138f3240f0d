// Machine profiles the page tests run on.
#pragma once

namespace pages_test {

// GUID texts of the machines below.
constexpr char kDefaultDriverGuid[] = "0,0,0,0,0,0,0,0,0,0,0";
constexpr char kAddOnDriverGuid[] = "1,2,3,4,5,6,7,8,9,10,11";
constexpr char kHalGuid[] = "2229681632,18090,4559,129,111,0,0,192,32,21,110";

// The default display driver with one fit hardware device.
#define HALCYRA_FIT_DRIVER                                                           \
  "[[directdraw.driver]]\n"                                                          \
  "description = \"Primary Display\"\n"                                              \
  "modes = [\"640x480x16\", \"800x600x16\", \"1024x768x16\", \"640x480x32\"]\n"      \
  "  [[directdraw.driver.device]]\n"                                                 \
  "  guid = \"hal\"\n"                                                               \
  "  render_depths = [16, 32]\n"                                                     \
  "  texture_formats = [\"pal8\", \"565\", \"1555\", \"4444\"]\n"

// An add-on driver whose device lacks the formats the game needs and whose
// modes lack 640 x 480 x 16.
#define HALCYRA_UNFIT_DRIVER                                                         \
  "[[directdraw.driver]]\n"                                                          \
  "guid = \"{00000001-0002-0003-0405-060708090A0B}\"\n"                              \
  "description = \"Add-on 3D\"\n"                                                    \
  "modes = [\"800x600x16\", \"1024x768x16\"]\n"                                      \
  "  [[directdraw.driver.device]]\n"                                                 \
  "  guid = \"hal\"\n"                                                               \
  "  texture_formats = [\"565\", \"1555\"]\n"

#define HALCYRA_GLIDE(fbRam) "[glide]\nfb_ram = " #fbRam "\n"

inline constexpr char kDevicesAndBoard[] = HALCYRA_FIT_DRIVER HALCYRA_GLIDE(4);
inline constexpr char kDevicesNoBoard[] = HALCYRA_FIT_DRIVER;
inline constexpr char kBoardNoDevices[] = HALCYRA_GLIDE(8);
inline constexpr char kNothing[] = "";
// Records: the add-on's unfit device first (drivers come last-reported
// first), then the primary's fit one.
inline constexpr char kFitAndUnfit[] = HALCYRA_FIT_DRIVER HALCYRA_UNFIT_DRIVER HALCYRA_GLIDE(4);

}  // namespace pages_test
