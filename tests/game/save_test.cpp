// Saving and continuing a game on the recording device: names, round trip, failures.
#include "framework/Error.h"
#include "framework/Gfx.h"
#include "game/Game.h"
#include "game/logic/GzipReader.h"
#include "game/logic/SaveFile.h"
#include "platform/linux/Hooks.h"
#include "platform/test/RecordingDevice.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sys/stat.h>
#include <thread>
#include <tuple>
#include <unistd.h>

namespace {

std::vector<uint8_t> FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

bool Exists(const std::string& path) {
    return std::ifstream(path).good();
}

IDirect3DTexture9* PatternTexture(int width, int height, uint32_t seed) {
    IDirect3DTexture9* t = nullptr;
    EXPECT_EQ(g_pDevice->CreateTexture(width, height, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &t, nullptr),
              D3D_OK);
    D3DLOCKED_RECT r;
    EXPECT_EQ(t->LockRect(0, &r, nullptr, 0), D3D_OK);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            static_cast<uint32_t*>(r.pBits)[y * (r.Pitch / 4) + x] =
                seed * 2654435761u ^ (y * 7919u + x * 31u);
    t->UnlockRect(0);
    return t;
}

// A 3 x 2 game of 48-pixel cells (144 x 96, atlas 256, its texture the 168 x 108 the pieces
// need), built field by field.
void BuildBoard(CGame& g) {
    Board& b = g.GetBoard();
    b.areaWidth = 144;
    b.areaHeight = 96;
    b.columns = 3;
    b.rows = 2;
    b.pieceCount = 6;
    b.cellWidth = b.cellHeight = 48;
    b.atlasNeedWidth = 144 + 2 * 48 / 4;
    b.atlasNeedHeight = 96 + 48 / 4;
    b.atlasSize = 256;
    b.colStart = {0, 45, 95};
    b.rowStart = {0, 50};
    b.tabMap = {1, 0, 0, 1, 9, 1, 0, 4, 1, 7, 5, 3};
    b.ownerMap.resize(144 * 96);
    for (int y = 0; y < 96; ++y)
        for (int x = 0; x < 144; ++x)
            b.ownerMap[y * 144 + x] = static_cast<uint16_t>((y >= 50) * 3 + (x >= 45) + (x >= 95));
    b.thumbWidth = 512;
    b.thumbHeight = 341;
    g.GetTextures().thumbnail = PatternTexture(512, 512, 1);
    g.GetTextures().puzzle = PatternTexture(168, 108, 2);
    b.playTime = 3723500;
    b.boardWidth = 1.5f * 144 + 12;
    b.boardHeight = 1.5f * 96 + 12;
    b.pieces = {{30, 40, 4, 1, 0},   {200.5f, 10, 0, 0, 0}, {7, 99, 5, 1, 0},
                {120, 120, 1, 0, 0}, {60, 5, 3, 0, 0},      {90.25f, 70, 2, 1, 0}};
}

class SaveGameTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char cwd[PATH_MAX];
        ASSERT_TRUE(getcwd(cwd, sizeof cwd));
        m_oldDir = cwd;
        std::string pattern = ::testing::TempDir() + "save_test_XXXXXX";
        ASSERT_TRUE(mkdtemp(pattern.data()));
        ASSERT_EQ(chdir(pattern.c_str()), 0);
        m_dir = pattern;
        m_device = new CRecordingDevice();
        g_pDevice = m_device;
        layer::SetBeepSink([this](DWORD f, DWORD d) { m_beeps.emplace_back(f, d); });
    }
    void TearDown() override {
        layer::SetBeepSink({});
        g_pDevice = nullptr;
        EXPECT_EQ(m_device->LiveTextures(), 0);
        m_device->Release();
        ASSERT_EQ(chdir(m_oldDir.c_str()), 0);
        std::filesystem::remove_all(m_dir);
    }

    std::unique_ptr<CGame> NewGame(int mode, const std::string& path) {
        auto g = std::make_unique<CGame>(nullptr, m_device);
        g->SetStartRequest(StartRequest{mode, path, 0});
        return g;
    }

    // Loads path into a fresh game; the CError is returned through `error` when it fails.
    std::unique_ptr<CGame> Load(const std::string& path, CError* error = nullptr) {
        auto g = NewGame(2, path);
        try {
            g->CreateResources();
            EXPECT_EQ(error, nullptr) << "the load was expected to fail";
        } catch (const CError& e) {
            if (error)
                *error = e;
            else
                ADD_FAILURE() << "load failed: " << e.message << " line " << e.line;
        }
        return g;
    }

    CRecordingDevice* m_device = nullptr;
    std::vector<std::pair<DWORD, DWORD>> m_beeps;
    std::string m_oldDir;
    std::string m_dir;
};

TEST_F(SaveGameTest, NamesComeFromThePictureOrTheLoadedFile) {
    // A long picture name is cut, whole UTF-8 characters only, to leave the count and ".pzz" and
    // at most 252 bytes, so "--open:" and the name still make one 259-character argument.
    const std::string polish = "\xC5\x82"; // one two-byte character
    std::string longPolish = "a";
    for (int i = 0; i < 300; ++i)
        longPolish += polish;
    std::string cutPolish = "a";
    for (int i = 0; i < 121; ++i)
        cutPolish += polish;
    const struct {
        std::string picture;
        int pieces;
        std::string name;
    } cases[] = {
        {"C:\\Obrazki\\kot.jpg", 96, "kot.jpg (96).pzz"},
        {"/home/gracz/obrazki/a.b.jpg", 12, "a.b.jpg (12).pzz"},
        {"bez rozszerzenia", 12, "bez rozszerzenia (12).pzz"},
        {std::string(400, 'x') + ".jpg", 10000, std::string(240, 'x') + " (10000).pzz"},
        {"/obrazki/" + longPolish + ".png", 4, cutPolish + " (4).pzz"},
    };
    for (const auto& c : cases) {
        auto g = NewGame(1, c.picture);
        g->GetBoard().pieceCount = c.pieces;
        EXPECT_EQ(g->MakeSaveName(), c.name);
    }
    auto g = NewGame(2, "zapisy/../kot.jpg (96).pzz");
    EXPECT_EQ(g->MakeSaveName(), "zapisy/../kot.jpg (96).pzz");

    // The longest name saves (its temporary file's name is short) and opens again.
    g = NewGame(1, std::string(400, 'x') + ".jpg");
    BuildBoard(*g);
    EXPECT_TRUE(g->SaveGame());
    auto l = Load(std::string(244, 'x') + " (6).pzz");
    EXPECT_EQ(l->GetBoard().pieces.size(), 6u);
}

TEST_F(SaveGameTest, SavedGameLoadsAsTheSameBoard) {
    auto g = NewGame(1, "obrazki/wakacje/a.b.jpg");
    BuildBoard(*g);
    g->GetView().scrollX = 33;
    // The save button's click saves, and the notice replaces the panel shown.
    g->GetPanel() = std::make_unique<MessagePanel>(PANEL_QUESTION, "Czy na pewno chcesz wyjść?");
    g->GetBar().buttons[3].clicked = true;
    g->Update(0, 0);
    ASSERT_TRUE(g->GetPanel());
    EXPECT_EQ(g->GetPanel()->kind, PANEL_NOTICE);
    EXPECT_EQ(g->GetPanel()->text, "Gra została zapisana");
    ASSERT_TRUE(Exists("a.b.jpg (6).pzz"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("."), {}), 1) << "only the saved game";

    auto l = Load("a.b.jpg (6).pzz");
    EXPECT_TRUE(m_beeps.empty());
    uint8_t loaded[kSaveHeaderBytes], saved[kSaveHeaderBytes];
    EncodeSaveHeader(l->GetBoard(), loaded);
    EncodeSaveHeader(g->GetBoard(), saved);
    EXPECT_EQ(0, std::memcmp(loaded, saved, kSaveHeaderBytes)) << "every fixed field";
    const Board &a = l->GetBoard(), &b = g->GetBoard();
    EXPECT_TRUE(std::tie(a.thumbWidth, a.thumbHeight, a.colStart, a.rowStart, a.tabMap, a.ownerMap) ==
                std::tie(b.thumbWidth, b.thumbHeight, b.colStart, b.rowStart, b.tabMap, b.ownerMap));
    auto* thumb = static_cast<CRecordingTexture*>(l->GetTextures().thumbnail);
    auto* atlas = static_cast<CRecordingTexture*>(l->GetTextures().puzzle);
    ASSERT_TRUE(thumb && atlas);
    EXPECT_TRUE(thumb->Pool() == D3DPOOL_MANAGED && atlas->Pool() == D3DPOOL_MANAGED);
    EXPECT_TRUE(atlas->GetLevelCount() == 1u && atlas->Width() == 168u && atlas->Height() == 108u);
    EXPECT_FALSE(atlas->IsLocked());
    EXPECT_EQ(thumb->Bits(), static_cast<CRecordingTexture*>(g->GetTextures().thumbnail)->Bits());
    EXPECT_EQ(atlas->Bits(), static_cast<CRecordingTexture*>(g->GetTextures().puzzle)->Bits());
    ASSERT_EQ(l->GetBoard().pieces.size(), 6u);
    EXPECT_EQ(0,
              std::memcmp(l->GetBoard().pieces.data(), g->GetBoard().pieces.data(), 6 * sizeof(BoardPiece)));
    EXPECT_FALSE(l->IsSolved());
    EXPECT_TRUE(l->GetView().scrollX == 0 && l->GetView().scrollY == 0);
    EXPECT_EQ(l->GetPanel(), nullptr);
}

// A new game's unchanging part is compressed in the background into a hidden file, which the
// first save lends from; the file is the same as one written whole, and nothing is left behind.
TEST_F(SaveGameTest, TheFirstSaveLendsWhatTheBackgroundCompressed) {
    auto Hidden = [] {
        std::set<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator("."))
            if (e.path().extension() == ".tmp")
                names.insert(e.path().filename().string());
        return names;
    };
    auto Build = [this](const char* picture) {
        auto g = NewGame(1, picture);
        BuildBoard(*g);
        Board& b = g->GetBoard();
        b.atlasSize = 1024; // 4 MiB of atlas: a range to lend
        g->GetTextures().puzzle->Release();
        g->GetTextures().puzzle = PatternTexture(1024, 1024, 3);
        return g;
    };
    auto whole = Build("whole.jpg");
    ASSERT_TRUE(whole->SaveGame());
    for (bool waitForIt : {true, false}) {
        SCOPED_TRACE(waitForIt ? "saved after the background work" : "saved during it");
        auto g = Build("kot.jpg");
        g->Update(0, 0);
        EXPECT_TRUE(Hidden().empty()) << "nothing before the board is shown";
        g->Update(0, 0);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (waitForIt && !g->SaveAheadDone() && std::chrono::steady_clock::now() < deadline) {
            g->Update(0, 0);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ASSERT_EQ(g->SaveAheadDone(), waitForIt) << "the background work did not end within 60 s";
        if (waitForIt) {
            EXPECT_EQ(Hidden().size(), 1u) << "one hidden file, not listed as a saved game";
        }
        ASSERT_TRUE(g->SaveGame());
        EXPECT_EQ(FileBytes("kot.jpg (6).pzz"), FileBytes("whole.jpg (6).pzz"));
        EXPECT_TRUE(Hidden().empty());
        std::filesystem::remove("kot.jpg (6).pzz");
    }
    // The game ends before saving: its hidden file goes with it.
    auto g = Build("kot.jpg");
    g->Update(0, 0);
    g->Update(0, 0);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (Hidden().empty() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(Hidden().size(), 1u) << "no hidden file made within 60 s";
    g->DeleteResources();
    EXPECT_TRUE(Hidden().empty());
}

TEST_F(SaveGameTest, FailedSavesKeepWhatIsThere) {
    auto g = NewGame(1, "kot.jpg");
    BuildBoard(*g);
    g->SaveGame();
    const std::vector<uint8_t> before = FileBytes("kot.jpg (6).pzz");
    ASSERT_FALSE(before.empty());
    ASSERT_TRUE(std::filesystem::copy_file("kot.jpg (6).pzz", "tylko do odczytu.pzz"));
    ASSERT_EQ(chmod("tylko do odczytu.pzz", 0444), 0);
    ASSERT_EQ(mkdir("folder.pzz", 0755), 0);
    ASSERT_EQ(mkfifo("potok.pzz", 0644), 0);
    g->GetBoard().pieces[2].x = 1;

    // A read-only file, a folder or a pipe under the name cannot be created, as a missing folder.
    const char* const kCannotCreate = "Nie można otworzyć pliku aby zapisać grę";
    const struct {
        const char* target;
        bool failLock;
        const char* message;
        int line;
    } cases[] = {
        {"kot.jpg (6).pzz", true, "Nie można odczytać do tekstury miniaturki", 1827},
        {"brak/folderu.pzz", false, kCannotCreate, 1756},
        {"tylko do odczytu.pzz", false, kCannotCreate, 1756},
        {"folder.pzz", false, kCannotCreate, 1756},
        {"potok.pzz", false, kCannotCreate, 1756},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.target);
        g->SetStartRequest(StartRequest{2, c.target, 0});
        m_device->knobs.failLockRect = c.failLock;
        const int entries = GetErrorLogSequence();
        EXPECT_FALSE(g->SaveGame());
        EXPECT_EQ(GetErrorLogSequence(), entries + 1);
        const std::vector<uint8_t> bytes = FileBytes("Errors.log");
        const std::string log(bytes.begin(), bytes.end());
        const std::string entry = log.substr(log.rfind("Źródło"));
        EXPECT_NE(entry.find("  Wiersz     : " + std::to_string(c.line) + "\r\n"), std::string::npos);
        EXPECT_NE(entry.find("  Komunikat  : " + std::string(c.message) + "\r\n"), std::string::npos);
    }
    m_device->knobs.failLockRect = false;
    g->ShowSaveNotice(false);
    EXPECT_EQ(g->GetPanel()->text, "Błąd podczas zapisywania gry");

    EXPECT_EQ(FileBytes("kot.jpg (6).pzz"), before);
    EXPECT_EQ(FileBytes("tylko do odczytu.pzz"), before);
    EXPECT_EQ(std::filesystem::status("tylko do odczytu.pzz").permissions(), std::filesystem::perms(0444));
    EXPECT_TRUE(std::filesystem::is_directory("folder.pzz"));
    EXPECT_TRUE(std::filesystem::is_fifo("potok.pzz"));
    std::set<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator("."))
        names.insert(e.path().filename().string());
    EXPECT_EQ(names, (std::set<std::string>{"Errors.log", "kot.jpg (6).pzz", "tylko do odczytu.pzz",
                                            "folder.pzz", "potok.pzz"}))
        << "no temporary file is left behind";
}

TEST_F(SaveGameTest, LoadFailuresBeepAndLeaveAsCErrors) {
    // Only a file of data is opened: a pipe, even behind a link, would block the open.
    ASSERT_EQ(mkdir("folder.pzz", 0755), 0);
    ASSERT_EQ(mkfifo("potok.pzz", 0644), 0);
    ASSERT_EQ(symlink("potok.pzz", "do potoku.pzz"), 0);
    // Should the game open the pipe anyway, this writer lets it through to a failure.
    std::atomic<bool> stop{false}, stopped{false};
    std::thread writer([&] {
        while (!stop)
            close(open("potok.pzz", O_WRONLY));
        stopped = true;
    });
    for (const char* name : {"nie ma takiego.pzz", "folder.pzz", "potok.pzz", "do potoku.pzz"}) {
        SCOPED_TRACE(name);
        m_beeps.clear();
        CError refused(ERR_NORMAL, "", "", 0, 0);
        Load(name, &refused);
        EXPECT_EQ(refused.kind, ERR_NORMAL);
        EXPECT_STREQ(refused.message, "Nie można otworzyć pliku z zapisaną grą");
        EXPECT_STREQ(refused.sourceFile, "game.cpp");
        EXPECT_EQ(refused.line, 1878);
        ASSERT_EQ(m_beeps.size(), 1u);
        EXPECT_EQ(m_beeps[0], std::make_pair(DWORD{2000}, DWORD{100}));
    }
    // A file swapped for a pipe after that check is refused once opened, without waiting.
    EXPECT_EQ(CGzipFileSource::Open("potok.pzz"), nullptr);
    stop = true;
    while (!stopped) {
        close(open("potok.pzz", O_RDONLY | O_NONBLOCK));
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    writer.join();
    m_beeps.clear();

    auto g = NewGame(1, "kot.jpg");
    BuildBoard(*g);
    g->SaveGame();
    std::vector<uint8_t> good = FileBytes("kot.jpg (6).pzz");
    {
        std::ofstream cut("cut.pzz", std::ios::binary);
        cut.write(reinterpret_cast<const char*>(good.data()), static_cast<std::streamsize>(good.size() - 20));
    }
    CError damaged(ERR_NORMAL, "", "", 0, 0);
    auto l = Load("cut.pzz", &damaged);
    EXPECT_EQ(damaged.kind, ERR_NORMAL);
    EXPECT_EQ(damaged.line, LINE_LOAD_STREAM);
    EXPECT_STREQ(damaged.sourceFile, "game.cpp");
    EXPECT_EQ(m_beeps.size(), 1u);
    EXPECT_TRUE(l->GetBoard().pieces.empty()) << "no piece of a refused file joins the board";
    EXPECT_FALSE(static_cast<CRecordingTexture*>(l->GetTextures().puzzle)->IsLocked());

    // The second texture of the next load, the atlas, cannot be made.
    m_device->knobs.failCreateTextureCall =
        static_cast<int>(m_device->CallsOf(CallKind::CreateTexture).size()) + 2;
    CError noAtlas(ERR_NORMAL, "", "", 0, 0);
    auto m = Load("kot.jpg (6).pzz", &noAtlas);
    EXPECT_EQ(noAtlas.kind, ERR_DIRECTX);
    EXPECT_STREQ(noAtlas.message, "Nie można utworzyć tekstury puzzli");
    EXPECT_EQ(noAtlas.line, 1979);
    EXPECT_EQ(m_beeps.size(), 2u);
}

} // namespace
