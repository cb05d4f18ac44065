// The camera: one projection and one modelview matrix in double precision.
// Matrices are 16 doubles in column-major order (row r, column c at 4c + r),
// the layout glLoadMatrixd takes. Eye space is OpenGL's: looking down -z, so
// depths are stored negated.
#pragma once

#include "UTL/UTL_memory.h"

// Culling planes and orthographic extents are stored in this order.
enum { kCamTop = 0, kCamLeft = 1, kCamRight = 2, kCamBottom = 3 };

class xcam_class
{
  public:
    bool ortho = false;           // 1 while the projection is orthographic
    double near_depth = 0;        // -near of the last set-up
    double far_depth = 0;         // -far of the last set-up
    double fake_far_depth = 0;    // reset to far_depth by every set-up
    double plane_norm[4][3] = {}; // top, left, right, bottom; point into the volume
    double ortho_ext[4] = {};     // top, left, right, bottom
    bool changed = false;         // set whenever a matrix changes; nobody reads it back
    bool mv_stale = false;        // GL's modelview is newer than ours
    double proj[16] = {};
    double mv[16] = {};

    xcam_class();

    void Identity();
    void SetupOrtho(double left, double right, double bottom, double top, double near, double far);
    void SetupFrustum(double left, double right, double bottom, double top, double near,
                      double far);

    // Three-dimensional extras (OGL/HLCamera.cpp); the installer calls none.
    // Copies are field by field, matrices and flags included.
    xcam_class(const xcam_class&) = default;
    xcam_class& operator=(const xcam_class&) = default;
    // A copy of *from; with null the fields keep their initial zeros.
    explicit xcam_class(xcam_class* from);

    // The fake far depth: the nearer of dist and the far plane. Nothing in
    // the library reads it.
    void SetFakeFarClippingPlane(double dist);
    void ResetFakeFarClippingPlane();
    // Cosines of the half angles of view; 0 (nothing written) when ortho.
    int GetFOVHalfCosines(float* horizontal, float* vertical);

    void Rotate(double angle, double x, double y, double z);
    void Translate(double x, double y, double z);
    void LookAtPtFromPt(double eye_x, double eye_y, double eye_z, double at_x, double at_y,
                        double at_z, double up_x, double up_y, double up_z);
    // From a point at dist, around (degrees about y from +x) and up_angle
    // (degrees above the horizon) away, looking at (x, y, z).
    void LookAtPtFromDir(double x, double y, double z, double around, double up_angle, double dist);
    void SetupPerspective(double fovy, double aspect, double near, double far);

    // World-space vectors of the modelview (read back from GL when stale).
    void CalcDirection(double* out);
    void CalcUp(double* out);
    void CalcRight(double* out);
    void CalcBillboardGround(float* right, float* up);
    void CalcBillboardCamera(float* right, float* up);

    // A world point in window units.
    void mtr_to_pix(double* point, double* out);
    // World box of the view volume cut at max_dist within y_low..y_high; 0
    // when that part is empty (or the matrices cannot be inverted).
    int GetFrustumBounds(double max_dist, double y_low, double y_high, double* lo, double* hi);
    // This camera becomes an orthographic one looking along dir that just
    // holds other's view volume; near and far get its distances.
    void LookAtCamera(xcam_class* other, double* dir, double dist, double& near, double& far);
};

// Debugging switches of the perspective set-up ("perf/kill_cull",
// "perf/kill_clip"); nothing in the program makes them non-zero.
extern UTL_stat gKillCull;
extern UTL_stat gKillClip;

// The matrix builders (buildOrthoMatrix, buildFrustumMatrix, ...) are in
// OGL/MatrixUtils.h.
