# Windows 32-bit (i686) programs: the designed build, Windows XP SP3 and later.
set(NC_MINGW_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)
