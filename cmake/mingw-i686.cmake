# Cross-compiling to 32-bit Windows: the product.
set(VORUTA_MINGW_PROCESSOR i686)
set(VORUTA_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
