# A new game's start, step by step, and the literal against the fast relief count.
puzzle_bench(newgame_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/newgame_bench.cpp
             LIBS game framework_base platform_test platform_d3dx platform_win32 PkgConfig::DEVIL)
puzzle_cp1250(newgame_bench)
# CreateResources and the decoder's own benchmark run the program folder's picture decoder.
target_compile_definitions(newgame_bench PRIVATE PUZZLE_BIN_DIR="${PUZZLE_BIN_DIR}")
add_dependencies(newgame_bench PictureDecoder)
