// Key presses sent straight to one window of the test display as synthetic X events.
#pragma once

// Sends a press and a release of the key named by `keysym` (an X keysym name such as
// "Escape") to `window` and waits until the X server has taken them. False when the
// display, the X library or the key cannot be found.
//
// xdotool would send a key for the window that holds the focus through XTEST instead, as
// a real key press that goes to whichever window has the focus when the server handles
// it; on the display that the whole test run shares, that can be another test's window.
bool SendKeyToWindow(unsigned long window, const char* keysym);
