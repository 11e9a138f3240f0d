# Cross build for 32-bit Windows with MinGW-w64 (Debian: g++-mingw-w64-i686):
# the build players run, since the game and every Glide library are 32-bit.
set(HALCYRA_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
