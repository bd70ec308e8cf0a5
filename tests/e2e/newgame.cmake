# End-to-end tests of a new game's start: the real Game under the display of the test run, from
# real picture files, past intro and logo with real keys; a built board is read from dumped
# frames, a failed start from the exit code and Errors.log.
if(TARGET Game)
    foreach(case jpg png bmp tga tif too_small missing unreadable atlas_refused)
        add_test(NAME newgame_e2e_${case}
                 COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/newgame_e2e.sh ${case} $<TARGET_FILE:Game>)
        set_tests_properties(newgame_e2e_${case} PROPERTIES LABELS window TIMEOUT 180)
    endforeach()
endif()
