# libjpeg: Debian's package natively; for Windows the static i686 build that
# scripts/build-libjpeg-mingw.sh leaves under the build tree.
if(WIN32)
  if(NOT EXISTS "${KESTREL_JPEG_PREFIX}/lib/libjpeg.a")
    message(FATAL_ERROR "No i686 libjpeg at '${KESTREL_JPEG_PREFIX}'; run scripts/setup.sh")
  endif()
  add_library(kestrel_jpeg STATIC IMPORTED)
  set_target_properties(kestrel_jpeg PROPERTIES
    IMPORTED_LOCATION "${KESTREL_JPEG_PREFIX}/lib/libjpeg.a"
    INTERFACE_INCLUDE_DIRECTORIES "${KESTREL_JPEG_PREFIX}/include")
else()
  find_package(JPEG REQUIRED)
  add_library(kestrel_jpeg INTERFACE)
  target_link_libraries(kestrel_jpeg INTERFACE JPEG::JPEG)
endif()
