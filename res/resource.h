// Resource ids: dialog templates, bitmaps, icon, string table, controls.
#pragma once

namespace res {

constexpr int IDD_HARDWARE = 131;  // "3D Hardware" page
constexpr int IDD_AUDIO = 136;     // "Audio Selections" page

constexpr int IDB_AUDIO = 141;     // picture of the audio page
constexpr int IDB_HARDWARE = 142;  // picture of the 3D page
constexpr int IDI_APPLICATION_ICON = 128;

constexpr unsigned IDS_TEXTURE_ARCHIVE_MISSING = 102;
constexpr unsigned IDS_NO_3D_HARDWARE = 103;
constexpr unsigned IDS_DEVICE_UNFIT = 104;
constexpr unsigned IDS_MIPMAP_NOT_RECOMMENDED = 105;
constexpr unsigned IDS_SAVE_FAILED = 106;  // "%s": the folder, then one of the causes below
constexpr unsigned IDS_SAVE_FAILED_READ_ONLY = 107;
constexpr unsigned IDS_SAVE_FAILED_NO_RIGHTS = 108;
constexpr unsigned IDS_SAVE_FAILED_FOLDER_MISSING = 109;
constexpr unsigned IDS_SAVE_FAILED_UNREADABLE = 110;
constexpr unsigned IDS_SAVE_FAILED_NO_GAME_FOLDER = 111;
constexpr unsigned IDS_SAVE_FAILED_OTHER = 112;

constexpr int IDC_STATIC = -1;

// "3D Hardware" page.
constexpr int IDC_GLIDE = 1002;
constexpr int IDC_DIRECT3D = 1003;
constexpr int IDC_DEVICE = 1004;
constexpr int IDC_TEXTURE_8BIT = 1005;
constexpr int IDC_TEXTURE_16BIT = 1006;
constexpr int IDC_RESOLUTION = 1007;
constexpr int IDC_MIP_ON = 1008;
constexpr int IDC_MIP_OFF = 1009;
constexpr int IDC_MIP_HIGH = 1010;
constexpr int IDC_MIP_MEDIUM = 1011;
constexpr int IDC_MIP_LOW = 1012;
constexpr int IDC_TEXTURE_COMPRESSED = 1015;

// "Audio Selections" page.
constexpr int IDC_SOUND_DEVICE = 1014;
constexpr int IDC_EAX = 1015;
constexpr int IDC_VOICES = 1016;
constexpr int IDC_3D_VOICES = 1017;

}  // namespace res
