// corethingy: construction of the application base, the window with its standard GL
// state, camera modes and lights, the frame step with its limiter and game time, and the
// turning of events into input codes, game keys, key repeat and mouse motion.
#include "corethingy.h"

#include "errfilter.h"
#include "programKind.h"
#include "shadering.h"
#include "spaceMapperLine2d.h"
#include "strfuncs.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <cstdio>

// ---------------------------------------------------------------------------------------
// Construction

CoreThingy::CoreThingy() {
    // Before any sound object can exist: the library's threads write to its error stream.
    InstallErrFilter();
    mouseX = mouseY = 0;
    cursorX = cursorY = 0;
    mouseDX = mouseDY = 0;
    gameTime = 0;
    prevGameTime = -0.01f;
    timeScale = 1.0f;
    wallTime = 0;
    prevWallTime = -0.01f;
    gameTimeStep = 0;
    frameTime = 0;
    frameCount = 0;
    mouseScale = 1.0f;
    fov = 90.0f;
    // Nothing reads the ortho scale before the first camera set-up; start from the value
    // every set-up resets it to.
    orthoScaleX = orthoScaleY = 1.0f;
    cam2DScale = 1.0f;
    loadTime = 0;
    cursorVisible = false;
    mouseLocked = true;
    typingMode = 0;
    repeatKey = -1;
    repeatTime = 0;
    repeatDelay = 0.4f;
    repeatInterval = 0.045f;
    fullscreen = false;
    maxRes = false;
    width = 1024;
    height = 768;
    bitsPerPixel = 32;
    aspect = (float)(width / height); // integer ratio until ResizeWindow sets the true one
    mouseNorm = 1.0f / width;
    nearPlane = 0.1f;
    farPlane = 1000.0f;
    fpsFrames = 0;
    frameLimit = true;
    targetFps = 60;
    fixedStep = frameLimit;
    fixedStepTime = 1.0f / targetFps;
    nextFrameTime = 0;
    argv = nullptr;
    argc = 0;
    spaceMapper = nullptr;
    velkRun = IsVelkRun();
    platform = nullptr;
    stepResult = 0;
    stepWarped = false;

    mediaPath.Assign("media/");
    DataBlock quadPath;
    quadPath.Append(&mediaPath);
    quadPath.Append("geom/quad.obj", 13);
    quadPath.AppendNull();
    // A missing quad file leaves the quad empty; construction goes on.
    LoadObjFileSingle(&quad, (const char*)quadPath.Ptr());
    // velkRun opens every path as given; only the quad above comes from "media/".
    if (!velkRun) {
        const char* prefix = mediaPath.CStr();
        textureManager.SetPathPrefix(prefix);
        shaderManager.SetPathPrefix(prefix);
        geometryManager.SetPathPrefix(prefix);
        audioManager.SetPathPrefix(prefix);
        musicManager.SetPathPrefix(prefix);
    }
}

CoreThingy::~CoreThingy() {
    // The window closes before the managers and the quad go, as the members' reverse
    // declaration order gives. The space mapper is ours alone, so it is freed here
    // rather than leaked.
    window.close();
    delete spaceMapper;
    spaceMapper = nullptr;
}

// ---------------------------------------------------------------------------------------
// Small operations

void CoreThingy::DrawQuad() {
    quad.Draw();
}

void CoreThingy::Close() {
    // velkRun has only one application object and one window: no Close there.
    if (velkRun) return;
    window.close();
}

void CoreThingy::SetSpaceMapper(int kind) {
    if (kind != 1) return;
    // A second call replaces the mapper with a fresh one; nothing else holds the old
    // one, so it is freed rather than leaked.
    delete spaceMapper;
    SpaceMapperLines2D* mapper = new SpaceMapperLines2D();
    float lower[2] = {-10, -10};
    float upper[2] = {10, 10};
    mapper->SetSpaceBounds(lower, upper, 4, 4);
    spaceMapper = mapper;
}

void CoreThingy::Set2DCamScale(float s) {
    if (velkRun) return;
    cam2DScale = s;
}

void CoreThingy::DeclareArgs(int count, char** args) {
    argc = count;
    argv = args;
}

void CoreThingy::ParseArgs() {
    for (int i = 0; i < argc; i++) {
        if (strequal(argv[i], "r", true) || strequal(argv[i], "-r", true)) {
            if (argc - i > 2 && numeric(argv[i + 1]) && numeric(argv[i + 2])) {
                width = toint(argv[++i]);
                height = toint(argv[++i]);
                fullscreen = false;
            } else if (argc - i > 1 && !numeric(argv[i + 1]) && strequal(argv[i + 1], "max", true)) {
                maxRes = true;
                i++;
            } else if (argc - i > 1 && !numeric(argv[i + 1]) && strequal(argv[i + 1], "min", true)) {
                width = 700;
                height = 580;
                fullscreen = false;
                i++;
            }
        }
        if (strequal(argv[i], "f", true) || strequal(argv[i], "-f", true)) fullscreen = true;
    }
}

// ---------------------------------------------------------------------------------------
// Window, GL state, camera and lights

void CoreThingy::SetupStandardWindow() {
    InitSystem();
}

sf::VideoMode CoreThingy::ChooseVideoMode(const std::vector<sf::VideoMode>& fullscreenModes) {
    sf::VideoMode mode(width, height, bitsPerPixel);
    // With no fullscreen mode reported there is nothing better to take: keep the
    // configured size rather than read past an empty list.
    if (maxRes && !fullscreenModes.empty()) {
        mode = fullscreenModes[0];
        width = mode.width;
        height = mode.height;
        bitsPerPixel = mode.bitsPerPixel;
        printf("Using max res: %i x %i: %i\n", width, height, bitsPerPixel);
    }
    return mode;
}

sf::Uint32 CoreThingy::WindowStyle(const std::vector<sf::VideoMode>& fullscreenModes) {
    sf::Uint32 style = sf::Style::Resize | sf::Style::Close;
    // A fullscreen window of a size the platform does not list is given the first listed
    // mode by SFML, which indexes an empty list on a display that lists none (an X server
    // without RandR) and crashes: with no fullscreen mode the window opens windowed.
    if (fullscreen && !fullscreenModes.empty()) style |= sf::Style::Fullscreen;
    return style;
}

static const int kMaxWindowSide = 32767;

// The largest viewport the GL implementation draws, from a context made for the question;
// {0, 0} when none can be made.
static sf::Vector2i MaxViewportDims() {
    sf::Context probe;
    GLint dims[2] = {0, 0};
    glGetIntegerv(GL_MAX_VIEWPORT_DIMS, dims);
    return sf::Vector2i(dims[0], dims[1]);
}

void CoreThingy::InitSystem() {
    std::vector<sf::VideoMode> fullscreenModes;
    if (fullscreen || maxRes) fullscreenModes = sf::VideoMode::getFullscreenModes();
    sf::Uint32 style = WindowStyle(fullscreenModes);
    // The X server refuses a window with a side of 0 (and hangs on one past its 16-bit
    // limit), which would end the process; a size from the command line such as "r 0 0"
    // is therefore kept within 1 .. 32767 pixels each way.
    width = width < 1 ? 1 : (width > kMaxWindowSide ? kMaxWindowSide : width);
    height = height < 1 ? 1 : (height > kMaxWindowSide ? kMaxWindowSide : height);
    // GL draws no further than its largest viewport, and a software GL aborts in the X
    // library when it presents a far larger window (32767 x 32767): a window larger than
    // the desktop is kept within that viewport each way. Up to the desktop's size every
    // driver draws the whole window, so those sizes skip the question.
    sf::VideoMode desktop = sf::VideoMode::getDesktopMode();
    if (width > (int)desktop.width || height > (int)desktop.height) {
        sf::Vector2i most = MaxViewportDims();
        if (most.x > 0 && width > most.x) width = most.x;
        if (most.y > 0 && height > most.y) height = most.y;
    }
    sf::VideoMode mode = ChooseVideoMode(fullscreenModes);
    sf::ContextSettings settings(0, 0, 0, 2, 0);
    window.create(mode, "velkEngine", style, settings);
    // The window library places a window at (screen width - width) / 2 across but
    // (screen width - height) / 2 down, pushing tall windows below the screen. Centred on
    // the desktop instead, also when larger than it: the locked mouse is warped to the
    // window centre, which must be a point of the screen.
    if (!(style & sf::Style::Fullscreen) && window.isOpen())
        window.setPosition(sf::Vector2i(((int)desktop.width - width) / 2, ((int)desktop.height - height) / 2));
    // SFML opens a fullscreen window of a size the display does not list at the first
    // listed mode instead. The size fields follow the window, so that the viewport and the
    // aspect cover the screen rather than a corner of it.
    if ((style & sf::Style::Fullscreen) && window.isOpen()) {
        width = (int)window.getSize().x;
        height = (int)window.getSize().y;
    }

    InitGL();
    InitCamera(0, 0);
    SetupShadingExtensions();
    ResizeWindow();
    SetMouseState(0, 1);

    // Pictures are stored top row first; flip texture coordinates once for the whole run.
    glMatrixMode(GL_TEXTURE);
    glScalef(1, -1, 1);
    glMatrixMode(GL_MODELVIEW);
}

void CoreThingy::InitGL() {
    glEnable(GL_TEXTURE_2D);
    glShadeModel(GL_SMOOTH);
    glClearColor(0, 0, 0, 1);
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glShadeModel(GL_SMOOTH);
    glHint(GL_POLYGON_SMOOTH_HINT, GL_NICEST);
    glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
    glEnable(GL_BLEND);
    glEnable(GL_POLYGON_SMOOTH);
    glEnable(GL_LINE_SMOOTH);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_COLOR_MATERIAL);
    for (int i = 0; i < 4; i++)
        InitLight(i);
}

void CoreThingy::InitLight(int i) {
    GLenum light = GL_LIGHT0 + i;
    const GLfloat ambient[4] = {0, 0, 0, 1};
    const GLfloat diffuse[4] = {1, 1, 1, 1};
    const GLfloat specular[4] = {0, 0, 0, 1};
    glLightfv(light, GL_AMBIENT, ambient);
    glLightfv(light, GL_DIFFUSE, diffuse);
    glLightfv(light, GL_SPECULAR, specular);
    glLightf(light, GL_CONSTANT_ATTENUATION, 1);
    glLightf(light, GL_LINEAR_ATTENUATION, 0);
    glLightf(light, GL_QUADRATIC_ATTENUATION, 0);
}

void CoreThingy::ResizeWindow() {
    if (height == 0) height = 1;
    aspect = (float)width / (float)height;
    glViewport(0, 0, width, height);
    InitCamera(0, 0);
}

void CoreThingy::InitCamera(int mode, int fit) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    orthoScaleX = orthoScaleY = 1.0f;
    if (mode == 0) {
        gluPerspective(fov, aspect, nearPlane, farPlane);
    } else if (mode == 1) {
        gluPerspective(60, 1, nearPlane, farPlane);
    } else if (mode == 2) {
        float s = velkRun ? 1.0f : cam2DScale;
        // The current window size, not `aspect`, which only ResizeWindow sets. A window
        // resized to height 0 counts as height 1, as ResizeWindow does, to keep the
        // ratio finite.
        float a = (float)width / (float)(height > 0 ? height : 1);
        if (fit == 0) {
            glOrtho(-s, s, -s, s, -100, 100);
        } else if (fit == 1 && a <= 1) {
            glOrtho(-a * s, a * s, -s, s, -100, 100);
            orthoScaleX = a;
        } else if (fit == 1) {
            float b = 1.0f / a;
            glOrtho(-s, s, -b * s, b * s, -100, 100);
            orthoScaleY = b;
        } else if (fit == 2) {
            glOrtho(-a * s, a * s, -s, s, -100, 100);
            orthoScaleX = a;
        }
    }
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void CoreThingy::SetupShadingExtensions() {
    setupExtensions();
}

void CoreThingy::SetLighting(bool on) {
    if (on)
        glEnable(GL_LIGHTING);
    else
        glDisable(GL_LIGHTING);
}

void CoreThingy::SetLight(int i, float x, float y, float z) {
    if (i > 1) return;
    const GLfloat position[4] = {x, y, z, 1};
    glEnable(GL_LIGHT0 + i);
    glLightfv(GL_LIGHT0 + i, GL_POSITION, position);
}

// Colour and attenuation test no light number: one the GL lacks reaches it, and the next
// frame step reports GL_INVALID_ENUM. The enum is formed in unsigned arithmetic, where any
// int wraps instead of overflowing.
static GLenum LightEnum(int i) {
    return (GLenum)(GL_LIGHT0 + (unsigned)i);
}

void CoreThingy::SetLightColor(int i, float r, float g, float b) {
    const GLfloat diffuse[4] = {r, g, b, 1};
    glLightfv(LightEnum(i), GL_DIFFUSE, diffuse);
}

void CoreThingy::SetLightAtten(int i, float constant, float linear, float quadratic) {
    glLightf(LightEnum(i), GL_CONSTANT_ATTENUATION, constant);
    glLightf(LightEnum(i), GL_LINEAR_ATTENUATION, linear);
    glLightf(LightEnum(i), GL_QUADRATIC_ATTENUATION, quadratic);
}

void CoreThingy::SetAmbientColorRGB(float r, float g, float b) {
    const GLfloat ambient[4] = {r, g, b, 1};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
}

void CoreThingy::SetVSync(bool on) {
    if (fullscreen) window.setVerticalSyncEnabled(on);
}

void CoreThingy::SetMouseState(int visible, int locked) {
    if (visible >= 0) {
        window.setMouseCursorVisible(visible != 0);
        cursorVisible = visible != 0;
    }
    if (locked >= 0) mouseLocked = locked != 0;
}

void PushProjection() {
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glMatrixMode(GL_MODELVIEW);
}

void PopProjection() {
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
}

// ---------------------------------------------------------------------------------------
// Frame step

float CoreThingy::ReadClock() {
    if (platform) return platform->Seconds();
    return clock.getElapsedTime().asSeconds();
}

int CoreThingy::TimeStep() {
    ReportGLError(glGetError());
    BeginEvents();
    while (window.pollEvent(event))
        HandleEvent(event);
    return FinishStep();
}

void CoreThingy::ReportGLError(unsigned int error) {
    static const struct {
        unsigned int code;
        const char* name;
    } table[] = {
        {0x0500, "GL_INVALID_ENUM"},    {0x0501, "GL_INVALID_VALUE"},   {0x0502, "GL_INVALID_OPERATION"},
        {0x0503, "GL_STACK_OVERFLOW"},  {0x0504, "GL_STACK_UNDERFLOW"}, {0x0505, "GL_OUT_OF_MEMORY"},
        {0x8031, "GL_TABLE_TOO_LARGE"},
    };
    if (error == 0) return;
    printf("OpenGL Error! ");
    for (const auto& row : table)
        if (row.code == error) printf("ERR: %s\n", row.name);
}

void CoreThingy::BeginEvents() {
    mouseDX = mouseDY = 0;
    stepResult = 0;
    stepWarped = false;
}

void CoreThingy::HandleEvent(const sf::Event& e) {
    switch (e.type) {
    case sf::Event::Resized:
        width = (int)e.size.width;
        height = (int)e.size.height;
        break;
    case sf::Event::KeyPressed:
        // Typing mode keeps key presses from the game; Escape always gets through.
        if (typingMode != 0 && e.key.code != kInputEscape) break;
        stepResult = privHandleKey(e.key.code, true);
        break;
    case sf::Event::KeyReleased:
        privHandleKey(e.key.code, false);
        break;
    case sf::Event::MouseWheelMoved:
        // X11 also sends MouseWheelScrolled for the same notch; only this one counts.
        privHandleMouseScroll(e.mouseWheel.delta);
        break;
    case sf::Event::MouseButtonPressed:
        privHandleMousePress(e.mouseButton.button, true);
        break;
    case sf::Event::MouseButtonReleased:
        privHandleMousePress(e.mouseButton.button, false);
        break;
    case sf::Event::MouseMoved: {
        if (stepWarped) break;
        sf::Vector2i p = platform ? platform->PointerPosition() : sf::Mouse::getPosition(window);
        int dx = 0, dy = 0;
        if (mouseLocked) {
            int cx = (int)(width * 0.5f);
            int cy = (int)(height * 0.5f);
            dx = p.x - cx;
            dy = p.y - cy;
            if (platform)
                platform->SetPointerPosition(sf::Vector2i(cx, cy));
            else
                sf::Mouse::setPosition(sf::Vector2i(cx, cy), window);
            stepWarped = true;
        }
        privHandleMouseMove(p.x, p.y, dx, dy);
        break;
    }
    default:
        break;
    }
}

int CoreThingy::FinishStep() {
    // Load time: what the caller did since the previous step's wait ended.
    prevWallTime = wallTime;
    wallTime = ReadClock();
    loadTime += wallTime - prevWallTime;

    // The limiter spins on purpose: sleeping would miss the 1/60 s ticks. The schedule is
    // never reset, so after a stall the next steps run unthrottled until it catches up.
    if (frameLimit) {
        nextFrameTime = nextFrameTime + 1.0f / targetFps;
        while (wallTime < nextFrameTime)
            wallTime = ReadClock();
    }

    frameCount += 1;
    wallTime = ReadClock();
    frameTime = wallTime - prevWallTime;

    // The first three steps are warm-up: game time and its step stay 0.
    if (frameCount > 3) {
        prevGameTime = gameTime;
        gameTime = gameTime + frameTime * timeScale;
        gameTimeStep = gameTime - prevGameTime;
        if (fixedStep) gameTimeStep = fixedStepTime;
    }

    HandOverTime();

    if (repeatKey != -1 && wallTime >= repeatTime) {
        repeatTime += repeatInterval;
        // Only KeyHappen sets repeatKey, always to an input code; the checked lookup keeps
        // a stray value written into the public field from reading outside the table.
        int gameKey = typingMode != 0 ? repeatKey : input.keyState.GameKey(repeatKey);
        GameKeyHappen(gameKey, 2);
    }

    fpsFrames += 1;
    if ((int)prevWallTime < (int)wallTime) {
        float fpsFramesF = (float)fpsFrames;
        float average = loadTime / (fpsFramesF > 1.0f ? fpsFramesF : 1.0f);
        loadTime = 0;
        printf("FPS: %i\t Load: %i ms\n", fpsFrames, (int)(average * 1000));
        fpsFrames = 0;
    }
    return stepResult;
}

void CoreThingy::HandOverTime() {
    if (spaceMapper) spaceMapper->SetTime(gameTime, gameTimeStep);
    audioManager.SetTime(gameTime, gameTimeStep);
    textManager.TimeStep(gameTime, gameTimeStep);
}

// ---------------------------------------------------------------------------------------
// Input

void CoreThingy::SetKeyBind(int gameKey, int inputCode, bool additive) {
    KeyState& keys = input.keyState;
    if (!additive) {
        for (int i = 0; i < kInputCodeCount; i++)
            if (keys.binding[i] == gameKey) keys.binding[i] = -1;
    }
    if (IsInputCode(inputCode)) keys.binding[inputCode] = gameKey;
}

int CoreThingy::privHandleKey(int code, bool pressed) {
    if (pressed) KeyTyped(code);
    KeyHappen(code, pressed);
    return code == kInputEscape ? -1 : 0;
}

void CoreThingy::privHandleMousePress(int button, bool pressed) {
    int code = MouseButtonInputCode(button);
    if (code < 0) return;
    KeyHappen(code, pressed);
}

void CoreThingy::privHandleMouseScroll(int delta) {
    KeyHappen(WheelInputCode(delta), true);
}

void CoreThingy::KeyHappen(int code, bool pressed) {
    if (!IsInputCode(code)) return;
    KeyState& keys = input.keyState;
    int gameKey = typingMode != 0 ? code : keys.binding[code];
    if (gameKey < 0) return;
    if (keys.keyDown[code] == pressed) return;
    if (repeatKey == -1 && pressed && !IsWheelCode(code)) {
        repeatKey = code;
        repeatTime = wallTime + repeatDelay;
    } else if (repeatKey == code && !pressed) {
        repeatKey = -1;
    }
    GameKeyHappen(gameKey, pressed ? 1 : 0);
    if (!IsWheelCode(code)) keys.keyDown[code] = pressed;
}

void CoreThingy::privHandleMouseMove(int x, int y, int dx, int dy) {
    // Game time first advances in the fourth step; motion before that is start-up noise.
    if (gameTime < 0.001f) return;
    // A minimised window can report a size of 0: keep the last normalized position on
    // that axis rather than divide by it.
    if (width > 0) mouseX = (float)x / (float)width;
    if (height > 0) mouseY = (float)y / (float)height;
    mouseDX = dx * mouseScale * mouseNorm;
    mouseDY = -dy * mouseScale * mouseNorm;
    cursorX += mouseDX;
    cursorY += mouseDY;
}
