# Helpers every folder uses to declare its code and its tests the same way.

# The layer table (cmake/Layers.txt): KESTREL_LAYER_<folder> lists the folders below it.
file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/Layers.txt _kestrel_layer_lines REGEX "^[a-z]+:")
foreach(_line IN LISTS _kestrel_layer_lines)
  string(REGEX REPLACE "^([a-z]+):.*$" "\\1" _folder "${_line}")
  string(REGEX REPLACE "^[a-z]+:(.*)$" "\\1" _below "${_line}")
  string(STRIP "${_below}" _below)
  string(REGEX REPLACE "[ \t]+" ";" _below "${_below}")
  set(KESTREL_LAYER_${_folder} ${_below})
  list(APPEND KESTREL_LAYERS ${_folder})
endforeach()

# kestrel_library(<folder>): the static library kestrel_<folder> of a layer, linking the
# libraries of the layers below it (PUBLIC, so their users see them too). Sources are added
# with kestrel_sources.
function(kestrel_library folder)
  if(NOT folder IN_LIST KESTREL_LAYERS)
    message(FATAL_ERROR "${folder} is not in cmake/Layers.txt")
  endif()
  add_library(kestrel_${folder} STATIC)
  target_link_libraries(kestrel_${folder} PUBLIC kestrel_options)
  foreach(below IN LISTS KESTREL_LAYER_${folder})
    target_link_libraries(kestrel_${folder} PUBLIC kestrel_${below})
  endforeach()
endfunction()

# kestrel_add_tests(): the folder's tests/, in the builds that have tests (KESTREL_TESTS).
macro(kestrel_add_tests)
  if(KESTREL_TESTS)
    add_subdirectory(tests)
  endif()
endmacro()

# kestrel_sources(<library> <files...>): adds portable files and, for each NAME given with
# EDGE, NAME_win32.cpp or NAME_posix.cpp for the platform being built.
function(kestrel_sources lib)
  cmake_parse_arguments(K "" "" "EDGE" ${ARGN})
  set(files ${K_UNPARSED_ARGUMENTS})
  foreach(e IN LISTS K_EDGE)
    list(APPEND files ${e}_${KESTREL_EDGE}.cpp)
  endforeach()
  target_sources(${lib} PRIVATE ${files})
endfunction()

# kestrel_wine_tests(<tests...> [LABELS <labels...>]): tests that run Windows programs of this
# build under Wine. Each carries the build's machine type, so that scripts/wine-run and the
# scripts a test runs take the Wine of that type, whoever started ctest.
function(kestrel_wine_tests)
  cmake_parse_arguments(W "" "" "LABELS" ${ARGN})
  set(labels wine ${W_LABELS})
  set_tests_properties(${W_UNPARSED_ARGUMENTS} PROPERTIES LABELS "${labels}"
    ENVIRONMENT KESTREL_WINDOWS_ARCH=${KESTREL_WINDOWS_ARCH})
endfunction()

# kestrel_machine_def(<var> <file.def>): the module-definition file for the machine being
# built, in <var>. The files are written for i686, where a __stdcall name carries the bytes of
# its arguments (HS_Notify@8); x86_64 has one calling convention and no decoration, so there a
# copy without the decorations is used.
function(kestrel_machine_def var def)
  get_filename_component(def ${def} ABSOLUTE)
  if(NOT CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
    set(${var} ${def} PARENT_SCOPE)
    return()
  endif()
  file(READ ${def} text)
  string(REGEX REPLACE "([A-Za-z_][A-Za-z0-9_]*)@[0-9]+" "\\1" text "${text}")
  get_filename_component(name ${def} NAME)
  set(out ${CMAKE_CURRENT_BINARY_DIR}/x86_64/${name})
  file(GENERATE OUTPUT ${out} CONTENT "${text}")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${def})
  set(${var} ${out} PARENT_SCOPE)
endfunction()

# kestrel_test(<name> [WINDOWS] SOURCES <files...> [LIBS <libs...>] [PROPERTIES <ctest...>]):
# a GoogleTest program; PROPERTIES go to every ctest test made of it.
# Natively each test case is its own CTest test; under Wine a whole program is one test, since
# starting a Windows process per case would cost more than the tests themselves. WINDOWS: the
# program makes windows, so the Wine session it runs in needs a display (scripts/wine-tests
# gives the whole session one).
function(kestrel_test name)
  cmake_parse_arguments(T "WINDOWS" "" "SOURCES;LIBS;PROPERTIES" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} kestrel_options gmock gtest_main)
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES TIMEOUT 300 ${T_PROPERTIES})
    if(T_WINDOWS)
      kestrel_wine_tests(${name} LABELS windows)
    else()
      kestrel_wine_tests(${name})
    endif()
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 120 ${T_PROPERTIES})
  endif()
endfunction()

# kestrel_resource_module(<target> <rc files...>): a resource-only DLL, with no code
# and no entry point, that programs load as data (language modules, test string modules).
function(kestrel_resource_module name)
  add_library(${name} MODULE ${ARGN})
  set_target_properties(${name} PROPERTIES LINKER_LANGUAGE C PREFIX "")
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  # An entry address of 0 leaves the DLL without an entry point.
  target_link_options(${name} PRIVATE -nostdlib -Wl,-e,0 -s)
endfunction()
