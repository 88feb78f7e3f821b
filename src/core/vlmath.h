// vlmath: small vectors, the 4x4 matrix in the fixed-function layout (column-major,
// element (r, c) at m[4c + r]), a 16-deep matrix stack, the look-at helper and
// LargestAxi.
#pragma once

const float TO_RAD = 0.017453292519943295f;
const float TO_DEGREES = 57.29577951308232f;
const float TURNS_TO_DEGREES = 180.0f;

struct V3 {
    float x, y, z;
    V3(float x = 0, float y = 0, float z = 0) : x(x), y(y), z(z) {}
    float& operator[](unsigned i) { return i == 0 ? x : (i == 1 ? y : z); }
};

struct V4 {
    float x, y, z, w;
    V4(float x = 0, float y = 0, float z = 0, float w = 0) : x(x), y(y), z(z), w(w) {}
};

class Matrix {
  public:
    float m[16];

    Matrix();
    ~Matrix() {}

    void Identity();
    void Assign(Matrix* other);
    void SetVal(int i, float v);
    void Multiply(Matrix* other); // this = other x this
    void Scale(float x, float y, float z);
    void Translate(float x, float y, float z);
    void Rotate(float x, float y, float z, float angle); // radians
    // Records of 8 floats (position, normal, uv) at buf + offset + i * stride.
    void TransformBuf(unsigned char* buf, int offset, int count, int stride, const Matrix* tex);
};

void Normalize3(float& x, float& y, float& z);

class MatrixStack {
  public:
    Matrix stack[16];
    int top;

    MatrixStack();

    void Push();
    void Pop();
    float* Ptr();
    void Reset();
    void Scale(float x, float y, float z);
    void Rotate(float x, float y, float z, float angle);
    void Translate(float x, float y, float z);
};

// Loads the identity on the current GL matrix, then the view from eye to target, up +z.
void LookAtV3(const V3& target, const V3& eye);
// Axis with the n-th largest magnitude: 0..2 negative side of x, y, z, 3..5 positive.
int LargestAxi(V3& v, int n);
