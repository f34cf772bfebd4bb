# Shared by the MinGW-w64 toolchain files, which set CMAKE_SYSTEM_PROCESSOR, MINGW_PREFIX and
# WINE_ARCH first. The posix thread model: GoogleTest needs std::mutex.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Test programs run under the Wine of the architecture.
set(CMAKE_CROSSCOMPILING_EMULATOR env WINEARCH=${WINE_ARCH} ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run)
