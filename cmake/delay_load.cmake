# Delay-loaded system DLLs for the MinGW build: a DLL linked through one of these libraries is
# loaded at the program's first call into it instead of before the program starts. The dialogs,
# the shell, OLE automation and the version reader are needed only when the user acts, so the
# picture is on screen sooner.
#
# corvalo_delay_load_libraries(<out-var> <name>...) makes lib<name>_delay.a for each import
# library lib<name>.a of the toolchain, with every function the import library exports, and sets
# <out-var> to the list of the new libraries. Made once, at configure time: the toolchain's import
# libraries do not change between builds.
function(corvalo_delay_load_libraries out_var)
    set(made)
    foreach(name ${ARGN})
        find_library(CORVALO_IMPORT_LIBRARY_${name} NAMES lib${name}.a REQUIRED NO_CACHE)
        set(import_library ${CORVALO_IMPORT_LIBRARY_${name}})
        set(delay_library ${CMAKE_BINARY_DIR}/delay_load/lib${name}_delay.a)
        if(NOT EXISTS ${delay_library} OR ${import_library} IS_NEWER_THAN ${delay_library})
            file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/delay_load)
            execute_process(COMMAND ${CMAKE_DLLTOOL} --identify ${import_library}
                            OUTPUT_VARIABLE dll_name OUTPUT_STRIP_TRAILING_WHITESPACE
                            COMMAND_ERROR_IS_FATAL ANY)
            execute_process(COMMAND ${CMAKE_NM} -g --defined-only ${import_library}
                            OUTPUT_VARIABLE symbols COMMAND_ERROR_IS_FATAL ANY)
            # Each function of the DLL is a "T" symbol of its own thunk in the import library.
            string(REGEX MATCHALL "[0-9a-f]+ T [A-Za-z0-9_@?$]+" functions "${symbols}")
            set(definitions "LIBRARY \"${dll_name}\"\nEXPORTS\n")
            foreach(line ${functions})
                string(REGEX REPLACE "^[0-9a-f]+ T " "" function "${line}")
                if(NOT function MATCHES "^_head_|_iname$")
                    string(APPEND definitions "${function}\n")
                endif()
            endforeach()
            set(def_file ${CMAKE_BINARY_DIR}/delay_load/${name}.def)
            file(WRITE ${def_file} "${definitions}")
            execute_process(COMMAND ${CMAKE_DLLTOOL} --input-def ${def_file} --dllname ${dll_name}
                                    --output-delaylib ${delay_library}
                            COMMAND_ERROR_IS_FATAL ANY)
        endif()
        list(APPEND made ${delay_library})
    endforeach()
    set(${out_var} ${made} PARENT_SCOPE)
endfunction()
