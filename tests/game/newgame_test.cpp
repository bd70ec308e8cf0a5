// The start of a new game from real picture files, on the recording device.
#include "framework/Error.h"
#include "game/Game.h"
#include "game/logic/Cutting.h"
#include "game/logic/Scatter.h"
#include "platform/CRT.h"
#include "platform/linux/Hooks.h"
#include "platform/test/RecordingDevice.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <new>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <vector>

// Allocations above this many bytes fail while it is non-zero: the way to run out of memory at
// a chosen step without exhausting the machine.
static std::atomic<size_t> g_failAllocationsAbove{0};

#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(size_t size) {
    const size_t limit = g_failAllocationsAbove.load();
    void* p = limit != 0 && size > limit ? nullptr : std::malloc(size ? size : 1);
    if (!p)
        throw std::bad_alloc();
    return p;
}
void* operator new[](size_t size) {
    return operator new(size);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, size_t) noexcept {
    std::free(p);
}

namespace fs = std::filesystem;

namespace {

const fs::path kPictures = fs::absolute("newgame_pictures");

// A picture red in its top half and blue in its bottom half with 8-bit channels, written by
// ImageMagick; options ending in ':' name the writer ("BMP3:").
void MakePicture(const std::string& name, int width, int height, const std::string& options = "") {
    const bool writer = !options.empty() && options.back() == ':';
    const std::string command =
        "convert -size " + std::to_string(width) + "x" + std::to_string(height / 2) + " xc:red -size " +
        std::to_string(width) + "x" + std::to_string(height - height / 2) + " xc:blue -append -depth 8 " +
        (writer ? "" : options) + " '" + (writer ? options : "") + (kPictures / name).string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

// A BMP whose rows are stored top row first (negative height), red on top.
void MakeTopDownBmp(const std::string& name) {
    const int w = 64, h = 64;
    std::vector<uint8_t> file(54 + w * h * 3);
    auto put32 = [&](size_t at, int32_t v) {
        for (int i = 0; i < 4; ++i)
            file[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    file[0] = 'B';
    file[1] = 'M';
    put32(2, static_cast<int32_t>(file.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, w);
    put32(22, -h);
    file[26] = 1;
    file[28] = 24;
    put32(34, w * h * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = &file[54 + (y * w + x) * 3]; // blue, green, red
            p[0] = y < h / 2 ? 0 : 255;
            p[2] = y < h / 2 ? 255 : 0;
        }
    std::ofstream(kPictures / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()), file.size());
}

// The decoder has ended and been reaped: this process has no children left.
bool NoChildLeft() {
    return waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD;
}

bool Reddish(DWORD texel) {
    return (texel >> 16 & 0xFF) > 160 && (texel & 0xFF) < 96;
}
bool Bluish(DWORD texel) {
    return (texel >> 16 & 0xFF) < 96 && (texel & 0xFF) > 160;
}

class NewGameTest : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        layer::SetHelperFolder(PUZZLE_BIN_DIR);
        fs::remove_all(kPictures);
        fs::create_directories(kPictures);
        MakePicture("kot.png", 800, 600);
        MakePicture("small.png", 48, 1000);
        MakePicture("tall.png", 49, 1000);
        MakePicture("big.png", 1500, 1100);
        // 4000 x 1500 in 24-bit colour (an 18 MB image), cut off halfway through its pixels.
        MakePicture("atlas_cut.png", 4000, 1500, "PNG24:");
        fs::resize_file(kPictures / "atlas_cut.png", fs::file_size(kPictures / "atlas_cut.png") / 2);
        for (const char* name :
             {"orient.jpg", "orient.png", "orient.tga", "orient.tif", "orient.tiff", "orient.pcx",
              "orient.pnm", "orient.sgi", "orient.psd", "orient.dds", "orient.ico", "PHOTO.Bmp"})
            MakePicture(name, 64, 64, name == std::string("PHOTO.Bmp") ? "BMP3:" : "");
        // The launcher's filter offers these types; the writer's variants below are the ones
        // whose rows DevIL hands over in the other order.
        MakePicture("orient_bottomup.bmp", 64, 64, "BMP3:");
        // Read by content or by a less common extension; DevIL reports them bottom-up too.
        MakePicture("orient_bottomup.dib", 64, 64, "BMP3:");
        MakePicture("orient_bottomup", 64, 64, "BMP3:");
        MakePicture("orient.rgb", 64, 64, "SGI:");
        MakePicture("orient_toptga.tga", 64, 64, "-orient TopLeft");
        MakePicture("orient_jpeg.tif", 64, 64, "-compress jpeg");
        MakePicture("orient_rle.sgi", 64, 64, "-compress RLE");
        MakePicture("orient_16bit.tif", 64, 64, "-depth 16");
        MakePicture("orient_16bit.psd", 64, 64, "-depth 16");
        MakePicture("wide16.pnm", 64, 64, "-depth 16");
        MakePicture("wide16.sgi", 64, 64, "-depth 16");
        MakeTopDownBmp("orient_topdown.bmp");
        std::ofstream(kPictures / "broken.png") << "not a picture at all";
        fs::create_directories(kPictures / "folder.png");
        mkfifo((kPictures / "fifo.png").c_str(), 0600);
        // A valid picture that DevIL's PIC reader writes past its buffer for.
        std::ofstream pic(kPictures / "valid.pic", std::ios::binary);
        const uint8_t header[] = {0x53, 0x80, 0xF6, 0x34, 0x40, 0x6D, 0x70, 0xA4};
        pic.write(reinterpret_cast<const char*>(header), sizeof header);
        pic << std::string(80, '\0') << "PICT" << '\0' << '\x40' << '\0' << '\x40';
        const uint8_t rest[] = {0x3F, 0x80, 0, 0, 0, 3, 0, 0, 0, 8, 0, 0xE0};
        pic.write(reinterpret_cast<const char*>(rest), sizeof rest);
        pic << std::string(64 * 64 * 3, '\x80');
    }

    void SetUp() override {
        m_beeps.clear();
        layer::SetBeepSink([this](DWORD f, DWORD d) { m_beeps.emplace_back(f, d); });
        m_device = new CRecordingDevice();
        m_game = new CGame(nullptr, m_device);
    }
    void TearDown() override {
        g_failAllocationsAbove = 0;
        m_game->DeleteResources();
        m_game->DeleteResources();
        EXPECT_EQ(m_device->LiveTextures(), 0);
        delete m_game;
        m_device->Release();
        layer::SetBeepSink({});
    }

    void Start(const std::string& name, int count) {
        StartRequest request;
        request.kind = 1;
        request.path = (kPictures / name).string();
        request.pieceCount = count;
        m_game->SetStartRequest(request);
        m_game->CreateResources();
    }

    // Starts and expects the failure path: the error, its log entry, DevIL stopped, the beep.
    CError StartFailing(const std::string& name, int count) {
        const int logged = GetErrorLogSequence();
        try {
            Start(name, count);
        } catch (const CError& e) {
            EXPECT_EQ(GetErrorLogSequence(), logged + 1);
            EXPECT_STREQ(e.sourceFile, "game.cpp");
            EXPECT_EQ(m_beeps, (std::vector<std::pair<DWORD, DWORD>>{{1000, 500}}));
            EXPECT_TRUE(NoChildLeft()) << "the decoder still runs";
            return e;
        }
        ADD_FAILURE() << name << " started";
        return CError(ERR_NORMAL, "", "", 0, 0);
    }

    CRecordingTexture* Atlas() const { return static_cast<CRecordingTexture*>(m_game->GetTextures().puzzle); }
    CRecordingTexture* Thumbnail() const {
        return static_cast<CRecordingTexture*>(m_game->GetTextures().thumbnail);
    }

    std::vector<std::pair<DWORD, DWORD>> m_beeps;
    CRecordingDevice* m_device = nullptr;
    CGame* m_game = nullptr;
};

} // namespace

TEST_F(NewGameTest, BuildsTheWholeBoardFromAPicture) {
    Start("kot.png", 100);
    EXPECT_EQ(m_game->GetBoard().pieceCount, 108);
    EXPECT_EQ(m_game->GetBar().shownCount, 108);
    ASSERT_EQ(m_game->GetBoard().pieces.size(), 108u);
    for (size_t i = 0; i < m_game->GetBoard().pieces.size(); ++i)
        EXPECT_EQ(m_game->GetBoard().pieces[i].number, i);
    const Board& board = m_game->GetBoard();
    EXPECT_EQ((std::vector<int>{board.areaWidth, board.areaHeight, board.thumbWidth, board.thumbHeight}),
              (std::vector<int>{792, 594, 512, 384}));
    EXPECT_TRUE(m_beeps.empty());
    EXPECT_TRUE(NoChildLeft());

    ASSERT_NE(Atlas(), nullptr);
    EXPECT_EQ((std::vector<UINT>{Atlas()->Width(), Atlas()->Height(), UINT(Atlas()->Pool()),
                                 UINT(Atlas()->Format())}),
              (std::vector<UINT>{973, 726, D3DPOOL_MANAGED, D3DFMT_A8R8G8B8}))
        << "the part of the 1024 x 1024 atlas that the pieces need";
    EXPECT_FALSE(Atlas()->IsLocked());
    EXPECT_EQ(Atlas()->Texel(33, 33), 0xFFFF0000u);                             // inside piece 0, red
    EXPECT_EQ(Atlas()->Texel(972, 725), 0u);                                    // beyond every piece
    EXPECT_EQ(Atlas()->Texel(8 * 66 + 33 + 8 * 16, 550 + 8 * 16), 0xFF0000FFu); // bottom row, blue

    ASSERT_NE(Thumbnail(), nullptr);
    EXPECT_EQ(Thumbnail()->Width(), 512u);
    EXPECT_EQ(Thumbnail()->Pool(), D3DPOOL_MANAGED);
    EXPECT_EQ(Thumbnail()->Texel(256, 63), 0xFFFFFFFFu);
    EXPECT_TRUE(Reddish(Thumbnail()->Texel(256, 70)));
    EXPECT_TRUE(Bluish(Thumbnail()->Texel(256, 440)));
    EXPECT_EQ(Thumbnail()->Texel(256, 448), 0xFFFFFFFFu);
    EXPECT_EQ(m_device->CallsOf(CallKind::CreateTexture).size(), 2u);
}

TEST_F(NewGameTest, EveryPictureTypeArrivesTheRightWayUp) {
    for (const char* name :
         {"orient.jpg",          "orient.png",        "orient.tga",       "orient.tif",
          "orient.tiff",         "orient.pcx",        "orient.pnm",       "orient.sgi",
          "orient.psd",          "orient.dds",        "orient.ico",       "PHOTO.Bmp",
          "orient_bottomup.bmp", "orient_toptga.tga", "orient_jpeg.tif",  "orient_rle.sgi",
          "orient_topdown.bmp",  "orient_16bit.tif",  "orient_16bit.psd", "orient_bottomup.dib",
          "orient_bottomup",     "orient.rgb"}) {
        SCOPED_TRACE(name);
        TearDown();
        SetUp();
        Start(name, 4);
        ASSERT_EQ(m_game->GetBoard().pieceCount, 1);
        // One 64 x 64 piece: in the atlas at its picture position, in the thumbnail at (224, 224).
        EXPECT_TRUE(Reddish(Atlas()->Texel(32, 10))) << std::hex << Atlas()->Texel(32, 10);
        EXPECT_TRUE(Bluish(Atlas()->Texel(32, 54))) << std::hex << Atlas()->Texel(32, 54);
        EXPECT_TRUE(Reddish(Thumbnail()->Texel(256, 226)));
        EXPECT_TRUE(Bluish(Thumbnail()->Texel(256, 286)));
        EXPECT_EQ(Thumbnail()->Texel(256, 223), 0xFFFFFFFFu);
    }
}

TEST_F(NewGameTest, CmykJpegShowsThePrintedColours) {
    // Black, grey, yellow and dark green bands, stored as CMYK; ImageMagick's reading of the same
    // file is the reference.
    const fs::path jpeg = kPictures / "cmyk.jpg";
    const fs::path reference = kPictures / "cmyk.rgb";
    const std::string make = "convert -size 64x16 xc:black xc:gray40 xc:yellow 'xc:rgb(20,100,40)' -append "
                             "-colorspace CMYK -quality 100 -sampling-factor 1x1 '" +
                             jpeg.string() + "' && convert '" + jpeg.string() +
                             "' -colorspace sRGB -depth 8 'rgb:" + reference.string() + "'";
    ASSERT_EQ(std::system(make.c_str()), 0);
    std::ifstream in(reference, std::ios::binary);
    const std::vector<uint8_t> expected((std::istreambuf_iterator<char>(in)),
                                        std::istreambuf_iterator<char>());
    ASSERT_EQ(expected.size(), 64u * 64 * 3);

    Start("cmyk.jpg", 4);
    for (int y : {8, 24, 40, 56}) { // band middles, beyond the relief at the piece's outline
        const DWORD texel = Atlas()->Texel(32, y);
        const uint8_t* want = &expected[(y * 64 + 32) * 3];
        SCOPED_TRACE(y);
        EXPECT_NEAR(static_cast<int>(texel >> 16 & 0xFF), want[0], 1);
        EXPECT_NEAR(static_cast<int>(texel >> 8 & 0xFF), want[1], 1);
        EXPECT_NEAR(static_cast<int>(texel & 0xFF), want[2], 1);
    }
}

TEST_F(NewGameTest, PictureTooSmallOrTooNarrowIsRefused) {
    for (const char* name : {"small.png", "tall.png"}) {
        SCOPED_TRACE(name);
        TearDown();
        SetUp();
        const CError e = StartFailing(name, 4);
        EXPECT_EQ(e.kind, ERR_NORMAL);
        EXPECT_STREQ(e.message, "Obrazek jest za mały");
        EXPECT_EQ(e.line, 518);
        // The narrow one is refused only at the grid step, after its thumbnail was made.
        EXPECT_EQ(m_device->LiveTextures(), name == std::string("small.png") ? 0 : 1);
    }
}

TEST_F(NewGameTest, MissingOrUnreadableFileNamesThePath) {
    // DevIL reads 16-bit PNM and SGI files into buffers too small for their description; a FIFO
    // would block the open for ever, a folder is no picture; the PIC reader overflows its buffer.
    // The log shows the path in Windows-1250.
    const std::pair<const char*, const char*> cases[] = {
        {"no such picture.jpg", "no such picture.jpg"},
        {"brak \xC5\x82\xC3\xB3\x64\xC5\xBA.jpg", "brak \xB3\xF3\x64\x9F.jpg"},
        {"broken.png", "broken.png"},
        {"wide16.pnm", "wide16.pnm"},
        {"wide16.sgi", "wide16.sgi"},
        {"fifo.png", "fifo.png"},
        {"folder.png", "folder.png"},
        {"valid.pic", "valid.pic"}};
    for (const auto& [name, logged] : cases) {
        SCOPED_TRACE(name);
        TearDown();
        SetUp();
        const CError e = StartFailing(name, 100);
        EXPECT_EQ(e.message, "Nie można wczytać obrazka z pliku " + (kPictures / logged).string());
        EXPECT_EQ(e.line, 493);
        EXPECT_EQ(m_device->LiveTextures(), 0);
    }
}

TEST_F(NewGameTest, RefusedTexturesEndTheStart) {
    // The 1500 x 1100 picture needs a 2048 atlas: refused as soon as its size is known, before
    // any texture, map or pixel copy is made.
    m_device->knobs.maxTextureSize = 1024;
    CError e = StartFailing("big.png", 100);
    EXPECT_EQ(e.kind, ERR_DIRECTX);
    EXPECT_STREQ(e.message, "Nie można utworzyć tekstury puzzli");
    EXPECT_EQ(e.line, 764);
    EXPECT_EQ(e.resultCode, D3DERR_INVALIDCALL);
    EXPECT_EQ(m_device->CallsOf(CallKind::CreateTexture).size(), 0u);
    EXPECT_TRUE(m_game->GetBoard().ownerMap.empty());

    // Within the largest texture, but its atlas (4937 x 1812 for 100 pieces) is not: refused
    // from its size alone, before the pixels are read (the file ends halfway through them).
    TearDown();
    SetUp();
    m_device->knobs.maxTextureSize = 4096;
    e = StartFailing("atlas_cut.png", 100);
    EXPECT_STREQ(e.message, "Nie można utworzyć tekstury puzzli");
    EXPECT_EQ(e.line, 764);
    EXPECT_EQ(m_device->CallsOf(CallKind::CreateTexture).size(), 0u);

    TearDown();
    SetUp();
    m_device->knobs.failCreateTexture = true;
    e = StartFailing("kot.png", 100);
    EXPECT_STREQ(e.message, "Nie można utworzyć tekstury miniaturki");
    EXPECT_EQ(e.line, 1547);

    TearDown();
    SetUp();
    m_device->knobs.failLockRect = true;
    e = StartFailing("kot.png", 100);
    EXPECT_STREQ(e.message, "Nie można zapisywać do tekstury miniaturki");
    EXPECT_EQ(e.line, 1552);
    EXPECT_EQ(e.resultCode, D3DERR_INVALIDCALL);

    TearDown();
    SetUp();
    m_device->knobs.failCreateTextureCall = 2;
    e = StartFailing("kot.png", 100);
    EXPECT_EQ(e.line, 764);
}

TEST_F(NewGameTest, ExhaustedMemoryEndsTheStartWithALogEntry) {
    g_failAllocationsAbove = 1u << 20; // the atlas's 4 MB band is the first to fail
    const CError e = StartFailing("kot.png", 100);
    g_failAllocationsAbove = 0;
    EXPECT_EQ(e.kind, ERR_NORMAL);
    EXPECT_STREQ(e.message, "Za mało pamięci, by przygotować układankę");
}
