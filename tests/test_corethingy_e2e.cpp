// End to end: a real window of the application base under the X server of the test run,
// with keys, clicks, wheel steps and pointer motion injected by xdotool and taken in by the
// real frame step (event polling, limiter and all).
#include "corethingy_testing.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

std::string Output(const std::string& cmd) {
    std::string out;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return out;
    char buf[256];
    while (fgets(buf, sizeof buf, p))
        out += buf;
    pclose(p);
    return out;
}

bool HaveXTools() {
    return system("command -v xdotool >/dev/null 2>&1 && command -v Xvfb >/dev/null 2>&1") == 0;
}

// Keyboard focus and the pointer belong to the whole X server, and other tests open windows
// on the shared one at the same time. So each test here runs again in a child process on an
// X server of its own, and the parent only checks the child's outcome.
const char* const kPrivateServerVar = "VELK_E2E_PRIVATE_X";

bool InPrivateServer() {
    return getenv(kPrivateServerVar) != nullptr;
}

// Starts an X server of our own on a display that the server itself picks as free
// (-displayfd), so that parallel tests never end up sharing one. Returns its pid and
// display number, or -1.
pid_t StartPrivateServer(int* display) {
    int fds[2];
    if (pipe(fds) != 0) return -1;
    pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        std::string fd = std::to_string(fds[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
               (char*)nullptr);
        _exit(127);
    }
    close(fds[1]);
    std::string number;
    char c;
    while (pid > 0 && read(fds[0], &c, 1) == 1 && c != '\n')
        number += c;
    close(fds[0]);
    if (pid > 0 && number.empty()) {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
        return -1;
    }
    *display = atoi(number.c_str());
    return pid;
}

// Runs the current test in a child process on a private X server; true when it passed.
bool RunInPrivateServer() {
    char self[4096];
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return false;
    self[n] = 0;
    int display = 0;
    // A server started at the same moment for a fixed display number (xvfb-run, say) can
    // lock the number ours has just picked, and ours then gives up; it is started again.
    pid_t server = -1;
    for (int attempt = 0; attempt < 3 && server < 0; attempt++)
        server = StartPrivateServer(&display);
    if (server < 0) {
        printf("could not start Xvfb\n");
        return false;
    }
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string filter = std::string(info->test_suite_name()) + "." + info->name();
    std::string cmd = "env DISPLAY=:" + std::to_string(display) + " " + kPrivateServerVar + "=1 '" + self +
                      "' --gtest_filter=" + filter + " 2>&1";
    std::string out;
    int rc = -1;
    if (FILE* p = popen(cmd.c_str(), "r")) {
        char buf[512];
        while (fgets(buf, sizeof buf, p))
            out += buf;
        rc = pclose(p);
    }
    kill(server, SIGTERM);
    waitpid(server, nullptr, 0);
    // The child must have run exactly this test, not an empty selection.
    bool passed = rc == 0 && out.find("[  PASSED  ] 1 test.") != std::string::npos;
    if (!passed) printf("%s", out.c_str());
    return passed;
}

class RealWindow : public ::testing::Test {
  protected:
    RecordingCore core;
    std::string id;

    void SetUp() override {
        if (!HaveXTools()) GTEST_SKIP() << "xdotool or Xvfb is not installed";
        if (!InPrivateServer()) {
            delegated = true;
            ASSERT_TRUE(RunInPrivateServer());
            return;
        }
        core.SetupStandardWindow();
        ASSERT_TRUE(core.window.isOpen());
        core.input.keyState.SetDefaults();
        id = std::to_string((unsigned long)core.window.getSystemHandle());
        // Past the warm-up frames, so that pointer motion counts.
        for (int i = 0; i < 6; i++)
            core.TimeStep();
        ASSERT_EQ(Run("xdotool windowfocus --sync " + id), 0);
        ASSERT_EQ(Run("xdotool mousemove --window " + id + " 512 384"), 0);
        Steps(3);
        core.gameKeys.clear();
        steps.clear();
        LogStep();
    }
    int Run(const std::string& cmd) { return system((cmd + " >/dev/null 2>&1").c_str()); }
    // Frame steps until `done` holds or `limit` steps (two seconds of frames by default)
    // have passed; the OR of the step results is kept in `result`.
    bool StepUntil(const std::function<bool()>& done, int limit = 120) {
        for (int i = 0; i < limit; i++) {
            Step();
            if (done()) return true;
        }
        return false;
    }
    void Steps(int n) {
        for (int i = 0; i < n; i++)
            Step();
    }
    void Step() {
        result |= core.TimeStep();
        LogStep();
    }
    // The engine's wall time after each step and the game keys received up to then, so
    // that timing checks are made on the engine's own clock: a loaded machine stretches
    // the steps, not the rules.
    struct StepRecord {
        float wallTime;
        size_t keys;
    };
    std::vector<StepRecord> steps;
    void LogStep() { steps.push_back({core.wallTime, core.gameKeys.size()}); }
    // How many (gameKey, state) calls step `s` of the log made.
    int CountIn(size_t s, int gameKey, int state) {
        int n = 0;
        for (size_t k = steps[s - 1].keys; k < steps[s].keys; k++)
            n += core.gameKeys[k].first == gameKey && core.gameKeys[k].second == state;
        return n;
    }
    bool Saw(int gameKey, int state) {
        for (auto& k : core.gameKeys)
            if (k.first == gameKey && k.second == state) return true;
        return false;
    }
    int Count(int gameKey, int state) {
        int n = 0;
        for (auto& k : core.gameKeys)
            n += (k.first == gameKey && k.second == state);
        return n;
    }
    int result = 0;
    bool delegated = false; // the child process ran the test
};

#define E2E_BODY()                                                                                           \
    if (delegated) return

TEST_F(RealWindow, TitleIsVelkEngine) {
    E2E_BODY();
    EXPECT_EQ(Output("xdotool getwindowname " + id), "velkEngine\n");
}

TEST_F(RealWindow, KeyPressAndReleaseBecomeGameKeys) {
    E2E_BODY();
    core.SetKeyBind(7, sf::Keyboard::A, false);
    ASSERT_EQ(Run("xdotool key a"), 0);
    EXPECT_TRUE(StepUntil([&] { return Saw(7, 0); }));
    EXPECT_EQ(Count(7, 1), 1);
    EXPECT_EQ(Count(7, 0), 1);
    EXPECT_EQ(result, 0);
}

TEST_F(RealWindow, HeldKeyRepeatsAfterTheDelay) {
    E2E_BODY();
    core.SetKeyBind(7, sf::Keyboard::A, false);
    ASSERT_EQ(Run("xdotool keydown a"), 0);
    EXPECT_TRUE(StepUntil([&] { return Saw(7, 1); }));
    // Held for 0.9 s of the engine's wall time (the delay and about eleven repeats) and
    // at least eight repeats.
    float pressedAt = core.wallTime;
    // Repeats come at most one per step: a loaded machine needs more steps for eight.
    EXPECT_TRUE(StepUntil([&] { return core.wallTime - pressedAt >= 0.9f && Count(7, 2) >= 8; }, 600));
    ASSERT_EQ(Run("xdotool keyup a"), 0);
    EXPECT_TRUE(StepUntil([&] { return Saw(7, 0); }));
    EXPECT_EQ(Count(7, 1), 1); // X key repeat events do not press again

    // Step by step: the press counts from the previous step's wall time; the first repeat
    // comes in the first step whose wall time is 0.4 s past that, then one every 0.045 s,
    // at most one per step, none from the release on.
    bool held = false;
    float next = 0;
    int firstRepeat = -1, pressStep = -1;
    for (size_t s = 1; s < steps.size(); s++) {
        if (CountIn(s, 7, 1)) {
            held = true;
            pressStep = (int)s;
            next = steps[s - 1].wallTime + core.repeatDelay;
        }
        if (CountIn(s, 7, 0)) held = false;
        int expected = held && steps[s].wallTime >= next ? 1 : 0;
        if (expected) next += core.repeatInterval;
        EXPECT_EQ(CountIn(s, 7, 2), expected) << "step " << s << " at " << steps[s].wallTime;
        if (expected && firstRepeat < 0) firstRepeat = (int)s;
    }
    ASSERT_GT(pressStep, 0);
    // A press step longer than the delay (a loaded machine) repeats in that same step.
    ASSERT_GE(firstRepeat, pressStep);
    EXPECT_GE(steps[firstRepeat].wallTime - steps[pressStep - 1].wallTime, 0.4f);
}

TEST_F(RealWindow, EscapeEndsTheStep) {
    E2E_BODY();
    ASSERT_EQ(Run("xdotool key Escape"), 0);
    EXPECT_TRUE(StepUntil([&] { return result != 0; }));
    EXPECT_EQ(result, -1);
}

TEST_F(RealWindow, TypingModeDropsKeysButNotEscape) {
    E2E_BODY();
    core.SetTypingMode(1);
    ASSERT_EQ(Run("xdotool key b"), 0);
    Steps(10);
    EXPECT_TRUE(core.gameKeys.empty());
    EXPECT_TRUE(core.typed.empty());
    ASSERT_EQ(Run("xdotool key Escape"), 0);
    EXPECT_TRUE(StepUntil([&] { return result != 0; }));
    EXPECT_EQ(result, -1);
    EXPECT_TRUE(Saw(36, 1));
}

TEST_F(RealWindow, ClicksAndWheelSteps) {
    E2E_BODY();
    core.SetKeyBind(1, 101, false);
    core.SetKeyBind(2, 102, false);
    core.SetKeyBind(3, 106, false);
    core.SetKeyBind(4, 107, false);
    ASSERT_EQ(Run("xdotool click 1 click 3"), 0);
    EXPECT_TRUE(StepUntil([&] { return Saw(2, 0); }));
    EXPECT_TRUE(Saw(1, 1));
    EXPECT_TRUE(Saw(1, 0));
    EXPECT_TRUE(Saw(2, 1));
    // X11 sends two SFML events per notch; each notch must count once.
    ASSERT_EQ(Run("xdotool click 4 click 5 click 5"), 0);
    EXPECT_TRUE(StepUntil([&] { return Count(4, 1) == 2; }));
    Steps(5);
    EXPECT_EQ(Count(3, 1), 1);
    EXPECT_EQ(Count(4, 1), 2);
    EXPECT_FALSE(Saw(3, 0));
    EXPECT_FALSE(Saw(4, 0));
}

TEST_F(RealWindow, LockedMouseIsWarpedBackAndMovesTheVirtualCursor) {
    E2E_BODY();
    ASSERT_TRUE(core.mouseLocked);
    float cursorBefore = core.cursorX;
    ASSERT_EQ(Run("xdotool mousemove --window " + id + " 612 384"), 0);
    EXPECT_TRUE(StepUntil([&] { return core.cursorX != cursorBefore; }));
    EXPECT_NEAR(core.cursorX - cursorBefore, 100.0f / 1024, 1e-4f);
    Steps(3);
    // The pointer sits at the window centre again.
    std::string loc = Output("xdotool getmouselocation --shell");
    sf::Vector2i p = sf::Mouse::getPosition(core.window);
    EXPECT_EQ(p, sf::Vector2i(512, 384)) << loc;
}

TEST_F(RealWindow, FreeMouseFollowsThePointer) {
    E2E_BODY();
    core.SetMouseState(-1, 0);
    ASSERT_EQ(Run("xdotool mousemove --window " + id + " 256 192"), 0);
    EXPECT_TRUE(StepUntil([&] { return core.mouseX == 0.25f; }));
    EXPECT_FLOAT_EQ(core.mouseY, 0.25f);
    EXPECT_EQ(sf::Mouse::getPosition(core.window), sf::Vector2i(256, 192));
}

// A fullscreen window grabs the pointer and keyboard of its server, so it too opens only on
// a private one.
TEST(RealFullscreen, UnlistedSizeTakesTheListedModeWithViewportAndAspect) {
    if (!HaveXTools()) GTEST_SKIP() << "xdotool or Xvfb is not installed";
    if (!InPrivateServer()) {
        ASSERT_TRUE(RunInPrivateServer());
        return;
    }
    std::vector<sf::VideoMode> modes = sf::VideoMode::getFullscreenModes();
    ASSERT_FALSE(modes.empty());
    RecordingCore core;
    core.width = 333; // no display lists this size
    core.height = 222;
    core.fullscreen = true;
    core.SetupStandardWindow();
    ASSERT_TRUE(core.window.isOpen());
    ASSERT_TRUE(core.window.setActive(true));
    sf::Vector2u size = core.window.getSize();
    EXPECT_EQ(size, sf::Vector2u(modes[0].width, modes[0].height));
    EXPECT_EQ(core.width, (int)size.x);
    EXPECT_EQ(core.height, (int)size.y);
    EXPECT_FLOAT_EQ(core.aspect, (float)size.x / size.y);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], (GLint)size.x);
    EXPECT_EQ(viewport[3], (GLint)size.y);
}

} // namespace
