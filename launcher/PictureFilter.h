#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The picture file types that the game's image library reads, in the order the browse dialog
// lists them.
inline constexpr const char* kPictureExtensions[] = {"bmp", "cut", "dcx", "dds", "ico", "jpg", "lbm", "lif",
                                                     "mdl", "pcd", "pcx", "pic", "png", "pnm", "psd", "psp",
                                                     "raw", "sgi", "tga", "tif", "wal", "act", "pal"};

// The filter list of the browse dialog in the shape of a Windows file-dialog filter: pairs of
// NUL-terminated strings (display name, patterns separated by ';'), the first pair "Wszystkie
// obrazki" with every picture type, then one pair per type, then "Wszystkie pliki"; the whole list
// ends with one further NUL. The returned string holds every byte, the final NUL included.
std::string BuildPictureFilter();

// Reads a filter list built as above back into its (display name, patterns) pairs, in order.
std::vector<std::pair<std::string, std::string>> SplitPictureFilter(std::string_view filter);

// Turns one ';'-separated Windows pattern list into shell globs that match as Windows does,
// that is without regard to case ("*.bmp" -> "*.[bB][mM][pP]"), with "*.*" meaning every file.
std::vector<std::string> WindowsPatternsToGlobs(std::string_view patterns);
