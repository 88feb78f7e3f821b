-- crystal.lua: a faceted gem turning above a pedestal, lit by two coloured lights and
-- drawn with a glowing shader; it bobs on a noise curve and sparks fly around it.
-- Left/Right (or A/D) orbit, Up/Down or the wheel zoom, Space or a click rings the chime,
-- G switches the glow (with shaders enabled), F12 saves a screenshot, Escape quits.

-- Game keys.
local ORBIT_LEFT, ORBIT_RIGHT, ZOOM_IN, ZOOM_OUT = 1, 2, 3, 4
local STEP_IN, STEP_OUT, CHIME, GLOW = 5, 6, 7, 8
local SCREENSHOT = 35 -- the engine saves a screenshot when this game key is pressed

-- Input codes.
local KEY_A, KEY_D, KEY_G, KEY_SPACE, KEY_F12 = 0, 3, 6, 57, 96
local KEY_LEFT, KEY_RIGHT, KEY_UP, KEY_DOWN = 71, 72, 73, 74
local MOUSE_LEFT, WHEEL_UP, WHEEL_DOWN = 101, 106, 107

local held = {}
local angle, distance = 0.6, 4.5
local glow = 1
local declared = false -- the shader's uniforms are declared once, after its first bind
local chimes = 0
local checker

function Init()
    checker = AddTex("demo/checker.png")
    AddTex("textures/font.png") -- the item named "font", which Text draws with
    AddGeom("demo/gem.obj") -- two items, named "gem" and "pedestal"
    AddShad("demo/crystal.shad")
    AddAudio("demo/chime.wav")

    SetCam(3, 50) -- a 50 degree field of view for every frame from now on
    SetAmbientColor(0.15, 0.15, 0.2)
    BackColor(0.04, 0.05, 0.09, 1)
    SetNoiseSeed(3)

    BindKey(ORBIT_LEFT, KEY_LEFT)
    BindKey(ORBIT_LEFT, KEY_A, 1)
    BindKey(ORBIT_RIGHT, KEY_RIGHT)
    BindKey(ORBIT_RIGHT, KEY_D, 1)
    BindKey(ZOOM_IN, KEY_UP)
    BindKey(ZOOM_OUT, KEY_DOWN)
    BindKey(STEP_IN, WHEEL_UP) -- wheel steps only ever press
    BindKey(STEP_OUT, WHEEL_DOWN)
    BindKey(CHIME, KEY_SPACE)
    BindKey(CHIME, MOUSE_LEFT, 1)
    BindKey(GLOW, KEY_G)
    BindKey(SCREENSHOT, KEY_F12)
    SetMouseFree(1)
    SetMouseVis(1)
end

local function Clamp(v, lo, hi)
    return math.max(lo, math.min(hi, v))
end

-- Binds the glow shader and feeds it; with shaders switched off the fixed pipeline draws.
local function UseGlow(time)
    if GetShadersEnabled() == 0 then return end
    Shad("crystal")
    if not declared then
        DeclareUniform(0, "time") -- record 0
        DeclareUniform(1, "glow") -- record 1
        declared = true
    end
    Uniform(0, time)
    Uniform(1, glow)
end

local function DrawSparks(time)
    SetLighting(0)
    Tex(-1)
    Blend(1) -- additive
    for i = 1, 24 do
        local a = i * 0.7 + time * (0.3 + (i % 5) * 0.1)
        local r = 1.1 + 0.4 * GetNoise(i * 1.7, time * 0.5)
        local z = 0.9 + 0.8 * GetNoise(time * 0.3, i * 2.3)
        local x, y = math.cos(a) * r, math.sin(a) * r
        Color(0.4, 0.7, 1, 0.8)
        DrawLine(x, y, z, x * 1.06, y * 1.06, z + 0.05)
    end
    Blend(-1)
end

local function DrawOverlay()
    local w, h = GetWindowSize()
    local top = w >= h and h / w or 1
    local left = w >= h and 1 or w / h
    SetCam(2, 1)
    SetLighting(0)
    Depth(0)
    Culling(0)
    Blend(0)
    Color(1, 1, 1)
    Push()
    Move(-left + 0.04, top - 0.07)
    Scale(0.06)
    Text("Crystal   chimes: " .. chimes)
    Pop()
    Push()
    Move(-left + 0.04, -top + 0.06)
    Scale(0.045)
    if GetShadersEnabled() == 0 then -- G has nothing to switch
        Text("Arrows orbit and zoom, Space chimes, F12 screenshot. The glow needs shaders.")
    else
        Text("Arrows orbit and zoom, Space chimes, G glow " .. (glow == 1 and "off" or "on") .. ", F12 screenshot")
    end
    Pop()
end

function Draw(time, step)
    if held[ORBIT_LEFT] then angle = angle - step * 1.5 end
    if held[ORBIT_RIGHT] then angle = angle + step * 1.5 end
    if held[ZOOM_IN] then distance = distance - step * 2 end
    if held[ZOOM_OUT] then distance = distance + step * 2 end
    distance = Clamp(distance, 2.5, 9)

    LookAt(math.cos(angle) * distance, math.sin(angle) * distance, 2.2, 0, 0, 0.4)
    -- Light positions go through the current matrix: set them after the camera.
    SetLight(0, 3, -2, 4)
    SetLightColor(0, 1, 0.92, 0.8)
    SetLight(1, -3, 3, 1.5)
    SetLightColor(1, 0.25, 0.35, 0.9)
    Depth(1)
    Culling(1)
    Blend(-1)

    Color(1, 1, 1)
    Tex(checker)
    Geom("pedestal")

    Push()
    Move(0, 0, 0.75 + 0.15 * GetNoise(time * 0.4))
    Rotate(time * 0.2) -- half-turns: a full turn every ten seconds
    Scale(0.9)
    Color(0.75, 0.9, 1)
    UseGlow(time)
    Geom("gem")
    Shad(-1)
    Pop()

    DrawSparks(time)
    DrawOverlay()
end

function KeyHappen(key, state, time)
    held[key] = state ~= 0
    if state ~= 1 then return end
    if key == CHIME then
        local slot = Audio("chime")
        AudioProps(slot, 0.7, 0.8 + 0.2 * (GetNoise(time) + 1))
        chimes = chimes + 1
    elseif key == GLOW then
        glow = 1 - glow
    elseif key == STEP_IN then
        distance = distance - 0.4
    elseif key == STEP_OUT then
        distance = distance + 0.4
    end
end

function OnError()
end
