# kaplo_label_tests(regex labels...): gives the tests this directory has
# defined so far whose names match regex the labels, one per source folder
# they exercise, so `ctest -L image` runs the tests of image/ (and
# scripts/mutants the tests of a mutated folder). Tests found by
# gtest_discover_tests take theirs through its PROPERTIES LABELS.
function(kaplo_label_tests regex)
  get_directory_property(tests TESTS)
  list(FILTER tests INCLUDE REGEX "${regex}")
  if(tests)
    set_property(TEST ${tests} APPEND PROPERTY LABELS ${ARGN})
  endif()
endfunction()
