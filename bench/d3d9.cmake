# The OpenGL Direct3D 9 device drawing a board of 10,000 pieces the way the game does (needs a
# display: run under xvfb-run like the window tests).
puzzle_bench(d3d9_bench
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/d3d9_bench.cpp
    LIBS framework_base platform_d3d9 platform_d3dx platform_d3dx_font platform_win32 PkgConfig::SDL2)
