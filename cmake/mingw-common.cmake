# What both mingw-w64 toolchains share; each sets CMAKE_SYSTEM_PROCESSOR,
# TOOLCHAIN_PREFIX and TURFWISE_WINE_ARCH first.
set(CMAKE_SYSTEM_NAME Windows)
# The -posix compilers by default: GoogleTest needs std::mutex, which the
# -win32 ones lack. The release programs take no thread and no mutex, and with
# the -win32 ones they carry no winpthread (32 KB).
if(NOT TURFWISE_MINGW_THREADS)
  set(TURFWISE_MINGW_THREADS posix)
endif()
set(CMAKE_C_COMPILER ${TOOLCHAIN_PREFIX}-gcc-${TURFWISE_MINGW_THREADS})
set(CMAKE_CXX_COMPILER ${TOOLCHAIN_PREFIX}-g++-${TURFWISE_MINGW_THREADS})
set(CMAKE_RC_COMPILER ${TOOLCHAIN_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TOOLCHAIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# ctest runs the test programs under Wine, in the project's own prefix for the arch.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh --arch=${TURFWISE_WINE_ARCH})
