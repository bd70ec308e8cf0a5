# End-to-end test of damaged and hostile pictures (tests/data/hostile and a few made on the spot)
# given to the real Game's new game: each ends with its log entry and exit code 0, in time.
if(TARGET Game)
    add_test(NAME hostile_pictures_e2e
             COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/hostile_e2e.sh $<TARGET_FILE:Game> ${PROJECT_SOURCE_DIR}/tests/data/hostile)
    set_tests_properties(hostile_pictures_e2e PROPERTIES LABELS window TIMEOUT 900)
endif()
