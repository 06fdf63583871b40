# Helpers every folder uses to declare its code and its tests the same way.

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

# kestrel_test(<name> SOURCES <files...> [LIBS <libs...>]): a GoogleTest program. Natively each
# test case is its own CTest test; under Wine a whole program is one test, since starting a
# Windows process per case would cost more than the tests themselves.
function(kestrel_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} kestrel_options gmock gtest_main)
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES LABELS wine TIMEOUT 300)
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 120)
  endif()
endfunction()
