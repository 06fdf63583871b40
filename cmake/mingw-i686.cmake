# 32-bit Windows cross build: the kit. HotSync Manager is a 32-bit process, so everything it
# loads from us must be i686.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(KESTREL_MINGW_PREFIX i686-w64-mingw32)
set(KESTREL_WINDOWS_ARCH 32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
