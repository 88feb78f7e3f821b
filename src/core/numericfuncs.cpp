// numericfuncs: seeded 3D simplex noise, the 15-bit random generator and its users,
// clamping, rounding and the next power of two.
#include "numericfuncs.h"

#include <SFML/System/Clock.hpp>
#include <climits>
#include <cmath>
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

float SimplexNoise::Noise(float x, float y, float z) {
    // A NaN or infinite coordinate is no point of any cell (a NaN defeats every
    // comparison of the corner walk, which would then step outside A): its value is 0.
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z)) return 0.0f;
    s = (x + y + z) * 0.33333334f;
    i = fastfloor(x + s);
    j = fastfloor(y + s);
    k = fastfloor(z + s);
    s = (float)WrapAdd(WrapAdd(i, j), k) * 0.16666667f;
    u = (x - (float)i) + s;
    v = (y - (float)j) + s;
    w = (z - (float)k) + s;
    A[0] = A[1] = A[2] = 0;
    int hi = u >= w ? (u >= v ? 0 : 1) : (v >= w ? 1 : 2);
    int lo = u < w ? (u < v ? 0 : 1) : (v < w ? 1 : 2);
    // The corner walk depends on the call order, so each call is its own statement.
    float sum = K(hi);
    sum += K(3 - hi - lo);
    sum += K(lo);
    sum += K(0);
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
