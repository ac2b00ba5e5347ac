# kaplo_add_program(name source...): builds a user program, its sources
# linked with the framework's main() and the framework library.
function(kaplo_add_program name)
  add_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE kaplo::main kaplo::kaplo)
endfunction()
