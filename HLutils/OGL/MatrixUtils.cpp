// Matrix helpers of the camera. The element of row r and column c of a
// matrix is at index 4c + r.
#include "OGL/MatrixUtils.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>

namespace
{

constexpr double kDegToRad = 0.017453292519943295;
constexpr double kHalfDegToRad = 0.008726646259971648;
constexpr double kMinAxis = 0.0001; // shorter rotation axes give the identity

void grow(double* lo, double* hi, const double* p)
{
    for (int i = 0; i < 3; ++i) {
        if (p[i] < lo[i]) lo[i] = p[i];
        if (p[i] > hi[i]) hi[i] = p[i];
    }
}

// The point of segment p-q at height h (p.y != q.y), kept within the
// segment's x and z ranges.
void cut_at(double h, const double* p, const double* q, double* out)
{
    h = double(float(h));
    for (int i : {0, 2}) {
        const double v = p[i] + (h - p[1]) * (q[i] - p[i]) / (q[1] - p[1]);
        out[i] = std::fmin(std::fmax(v, std::fmin(p[i], q[i])), std::fmax(p[i], q[i]));
    }
    out[1] = h;
}

} // namespace

const double gIdentity[16] = {
    1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1,
};

// [SECTION] Matrix builders

void setIdentityMatrix(double* m)
{
    std::memcpy(m, gIdentity, sizeof(gIdentity));
}

// The glOrtho matrix.
void buildOrthoMatrix(double* m, double l, double r, double b, double t, double n, double f)
{
    for (int i = 0; i < 16; ++i)
        m[i] = 0;
    m[0] = 2 / (r - l);
    m[5] = 2 / (t - b);
    m[10] = -2 / (f - n);
    m[12] = (r + l) / (l - r);
    m[13] = (t + b) / (b - t);
    m[14] = (f + n) / (n - f);
    m[15] = 1;
}

// The glFrustum matrix.
void buildFrustumMatrix(double* m, double l, double r, double b, double t, double n, double f)
{
    for (int i = 0; i < 16; ++i)
        m[i] = 0;
    m[0] = 2 * n / (r - l);
    m[5] = 2 * n / (t - b);
    m[8] = (r + l) / (r - l);
    m[9] = (t + b) / (t - b);
    m[10] = (n + f) / (n - f);
    m[11] = -1;
    m[14] = -2 * f * n / (f - n);
}

// [SECTION] Products and vectors

void vec3_normalize(double* v)
{
    const double len = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (len > 0) {
        v[0] /= len;
        v[1] /= len;
        v[2] /= len;
    }
}

void vec3_cross(double* out, const double* a, const double* b)
{
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

void mult_vec4(double* out, const double* m, const double* v)
{
    for (int r = 0; r < 4; ++r)
        out[r] = m[r] * v[0] + m[4 + r] * v[1] + m[8 + r] * v[2] + m[12 + r] * v[3];
}

void transposeMatrix(double* dst, double* src)
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            dst[4 * c + r] = src[4 * r + c];
}

void addMatrices(double* dst, double* a, double* b)
{
    for (int i = 0; i < 16; ++i)
        dst[i] = a[i] + b[i];
}

void multMatrices(double* dst, const double* a, const double* b)
{
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r) {
            double sum = 0;
            for (int k = 0; k < 4; ++k)
                sum += a[4 * k + r] * b[4 * c + k];
            dst[4 * c + r] = sum;
        }
}

void applyTranslation(double* m, double x, double y, double z)
{
    for (int i = 0; i < 4; ++i)
        m[12 + i] += x * m[i] + y * m[4 + i] + z * m[8 + i];
}

void applyRotation(double* m, double angle, double x, double y, double z)
{
    double r[16], before[16];
    buildRotation(r, angle, x, y, z);
    std::memcpy(before, m, sizeof(before));
    multMatrices(m, before, r);
}

void buildRotation(double* m, double angle, double x, double y, double z)
{
    setIdentityMatrix(m);
    const double c = std::cos(angle * kDegToRad), s = std::sin(angle * kDegToRad);
    // Rotations about one coordinate axis are exact: only the sign counts.
    if (x == 0 && y == 0 && z != 0) {
        const double sz = z > 0 ? s : -s;
        m[0] = c;
        m[5] = c;
        m[1] = sz;
        m[4] = -sz;
        return;
    }
    if (x == 0 && z == 0 && y != 0) {
        const double sy = y > 0 ? s : -s;
        m[0] = c;
        m[10] = c;
        m[8] = sy;
        m[2] = -sy;
        return;
    }
    if (y == 0 && z == 0 && x != 0) {
        const double sx = x > 0 ? s : -s;
        m[5] = c;
        m[10] = c;
        m[6] = sx;
        m[9] = -sx;
        return;
    }
    const double len = std::sqrt(x * x + y * y + z * z);
    if (len <= kMinAxis) return;
    x /= len;
    y /= len;
    z /= len;
    const double k = 1 - c;
    m[0] = x * x * k + c;
    m[4] = x * y * k - z * s;
    m[8] = x * z * k + y * s;
    m[1] = x * y * k + z * s;
    m[5] = y * y * k + c;
    m[9] = y * z * k - x * s;
    m[2] = x * z * k - y * s;
    m[6] = y * z * k + x * s;
    m[10] = z * z * k + c;
}

void buildLookAtMatrix(double* m, double eye_x, double eye_y, double eye_z, double at_x,
                       double at_y, double at_z, double up_x, double up_y, double up_z)
{
    const double eye[3] = {eye_x, eye_y, eye_z};
    const double up[3] = {up_x, up_y, up_z};
    double f[3] = {eye_x - at_x, eye_y - at_y, eye_z - at_z};
    vec3_normalize(f);
    double s[3], u[3];
    vec3_cross(s, up, f);
    vec3_cross(u, f, s);
    vec3_normalize(s);
    vec3_normalize(u);
    const double* rows[3] = {s, u, f};
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c)
            m[4 * c + r] = rows[r][c];
        m[12 + r] = -(rows[r][0] * eye[0] + rows[r][1] * eye[1] + rows[r][2] * eye[2]);
    }
    m[3] = m[7] = m[11] = 0;
    m[15] = 1;
}

void buildPerspectiveMatrix(double* m, double fovy, double aspect, double near, double far)
{
    const double top = near * std::tan(fovy * kHalfDegToRad), right = top * aspect;
    buildFrustumMatrix(m, -right, right, -top, top, near, far);
}

int invertMatrix(double* dst, const double* src)
{
    // Gauss-Jordan on [src | I], rows of src, with partial pivoting.
    double a[4][8];
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            a[r][c] = src[4 * c + r];
            a[r][4 + c] = (r == c) ? 1 : 0;
        }
    for (int col = 0; col < 4; ++col) {
        int best = col;
        for (int r = col + 1; r < 4; ++r)
            if (std::fabs(a[r][col]) > std::fabs(a[best][col])) best = r;
        if (best != col)
            for (int c = 0; c < 8; ++c)
                std::swap(a[col][c], a[best][c]);
        if (a[col][col] == 0) return 0;
        for (int r = col + 1; r < 4; ++r) {
            const double f = a[r][col] / a[col][col];
            if (f == 0) continue;
            for (int c = col; c < 8; ++c)
                a[r][c] -= f * a[col][c];
        }
    }
    // Back-substitution, then unit pivots.
    for (int col = 3; col >= 0; --col) {
        const double p = a[col][col];
        for (int c = 0; c < 8; ++c)
            a[col][c] /= p;
        for (int r = 0; r < col; ++r) {
            const double f = a[r][col];
            if (f == 0) continue;
            for (int c = 0; c < 8; ++c)
                a[r][c] -= f * a[col][c];
        }
    }
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            dst[4 * c + r] = a[r][4 + c];
    return 1;
}

void copyMatrix(double* dst, double* src)
{
    std::memcpy(dst, src, 16 * sizeof(double));
}

void vec3_assign(double* v, double x, double y, double z)
{
    v[0] = x;
    v[1] = y;
    v[2] = z;
}

void printMatrix(char* label, double* m)
{
    std::printf("%s\n", label);
    for (int r = 0; r < 4; ++r)
        std::printf(r < 3 ? " [ %f %f %f %f ]\n" : " [ %f %f %f %f ]\n\n", m[r], m[4 + r], m[8 + r],
                    m[12 + r]);
}

void accum_segment(double y_low, double y_high, double* a, double* b, double* lo, double* hi)
{
    const double* p = (a[1] <= b[1]) ? a : b;
    const double* q = (p == a) ? b : a;
    auto in_band = [&](double y) { return y_low <= y && y <= y_high; };
    double cut[3];
    if (p[1] == q[1]) {
        if (in_band(p[1])) {
            grow(lo, hi, p);
            grow(lo, hi, q);
        }
        return;
    }
    if (y_low == y_high) {
        if (p[1] <= y_high && y_high <= q[1]) {
            cut_at(y_high, p, q, cut);
            grow(lo, hi, cut);
        }
        return;
    }
    if (in_band(p[1])) grow(lo, hi, p);
    if (in_band(q[1])) grow(lo, hi, q);
    if (p[1] < y_low && y_low < q[1]) {
        cut_at(y_low, p, q, cut);
        grow(lo, hi, cut);
    }
    if (p[1] < y_high && y_high < q[1]) {
        cut_at(y_high, p, q, cut);
        grow(lo, hi, cut);
    }
}
