# Narrow string literals of the game and the launcher are Windows-1250 bytes:
# sources are UTF-8, the compiler converts every literal at build time.
function(puzzle_cp1250 target)
    target_compile_options(${target} PRIVATE -finput-charset=UTF-8 -fexec-charset=CP1250)
endfunction()

# Adds a GoogleTest executable registered with CTest.
#   puzzle_test(NAME name SOURCES ... LIBS ... [CP1250] [WINDOW])
# WINDOW marks tests that need a display; they get the label "window".
function(puzzle_test)
    cmake_parse_arguments(T "CP1250;WINDOW" "NAME" "SOURCES;LIBS" ${ARGN})
    add_executable(${T_NAME} ${T_SOURCES})
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
    set_target_properties(${T_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    if(T_CP1250)
        puzzle_cp1250(${T_NAME})
    endif()
    add_test(NAME ${T_NAME} COMMAND ${T_NAME} WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    if(T_WINDOW)
        set_tests_properties(${T_NAME} PROPERTIES LABELS window)
    endif()
endfunction()
