// What the decoder process may do once it has opened the picture: read that one file, talk over
// the descriptors it was given, and compute. Nothing else.
#pragma once

#include <cstddef>

namespace decoder {

// The process is killed when the program that started it ends (and ends now if it already has).
void EndWithParent();

// Processor time, address space and file size limits of this process; no core dumps.
void LimitResources(unsigned cpuSeconds, size_t addressSpace);

// Closes every descriptor above the given one.
void CloseDescriptorsAbove(int last);

// Forbids gaining privileges, restricts the file system to reading the one file `picture` (an
// O_PATH descriptor of it; where the kernel has Landlock, also no network and no signals to
// others) and then allows only the system calls that decoding needs: reading, memory and writing
// to descriptor `output`. Returns false when a required step fails.
bool Confine(int picture, int output);

} // namespace decoder
