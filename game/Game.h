// CGame: the screen on which one puzzle is played. It owns the board model (game/logic/Board.h),
// the two textures made from the picture, the view of the board, the bar and the message panel,
// and routes the player's input among them.
//
// Files by subject: Game.cpp (life cycle, frame step, input routing), NewGame.cpp and
// Atlas.cpp (a new game from a picture, read by Picture.cpp through the decoder program),
// SaveGame.cpp (saving and continuing), BoardView.cpp (scrolling, dragging, drawing the board)
// and BarDraw.cpp (drawing the bar and the panel).
#pragma once

#include "framework/Scene.h"
#include "framework/StartRequest.h"
#include "game/BoardView.h"
#include "game/logic/Bar.h"
#include "game/logic/Board.h"
#include "game/logic/GzipIndex.h"

#include <cstdint>
#include <memory>
#include <string>

class CPicture;
class CSaveAhead;

class CGame : public CScene {
  public:
    CGame(HWND window, IDirect3DDevice9* device, CGfx* gfx = nullptr);
    ~CGame() override;

    // Takes kind (START_NEW or START_OPEN), path and piece count.
    void SetStartRequest(const StartRequest& request);

    // Kind 1 builds the board from the picture, kind 2 loads the saved game; both end with the
    // bar's count set to pieceCount. Failures leave as the CError that caused them.
    void CreateResources() override;
    // Frees the board's maps and releases both textures; may run twice.
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

    // The saved game's file name: the loaded file, or one made from the picture's name.
    std::string MakeSaveName() const;
    // Saves to MakeSaveName(); true when the whole file is written and in place. A failure has
    // left its log entry. The part of the file that never changes after the start (everything
    // but the fixed fields and the pieces) is taken over, already compressed, from the file this
    // game last saved or loaded when its bytes there are still the ones then written or read.
    bool SaveGame();
    // The notice of a save's outcome, in place of any panel.
    void ShowSaveNotice(bool saved);
    // Once a frame: once the board has been shown, a new game's unchanging part is compressed in
    // the background for its first save (game/logic/SaveAhead.h); this hands it the pixels.
    void SaveAheadStep();
    // The background work is done: the first save lends all of it.
    bool SaveAheadDone() const;
    // Shows the quit question in place of any panel.
    void AskQuit();

    // The parts, for the benchmarks and the tests.
    StartRequest GetStartRequest() const { return {m_mode, m_path, m_requestedCount}; }
    Board& GetBoard() { return m_board; }
    BoardTextures& GetTextures() { return m_textures; }
    ViewState& GetView() { return m_view.State(); }
    ButtonBar& GetBar() { return m_bar; }
    std::unique_ptr<MessagePanel>& GetPanel() { return m_panel; }
    bool IsSolved() const { return m_solved; }
    uint32_t FlashStart() const { return m_flashStart; }

  private:
    enum class Mouse { Move, Down, Up };
    enum class Target { Panel, Bar, Board };
    // Hands a mouse event to the panel while one is shown, else to the bar; the board is left
    // to take it (returned Board) only outside the bar and while the preview is not shown (and a
    // left release outside the window, which always ends a drag).
    Target Route(Mouse event, float x, float y);

    void NewGame();
    void LoadGame();
    // Picture, cutting, textures and scattering of a new game.
    void BuildFromPicture(CPicture& picture, RgbImage& rgb);
    void CreatePuzzleTexture();
    void FillPuzzleTexture(const RgbImage& rgb);
    void BuildThumbnail(CPicture& picture);
    // The device's texture limit, at most the largest atlas side.
    int LargestTextureSide() const;

    int32_t m_mode = START_NONE; // the start request's kind
    std::string m_path;
    int32_t m_requestedCount = 0;
    Board m_board;
    BoardTextures m_textures;
    CBoardView m_view;
    uint32_t m_flashStart = 0;
    bool m_solved = false;
    bool m_quitRequested = false;
    ButtonBar m_bar;
    std::unique_ptr<MessagePanel> m_panel;
    // Where the file this game last saved or loaded can be entered, and its name.
    GzipIndex m_fileIndex;
    std::string m_indexedPath;
    std::unique_ptr<CSaveAhead> m_saveAhead;
    int m_framesBeforeSaveAhead = 2; // the first Update comes before the board is first shown
};
