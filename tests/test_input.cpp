// Input handling of the application base: key binding, game keys and press states, key
// repeat, typing mode, mouse buttons, wheel steps and mouse motion with the lock, all fed
// as SFML events through the frame step's own event handling with a scripted clock.
#include "corethingy_testing.h"

#include <gtest/gtest.h>
#include <string>

namespace {

const int A = sf::Keyboard::A; // 0
const int B = sf::Keyboard::B; // 1
const int Esc = sf::Keyboard::Escape;

typedef std::vector<std::pair<int, int>> Calls;

using InputTest = ScriptedClockTest;

// ---- Binding table ------------------------------------------------------------------

TEST(KeyStateTest, FreshStateIsUnboundAndReleased) {
    KeyState keys;
    for (int i = 0; i < kInputCodeCount; i++) {
        EXPECT_EQ(keys.binding[i], -1) << i;
        EXPECT_FALSE(keys.keyDown[i]) << i;
    }
    keys.binding[5] = 3;
    keys.SetDefaults();
    EXPECT_EQ(keys.binding[5], -1);
    EXPECT_EQ(keys.GameKey(-1), -1);
    EXPECT_EQ(keys.GameKey(108), -1);
}

TEST(KeyStateTest, CodeHelpers) {
    EXPECT_EQ(WheelInputCode(-1), 107);
    EXPECT_EQ(WheelInputCode(1), 106);
    EXPECT_EQ(WheelInputCode(-2), 106);
    EXPECT_EQ(WheelInputCode(0), 106);
    EXPECT_EQ(MouseButtonInputCode(0), 101);
    EXPECT_EQ(MouseButtonInputCode(4), 105);
    EXPECT_EQ(MouseButtonInputCode(5), -1);
    EXPECT_EQ(MouseButtonInputCode(-1), -1);
}

TEST_F(InputTest, NonAdditiveBindReplacesTheGameKeysOtherCodes) {
    core.SetKeyBind(5, 20, false);
    core.SetKeyBind(5, 10, false);
    EXPECT_EQ(core.input.keyState.binding[20], -1);
    EXPECT_EQ(core.input.keyState.binding[10], 5);
}

TEST_F(InputTest, AdditiveBindKeepsTheOtherCodes) {
    core.SetKeyBind(5, 20, false);
    core.SetKeyBind(5, 10, true);
    EXPECT_EQ(core.input.keyState.binding[20], 5);
    EXPECT_EQ(core.input.keyState.binding[10], 5);
    Step(0.1f, {KeyEvent(20, true), KeyEvent(10, true)});
    EXPECT_EQ(core.gameKeys, (Calls{{5, 1}, {5, 1}}));
}

TEST_F(InputTest, BindingMinusOneUnbindsAndOutOfRangeCodesAreNotWritten) {
    core.SetKeyBind(7, 3, false);
    core.SetKeyBind(-1, 3, true);
    EXPECT_EQ(core.input.keyState.binding[3], -1);

    core.SetKeyBind(9, 4, false);
    // Out of range: nothing written, but a non-additive call still unbinds game key 9.
    core.SetKeyBind(9, 108, false);
    core.SetKeyBind(9, -1, true);
    EXPECT_EQ(core.input.keyState.binding[4], -1);
    for (int i = 0; i < kInputCodeCount; i++)
        EXPECT_NE(core.input.keyState.binding[i], 9) << i;
}

TEST_F(InputTest, MouseButtonsAndWheelCanBeBound) {
    core.SetKeyBind(1, 101, false);
    core.SetKeyBind(2, 105, false);
    core.SetKeyBind(3, 106, false);
    core.SetKeyBind(4, 107, false);
    Step(0.1f, {ButtonEvent(0, true), ButtonEvent(4, true), ButtonEvent(4, false), ButtonEvent(5, true),
                WheelEvent(2), WheelEvent(-1), ButtonEvent(0, false)});
    EXPECT_EQ(core.gameKeys, (Calls{{1, 1}, {2, 1}, {2, 0}, {3, 1}, {4, 1}, {1, 0}}));
}

// ---- Press states -------------------------------------------------------------------

TEST_F(InputTest, PressAndReleaseOfABoundKey) {
    core.SetKeyBind(7, A, false);
    Step(0.1f, {KeyEvent(A, true)});
    Step(0.2f, {KeyEvent(A, true)}); // no release in between: nothing new
    Step(0.3f, {KeyEvent(A, false)});
    Step(0.4f, {KeyEvent(A, false)});
    EXPECT_EQ(core.gameKeys, (Calls{{7, 1}, {7, 0}}));
    EXPECT_EQ(core.typed, (std::vector<int>{A, A})); // every press is typed, handled or not
}

TEST_F(InputTest, KeyTypedComesBeforeKeyHappenOnPressesOnly) {
    struct OrderCore : RecordingCore {
        std::vector<std::string> log;
        void KeyTyped(int code) override { log.push_back("typed " + std::to_string(code)); }
        void KeyHappen(int code, bool pressed) override {
            log.push_back("happen " + std::to_string(code) + (pressed ? " down" : " up"));
        }
    } order;
    order.platform = &clock;
    StepAt(order, clock, 0.1f, {KeyEvent(A, true), KeyEvent(A, false), KeyEvent(B, true)});
    EXPECT_EQ(order.log, (std::vector<std::string>{"typed 0", "happen 0 down", "happen 0 up", "typed 1",
                                                   "happen 1 down"}));
}

TEST_F(InputTest, UnboundKeysReachNoGameKeyButAreTyped) {
    Step(0.1f, {KeyEvent(B, true), KeyEvent(B, false)});
    EXPECT_TRUE(core.gameKeys.empty());
    EXPECT_EQ(core.typed, (std::vector<int>{B}));
    EXPECT_FALSE(core.input.keyState.keyDown[B]);
}

TEST_F(InputTest, UnknownSfmlKeyIsTypedAndIgnored) {
    core.SetKeyBind(1, 0, false);
    EXPECT_EQ(Step(0.1f, {KeyEvent(-1, true), KeyEvent(-1, false)}), 0);
    EXPECT_EQ(core.typed, (std::vector<int>{-1}));
    EXPECT_EQ(core.rawKeys, (std::vector<std::pair<int, bool>>{{-1, true}, {-1, false}}));
    EXPECT_TRUE(core.gameKeys.empty());
    EXPECT_EQ(core.repeatKey, -1);
}

TEST_F(InputTest, WheelStepsArePressesThatNeverRelease) {
    core.SetKeyBind(8, 107, false);
    core.SetKeyBind(9, 106, false);
    Step(0.1f, {WheelEvent(-1), WheelEvent(-1), WheelEvent(1), WheelEvent(3)});
    EXPECT_EQ(core.gameKeys, (Calls{{8, 1}, {8, 1}, {9, 1}, {9, 1}}));
    EXPECT_FALSE(core.input.keyState.keyDown[106]);
    EXPECT_FALSE(core.input.keyState.keyDown[107]);
    EXPECT_EQ(core.repeatKey, -1); // a wheel step never starts key repeat
}

TEST_F(InputTest, WheelCountsOnceAlthoughSfmlSendsTwoEventsPerNotch) {
    core.SetKeyBind(8, 107, false);
    Step(0.1f, {WheelEvent(-1), ScrollEvent(-1.0f)});
    EXPECT_EQ(core.gameKeys, (Calls{{8, 1}}));
}

// ---- Escape and the step's result -----------------------------------------------------

TEST_F(InputTest, EscapeEndsTheStepOnlyWhenItIsTheLastPress) {
    EXPECT_EQ(Step(0.1f, {KeyEvent(A, true), KeyEvent(Esc, true)}), -1);
    EXPECT_EQ(Step(0.2f, {KeyEvent(Esc, true), KeyEvent(B, true)}), 0);
    // A release does not overwrite the result.
    EXPECT_EQ(Step(0.3f, {KeyEvent(Esc, true), KeyEvent(B, false)}), -1);
    EXPECT_EQ(Step(0.4f), 0); // the result starts at 0 in every step
}

TEST_F(InputTest, EscapeEndsTheStepWhetherBoundOrNot) {
    EXPECT_EQ(Step(0.1f, {KeyEvent(Esc, true)}), -1);
    EXPECT_TRUE(core.gameKeys.empty());
    core.SetKeyBind(3, Esc, false);
    EXPECT_EQ(Step(0.2f, {KeyEvent(Esc, false), KeyEvent(Esc, true)}), -1);
    EXPECT_EQ(core.gameKeys, (Calls{{3, 1}}));
}

TEST_F(InputTest, OtherEventsAreIgnored) {
    core.SetKeyBind(1, A, false);
    std::vector<sf::Event> events = {
        PlainEvent(sf::Event::Closed),      PlainEvent(sf::Event::LostFocus),
        PlainEvent(sf::Event::GainedFocus), PlainEvent(sf::Event::MouseEntered),
        PlainEvent(sf::Event::MouseLeft),   PlainEvent(sf::Event::JoystickConnected),
    };
    sf::Event text;
    text.type = sf::Event::TextEntered;
    text.text.unicode = 'a';
    events.push_back(text);
    EXPECT_EQ(Step(0.1f, events), 0);
    EXPECT_TRUE(core.rawKeys.empty());
    EXPECT_TRUE(core.typed.empty());
}

// ---- Typing mode ---------------------------------------------------------------------

TEST_F(InputTest, TypingModeDropsPressesButEscape) {
    core.SetKeyBind(7, A, false);
    core.SetTypingMode(1);
    EXPECT_EQ(Step(0.1f, {KeyEvent(A, true)}), 0);
    EXPECT_TRUE(core.typed.empty());
    EXPECT_TRUE(core.gameKeys.empty());
    // Its release still arrives and finds nothing to change.
    Step(0.2f, {KeyEvent(A, false)});
    EXPECT_EQ(core.rawKeys, (std::vector<std::pair<int, bool>>{{A, false}}));
    EXPECT_TRUE(core.gameKeys.empty());

    // Escape, buttons and wheel steps arrive with their raw input codes as game keys.
    EXPECT_EQ(Step(0.3f, {ButtonEvent(1, true), WheelEvent(-1), KeyEvent(Esc, true)}), -1);
    EXPECT_EQ(core.gameKeys, (Calls{{102, 1}, {107, 1}, {36, 1}}));
    EXPECT_EQ(core.typed, (std::vector<int>{Esc}));
}

TEST_F(InputTest, DroppedTypingPressDoesNotOverwriteAnEscape) {
    // Only handled presses set the step's result: a press dropped for typing leaves it.
    core.SetTypingMode(1);
    EXPECT_EQ(Step(0.1f, {KeyEvent(Esc, true), KeyEvent(A, true), KeyEvent(-1, true)}), -1);
    EXPECT_EQ(core.typed, (std::vector<int>{Esc}));
    core.SetTypingMode(0);
    EXPECT_EQ(Step(0.2f, {KeyEvent(Esc, true), KeyEvent(A, true)}), 0);
}

TEST_F(InputTest, KeyHeldWhenTypingStartsReleasesWithItsRawCode) {
    core.SetKeyBind(7, A, false);
    Step(0.1f, {KeyEvent(A, true)});
    core.SetTypingMode(1);
    Step(0.2f, {KeyEvent(A, false)});
    EXPECT_EQ(core.gameKeys, (Calls{{7, 1}, {A, 0}}));
}

// ---- Key repeat ----------------------------------------------------------------------

TEST_F(InputTest, RepeatStartsAfterTheDelayThenFollowsTheInterval) {
    core.SetKeyBind(7, A, false);
    Step(0.1f);
    Step(0.2f, {KeyEvent(A, true)}); // handled at the previous step's wall time, 0.1
    EXPECT_FLOAT_EQ(core.repeatTime, 0.5f);
    EXPECT_EQ(core.repeatKey, A);
    Step(0.3f);
    Step(0.49f);
    EXPECT_EQ(core.gameKeys, (Calls{{7, 1}}));
    Step(0.501f);
    EXPECT_EQ(core.gameKeys, (Calls{{7, 1}, {7, 2}}));
    Step(0.54f); // next one is due at 0.545
    EXPECT_EQ(core.gameKeys.size(), 2u);
    Step(0.546f);
    EXPECT_EQ(core.gameKeys.size(), 3u);
    EXPECT_EQ(core.gameKeys.back(), std::make_pair(7, 2));
    Step(0.6f, {KeyEvent(A, false)});
    EXPECT_EQ(core.repeatKey, -1);
    size_t n = core.gameKeys.size();
    Step(2.0f);
    EXPECT_EQ(core.gameKeys.size(), n); // no repeat after the release
    EXPECT_EQ(core.gameKeys.back(), std::make_pair(7, 0));
}

TEST_F(InputTest, RepeatThatFellBehindCatchesUpOneIntervalPerStep) {
    core.SetKeyBind(7, A, false);
    Step(0.1f, {KeyEvent(A, true)}); // due at 0.4 (the press saw wall time 0)
    EXPECT_FLOAT_EQ(core.repeatTime, 0.4f);
    int repeats = 0;
    for (int i = 0; i < 20; i++) {
        size_t before = core.gameKeys.size();
        Step(0.58f);
        EXPECT_LE(core.gameKeys.size(), before + 1) << "at most one repeat per step";
        repeats += (int)(core.gameKeys.size() - before);
    }
    // Due times 0.4, 0.445, 0.49, 0.535, 0.58 (the last within float rounding of 0.58).
    EXPECT_GE(repeats, 4);
    EXPECT_LE(repeats, 5);
    EXPECT_GT(core.repeatTime, 0.58f);
}

TEST_F(InputTest, OnlyTheFirstHeldKeyRepeats) {
    core.SetKeyBind(7, A, false);
    core.SetKeyBind(8, B, false);
    Step(0.1f, {KeyEvent(A, true)});
    Step(0.2f, {KeyEvent(B, true)});
    EXPECT_EQ(core.repeatKey, A);
    Step(0.3f, {KeyEvent(A, false)}); // releasing the first stops the repeat for good
    EXPECT_EQ(core.repeatKey, -1);
    Step(1.5f);
    EXPECT_EQ(core.gameKeys, (Calls{{7, 1}, {8, 1}, {7, 0}}));
}

TEST_F(InputTest, RepeatLooksUpTheBindingWhenItFires) {
    core.SetKeyBind(7, A, false);
    Step(0.1f, {KeyEvent(A, true)});
    core.SetKeyBind(9, A, false);
    Step(0.5f);
    EXPECT_EQ(core.gameKeys.back(), std::make_pair(9, 2));
}

TEST_F(InputTest, KeyUnboundWhileHeldRepeatsWithMinusOneAndReleasesSilently) {
    core.SetKeyBind(7, A, false);
    Step(0.1f, {KeyEvent(A, true)});
    core.SetKeyBind(-1, A, false);
    Step(0.5f);
    EXPECT_EQ(core.gameKeys.back(), std::make_pair(-1, 2));
    Step(0.6f, {KeyEvent(A, false)});
    EXPECT_EQ(core.gameKeys.back(), std::make_pair(-1, 2)); // the release gives nothing
    EXPECT_TRUE(core.input.keyState.keyDown[A]);
}

TEST_F(InputTest, StrayRepeatKeyOutsideTheTableRepeatsUnbound) {
    // Nothing but KeyHappen sets the field; a value written from outside must not read
    // past the binding table (the sanitizer build checks the reads).
    core.SetKeyBind(7, A, false);
    for (int stray : {kInputCodeCount, 500, -5}) {
        core.gameKeys.clear();
        core.repeatKey = stray;
        core.repeatTime = 0;
        Step(0.1f);
        EXPECT_EQ(core.gameKeys, (Calls{{-1, 2}})) << stray;
    }
}

TEST_F(InputTest, RepeatInTypingModeUsesTheRawCode) {
    core.SetTypingMode(1);
    core.SetKeyBind(7, 101, false); // ignored in typing mode
    Step(0.1f, {ButtonEvent(0, true)});
    EXPECT_EQ(core.repeatKey, 101);
    Step(0.5f);
    EXPECT_EQ(core.gameKeys, (Calls{{101, 1}, {101, 2}}));
}

// ---- Mouse motion --------------------------------------------------------------------

class MouseTest : public InputTest {
  protected:
    void SetUp() override {
        InputTest::SetUp();
        // Five steps: game time first advances in the fourth.
        for (int i = 1; i <= 4; i++)
            Step(0.1f * i);
        ASSERT_GE(core.gameTime, 0.001f);
    }
};

TEST_F(InputTest, FirstMotionIsIgnoredUntilGameTimeReachesAMillisecond) {
    core.SetMouseState(-1, 0);
    clock.pointer = {512, 384};
    for (int i = 1; i <= 4; i++) {
        Step(0.1f * i, {MoveEvent()});
        EXPECT_EQ(core.mouseX, 0.0f) << "step " << i;
    }
    Step(0.5f, {MoveEvent()});
    EXPECT_FLOAT_EQ(core.mouseX, 0.5f);
    EXPECT_FLOAT_EQ(core.mouseY, 0.5f);
}

TEST_F(MouseTest, LockedMouseCountsOneMotionPerStepAndWarpsOnce) {
    ASSERT_TRUE(core.mouseLocked);
    clock.pointer = {612, 334};
    Step(0.6f, {MoveEvent(), MoveEvent(), MoveEvent()});
    ASSERT_EQ(clock.warps.size(), 1u);
    EXPECT_EQ(clock.warps[0], sf::Vector2i(512, 384));
    // Position read before warping; delta in initial window widths, y up.
    EXPECT_FLOAT_EQ(core.mouseX, 612.0f / 1024);
    EXPECT_FLOAT_EQ(core.mouseY, 334.0f / 768);
    EXPECT_FLOAT_EQ(core.mouseDX, 100.0f / 1024);
    EXPECT_FLOAT_EQ(core.mouseDY, 50.0f / 1024);
    EXPECT_FLOAT_EQ(core.cursorX, 100.0f / 1024);

    // The next step resets the delta; the cursor keeps its sum.
    Step(0.7f);
    EXPECT_EQ(core.mouseDX, 0.0f);
    EXPECT_EQ(core.mouseDY, 0.0f);
    clock.pointer = {312, 384};
    Step(0.8f, {MoveEvent()});
    EXPECT_FLOAT_EQ(core.cursorX, -100.0f / 1024);
    EXPECT_FLOAT_EQ(core.cursorY, 50.0f / 1024);
    EXPECT_EQ(clock.warps.size(), 2u);
}

TEST_F(MouseTest, FreeMouseFollowsThePointerWithoutDelta) {
    core.SetMouseState(-1, 0);
    clock.pointer = {256, 192};
    Step(0.6f, {MoveEvent()});
    clock.pointer = {768, 576};
    Step(0.7f, {MoveEvent(), MoveEvent()});
    EXPECT_TRUE(clock.warps.empty());
    EXPECT_FLOAT_EQ(core.mouseX, 0.75f);
    EXPECT_FLOAT_EQ(core.mouseY, 0.75f);
    EXPECT_EQ(core.mouseDX, 0.0f);
    EXPECT_EQ(core.cursorX, 0.0f);
    EXPECT_EQ(core.cursorY, 0.0f);
}

TEST_F(MouseTest, ResizeMovesTheCentreAndTheNormalizationButNotTheDeltaScale) {
    float aspectBefore = core.aspect;
    Step(0.6f, {ResizeEvent(800, 600)});
    EXPECT_EQ(core.width, 800);
    EXPECT_EQ(core.height, 600);
    EXPECT_EQ(core.aspect, aspectBefore);
    clock.pointer = {500, 300};
    Step(0.7f, {MoveEvent()});
    EXPECT_EQ(clock.warps.back(), sf::Vector2i(400, 300));
    EXPECT_FLOAT_EQ(core.mouseX, 500.0f / 800);
    EXPECT_FLOAT_EQ(core.mouseDX, 100.0f / 1024); // mouseNorm stays 1 / initial width
}

TEST_F(MouseTest, ZeroSizedWindowKeepsTheLastNormalizedPosition) {
    core.SetMouseState(-1, 0);
    clock.pointer = {256, 192};
    Step(0.6f, {MoveEvent()});
    clock.pointer = {10, 20};
    Step(0.7f, {ResizeEvent(0, 0), MoveEvent()});
    EXPECT_FLOAT_EQ(core.mouseX, 0.25f);
    EXPECT_FLOAT_EQ(core.mouseY, 0.25f);

    // Only the zero axis is held; the locked centre becomes (0, height / 2).
    core.SetMouseState(-1, 1);
    clock.pointer = {10, 50};
    Step(0.8f, {ResizeEvent(0, 100), MoveEvent()});
    EXPECT_FLOAT_EQ(core.mouseX, 0.25f);
    EXPECT_FLOAT_EQ(core.mouseY, 0.5f);
    EXPECT_EQ(clock.warps.back(), sf::Vector2i(0, 50));
    EXPECT_FLOAT_EQ(core.mouseDX, 10.0f / 1024);
}

TEST_F(MouseTest, OddWindowSizeTruncatesTheCentre) {
    Step(0.6f, {ResizeEvent(801, 601)});
    clock.pointer = {0, 0};
    Step(0.7f, {MoveEvent()});
    EXPECT_EQ(clock.warps.back(), sf::Vector2i(400, 300));
    EXPECT_FLOAT_EQ(core.mouseDX, -400.0f / 1024);
    EXPECT_FLOAT_EQ(core.mouseDY, 300.0f / 1024);
}

TEST_F(InputTest, MouseStateNegativeArgumentsChangeNothing) {
    core.SetMouseState(-1, 0);
    EXPECT_FALSE(core.mouseLocked);
    EXPECT_FALSE(core.cursorVisible);
    core.SetMouseState(-1, -1);
    EXPECT_FALSE(core.mouseLocked);
    core.SetMouseState(-5, 7);
    EXPECT_TRUE(core.mouseLocked);
}

} // namespace
