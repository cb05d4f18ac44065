// The camera: one projection and one modelview matrix in double precision.
// Matrices are 16 doubles in column-major order (row r, column c at 4c + r),
// the layout glLoadMatrixd takes. Eye space is OpenGL's: looking down -z, so
// depths are stored negated.
#pragma once

#include "UTL/UTL_memory.h"

// Culling planes and orthographic extents are stored in this order.
enum { kCamTop = 0, kCamLeft = 1, kCamRight = 2, kCamBottom = 3 };

class xcam_class {
public:
    bool ortho = false;            // 1 while the projection is orthographic
    double near_depth = 0;         // -near of the last set-up
    double far_depth = 0;          // -far of the last set-up
    double fake_far_depth = 0;     // reset to far_depth by every set-up
    double plane_norm[4][3] = {};  // top, left, right, bottom; point into the volume
    double ortho_ext[4] = {};      // top, left, right, bottom
    bool changed = false;          // set whenever a matrix changes; nobody reads it back
    bool mv_stale = false;         // GL's modelview is newer than ours
    double proj[16] = {};
    double mv[16] = {};

    xcam_class();

    void Identity();
    void SetupOrtho(double left, double right, double bottom, double top, double near,
                    double far);
    void SetupFrustum(double left, double right, double bottom, double top, double near,
                      double far);
};

extern const double gIdentity[16];

// Debugging switches of the perspective set-up ("perf/kill_cull",
// "perf/kill_clip"); nothing in the program makes them non-zero.
extern UTL_stat gKillCull;
extern UTL_stat gKillClip;

void buildOrthoMatrix(double* m, double left, double right, double bottom, double top,
                      double near, double far);
void buildFrustumMatrix(double* m, double left, double right, double bottom, double top,
                        double near, double far);
void setIdentityMatrix(double* m);
