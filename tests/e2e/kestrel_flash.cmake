# kestrel-flash flash against palmsim, one ctest test per scenario so that they run side by
# side; together they take well under a minute.
set(_kf_e2e_cases advanced normal noise stale high-speed hangup interrupt-flash
  interrupt-wait silent-loader stuck-block partial-block too-big device)
foreach(_case IN LISTS _kf_e2e_cases)
  add_test(NAME kestrel_flash_e2e_${_case}
    COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/kestrel_flash_e2e.sh ${_case}
      $<TARGET_FILE:kestrel-flash> $<TARGET_FILE:palmsim> $<TARGET_FILE:mkupd>
      ${CMAKE_BINARY_DIR}/tests/e2e/kestrel-flash)
  set_tests_properties(kestrel_flash_e2e_${_case} PROPERTIES TIMEOUT 120 LABELS e2e)
endforeach()
