# The wizard's pictures: make_pictures.py draws them into the build folder, where the checks
# and Pictures.rc find them. Included once (by the folder that first needs them), it gives
#
#   KESTREL_PICTURES_DIR   the folder holding the drawn pictures (see make_pictures.py)
#   kestrel_pictures       the target that draws them
#   kestrel_pictures_rc    Windows: the pictures as resources, an object library to link into
#                          Kestrelup.exe (target_link_libraries(kestrelup PRIVATE
#                          kestrel_pictures_rc)) or into a test that loads them
include_guard(GLOBAL)

find_package(Python3 REQUIRED COMPONENTS Interpreter)
# The JPEG logo is encoded by libjpeg's own encoder (Debian's libjpeg-turbo-progs).
find_program(KESTREL_CJPEG cjpeg REQUIRED)

set(KESTREL_PICTURES_DIR ${CMAKE_BINARY_DIR}/app/pictures)
set(_pictures_source ${CMAKE_SOURCE_DIR}/app/pictures)
set(_pictures
  handheld-type4.bmp loader-type4.bmp reset-type4.bmp
  handheld-other.bmp loader-other.bmp reset-other.bmp
  welcome-logo.bmp welcome-logo.jpg check-mark.bmp step-arrow.bmp)
list(TRANSFORM _pictures PREPEND ${KESTREL_PICTURES_DIR}/ OUTPUT_VARIABLE KESTREL_PICTURE_FILES)

add_custom_command(OUTPUT ${KESTREL_PICTURE_FILES}
  COMMAND ${Python3_EXECUTABLE} ${_pictures_source}/make_pictures.py ${KESTREL_PICTURES_DIR}
          --cjpeg ${KESTREL_CJPEG}
  DEPENDS ${_pictures_source}/make_pictures.py ${_pictures_source}/font5x7.py
  COMMENT "Drawing the wizard's pictures"
  VERBATIM)
add_custom_target(kestrel_pictures DEPENDS ${KESTREL_PICTURE_FILES})

if(WIN32)
  add_library(kestrel_pictures_rc OBJECT ${_pictures_source}/Pictures.rc)
  # windres looks for the files a script names in its include folders.
  target_include_directories(kestrel_pictures_rc PRIVATE ${CMAKE_SOURCE_DIR} ${KESTREL_PICTURES_DIR})
  set_source_files_properties(${_pictures_source}/Pictures.rc PROPERTIES OBJECT_DEPENDS
    "${KESTREL_PICTURE_FILES};${CMAKE_SOURCE_DIR}/support/PictureIds.h")
  add_dependencies(kestrel_pictures_rc kestrel_pictures)
endif()
