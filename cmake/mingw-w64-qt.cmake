# Cross-compiles the whole program for 64-bit Windows with mingw-w64, against the Qt kit that
# cmake/QtKit.cmake unpacks into the build directory. Qt's DLLs use the shared GCC runtime, so
# the program does too (libstdc++-6.dll, libgcc_s_seh-1.dll and libwinpthread-1.dll are shipped
# beside it): one C++ runtime in the process, not two.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

set(QMC_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QMC_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QMC_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${QMC_MINGW_PREFIX}-windres)

# The kit's folder is added to the find root by cmake/QtKit.cmake once it is unpacked.
set(CMAKE_FIND_ROOT_PATH /usr/${QMC_MINGW_PREFIX} ${CMAKE_BINARY_DIR}/qt-kit/qt6.4.2-mingw64)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Every executable lands in one folder with the DLLs and plugins it loads, laid out as in the
# Windows zip, so the tests and the program run under wine as they would on Windows.
set(QMC_WINDOWS_DEPLOY ON)

set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh ${CMAKE_BINARY_DIR}/wine-prefix)
