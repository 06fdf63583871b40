# 64-bit Windows cross build of the same sources, for testing and demonstrating them under
# wine64 on machines that cannot execute 32-bit x86 code. Nothing it builds enters the kit.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KESTREL_MINGW_PREFIX x86_64-w64-mingw32)
set(KESTREL_WINDOWS_ARCH 64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
