# End-to-end tests of saved games: a game saved with the bar's button and continued with --open
# shows the same board; a missing and a damaged file end the start with a log entry and exit 0.
if(TARGET Game)
    foreach(case roundtrip missing damaged)
        add_test(NAME save_e2e_${case} COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/save_e2e.sh ${case} $<TARGET_FILE:Game>)
        set_tests_properties(save_e2e_${case} PROPERTIES LABELS window TIMEOUT 240)
    endforeach()
endif()
