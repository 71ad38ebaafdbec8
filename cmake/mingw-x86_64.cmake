# Cross-compiling to 64-bit Windows: the test bed of machines that cannot run
# 32-bit Wine (see scripts/env.sh).
set(VORUTA_MINGW_PROCESSOR x86_64)
set(VORUTA_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
