// Numeric helpers: the noise bit tables and values, fastfloor, the 15-bit generator
// and its users, clamping, RoundSnap and NextPowerOfTwo.
#include "numericfuncs.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace {

void ExpectTable(float seed, const int (&want)[8]) {
    SimplexNoise n(seed);
    for (int k = 0; k < 8; k++)
        EXPECT_EQ(n.T[k], want[k]) << "seed " << seed << " entry " << k;
}

const float kPoints[5][3] = {
    {0.5f, 0.25f, 0.125f}, {1.3f, -2.7f, 0.4f}, {-0.75f, 3.5f, -1.25f}, {10.1f, 20.2f, -5.5f}, {-3, -2, 0}};

// splitmix64: the same sequence on every platform and compiler.
uint64_t NextBits(uint64_t& st) {
    uint64_t z = (st += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

float FloatOf(uint32_t bits) {
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}

uint32_t BitsOf(float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    return bits;
}

// One finite coordinate of kind 0..7: fractions below 8, whole numbers, quarters, wide
// values up to 2^24, huge ones up to 2^101 (past the int range) and tiny ones.
float SampleCoord(uint64_t r, int kind) {
    uint32_t sign = (uint32_t)(r >> 63) << 31, mant = (uint32_t)r & 0x7FFFFF;
    uint32_t e = (uint32_t)(r >> 23) & 0xFF;
    int w = (int)((r >> 32) & 0xFFFFFFF);
    switch (kind) {
    case 3:
        return (float)(w % 81 - 40);
    case 4:
        return (float)(w % 801 - 400) * 0.25f;
    case 5:
        return FloatOf(sign | (130 + e % 21) << 23 | mant);
    case 6:
        return FloatOf(sign | (151 + e % 77) << 23 | mant);
    case 7:
        return FloatOf(sign | (e % 117) << 23 | mant);
    default:
        return FloatOf(sign | (117 + e % 13) << 23 | mant);
    }
}

} // namespace

TEST(NoiseTable, KnownSeeds) {
    ExpectTable(0, {0, 40, 10, 45, 140, 50, 220, 0});
    ExpectTable(1, {104, 117, 55, 54, 150, 52, 220, 14});
    ExpectTable(-1, {-104, -37, -35, 35, 129, 47, 219, -14});
    // Entry 4 is 240, not 241: the sum is truncated in extended precision.
    ExpectTable(10, {40, 310, 462, 144, 240, 77, 225, 140});
}

TEST(NoiseTable, ReseedReplacesTheTable) {
    SimplexNoise n(0);
    n.SetSeed(10);
    EXPECT_EQ(n.T[4], 240);
    n.SetSeed(0);
    EXPECT_EQ(n.T[1], 40);
    EXPECT_EQ(n.A[0], 0);
}

TEST(NoiseTable, NegativeEntriesAndHugeSeeds) {
    SimplexNoise n(-20);
    EXPECT_EQ(n.T[0], -80); // -2080 % 500 keeps the sign
    for (int k = 0; k < 8; k++) {
        EXPECT_GT(n.T[k], -500);
        EXPECT_LT(n.T[k], 500);
    }
    // Products beyond the int range do not crash; every entry stays in range.
    SimplexNoise big(1e30f);
    SimplexNoise nan(std::numeric_limits<float>::quiet_NaN());
    for (int k = 0; k < 8; k++) {
        EXPECT_GT(big.T[k], -500);
        EXPECT_LT(big.T[k], 500);
        EXPECT_EQ(nan.T[k], INT_MIN % 500);
    }
}

TEST(NoiseFloor, FastFloor) {
    SimplexNoise n(0);
    EXPECT_EQ(n.fastfloor(0.0f), -1);
    EXPECT_EQ(n.fastfloor(-2.0f), -3);
    EXPECT_EQ(n.fastfloor(2.5f), 2);
    EXPECT_EQ(n.fastfloor(-0.5f), -1);
    EXPECT_EQ(n.fastfloor(3.0f), 3);
    EXPECT_EQ(n.fastfloor(-0.0f), -1);
    EXPECT_EQ(n.fastfloor(1e-30f), 0);
}

TEST(NoiseBits, BitAndShuffle) {
    SimplexNoise n(1);
    EXPECT_EQ(n.b(6, 1), 1);
    EXPECT_EQ(n.b(6, 0), 0);
    EXPECT_EQ(n.b(-1, 7), 1); // arithmetic shift of a negative value
    EXPECT_EQ(n.b(-256, 3), 0);
    // Every bit of (0, 0, 0) picks entry 0.
    EXPECT_EQ(n.shuffle(0, 0, 0), 8 * n.T[0]);
    // All bits set picks entry 7.
    EXPECT_EQ(n.shuffle(-1, -1, -1), 8 * n.T[7]);
    // i = 1: bit 0 of i feeds positions 2, 0 and 1 of the three lookups of B = 0, 1, 2.
    EXPECT_EQ(n.b(1, 0, 0, 0), n.T[4]);
    EXPECT_EQ(n.b(0, 1, 0, 0), n.T[2]);
    EXPECT_EQ(n.shuffle(1, 0, 0), n.T[4] + 7 * n.T[0]);
    EXPECT_EQ(n.shuffle(0, 1, 0), n.T[2] + 7 * n.T[0]);
}

TEST(NoiseValues, Stable) {
    // Fixed values for fixed seeds: any change in the algorithm shows here.
    const float want[4][5] = {
        {0.0118358778f, -1.18193974e-07f, -0.198500782f, -0.0139610507f, -0.0269695297f},
        {-0.0807546824f, 0.132197827f, 0.118899249f, -0.0656854212f, 0.0269695297f},
        {-0.126534566f, -0.099148348f, 5.96046448e-08f, 0.00215773098f, -0.0134847648f},
        {-0.0306220632f, 0.0f, -0.113773428f, -0.109104961f, 0.0f}};
    const float seeds[4] = {0, 1, -1, 10};
    for (int s = 0; s < 4; s++) {
        SimplexNoise n(seeds[s]);
        for (int p = 0; p < 5; p++)
            EXPECT_FLOAT_EQ(n.Noise(kPoints[p][0], kPoints[p][1], kPoints[p][2]), want[s][p])
                << "seed " << seeds[s] << " point " << p;
    }
}

TEST(NoiseValues, PinnedBitExact) {
    // Any change of operation order, precision or rounding shows here: a digest of 32768
    // values (eight seeds, mixed kinds of coordinates) and a few points by their bits.
    const float seeds[8] = {0, 1, -1, 10, 3.7f, -20, 12345.5f, 0.001f};
    uint64_t digest = 0xcbf29ce484222325ull, st = 2024;
    for (float seed : seeds) {
        SimplexNoise n(seed);
        for (int p = 0; p < 4096; p++) {
            // Half the points take one kind for all three coordinates (all whole, all huge...).
            uint64_t m = NextBits(st);
            float c[3];
            for (int a = 0; a < 3; a++)
                c[a] = SampleCoord(NextBits(st), (int)(m & 1 ? m >> 1 : m >> (4 + 3 * a)) & 7);
            uint32_t bits = BitsOf(n.Noise(c[0], c[1], c[2]));
            for (int k = 0; k < 4; k++)
                digest = (digest ^ ((bits >> (8 * k)) & 0xFF)) * 0x100000001b3ull;
        }
    }
    EXPECT_EQ(digest, 0xfb0808f955dd37fcull);

    const struct {
        float seed, x, y, z;
        uint32_t want;
    } pins[] = {
        {0, 0, 0, 0, 0x00000000u},
        {0, -1, -1, -1, 0x00000000u},
        {0, -3, -2, 0, 0xbcdcef34u},
        {0, 1, 2, 3, 0x00000000u},
        {0, -0.5f, -0.25f, -0.125f, 0xbcca092eu},
        {0, 0.1f, 0.2f, 0.3f, 0xbd45642eu},
        {0, 0.3f, 0.3f, 0.3f, 0x3d674fc2u},
        {0, 123.456f, -654.321f, 42.42f, 0x3b849390u},
        {0, 1e30f, 1e30f, 1e30f, 0x00000000u},
        {0, 3e9f, -3e9f, 1e38f, 0x00000000u},
        {0, -1e30f, 5, 0.5f, 0x00000000u},
        {0, FLT_MAX, FLT_MAX, FLT_MAX, 0x00000000u}, // the skew sum overflows to infinity
        {0, FLT_MAX, -FLT_MAX, 0.5f, 0x00000000u},
        {0, 16777216.0f, -16777218.0f, 0.5f, 0xb3dcf073u},
        {0, 1e-30f, -1e-30f, 0, 0x00000000u},
        {0, -0.0f, 0.75f, -7.25f, 0x3dbec546u},
        {1, 0.5f, 0.25f, 0.125f, 0xbda562b6u},
        {1, -2, 5, -7, 0xbdde33d6u},
        {1, 2.5f, -1.5f, 0.25f, 0xbc04c956u},
        {1, -100.7f, 33.3f, 0.01f, 0xbc12e0ecu},
        {-1, 1.3f, -2.7f, 0.4f, 0xbdcb0e4au},
        {-1, -4, -4, -4, 0x00000000u},
        {-1, 0.66f, 0.66f, -1.33f, 0x3e457ff2u},
        {10, 10.1f, 20.2f, -5.5f, 0xbddf726cu},
        {10, -0.75f, 3.5f, -1.25f, 0xbde9020bu},
        {10, 7, -8, 9, 0x3e4295e8u},
        {3.7f, 0.9f, 0.1f, -0.3f, 0xbdcdd7ceu},
        {3.7f, 1000.5f, -2000.25f, 3000.125f, 0x3daa13eeu},
        {-20, -0.2f, -0.4f, -0.6f, 0xbd72138du},
        {-20, 5e6f, 0.5f, -5e6f, 0xbd75dc42u},
        {12345.5f, 0.123f, 4.56f, -7.89f, 0xbdfc5f90u},
        {0.001f, -9.5f, 9.5f, 0.3333f, 0xbd09b121u},
    };
    for (const auto& p : pins) {
        SimplexNoise n(p.seed);
        EXPECT_EQ(BitsOf(n.Noise(p.x, p.y, p.z)), p.want)
            << "seed " << p.seed << " at " << p.x << ", " << p.y << ", " << p.z;
    }
}

TEST(NoiseValues, RepeatableAndReseedable) {
    SimplexNoise n(3);
    float first = n.Noise(0.3f, 0.7f, 1.9f);
    n.Noise(5, 6, 7);
    EXPECT_EQ(n.Noise(0.3f, 0.7f, 1.9f), first);
    n.SetSeed(4);
    float other = n.Noise(0.3f, 0.7f, 1.9f);
    EXPECT_NE(other, first);
    n.SetSeed(3);
    EXPECT_EQ(n.Noise(0.3f, 0.7f, 1.9f), first);
}

TEST(NoiseValues, OriginUsesTheLowerCell) {
    // At the origin fastfloor gives cell -1 on every axis; only the far corner (0,0,0)
    // lies within reach and its gradient is zero there.
    SimplexNoise n(1);
    EXPECT_EQ(n.Noise(0, 0, 0), 0.0f);
    EXPECT_EQ(n.i, -1);
    EXPECT_EQ(n.j, -1);
    EXPECT_EQ(n.k, -1);
    EXPECT_EQ(n.A[0] + n.A[1] + n.A[2], 4);
}

TEST(NoiseValues, SmoothAndBounded) {
    SimplexNoise n(7);
    float prev = n.Noise(0.01f, 0.2f, 0.3f);
    float lo = 0, hi = 0;
    for (int step = 1; step < 2000; step++) {
        float x = 0.01f + step * 0.005f;
        float v = n.Noise(x, 0.2f, 0.3f);
        EXPECT_LT(std::fabs(v - prev), 0.1f);
        lo = std::min(lo, v);
        hi = std::max(hi, v);
        prev = v;
    }
    EXPECT_LT(lo, -0.05f);
    EXPECT_GT(hi, 0.05f);
    EXPECT_LT(hi, 2.0f);
    EXPECT_GT(lo, -2.0f);
}

TEST(NoiseValues, AbsurdPointsDoNotCrash) {
    SimplexNoise n(1);
    float v = n.Noise(3e9f, -3e9f, 1e38f);
    EXPECT_FALSE(std::isnan(v));
    EXPECT_FALSE(std::isnan(n.Noise(std::numeric_limits<float>::infinity(), 0, 0)));
}

TEST(NoiseValues, TableWrittenDirectlyIsUsed) {
    SimplexNoise n(0), ten(10);
    n.Noise(0.3f, 0.7f, 1.9f);
    std::memcpy(n.T, ten.T, sizeof n.T);
    EXPECT_EQ(BitsOf(n.Noise(10.1f, 20.2f, -5.5f)), BitsOf(ten.Noise(10.1f, 20.2f, -5.5f)));
}

TEST(NoiseValues, NaNPointsGiveNaNInfinitePointsZero) {
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    const float nans[][3] = {{0, 0, nan}, {nan, 0.5f, 2}, {inf, nan, 0}};
    const float infs[][3] = {{inf, -inf, 0}, {1, inf, 0}, {-inf, 0, 0}, {3, 4, -inf}};
    SimplexNoise n(1);
    for (const auto& p : nans)
        EXPECT_TRUE(std::isnan(n.Noise(p[0], p[1], p[2]))) << p[0] << ", " << p[1] << ", " << p[2];
    for (const auto& p : infs)
        EXPECT_EQ(BitsOf(n.Noise(p[0], p[1], p[2])), 0u) << p[0] << ", " << p[1] << ", " << p[2];
    EXPECT_EQ(BitsOf(n.Noise(0.5f, 0.25f, 0.125f)), 0xbda562b6u);
}

TEST(RandomGen, FifteenBitRange) {
    srand15(12345);
    int lo = INT_MAX, hi = INT_MIN;
    for (int n = 0; n < 200000; n++) {
        int r = rand15();
        lo = std::min(lo, r);
        hi = std::max(hi, r);
    }
    EXPECT_EQ(lo, 0);
    EXPECT_EQ(hi, 32767);
    srand15(1);
    int a = rand15(), b = rand15();
    srand15(1);
    EXPECT_EQ(rand15(), a);
    EXPECT_EQ(rand15(), b);
}

TEST(RandomGen, RandIntAndRandFloat) {
    srand15(99);
    bool seen[7] = {};
    for (int n = 0; n < 5000; n++) {
        int r = RandInt(1, 6);
        ASSERT_GE(r, 1);
        ASSERT_LE(r, 6);
        seen[r] = true;
    }
    for (int k = 1; k <= 6; k++)
        EXPECT_TRUE(seen[k]) << k;
    float lo = 2, hi = -1;
    for (int n = 0; n < 200000; n++) {
        float f = RandFloat(0, 1);
        lo = std::min(lo, f);
        hi = std::max(hi, f);
    }
    EXPECT_EQ(lo, 0.0f);
    EXPECT_EQ(hi, 32767.0f / 32768.0f);
    EXPECT_EQ(RandInt(5, 5), 5);
    // An empty range (max one below min) gives min instead of dividing by zero.
    EXPECT_EQ(RandInt(5, 4), 5);
    // The widest range does not overflow: the draw is added to min.
    srand15(99);
    int draw = rand15();
    srand15(99);
    EXPECT_EQ(RandInt(INT_MIN, INT_MAX), INT_MIN + draw);
    srand15(99);
    EXPECT_EQ(RandInt(-1000000, 1000000), draw - 1000000);
}

TEST(RandomGen, RNGSharesTheGlobalSequence) {
    RNG a(false), b(false);
    EXPECT_FALSE(a.seeded);
    a.Seed(5);
    b.Seed(6);
    EXPECT_TRUE(a.seeded);
    int fromA = a.NextInt(0, 32767);
    srand15(6);
    EXPECT_EQ(fromA, rand15()); // the later seed won for both
    a.Seed(42);
    float f = a.NextFloat(10, 20);
    srand15(42);
    EXPECT_EQ(f, (float)(rand15() / 32768.0 * 10 + 10));
    RNG now(true);
    EXPECT_TRUE(now.seeded);
}

TEST(RandomGen, UnseededRNGSeedsWithZeroSeconds) {
    RNG r(false);
    int v = r.NextInt(0, 32767);
    EXPECT_TRUE(r.seeded);
    srand15(0);
    EXPECT_EQ(v, rand15());
}

TEST(Clamps, ClampI) {
    EXPECT_EQ(clampi(5, 0, 3), 3);
    EXPECT_EQ(clampi(-1, 0, 3), 0);
    EXPECT_EQ(clampi(2, 0, 3), 2);
    EXPECT_EQ(clampi(0, 5, 1), 5); // lo above hi: below lo gives lo
    EXPECT_EQ(clampi(7, 5, 1), 1); // anything else gives hi
    EXPECT_EQ(clampi(5, 5, 1), 1);
}

TEST(Clamps, ClampF) {
    EXPECT_EQ(clampf(1.5f, 0, 1), 1.0f);
    EXPECT_EQ(clampf(-0.5f, 0, 1), 0.0f);
    EXPECT_EQ(clampf(0.25f, 0, 1), 0.25f);
    EXPECT_TRUE(std::isnan(clampf(std::nanf(""), 0, 1)));
    EXPECT_EQ(clampf(0, 5, 1), 5.0f);
}

TEST(Rounding, RoundSnap) {
    EXPECT_EQ(RoundSnap(2.5), 3);
    EXPECT_EQ(RoundSnap(2.49), 2);
    EXPECT_EQ(RoundSnap(-0.4), 0);
    EXPECT_EQ(RoundSnap(-2.5), -2);
    EXPECT_EQ(RoundSnap(-2.7), -2);
    EXPECT_EQ(RoundSnap(0.0), 0);
    EXPECT_EQ(RoundSnap(1e20), INT_MIN); // out of range: the machine's indefinite value
}

TEST(Rounding, NextPowerOfTwo) {
    EXPECT_EQ(NextPowerOfTwo(1), 1);
    EXPECT_EQ(NextPowerOfTwo(2), 2);
    EXPECT_EQ(NextPowerOfTwo(3), 4);
    EXPECT_EQ(NextPowerOfTwo(1000), 1024);
    EXPECT_EQ(NextPowerOfTwo(1024), 1024);
    EXPECT_EQ(NextPowerOfTwo(1025), 2048);
    EXPECT_EQ(NextPowerOfTwo(1920), 2048);
    EXPECT_EQ(NextPowerOfTwo(4097), 8192);
    EXPECT_EQ(NextPowerOfTwo(0), 1);
    EXPECT_EQ(NextPowerOfTwo(-5), 1);
}
