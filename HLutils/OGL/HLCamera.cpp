// The camera's three-dimensional extras: copies, look-at forms, vectors of
// the modelview, projection of points, view-volume bounds and the fitting
// of an orthographic camera around another camera's view.
#include <GL/gl.h>

#include <cmath>

#include "GenH/hl_types.h"
#include "OGL/MatrixUtils.h"
#include "OOPS_cpp/xcam.h"

namespace
{

constexpr double kDegToRad = 0.017453292519943295;
constexpr double kHalfDegToRad = 0.008726646259971648;
constexpr double kEmptyBox = 9.9e9; // lo starts here, hi at its negative

// Cube corners (x, y, z, w) in normalised device coordinates. In the bounds
// table z -1 is the near face; its numbering fixes the twelve edges below.
const double kBoundsCorners[8][4] = {
    {-1, 1, -1, 1},  {-1, 1, 1, 1},  {1, 1, -1, 1},  {1, 1, 1, 1},
    {-1, -1, -1, 1}, {-1, -1, 1, 1}, {1, -1, -1, 1}, {1, -1, 1, 1},
};
const int kBoundsEdges[12][2] = {
    {0, 2}, {4, 6}, {0, 4}, {2, 6}, {1, 3}, {5, 7}, {1, 5}, {3, 7}, {0, 1}, {2, 3}, {4, 5}, {6, 7},
};
const double kFitCorners[8][4] = {
    {-1, -1, -1, 1}, {-1, -1, 1, 1}, {-1, 1, -1, 1}, {-1, 1, 1, 1},
    {1, -1, -1, 1},  {1, -1, 1, 1},  {1, 1, -1, 1},  {1, 1, 1, 1},
};

double length3(const double* v)
{
    return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
}

// The look-at forms take +y as up. Looking straight up or down the view
// line is parallel to it and the matrix would collapse (a zero side
// vector, then a division by zero in the fitted projection): there -z
// is up instead.
void look_at_y_up(double* m, const double* eye, const double* at)
{
    const double f[3] = {eye[0] - at[0], eye[1] - at[1], eye[2] - at[2]};
    const double flat = std::sqrt(f[0] * f[0] + f[2] * f[2]);
    const bool vertical = flat <= 1e-9 * length3(f);
    buildLookAtMatrix(m, eye[0], eye[1], eye[2], at[0], at[1], at[2], 0, vertical ? 0 : 1,
                      vertical ? -1 : 0);
}

} // namespace

xcam_class::xcam_class(xcam_class* from)
{
    if (from) *this = *from;
}

void xcam_class::SetFakeFarClippingPlane(double dist)
{
    fake_far_depth = std::fmax(far_depth, -dist);
}

void xcam_class::ResetFakeFarClippingPlane()
{
    fake_far_depth = far_depth;
}

int xcam_class::GetFOVHalfCosines(float* horizontal, float* vertical)
{
    if (ortho) return 0;
    if (horizontal) *horizontal = float((plane_norm[kCamLeft][0] - plane_norm[kCamRight][0]) * 0.5);
    if (vertical) *vertical = float((plane_norm[kCamBottom][1] - plane_norm[kCamTop][1]) * 0.5);
    return 1;
}

void xcam_class::Rotate(double angle, double x, double y, double z)
{
    applyRotation(mv, angle, x, y, z);
    changed = true;
}

void xcam_class::Translate(double x, double y, double z)
{
    applyTranslation(mv, x, y, z);
    changed = true;
}

void xcam_class::LookAtPtFromPt(double eye_x, double eye_y, double eye_z, double at_x, double at_y,
                                double at_z, double up_x, double up_y, double up_z)
{
    buildLookAtMatrix(mv, eye_x, eye_y, eye_z, at_x, at_y, at_z, up_x, up_y, up_z);
    changed = true;
}

void xcam_class::LookAtPtFromDir(double x, double y, double z, double around, double up_angle,
                                 double dist)
{
    const double a = around * kDegToRad, u = up_angle * kDegToRad;
    const double eye[3] = {x + dist * std::cos(u) * std::cos(a), y + dist * std::sin(u),
                           z + dist * std::cos(u) * std::sin(a)};
    const double at[3] = {x, y, z};
    look_at_y_up(mv, eye, at);
    changed = true;
}

void xcam_class::SetupPerspective(double fovy, double aspect, double near, double far)
{
    const double top = near * std::tan(fovy * kHalfDegToRad), right = top * aspect;
    SetupFrustum(-right, right, -top, top, near, far);
}

// [SECTION] Vectors of the modelview

namespace
{

// The modelview as it is now: GL's when drawing code has changed it since
// the last set-up.
void refresh_modelview(xcam_class& cam)
{
    if (!cam.mv_stale) return;
    cam.mv_stale = false;
    cam.changed = true;
    glGetDoublev(GL_MODELVIEW_MATRIX, cam.mv);
}

} // namespace

// T = transpose of the modelview applied to (0, 0, -1, 1): per component j,
// element (3, j) - element (2, j).
void xcam_class::CalcDirection(double* out)
{
    refresh_modelview(*this);
    for (int j = 0; j < 3; ++j)
        out[j] = mv[4 * j + 3] - mv[4 * j + 2];
    vec3_normalize(out);
}

// T applied to (0, 1, 0, 1).
void xcam_class::CalcUp(double* out)
{
    refresh_modelview(*this);
    for (int j = 0; j < 3; ++j)
        out[j] = mv[4 * j + 1] + mv[4 * j + 3];
    vec3_normalize(out);
}

void xcam_class::CalcRight(double* out)
{
    double dir[3], up[3];
    CalcDirection(dir);
    CalcUp(up);
    vec3_cross(out, dir, up);
}

void xcam_class::CalcBillboardGround(float* right, float* up)
{
    double dir[3];
    CalcDirection(dir);
    double r[3] = {-dir[2], 0, dir[0]}; // dir x (0, 1, 0)
    vec3_normalize(r);
    double u[3];
    vec3_cross(u, r, dir);
    for (int i = 0; i < 3; ++i) {
        right[i] = float(r[i]);
        up[i] = float(u[i]);
    }
}

void xcam_class::CalcBillboardCamera(float* right, float* up)
{
    double dir[3], u[3], r[3];
    CalcDirection(dir);
    CalcUp(u);
    vec3_cross(r, dir, u);
    for (int i = 0; i < 3; ++i) {
        right[i] = float(r[i]);
        up[i] = float(u[i]);
    }
}

// [SECTION] Points and volumes

void xcam_class::mtr_to_pix(double* point, double* out)
{
    const double world[4] = {point[0], point[1], point[2], 1};
    double eye[4], clip[4];
    mult_vec4(eye, mv, world);
    mult_vec4(clip, proj, eye);
    if (clip[3] != 0) {
        clip[0] /= clip[3];
        clip[1] /= clip[3];
    }
    float vp[4];
    glGetFloatv(GL_VIEWPORT, vp);
    const double s = mnw.pix_scale;
    out[0] = ((clip[0] + 1) * vp[2] * 0.5 + vp[0] - mnw.win_x) / s;
    out[1] = ((clip[1] + 1) * vp[3] * 0.5 + vp[1] - mnw.win_y) / s;
}

int xcam_class::GetFrustumBounds(double max_dist, double y_low, double y_high, double* lo,
                                 double* hi)
{
    for (int i = 0; i < 3; ++i) {
        lo[i] = kEmptyBox;
        hi[i] = -kEmptyBox;
    }
    // Singular matrices have no volume to bound: the box stays empty.
    double w_inv[16], p_inv[16];
    if (!invertMatrix(w_inv, mv)) return 0;
    if (!ortho && !invertMatrix(p_inv, proj)) return 0;

    const double d = std::fmax(-max_dist, far_depth);
    double world[8][4];
    for (int i = 0; i < 8; ++i) {
        double e[4];
        if (ortho) {
            e[0] = ortho_ext[(i & 2) ? kCamRight : kCamLeft];
            e[1] = ortho_ext[(i < 4) ? kCamTop : kCamBottom];
            e[2] = (i % 2 == 0) ? near_depth : d;
        } else {
            mult_vec4(e, p_inv, kBoundsCorners[i]);
            if (e[3] == 0) return 0;
            for (int k = 0; k < 3; ++k)
                e[k] /= e[3];
            if (e[2] < -max_dist) {
                const double f = -max_dist / e[2];
                for (int k = 0; k < 3; ++k)
                    e[k] *= f;
            }
        }
        e[3] = 1;
        mult_vec4(world[i], w_inv, e);
    }
    for (const auto& edge : kBoundsEdges)
        accum_segment(y_low, y_high, world[edge[0]], world[edge[1]], lo, hi);
    return lo[0] <= hi[0] ? 1 : 0;
}

void xcam_class::LookAtCamera(xcam_class* other, double* dir, double dist, double& near,
                              double& far)
{
    double p_inv[16], m_inv[16];
    if (!invertMatrix(p_inv, other->proj) || !invertMatrix(m_inv, other->mv)) {
        // No view volume to hold: this camera stays as it was.
        near = 0;
        far = 0;
        return;
    }
    const double eye[3] = {m_inv[12], m_inv[13], m_inv[14]};
    const double from[3] = {eye[0] - dist * dir[0], eye[1] - dist * dir[1], eye[2] - dist * dir[2]};
    double look[16];
    look_at_y_up(look, from, eye);

    double lo[3] = {INFINITY, INFINITY, INFINITY}, hi[3] = {-INFINITY, -INFINITY, -INFINITY};
    for (const auto& c : kFitCorners) {
        double v[4], world[4], q[4];
        mult_vec4(v, p_inv, c);
        mult_vec4(world, m_inv, v);
        if (world[3] != 0)
            for (int k = 0; k < 3; ++k)
                world[k] /= world[3];
        world[3] = 1;
        mult_vec4(q, look, world);
        for (int k = 0; k < 3; ++k) {
            lo[k] = std::fmin(lo[k], q[k]);
            hi[k] = std::fmax(hi[k], q[k]);
        }
    }

    copyMatrix(mv, look);
    ortho = true;
    buildOrthoMatrix(proj, lo[0], hi[0], lo[1], hi[1], -hi[2], -lo[2]);
    ortho_ext[kCamTop] = hi[1];
    ortho_ext[kCamLeft] = lo[0];
    ortho_ext[kCamRight] = hi[0];
    ortho_ext[kCamBottom] = lo[1];
    changed = true;
    near_depth = hi[2];
    far_depth = lo[2];
    fake_far_depth = lo[2];
    near = -hi[2];
    far = -lo[2];
}
