set(CMAKE_C_COMPILER ${LODEVAR_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${LODEVAR_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${LODEVAR_MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${LODEVAR_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Windows programs ship as single files: no mingw runtime DLLs beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# add_test() on a Windows program runs it under Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
