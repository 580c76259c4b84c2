# Cross build for 32-bit Windows with mingw-w64 (posix threads model). Printer makers' libraries are
# usually 32-bit, so the driver ships in this flavour too.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(LODEVAR_MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
