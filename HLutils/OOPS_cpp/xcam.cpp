#include "OOPS_cpp/xcam.h"

#include <cmath>
#include <cstring>

#include "OGL/MatrixUtils.h"

UTL_stat gKillCull("perf/kill_cull", UTL_stat_perf, 0);
UTL_stat gKillClip("perf/kill_clip", UTL_stat_perf, 0);

// [SECTION] Camera

namespace
{

// Debugging aid: narrows a box to its middle tenth, within the box given.
struct Box {
    double l, r, b, t;
};

Box middle_tenth(const Box& in)
{
    const double lo = double(0.45f), hi = double(0.55f);
    Box o;
    o.l = in.l + lo * (in.r - in.l);
    o.r = in.l + hi * (in.r - in.l);
    o.b = in.b + lo * (in.t - in.b);
    o.t = in.b + hi * (in.t - in.b);
    const double xmin = std::fmin(in.l, in.r), xmax = std::fmax(in.l, in.r);
    const double ymin = std::fmin(in.b, in.t), ymax = std::fmax(in.b, in.t);
    o.l = std::fmin(std::fmax(o.l, xmin), xmax);
    o.r = std::fmin(std::fmax(o.r, xmin), xmax);
    o.b = std::fmin(std::fmax(o.b, ymin), ymax);
    o.t = std::fmin(std::fmax(o.t, ymin), ymax);
    return o;
}

} // namespace

xcam_class::xcam_class()
{
    setIdentityMatrix(proj);
    setIdentityMatrix(mv);
    ortho = true;
    changed = true;
    mv_stale = true;
}

void xcam_class::Identity()
{
    setIdentityMatrix(mv);
    changed = true;
}

void xcam_class::SetupOrtho(double left, double right, double bottom, double top, double near,
                            double far)
{
    ortho = true;
    buildOrthoMatrix(proj, left, right, bottom, top, near, far);
    ortho_ext[kCamTop] = top;
    ortho_ext[kCamLeft] = left;
    ortho_ext[kCamRight] = right;
    ortho_ext[kCamBottom] = bottom;
    changed = true;
    near_depth = -near;
    far_depth = -far;
    fake_far_depth = -far;
}

void xcam_class::SetupFrustum(double left, double right, double bottom, double top, double near,
                              double far)
{
    ortho = false;
    const Box given{left, right, bottom, top};

    // "perf/kill_clip" enlarges the middle of the view, "perf/kill_cull"
    // culls to it; each leaves the other box alone.
    const Box clip = (gKillClip.stat_value != 0) ? middle_tenth(given) : given;
    buildFrustumMatrix(proj, clip.l, clip.r, clip.b, clip.t, near, far);

    const Box cull = (gKillCull.stat_value != 0) ? middle_tenth(given) : given;
    double tl[3] = {cull.l, cull.t, -near};
    double tr[3] = {cull.r, cull.t, -near};
    double bl[3] = {cull.l, cull.b, -near};
    double br[3] = {cull.r, cull.b, -near};
    vec3_normalize(tl);
    vec3_normalize(tr);
    vec3_normalize(bl);
    vec3_normalize(br);
    vec3_cross(plane_norm[kCamTop], tl, tr);
    vec3_cross(plane_norm[kCamLeft], bl, tl);
    vec3_cross(plane_norm[kCamRight], tr, br);
    vec3_cross(plane_norm[kCamBottom], br, bl);
    for (auto& n : plane_norm)
        vec3_normalize(n);

    changed = true;
    near_depth = -near;
    far_depth = -far;
    fake_far_depth = -far;
}
