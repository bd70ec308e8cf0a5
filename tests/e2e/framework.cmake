# Start-up and screens of the game program, run from copies of the build's bin/ folder.
foreach(case launcher bad-command-lines no-display missing-image screens)
    add_test(NAME e2e_framework_${case}
             COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/framework_e2e.sh ${PUZZLE_BIN_DIR} ${case})
    set_tests_properties(e2e_framework_${case} PROPERTIES LABELS window TIMEOUT 180)
endforeach()
