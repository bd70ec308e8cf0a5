// Which loaded pictures must be turned upside down before their rows are read top-down.
#pragma once

#include <string>

// upperExtension: the file name's extension from its last dot on, upper-cased (".BMP").
// lowerLeftOrigin: DevIL reports the picture's rows as stored bottom row first.
// DevIL hands over the rows of BMP, SGI, TIFF and ICO files in their stored order and flags the
// bottom-up ones with a lower-left origin; those are turned. Top-down files of these types (a
// BMP with negative height, 8-bit or JPEG-compressed TIFF) report an upper-left origin and are
// used as loaded. Every other type arrives top row first whatever its origin flag says (TGA
// reports a lower-left origin for rows it has already put top-down).
bool NeedsFlip(const std::string& upperExtension, bool lowerLeftOrigin);
