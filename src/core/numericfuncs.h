// numericfuncs: the seeded simplex noise generator, random numbers in the 0..32767
// range of the classic runtime generator, clamping, rounding and powers of two.
#pragma once

class SimplexNoise {
  public:
    int i, j, k;
    int A[3];
    float u, v, w;
    float s;
    int T[8];

    SimplexNoise(float seed);
    void SetSeed(float seed);
    float Noise(float x, float y, float z);
    int fastfloor(float x);
    // The corner contribution. C++ cannot give it the name of the field k.
    float K(int a);
    int shuffle(int i, int j, int k);
    int b(int i, int j, int k, int B);
    int b(int N, int B);

  private:
    // Noise finds its corner hashes in hashLow, made from T; hashT is the T it was made
    // from, so that a changed T is seen at the next query.
    int hashT[8];
    unsigned char hashLow[4096];
    void BuildHashTable();
};

// Our own generator with the classic range 0..32767 (the platform rand has a larger
// one); RNG, RandInt and RandFloat all draw from it.
void srand15(unsigned seed);
int rand15();

class RNG {
  public:
    bool seeded;

    RNG(bool seedNow);
    void Seed(int seed);
    int NextInt(int min, int max);
    float NextFloat(float min, float max);
};

int RandInt(int min, int max);
float RandFloat(float min, float max);
int clampi(int x, int lo, int hi);
float clampf(float x, float lo, float hi);
int RoundSnap(double x);
int NextPowerOfTwo(int n);
