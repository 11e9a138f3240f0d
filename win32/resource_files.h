// File forms of the resources that the Windows executables carry: bitmaps as
// .bmp files, the icon as an .ico file and the string table as resource
// script text, made from the one definition in res/. The resource tool runs
// these on the build machine and the resource compiler embeds the results.
// Free of Windows headers, so they are also checked by the Linux unit tests.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "res/bitmaps.h"
#include "res/strings.h"

namespace win32 {

// A 24-bit .bmp file: file header, BITMAPINFOHEADER, rows from the bottom,
// each padded to four bytes.
std::vector<std::uint8_t> EncodeBmp(const res::Image& image);

// An .ico file with one 32-bit image (opaque) per image given, in order.
std::vector<std::uint8_t> EncodeIco(std::span<const res::Image> images);

// `text` as a resource-script string literal: quotes doubled, backslashes
// doubled, bytes outside printable ASCII as three-digit octal escapes.
std::string RcStringLiteral(const char* text);

// A STRINGTABLE block holding every entry of `table`.
std::string RcStringTable(std::span<const res::StringEntry> table);

}  // namespace win32
