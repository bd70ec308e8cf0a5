# End-to-end tests of the launcher Puzzle: the real dialog on a virtual display of its own,
# driven with real keyboard and mouse input (xdotool), with a stand-in Game that records how it
# was started.
if(TARGET Puzzle)
    pkg_check_modules(X11 REQUIRED IMPORTED_TARGET x11)
    add_executable(SendCloseRequest ${CMAKE_CURRENT_LIST_DIR}/SendCloseRequest.cpp)
    target_link_libraries(SendCloseRequest PRIVATE PkgConfig::X11)
    set_target_properties(SendCloseRequest PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)

    foreach(case new_game warnings open_saved refresh_delete browse cancel)
        add_test(NAME launcher_e2e_${case}
                 COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/launcher_e2e.sh ${case} $<TARGET_FILE:Puzzle>
                         $<TARGET_FILE:SendCloseRequest>)
        # Each case starts its own Xvfb; one at a time, since xvfb-run picks its display number
        # without a lock.
        set_tests_properties(launcher_e2e_${case} PROPERTIES LABELS window TIMEOUT 180 RESOURCE_LOCK launcher_xvfb)
    endforeach()
endif()
