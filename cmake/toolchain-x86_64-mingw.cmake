# Cross-build for 64-bit Windows with Debian's MinGW-w64: the test build, for machines that cannot run
# 32-bit code. The product is the i686 build; this one runs the same sources under 64-bit Wine.
set(TAGPORT_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(TAGPORT_WIDL_TARGET -m64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
