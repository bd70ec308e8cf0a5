#include "game/logic/SaveAhead.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

// The board's fields without its owner map, the one large array.
Board WithoutOwnerMap(const Board& b) {
    Board s;
    s.areaWidth = b.areaWidth;
    s.areaHeight = b.areaHeight;
    s.pieceCount = b.pieceCount;
    s.columns = b.columns;
    s.rows = b.rows;
    s.cellWidth = b.cellWidth;
    s.cellHeight = b.cellHeight;
    s.atlasNeedWidth = b.atlasNeedWidth;
    s.atlasNeedHeight = b.atlasNeedHeight;
    s.atlasSize = b.atlasSize;
    s.colStart = b.colStart;
    s.rowStart = b.rowStart;
    s.tabMap = b.tabMap;
    s.thumbWidth = b.thumbWidth;
    s.thumbHeight = b.thumbHeight;
    s.playTime = b.playTime;
    s.boardWidth = b.boardWidth;
    s.boardHeight = b.boardHeight;
    s.pieces = b.pieces;
    return s;
}

// The worker gives way to everything else: the game's thread and the save's own compression.
void LowerThisThreadsPriority() {
    setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), 19);
}

} // namespace

// Hands the worker the bands the device's thread has read.
class CSaveAhead::CHandedPixels : public CSavePixels {
  public:
    explicit CHandedPixels(CSaveAhead& owner) : m_owner(owner) {}
    void Create(SaveImage, int) override {}
    uint8_t* Lock(SaveImage image, int first, int count, ptrdiff_t& pitch) override {
        Band* band = m_owner.Take(image, first, count);
        pitch = ptrdiff_t(band->rows.size() / size_t(count));
        return band->rows.data();
    }
    void Unlock(SaveImage) override {
        std::lock_guard<std::mutex> lock(m_owner.m_mutex);
        m_owner.m_bands.pop_front();
        m_owner.m_changed.notify_all();
    }

  private:
    CSaveAhead& m_owner;
};

// The writer, fed a megabyte at a time so that a stop is noticed within one block.
class CSaveAhead::CStoppableSink : public CSaveSink {
  public:
    CStoppableSink(CGzipFileWriter& writer, CSaveAhead& owner) : m_writer(writer), m_owner(owner) {}
    void Write(const void* data, size_t n) override {
        const uint8_t* p = static_cast<const uint8_t*>(data);
        while (n > 0) {
            {
                std::lock_guard<std::mutex> lock(m_owner.m_mutex);
                if (m_owner.m_stop)
                    throw Stopped{};
            }
            const size_t take = std::min(n, CGzipFileWriter::kBlockSize);
            m_writer.Write(p, take);
            p += take;
            n -= take;
        }
    }

  private:
    CGzipFileWriter& m_writer;
    CSaveAhead& m_owner;
};

CSaveAhead::CSaveAhead(const std::string& savePath, unsigned long processId, const Board& board)
    : m_state(WithoutOwnerMap(board)), m_ownerMap(board.ownerMap), m_processId(processId),
      m_savePath(savePath) {
    m_lender.begin = kSaveHeaderBytes;
    m_lender.end = SaveContentSize(m_state) - sizeof(BoardPiece) * uint64_t(m_state.pieceCount);
    m_worker = std::thread([this] { Work(); });
}

CSaveAhead::~CSaveAhead() {
    Stop();
    if (!m_lender.path.empty())
        std::remove(m_lender.path.c_str());
}

void CSaveAhead::Work() {
    LowerThisThreadsPriority();
    CGzipFileWriter writer(8, false);
    const std::string path = OpenTemporaryBeside(writer, m_savePath, m_processId);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_lender.path = path;
    }
    if (path.empty())
        return;
    bool whole = false;
    try {
        CStoppableSink sink(writer, *this);
        CHandedPixels pixels(*this);
        WriteSavedGame(sink, m_state, m_ownerMap, pixels);
        whole = writer.Finish();
    } catch (...) {
        // Stopped, or out of memory: what is written so far can still be lent.
        writer.Close();
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_lender.index = writer.Index();
    m_haveLender = !m_lender.index.Empty();
    m_done = whole;
}

CSaveAhead::Band* CSaveAhead::Take(SaveImage image, int first, int count) {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [&] { return m_stop || !m_bands.empty(); });
    if (m_stop)
        throw Stopped{};
    Band& band = m_bands.front();
    if (band.image != image || band.first != first || band.count != count)
        throw Stopped{};
    return &band;
}

void CSaveAhead::Serve(CSavePixels& pixels) {
    SaveImage image;
    int first;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_stop || m_allRead || m_bands.size() >= 2)
            return;
        image = m_nextImage;
        first = m_nextFirst;
    }
    const bool atlas = image == SaveImage::Atlas;
    const int side = atlas ? m_state.atlasSize : kSaveThumbnailSide;
    const int count = atlas ? std::min(AtlasBandRows(side), side - first) : kSaveThumbnailSide;
    const size_t rowBytes = 4 * size_t(side);
    Band band{image, first, count, std::vector<uint8_t>(rowBytes * size_t(count))};
    ptrdiff_t pitch = 0;
    const uint8_t* bits = pixels.Lock(image, first, count, pitch);
    for (int r = 0; r < count; ++r)
        std::memcpy(band.rows.data() + size_t(r) * rowBytes, bits + r * pitch, rowBytes);
    pixels.Unlock(image);

    std::lock_guard<std::mutex> lock(m_mutex);
    m_bands.push_back(std::move(band));
    if (!atlas) {
        m_nextImage = SaveImage::Atlas;
        m_nextFirst = 0;
    } else {
        m_nextFirst = first + count;
    }
    m_allRead = atlas && m_nextFirst >= side;
    m_changed.notify_all();
}

bool CSaveAhead::Done() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_done;
}

const GzipLender* CSaveAhead::Stop() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
        m_changed.notify_all();
    }
    if (m_worker.joinable())
        m_worker.join();
    return m_haveLender ? &m_lender : nullptr;
}
