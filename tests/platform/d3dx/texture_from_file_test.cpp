// Textures from image files, checked texel by texel on the recording device: the sizes, the
// alpha channel, the stretch to powers of two, the orientation of every stored row order, the
// failures, and that DevIL is left as the game's own picture loading expects it.
#include "platform/D3DX9.h"
#include "platform/test/RecordingDevice.h"

#include <IL/il.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr DWORD kRed = 0xFFFF0000, kBlue = 0xFF0000FF, kGreen = 0xFF00FF00;

// A picture as 0xAARRGGBB texels, row 0 at the top.
struct Picture {
    int width, height;
    std::vector<DWORD> texels;
    DWORD At(int x, int y) const { return texels[static_cast<size_t>(y) * width + x]; }
};

// Red top quarter, blue bottom quarter, green between (wide bands survive JPEG); the top-left
// texel's alpha is `corner`.
Picture Stripes(int width, int height, BYTE corner = 0xFF) {
    Picture p{width, height, std::vector<DWORD>(static_cast<size_t>(width) * height, kGreen)};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (y < height / 4 || y >= height - height / 4)
                p.texels[static_cast<size_t>(y) * width + x] = y < height / 4 ? kRed : kBlue;
    p.texels[0] = (p.texels[0] & 0x00FFFFFF) | DWORD(corner) << 24;
    return p;
}

void Put16(std::ofstream& f, unsigned v) {
    f.put(char(v & 0xFF)).put(char(v >> 8));
}
void Put32(std::ofstream& f, unsigned v) {
    Put16(f, v & 0xFFFF), Put16(f, v >> 16);
}

void WriteTga(const fs::path& path, const Picture& p, bool topDown) {
    std::ofstream f(path, std::ios::binary);
    const char header[12] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    f.write(header, sizeof header);
    Put16(f, p.width), Put16(f, p.height);
    f.put(32).put(char(8 | (topDown ? 0x20 : 0)));
    for (int row = 0; row < p.height; ++row) {
        int y = topDown ? row : p.height - 1 - row;
        for (int x = 0; x < p.width; ++x)
            Put32(f, p.At(x, y)); // B, G, R, A in memory
    }
}

void WriteBmp(const fs::path& path, const Picture& p) {
    std::ofstream f(path, std::ios::binary);
    unsigned rowBytes = (unsigned(p.width) * 3 + 3) & ~3u;
    f.write("BM", 2);
    Put32(f, 54 + rowBytes * p.height), Put32(f, 0), Put32(f, 54);
    Put32(f, 40), Put32(f, p.width), Put32(f, p.height), Put16(f, 1), Put16(f, 24);
    for (int i = 0; i < 6; ++i)
        Put32(f, 0);
    for (int y = p.height - 1; y >= 0; --y) { // bottom-up, as BMP stores rows
        for (int x = 0; x < p.width; ++x) {
            DWORD c = p.At(x, y);
            f.put(char(c & 0xFF)).put(char((c >> 8) & 0xFF)).put(char((c >> 16) & 0xFF));
        }
        for (unsigned pad = unsigned(p.width) * 3; pad < rowBytes; ++pad)
            f.put(0);
    }
}

// PNG and JPEG through DevIL's own writers, from an image whose origin is set to the top.
void WriteWithDevil(const fs::path& path, const Picture& p, ILenum type) {
    std::vector<BYTE> rgba;
    for (DWORD c : p.texels)
        rgba.insert(rgba.end(), {BYTE(c >> 16), BYTE(c >> 8), BYTE(c), BYTE(c >> 24)});
    ilInit();
    ILuint image = 0;
    ilGenImages(1, &image);
    ilBindImage(image);
    ASSERT_TRUE(ilTexImage(p.width, p.height, 1, 4, IL_RGBA, IL_UNSIGNED_BYTE, rgba.data()));
    ilRegisterOrigin(IL_ORIGIN_UPPER_LEFT);
    if (type == IL_JPG)
        ilConvertImage(IL_RGB, IL_UNSIGNED_BYTE);
    ASSERT_TRUE(ilSave(type, path.c_str()));
    ilDeleteImages(1, &image);
    ilShutDown();
}

class TextureFromFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("d3dx_texture_" + std::to_string(::getpid()) + "_" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override {
        EXPECT_EQ(device->Release(), 0u);
        fs::remove_all(dir);
    }

    CRecordingTexture* Load(const fs::path& path, HRESULT expected = D3D_OK) {
        IDirect3DTexture9* texture = reinterpret_cast<IDirect3DTexture9*>(1);
        EXPECT_EQ(D3DXCreateTextureFromFileA(device, path.c_str(), &texture), expected) << path;
        EXPECT_TRUE(SUCCEEDED(expected) || texture == nullptr) << "a failure leaves no texture";
        return static_cast<CRecordingTexture*>(texture);
    }

    fs::path dir;
    CRecordingDevice* device = new CRecordingDevice();
};

TEST_F(TextureFromFileTest, EveryStoredRowOrderArrivesUpright) {
    Picture p = Stripes(16, 32);
    WriteTga(dir / "bottomup.tga", p, false);
    WriteTga(dir / "topdown.tga", p, true);
    WriteBmp(dir / "picture.bmp", p);
    WriteWithDevil(dir / "picture.png", p, IL_PNG);
    WriteWithDevil(dir / "picture.jpg", p, IL_JPG);
    for (const char* name : {"bottomup.tga", "topdown.tga", "picture.bmp", "picture.png", "picture.jpg"}) {
        SCOPED_TRACE(name);
        CRecordingTexture* t = Load(dir / name);
        ASSERT_NE(t, nullptr);
        EXPECT_EQ((std::vector<UINT>{t->Width(), t->Height(), UINT(t->Format()), UINT(t->Pool())}),
                  (std::vector<UINT>{16, 32, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED}));
        // JPEG is lossy: compare the dominant channel only.
        DWORD top = t->Texel(8, 1), bottom = t->Texel(8, 30);
        EXPECT_GT((top >> 16) & 0xFF, 0xC0u) << std::hex << top;
        EXPECT_LT(top & 0xFF, 0x40u) << std::hex << top;
        EXPECT_GT(bottom & 0xFF, 0xC0u) << std::hex << bottom;
        EXPECT_LT((bottom >> 16) & 0xFF, 0x40u) << std::hex << bottom;
        EXPECT_EQ(t->Texel(8, 16) >> 24, 0xFFu); // opaque whatever the file
        t->Release();
    }
}

TEST_F(TextureFromFileTest, AlphaIsKeptAndBackslashesAreFolders) {
    fs::create_directories(dir / "Gfx");
    WriteWithDevil(dir / "Gfx" / "Cursor.png", Stripes(32, 32, 0x40), IL_PNG);
    WriteTga(dir / "Gfx" / "Cursor.tga", Stripes(32, 32, 0x00), false);
    std::string base = dir.string() + "\\Gfx\\Cursor";
    CRecordingTexture* png = Load(base + ".png");
    CRecordingTexture* tga = Load(base + ".tga");
    ASSERT_TRUE(png && tga);
    EXPECT_EQ(png->Texel(0, 0), 0x40FF0000u);
    EXPECT_EQ(tga->Texel(0, 0), 0x00FF0000u);
    EXPECT_EQ(tga->Texel(1, 0), kRed);
    png->Release();
    tga->Release();
}

TEST_F(TextureFromFileTest, SidesAreRoundedUpToPowersOfTwoAndTheImageStretched) {
    // 50 x 40, left half red and right half blue: stretched to 64 x 64, the edge moves to 32.
    Picture p{50, 40, std::vector<DWORD>(2000)};
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 50; ++x)
            p.texels[y * 50 + x] = x < 25 ? kRed : kBlue;
    WriteTga(dir / "odd.tga", p, true);
    CRecordingTexture* t = Load(dir / "odd.tga");
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(std::pair(t->Width(), t->Height()), std::pair(64u, 64u));
    EXPECT_EQ(t->Texel(0, 0), kRed);
    EXPECT_EQ(t->Texel(30, 63), kRed);
    EXPECT_EQ(t->Texel(34, 10), kBlue);
    EXPECT_EQ(t->Texel(63, 63), kBlue);
    DWORD edge = t->Texel(32, 20); // a linear filter blends across the edge
    EXPECT_GT(edge & 0xFF, 0u);
    EXPECT_GT((edge >> 16) & 0xFF, 0u);
    t->Release();
}

TEST_F(TextureFromFileTest, FailuresAreNegativeResults) {
    Load(dir / "missing.png", D3DXERR_INVALIDDATA);
    std::ofstream(dir / "garbage.png", std::ios::binary) << "this is not a picture at all, only some text";
    Load(dir / "garbage.png", D3DXERR_INVALIDDATA);
    std::ofstream(dir / "empty.jpg", std::ios::binary).close();
    Load(dir / "empty.jpg", D3DXERR_INVALIDDATA);

    WriteTga(dir / "ok.tga", Stripes(8, 8), false);
    device->knobs.failCreateTexture = true;
    device->knobs.createTextureError = D3DERR_OUTOFVIDEOMEMORY;
    Load(dir / "ok.tga", D3DERR_OUTOFVIDEOMEMORY);
    device->knobs.failCreateTexture = false;
    device->knobs.failLockRect = true;
    Load(dir / "ok.tga", D3DERR_INVALIDCALL);
    EXPECT_EQ(device->LiveTextures(), 0); // the texture that could not be filled is released
}

TEST_F(TextureFromFileTest, DevilIsLeftAsTheGameExpectsIt) {
    Picture p = Stripes(8, 4);
    WriteTga(dir / "bottomup.tga", p, false);

    // Inside the game's own DevIL session: its bound image, states and error queue survive.
    ilInit();
    ILuint game = 0;
    ilGenImages(1, &game);
    ilBindImage(game);
    ASSERT_TRUE(ilLoadImage((dir / "bottomup.tga").c_str()));
    CRecordingTexture* t = Load(dir / "missing.jpg", D3DXERR_INVALIDDATA);
    t = Load(dir / "bottomup.tga");
    ASSERT_NE(t, nullptr);
    t->Release();
    EXPECT_EQ(ilGetInteger(IL_CUR_IMAGE), ILint(game));
    EXPECT_EQ(ilGetInteger(IL_IMAGE_WIDTH), 8);
    EXPECT_FALSE(ilIsEnabled(IL_ORIGIN_SET));
    EXPECT_EQ(ilGetError(), ILenum(IL_NO_ERROR));
    ilDeleteImages(1, &game);
    ilShutDown();

    // Outside a session: a later session loads with DevIL's default origin handling.
    t = Load(dir / "bottomup.tga");
    t->Release();
    ilInit();
    ilGenImages(1, &game);
    ilBindImage(game);
    ASSERT_TRUE(ilLoadImage((dir / "bottomup.tga").c_str()));
    EXPECT_EQ(ilGetInteger(IL_IMAGE_ORIGIN), IL_ORIGIN_LOWER_LEFT);
    EXPECT_FALSE(ilIsEnabled(IL_ORIGIN_SET));
    ilDeleteImages(1, &game);
    ilShutDown();
}

} // namespace
