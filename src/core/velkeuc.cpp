// velkeuc: key state construction and reset.
#include "velkeuc.h"

KeyState::KeyState() {
    for (int i = 0; i < kInputCodeCount; i++) {
        keyDown[i] = false;
        binding[i] = -1;
    }
}

void KeyState::SetDefaults() {
    for (int i = 0; i < kInputCodeCount; i++)
        binding[i] = -1;
}
