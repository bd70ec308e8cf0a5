// The C runtime subset that behaves differently on Windows than in glibc.
//
// rand/srand: the Windows C runtime's generator (state = state * 214013 + 2531011, result =
// bits 16 to 30 of the state), range 0 to 32767. The piece shapes and the scattering formulas
// divide by 32767, so glibc's 31-bit rand would break them. The layer defines rand and srand
// with C linkage; being linked into the program ahead of the C library, these definitions are
// the ones the program's own code gets. They are not exported: shared libraries loaded into the
// process keep the C library's rand and srand.
#pragma once

#include <cstdlib>

#undef RAND_MAX
#define RAND_MAX 0x7fff

#define _MAX_DRIVE 3
#define _MAX_DIR 256
#define _MAX_FNAME 256
#define _MAX_EXT 256

extern "C" {
int rand(void) noexcept;
void srand(unsigned int seed) noexcept;
}

// Splits a path into drive ("C:" or empty), directory (up to and including the last '\' or
// '/'), file name and extension (from the last dot of the file name on, dot included).
// Any output pointer may be null. Each output is cut to its _MAX_ size.
void _splitpath(const char* path, char* drive, char* dir, char* fname, char* ext);
