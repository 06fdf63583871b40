# The simulated handheld: a model library that engine tests run the link against in
# simulated time, the palmsim program serving it on a pseudo-terminal in real time, and
# Bootlet.prc as the kit ships it (build/.../sim/sys/Bootlet.prc).
set(_palmsim_dir ${CMAKE_CURRENT_LIST_DIR})

add_library(kestrel_sim STATIC
  ${_palmsim_dir}/Bootlet.cpp
  ${_palmsim_dir}/Handheld.cpp
  ${_palmsim_dir}/HandheldConfig.cpp
  ${_palmsim_dir}/HandheldFraming.cpp
  ${_palmsim_dir}/HandheldMemory.cpp
  ${_palmsim_dir}/HandheldState.cpp
  ${_palmsim_dir}/SimLine.cpp
  ${_palmsim_dir}/SimLineEdge.cpp
)
target_link_libraries(kestrel_sim PUBLIC kestrel_core)

add_executable(palmsim ${_palmsim_dir}/palmsim_posix.cpp ${_palmsim_dir}/Pty_posix.cpp)
target_link_libraries(palmsim PRIVATE kestrel_sim)

set(KESTREL_BOOTLET_PRC ${CMAKE_CURRENT_BINARY_DIR}/sys/Bootlet.prc)
add_custom_command(OUTPUT ${KESTREL_BOOTLET_PRC}
  COMMAND palmsim --write-loader ${KESTREL_BOOTLET_PRC}
  DEPENDS palmsim
  COMMENT "Writing Bootlet.prc"
  VERBATIM)
add_custom_target(bootlet_prc ALL DEPENDS ${KESTREL_BOOTLET_PRC})

kestrel_test(sim_tests
  SOURCES
    ${_palmsim_dir}/tests/HandheldTest.cpp
    ${_palmsim_dir}/tests/HandheldFaultTest.cpp
    ${_palmsim_dir}/tests/HandheldStateTest.cpp
    ${_palmsim_dir}/tests/SimLineTest.cpp
  LIBS kestrel_sim)

kestrel_test(palmsim_tests
  SOURCES ${_palmsim_dir}/tests/PalmsimSmoke_posix.cpp
  LIBS kestrel_sim)
target_compile_definitions(palmsim_tests PRIVATE PALMSIM_PATH="$<TARGET_FILE:palmsim>")
add_dependencies(palmsim_tests palmsim)

# Read back by Palm::PDB (Debian's libpalm-perl), a reader this project did not write.
add_test(NAME bootlet_prc_palm_pdb
  COMMAND perl ${_palmsim_dir}/tests/bootlet_check.pl ${KESTREL_BOOTLET_PRC})
