// CGame: the screen on which one puzzle is played. The board model lives here; the rules that
// compute it (cutting, atlas texels, scattering, snapping, the saved-game bytes) are plain
// functions in files of their own, which this class calls.
//
// Operations are implemented in files by subject: Game.cpp (life cycle), Picture.cpp (picture
// loading through the decoder program), Cutting.cpp, Atlas.cpp, Start.cpp, Play.cpp,
// BoardDraw.cpp, SaveGame.cpp.
#pragma once

#include "framework/Scene.h"
#include "framework/StartRequest.h"
#include "game/Board.h"
#include "game/ButtonBar.h"

#include <cstdint>
#include <string>
#include <vector>

class CPictureDecoder;
struct Grid;
struct PieceCut;

class CGame : public CScene {
  public:
    CGame(HWND window, IDirect3DDevice9* device);
    ~CGame() override;

    // Copies kind, path and piece count into mode, path and requestedCount.
    void SetStartRequest(const StartRequest& request);

    // Mode 1 builds the board from the picture, mode 2 loads the saved game; both end with the
    // bar's count set to pieceCount. Failures leave as the CError that caused them.
    void CreateResources() override;
    // Frees tabMap, ownerMap, colStart, rowStart, then releases both textures; may run twice.
    void DeleteResources() override;
    void Render() override;
    void Update(uint32_t now, uint32_t elapsed) override;
    void OnKeyDown(uint32_t key) override;
    void OnKeyUp(uint32_t key) override;
    void OnMouseMove(uint32_t x, uint32_t y) override;
    void OnMouseDown(uint32_t x, uint32_t y, int button) override;
    void OnMouseUp(uint32_t x, uint32_t y, int button) override;
    int GetNextScreen() override;
    D3DCOLOR GetClearColor() override;

    int columnWidth(int c) const;
    int rowHeight(int r) const;

    // Picture loading: DevIL runs in the decoder program, which `decoder` starts and talks to
    // for the start's whole duration.
    void InitImageLibrary(CPictureDecoder& decoder);
    void ShutdownImageLibrary(CPictureDecoder& decoder);
    void LoadPicture(CPictureDecoder& decoder, const std::string& picturePath);
    void CheckPictureSize(const CPictureDecoder& decoder);
    // Refuses, before anything is decoded further, a picture whose atlas the device cannot make.
    void CheckAtlasFits(const CPictureDecoder& decoder);
    // Makes rgb the whole picture (areaWidth x areaHeight as loaded).
    void CopyPicturePixels(CPictureDecoder& decoder, RgbImage& rgb);
    RgbImage ScaleThumbnailImage(CPictureDecoder& decoder);

    // Cutting.
    void ComputeGrid();
    void PlaceGridLines();
    void ChooseTabSides();
    void BuildOwnerMap();

    // Textures.
    void CreatePuzzleTexture();
    void FillPuzzleTexture(const RgbImage& rgb);
    void BuildThumbnail(CPictureDecoder& decoder);

    // Start.
    void ScatterPieces();

    // Play.
    bool HitTest(float bx, float by, const BoardPiece& p) const;
    void BringToTop(size_t index);
    void SendToBottom(size_t index);
    int FindSnapTarget();
    bool IsSolved() const;
    void RaiseLoosePieces();
    void AskQuit();
    void ClampScroll();

    // Drawing.
    void DrawPiece(const BoardPiece& p, float dx, float dy, bool shadow);
    void DrawThumbnail();

    // Saved games.
    std::string MakeSaveName() const;
    void SaveGame();
    void LoadGame();

    // ---- The board model ----
    int32_t mode = 0;
    std::string path;
    int32_t requestedCount = 0;
    IDirect3DTexture9* puzzleTexture = nullptr;
    IDirect3DTexture9* thumbnailTexture = nullptr;
    int32_t areaWidth = 0;
    int32_t areaHeight = 0;
    int32_t pieceCount = 0;
    int32_t columns = 0;
    int32_t rows = 0;
    int32_t cellWidth = 0;
    int32_t cellHeight = 0;
    int32_t atlasNeedWidth = 0;
    int32_t atlasNeedHeight = 0;
    int32_t atlasSize = 0;
    int32_t* colStart = nullptr;
    int32_t* rowStart = nullptr;
    uint16_t* ownerMap = nullptr;
    int32_t ownerMapWidth = 0;
    uint8_t* tabMap = nullptr;
    int32_t tabMapWidth = 0;
    int32_t thumbWidth = 0;
    int32_t thumbHeight = 0;
    uint64_t playTime = 0;
    float boardWidth = 0;
    float boardHeight = 0;
    float scrollX = 0;
    float scrollY = 0;
    bool keyLeft = false;
    bool keyRight = false;
    bool keyUp = false;
    bool keyDown = false;
    bool keyCtrl = false;
    bool seeThroughToggle = false;
    bool keyTab = false;
    bool previewToggle = false;
    std::vector<BoardPiece> pieces;
    bool dragging = false;
    float dragOffsetX = 0;
    float dragOffsetY = 0;
    uint32_t flashStart = 0;
    bool solved = false;
    bool quitRequested = false;
    ButtonBar buttonBar;
    MessagePanel* messagePanel = nullptr;

  private:
    // The device's texture limit, at most the largest atlas side.
    int LargestTextureSide() const;
    // The grid fields and arrays as the cutting and atlas rules take them.
    Grid CurrentGrid() const;
    PieceCut CurrentCut() const;
};
