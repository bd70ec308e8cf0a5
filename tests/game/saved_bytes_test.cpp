// Saved games byte for byte: a new game cut from a fixed seed, and the same game continued after
// one piece was dragged, saved through the game's own path and compared with files kept as test
// data (whole gzip files, not only their content).
#include "framework/Error.h"
#include "framework/Gfx.h"
#include "game/Game.h"
#include "platform/CRT.h"
#include "platform/linux/Hooks.h"
#include "platform/test/RecordingDevice.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const fs::path kData = fs::path(PUZZLE_TEST_DATA) / "saved_game";
const char* const kSaveName = "picture.png (6).pzz";

std::vector<uint8_t> FileBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

class SavedBytesTest : public testing::Test {
  protected:
    void SetUp() override {
        layer::SetHelperFolder(PUZZLE_BIN_DIR);
        m_oldDir = fs::current_path();
        std::string pattern = testing::TempDir() + "saved_bytes_XXXXXX";
        ASSERT_TRUE(mkdtemp(pattern.data()));
        m_dir = pattern;
        fs::current_path(m_dir);
        m_device = new CRecordingDevice();
        g_pDevice = m_device;
    }
    void TearDown() override {
        g_pDevice = nullptr;
        EXPECT_EQ(m_device->Release(), 0u);
        fs::current_path(m_oldDir);
        fs::remove_all(m_dir);
    }

    // The file the game saved equals the reference; a differing file is kept for inspection.
    void ExpectSavedAs(const char* reference) {
        const std::vector<uint8_t> saved = FileBytes(kSaveName);
        ASSERT_FALSE(saved.empty());
        if (saved != FileBytes(kData / reference)) {
            const fs::path kept = fs::path(testing::TempDir()) / (std::string(reference) + ".actual");
            fs::copy_file(kSaveName, kept, fs::copy_options::overwrite_existing);
            ADD_FAILURE() << reference << " differs; the game's file is kept as " << kept;
        }
    }

    CRecordingDevice* m_device = nullptr;
    fs::path m_oldDir, m_dir;
};

TEST_F(SavedBytesTest, NewGameAndContinuedGameSaveTheReferenceBytes) {
    {
        srand(20261209);
        CGame game(nullptr, m_device);
        game.SetStartRequest(StartRequest{1, (kData / "picture.png").string(), 6});
        game.CreateResources();
        game.SaveGame();
        game.DeleteResources();
        ExpectSavedAs("new.pzz");
    }
    {
        fs::copy_file(kData / "new.pzz", kSaveName, fs::copy_options::overwrite_existing);
        CGame game(nullptr, m_device);
        game.SetStartRequest(StartRequest{2, kSaveName, 0});
        game.CreateResources();
        // The top piece is dragged by the middle of its home cell, 37 right and 21 down.
        const BoardPiece top = game.GetBoard().pieces.back();
        const uint32_t x = static_cast<uint32_t>(top.x) + game.GetBoard().cellWidth / 2;
        const uint32_t y = static_cast<uint32_t>(top.y) + game.GetBoard().cellHeight / 2;
        game.OnMouseDown(x, y, 0);
        game.SetCursor(static_cast<int>(x) + 37, static_cast<int>(y) + 21);
        game.Update(5000, 16);
        game.OnMouseUp(x + 37, y + 21, 0);
        ASSERT_EQ(game.GetBoard().pieces.back().x, top.x + 37);
        game.SaveGame();
        game.DeleteResources();
        ExpectSavedAs("continued.pzz");
    }
}

} // namespace
