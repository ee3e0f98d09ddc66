// The window under a real X server (Xvfb): resized, fullscreen and back, the
// game's 1280x720 picture is shown whole, aspect kept, with black bars. The
// pixels are read back from the X server itself.

// Google Test before the X headers: their macros (None, Bool) break its own.
#include <gtest/gtest.h>

#include "framework/graphics/AxDirect3D.h"
#include "framework/platform/Platform.h"
#include "framework/platform/WindowBackend.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <epoxy/gl.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

extern char** environ;

TEST(FitPicture, KeepsTheAspectAndCentresWithBars) {
    auto check = [](int tw, int th, int x, int y, int w, int h) {
        const AxFitRect fit = FitPicture(1280, 720, tw, th);
        EXPECT_EQ(fit.x, x) << tw << "x" << th;
        EXPECT_EQ(fit.y, y) << tw << "x" << th;
        EXPECT_EQ(fit.width, w) << tw << "x" << th;
        EXPECT_EQ(fit.height, h) << tw << "x" << th;
    };
    check(1280, 720, 0, 0, 1280, 720);
    check(2560, 1440, 0, 0, 2560, 1440);  // HiDPI: the drawable is twice the window
    check(1920, 1200, 0, 60, 1920, 1080);  // 16:10, bars above and below
    check(1600, 600, 266, 0, 1067, 600);   // wide: bars left and right
    check(1000, 1000, 0, 218, 1000, 563);
    check(0, 720, 0, 0, 0, 0);  // minimised
    check(1, 1, 0, 0, 1, 1);
    for (int tw = 1; tw < 400; tw += 7) {
        for (int th = 1; th < 400; th += 11) {
            const AxFitRect fit = FitPicture(1280, 720, tw, th);
            ASSERT_TRUE(fit.x >= 0 && fit.y >= 0 && fit.x + fit.width <= tw && fit.y + fit.height <= th);
            ASSERT_TRUE(fit.width == tw || fit.height == th) << "as large as fits";
            ASSERT_LE(std::abs((tw - fit.width) - 2 * fit.x), 1) << "centred";
            ASSERT_LE(std::abs((th - fit.height) - 2 * fit.y), 1) << "centred";
        }
    }
}

namespace {
class XServerTest : public ::testing::Test {
protected:
    // One server for the suite: SDL stays on the display it first opened.
    static void SetUpTestSuite() { serverUp = StartServer(); }
    static void TearDownTestSuite() {
        if (server > 0) {
            kill(server, SIGTERM);
            waitpid(server, nullptr, 0);
        }
        server = 0;
    }
    void SetUp() override {
        if (!serverUp) GTEST_SKIP() << "Xvfb cannot start here";
        SetHeadless(false);
        std::string error;
        window = WindowBackend::Create(1280, 720, "Vorlan Moto", error);
        ASSERT_NE(window, nullptr) << error;
        ASSERT_STREQ(SDL_GetCurrentVideoDriver(), "x11");
        ASSERT_TRUE(AxDirect3D::GetInstance().Init(window, 1280, 720, false, error)) << error;
        DrawTwoHalves();
    }
    void TearDown() override {
        AxDirect3D::GetInstance().Release();
        if (window) WindowBackend::Destroy(window);
        window = nullptr;
        SetHeadless(true);
    }

    // Xvfb picks a free display and says which on a pipe.
    static bool StartServer() {
        int fds[2];
        if (pipe(fds) != 0) return false;
        const std::string fd = std::to_string(fds[1]);
        const char* argv[] = {"Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1920x1080x24",
                              "-nolisten", "tcp", nullptr};
        // Its chatter would hold the test's output pipes open.
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        const int spawned = posix_spawnp(&server, "Xvfb", &actions, nullptr, const_cast<char**>(argv), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        std::string display;
        if (spawned == 0) {
            pollfd p{fds[0], POLLIN, 0};
            char c;
            while (poll(&p, 1, 10000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n') display += c;
        } else {
            server = 0;
        }
        close(fds[0]);
        if (display.empty()) return false;
        setenv("DISPLAY", (":" + display).c_str(), 1);
        return true;
    }

    // The game's picture: left half red, right half green.
    static void DrawTwoHalves() {
        AxDirect3D& device = AxDirect3D::GetInstance();
        device.ClearBackBuffer(0.0f, 1.0f, 0.0f, 1.0f);
        glEnable(GL_SCISSOR_TEST);
        glScissor(0, 0, 640, 720);
        glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        glDisable(GL_SCISSOR_TEST);
    }

    // Resizes and waits until the server and SDL agree on the new size.
    void Resize(int width, int height) {
        // Wholly on the screen, or the server will not hand its pixels out.
        SDL_SetWindowPosition(static_cast<SDL_Window*>(window), 0, 0);
        SDL_SetWindowSize(static_cast<SDL_Window*>(window), width, height);
        WaitForSize(width, height);
    }
    void WaitForSize(int width, int height) {
        int w = 0, h = 0;
        for (int tries = 0; tries < 200; ++tries) {
            WindowBackend::PumpEvents();
            WindowBackend::DrawableSize(window, w, h);
            if (w == width && h == height) return;
            SDL_Delay(10);
        }
        FAIL() << "window is " << w << "x" << h << ", not " << width << "x" << height;
    }

    // What the X server shows in the window after the game presents.
    struct Shot {
        XImage* image = nullptr;
        ~Shot() {
            if (image) XDestroyImage(image);
        }
        // 'R', 'G', 'K' (black) or '?' at x, y from the top left.
        char At(int x, int y) const {
            const unsigned long p = XGetPixel(image, x, y);
            const int r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
            if (r > 200 && g < 40 && b < 40) return 'R';
            if (g > 200 && r < 40 && b < 40) return 'G';
            if (r < 10 && g < 10 && b < 10) return 'K';
            return '?';
        }
    };
    void Present(Shot& shot, int& width, int& height) {
        AxDirect3D::GetInstance().Present();
        glFinish();
        SDL_SysWMinfo info;
        SDL_VERSION(&info.version);
        ASSERT_TRUE(SDL_GetWindowWMInfo(static_cast<SDL_Window*>(window), &info));
        Display* display = info.info.x11.display;
        WindowBackend::DrawableSize(window, width, height);
        // The server refuses to read a window that is not on screen yet.
        XWindowAttributes attributes{};
        for (int tries = 0; tries < 200; ++tries) {
            XSync(display, False);
            XGetWindowAttributes(display, info.info.x11.window, &attributes);
            if (attributes.map_state == IsViewable && attributes.width == width && attributes.height == height) break;
            WindowBackend::PumpEvents();
            SDL_Delay(10);
        }
        ASSERT_EQ(attributes.map_state, IsViewable);
        AxDirect3D::GetInstance().Present();
        glFinish();
        XSync(display, False);
        shot.image = XGetImage(display, info.info.x11.window, 0, 0, width, height, AllPlanes, ZPixmap);
        ASSERT_NE(shot.image, nullptr);
    }

    static inline pid_t server = 0;
    static inline bool serverUp = false;
    void* window = nullptr;
};
}  // namespace

TEST_F(XServerTest, ThePictureFitsEveryWindowShapeBetweenBlackBars) {
    int w = 0, h = 0;
    {
        Shot shot;
        Present(shot, w, h);
        EXPECT_EQ(shot.At(0, 0), 'R');
        EXPECT_EQ(shot.At(639, 719), 'R');
        EXPECT_EQ(shot.At(640, 0), 'G');
        EXPECT_EQ(shot.At(1279, 719), 'G');
    }
    // Taller than 16:9: bars above and below, the picture 1000x563 at y 218.
    Resize(1000, 1000);
    {
        Shot shot;
        Present(shot, w, h);
        for (int x : {0, 500, 999}) {
            EXPECT_EQ(shot.At(x, 0), 'K');
            EXPECT_EQ(shot.At(x, 216), 'K');
            EXPECT_EQ(shot.At(x, 785), 'K');
            EXPECT_EQ(shot.At(x, 999), 'K');
        }
        EXPECT_EQ(shot.At(2, 222), 'R');
        EXPECT_EQ(shot.At(495, 500), 'R');
        EXPECT_EQ(shot.At(505, 500), 'G');
        EXPECT_EQ(shot.At(997, 779), 'G');
    }
    // Wider: bars left and right, the picture 1067x600 at x 266.
    Resize(1600, 600);
    {
        Shot shot;
        Present(shot, w, h);
        for (int y : {0, 300, 599}) {
            EXPECT_EQ(shot.At(0, y), 'K');
            EXPECT_EQ(shot.At(264, y), 'K');
            EXPECT_EQ(shot.At(1336, y), 'K');
            EXPECT_EQ(shot.At(1599, y), 'K');
            EXPECT_EQ(shot.At(270, y), 'R');
            EXPECT_EQ(shot.At(795, y), 'R');
            EXPECT_EQ(shot.At(805, y), 'G');
            EXPECT_EQ(shot.At(1330, y), 'G');
        }
    }
}

TEST_F(XServerTest, F11AndAltEnterSwitchBorderlessFullscreen) {
    auto press = [](SDL_Scancode code, Uint16 mod) {
        SDL_Event event{};
        event.type = SDL_KEYDOWN;
        event.key.keysym.scancode = code;
        event.key.keysym.sym = SDL_GetKeyFromScancode(code);
        event.key.keysym.mod = mod;
        SDL_PushEvent(&event);
    };
    press(SDL_SCANCODE_F11, KMOD_NONE);
    EXPECT_FALSE(WindowBackend::PumpEvents().close);
    EXPECT_TRUE(WindowBackend::IsFullscreen(window));
    WaitForSize(1920, 1080);  // the whole screen
    press(SDL_SCANCODE_RETURN, KMOD_LALT);
    WindowBackend::PumpEvents();
    EXPECT_FALSE(WindowBackend::IsFullscreen(window));
    // Back to the old size is the window manager's to do; Xvfb has none.
    press(SDL_SCANCODE_RETURN, KMOD_NONE);  // Enter alone is the game's
    WindowBackend::PumpEvents();
    EXPECT_FALSE(WindowBackend::IsFullscreen(window));
}
