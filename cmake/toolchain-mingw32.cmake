# Cross-compiling the Windows product: 32-bit mingw-w64 with POSIX threads (std::thread, std::mutex).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain-common.cmake)
