# Small programs the shell lookup tests read: each is the same empty program with its own version
# information (or none), built beside win_tests.exe, which finds them there.
set(shell_test_programs shell_tool shell_no_translation shell_second_translation shell_wide_name)
foreach(name ${shell_test_programs})
    add_executable(${name} ${CMAKE_CURRENT_LIST_DIR}/shell_test_program.c
                           ${CMAKE_CURRENT_LIST_DIR}/${name}.rc)
    add_dependencies(win_tests ${name})
endforeach()
add_executable(shell_no_version ${CMAKE_CURRENT_LIST_DIR}/shell_test_program.c)
add_dependencies(win_tests shell_no_version)
