#include "game/logic/AtlasTexels.h"
#include "game/logic/AtlasTexture.h"
#include "game/logic/Cutting.h"
#include "tests/game/AtlasLiteral.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

RandomSource WindowsRandom(unsigned seed) {
    return [state = seed]() mutable {
        state = state * 214013u + 2531011u;
        return static_cast<int>((state >> 16) & 0x7fff);
    };
}

// A complete cut of a width x height picture whose pixels encode their position.
struct Cut {
    Board grid;
    std::vector<uint8_t> rgb;
    int pictureWidth = 0;

    Cut(int width, int height, int count, unsigned seed) : pictureWidth(width) {
        EXPECT_TRUE(ComputeGrid(width, height, count, grid));
        RandomSource random = WindowsRandom(seed);
        PlaceGridLines(grid, random);
        ChooseTabSides(grid, random);
        BuildOwnerMap(grid, random);
        rgb.resize(static_cast<size_t>(width) * height * 3);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
                p[0] = static_cast<uint8_t>(x * 7);
                p[1] = static_cast<uint8_t>(y * 5);
                p[2] = static_cast<uint8_t>(x + y);
            }
    }
    const Board& View() const { return grid; }
    RgbView Pixels() const { return RgbView{rgb.data(), pictureWidth}; }
};

// The composer's atlas, with the picture rows it no longer reads overwritten after every band, as
// the game drops them.
std::vector<uint32_t> ComposedAtlas(const Cut& cut, int threads, int bandRows) {
    const int side = cut.grid.atlasSize;
    std::vector<uint8_t> rgb = cut.rgb;
    CAtlasComposer composer(cut.View(), RgbView{rgb.data(), cut.pictureWidth}, side, bandRows, threads);
    std::vector<uint32_t> atlas(static_cast<size_t>(side) * side, 0xDEADBEEF);
    for (int b = 0; b < composer.Bands(); ++b) {
        composer.ComposeBand(b, &atlas[static_cast<size_t>(b) * bandRows * side], side);
        const size_t dropped = static_cast<size_t>(composer.FirstRowStillRead(b + 1)) * cut.pictureWidth * 3;
        std::fill(rgb.begin(), rgb.begin() + static_cast<std::ptrdiff_t>(dropped), uint8_t{0x55});
    }
    EXPECT_EQ(composer.FirstRowStillRead(composer.Bands()), cut.grid.areaHeight);
    return atlas;
}

} // namespace

TEST(ShadePixelTest, AddsFourPerCountAndClamps) {
    const uint8_t pixels[] = {100, 0, 255, 10, 20, 30};
    const RgbView rgb{pixels, 2};
    EXPECT_EQ(ShadePixel(rgb, 0, 0, 0), 0xFF6400FFu);
    EXPECT_EQ(ShadePixel(rgb, 0, 0, 21), 0xFFB854FFu); // +84: 255 stays 255
    EXPECT_EQ(ShadePixel(rgb, 0, 0, -3), 0xFF5800F3u); // -12: 0 stays 0
    EXPECT_EQ(ShadePixel(rgb, 1, 0, 33), 0xFF8E98A2u);
    EXPECT_EQ(ShadePixel(rgb, 1, 0, -15), 0xFF000000u);
}

TEST(AtlasTest, SinglePieceIsTheShadedPictureInTheCorner) {
    Board cut;
    ASSERT_TRUE(ComputeGrid(49, 49, 4, cut));
    ASSERT_EQ(cut.atlasSize, 64);
    cut.colStart = cut.rowStart = {0};
    cut.ownerMap.assign(49 * 49, 0);
    const std::vector<uint8_t> grey(49 * 49 * 3, 100);
    const RgbView rgb{grey.data(), 49};
    std::vector<uint32_t> literal(64 * 64, 1);
    ComposeAtlasLiteral(cut, rgb, 64, literal.data());
    std::vector<uint32_t> composed(64 * 64, 1);
    CAtlasComposer(cut, rgb, 64, 64, 2).ComposeBand(0, composed.data(), 64);
    EXPECT_EQ(composed, literal);

    auto at = [&](int x, int y) { return literal[y * 64 + x]; };
    auto grey_ = [](int v) { return 0xFF000000u | v << 16 | v << 8 | v; };
    for (int i = 3; i < 46; ++i) {
        SCOPED_TRACE(i);
        // The three outermost lines: +84, +56, +28 on the straight top and left outlines, -12,
        // -8, -4 on the bottom and right ones.
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(at(i, k), grey_(184 - 28 * k));
            EXPECT_EQ(at(k, i), grey_(184 - 28 * k));
            EXPECT_EQ(at(i, 48 - k), grey_(88 + 4 * k));
            EXPECT_EQ(at(48 - k, i), grey_(88 + 4 * k));
        }
        EXPECT_EQ(at(i, 24), grey_(100)); // more than three pixels from the outline
    }
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            ASSERT_EQ(at(x, y) >> 24, x >= 49 || y >= 49 ? 0u : 0xFFu) << x << ", " << y;
}

TEST(AtlasTest, PiecesMoveByAQuarterCellPerColumnAndRow) {
    const Cut cut(800, 600, 100, 11);
    ASSERT_EQ(cut.grid.atlasSize, 1024);
    const std::vector<uint32_t> atlas = ComposedAtlas(cut, 2, 1024);
    int interior = 0;
    // Every puzzle pixel has a texel of its own.
    EXPECT_EQ(atlas.size() - std::count(atlas.begin(), atlas.end(), 0u),
              static_cast<size_t>(cut.grid.areaWidth) * cut.grid.areaHeight);
    for (int y = 0; y < cut.grid.areaHeight; ++y) {
        for (int x = 0; x < cut.grid.areaWidth; ++x) {
            const size_t i = static_cast<size_t>(y) * cut.grid.areaWidth + x;
            if (cut.grid.ownerMap[i] != 13 || ReliefCount(cut.View(), x, y, 13) != 0) {
                continue;
            }
            ++interior;
            // Row 1, column 1 of 66-pixel cells: 16 texels right and 16 down.
            const uint8_t* p = &cut.rgb[(static_cast<size_t>(y) * 800 + x) * 3];
            ASSERT_EQ(atlas[static_cast<size_t>(y + 16) * 1024 + x + 16],
                      0xFF000000u | p[0] << 16 | p[1] << 8 | p[2]);
        }
    }
    EXPECT_GT(interior, 1000);
}

TEST(AtlasTest, FastReliefEqualsTheLiteralOneTexelForTexel) {
    struct Case {
        int width, height, count;
        unsigned seed;
        int threads, band;
    } cases[] = {
        {800, 600, 100, 1, 2, 1024}, {1600, 1200, 1000, 77, 2, 300}, {1000, 60, 12, 5, 3, 7},
        {60, 1000, 12, 9, 1, 64},    {1030, 777, 40, 123, 4, 100},   {49, 49, 4, 1, 2, 64},
    };
    for (const Case& t : cases) {
        SCOPED_TRACE(testing::Message() << t.width << " x " << t.height << ", " << t.count);
        const Cut cut(t.width, t.height, t.count, t.seed);
        const int side = cut.grid.atlasSize;
        std::vector<uint32_t> literal(static_cast<size_t>(side) * side);
        ComposeAtlasLiteral(cut.View(), cut.Pixels(), side, literal.data());
        const std::vector<uint32_t> fast = ComposedAtlas(cut, t.threads, t.band);
        EXPECT_TRUE(fast == literal);
    }
}

TEST(AtlasTextureTest, HoldsWhatThePiecesNeedWhenTheDeviceCanMakeIt) {
    Board grid;
    ASSERT_TRUE(ComputeGrid(8000, 6000, 1000, grid));
    EXPECT_EQ((std::vector<int>{grid.atlasSize, AtlasTextureWidth(grid), AtlasTextureHeight(grid)}),
              (std::vector<int>{16384, 9936, 7437}));
    struct Case {
        int width, height, count, largestSide;
        bool fits;
    } const cases[] = {
        {8000, 6000, 1000, 16384, true},
        {8000, 6000, 1000, 9935, false},    // one texel too narrow for the pieces
        {16000, 12000, 1000, 16384, false}, // within the limit, its pieces are not
        {4000, 1500, 100, 4096, false},
        {4000, 1500, 100, 4937, true},
        {20000, 20000, 1000, 16384, false},
        {48, 1000, 100, 2048, true}, // no piece fits it: refused as too small instead
    };
    for (const Case& c : cases)
        EXPECT_EQ(AtlasTextureFits(c.width, c.height, c.count, c.largestSide), c.fits)
            << c.width << " x " << c.height << ", " << c.count << " pieces, largest " << c.largestSide;
    grid.atlasSize = 0;
    EXPECT_FALSE(AtlasTextureFits(grid, 32768)) << "no power of two holds it";
}

TEST(ThumbnailTest, ScaledToFitWithoutEnlarging) {
    struct Case {
        int width, height, thumbWidth, thumbHeight;
    } cases[] = {{400, 300, 400, 300}, {1024, 768, 512, 384}, {768, 1024, 384, 512},
                 {200, 100, 200, 100}, {512, 512, 512, 512},  {4000, 3000, 512, 384}};
    for (const Case& t : cases) {
        int w = 0, h = 0;
        ThumbnailSize(t.width, t.height, w, h);
        EXPECT_EQ(w, t.thumbWidth) << t.width << " x " << t.height;
        EXPECT_EQ(h, t.thumbHeight) << t.width << " x " << t.height;
    }
}

TEST(ThumbnailTest, PictureCentredOnWhite) {
    struct Case {
        int width, height, left, top;
    } cases[] = {{512, 384, 0, 64}, {200, 100, 156, 206}, {511, 3, 1, 255}};
    for (const Case& t : cases) {
        SCOPED_TRACE(testing::Message() << t.width << " x " << t.height);
        EXPECT_EQ(ThumbnailLeft(t.width), t.left);
        EXPECT_EQ(ThumbnailTop(t.height), t.top);
        std::vector<uint8_t> scaled(static_cast<size_t>(t.width) * t.height * 3, 0x20);
        scaled[0] = 0x80;
        // Rows 513 texels apart, as a lock's pitch may set them.
        std::vector<uint32_t> texels(512 * 513, 0);
        ComposeThumbnail(RgbView{scaled.data(), t.width}, t.width, t.height, texels.data(), 513);
        size_t picture = 0;
        for (int y = 0; y < 512; ++y) {
            for (int x = 0; x < 512; ++x) {
                const bool inside = x >= t.left && x < t.left + t.width && y >= t.top && y < t.top + t.height;
                const uint32_t texel = texels[y * 513 + x];
                picture += inside;
                ASSERT_EQ(texel, !inside                     ? 0xFFFFFFFFu
                                 : x == t.left && y == t.top ? 0xFF802020u
                                                             : 0xFF202020u)
                    << x << ", " << y;
            }
        }
        EXPECT_EQ(picture, static_cast<size_t>(t.width) * t.height);
    }
}
