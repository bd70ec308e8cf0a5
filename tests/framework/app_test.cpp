// The application shell: command line, window and device creation, the loop, frame timing,
// device loss and shutdown, against the recording Direct3D and SDL's window-free video driver.
#include "framework/App.h"
#include "framework/Error.h"
#include "platform/test/RecordingDevice.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <functional>
#include <thread>
#include <string>
#include <vector>

namespace {

const int kForceDummyVideo = (setenv("SDL_VIDEODRIVER", "dummy", 0), 0);

class TestApp : public CApp {
  public:
    explicit TestApp(const std::string& className) : m_name(className) { m_className = m_name.c_str(); }
    // An app whose loop never ran tears its device down like the loop's end would.
    ~TestApp() override {
        if (m_device)
            DestroyDevice();
    }

    void OnWindowCreated() override { hooks.push_back("OnWindowCreated"); }
    void CreateResources() override {
        hooks.push_back("CreateResources");
        if (onCreateResources)
            onCreateResources();
    }
    void RestoreDeviceObjects() override {
        hooks.push_back("RestoreDeviceObjects");
        if (onRestore)
            onRestore();
    }
    void Update(uint32_t now, uint32_t elapsed) override {
        updates.push_back({now, elapsed});
        if (onUpdate)
            onUpdate();
    }
    void Render() override { hooks.push_back("Render"); }
    void InvalidateDeviceObjects() override { hooks.push_back("InvalidateDeviceObjects"); }
    void DeleteResources() override { hooks.push_back("DeleteResources"); }
    void OnClose() override { hooks.push_back("OnClose"); }
    void HandleArgument(const char* argument) override {
        arguments.push_back(argument);
        CApp::HandleArgument(argument);
    }
    bool CanStart() override { return canStart; }

    int Count(const std::string& hook) const {
        return static_cast<int>(std::count(hooks.begin(), hooks.end(), hook));
    }

    using CApp::Frame;
    using CApp::m_active;
    using CApp::m_device;
    using CApp::m_deviceLost;
    using CApp::m_direct3d;
    using CApp::m_window;
    using CApp::m_windowed;
    using CApp::ParseCommandLine;
    using CApp::Quit;

    std::vector<std::string> hooks;
    std::vector<std::string> arguments;
    struct Tick {
        uint32_t now, elapsed;
    };
    std::vector<Tick> updates;
    std::function<void()> onCreateResources, onRestore, onUpdate;
    bool canStart = true;

  private:
    std::string m_name;
};

// A fresh window class name per app: classes stay registered for the life of the process.
std::string NextClassName() {
    static int serial = 0;
    return "APP_TEST_" + std::to_string(++serial);
}

class AppTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetRecording();
        layer::SetTickSource([this] { return now; });
        layer::SetBeepSink([this](DWORD frequency, DWORD duration) {
            beeps.push_back({frequency, duration});
        });
        layer::SetSleepSink([this](DWORD ms) {
            sleeps.push_back(ms);
            now += ms;
        });
    }
    void TearDown() override {
        test::ResetHooks();
        ResetRecording();
    }

    CRecordingDevice& Device(TestApp& app) { return *static_cast<CRecordingDevice*>(app.m_device); }

    test::ScratchFolder folder; // receives Errors.log
    uint32_t now = 1000;
    std::vector<std::pair<DWORD, DWORD>> beeps;
    std::vector<DWORD> sleeps;
};

std::vector<std::string> Split(const char* commandLine) {
    TestApp app(NextClassName());
    app.ParseCommandLine(commandLine);
    return app.arguments;
}

TEST(CommandLine, SplitsOnBlanksKeepsQuotedBlanksAndDropsQuotes) {
    using V = std::vector<std::string>;
    EXPECT_EQ(Split("-w --new:a.jpg?10"), (V{"-w", "--new:a.jpg?10"}));
    EXPECT_EQ(Split("\"--new:C:\\My Pictures\\cat.jpg?120\" -f"),
              (V{"--new:C:\\My Pictures\\cat.jpg?120", "-f"}));
    EXPECT_EQ(Split("one  two"), (V{"one", "", "two"}));
    EXPECT_EQ(Split("a\"b c\"d e"), (V{"ab cd", "e"}));
    EXPECT_EQ(Split("x \"unbalanced rest  of line"), (V{"x", "unbalanced rest  of line"}));
    EXPECT_EQ(Split(""), (V{""}));
    EXPECT_EQ(Split("a "), (V{"a", ""}));
    EXPECT_EQ(Split("\"\""), (V{""}));
}

TEST(CommandLine, CutsAnArgumentTo259Characters) {
    std::string longArgument(300, 'a');
    for (size_t i = 0; i < longArgument.size(); ++i)
        longArgument[i] = static_cast<char>('a' + i % 26);
    auto arguments = Split((longArgument + " next").c_str());
    ASSERT_EQ(arguments.size(), 2u);
    EXPECT_EQ(arguments[0], longArgument.substr(0, 259));
    EXPECT_EQ(arguments[1], "next");
    EXPECT_EQ(Split(std::string(259, 'z').c_str())[0], std::string(259, 'z'));
}

TEST(CommandLine, WindowedOnlyForTheExactOptions) {
    for (const char* line : {"-w", "--window", "x -w", "\"--window\""}) {
        TestApp app(NextClassName());
        app.ParseCommandLine(line);
        EXPECT_TRUE(app.m_windowed) << line;
    }
    for (const char* line : {"-W", "--Window", "--WINDOW", "x-w", "-wx", "--windows", " -w-", "-w:"}) {
        TestApp app(NextClassName());
        app.ParseCommandLine(line);
        EXPECT_FALSE(app.m_windowed) << line;
    }
}

TEST_F(AppTest, WindowedInitCreatesHardwareDeviceWithDisplayFormatAndRunsHooksInOrder) {
    TestApp app(NextClassName());
    ASSERT_TRUE(app.Init(nullptr, "--window"));
    EXPECT_TRUE(app.m_active);
    EXPECT_NE(app.m_window, nullptr);
    EXPECT_EQ(app.hooks,
              (std::vector<std::string>{"OnWindowCreated", "CreateResources", "RestoreDeviceObjects"}));
    ASSERT_EQ(g_deviceRequests.size(), 1u);
    const DeviceRequest& request = g_deviceRequests[0];
    EXPECT_EQ(request.adapter, 0u);
    EXPECT_EQ(request.type, D3DDEVTYPE_HAL);
    EXPECT_EQ(request.focusWindow, app.m_window);
    EXPECT_EQ(request.behaviorFlags, static_cast<DWORD>(D3DCREATE_HARDWARE_VERTEXPROCESSING));
    const D3DPRESENT_PARAMETERS& p = request.parameters;
    EXPECT_EQ(p.hDeviceWindow, app.m_window);
    // Size, format, count, multisampling, swap effect, windowed, depth, flags, refresh, interval.
    EXPECT_EQ((std::vector<DWORD>{p.BackBufferWidth, p.BackBufferHeight, DWORD(p.BackBufferFormat),
                                  p.BackBufferCount, DWORD(p.MultiSampleType), DWORD(p.SwapEffect),
                                  DWORD(p.Windowed), DWORD(p.EnableAutoDepthStencil), p.Flags,
                                  p.FullScreen_RefreshRateInHz, p.PresentationInterval}),
              (std::vector<DWORD>{640, 480, DWORD(g_recordingSettings.displayMode.Format), 1,
                                  D3DMULTISAMPLE_NONE, D3DSWAPEFFECT_DISCARD, TRUE, FALSE, 0, 0, 0}));
}

TEST_F(AppTest, RefusedHardwareVertexProcessingFallsBackToSoftware) {
    g_recordingSettings.refuseHardwareVertexProcessing = true;
    TestApp app(NextClassName());
    ASSERT_TRUE(app.Init(nullptr, "-w"));
    ASSERT_EQ(g_deviceRequests.size(), 2u);
    EXPECT_EQ(g_deviceRequests[1].behaviorFlags, static_cast<DWORD>(D3DCREATE_SOFTWARE_VERTEXPROCESSING));
    EXPECT_NE(app.m_device, nullptr);
    app.Frame();
    EXPECT_EQ(app.updates.size(), 1u);
}

// Each start-up failure is logged with its kind, message and line, and no hook runs after it.
TEST_F(AppTest, StartUpFailuresAreLoggedAndReleaseDirect3D) {
    struct Case {
        const char* name;
        std::function<void()> arrange;
        int kind;
        const char* message;
        int line;
        size_t deviceRequests;
    };
    std::string taken = NextClassName();
    TestApp first(taken);
    ASSERT_TRUE(first.Init(nullptr, "-w"));
    const Case cases[] = {
        {"no device", [] { g_recordingSettings.refuseDevices = true; }, ERR_DIRECTX,
         "Nie można utworzyć urządzenia", 211, 2},
        {"no Direct3D", [] { g_recordingSettings.direct3DUnavailable = true; }, ERR_NORMAL,
         "Nie można utworzyć obiektu Direct3D 9.", 81, 0},
        {"window class taken", [] {}, ERR_WIN32, "Nie można zarejestrować klasy okna", 87, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        g_deviceRequests.clear();
        c.arrange();
        TestApp app(c.kind == ERR_WIN32 ? taken : NextClassName());
        try {
            app.Init(nullptr, "-w");
            ADD_FAILURE() << "Init returned";
        } catch (const CError& error) {
            EXPECT_EQ(error.kind, c.kind);
            EXPECT_STREQ(error.message, c.message);
            EXPECT_STREQ(error.sourceFile, "App.cpp");
            EXPECT_EQ(error.line, c.line);
            EXPECT_EQ(error.resultCode, c.kind == ERR_DIRECTX ? g_recordingSettings.createDeviceError : 0);
            EXPECT_EQ(error.systemError, c.kind == ERR_WIN32 ? uint32_t(ERROR_CLASS_ALREADY_EXISTS) : 0u);
        }
        EXPECT_EQ(g_deviceRequests.size(), c.deviceRequests);
        // A window failure leaves Direct3D to the destructor.
        EXPECT_TRUE(c.kind == ERR_WIN32 || app.m_direct3d == nullptr);
        EXPECT_EQ(app.hooks, c.kind == ERR_DIRECTX ? std::vector<std::string>{"OnWindowCreated"}
                                                   : std::vector<std::string>{});
        EXPECT_NE(test::ReadWholeFile("Errors.log").find("  Wiersz     : " + std::to_string(c.line) + "\r\n"),
                  std::string::npos);
        g_recordingSettings.refuseDevices = g_recordingSettings.direct3DUnavailable = false;
    }
}

TEST_F(AppTest, RefusedStartCreatesNothing) {
    TestApp app(NextClassName());
    app.canStart = false;
    EXPECT_FALSE(app.Init(nullptr, "-w"));
    EXPECT_TRUE(g_deviceRequests.empty());
    EXPECT_EQ(app.m_window, nullptr);
    EXPECT_FALSE(app.m_active);
}

// A failed CreateResources or RestoreDeviceObjects undoes what ran before it and tears the
// device and Direct3D down.
TEST_F(AppTest, FailedCreateOrRestoreUndoesItsStepsAndReleasesTheDevice) {
    using V = std::vector<std::string>;
    for (bool inRestore : {false, true}) {
        TestApp app(NextClassName());
        auto fail = [] { throw CError(ERR_NORMAL, "x", "test", 1, 0); };
        (inRestore ? app.onRestore : app.onCreateResources) = fail;
        EXPECT_THROW(app.Init(nullptr, "-w"), CError);
        EXPECT_EQ(app.hooks, inRestore ? (V{"OnWindowCreated", "CreateResources", "RestoreDeviceObjects",
                                            "InvalidateDeviceObjects", "DeleteResources"})
                                       : (V{"OnWindowCreated", "CreateResources", "DeleteResources"}));
        EXPECT_EQ(app.m_device, nullptr);
        EXPECT_EQ(g_pLastRecordingDevice, nullptr);
        EXPECT_EQ(app.m_direct3d, nullptr);
    }
    EXPECT_TRUE(beeps.empty());
}

// The count changes only in a frame more than a second after the window began; the window then
// moves on by exactly one second, so after a stall it catches up one second a frame.
TEST_F(AppTest, FrameRateCountsWindowsOfMoreThanOneSecond) {
    now = 0;
    TestApp app(NextClassName());
    ASSERT_TRUE(app.Init(nullptr, "-w"));
    for (now = 100; now <= 1000; now += 100)
        app.Frame();
    EXPECT_EQ(app.FramesPerSecond(), 0u); // 1000 is not more than 0 + 1000
    const std::pair<uint32_t, uint32_t> frames[] = {
        {1001, 11}, // 100 ... 1001; the window starts at 1000
        {5000, 1},  // windows 2000, 3000, 4000 and 5000 follow frame by frame
        {5001, 1},  {5002, 1}, {5003, 1},
        {5500, 1},  {6001, 2}, // 5500 and 6001: the window began at 5000, not at 5003
    };
    for (auto [at, expected] : frames) {
        now = at;
        app.Frame();
        EXPECT_EQ(app.FramesPerSecond(), expected) << at;
    }
}

TEST_F(AppTest, ElapsedAfterAPauseCountsFromTheResume) {
    TestApp app(NextClassName());
    ASSERT_TRUE(app.Init(nullptr, "-w"));
    now = 1016;
    app.Frame();
    EXPECT_EQ(app.updates.back().elapsed, 16u);

    SendMessageA(app.m_window, WM_SIZE, SIZE_MINIMIZED, 0);
    EXPECT_FALSE(app.m_active);
    SendMessageA(app.m_window, WM_ENTERSIZEMOVE, 0, 0);
    now = 4000;
    SendMessageA(app.m_window, WM_SIZE, SIZE_RESTORED, 0);
    EXPECT_FALSE(app.m_active); // the size-move pause still holds
    now = 5000;
    SendMessageA(app.m_window, WM_EXITSIZEMOVE, 0, 0);
    EXPECT_TRUE(app.m_active);
    now = 5020;
    app.Frame();
    EXPECT_EQ(app.updates.back().now, 5020u);
    EXPECT_EQ(app.updates.back().elapsed, 20u);

    // A restore without a minimize before it changes nothing.
    SendMessageA(app.m_window, WM_SIZE, SIZE_RESTORED, 0);
    EXPECT_TRUE(app.m_active);
    SendMessageA(app.m_window, WM_ENTERMENULOOP, 0, 0);
    EXPECT_FALSE(app.m_active);
    SendMessageA(app.m_window, WM_EXITMENULOOP, 0, 0);
    EXPECT_TRUE(app.m_active);
}

TEST_F(AppTest, DeviceLossWaitsThenResetsOnceAndElapsedCoversTheLoss) {
    TestApp app(NextClassName());
    ASSERT_TRUE(app.Init(nullptr, "-w"));
    app.onUpdate = [&] {
        now += 16;
        if (app.updates.size() == 2)
            Device(app).LoseDevice();
        if (app.updates.size() == 4)
            app.Quit();
    };
    app.hooks.clear();
    EXPECT_EQ(app.Run(), 0);
    ASSERT_EQ(app.updates.size(), 4u);
    // Lost: one pass that only waits, one that resets, one that finds the device usable again.
    EXPECT_EQ(sleeps, (std::vector<DWORD>{100, 100, 100}));
    EXPECT_EQ(app.Count("InvalidateDeviceObjects"), 2); // the reset, then the shutdown
    EXPECT_EQ(app.Count("RestoreDeviceObjects"), 1);
    EXPECT_EQ(app.updates[2].elapsed, app.updates[2].now - app.updates[1].now);
    EXPECT_GE(app.updates[2].elapsed, 300u);
    EXPECT_EQ(app.hooks.back(), "DeleteResources");
}

TEST_F(AppTest, DeviceLossResetFollowsTheLossCodesFrameByFrame) {
    TestApp app(NextClassName());
    ASSERT_TRUE(app.Init(nullptr, "-w"));
    CRecordingDevice& device = Device(app);
    device.knobs.lostTestsBeforeNotReset = 2;
    device.LoseDevice();
    app.Frame(); // presents into the lost device
    EXPECT_TRUE(app.m_deviceLost);
    app.hooks.clear();
    app.updates.clear();
    app.Frame();
    app.Frame();
    EXPECT_TRUE(app.hooks.empty());
    app.Frame(); // not reset: reset, nothing drawn
    EXPECT_EQ(app.hooks, (std::vector<std::string>{"InvalidateDeviceObjects", "RestoreDeviceObjects"}));
    EXPECT_TRUE(app.updates.empty());
    EXPECT_EQ(device.CallsOf(CallKind::Reset).size(), 1u);
    EXPECT_EQ(device.Parameters().Windowed, TRUE);
    app.Frame();
    EXPECT_FALSE(app.m_deviceLost);
    EXPECT_EQ(app.updates.size(), 1u);
}

TEST_F(AppTest, FailedResetIsLoggedAndLeavesTheFrame) {
    TestApp app(NextClassName());
    ASSERT_TRUE(app.Init(nullptr, "-w"));
    CRecordingDevice& device = Device(app);
    device.knobs.failReset = true;
    device.knobs.lostTestsBeforeNotReset = 0;
    device.LoseDevice();
    app.Frame();
    try {
        app.Frame();
        FAIL() << "no error";
    } catch (const CError& error) {
        EXPECT_STREQ(error.message, "Błąd podczas resetowania urządzenia");
        EXPECT_EQ(error.line, 250);
        EXPECT_EQ(error.resultCode, D3DERR_INVALIDCALL);
    }
}

TEST_F(AppTest, ErrorInAFrameClosesTheWindowAndShutsDownOnce) {
    TestApp app(NextClassName());
    ASSERT_TRUE(app.Init(nullptr, "-w"));
    app.onUpdate = [] { throw CError(ERR_NORMAL, "frame", "test", 1, 0); };
    app.hooks.clear();
    EXPECT_EQ(app.Run(), 0);
    EXPECT_EQ(app.Count("OnClose"), 1);
    EXPECT_EQ(app.Count("DeleteResources"), 1);
    EXPECT_EQ(app.m_device, nullptr);
    EXPECT_EQ(app.m_direct3d, nullptr);
    EXPECT_TRUE(beeps.empty());
}

TEST_F(AppTest, DeviceStillReferencedAtShutdownBeepsOnce) {
    TestApp app(NextClassName());
    IDirect3DTexture9* leaked = nullptr;
    app.onCreateResources = [&] {
        app.m_device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &leaked, nullptr);
    };
    ASSERT_TRUE(app.Init(nullptr, "-w"));
    app.onUpdate = [&] { app.Quit(); };
    app.Run();
    EXPECT_EQ(beeps, (std::vector<std::pair<DWORD, DWORD>>{{1500, 333}}));
    ASSERT_NE(leaked, nullptr);
    leaked->Release();
}

// A full-screen app's back buffer is A8R8G8B8 at the app's size, and its paint never redraws.
TEST_F(AppTest, PaintRedrawsOnlyAPausedWindow) {
    TestApp app(NextClassName());
    ASSERT_TRUE(app.Init(nullptr, "-w"));
    CRecordingDevice& device = Device(app);
    app.hooks.clear();
    SendMessageA(app.m_window, WM_PAINT, 0, 0);
    EXPECT_TRUE(app.hooks.empty());
    SendMessageA(app.m_window, WM_ENTERSIZEMOVE, 0, 0);
    size_t presents = device.CallsOf(CallKind::Present).size();
    SendMessageA(app.m_window, WM_PAINT, 0, 0);
    EXPECT_EQ(app.hooks, (std::vector<std::string>{"Render"}));
    EXPECT_EQ(device.CallsOf(CallKind::Present).size(), presents + 1);

    TestApp fullScreen(NextClassName());
    ASSERT_TRUE(fullScreen.Init(nullptr, ""));
    const D3DPRESENT_PARAMETERS& p = g_deviceRequests.back().parameters;
    EXPECT_EQ(p.BackBufferFormat, D3DFMT_A8R8G8B8);
    EXPECT_EQ(p.Windowed, FALSE);
    EXPECT_EQ(p.BackBufferWidth, 640u);
    fullScreen.hooks.clear();
    SendMessageA(fullScreen.m_window, WM_ENTERMENULOOP, 0, 0);
    SendMessageA(fullScreen.m_window, WM_PAINT, 0, 0);
    EXPECT_TRUE(fullScreen.hooks.empty());
}

TEST_F(AppTest, CloseReleasesDirect3DAndQuitsWithCodeZero) {
    TestApp app(NextClassName());
    ASSERT_TRUE(app.Init(nullptr, "-w"));
    EXPECT_EQ(SendMessageA(app.m_window, WM_CLOSE, 0, 0), 0);
    EXPECT_EQ(app.m_direct3d, nullptr);
    EXPECT_EQ(app.Count("OnClose"), 1);
    EXPECT_EQ(app.Run(), 0);
    EXPECT_EQ(app.m_device, nullptr);
    EXPECT_EQ(app.hooks.back(), "DeleteResources");
}

TEST_F(AppTest, QuitRequestedEndsWithCodeZeroWhateverMessageCameLast) {
    TestApp app(NextClassName());
    ASSERT_TRUE(app.Init(nullptr, "-w"));
    PostMessageA(app.m_window, WM_KEYUP, VK_RETURN, 0);
    app.onUpdate = [&] { app.Quit(); };
    EXPECT_EQ(app.Run(), 0);
}

// While minimised the loop waits in GetMessageA: no frames, and the thread uses no processor
// time until a message arrives (here a close request posted 300 ms later by another thread).
TEST_F(AppTest, MinimisedLoopBlocksUntilAMessageArrives) {
    TestApp app(NextClassName());
    ASSERT_TRUE(app.Init(nullptr, "-w"));
    SendMessageA(app.m_window, WM_SIZE, SIZE_MINIMIZED, 0);
    ASSERT_FALSE(app.m_active);
    app.hooks.clear();

    HWND window = app.m_window;
    std::thread closer([window] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        PostMessageA(window, WM_CLOSE, 0, 0);
    });
    timespec before{}, after{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &before);
    int code = app.Run();
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &after);
    closer.join();

    EXPECT_EQ(code, 0);
    EXPECT_EQ(app.Count("Render"), 0);
    double busyMs = (after.tv_sec - before.tv_sec) * 1e3 + (after.tv_nsec - before.tv_nsec) / 1e6;
    // A loop that polled instead of waiting would have burnt the whole 300 ms.
    EXPECT_LT(busyMs, 100.0);
}

} // namespace
