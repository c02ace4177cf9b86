# Cross-compiling the same code for x86_64 Windows: a test vehicle for machines that run no
# 32-bit code, where its tests run under wine64. Never shipped: the product is the i686 build.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain-common.cmake)
