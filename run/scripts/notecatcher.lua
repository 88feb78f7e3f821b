-- notecatcher.lua: catch the falling notes with the paddle. Every caught note sings its
-- own tone, made here from samples; a missed one buzzes. Three misses end the round, and
-- the best score is kept in a save file. The first round waits for Space, a click or a
-- move key. The mouse or Left/Right (A/D) move the paddle, Space starts a new round, M
-- switches the music, F12 saves a screenshot, Escape quits.

-- Game keys.
local LEFT, RIGHT, RESTART, MUSIC, CLICK = 1, 2, 3, 4, 5
local SCREENSHOT = 35 -- the engine saves a screenshot when this game key is pressed

-- Input codes.
local KEY_A, KEY_D, KEY_M, KEY_SPACE, KEY_F12 = 0, 3, 12, 57, 96
local KEY_LEFT, KEY_RIGHT, MOUSE_LEFT = 71, 72, 101

local SAVE_GAME, SAVE_FILE = "notecatcher", "notecatcher.sav"
local RATE = 22050
local PITCHES = {261.63, 293.66, 329.63, 392.00, 440.00, 523.25}
local COLOURS = {{1, 0.4, 0.4}, {1, 0.7, 0.3}, {1, 1, 0.4}, {0.4, 1, 0.5}, {0.4, 0.8, 1}, {0.8, 0.5, 1}}
local NOTE_SIZE = 0.12
local MAX_MISSES = 3
local HEADER = 0.18 -- height of the band behind the score and the key help

local tones = {}
local notes = {}
local paddle = {x = 0, width = 0.32, y = 0}
local held = {}
local score, misses, best = 0, 0, 0
local waiting = true -- until the first key or click: nothing falls before the player is there
local roundOver = false
local spawnIn = 0.5
local musicOn = true
-- The pointer reads as the left edge until the mouse first moves: the paddle stays in the
-- middle until then, and a click follows the mouse only once it has moved.
local followMouse = false
local mouseMoved = false
local lastMouseX

-- One tone as samples: a sine with its octave, a quick attack and a fading tail.
local function MakeTone(name, frequency)
    local item = GetNewAudio(name)
    local samples = {}
    for i = 1, math.floor(RATE * 0.3) do
        local t = (i - 1) / RATE
        local envelope = math.min(1, t * 200) * math.exp(-t * 9)
        samples[i] = 0.5 * envelope * (math.sin(2 * math.pi * frequency * t) + 0.3 * math.sin(4 * math.pi * frequency * t))
    end
    SetAudioData(item, samples, 1, RATE, 1)
    return item
end

function Init()
    math.randomseed(os.time())
    AddTex("textures/font.png") -- the item named "font", which Text draws with
    AddTex("demo/ball.png")
    AddAudio("demo/blip.wav")
    for i, pitch in ipairs(PITCHES) do
        tones[i] = MakeTone("tone" .. i, pitch)
    end
    AddMusic(0, "demo/drone.ogg")
    MusicProps(0, 0.35, 1, 1) -- quiet, normal pitch, looping
    Music(0)
    best = tonumber(ReadSaveString(SAVE_GAME, SAVE_FILE)) or 0

    BackColor(0.08, 0.07, 0.12, 1)
    BindKey(LEFT, KEY_LEFT)
    BindKey(LEFT, KEY_A, 1)
    BindKey(RIGHT, KEY_RIGHT)
    BindKey(RIGHT, KEY_D, 1)
    BindKey(RESTART, KEY_SPACE)
    BindKey(MUSIC, KEY_M)
    BindKey(CLICK, MOUSE_LEFT)
    BindKey(SCREENSHOT, KEY_F12)
    SetMouseFree(1)
    SetMouseVis(1)
end

-- Half the width and height of the view of SetCam(2, 1).
local function Bounds()
    local w, h = GetWindowSize()
    if w >= h then return 1, h / w end
    return w / h, 1
end

local function EndRound()
    roundOver = true
    notes = {}
    if score > best then
        best = score
        WriteSaveString(SAVE_GAME, SAVE_FILE, tostring(best))
    end
end

local function MovePaddle(step, halfW)
    local mouseX = GetMouseScalar()
    if lastMouseX and math.abs(mouseX - lastMouseX) > 1e-4 then
        followMouse = true
        mouseMoved = true
    end
    lastMouseX = mouseX
    if held[LEFT] or held[RIGHT] then followMouse = false end
    if followMouse then
        paddle.x = mouseX
    else
        if held[LEFT] then paddle.x = paddle.x - step * 1.6 end
        if held[RIGHT] then paddle.x = paddle.x + step * 1.6 end
    end
    local limit = halfW - paddle.width / 2
    paddle.x = math.max(-limit, math.min(limit, paddle.x))
end

local function Update(step, halfW, halfH)
    paddle.y = -halfH + 0.08
    MovePaddle(step, halfW)
    if waiting or roundOver then return end

    spawnIn = spawnIn - step
    if spawnIn <= 0 then
        spawnIn = math.max(0.35, 1.1 - score * 0.03)
        notes[#notes + 1] = {
            x = (math.random() * 2 - 1) * (halfW - NOTE_SIZE),
            y = halfH + NOTE_SIZE,
            speed = 0.35 + math.random() * 0.25 + score * 0.01,
            tone = math.random(#PITCHES),
        }
    end

    for i = #notes, 1, -1 do
        local n = notes[i]
        n.y = n.y - n.speed * step
        local near = math.abs(n.x - paddle.x) < paddle.width / 2 + NOTE_SIZE / 3
        if near and n.y < paddle.y + NOTE_SIZE / 2 and n.y > paddle.y - NOTE_SIZE / 4 then
            local slot = Audio(tones[n.tone])
            AudioProps(slot, 0.8, 1, 0, n.x * 3, 0, 0) -- heard from where it was caught
            score = score + 1
            table.remove(notes, i)
        elseif n.y < -halfH - NOTE_SIZE then
            local slot = Audio("blip")
            AudioProps(slot, 0.6, 0.5) -- an octave down: a buzz
            misses = misses + 1
            table.remove(notes, i)
            if misses >= MAX_MISSES then
                EndRound()
                return
            end
        end
    end
end

local function Box(x, y, w, h)
    Push()
    Move(x, y)
    Scale(w, h, 1)
    Quad()
    Pop()
end

function Draw(time, step)
    SetCam(2, 1) -- the engine starts every frame with the 3D camera
    Depth(0)
    Blend(0)
    local halfW, halfH = Bounds()
    Update(step, halfW, halfH)

    -- Lanes in the background.
    Tex(-1)
    for i = 0, 5 do
        local shade = 0.1 + 0.03 * (i % 2)
        Color(shade, shade, shade + 0.06)
        Box(-halfW + (i + 0.5) * halfW / 3, 0, halfW / 3, halfH * 2)
    end

    Tex("ball")
    for _, n in ipairs(notes) do
        local c = COLOURS[n.tone]
        Color(c[1], c[2], c[3], 1)
        Box(n.x, n.y, NOTE_SIZE, NOTE_SIZE)
    end

    Tex(-1)
    Color(0.9, 0.9, 1, 1)
    Box(paddle.x, paddle.y, paddle.width, 0.035)

    -- The header band: the notes fall from under it instead of across the text.
    Color(0.08, 0.07, 0.12)
    Box(0, halfH - HEADER / 2, halfW * 2, HEADER)

    Color(1, 1, 1)
    Push()
    Move(-halfW + 0.04, halfH - 0.07)
    Scale(0.055)
    Text("Score " .. score .. "    Best " .. best .. "    Misses " .. misses .. "/" .. MAX_MISSES)
    Pop()
    -- The key help in white at nearly the score's size: any smaller or greyer, its thin
    -- strokes blur into the lanes.
    Color(1, 1, 1)
    Push()
    Move(-halfW + 0.04, halfH - 0.135)
    Scale(0.05)
    Text("Mouse, arrows or A and D move, Space new round, M music, F12 screenshot")
    Pop()
    Color(1, 1, 1)
    if waiting then
        Push()
        Move(0, 0.08)
        Scale(0.1)
        Text("Catch the notes", 0)
        Pop()
        Push()
        Move(0, -0.02)
        Scale(0.045)
        Text("Press Space or click to start", 0)
        Pop()
    elseif roundOver then
        Push()
        Move(0, 0.08)
        Scale(0.1)
        Text("Round over", 0)
        Pop()
        Push()
        Move(0, -0.02)
        Scale(0.045)
        Text("Press Space for another round", 0)
        Pop()
    end
end

function KeyHappen(key, state, time)
    held[key] = state ~= 0
    if state ~= 1 then return end
    if waiting and (key == RESTART or key == CLICK or key == LEFT or key == RIGHT) then
        waiting = false
    end
    if key == RESTART and roundOver then
        score, misses, roundOver, spawnIn = 0, 0, false, 0.5
    elseif key == MUSIC then
        musicOn = not musicOn
        if musicOn then Music(0) else StopMusic(0) end
    elseif key == CLICK and mouseMoved then
        followMouse = true
    end
end

function OnError()
    StopMusic(0)
end
