// The camera's three-dimensional extras and the matrix helpers, against
// OpenGL's and GLU's own matrices where they have one.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glu.h>

#include <array>
#include <cmath>
#include <cstring>

#include "GenC/hl_windows.h"
#include "GenH/hl_types.h"
#include "OGL/MatrixUtils.h"
#include "OOPS_cpp/xcam.h"
#include "support/xvfb.h"

namespace
{

::testing::AssertionResult same_matrix(const double* got, const double* want, double tol = 1e-12)
{
    for (int i = 0; i < 16; ++i)
        if (!(std::fabs(got[i] - want[i]) <= tol))
            return ::testing::AssertionFailure()
                   << "element " << i << " is " << got[i] << " not " << want[i];
    return ::testing::AssertionSuccess();
}

void expect_vec(const double* got, double x, double y, double z, double tol = 1e-12)
{
    EXPECT_NEAR(got[0], x, tol);
    EXPECT_NEAR(got[1], y, tol);
    EXPECT_NEAR(got[2], z, tol);
}

void expect_vecf(const float* got, float x, float y, float z)
{
    EXPECT_NEAR(got[0], x, 1e-6);
    EXPECT_NEAR(got[1], y, 1e-6);
    EXPECT_NEAR(got[2], z, 1e-6);
}

// GL's current matrix after the calls, starting from the identity.
template <class F> void gl_matrix(double* out, F calls)
{
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    calls();
    glGetDoublev(GL_MODELVIEW_MATRIX, out);
    glPopMatrix();
}

bool all_finite(const double* m, int n = 16)
{
    for (int i = 0; i < n; ++i)
        if (!std::isfinite(m[i])) return false;
    return true;
}

} // namespace

TEST(Camera, CopiesCarryEveryField)
{
    xcam_class a;
    a.SetupFrustum(-2, 3, -1, 4, 1.5, 90);
    a.Translate(1, 2, 3);
    a.mv_stale = false;
    a.changed = false;
    const xcam_class b(&a);
    const xcam_class c(a);
    xcam_class d;
    d = a;
    for (const xcam_class* x : {&b, &c, static_cast<const xcam_class*>(&d)})
        EXPECT_EQ(std::memcmp(x, &a, sizeof(xcam_class)), 0);
    xcam_class none(nullptr);
    EXPECT_FALSE(none.ortho);
    EXPECT_EQ(none.proj[0], 0);
    EXPECT_EQ(none.mv[15], 0);
}

TEST(Camera, FakeFarPlaneAndHalfCosines)
{
    xcam_class c;
    c.SetupFrustum(-1, 1, -1, 1, 1, 100);
    c.SetFakeFarClippingPlane(50);
    EXPECT_EQ(c.fake_far_depth, -50);
    c.ResetFakeFarClippingPlane();
    EXPECT_EQ(c.fake_far_depth, -100);
    c.SetupFrustum(-1, 1, -1, 1, 1, 20);
    c.SetFakeFarClippingPlane(50);
    EXPECT_EQ(c.fake_far_depth, -20);

    c.SetupFrustum(-1, 1, -1, 1, 1, 100);
    float h = 0, v = 0;
    EXPECT_EQ(c.GetFOVHalfCosines(&h, &v), 1);
    EXPECT_NEAR(h, std::sqrt(0.5f), 1e-6);
    EXPECT_NEAR(v, std::sqrt(0.5f), 1e-6);
    c.SetupPerspective(60, 2, 1, 100); // 60 degrees up and down: cos 30
    EXPECT_EQ(c.GetFOVHalfCosines(nullptr, &v), 1);
    EXPECT_NEAR(v, std::cos(M_PI / 6), 1e-6);
    c.SetupOrtho(-1, 1, -1, 1, 1, 10);
    h = v = 7;
    EXPECT_EQ(c.GetFOVHalfCosines(&h, &v), 0);
    EXPECT_EQ(h, 7);
    EXPECT_EQ(v, 7);
}

TEST(Camera, VectorsOfTheIdentityModelview)
{
    xcam_class c;
    c.mv_stale = false;
    double v[3];
    c.CalcDirection(v);
    expect_vec(v, 0, 0, -1);
    c.CalcUp(v);
    expect_vec(v, 0, 1, 0);
    c.CalcRight(v);
    expect_vec(v, 1, 0, 0);
    float r[3], u[3];
    c.CalcBillboardGround(r, u);
    expect_vecf(r, 1, 0, 0);
    expect_vecf(u, 0, 1, 0);
    c.CalcBillboardCamera(r, u);
    expect_vecf(r, 1, 0, 0);
    expect_vecf(u, 0, 1, 0);

    // Looking 45 degrees down towards -z: the ground billboard stays level
    // and unit length, its up leans back.
    c.Identity();
    c.Rotate(45, 1, 0, 0);
    c.CalcDirection(v);
    const double s = std::sqrt(0.5);
    expect_vec(v, 0, -s, -s);
    c.CalcBillboardGround(r, u);
    expect_vecf(r, 1, 0, 0);
    expect_vecf(u, 0, float(s), float(-s));
}

TEST(Matrices, RotationAxes)
{
    double a[16], b[16];
    buildRotation(a, 90, 0, 0, 2);
    buildRotation(b, 90, 0, 0, 1);
    EXPECT_TRUE(same_matrix(a, b, 0));
    EXPECT_NEAR(a[1], 1, 1e-15); // +90 about z takes x to y
    EXPECT_NEAR(a[4], -1, 1e-15);
    buildRotation(a, 90, 0, 0, -3);
    EXPECT_NEAR(a[1], -1, 1e-15);
    buildRotation(a, 30, 0, 0, 0);
    EXPECT_TRUE(same_matrix(a, gIdentity, 0));
    buildRotation(a, 30, 0.00005, 0.00005, 0);
    EXPECT_TRUE(same_matrix(a, gIdentity, 0));
    buildRotation(a, 90, 0, 0, 0.00001);
    EXPECT_TRUE(same_matrix(a, b, 0));
    buildRotation(a, 90, 0, -1, 0);
    EXPECT_NEAR(a[2], 1, 1e-15);
    buildRotation(a, 90, 2, 0, 0);
    EXPECT_NEAR(a[6], 1, 1e-15);
}

TEST(Matrices, ProductsSumsAndTranspose)
{
    double a[16], b[16], t[16], sum[16], p[16];
    for (int i = 0; i < 16; ++i) {
        a[i] = i + 1;
        b[i] = (i * 7) % 5 - 2;
    }
    transposeMatrix(t, a);
    EXPECT_EQ(t[1], a[4]);
    EXPECT_EQ(t[4], a[1]);
    EXPECT_EQ(t[15], a[15]);
    addMatrices(sum, a, b);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(sum[i], a[i] + b[i]);
    multMatrices(p, a, b);
    // Row 1, column 2 of a x b.
    double want = 0;
    for (int k = 0; k < 4; ++k)
        want += a[4 * k + 1] * b[8 + k];
    EXPECT_EQ(p[9], want);
    multMatrices(p, gIdentity, a);
    EXPECT_TRUE(same_matrix(p, a, 0));
    double c[16];
    copyMatrix(c, a);
    EXPECT_TRUE(same_matrix(c, a, 0));
    double v[3];
    vec3_assign(v, 1, 2, 3);
    expect_vec(v, 1, 2, 3, 0);

    testing::internal::CaptureStdout();
    char label[] = "m";
    printMatrix(label, c);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "m\n [ 1.000000 5.000000 9.000000 13.000000 ]\n"
              " [ 2.000000 6.000000 10.000000 14.000000 ]\n"
              " [ 3.000000 7.000000 11.000000 15.000000 ]\n"
              " [ 4.000000 8.000000 12.000000 16.000000 ]\n\n");
}

TEST(Matrices, InverseOrNothing)
{
    const double m[16] = {0, 2, 0, 0, 1, 0, 0, 0, 0, 0, 4, 0, 3, 5, 7, 1}; // needs a row swap
    double inv[16], back[16];
    ASSERT_EQ(invertMatrix(inv, m), 1);
    multMatrices(back, m, inv);
    EXPECT_TRUE(same_matrix(back, gIdentity, 1e-12));
    double in_place[16];
    std::memcpy(in_place, m, sizeof(m));
    ASSERT_EQ(invertMatrix(in_place, in_place), 1);
    EXPECT_TRUE(same_matrix(in_place, inv, 0));

    const double singular[][16] = {
        {1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 4, 0, 0, 0}, // row 1 all zero
        {1, 2, 3, 4, 2, 4, 6, 8, 0, 0, 1, 0, 0, 0, 0, 1}, // two equal columns up to a factor
        {0},
    };
    for (const auto& s : singular) {
        double dst[16];
        for (double& d : dst)
            d = 42;
        EXPECT_EQ(invertMatrix(dst, s), 0);
        for (double d : dst)
            EXPECT_EQ(d, 42);
    }
}

TEST(Camera, FrustumBoundsOrthoAndPerspective)
{
    xcam_class c;
    c.SetupOrtho(-1, 1, -1, 1, 1, 10);
    double lo[3], hi[3];
    EXPECT_EQ(c.GetFrustumBounds(100, -5, 5, lo, hi), 1);
    expect_vec(lo, -1, -1, -10);
    expect_vec(hi, 1, 1, -1);
    // A band above the volume.
    EXPECT_EQ(c.GetFrustumBounds(100, 5, 8, lo, hi), 0);
    expect_vec(lo, 9.9e9, 9.9e9, 9.9e9, 0);
    expect_vec(hi, -9.9e9, -9.9e9, -9.9e9, 0);
    // max_dist nearer than the far plane.
    EXPECT_EQ(c.GetFrustumBounds(4, -5, 5, lo, hi), 1);
    EXPECT_EQ(lo[2], -4);
    // Moved up by 3: the band 2.5..3.5 holds y from 2.5 to 3.5.
    c.Translate(0, -3, 0);
    EXPECT_EQ(c.GetFrustumBounds(100, 2.5, 3.5, lo, hi), 1);
    expect_vec(lo, -1, 2.5, -10);
    expect_vec(hi, 1, 3.5, -1);

    c.Identity();
    c.SetupFrustum(-1, 1, -1, 1, 1, 100);
    EXPECT_EQ(c.GetFrustumBounds(10, -100, 100, lo, hi), 1);
    expect_vec(lo, -10, -10, -10, 1e-9);
    expect_vec(hi, 10, 10, -1, 1e-9);
    // A flat band cuts the four side edges.
    EXPECT_EQ(c.GetFrustumBounds(10, 0, 0, lo, hi), 1);
    expect_vec(lo, -10, 0, -10, 1e-9);
    expect_vec(hi, 10, 0, -1, 1e-9);

    // A modelview that cannot be inverted bounds nothing.
    std::memset(c.mv, 0, sizeof(c.mv));
    EXPECT_EQ(c.GetFrustumBounds(10, -100, 100, lo, hi), 0);
    expect_vec(lo, 9.9e9, 9.9e9, 9.9e9, 0);
}

namespace
{
// Each corner of other's view volume, seen by the fitted camera, lies in
// its clip box; together they touch every face.
void expect_volume_fits(const xcam_class& fit, const xcam_class& other)
{
    double p_inv[16], m_inv[16];
    ASSERT_EQ(invertMatrix(p_inv, other.proj), 1);
    ASSERT_EQ(invertMatrix(m_inv, other.mv), 1);
    double lo[3] = {9, 9, 9}, hi[3] = {-9, -9, -9};
    for (int i = 0; i < 8; ++i) {
        const double c[4] = {i & 4 ? 1. : -1., i & 2 ? 1. : -1., i & 1 ? 1. : -1., 1};
        double e[4], w[4], q[4], clip[4];
        mult_vec4(e, p_inv, c);
        mult_vec4(w, m_inv, e);
        const double ww = w[3];
        for (int k = 0; k < 3; ++k)
            w[k] /= ww;
        w[3] = 1;
        mult_vec4(q, fit.mv, w);
        mult_vec4(clip, fit.proj, q);
        for (int k = 0; k < 3; ++k) {
            lo[k] = std::fmin(lo[k], clip[k]);
            hi[k] = std::fmax(hi[k], clip[k]);
        }
    }
    for (int k = 0; k < 3; ++k) {
        EXPECT_NEAR(lo[k], -1, 1e-9) << k;
        EXPECT_NEAR(hi[k], 1, 1e-9) << k;
    }
}
} // namespace

TEST(Camera, LookAtCameraHoldsTheOtherView)
{
    xcam_class other;
    other.SetupFrustum(-1, 1, -1, 1, 1, 100);
    xcam_class fit;
    double dir[3] = {0, 0, -1};
    double near = -1, far = -1;
    fit.LookAtCamera(&other, dir, 50, near, far);
    const double moved[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, -50, 1};
    EXPECT_TRUE(same_matrix(fit.mv, moved));
    EXPECT_TRUE(fit.ortho);
    EXPECT_NEAR(near, 51, 1e-9);
    EXPECT_NEAR(far, 150, 1e-9);
    EXPECT_NEAR(fit.near_depth, -51, 1e-9);
    EXPECT_NEAR(fit.fake_far_depth, -150, 1e-9);
    EXPECT_NEAR(fit.ortho_ext[kCamRight], 100, 1e-9);
    EXPECT_NEAR(fit.ortho_ext[kCamBottom], -100, 1e-9);
    expect_volume_fits(fit, other);

    // Straight down: +y cannot be up there, so another up is taken; every
    // element stays finite and the volume still fits.
    double down[3] = {0, -1, 0};
    other.Translate(3, -4, 5);
    fit.LookAtCamera(&other, down, 20, near, far);
    EXPECT_TRUE(all_finite(fit.mv));
    EXPECT_TRUE(all_finite(fit.proj));
    EXPECT_TRUE(std::isfinite(near) && std::isfinite(far));
    double v[3];
    fit.mv_stale = false;
    fit.CalcDirection(v);
    expect_vec(v, 0, -1, 0);
    expect_volume_fits(fit, other);

    // A camera whose matrices cannot be inverted: nothing to hold.
    xcam_class broken;
    std::memset(broken.proj, 0, sizeof(broken.proj));
    const xcam_class before = fit;
    near = far = 5;
    fit.LookAtCamera(&broken, dir, 10, near, far);
    EXPECT_EQ(std::memcmp(&before, &fit, sizeof(fit)), 0);
    EXPECT_EQ(near, 0);
    EXPECT_EQ(far, 0);
}

TEST(Camera, LookingStraightDownFromADirection)
{
    xcam_class c;
    c.mv_stale = false;
    for (double up_angle : {90.0, -90.0}) {
        c.LookAtPtFromDir(1, 2, 3, 30, up_angle, 10);
        ASSERT_TRUE(all_finite(c.mv));
        double inv[16];
        EXPECT_EQ(invertMatrix(inv, c.mv), 1);
        EXPECT_NEAR(inv[12], 1, 1e-9); // the eye, 10 above or below the point
        EXPECT_NEAR(inv[13], 2 + (up_angle > 0 ? 10 : -10), 1e-9);
        EXPECT_NEAR(inv[14], 3, 1e-9);
        double d[3];
        c.CalcDirection(d);
        expect_vec(d, 0, up_angle > 0 ? -1 : 1, 0, 1e-9);
    }
}

TEST(Camera, MatchesGlAndGlu)
{
    XVFB_TEST_BODY();
    xvfb_open_shell_window();
    // Mesa keeps its matrices in single precision: compare to 1e-6.
    double gl[16], ours[16];

    struct {
        double angle, x, y, z;
    } rotations[] = {{37, 1, 2, 3}, {-120, 0, 0, 1}, {90, 0, -1, 0}, {15, 0.3, 0, -0.4}};
    for (const auto& r : rotations) {
        gl_matrix(gl, [&] { glRotated(r.angle, r.x, r.y, r.z); });
        buildRotation(ours, r.angle, r.x, r.y, r.z);
        EXPECT_TRUE(same_matrix(ours, gl, 1e-6)) << r.angle;
    }
    // Rotate and translate on a start matrix, as GL post-multiplies.
    gl_matrix(gl, [] {
        glTranslated(1, 2, 3);
        glRotated(30, 1, 1, 0);
        glTranslated(-4, 5, 6);
        glRotated(-70, 0, 0, 1);
    });
    xcam_class c;
    c.Identity();
    c.Translate(1, 2, 3);
    c.Rotate(30, 1, 1, 0);
    c.Translate(-4, 5, 6);
    c.Rotate(-70, 0, 0, 1);
    EXPECT_TRUE(same_matrix(c.mv, gl, 1e-6));

    gl_matrix(gl, [] { gluLookAt(1, 2, 3, -4, 0, 7, 0.1, 1, 0.2); });
    c.LookAtPtFromPt(1, 2, 3, -4, 0, 7, 0.1, 1, 0.2);
    EXPECT_TRUE(same_matrix(c.mv, gl, 1e-6));
    const double a = 30 * M_PI / 180, u = 20 * M_PI / 180;
    gl_matrix(gl, [&] {
        gluLookAt(1 + 10 * std::cos(u) * std::cos(a), 2 + 10 * std::sin(u),
                  3 + 10 * std::cos(u) * std::sin(a), 1, 2, 3, 0, 1, 0);
    });
    c.LookAtPtFromDir(1, 2, 3, 30, 20, 10);
    EXPECT_TRUE(same_matrix(c.mv, gl, 1e-6));

    gl_matrix(gl, [] { gluPerspective(50, 1.5, 2, 300); });
    buildPerspectiveMatrix(ours, 50, 1.5, 2, 300);
    EXPECT_TRUE(same_matrix(ours, gl, 1e-6));
    c.SetupPerspective(50, 1.5, 2, 300);
    EXPECT_TRUE(same_matrix(c.proj, gl, 1e-6));

    // A world point to window units: GLU's window coordinates less the
    // window origin, over the pixel scale.
    glViewport(10, 20, 640, 480);
    mnw.win_x = 5;
    mnw.win_y = 7;
    mnw.pix_scale = 2;
    c.LookAtPtFromPt(3, 4, 20, 0, 0, 0, 0, 1, 0);
    GLint vp[4] = {10, 20, 640, 480};
    for (const auto& p : {std::array<double, 3>{1, 2, 3}, std::array<double, 3>{-5, 0, -10}}) {
        double wx = 0, wy = 0, wz = 0;
        ASSERT_EQ(gluProject(p[0], p[1], p[2], c.mv, c.proj, vp, &wx, &wy, &wz), GL_TRUE);
        double pt[3] = {p[0], p[1], p[2]}, out[2];
        c.mtr_to_pix(pt, out);
        EXPECT_NEAR(out[0], (wx - 5) / 2, 1e-4);
        EXPECT_NEAR(out[1], (wy - 7) / 2, 1e-4);
    }
    mnw.pix_scale = 1;

    // Drawing code changed GL's modelview: the vectors read it back first.
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glRotated(90, 0, 1, 0);
    c.Identity();
    c.mv_stale = true;
    c.changed = false;
    double d[3];
    c.CalcDirection(d);
    EXPECT_FALSE(c.mv_stale);
    EXPECT_TRUE(c.changed);
    gl_matrix(gl, [] { glRotated(90, 0, 1, 0); });
    EXPECT_TRUE(same_matrix(c.mv, gl, 0));
    // A +90 turn about y takes world +x to eye -z: the camera looks along +x.
    expect_vec(d, 1, 0, 0, 1e-6);
}
