# Start-up and screens of the game program, run from copies of the build's bin/ folder.
foreach(case launcher bad-command-lines no-display missing-image screens)
    add_test(NAME e2e_framework_${case}
             COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/framework_e2e.sh ${PUZZLE_BIN_DIR} ${case})
    set_tests_properties(e2e_framework_${case} PROPERTIES LABELS window TIMEOUT 180)
endforeach()

# The game's rand and srand (the Windows generator the cutting needs) stay inside the program:
# Game neither exports them to the shared libraries it loads nor imports the C library's.
add_test(NAME game_rand_stays_in_the_program
         COMMAND sh -c "nm -D \"$1\" | grep -wE 'rand|srand'; test $? -eq 1" sh ${PUZZLE_BIN_DIR}/Game)
