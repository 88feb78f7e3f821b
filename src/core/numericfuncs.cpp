// numericfuncs: seeded 3D simplex noise, the 15-bit random generator and its users,
// clamping, rounding and the next power of two.
#include "numericfuncs.h"

#include <SFML/System/Clock.hpp>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <ctime>

// Truncation toward zero as the x86 conversion does it: a value outside the int range
// (or not a number) gives the smallest int instead of undefined behaviour.
static int TruncToInt(long double v) {
    if (!(v > (long double)INT_MIN - 1.0L && v < (long double)INT_MAX + 1.0L)) return INT_MIN;
    return (int)v;
}

// Integer sums that wrap like the machine's 32-bit adds (cell origins near the int
// limits come from absurd query points; they must not be undefined).
static inline int WrapAdd(int a, int b) {
    return (int)((unsigned)a + (unsigned)b);
}

static const double kSeedMul[8] = {104, 77, 45.2, 9.911, 10.1, 2.7, 0.5, 14};
static const double kSeedAdd[8] = {0, 40, 10, 45, 140, 50, 220, 0};

SimplexNoise::SimplexNoise(float seed) : i(0), j(0), k(0), u(0), v(0), w(0), s(0) {
    A[0] = A[1] = A[2] = 0;
    SetSeed(seed);
    BuildHashTable();
}

void SimplexNoise::SetSeed(float seed) {
    for (int n = 0; n < 8; n++) {
        // Extended precision on purpose: seed 10 must give 240 for entry 4, since
        // 10.1 as a double lies just below 10.1 and a double sum would round up to 241.
        long double v = (long double)seed * (long double)kSeedMul[n] + (long double)kSeedAdd[n];
        // C++ % keeps the dividend's sign: negative seeds give entries from -499 to 0.
        T[n] = TruncToInt(v) % 500;
    }
}

int SimplexNoise::fastfloor(float x) {
    // Deliberately one below the floor at 0 and at negative whole numbers: the cell
    // origin of such points sits one cell lower, and the noise values depend on it.
    int t = TruncToInt(x);
    return x > 0 ? t : WrapAdd(t, -1);
}

int SimplexNoise::b(int N, int B) {
    return (N >> B) & 1;
}

int SimplexNoise::b(int i, int j, int k, int B) {
    return T[(b(i, B) << 2) | (b(j, B) << 1) | b(k, B)];
}

int SimplexNoise::shuffle(int i, int j, int k) {
    return b(i, j, k, 0) + b(j, k, i, 1) + b(k, i, j, 2) + b(i, j, k, 3) + b(j, k, i, 4) + b(k, i, j, 5) +
           b(i, j, k, 6) + b(j, k, i, 7);
}

float SimplexNoise::K(int a) {
    s = (float)(A[0] + A[1] + A[2]) * 0.16666667f;
    float x = (u - (float)A[0]) + s;
    float y = (v - (float)A[1]) + s;
    float z = (w - (float)A[2]) + s;
    float t = 0.6f - x * x - y * y - z * z;
    int h = shuffle(WrapAdd(i, A[0]), WrapAdd(j, A[1]), WrapAdd(k, A[2]));
    A[a]++;
    if (t < 0) return 0.0f;
    int b5 = b(h, 5), b4 = b(h, 4), b3 = b(h, 3), b2 = b(h, 2);
    int bb = h & 3;
    float p, q, r;
    if (bb == 1) {
        p = x, q = y, r = z;
    } else if (bb == 2) {
        p = y, q = z, r = x;
    } else {
        p = z, q = x, r = y;
    }
    if (b5 == b3) p = -p;
    if (b5 == b4) q = -q;
    if (b5 != (b4 ^ b3)) r = -r;
    t = t * t;
    float sel = bb == 0 ? q + r : (b2 == 0 ? q : r);
    return 8.0f * t * t * (sel + p);
}

// The fast query computes what shuffle computes, in two lookups. Bit B of the three
// coordinates gives the 3-bit index of lookup B; the spread tables put those bits of an
// 8-bit coordinate at bits 3B..3B+2 of one word, already in the order that lookup B
// takes them (i, j, k for B = 0, 3, 6; j, k, i for 1, 4, 7; k, i, j for 2, 5).
struct NoiseSpread {
    uint32_t i[256], j[256], k[256];
};

static constexpr NoiseSpread MakeNoiseSpread() {
    NoiseSpread t{};
    for (int n = 0; n < 256; n++) {
        for (int B = 0; B < 8; B++) {
            uint32_t bit = (uint32_t)(n >> B) & 1;
            int r = B % 3;
            t.i[n] |= bit << (3 * B + (r == 0 ? 2 : r == 1 ? 0 : 1));
            t.j[n] |= bit << (3 * B + (r == 0 ? 1 : r == 1 ? 2 : 0));
            t.k[n] |= bit << (3 * B + (r == 0 ? 0 : r == 1 ? 1 : 2));
        }
    }
    return t;
}

static constexpr NoiseSpread kNoiseSpread = MakeNoiseSpread();

// hashLow[c] holds the sum of T over the four 3-bit fields of c, modulo 64: only bits 0
// to 5 of a hash are used, and those bits of a sum depend only on the same bits of its
// terms. The table follows T (whoever wrote it) through the copy in hashT.
void SimplexNoise::BuildHashTable() {
    for (int c = 0; c < 4096; c++)
        hashLow[c] = (unsigned char)((T[c & 7] + T[(c >> 3) & 7] + T[(c >> 6) & 7] + T[(c >> 9) & 7]) & 63);
    std::memcpy(hashT, T, sizeof T);
}

// Noise computes its four corners side by side, one corner per lane: each lane does K's
// operations in K's order (lane-wise float operations round exactly as single ones).
typedef float NoiseF4 __attribute__((vector_size(16)));
typedef int NoiseI4 __attribute__((vector_size(16)));
typedef unsigned NoiseU4 __attribute__((vector_size(16)));

// The corner walk for each outcome of the three comparisons of the offsets (see Noise):
// the corners in K's call order (the origin, one step along the axis of the largest
// offset, one more along the middle axis, the far corner), as one vector per corner
// (corner) and as one vector per axis with one lane per corner (axis).
struct NoiseWalk {
    float corner[4][4];
    float axis[3][4];
};

static constexpr NoiseWalk MakeNoiseWalk(int uw, int uv, int vw) {
    NoiseWalk walk{};
    int hi = uw ? (uv ? 0 : 1) : (vw ? 1 : 2);
    int lo = !uw ? (!uv ? 0 : 1) : (!vw ? 1 : 2);
    for (int a = 0; a < 3; a++) {
        walk.corner[1][a] = walk.axis[a][1] = a == hi;
        walk.corner[2][a] = walk.axis[a][2] = a != lo;
        walk.corner[3][a] = walk.axis[a][3] = 1;
    }
    return walk;
}

static constexpr NoiseWalk kNoiseWalks[8] = {
    MakeNoiseWalk(0, 0, 0), MakeNoiseWalk(1, 0, 0), MakeNoiseWalk(0, 1, 0), MakeNoiseWalk(1, 1, 0),
    MakeNoiseWalk(0, 0, 1), MakeNoiseWalk(1, 0, 1), MakeNoiseWalk(0, 1, 1), MakeNoiseWalk(1, 1, 1)};

// The gradient term of a corner hash (bits 0 to 5) on the corner's (x, y, z): K adds
// sel + p, where (p, q, r) is (x, y, z), (y, z, x) or (z, x, y) by h & 3, each negated by
// its bits, and sel is q + r when h & 3 is 0, else q or r by bit 2. Here each coordinate
// is kept or made -0 (keep) and negated (flip); the sum in x, y, z order is K's sum to
// the bit: with three terms it is K's order, with two the -0 drops out exactly (a + -0
// is a for every a, zeros too) and the two-term sum does not depend on the order.
struct NoiseGradient {
    uint32_t keep[4], flip[4];
};

struct NoiseGradients {
    NoiseGradient g[64];
};

static constexpr NoiseGradients MakeNoiseGradients() {
    NoiseGradients t{};
    for (int h = 0; h < 64; h++) {
        int b5 = (h >> 5) & 1, b4 = (h >> 4) & 1, b3 = (h >> 3) & 1, b2 = (h >> 2) & 1;
        int bb = h & 3;
        int p = bb == 1 ? 0 : bb == 2 ? 1 : 2; // the axis of p, then of q and r
        int q = (p + 1) % 3, r = (p + 2) % 3;
        bool used[3] = {}, negated[3] = {};
        used[p] = true;
        used[q] = bb == 0 || b2 == 0;
        used[r] = bb == 0 || b2 == 1;
        negated[p] = b5 == b3;
        negated[q] = b5 == b4;
        negated[r] = b5 != (b4 ^ b3);
        for (int axis = 0; axis < 4; axis++) {
            bool in = axis < 3 && used[axis];
            t.g[h].keep[axis] = in ? 0xFFFFFFFFu : 0u;
            t.g[h].flip[axis] = !in || negated[axis] ? 0x80000000u : 0u;
        }
    }
    return t;
}

static constexpr NoiseGradients kNoiseGradients = MakeNoiseGradients();

static inline NoiseF4 LoadF4(const float* p) {
    NoiseF4 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

static inline NoiseF4 SelectF4(NoiseI4 mask, NoiseF4 yes, NoiseF4 no) {
    return (NoiseF4)((mask & (NoiseI4)yes) | (~mask & (NoiseI4)no));
}

float SimplexNoise::Noise(float x, float y, float z) {
    // x - x is 0 for a finite x, NaN otherwise. A NaN coordinate makes every working
    // value NaN, so the value is NaN, as the arithmetic gives it; it returns here because
    // a NaN defeats every comparison of the corner walk, which would then step along no
    // axis. An infinite coordinate is no point of any cell: its value is 0.
    if (!((x - x) + (y - y) + (z - z) == 0.0f)) return (x != x || y != y || z != z) ? x + y + z : 0.0f;
    if (std::memcmp(hashT, T, sizeof T) != 0) BuildHashTable();

    // The cell origin: fastfloor of x + s, y + s and z + s in three lanes. A float is
    // in the int range exactly when it lies in [-2^31, 2^31); outside it the lane
    // converts -2^31, which gives the smallest int as TruncToInt does.
    const NoiseF4 point = {x, y, z, 0.0f};
    float s0 = (x + y + z) * 0.33333334f;
    NoiseF4 skewed = point + s0;
    const NoiseF4 low = {-2147483648.0f, -2147483648.0f, -2147483648.0f, -2147483648.0f};
    NoiseI4 inRange = (skewed >= low) & (skewed < -low);
    NoiseF4 clamped = SelectF4(inRange, skewed, low);
    NoiseI4 cell =
        (NoiseI4)((NoiseU4) __builtin_convertvector(clamped, NoiseI4) + (NoiseU4) ~(skewed > 0.0f));
    int ci = cell[0], cj = cell[1], ck = cell[2];
    float s1 = (float)WrapAdd(WrapAdd(ci, cj), ck) * 0.16666667f;
    NoiseF4 offset = (point - __builtin_convertvector(cell, NoiseF4)) + s1;
    float cu = offset[0], cv = offset[1], cw = offset[2];
    // K's hi and lo (ties included) follow from these three comparisons.
    int uw = cu >= cw, uv = cu >= cv, vw = cv >= cw;
    const NoiseWalk& walk = kNoiseWalks[uw | uv << 1 | vw << 2];

    // The corner hashes. Each axis has its field of the spread word; a corner takes the
    // field of the cell origin or of the next cell on each axis.
    uint32_t si0 = kNoiseSpread.i[(unsigned)ci & 255], si1 = kNoiseSpread.i[((unsigned)ci + 1) & 255];
    uint32_t sj0 = kNoiseSpread.j[(unsigned)cj & 255], sj1 = kNoiseSpread.j[((unsigned)cj + 1) & 255];
    uint32_t sk0 = kNoiseSpread.k[(unsigned)ck & 255], sk1 = kNoiseSpread.k[((unsigned)ck + 1) & 255];
    uint32_t m0 = si0 | sj0 | sk0, m3 = si1 | sj1 | sk1;
    // The second corner steps along hi, the third along every axis but lo.
    uint32_t m1 = m0 ^ ((uw & uv) ? si0 ^ si1 : (!uw & !vw) ? sk0 ^ sk1 : sj0 ^ sj1);
    uint32_t m2 = m3 ^ (!(uw | uv) ? si0 ^ si1 : (uw & vw) ? sk0 ^ sk1 : sj0 ^ sj1);
    auto hash = [&](uint32_t m) { return hashLow[m & 4095] + hashLow[m >> 12]; };

    // K's s for each corner: the number of steps taken times 0.16666667.
    const float c = 0.16666667f;
    const NoiseF4 sk = {(float)0 * c, (float)1 * c, (float)2 * c, (float)3 * c};
    NoiseF4 px = (cu - LoadF4(walk.axis[0])) + sk;
    NoiseF4 py = (cv - LoadF4(walk.axis[1])) + sk;
    NoiseF4 pz = (cw - LoadF4(walk.axis[2])) + sk;
    NoiseF4 t = 0.6f - px * px - py * py - pz * pz;

    // Each corner's (x, y, z) in one vector: the same operations as for px, py and pz.
    auto term = [&](int corner, uint32_t m) {
        NoiseF4 xyz = (offset - LoadF4(walk.corner[corner])) + sk[corner];
        const NoiseGradient& g = kNoiseGradients.g[hash(m) & 63];
        NoiseI4 keep, flip;
        std::memcpy(&keep, g.keep, sizeof keep);
        std::memcpy(&flip, g.flip, sizeof flip);
        return (NoiseF4)(((NoiseI4)xyz & keep) ^ flip);
    };
    NoiseF4 g0 = term(0, m0), g1 = term(1, m1), g2 = term(2, m2), g3 = term(3, m3);
    // Transposed: one vector per axis, one lane per corner.
    NoiseF4 lo01 = __builtin_shufflevector(g0, g1, 0, 4, 1, 5),
            lo23 = __builtin_shufflevector(g2, g3, 0, 4, 1, 5);
    NoiseF4 hi01 = __builtin_shufflevector(g0, g1, 2, 6, 3, 7),
            hi23 = __builtin_shufflevector(g2, g3, 2, 6, 3, 7);
    NoiseF4 gx = __builtin_shufflevector(lo01, lo23, 0, 1, 4, 5);
    NoiseF4 gy = __builtin_shufflevector(lo01, lo23, 2, 3, 6, 7);
    NoiseF4 gz = __builtin_shufflevector(hi01, hi23, 0, 1, 4, 5);
    NoiseF4 t2 = t * t;
    NoiseF4 value = 8.0f * t2 * t2 * ((gx + gy) + gz);
    // A corner out of reach (t < 0) adds 0.
    value = (NoiseF4)(~(t < 0.0f) & (NoiseI4)value);
    float sum = value[0];
    sum += value[1];
    sum += value[2];
    sum += value[3];

    // Leave the fields as the corner walk of K leaves them.
    i = ci, j = cj, k = ck;
    u = cu, v = cv, w = cw;
    s = (float)3 * c;
    A[0] = 2, A[1] = 1, A[2] = 1;
    return sum;
}

// The classic portable generator: 31-bit state, 15-bit results.
static unsigned long g_randState = 1;

void srand15(unsigned seed) {
    g_randState = seed;
}

int rand15() {
    g_randState = (g_randState * 1103515245ul + 12345ul) & 0xFFFFFFFFul;
    return (int)((g_randState >> 16) & 0x7FFF);
}

// A range whose size is 0 (max one below min) has no divisor: give min instead of a
// division by zero. Sizes are formed in 64 bits so wide ranges do not overflow.
static int RangeInt(int r, int min, int max) {
    long long size = (long long)max + 1 - min;
    if (size == 0) return min;
    return (int)(r % size + min);
}

RNG::RNG(bool seedNow) : seeded(false) {
    if (seedNow) Seed((int)(777 * (time(0) % 512)));
}

void RNG::Seed(int seed) {
    srand15((unsigned)seed);
    seeded = true;
}

int RNG::NextInt(int min, int max) {
    if (!seeded) {
        sf::Clock clock;
        Seed((int)clock.getElapsedTime().asSeconds());
    }
    return RangeInt(rand15(), min, max);
}

float RNG::NextFloat(float min, float max) {
    if (!seeded) {
        sf::Clock clock;
        Seed((int)clock.getElapsedTime().asSeconds());
    }
    return (float)(rand15() / 32768.0 * (max - min) + min);
}

int RandInt(int min, int max) {
    return RangeInt(rand15(), min, max);
}

float RandFloat(float min, float max) {
    return (float)(rand15() / 32768.0 * (max - min) + min);
}

int clampi(int x, int lo, int hi) {
    if (x < lo) return lo;
    if (x > hi) return hi;
    return x;
}

float clampf(float x, float lo, float hi) {
    if (lo > x) return lo;
    if (x > hi) return hi;
    return x;
}

int RoundSnap(double x) {
    return TruncToInt(x + 0.5);
}

int NextPowerOfTwo(int n) {
    // Below 1 the logarithm has no finite value; 1 is the smallest power of two.
    if (n < 1) return 1;
    return RoundSnap(pow(2.0, ceil(log((double)n) / 0.6931471805599453)));
}
