# Play: a whole frame (update and drawing) on the OpenGL device, and picking and dropping, on
# boards cut from a 4800 x 4800 area. Needs a display (run under xvfb-run).
puzzle_bench(play_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/play_bench.cpp
             LIBS game framework_base platform_win32 platform_d3d9 platform_d3dx platform_d3dx_font)
puzzle_cp1250(play_bench)
target_compile_definitions(play_bench PRIVATE PUZZLE_BIN_DIR="${PUZZLE_BIN_DIR}")
add_dependencies(play_bench gfx_files)
