# Windows 64-bit (x86_64) programs from the same sources (docs/build-and-test.md says what differs).
set(NC_MINGW_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)
