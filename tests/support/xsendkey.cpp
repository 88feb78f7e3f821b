// Synthetic key events for one window, through the X library loaded at run time (the
// tests do not link it themselves).
#include "xsendkey.h"

#include <X11/Xlib.h>
#include <dlfcn.h>
#include <initializer_list>

bool SendKeyToWindow(unsigned long window, const char* keysym) {
    void* lib = dlopen("libX11.so.6", RTLD_NOW | RTLD_GLOBAL);
    if (!lib) return false;
    auto open = (Display * (*)(const char*)) dlsym(lib, "XOpenDisplay");
    auto close = (int (*)(Display*))dlsym(lib, "XCloseDisplay");
    auto toKeysym = (KeySym(*)(const char*))dlsym(lib, "XStringToKeysym");
    auto toKeycode = (KeyCode(*)(Display*, KeySym))dlsym(lib, "XKeysymToKeycode");
    auto send = (Status(*)(Display*, Window, Bool, long, XEvent*))dlsym(lib, "XSendEvent");
    auto sync = (int (*)(Display*, Bool))dlsym(lib, "XSync");
    auto root = (Window(*)(Display*))dlsym(lib, "XDefaultRootWindow");
    if (!open || !close || !toKeysym || !toKeycode || !send || !sync || !root) return false;

    Display* dpy = open(nullptr);
    if (!dpy) return false;
    KeySym sym = toKeysym(keysym);
    KeyCode code = sym == NoSymbol ? 0 : toKeycode(dpy, sym);
    bool ok = code != 0;
    for (int type : {KeyPress, KeyRelease}) {
        if (!ok) break;
        XEvent e = {};
        e.xkey.type = type;
        e.xkey.display = dpy;
        e.xkey.window = window;
        e.xkey.root = root(dpy);
        e.xkey.subwindow = None;
        e.xkey.time = CurrentTime;
        e.xkey.x = e.xkey.y = e.xkey.x_root = e.xkey.y_root = 1;
        e.xkey.state = 0;
        e.xkey.keycode = code;
        e.xkey.same_screen = True;
        ok = send(dpy, window, True, type == KeyPress ? KeyPressMask : KeyReleaseMask, &e) != 0;
    }
    // Once the server has answered, the events are in the window owner's queue.
    sync(dpy, False);
    close(dpy);
    return ok;
}
