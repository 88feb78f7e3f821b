// The frame step's timing with a scripted clock: warm-up frames, game time and its fixed
// step, the busy-wait limiter and its never-reset schedule, load time, the frame-rate
// line, the hand-over of time to the space mapper, audio and text managers, and the GL
// error lines.
#include "corethingy_testing.h"
#include "spaceMapperLine2d.h"

#include <gtest/gtest.h>
#include <string>

namespace {

using FrameStepTest = ScriptedClockTest;

TEST_F(FrameStepTest, WarmUpFramesKeepGameTimeAtZero) {
    Step(0.1f);
    Step(0.2f);
    Step(0.3f);
    EXPECT_EQ(core.frameCount, 3);
    EXPECT_EQ(core.gameTime, 0.0f);
    EXPECT_EQ(core.gameTimeStep, 0.0f);
    EXPECT_FLOAT_EQ(core.frameTime, 0.1f);

    Step(0.45f); // the fourth step advances by the measured frame
    EXPECT_FLOAT_EQ(core.gameTime, 0.15f);
    EXPECT_FLOAT_EQ(core.gameTimeStep, 1.0f / 60); // fixed, whatever was measured
    EXPECT_FLOAT_EQ(core.prevGameTime, 0.0f);

    Step(0.5f);
    EXPECT_FLOAT_EQ(core.gameTime, 0.2f);
    EXPECT_FLOAT_EQ(core.prevGameTime, 0.15f);
    EXPECT_FLOAT_EQ(core.gameTimeStep, 1.0f / 60);
    EXPECT_EQ(core.frameCount, 5);
}

TEST_F(FrameStepTest, LimiterSpinsToTheNextTick) {
    clock.perRead = 0.001f;
    Step(0.0f);
    EXPECT_FLOAT_EQ(core.nextFrameTime, 1.0f / 60);
    EXPECT_GE(core.wallTime, 1.0f / 60);
    EXPECT_GE(clock.reads, 17); // it read the clock until the tick, without sleeping
    int readsBefore = clock.reads;
    clock.now = core.wallTime; // the caller took no time
    StepAt(core, clock, clock.now);
    EXPECT_FLOAT_EQ(core.nextFrameTime, 2.0f / 60);
    EXPECT_GE(core.wallTime, 2.0f / 60);
    EXPECT_LT(core.wallTime, 2.0f / 60 + 0.01f);
    EXPECT_GE(clock.reads - readsBefore, 10);
}

TEST_F(FrameStepTest, ScheduleIsNeverResetAfterAStall) {
    Step(0.02f);
    // A two-second pause in the caller: the following steps run unthrottled (two clock
    // reads each, no spinning) until the schedule has caught up with the clock.
    int unthrottled = 0;
    while (core.nextFrameTime + 1.0f / 60 <= 2.0f) {
        int before = clock.reads;
        Step(2.0f);
        ASSERT_EQ(clock.reads - before, 2);
        unthrottled++;
    }
    EXPECT_GE(unthrottled, 118);
    EXPECT_LE(unthrottled, 120);
    // The next step waits for its tick again.
    clock.perRead = 0.001f;
    int before = clock.reads;
    Step(2.0f);
    EXPECT_GT(clock.reads - before, 2);
    EXPECT_GE(core.wallTime, core.nextFrameTime);
}

TEST_F(FrameStepTest, ScheduleStartsFromConstructionNotFromTheFirstStep) {
    // The first step comes late (window opening, Init): no wait at all.
    Step(0.5f);
    EXPECT_EQ(clock.reads, 2);
    EXPECT_FLOAT_EQ(core.nextFrameTime, 1.0f / 60);
}

TEST_F(FrameStepTest, FrameRateLineOncePerWholeSecond) {
    testing::internal::CaptureStdout();
    for (int i = 1; i <= 7; i++)
        Step(0.125f * i);
    std::string quiet = testing::internal::GetCapturedStdout();
    EXPECT_EQ(quiet, "");

    testing::internal::CaptureStdout();
    Step(1.0f);
    // Eight steps; the caller's time between steps (load) averaged 125 ms.
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "FPS: 8\t Load: 125 ms\n");
    EXPECT_EQ(core.fpsFrames, 0);
    EXPECT_EQ(core.loadTime, 0.0f);

    testing::internal::CaptureStdout();
    Step(1.5f);
    Step(2.25f);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "FPS: 2\t Load: 625 ms\n");

    // A jump over several seconds prints one line.
    testing::internal::CaptureStdout();
    Step(5.25f);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "FPS: 1\t Load: 3000 ms\n");
}

TEST_F(FrameStepTest, LoadTimeExcludesTheLimiterWait) {
    clock.perRead = 0.0005f;
    Step(0.0f); // waits about 1/60 s: none of it is load
    float load = core.loadTime;
    EXPECT_LT(load, 0.002f);
    clock.now += 0.005f; // the caller draws for 5 ms
    StepAt(core, clock, clock.now);
    EXPECT_NEAR(core.loadTime - load, 0.0055f, 0.0011f);
}

TEST_F(FrameStepTest, TimeGoesToTheAudioAndTextManagersEveryStep) {
    Step(0.1f);
    EXPECT_EQ(core.audioManager.now, 0.0f);
    EXPECT_EQ(core.textManager.now, 0.0f);
    for (int i = 2; i <= 5; i++)
        Step(0.1f * i);
    EXPECT_FLOAT_EQ(core.audioManager.now, core.gameTime);
    EXPECT_FLOAT_EQ(core.textManager.now, core.gameTime);
    EXPECT_GT(core.gameTime, 0.0f);
}

TEST_F(FrameStepTest, TimeGoesToTheSpaceMapperWhenThereIsOne) {
    Step(0.1f); // no mapper: skipped
    core.SetSpaceMapper(0);
    core.SetSpaceMapper(2);
    EXPECT_EQ(core.spaceMapper, nullptr);
    for (int i = 2; i <= 4; i++)
        Step(0.1f * i);
    core.SetSpaceMapper(1);
    ASSERT_NE(core.spaceMapper, nullptr);
    Step(0.5f);
    EXPECT_FLOAT_EQ(core.spaceMapper->time, core.gameTime);
    EXPECT_FLOAT_EQ(core.spaceMapper->step, 1.0f / 60);
}

TEST_F(FrameStepTest, RepeatComparesTheWallTimeOfThisStep) {
    // The repeat compares the wall time read in this step, not the previous one.
    core.SetKeyBind(4, 0, false);
    StepAt(core, clock, 0.1f, {KeyEvent(0, true)});
    Step(0.399f);
    EXPECT_EQ(core.gameKeys.size(), 1u);
    Step(0.4f);
    EXPECT_EQ(core.gameKeys.size(), 2u);
}

TEST(GLErrorLine, KnownCodesPrintTheirName) {
    RecordingCore core;
    const struct {
        unsigned code;
        const char* text;
    } cases[] = {
        {0x0500, "OpenGL Error! ERR: GL_INVALID_ENUM\n"},
        {0x0501, "OpenGL Error! ERR: GL_INVALID_VALUE\n"},
        {0x0502, "OpenGL Error! ERR: GL_INVALID_OPERATION\n"},
        {0x0503, "OpenGL Error! ERR: GL_STACK_OVERFLOW\n"},
        {0x0504, "OpenGL Error! ERR: GL_STACK_UNDERFLOW\n"},
        {0x0505, "OpenGL Error! ERR: GL_OUT_OF_MEMORY\n"},
        {0x8031, "OpenGL Error! ERR: GL_TABLE_TOO_LARGE\n"},
        {0x0506, "OpenGL Error! "}, // not in the table: no line end
        {0, ""},
    };
    for (const auto& c : cases) {
        testing::internal::CaptureStdout();
        core.ReportGLError(c.code);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.text) << std::hex << c.code;
    }
}

} // namespace
