// Where the log entries of the game screen point: every failure of a start, a save or a load is
// logged as the source file "game.cpp" and one of these lines, which players' logs have always
// carried, whatever file of this tree raises it.
#pragma once

constexpr const char* kGameLogSource = "game.cpp";

enum GameLogLine : int {
    LINE_PICTURE_UNREADABLE = 493,
    LINE_PICTURE_TOO_SMALL = 518, // also a grid without a column or a row
    LINE_PICTURE_PIXELS = 526,
    LINE_START_OUT_OF_MEMORY = 540,
    LINE_ATLAS_CREATE = 764,
    LINE_ATLAS_FILL = 793,
    LINE_PREVIEW_BIND = 1494,
    LINE_PREVIEW_COPY = 1499,
    LINE_PREVIEW_FILTER = 1504,
    LINE_PREVIEW_SCALE = 1534,
    LINE_THUMBNAIL_PIXELS = 1540,
    LINE_THUMBNAIL_CREATE = 1547,
    LINE_THUMBNAIL_FILL = 1552,
    LINE_SAVE_OPEN = 1756,
    LINE_SAVE_WRITE = 1790,
    LINE_SAVE_THUMBNAIL_LOCK = 1827,
    LINE_SAVE_ATLAS_LOCK = 1848,
    LINE_LOAD_OPEN = 1878,
    LINE_LOAD_STREAM = 1890, // short file, damaged gzip stream, bytes after the content
    LINE_LOAD_HEADER = 1891, // fixed fields that disagree
    LINE_LOAD_GRID = 1892,   // colStart or rowStart
    LINE_LOAD_OWNERS = 1893, // ownerMap
    LINE_LOAD_THUMB = 1894,  // thumbnail sizes
    LINE_LOAD_PIECES = 1895, // piece records
    LINE_LOAD_OUT_OF_MEMORY = 1896,
    LINE_LOAD_THUMBNAIL_CREATE = 1953,
    LINE_LOAD_THUMBNAIL_LOCK = 1958,
    LINE_LOAD_ATLAS_CREATE = 1979,
    LINE_LOAD_ATLAS_LOCK = 1983,
};
