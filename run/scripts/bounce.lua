-- bounce.lua: a ball bouncing around a walled room, steered with the arrow keys or WASD.
-- The walls live in the engine's space mapper, which moves the ball each frame and
-- bounces it off the walls and their corners.

-- Game keys this script binds.
local LEFT, RIGHT, UP, DOWN = 0, 1, 2, 3

-- Input codes: arrow keys, then W A S D.
local KEY_LEFT, KEY_RIGHT, KEY_UP, KEY_DOWN = 71, 72, 73, 74
local KEY_A, KEY_D, KEY_W, KEY_S = 0, 3, 22, 18

local RADIUS = 0.5
local PUSH = 14      -- units per second squared while a direction is held
local MAX_SPEED = 18 -- keeps the ball from tunnelling through the grid in one frame

-- The room: a 16 x 16 square with a few obstacles inside.
local WALLS = {
    {-8, -8, 8, -8}, {8, -8, 8, 8}, {8, 8, -8, 8}, {-8, 8, -8, -8},
    {-5, -2, -2, -5},
    {2, 3, 6, 3},
    {3, -4, 3, -1},
    {-6, 4, -3, 5},
}

ball = {x = 0, y = 0, vx = 5, vy = 3.5}
bounces = 0
local held = {}
local contact = nil -- last contact point, drawn as a fading mark
local flash = 0

function Init()
    SetSpaceMapper(1)
    Set2DSpaceBounds(-10, -10, 10, 10, 8, 8)
    for _, w in ipairs(WALLS) do
        AddSpaceObject("line2d", w[1], w[2], w[3], w[4])
    end
    BindKey(LEFT, KEY_LEFT)
    BindKey(LEFT, KEY_A, 1)
    BindKey(RIGHT, KEY_RIGHT)
    BindKey(RIGHT, KEY_D, 1)
    BindKey(UP, KEY_UP)
    BindKey(UP, KEY_W, 1)
    BindKey(DOWN, KEY_DOWN)
    BindKey(DOWN, KEY_S, 1)
    Set2DCamScale(10)
    AddTex("textures/font.png")
end

function KeyHappen(key, state, time)
    held[key] = state ~= 0
end

local function Steer(dt)
    local ax, ay = 0, 0
    if held[LEFT] then ax = ax - PUSH end
    if held[RIGHT] then ax = ax + PUSH end
    if held[DOWN] then ay = ay - PUSH end
    if held[UP] then ay = ay + PUSH end
    ball.vx = ball.vx + ax * dt
    ball.vy = ball.vy + ay * dt
    local speed = math.sqrt(ball.vx * ball.vx + ball.vy * ball.vy)
    if speed > MAX_SPEED then
        ball.vx = ball.vx * MAX_SPEED / speed
        ball.vy = ball.vy * MAX_SPEED / speed
    end
end

local function Roll()
    local hit, pos, vel = {}, {}, {}
    local n = MapPoint({ball.x, ball.y, 0}, {ball.vx, ball.vy, 0}, RADIUS, hit, pos, vel)
    ball.x, ball.y = pos[1], pos[2]
    ball.vx, ball.vy = vel[1], vel[2]
    if n > 0 then
        bounces = bounces + n
        contact = hit
        flash = 1
    end
end

local function DrawRoom()
    Color(0.15, 0.2, 0.3)
    DebugDrawSegments()
    Color(0.9, 0.9, 1)
    for _, w in ipairs(WALLS) do
        DrawLine(w[1], w[2], 0, w[3], w[4], 0)
    end
end

-- The ball: its outline is the circle the mapper moves, filled with the unit quad that
-- fits inside it.
local SEGMENTS = 20
local function DrawBall()
    Color(1, 0.6, 0.1)
    local px, py = ball.x + RADIUS, ball.y
    for i = 1, SEGMENTS do
        local a = i / SEGMENTS * 2 * math.pi
        local x, y = ball.x + RADIUS * math.cos(a), ball.y + RADIUS * math.sin(a)
        DrawLine(px, py, 0, x, y, 0)
        px, py = x, y
    end
    Push()
    Move(ball.x, ball.y, 0)
    Rotate(ball.x - ball.y) -- rolls as it moves
    Scale(RADIUS * math.sqrt(2))
    Quad()
    Pop()
    if contact and flash > 0 then
        Color(1, 1, 0.3, flash)
        Push()
        Move(contact[1], contact[2], 0)
        Scale(0.25)
        Quad()
        Pop()
    end
end

local function DrawLabel()
    Color(1, 1, 1)
    Push()
    Move(-8, 8.8, 0)
    Scale(0.6)
    Text("arrows / WASD steer   bounces: " .. bounces)
    Pop()
end

function Draw(t, dt)
    SetCam(2, 2) -- the room fills the window's height, wider windows show more sideways
    Depth(0)
    Blend(4, 5)
    Steer(dt)
    Roll()
    flash = math.max(0, flash - dt * 2)
    DrawRoom()
    DrawBall()
    DrawLabel()
end
