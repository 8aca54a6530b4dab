# Cross-build for 32-bit Windows with Debian's MinGW-w64: the product.
set(TAGPORT_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(TAGPORT_WIDL_TARGET -m32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
