-- noisefield.lua: a map of islands drawn from the engine's simplex noise, rendered into the
-- full-window target and shown with a slow swell. Arrows (or WASD) pan, the wheel zooms,
-- N takes the next noise seed and R a random one, F12 saves a screenshot, Escape quits.
-- The seed is kept in a save file.

-- Game keys.
local LEFT, RIGHT, UP, DOWN, ZOOM_IN, ZOOM_OUT, NEXT_SEED, RANDOM_SEED = 1, 2, 3, 4, 5, 6, 7, 8
local SCREENSHOT = 35 -- the engine saves a screenshot when this game key is pressed

-- Input codes.
local KEY_A, KEY_D, KEY_N, KEY_R, KEY_S, KEY_W, KEY_F12 = 0, 3, 13, 17, 18, 22, 96
local KEY_LEFT, KEY_RIGHT, KEY_UP, KEY_DOWN = 71, 72, 73, 74
local WHEEL_UP, WHEEL_DOWN = 106, 107

local SAVE_GAME, SAVE_FILE = "noisefield", "noisefield.sav"
local CELLS_ACROSS = 64

local held = {}
local panX, panY = 0, 0
local zoom = 1.5
local seed = 0

-- Height to colour: deep water, shallow water, sand, grass, forest, rock, snow.
local BANDS = {
    {-0.1, 0.05, 0.12, 0.35},
    {0.05, 0.1, 0.3, 0.6},
    {0.12, 0.85, 0.8, 0.55},
    {0.28, 0.35, 0.65, 0.3},
    {0.4, 0.2, 0.45, 0.2},
    {0.5, 0.5, 0.45, 0.4},
    {2, 0.95, 0.95, 1},
}

local function Colour(h)
    for _, band in ipairs(BANDS) do
        if h < band[1] then return band[2], band[3], band[4] end
    end
    return 1, 1, 1
end

local function UseSeed(value)
    seed = value
    SetNoiseSeed(seed)
end

function Init()
    AddTex("textures/font.png") -- the item named "font", which Text draws with
    math.randomseed(os.time())
    UseSeed(tonumber(ReadSaveString(SAVE_GAME, SAVE_FILE)) or 0)
    BindKey(LEFT, KEY_LEFT)
    BindKey(LEFT, KEY_A, 1)
    BindKey(RIGHT, KEY_RIGHT)
    BindKey(RIGHT, KEY_D, 1)
    BindKey(UP, KEY_UP)
    BindKey(UP, KEY_W, 1)
    BindKey(DOWN, KEY_DOWN)
    BindKey(DOWN, KEY_S, 1)
    BindKey(ZOOM_IN, WHEEL_UP)
    BindKey(ZOOM_OUT, WHEEL_DOWN)
    BindKey(NEXT_SEED, KEY_N)
    BindKey(RANDOM_SEED, KEY_R)
    BindKey(SCREENSHOT, KEY_F12)
end

local function Bounds()
    local w, h = GetWindowSize()
    if w >= h then return 1, h / w end
    return w / h, 1
end

-- Two octaves of noise; the third coordinate lets the map drift slowly.
local function Height(x, y, time)
    return GetNoise(x, y, time * 0.05) * 0.75 + GetNoise(x * 3, y * 3, 7) * 0.25
end

local function DrawField(halfW, halfH, time)
    local cell = 2 * halfW / CELLS_ACROSS
    local rows = math.ceil(2 * halfH / cell)
    Tex(-1)
    for j = 0, rows - 1 do
        local y = -halfH + (j + 0.5) * cell
        for i = 0, CELLS_ACROSS - 1 do
            local x = -halfW + (i + 0.5) * cell
            Color(Colour(Height(panX + x * zoom, panY + y * zoom, time)))
            Push()
            Move(x, y)
            Scale(cell)
            Quad()
            Pop()
        end
    end
end

local function DrawOverlay(halfW, halfH)
    Blend(0)
    -- Dark enough that white text stands out over the lightest ground too: at half
    -- strength the sand and snow showed through as mid grey.
    Color(0, 0, 0, 0.8)
    Push()
    Move(0, halfH - 0.05)
    Scale(2 * halfW, 0.1, 1)
    Quad()
    Pop()
    Color(1, 1, 1)
    Push()
    Move(-halfW + 0.03, halfH - 0.05)
    Scale(0.045)
    Text(string.format("Seed %d   zoom %.1f   N: next seed   R: random seed   arrows: pan   wheel: zoom", seed, zoom))
    Pop()
end

function Draw(time, step)
    SetCam(2, 1) -- the engine starts every frame with the 3D camera
    Depth(0)
    Blend(-1)
    local halfW, halfH = Bounds()
    local speed = zoom * step
    if held[LEFT] then panX = panX - speed end
    if held[RIGHT] then panX = panX + speed end
    if held[UP] then panY = panY + speed end
    if held[DOWN] then panY = panY - speed end

    -- The map goes into the full-window target first, then onto the window with a swell.
    BeginRTTFull()
    DrawField(halfW, halfH, time)
    -- The target comes back as a quad from (-1, -1) to (1, 1): the square camera makes it
    -- fill the window. The engine flips picture textures upside down for all texturing,
    -- which shows the target upside down; mirroring the quad puts it right again.
    SetCam(2)
    Color(1, 1, 1)
    -- The swell only ever grows the quad: below 1 it would bare the window's edges.
    local swell = 1 + 0.01 * (1 + math.sin(time * 0.7))
    Push()
    Scale(swell, -swell, 1)
    EndRTTFull()
    Pop()

    SetCam(2, 1)
    DrawOverlay(halfW, halfH)
end

function KeyHappen(key, state, time)
    held[key] = state ~= 0
    if state ~= 1 then return end
    if key == ZOOM_IN then
        zoom = math.max(0.5, zoom / 1.25)
    elseif key == ZOOM_OUT then
        zoom = math.min(20, zoom * 1.25)
    elseif key == NEXT_SEED or key == RANDOM_SEED then
        UseSeed(key == NEXT_SEED and seed + 1 or math.random(0, 9999))
        WriteSaveString(SAVE_GAME, SAVE_FILE, tostring(seed))
    end
end

function OnError()
end
