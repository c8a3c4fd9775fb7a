# One static library per subsystem folder. A folder uses only the folders it names, and the build
# fails on an include against that direction:
#
#   corvalo_subsystem(<folder> [USES <folder>...])
#
# makes the library corvalo_<folder> from the folder's sources (the _win files only for Windows,
# the _posix files only elsewhere), links it to corvalo_<used> for each folder it uses, and checks
# before it compiles that its files include no other folder's headers. The resources' identifiers
# are every folder's.
set(CORVALO_INCLUDE_CHECK ${CMAKE_CURRENT_LIST_DIR}/check_include_direction.cmake)

function(corvalo_subsystem folder)
    cmake_parse_arguments(PARSE_ARGV 1 subsystem "" "" "USES")
    set(root ${PROJECT_SOURCE_DIR})
    file(GLOB sources CONFIGURE_DEPENDS ${root}/${folder}/*.cpp)
    file(GLOB headers CONFIGURE_DEPENDS ${root}/${folder}/*.h)
    list(FILTER sources EXCLUDE REGEX "/entry_point_win\\.cpp$")
    if(WIN32)
        list(FILTER sources EXCLUDE REGEX "_posix\\.cpp$")
    else()
        list(FILTER sources EXCLUDE REGEX "_win\\.cpp$")
        list(FILTER headers EXCLUDE REGEX "_win\\.h$")
    endif()

    set(target corvalo_${folder})
    set(used)
    foreach(other ${subsystem_USES})
        list(APPEND used corvalo_${other})
    endforeach()
    if(sources)
        add_library(${target} STATIC ${sources})
        set_target_properties(${target} PROPERTIES UNITY_BUILD ${CORVALO_UNITY_PRODUCT}
                                                   UNITY_BUILD_BATCH_SIZE 0)
        # The _posix files build in no Windows tree, so they are always compiled on their own.
        set(posix_sources ${sources})
        list(FILTER posix_sources INCLUDE REGEX "_posix\\.cpp$")
        if(posix_sources)
            set_source_files_properties(${posix_sources} PROPERTIES SKIP_UNITY_BUILD_INCLUSION ON)
        endif()
        target_include_directories(${target} PUBLIC ${root})
        target_link_libraries(${target} PUBLIC ${used})
    else()
        # Nothing of the folder builds here (its files are all for Windows): only its uses pass on.
        add_library(${target} INTERFACE)
        target_include_directories(${target} INTERFACE ${root})
        target_link_libraries(${target} INTERFACE ${used})
    endif()

    # The folders this one may include: itself, what it uses and what they use in turn.
    set(allowed ${folder} resources)
    foreach(other ${subsystem_USES})
        list(APPEND allowed ${other} ${CORVALO_ALLOWED_${other}})
    endforeach()
    list(REMOVE_DUPLICATES allowed)
    if(sources)
        set(stamp ${CMAKE_CURRENT_BINARY_DIR}/include_direction/${folder}.checked)
        add_custom_command(
            OUTPUT ${stamp}
            COMMAND ${CMAKE_COMMAND} "-DFOLDER=${folder}" "-DALLOWED=${allowed}"
                    "-DSTAMP=${stamp}" "-DFILES=${sources};${headers}" -P ${CORVALO_INCLUDE_CHECK}
            DEPENDS ${sources} ${headers} ${CORVALO_INCLUDE_CHECK}
            COMMENT "Checking that ${folder}/ includes only ${allowed}"
            VERBATIM)
        add_custom_target(${target}_include_direction DEPENDS ${stamp})
        add_dependencies(${target} ${target}_include_direction)
    endif()
    set(CORVALO_ALLOWED_${folder} ${allowed} PARENT_SCOPE)
endfunction()
