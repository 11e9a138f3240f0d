# Shared part of the MinGW-w64 toolchain files; HALCYRA_MINGW_TRIPLET names
# the target (x86_64-w64-mingw32 or i686-w64-mingw32).
set(CMAKE_SYSTEM_NAME Windows)
if(HALCYRA_MINGW_TRIPLET MATCHES "^x86_64")
  set(CMAKE_SYSTEM_PROCESSOR x86_64)
else()
  set(CMAKE_SYSTEM_PROCESSOR i686)
endif()

# Debian ships two flavours of each compiler; the "posix" one has the complete
# C++ thread library. Fall back to the unsuffixed name elsewhere (MSYS2, other
# distributions).
foreach(lang_tool C:gcc CXX:g++)
  string(REPLACE ":" ";" pair "${lang_tool}")
  list(GET pair 0 lang)
  list(GET pair 1 tool)
  find_program(HALCYRA_MINGW_${lang}
    NAMES ${HALCYRA_MINGW_TRIPLET}-${tool}-posix ${HALCYRA_MINGW_TRIPLET}-${tool}
    REQUIRED)
  set(CMAKE_${lang}_COMPILER ${HALCYRA_MINGW_${lang}})
endforeach()
find_program(CMAKE_RC_COMPILER NAMES ${HALCYRA_MINGW_TRIPLET}-windres windres REQUIRED)
find_program(HALCYRA_OBJDUMP NAMES ${HALCYRA_MINGW_TRIPLET}-objdump objdump)

set(CMAKE_FIND_ROOT_PATH /usr/${HALCYRA_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Static C and C++ runtimes (libgcc, libstdc++, winpthread): the executables
# and the test DLL depend on system DLLs only.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Release programs ship without symbols or debug sections: our own code is
# built without -g there, and what debug information there is comes from the
# runtime archives linked in (about half of the executable's size).
# RelWithDebInfo keeps everything for debugging.
foreach(kind EXE SHARED MODULE)
  set(CMAKE_${kind}_LINKER_FLAGS_RELEASE_INIT "-s")
  set(CMAKE_${kind}_LINKER_FLAGS_MINSIZEREL_INIT "-s")
endforeach()

# GCC 12 reports false -Wrestrict overlaps inside libstdc++'s std::string at
# -O3 (GCC bug 105651), which -Werror would turn into build failures of
# correct code.
set(CMAKE_CXX_FLAGS_INIT "-Wno-restrict")
