// A helper program of our own, started from this program's folder for one job. The caller talks
// to it over one stream (both ways) and reads its bulk output from one shared memory file that
// the caller sizes. Every wait ends at the deadline set at the start; destroying the object, or
// Stop, kills a helper that is still running and reaps it. The helper is not trusted: a read
// that does not get all its bytes in time simply fails.
#pragma once

#include "platform/Win32.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CHelperProcess {
  public:
    CHelperProcess() = default;
    ~CHelperProcess();
    CHelperProcess(const CHelperProcess&) = delete;
    CHelperProcess& operator=(const CHelperProcess&) = delete;

    // Starts program `name` from the running program's folder with the arguments; the stream is
    // its descriptors 0 and 1, the error output stays 2, the shared memory file is 3, nothing
    // else is inherited. Everything must be over `milliseconds` from now. False when it cannot
    // start.
    bool Start(const char* name, const std::vector<std::string>& arguments, DWORD milliseconds);
    // Exactly `size` bytes from the stream; false at its end, on an error or at the deadline.
    bool Read(void* buffer, size_t size);
    // All `size` bytes to the stream; false when the helper does not take them in time.
    bool Write(const void* buffer, size_t size);
    // Gives the shared memory file exactly `size` bytes and fixes that size for good.
    bool SizeShared(uint64_t size);
    // `size` bytes from `offset` of the shared memory file.
    bool ReadShared(uint64_t offset, void* buffer, size_t size);
    // The first `size` bytes of the shared memory file, mapped into this process (they stay valid
    // when the file is closed or the helper ends; DiscardVirtualMemory gives pages of it back);
    // null on failure.
    std::shared_ptr<uint8_t[]> MapShared(uint64_t size);
    // Closes the shared memory file (the helper may still hold it until it ends).
    void DropShared();
    // Kills the helper if it still runs, reaps it and closes everything.
    void Stop();

  private:
    bool WaitReady(int fd, short events);

    int m_pid = -1;
    int m_stream = -1;
    int m_shared = -1;
    uint64_t m_deadline = 0;
};
