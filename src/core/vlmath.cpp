// vlmath: matrix products in the fixed-function convention, vertex transforms, the
// matrix stack and the look-at helper.
#include "vlmath.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <cmath>
#include <cstdio>
#include <cstring>

Matrix::Matrix() {
    Identity();
}

void Matrix::Identity() {
    for (int n = 0; n < 16; n++)
        m[n] = 0.0f;
    m[0] = m[5] = m[10] = m[15] = 1.0f;
}

void Matrix::Assign(Matrix* other) {
    for (int n = 0; n < 16; n++)
        m[n] = other->m[n];
}

void Matrix::SetVal(int i, float v) {
    if (i >= 0 && i < 16) m[i] = v;
}

void Matrix::Multiply(Matrix* other) {
    float old[16];
    memcpy(old, m, sizeof old);
    // Multiplying a matrix by itself must read the left factor before it is overwritten.
    const float* left = other == this ? old : other->m;
    for (int c = 0; c < 4; c++)
        for (int r = 0; r < 4; r++) {
            double sum = 0.0;
            for (int k = 0; k < 4; k++)
                sum += (double)left[4 * k + r] * (double)old[4 * c + k];
            m[4 * c + r] = (float)sum;
        }
}

void Matrix::Scale(float x, float y, float z) {
    Matrix S;
    S.m[0] = x;
    S.m[5] = y;
    S.m[10] = z;
    S.Multiply(this);
    Assign(&S);
}

void Matrix::Translate(float x, float y, float z) {
    Matrix T;
    T.m[12] = x;
    T.m[13] = y;
    T.m[14] = z;
    T.Multiply(this);
    Assign(&T);
}

void Matrix::Rotate(float x, float y, float z, float angle) {
    Normalize3(x, y, z);
    float xx = x * x, yy = y * y, zz = z * z;
    float c1 = (float)(1.0 - cos((double)angle));
    float s = (float)sin((double)angle);
    Matrix R;
    R.m[0] = c1 * (xx - 1) + 1;
    R.m[1] = z * s + x * c1 * y;
    R.m[2] = -y * s + x * c1 * z;
    R.m[3] = 0;
    R.m[4] = -z * s + x * c1 * y;
    R.m[5] = c1 * (yy - 1) + 1;
    R.m[6] = x * s + y * c1 * z;
    R.m[7] = 0;
    R.m[8] = y * s + x * c1 * z;
    R.m[9] = -x * s + y * c1 * z;
    R.m[10] = c1 * (zz - 1) + 1;
    R.m[11] = R.m[12] = R.m[13] = R.m[14] = 0;
    R.m[15] = 1;
    R.Multiply(this);
    Assign(&R);
}

void Matrix::TransformBuf(unsigned char* buf, int offset, int count, int stride, const Matrix* tex) {
    for (int n = 0; n < count; n++) {
        unsigned char* rec = buf + offset + (long long)n * stride;
        float v[8];
        memcpy(v, rec, sizeof v); // records need not be float-aligned
        double px = v[0], py = v[1], pz = v[2];
        v[0] = (float)(m[0] * px + m[4] * py + m[8] * pz + m[12]);
        v[1] = (float)(m[1] * px + m[5] * py + m[9] * pz + m[13]);
        v[2] = (float)(m[2] * px + m[6] * py + m[10] * pz + m[14]);
        double nx = v[3], ny = v[4], nz = v[5];
        v[3] = (float)(m[0] * nx + m[4] * ny + m[8] * nz);
        v[4] = (float)(m[1] * nx + m[5] * ny + m[9] * nz);
        v[5] = (float)(m[2] * nx + m[6] * ny + m[10] * nz);
        if (tex) {
            const float* t = tex->m;
            double tu = v[6], tv = v[7];
            v[6] = (float)(t[0] * tu + t[4] * tv + t[12]);
            v[7] = (float)(t[1] * tu + t[5] * tv + t[13]);
        }
        memcpy(rec, v, sizeof v);
    }
}

void Normalize3(float& x, float& y, float& z) {
    float q = x * x + y * y + z * z;
    if (q > 1e-6f) {
        float f = (float)(1.0 / sqrt((double)q));
        x *= f;
        y *= f;
        z *= f;
    }
}

MatrixStack::MatrixStack() : top(0) {}

void MatrixStack::Push() {
    if (top < 15) {
        stack[top + 1].Assign(&stack[top]);
        top++;
    } else {
        puts("Error: Matrix Stack Push limit breached.");
    }
}

void MatrixStack::Pop() {
    if (top != 0)
        top--;
    else
        puts("Error: Matrix Stack Pop limit breached.");
}

float* MatrixStack::Ptr() {
    return stack[top].m;
}

void MatrixStack::Reset() {
    top = 0;
    stack[0].Identity();
}

void MatrixStack::Scale(float x, float y, float z) {
    stack[top].Scale(x, y, z);
}

void MatrixStack::Rotate(float x, float y, float z, float angle) {
    stack[top].Rotate(x, y, z, angle);
}

void MatrixStack::Translate(float x, float y, float z) {
    stack[top].Translate(x, y, z);
}

void LookAtV3(const V3& target, const V3& eye) {
    glLoadIdentity();
    gluLookAt(eye.x, eye.y, eye.z, target.x, target.y, target.z, 0.0, 0.0, 1.0);
}

int LargestAxi(V3& v, int n) {
    // Only three ranks exist; any other n names no axis.
    if (n < 0 || n > 2) return -1;
    int idx[3] = {0, 1, 2};
    auto swapIf = [&](int a, int b) {
        if (fabsf(v[idx[b]]) > fabsf(v[idx[a]])) {
            int t = idx[a];
            idx[a] = idx[b];
            idx[b] = t;
        }
    };
    swapIf(1, 2);
    swapIf(0, 1);
    swapIf(1, 2);
    int r = idx[n];
    return v[r] >= 0 ? r + 3 : r;
}
