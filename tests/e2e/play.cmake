# End-to-end play: the real Game under the display of the test run plays a 4-piece puzzle to the
# end with real mouse input (xdotool); pieces are found in dumped frames by the picture's own
# colours, the solve is seen as the colour flash, and Game must leave with exit code 0.
if(TARGET Game)
    add_test(NAME play_e2e_solve COMMAND python3 ${CMAKE_CURRENT_LIST_DIR}/play_e2e.py $<TARGET_FILE:Game>)
    set_tests_properties(play_e2e_solve PROPERTIES LABELS window TIMEOUT 300)
endif()

# The launch path of scripts/play.sh: a game saved by Game is listed by the launcher and opens.
if(TARGET Game AND TARGET Puzzle)
    add_test(NAME play_e2e_launch COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/play_launch.sh $<TARGET_FILE:Game>)
    set_tests_properties(play_e2e_launch PROPERTIES LABELS window TIMEOUT 300 RESOURCE_LOCK launcher_xvfb)
endif()
