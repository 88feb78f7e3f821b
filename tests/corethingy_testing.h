// Helpers for the application-base tests: a concrete application that records what
// reaches its virtual slots, a scripted clock and pointer, and event builders.
#pragma once

#include "corethingy.h"
#include "programKind.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// Every application object holds an sf::Window, which opens the X display while no other
// SFML resource holds it open. Opening and closing the display for each object of a test
// makes the X server refuse some of the rapid reconnections (EAGAIN), so one unopened
// window keeps the display open for the whole test process.
class KeepDisplayOpen : public ::testing::Environment {
  public:
    void SetUp() override { keeper.reset(new sf::Window()); }
    void TearDown() override { keeper.reset(); }

  private:
    std::unique_ptr<sf::Window> keeper;
};
inline ::testing::Environment* const kKeepDisplayOpen =
    ::testing::AddGlobalTestEnvironment(new KeepDisplayOpen);

// Wall time and pointer under the test's control. Each clock read returns `now` and then
// advances it by `perRead`, so the limiter's busy wait ends without real waiting.
class FakePlatform : public CorePlatform {
  public:
    float now = 0;
    float perRead = 0;
    int reads = 0;
    sf::Vector2i pointer{0, 0};
    std::vector<sf::Vector2i> warps;

    float Seconds() override {
        reads++;
        float t = now;
        now += perRead;
        return t;
    }
    sf::Vector2i PointerPosition() override { return pointer; }
    void SetPointerPosition(sf::Vector2i p) override {
        warps.push_back(p);
        pointer = p;
    }
};

class RecordingCore : public CoreThingy {
  public:
    std::vector<std::pair<int, int>> gameKeys; // (game key, press state)
    std::vector<int> typed;
    std::vector<std::pair<int, bool>> rawKeys; // what reached KeyHappen

    int Init() override { return 0; }
    void GameKeyHappen(int gameKey, int pressState) override { gameKeys.push_back({gameKey, pressState}); }
    void KeyTyped(int inputCode) override { typed.push_back(inputCode); }
    void KeyHappen(int inputCode, bool pressed) override {
        rawKeys.push_back({inputCode, pressed});
        CoreThingy::KeyHappen(inputCode, pressed);
    }
};

// Runs one frame step with the given events at wall time `t` (the clock does not move
// during the step unless the platform's perRead says so).
inline int StepAt(CoreThingy& core, FakePlatform& clock, float t, const std::vector<sf::Event>& events = {}) {
    clock.now = t;
    core.BeginEvents();
    for (const sf::Event& e : events)
        core.HandleEvent(e);
    return core.FinishStep();
}

// A recording application on the scripted clock, stepped by wall time.
class ScriptedClockTest : public ::testing::Test {
  protected:
    RecordingCore core;
    FakePlatform clock;

    void SetUp() override {
        core.platform = &clock;
        core.input.keyState.SetDefaults();
    }
    int Step(float t, const std::vector<sf::Event>& events = {}) { return StepAt(core, clock, t, events); }
};

inline sf::Event KeyEvent(int code, bool pressed) {
    sf::Event e;
    e.type = pressed ? sf::Event::KeyPressed : sf::Event::KeyReleased;
    e.key.code = (sf::Keyboard::Key)code;
    e.key.alt = e.key.control = e.key.shift = e.key.system = false;
    return e;
}

inline sf::Event ButtonEvent(int button, bool pressed) {
    sf::Event e;
    e.type = pressed ? sf::Event::MouseButtonPressed : sf::Event::MouseButtonReleased;
    e.mouseButton.button = (sf::Mouse::Button)button;
    e.mouseButton.x = e.mouseButton.y = 0;
    return e;
}

inline sf::Event WheelEvent(int delta) {
    sf::Event e;
    e.type = sf::Event::MouseWheelMoved;
    e.mouseWheel.delta = delta;
    e.mouseWheel.x = e.mouseWheel.y = 0;
    return e;
}

inline sf::Event ScrollEvent(float delta) {
    sf::Event e;
    e.type = sf::Event::MouseWheelScrolled;
    e.mouseWheelScroll.wheel = sf::Mouse::VerticalWheel;
    e.mouseWheelScroll.delta = delta;
    e.mouseWheelScroll.x = e.mouseWheelScroll.y = 0;
    return e;
}

// The event's own coordinates are deliberately nonsense: the step must read the pointer.
inline sf::Event MoveEvent() {
    sf::Event e;
    e.type = sf::Event::MouseMoved;
    e.mouseMove.x = -9999;
    e.mouseMove.y = -9999;
    return e;
}

inline sf::Event ResizeEvent(unsigned w, unsigned h) {
    sf::Event e;
    e.type = sf::Event::Resized;
    e.size.width = w;
    e.size.height = h;
    return e;
}

inline sf::Event PlainEvent(sf::Event::EventType type) {
    sf::Event e;
    e.type = type;
    return e;
}

// A command line: the program path, then the given words.
struct Args {
    std::vector<std::string> words;
    std::vector<char*> ptrs;
    explicit Args(std::initializer_list<const char*> list) {
        words.push_back("velkRun");
        for (const char* w : list)
            words.push_back(w);
        for (auto& w : words)
            ptrs.push_back(&w[0]);
        ptrs.push_back(nullptr);
    }
    int argc() const { return (int)words.size(); }
};

// Restores the program kind when a test that switched to velkRun ends.
struct ProgramKindGuard {
    ~ProgramKindGuard() { SetCurrentProgram(ProgramKind::Engine); }
};
