# Saving and loading a 1000-piece game against gzip -8 and zcat of the same bytes.
puzzle_bench(save_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/save_bench.cpp LIBS game_logic)
puzzle_cp1250(save_bench)
