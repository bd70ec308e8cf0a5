# A new game's start, step by step, and the literal against the fast relief count.
puzzle_bench(newgame_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/newgame_bench.cpp
             LIBS game framework_base platform_test platform_d3dx platform_win32)
puzzle_cp1250(newgame_bench)
