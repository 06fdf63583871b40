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

# kestrel_test(<name> [WINDOWS] SOURCES <files...> [LIBS <libs...>]): a GoogleTest program.
# Natively each test case is its own CTest test; under Wine a whole program is one test, since
# starting a Windows process per case would cost more than the tests themselves. WINDOWS: the
# program makes windows, so the Wine session it runs in needs a display (scripts/wine-tests
# gives the whole session one).
function(kestrel_test name)
  cmake_parse_arguments(T "WINDOWS" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} kestrel_options gmock gtest_main)
  if(CMAKE_CROSSCOMPILING AND T_WINDOWS)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES LABELS "wine;windows" TIMEOUT 300)
  elseif(CMAKE_CROSSCOMPILING)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES LABELS wine TIMEOUT 300)
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 120)
  endif()
endfunction()

# kestrel_resource_module(<target> <rc files...>): a resource-only 32-bit DLL, with no code
# and no entry point, that programs load as data (language modules, test string modules).
function(kestrel_resource_module name)
  add_library(${name} MODULE ${ARGN})
  set_target_properties(${name} PROPERTIES LINKER_LANGUAGE C PREFIX "")
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  # An entry address of 0 leaves the DLL without an entry point.
  target_link_options(${name} PRIVATE -nostdlib -Wl,-e,0 -s)
endfunction()
