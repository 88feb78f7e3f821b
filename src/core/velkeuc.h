// velkeuc: the input code space (keyboard keys, mouse buttons, wheel steps) and the
// per-application key state: the key binding table and the key-down flags.
#pragma once

// Input codes 0..100 are SFML 2 keyboard keys (sf::Keyboard::Key numbering),
// 101..105 mouse buttons 0..4, 106 a wheel step up (any delta but -1), 107 a step down.
const int kInputCodeCount = 108;
const int kInputEscape = 36;
const int kInputFirstMouseButton = 101;
const int kInputMouseButtonCount = 5;
const int kInputWheelUp = 106;
const int kInputWheelDown = 107;

inline bool IsInputCode(int code) {
    return code >= 0 && code < kInputCodeCount;
}
inline bool IsWheelCode(int code) {
    return code == kInputWheelUp || code == kInputWheelDown;
}

// Input code of a wheel step: only a delta of exactly -1 counts as down.
inline int WheelInputCode(int delta) {
    return delta == -1 ? kInputWheelDown : kInputWheelUp;
}

// Input code of a mouse button, or -1 for a button outside 0..4.
inline int MouseButtonInputCode(int button) {
    return (button >= 0 && button < kInputMouseButtonCount) ? kInputFirstMouseButton + button : -1;
}

class KeyState {
  public:
    int binding[kInputCodeCount];  // game key of each input code, -1 unbound
    bool keyDown[kInputCodeCount]; // last press state recorded per input code

    // Clears the key-down flags. The binding table also starts unbound here, so that a
    // key arriving before the application's SetDefaults never reads an unset entry.
    KeyState();
    // Unbinds all input codes.
    void SetDefaults();
    // Game key of an input code, -1 for an unbound or out-of-range code.
    int GameKey(int code) const { return IsInputCode(code) ? binding[code] : -1; }
};

class InputStore {
  public:
    KeyState keyState;
    InputStore() {}
};
