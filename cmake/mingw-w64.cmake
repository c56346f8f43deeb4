# Cross-compiles the Qt-free layers and their tests for 64-bit Windows with mingw-w64.
# The GCC runtime, the C++ library and winpthread are linked statically, so the
# executables run under wine (or on a bare Windows machine) without extra DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QMC_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QMC_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QMC_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${QMC_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QMC_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# winpthread comes in through libstdc++ (std::thread, std::mutex); -static pulls the
# static archive instead of libwinpthread-1.dll.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")

# Tests (ctest and gtest_discover_tests) run the .exe files through wine, with a wine
# prefix of their own inside the build directory.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh ${CMAKE_BINARY_DIR}/wine-prefix)
