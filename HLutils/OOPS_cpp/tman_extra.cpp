// The texture manager's routines for applications that free named textures,
// load scenery in the background or show texture statistics.
//
// Index of this file
//   [SECTION] Checks
//   [SECTION] Releasing and unloading
//   [SECTION] Deferred loading
//   [SECTION] Statistics and small settings

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "GenH/hl_report.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/tman.h"
#include "TEX/TEX_bind.h"
#include "UTL/UTL_thread.h"

namespace
{

// ---------------------------------------------------------------------------
// [SECTION] Checks
// ---------------------------------------------------------------------------
// The one request of the deferred loader.
tex_load_vars async_vars;

std::string fmt_ref(int ref)
{
    char b[64];
    std::snprintf(b, sizeof b, "%f", double(ref));
    return b;
}

[[noreturn]] void slot_fatal(const char* msg, const std::string& a, const std::string& b, int line)
{
    __VOVARU_alert(0, msg, a, b, "", t_exit, __FILE__, line);
    std::abort(); // the fatal alert does not return
}

// A ref outside the table has no slot to read: the range alert instead.
void check_ref(const tman_class& t, int ref, const char* who)
{
    if (ref >= 0 && ref < int(t.ref_dat.size())) return;
    char b[64];
    std::snprintf(b, sizeof b, "%1.0f", double(ref));
    __VOVARU_alert(0, "Trying to bind too low or high a manual_ref!", who, "value:", b, t_exit,
                   __FILE__, __LINE__);
    std::abort();
}

// The part of a path after its last '/'.
std::string file_part(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

// ---------------------------------------------------------------------------
// [SECTION] Releasing and unloading
// ---------------------------------------------------------------------------
void tman_class::release_texture(int ref)
{
    tman_locker l(&lock);
    check_ref(*this, ref, "release_texture");
    ref_dat_struct& d = ref_dat[size_t(ref)];
    if (ref < kTexFirstDynamic)
        slot_fatal("Trying to release a manual texture - use unload_texture.", fmt_ref(ref), d.name,
                   __LINE__);
    if (d.ref_count == -1)
        slot_fatal("Ref count is negative - was never reffed.", fmt_ref(ref), d.name, __LINE__);
    d.ref_count -= 1;
    if (d.ref_count < 0) slot_fatal("Ref count went negative", fmt_ref(ref), d.name, __LINE__);
}

void tman_class::unload_texture(int ref)
{
    tman_locker l(&lock);
    check_ref(*this, ref, "unload_texture");
    if (ref >= kTexFirstDynamic)
        slot_fatal("Error: dynamic textures should be released, not unloaded.",
                   ref_dat[size_t(ref)].name, fmt_ref(ref), __LINE__);
    unload_texture_internal(ref, 0);
}

void tman_class::unload_texture_internal(int ref, int)
{
    check_ref(*this, ref, "unload_texture_internal");
    ref_dat_struct& d = ref_dat[size_t(ref)];
    // A slot that holds the grey fallback shares texture 927: keep it.
    if (d.tex_id != 0 && d.tex_id != kTexBlankGray) TEX_delete_texture(d.tex_id);
    if (d.state == kTexStateLoaded && d.vram_bytes != 0) loaded_count -= 1;
    if (d.gl_format != 0) total_count -= 1;
    // Several fixed slots may carry one name; the entry names the first.
    tman_forget_name(d.name, ref);
    d = ref_dat_struct();
}

void tman_class::purge_unused_texes()
{
    tman_locker l(&lock);
    for (int i = kTexFirstDynamic; i < int(ref_dat.size()); ++i)
        if (ref_dat[size_t(i)].ref_count == 0) unload_texture_internal(i, 0);
}

// ---------------------------------------------------------------------------
// [SECTION] Deferred loading
// ---------------------------------------------------------------------------
int tman_class::load_scenery_async_register(tman_force_finish_obj* finish)
{
    // Another thread may grow the table while this one scans it.
    tman_locker l(&lock);
    const int n = int(ref_dat.size());
    int i = async_cursor < 0 ? 0 : async_cursor;
    while (i < n && ref_dat[size_t(i)].state != kTexStateQueued)
        ++i;
    if (i >= n) {
        async_cursor = n;
        return 0;
    }
    const ref_dat_struct& d = ref_dat[size_t(i)];
    async_vars = tex_load_vars();
    async_vars.slot = i;
    async_vars.flags = d.flags;
    async_vars.fail_mode = d.fail_mode;
    async_vars.name = d.name;
    async_vars.new_slot = 0;
    finish_obj = finish;
    async_req = &async_vars;
    return 1;
}

int tman_class::load_scenery_async_work()
{
    async_io_result = async_req ? load_texture_io(async_req) : kTexIoNone;
    return async_io_result;
}

void tman_class::load_scenery_async_finalize()
{
    tman_locker l(&lock);
    // Uploaded whether or not a finisher was given, or the slot would stay
    // queued and every later register would hand out the same slot again. A
    // slot that was loaded or unloaded meanwhile is left as it is now.
    if (async_req && ref_dat[size_t(async_req->slot)].state == kTexStateQueued)
        load_texture_ogl(async_req, async_io_result);
    finish_obj = nullptr;
    async_req = nullptr;
}

int tman_class::num_remaining_async_texes()
{
    tman_locker l(&lock);
    int n = 0;
    for (int i = async_cursor < 0 ? 0 : async_cursor; i < int(ref_dat.size()); ++i)
        n += ref_dat[size_t(i)].state == kTexStateQueued;
    return n;
}

void tman_class::load_all_scenery_texes()
{
    tman_locker l(&lock);
    const float total = float(num_remaining_async_texes());
    int done = 0;
    // Indices, not references: the table may grow while the lock is let go.
    for (int i = async_cursor < 0 ? 0 : async_cursor; i < int(ref_dat.size()); ++i) {
        if (ref_dat[size_t(i)].state != kTexStateQueued) continue;
        const ref_dat_struct d = ref_dat[size_t(i)];
        load_texture_int(d.fail_mode, i, d.flags, d.name, 0);
        if (done % 40 == 0) {
            float fraction = float(done) / total;
            // Other threads may use the manager while the screen is drawn.
            UTL_critical_section_unlock(&lock);
            if (VOVARU_shell().show_init)
                VOVARU_shell().show_init("Loading scenery texture " + file_part(d.name) + ".",
                                         &fraction);
            UTL_critical_section_lock(&lock);
        }
        ++done;
    }
    async_cursor = int(ref_dat.size());
}

void tman_class::force_load_tex(int ref)
{
    tman_locker l(&lock);
    check_ref(*this, ref, "force_load_tex");
    const ref_dat_struct d = ref_dat[size_t(ref)];
    if (d.state != kTexStateLoaded) load_texture_int(d.fail_mode, ref, d.flags, d.name, 1);
}

// ---------------------------------------------------------------------------
// [SECTION] Statistics and small settings
// ---------------------------------------------------------------------------
int tman_class::loaded_texes()
{
    tman_locker l(&lock);
    return loaded_count;
}

int tman_class::total_texes()
{
    tman_locker l(&lock);
    return total_count;
}

int tman_class::tot_vram()
{
    tman_locker l(&lock);
    // Summed in 64 bits: a few hundred large textures pass the int range.
    long long sum = (long long)mnw.res_x * mnw.res_y * mnw.res_bits / 8;
    for (const ref_dat_struct& d : ref_dat)
        sum += d.vram_bytes;
    if (sum > INT_MAX) return INT_MAX;
    return sum < 0 ? 0 : int(sum);
}

float tman_class::scale_rat()
{
    return tex_level_scale(mnw.tex_level);
}

void tman_class::set_blend_level(int unit, float level)
{
    TEX_set_blend_level(unit, level);
}
