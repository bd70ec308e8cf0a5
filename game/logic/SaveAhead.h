// The part of a game's saved file that never changes after the start (grid, maps, thumbnail,
// atlas), compressed once in the background into a hidden file beside the saves, so that the
// first save lends it (checked as every lent range is) instead of compressing it on the game's
// thread. One worker thread at the lowest priority; the pixels reach it band by band from the
// thread that owns the device (Serve), so only a few bands are ever held in memory.
#pragma once

#include "game/logic/GzipWriter.h"
#include "game/logic/SaveFile.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class CSaveAhead {
  public:
    // Starts writing the content of board (its fixed fields and pieces as they are now) into
    // "~<process>-<count>.tmp" beside savePath. The board's grid, maps and sizes must stay as
    // they are until Stop or the end of this object.
    CSaveAhead(const std::string& savePath, unsigned long processId, const Board& board);
    // Stops the work and removes the hidden file.
    ~CSaveAhead();
    CSaveAhead(const CSaveAhead&) = delete;
    CSaveAhead& operator=(const CSaveAhead&) = delete;

    // On the device's thread, once a frame: reads the next band the worker will need from
    // pixels (read-only locks), at most one band a call and two bands ahead.
    void Serve(CSavePixels& pixels);
    // The whole file is written.
    bool Done() const;
    // Stops the work where it is and returns what a save may lend: the whole file or the part
    // written so far; null when there is nothing.
    const GzipLender* Stop();

  private:
    struct Band {
        SaveImage image;
        int first, count;
        std::vector<uint8_t> rows; // count rows without padding
    };
    class CHandedPixels;
    class CStoppableSink;
    struct Stopped {};
    void Work();
    Band* Take(SaveImage image, int first, int count); // on the worker; throws Stopped

    Board m_state; // every field but the owner map, as at the start
    const std::vector<uint16_t>& m_ownerMap;
    unsigned long m_processId;
    std::string m_savePath;
    GzipLender m_lender;
    bool m_haveLender = false;

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Band> m_bands; // read and not yet written; the front is the worker's
    SaveImage m_nextImage = SaveImage::Thumbnail;
    int m_nextFirst = 0;
    bool m_allRead = false;
    bool m_stop = false;
    bool m_done = false;
    std::thread m_worker;
};
