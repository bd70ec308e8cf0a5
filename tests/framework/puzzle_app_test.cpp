// The game's application: start options, the launcher hand-back, start-up failures, screen
// switching, frame drawing and input routing, with the recording device.
#include "framework/Error.h"
#include "framework/Gfx.h"
#include "app/Logo.h"
#include "app/PuzzleApp.h"
#include "game/Game.h"
#include "intro/Intro.h"
#include "platform/test/RecordingDevice.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace {

const int kForceDummyVideo = (setenv("SDL_VIDEODRIVER", "dummy", 0), 0);

// ---- Start options --------------------------------------------------------------------------

// Each row offers its arguments in turn; the last one is taken exactly when a request remains.
TEST(StartOptions, TakenRejectedAndCancelled) {
    struct Case {
        std::vector<const char*> arguments;
        int kind;
        const char* path;
        int pieceCount;
    };
    const Case cases[] = {
        {{"--new:C:\\My Pictures\\cat.jpg?120"}, 1, "C:\\My Pictures\\cat.jpg", 120},
        {{"-n:a.png?2"}, 1, "a.png", 2},
        {{"--open:kot.jpg (108).pzz"}, 2, "kot.jpg (108).pzz", 0},
        {{"-o:x.pzz"}, 2, "x.pzz", 0},
        // The count text is read like atoi.
        {{"--new:a?12abc"}, 1, "a", 12},
        {{"--new:a?  \t7"}, 1, "a", 7},
        {{"--new:a?+9"}, 1, "a", 9},
        {{"--new:a?5?b"}, 1, "a", 5},
        {{"--new:a?2147483647"}, 1, "a", 2147483647},
        {{"--new:a?b?5"}, 0, "", 0}, // the count text is "b?5": no leading digits
        // A second option cancels (even one that would not parse); a third is taken again.
        {{"--open:a.pzz", "--open:b.pzz"}, 0, "", 0},
        {{"--new:a?10", "-o:b.pzz"}, 0, "", 0},
        {{"--new:a?10", "--new:b?1"}, 0, "", 0},
        {{"--open:a.pzz", "--open:b.pzz", "-n:c.jpg?30"}, 1, "c.jpg", 30},
    };
    const char* const rejected[][4] = {
        {"--new:a?1", "--new:a?0", "--new:a?-5", "--new:a?x10"},
        {"--new:a", "--new:a?", "--new:?10", "--new:"},
        {"-n:a? ", "--new:a?2147483648", "--new:a?99999999999999999999", "--new:a?-2147483649"},
        {"--NEW:a?10", "-N:a?10", "--new a?10", "new:a?10"},
        {"--open:", "-o:", "--OPEN:x.pzz", "-O:x.pzz"}};
    std::vector<Case> all(std::begin(cases), std::end(cases));
    for (const auto& row : rejected)
        for (const char* argument : row)
            all.push_back({{argument}, 0, "", 0});
    for (const Case& c : all) {
        StartRequest request;
        bool taken = false;
        for (const char* argument : c.arguments)
            taken = TakeStartOption(argument, request);
        SCOPED_TRACE(c.arguments.back());
        EXPECT_EQ(request.kind, c.kind);
        EXPECT_EQ(taken, c.kind != 0);
        if (c.kind != 0) {
            EXPECT_EQ(request.path, c.path);
            EXPECT_EQ(request.pieceCount, c.pieceCount);
        }
    }
}

TEST(StartOptions, PieceCountReaderRefusesOnlyOutOfRangeValues) {
    for (auto [text, value] : {std::pair<const char*, int>{"", 0},
                               {"-2147483648", -2147483647 - 1},
                               {"00000000000000000042", 42}}) {
        int n = -1;
        EXPECT_TRUE(ReadPieceCount(text, n));
        EXPECT_EQ(n, value) << text;
    }
    int n = -1;
    EXPECT_FALSE(ReadPieceCount("4294967298", n)); // would wrap to 2 in 32 bits
    EXPECT_FALSE(ReadPieceCount("2147483648", n));
}

// ---- The application ------------------------------------------------------------------------

// A screen that records what the application asks of it.
class FakeScreen : public CScene {
  public:
    FakeScreen(std::vector<std::string>& log, int next = 0, D3DCOLOR clear = 0xFF000000)
        : CScene(nullptr, nullptr), m_log(log), m_next(next), m_clear(clear) {}
    ~FakeScreen() override { m_log.push_back("destroyed"); }
    void CreateResources() override { m_log.push_back("CreateResources"); }
    void RestoreDeviceObjects() override { m_log.push_back("RestoreDeviceObjects"); }
    void InvalidateDeviceObjects() override { m_log.push_back("InvalidateDeviceObjects"); }
    void DeleteResources() override { m_log.push_back("DeleteResources"); }
    void Render() override { m_log.push_back("Render"); }
    void Update(uint32_t now, uint32_t elapsed) override {
        m_log.push_back("Update " + std::to_string(now) + " " + std::to_string(elapsed));
    }
    void OnKeyDown(uint32_t key) override {
        m_log.push_back("KeyDown " + std::to_string(key) + " cursor " + std::to_string(m_cursorX) + " " +
                        std::to_string(m_cursorY));
    }
    void OnKeyUp(uint32_t key) override { m_log.push_back("KeyUp " + std::to_string(key)); }
    void OnChar(uint32_t ch) override { m_log.push_back("Char " + std::to_string(ch)); }
    void OnMouseMove(uint32_t x, uint32_t y) override {
        m_log.push_back("MouseMove " + std::to_string(x) + " " + std::to_string(y) + " cursor " +
                        std::to_string(m_cursorX) + " " + std::to_string(m_cursorY));
    }
    void OnMouseDown(uint32_t x, uint32_t y, int b) override {
        m_log.push_back("MouseDown " + std::to_string(x) + " " + std::to_string(y) + " " + std::to_string(b));
    }
    void OnMouseUp(uint32_t x, uint32_t y, int b) override {
        m_log.push_back("MouseUp " + std::to_string(x) + " " + std::to_string(y) + " " + std::to_string(b));
    }
    int GetNextScreen() override {
        m_log.push_back("GetNextScreen");
        return m_next;
    }
    D3DCOLOR GetClearColor() override {
        m_log.push_back("GetClearColor");
        return m_clear;
    }

  private:
    std::vector<std::string>& m_log;
    int m_next;
    D3DCOLOR m_clear;
};

class Probe : public CPuzzleApp {
  public:
    // Window classes stay registered for the process: each probe gets a name of its own.
    Probe() {
        static int serial = 0;
        m_name = "PUZZLE_TEST_" + std::to_string(++serial);
        m_className = m_name.c_str();
    }
    // A probe whose loop never ran tears its device down like the loop's end would.
    ~Probe() override {
        if (m_device)
            DestroyDevice();
    }

    // Puts a screen in place of the current one, tearing the old one down as a switch would.
    void Replace(CScene* screen) {
        if (m_screen) {
            m_screen->InvalidateDeviceObjects();
            m_screen->DeleteResources();
            delete m_screen;
        }
        m_screen = nullptr;
        if (screen)
            Show(screen);
    }

    CRecordingDevice& Device() { return *static_cast<CRecordingDevice*>(m_device); }

    // Starts with the command line, puts the screen in place of the intro and clears the recording.
    CRecordingDevice& StartWith(CScene* screen, const char* line = "-w -o:x.pzz") {
        EXPECT_TRUE(Init(nullptr, line));
        Replace(screen);
        Device().ClearRecording();
        return Device();
    }

    using CPuzzleApp::Frame;
    using CPuzzleApp::m_className;
    using CPuzzleApp::m_device;
    using CPuzzleApp::m_height;
    using CPuzzleApp::m_screen;
    using CPuzzleApp::m_showFps;
    using CPuzzleApp::m_startRequest;
    using CPuzzleApp::m_title;
    using CPuzzleApp::m_width;
    using CPuzzleApp::m_window;
    using CPuzzleApp::m_windowed;

  private:
    std::string m_name;
};

// The render states every screen relies on: no lighting, depth or culling, alpha blending.
void ExpectSharedRenderStates(CRecordingDevice& device) {
    const std::pair<D3DRENDERSTATETYPE, DWORD> states[] = {{D3DRS_LIGHTING, FALSE},
                                                           {D3DRS_ZENABLE, D3DZB_FALSE},
                                                           {D3DRS_SPECULARENABLE, FALSE},
                                                           {D3DRS_CULLMODE, D3DCULL_NONE},
                                                           {D3DRS_ALPHABLENDENABLE, TRUE},
                                                           {D3DRS_SRCBLEND, D3DBLEND_SRCALPHA},
                                                           {D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA}};
    for (auto [state, value] : states)
        EXPECT_EQ(device.RenderState(state), value) << state;
}

class PuzzleAppTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetRecording();
        test::WriteGameImages(folder.Path());
        layer::SetModuleFileName(folder / "Game");
        layer::SetTickSource([this] { return now; });
        layer::SetBeepSink([this](DWORD f, DWORD d) { beeps.push_back({f, d}); });
        layer::SetWinExecSink([this](const char* line, UINT show) {
            launches.push_back(std::string(line) + " " + std::to_string(show));
            return 33u;
        });
    }
    void TearDown() override {
        test::ResetHooks();
        ResetRecording();
    }

    test::ScratchFolder folder;
    uint32_t now = 1000;
    std::vector<std::pair<DWORD, DWORD>> beeps;
    std::vector<std::string> launches;
    std::vector<std::string> log;
};

TEST_F(PuzzleAppTest, RunsFromItsOwnFolderAt800x600) {
    std::filesystem::current_path("/");
    struct Plain : CPuzzleApp { // unlike the probe, with the game's own window class
        using CPuzzleApp::m_className;
        using CPuzzleApp::m_height;
        using CPuzzleApp::m_title;
        using CPuzzleApp::m_width;
    } app;
    EXPECT_EQ(std::filesystem::current_path(), std::filesystem::path(folder.Path()));
    EXPECT_EQ(app.m_width, 800);
    EXPECT_EQ(app.m_height, 600);
    EXPECT_STREQ(app.m_title, "Tarvenkol Puzzle");
    EXPECT_STREQ(app.m_className, "TARVENKOL_PUZZLE");
    EXPECT_NE(g_pGfx, nullptr);
}

TEST_F(PuzzleAppTest, WithoutAStartRequestTheLauncherStartsAndNothingIsCreated) {
    for (const char* line : {"", "-w -f", "--open:a.pzz --open:b.pzz", "--new:a.jpg?1", "--NEW:a.jpg?10"}) {
        launches.clear();
        Probe app;
        EXPECT_FALSE(app.Init(nullptr, line)) << line;
        EXPECT_EQ(launches, (std::vector<std::string>{"Puzzle.exe 1"})) << line;
    }
    EXPECT_TRUE(g_deviceRequests.empty());
}

TEST_F(PuzzleAppTest, OptionsCombineInAnyOrder) {
    for (const char* line : {"--open:a b.pzz -f --window", "-f --window \"--open:a b.pzz\"",
                             "--window --framerate -o:a b.pzz"}) {
        Probe app;
        app.Init(nullptr, line);
        EXPECT_TRUE(launches.empty()) << line;
        EXPECT_TRUE(app.m_windowed) << line;
        EXPECT_TRUE(app.m_showFps) << line;
        EXPECT_EQ(app.m_startRequest.kind, 2) << line;
    }
    Probe plain;
    plain.Init(nullptr, "--new:a.jpg?10 -F");
    EXPECT_FALSE(plain.m_showFps);
    EXPECT_FALSE(plain.m_windowed);
}

TEST_F(PuzzleAppTest, StartUpLoadsTheSharedImagesSetsRenderStatesAndShowsTheIntro) {
    Probe app;
    ASSERT_TRUE(app.Init(nullptr, "-w --new:cat.jpg?100"));
    EXPECT_NE(dynamic_cast<CIntro*>(app.m_screen), nullptr);
    EXPECT_NE(g_pGfx->cursorTexture, nullptr);
    EXPECT_NE(g_pGfx->buttonsTexture, nullptr);
    ASSERT_NE(g_pGfx->textFont, nullptr);
    ExpectSharedRenderStates(app.Device());
    // The shared text font is bold Verdana, 16 pixels, with the Polish letters.
    RECT rect{};
    g_pGfx->textFont->DrawTextA("x", -1, &rect, 0, 0);
    const LOGFONT& face = app.Device().Texts().back().logFont;
    EXPECT_EQ((std::vector<int>{face.lfHeight, face.lfWeight, face.lfCharSet}),
              (std::vector<int>{16, 700, 238}));
}

struct StartFailure {
    const char* name;
    std::function<void(const std::string& folder)> arrange;
    const char* message;
    const char* file;
    int line;
};

TEST_F(PuzzleAppTest, EachStartUpFailureIsLoggedAndLeavesNothingBehind) {
    const StartFailure cases[] = {
        {"cursor", [](const std::string& f) { std::filesystem::remove(f + "/Gfx/Kursor.tga"); },
         "Nie można wczytać kursora z pliku Gfx\\Kursor.tga", "Gfx.cpp", 44},
        {"logo", [](const std::string& f) { std::filesystem::remove(f + "/Gfx/Logo.jpg"); },
         "Nie można wczytać logo z pliku Gfx\\Logo.jpg", "Gfx.cpp", 60},
        {"font", [](const std::string&) { g_recordingSettings.failFontCreation = true; },
         "Nie można utworzyć czcionki", "Gfx.cpp", 80},
        {"intro logo", [](const std::string& f) { std::filesystem::remove(f + "/Gfx/Brodmiel.png"); },
         "Nie można wczytać obrazka z logo Brodmielu", "intro.cpp", 40},
    };
    for (const StartFailure& c : cases) {
        ResetRecording();
        test::WriteGameImages(folder.Path());
        std::filesystem::remove("Errors.log");
        c.arrange(folder.Path());
        {
            Probe app;
            try {
                app.Init(nullptr, "-w --new:cat.jpg?100");
                ADD_FAILURE() << c.name << ": started";
            } catch (const CError& error) {
                EXPECT_EQ(error.kind, ERR_DIRECTX) << c.name;
                EXPECT_TRUE(FAILED(error.resultCode)) << c.name;
                if (c.file == std::string("Gfx.cpp") && c.line == 80) {
                    EXPECT_EQ(error.resultCode, g_recordingSettings.fontCreationError);
                }
                EXPECT_STREQ(error.message, c.message) << c.name;
                EXPECT_STREQ(error.sourceFile, c.file) << c.name;
                EXPECT_EQ(error.line, c.line) << c.name;
            }
            EXPECT_EQ(app.m_screen, nullptr) << c.name;
            EXPECT_EQ(app.m_device, nullptr) << c.name;
            EXPECT_EQ(g_pGfx->cursorTexture, nullptr) << c.name;
            EXPECT_EQ(g_pGfx->desktopTexture, nullptr) << c.name;
            EXPECT_EQ(g_pGfx->textFont, nullptr) << c.name;
        }
        EXPECT_EQ(g_pLastRecordingDevice, nullptr) << c.name;
        EXPECT_TRUE(beeps.empty()) << c.name;
        std::string text = test::ReadWholeFile("Errors.log");
        EXPECT_NE(text.find(std::string("  Plik       : ") + c.file +
                            "\r\n  Wiersz     : " + std::to_string(c.line)),
                  std::string::npos)
            << c.name;
        EXPECT_NE(text.find(std::string("  Komunikat  : ") + c.message + "\r\n"), std::string::npos)
            << c.name;
    }
}

TEST_F(PuzzleAppTest, IntroThenLogoOnWhiteThenGameWithTheStartRequest) {
    Probe app;
    ASSERT_TRUE(app.Init(nullptr, "-w --new:cat.jpg?100"));
    CRecordingDevice& device = app.Device();
    now = 1016;
    app.Frame();
    ASSERT_NE(dynamic_cast<CIntro*>(app.m_screen), nullptr);
    SendMessageA(app.m_window, WM_KEYDOWN, VK_SPACE, 0);
    device.ClearRecording();
    now = 1032;
    app.Frame();
    // The switch happened inside Update: this very frame shows the logo on white.
    ASSERT_NE(dynamic_cast<CLogo*>(app.m_screen), nullptr);
    EXPECT_EQ(device.LiveVertexBuffers(), 0);
    EXPECT_EQ(device.LiveDefaultPoolResources(), 0);
    auto clears = device.CallsOf(CallKind::Clear);
    ASSERT_EQ(clears.size(), 1u);
    EXPECT_EQ(clears[0].args, (std::vector<DWORD>{0, D3DCLEAR_TARGET, 0xFFFFFFFF, 0}));
    EXPECT_EQ(clears[0].z, 1.0f);
    ASSERT_EQ(device.Draws().size(), 1u);
    EXPECT_EQ(device.Draws()[0].state.texture, g_pGfx->logoTexture);
    EXPECT_EQ(device.CallsOf(CallKind::Present).size(), 1u);

    // A press switches to the game screen in the next frame, with the start request handed on.
    SendMessageA(app.m_window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    now = 1048;
    try {
        app.Frame();
    } catch (const CError&) {
        // The game screen reports its own failures; the switch has happened either way.
    }
    CGame* game = dynamic_cast<CGame*>(app.m_screen);
    ASSERT_NE(game, nullptr);
    const StartRequest& request = game->GetStartRequest();
    EXPECT_EQ(std::tie(request.kind, request.path, request.pieceCount),
              std::tuple(1, std::string("cat.jpg"), 100));
}

TEST_F(PuzzleAppTest, FrameClearsOnlyForNonZeroColourAndSwitchesOrQuitsByCode) {
    Probe app;
    CRecordingDevice& device = app.StartWith(new FakeScreen(log, 0, 0));
    now = 1100;
    app.Frame();
    EXPECT_TRUE(device.CallsOf(CallKind::Clear).empty());
    EXPECT_EQ(log.front(), "Update 1100 100");
    EXPECT_EQ(log.back(), "Render");

    for (int code : {4, 7, -1}) {
        app.Replace(new FakeScreen(log, code, 0xFF102030));
        log.clear();
        device.ClearRecording();
        app.Frame();
        EXPECT_EQ(Describe(device.CallsOf(CallKind::Clear).at(0)), "Clear(0, 1, 0xFF102030, 0)");
        EXPECT_EQ(log.back(), "Render") << code;
    }

    // Code 1 tears the old screen down and draws the new logo screen in the same frame.
    app.Replace(new FakeScreen(log, 1));
    log.clear();
    device.ClearRecording();
    app.Frame();
    EXPECT_EQ(log.back(), "destroyed");
    EXPECT_NE(dynamic_cast<CLogo*>(app.m_screen), nullptr);
    EXPECT_EQ(device.Draws().at(0).state.texture, g_pGfx->logoTexture);

    // Code 3: the quitting frame is still drawn and shown, then the program ends as a closed
    // window does.
    app.Replace(new FakeScreen(log, 3));
    log.clear();
    device.ClearRecording();
    app.Frame();
    EXPECT_EQ(log.back(), "Render");
    EXPECT_EQ(device.CallsOf(CallKind::Present).size(), 1u);
    EXPECT_EQ(app.Run(), 0);
    EXPECT_EQ(std::count(log.begin(), log.end(), "Render"), 1) << "no frame after the quitting one";
    EXPECT_EQ(log.back(), "destroyed");
}

TEST_F(PuzzleAppTest, SceneFailuresAreHandledInTheFrame) {
    Probe app;
    CRecordingDevice& device = app.StartWith(new FakeScreen(log));
    device.knobs.failBeginScene = true;
    app.Frame();
    EXPECT_EQ(std::count(log.begin(), log.end(), "Render"), 0);
    EXPECT_TRUE(device.CallsOf(CallKind::EndScene).empty());

    device.knobs.failBeginScene = false;
    device.knobs.failClear = true;
    try {
        app.Frame();
        FAIL() << "no error";
    } catch (const CError& error) {
        EXPECT_EQ(error.kind, ERR_DIRECTX);
        EXPECT_STREQ(error.message, "Nie można wyczyścić urządzenia");
        EXPECT_STREQ(error.sourceFile, "Puzzle.cpp");
        EXPECT_EQ(error.line, 330);
    }
}

TEST_F(PuzzleAppTest, FrameRateTextShowsTheLastWholeSecondsCount) {
    Probe app;
    CRecordingDevice& device = app.StartWith(new FakeScreen(log), "-w -f -o:x.pzz");
    now = 1500;
    app.Frame();
    ASSERT_EQ(device.Texts().size(), 1u);
    const RecordedText& text = device.Texts()[0];
    EXPECT_EQ(text.text, "FPS: 0");
    EXPECT_EQ(text.count, -1);
    EXPECT_EQ((std::vector<LONG>{text.rect.left, text.rect.top, text.rect.right, text.rect.bottom}),
              (std::vector<LONG>{8, 8, 784, 584}));
    EXPECT_EQ(text.format, 0u);
    EXPECT_EQ(text.color, 0xFFFFFFFFu);
    EXPECT_EQ(text.font, g_pGfx->textFont);

    now = 2001;
    app.Frame();
    EXPECT_EQ(device.Texts().back().text, "FPS: 2");
}

TEST_F(PuzzleAppTest, InputGoesToTheScreenAndDoubleClicksDoNot) {
    Probe app;
    LPARAM at = MAKELPARAM(700, 500);
    app.WindowProc(nullptr, WM_MOUSEMOVE, 0, MAKELPARAM(123, 456)); // no screen yet: kept for the next
    app.Replace(new FakeScreen(log));
    const std::tuple<UINT, WPARAM, LPARAM> messages[] = {
        {WM_KEYDOWN, VK_ESCAPE, 0}, {WM_KEYUP, VK_ESCAPE, 0},  {WM_CHAR, 0xB9, 0},
        {WM_MOUSEMOVE, 0, at},      {WM_LBUTTONDOWN, 0, at},   {WM_LBUTTONUP, 0, at},
        {WM_MBUTTONDOWN, 0, at},    {WM_MBUTTONUP, 0, at},     {WM_RBUTTONDOWN, 0, at},
        {WM_RBUTTONUP, 0, at},      {WM_LBUTTONDBLCLK, 0, at}, {WM_MBUTTONDBLCLK, 0, at},
        {WM_RBUTTONDBLCLK, 0, at}};
    for (auto [message, wParam, lParam] : messages)
        app.WindowProc(nullptr, message, wParam, lParam);
    EXPECT_EQ(log, (std::vector<std::string>{"KeyDown 27 cursor 123 456", "KeyUp 27", "Char 185",
                                             "MouseMove 700 500 cursor 700 500", "MouseDown 700 500 0",
                                             "MouseUp 700 500 0", "MouseDown 700 500 1", "MouseUp 700 500 1",
                                             "MouseDown 700 500 2", "MouseUp 700 500 2"}));
    app.Replace(nullptr);
}

// The logo screen leaves for the game on any key or button press (the first press of a
// double-click included) and on nothing else.
TEST_F(PuzzleAppTest, LogoScreenLeavesOnAnyPress) {
    const std::pair<UINT, int> cases[] = {
        {WM_KEYDOWN, 2},   {WM_LBUTTONDOWN, 2},   {WM_MBUTTONDOWN, 2},   {WM_RBUTTONDOWN, 2},
        {WM_KEYUP, 0},     {WM_CHAR, 0},          {WM_MOUSEMOVE, 0},     {WM_LBUTTONUP, 0},
        {WM_RBUTTONUP, 0}, {WM_LBUTTONDBLCLK, 0}, {WM_MBUTTONDBLCLK, 0}, {WM_RBUTTONDBLCLK, 0}};
    Probe app;
    for (auto [message, next] : cases) {
        app.Replace(new CLogo(nullptr, nullptr, nullptr));
        app.WindowProc(nullptr, message, VK_ESCAPE, MAKELPARAM(5, 6));
        EXPECT_EQ(app.m_screen->GetNextScreen(), next) << message;
    }
    app.Replace(nullptr);
}

TEST_F(PuzzleAppTest, DeviceResetRestoresStatesFontAndScreen) {
    Probe app;
    CRecordingDevice& device = app.StartWith(new FakeScreen(log));
    device.LoseDevice();
    app.Frame();
    log.clear();
    device.ClearRecording();
    app.Frame();
    app.Frame();
    EXPECT_EQ(log, (std::vector<std::string>{"InvalidateDeviceObjects", "RestoreDeviceObjects"}));
    ExpectSharedRenderStates(device); // Reset put every state back to its default
    EXPECT_EQ(device.CallsOf(CallKind::CreateFont).size(), 1u);
    EXPECT_NE(g_pGfx->textFont, nullptr);
}

TEST_F(PuzzleAppTest, ShutdownTearsTheScreenDownAndReleasesEverything) {
    {
        Probe app;
        app.StartWith(new FakeScreen(log, 3));
        EXPECT_EQ(app.Run(), 0);
        EXPECT_EQ(std::vector<std::string>(log.end() - 3, log.end()),
                  (std::vector<std::string>{"InvalidateDeviceObjects", "DeleteResources", "destroyed"}));
        EXPECT_EQ(app.m_screen, nullptr);
        EXPECT_EQ(g_pGfx->logoTexture, nullptr);
        EXPECT_EQ(g_pGfx->textFont, nullptr);
    }
    EXPECT_EQ(g_pGfx, nullptr);
    EXPECT_EQ(g_pLastRecordingDevice, nullptr);
    EXPECT_TRUE(beeps.empty());
}

TEST_F(PuzzleAppTest, EntryFunctionEndsWithZeroOnEveryEarlyEnd) {
    EXPECT_EQ(WinMain(nullptr, nullptr, const_cast<LPSTR>(""), 1), 0);
    EXPECT_EQ(launches, (std::vector<std::string>{"Puzzle.exe 1"}));
    std::filesystem::remove(folder / "Gfx/Desktop.jpg");
    EXPECT_EQ(WinMain(nullptr, nullptr, const_cast<LPSTR>("-w --new:cat.jpg?100"), 1), 0);
    EXPECT_NE(test::ReadWholeFile(folder / "Errors.log").find("Nie można wczytać obrazu pulpitu z pliku"),
              std::string::npos);
    EXPECT_EQ(g_pGfx, nullptr);
}

} // namespace
