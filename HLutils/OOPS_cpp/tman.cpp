// The texture manager.
//
// Index of this file
//   [SECTION] Registry and buffers
//   [SECTION] Slots, registry and binding
//   [SECTION] File stage
//   [SECTION] Upload
//   [SECTION] Built-in images

#include "OOPS_cpp/tman.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unordered_map>

#include "GenH/hl_app.h"
#include "GenH/hl_menu_font.h"
#include "GenH/hl_report.h"
#include "GenH/hl_types.h"
#include "OGL/OGL_extensions.h"
#include "OOPS_cpp/xmap.h"
#include "TEX/TEX_bind.h"
#include "TEX/TEX_bmp.h"
#include "TEX/TEX_dds.h"
#include "TEX/TEX_image.h"
#include "TEX/TEX_png.h"
#include "TEX/TEX_utils.h"
#include "UTL/UTL_cmdline.h"
#include "UTL/UTL_thread.h"

namespace
{

// ---------------------------------------------------------------------------
// [SECTION] Registry and buffers
// ---------------------------------------------------------------------------
// Names of textures loaded "from the buffer" start with this.
const char kScratchPrefix[] = "scratch_array";
constexpr size_t kScratchPrefixLen = sizeof(kScratchPrefix) - 1;
// Name of the grey fallback texture.
const char kBlankGrayName[] = "t_blank_gray";
// Where the fatal missing-texture alert sends the user for a new copy.
const char kMakerSite[] = "www.zudezud.example";

// h = 5h + c over the bytes as signed chars.
struct NameHash {
    size_t operator()(const std::string& s) const
    {
        uint32_t h = 0;
        for (char c : s)
            h = 5 * h + uint32_t(int(static_cast<signed char>(c)));
        return h;
    }
};
using Registry = std::unordered_map<std::string, int, NameHash>;

// Built on first use, so the order in which globals of different files are
// constructed does not matter.
Registry& tex_hash()
{
    static Registry r(100);
    return r;
}

// The decode buffer of file loads.
alignas(16) unsigned char scratch_array_temp[kTexMaxImageBytes];

bool has_scratch_prefix(const std::string& name)
{
    return name.compare(0, kScratchPrefixLen, kScratchPrefix) == 0;
}

std::string fmt_value(double v)
{
    char b[64];
    std::snprintf(b, sizeof b, "%1.0f", v);
    return b;
}

// The fatal alert of the checks: message, subject, "value:" and the value.
[[noreturn]] void fatal_value(const char* msg, const std::string& name, double v, int line)
{
    __VOVARU_alert(0, msg, name, "value:", fmt_value(v), t_exit, __FILE__, line);
    std::abort(); // the fatal alert does not return
}

int next_pow2(int v)
{
    int p = 1;
    while (p < v)
        p <<= 1;
    return p;
}

bool is_dxt(int f)
{
    return f >= GL_COMPRESSED_RGB_S3TC_DXT1_EXT && f <= GL_COMPRESSED_RGBA_S3TC_DXT5_EXT;
}

bool is_pow2(int v)
{
    return v > 0 && (v & (v - 1)) == 0;
}

// Bytes per pixel of a decoded image, by its format; a DXT1 image counts 3
// without its one-bit alpha and 4 with it.
int tex_bytes_per_pixel(int gl_format)
{
    switch (gl_format) {
    case GL_ALPHA:
        return 1;
    case GL_RGB:
    case GL_BGR:
    case GL_COMPRESSED_RGB_S3TC_DXT1_EXT:
        return 3;
    default:
        return 4; // RGBA, BGRA, DXT1 with alpha, DXT3, DXT5
    }
}

using Locker = tman_locker;

} // namespace

tman_locker::tman_locker(pthread_mutex_t* m) : m_(m)
{
    UTL_critical_section_lock(m_);
}
tman_locker::~tman_locker()
{
    UTL_critical_section_unlock(m_);
}

unsigned char* tman_scratch_temp()
{
    return scratch_array_temp;
}

void tman_forget_name(const std::string& name, int slot)
{
    auto it = tex_hash().find(name);
    if (it != tex_hash().end() && it->second == slot) tex_hash().erase(it);
}

void tman_missing_texture_alert(const std::string& name, const char* source_file, int source_line)
{
    __VOVARU_alert(0, "Trying to load a texture that you do not have!",
                   "This smacks of a mis-installed copy of Zudezud!",
                   std::string("Please get a new download from ") + kMakerSite +
                       ". The missing file is:",
                   name, t_exit, source_file, source_line);
}

// ---------------------------------------------------------------------------
// [SECTION] Slots, registry and binding
// ---------------------------------------------------------------------------
tman_class::tman_class()
    : async_cursor(0), loaded_count(0), total_count(0), scene_load_fail(0), aircraft_load_fail(0),
      instl_load_fail(0), async_req(nullptr), async_io_result(0), finish_obj(nullptr)
{
    UTL_critical_section_create(&lock);
    tex_hash().clear();
}

tman_class::~tman_class()
{
    UTL_critical_section_destroy(&lock);
}

int tman_class::slot_for_name(const std::string& name)
{
    Locker l(&lock);
    auto it = tex_hash().find(name);
    return it == tex_hash().end() ? -1 : it->second;
}

int tman_class::load_texture(tex_fail_mode fail_mode, int ref, int flags, tex_load_time load_time,
                             const std::string& name)
{
    if (name.empty()) return 0;
    if (load_time == tex_load_startup && !has_scratch_prefix(name) && ref != kTexByName &&
        ref != kTexNoMsgSlot && ref != kTexInterface && ref != kTexFixedFont &&
        ref != kTexBlankGray && !(ref >= kTexBackTileFirst && ref <= kTexBackTileLast))
        if (VOVARU_shell().show_init)
            VOVARU_shell().show_init("Loading bitmap " + name + ".", nullptr);

    Locker l(&lock);
    if (load_time < tex_load_startup || load_time > tex_load_async)
        fatal_value("Trying to create an invalid texture load_time!", name, load_time, __LINE__);
    if (ref < 0 || ref > kTexMaxFixed)
        fatal_value("Trying to bind too low or high a manual_ref!", name, ref, __LINE__);

    int s = ref;
    if (ref == kTexByName) {
        auto it = tex_hash().find(name);
        if (it != tex_hash().end()) {
            s = it->second;
            ref_dat_struct& d = ref_dat[size_t(s)];
            d.ref_count += 1;
            if (d.state == kTexStateLoaded) return s;
            return load_texture_int(fail_mode, s, flags, name, 0);
        }
        // The highest free dynamic slot, else a new one at the end.
        s = int(ref_dat.size()) < kTexFirstDynamic ? kTexFirstDynamic : int(ref_dat.size());
        for (int i = kTexFirstDynamic; i < int(ref_dat.size()); ++i)
            if (ref_dat[size_t(i)].gl_format == 0) s = i;
    }
    if (s >= int(ref_dat.size())) ref_dat.resize(size_t(s) + 1);

    ref_dat_struct& d = ref_dat[size_t(s)];
    tex_hash().erase(d.name);
    tex_hash().emplace(name, s); // an existing entry stays as it is

    if (d.gl_format == 0) {
        d.name = name;
        d.tex_id = 0;
        d.ref_count = ref == kTexByName ? 1 : -1;
        d.flags = flags;
        d.fail_mode = fail_mode;
        d.gl_format = GL_RGBA; // placeholder until the load fills it
        d.vram_bytes = 0;
        d.img_dx = d.img_dy = d.tex_dx = d.tex_dy = 0;
        d.state = kTexStateLoaded;
        total_count += 1;
    }
    const int ok = load_texture_int(fail_mode, s, flags, name, 1);
    if (ok) return s;
    return ref == kTexByName ? s : 0;
}

int tman_class::load_texture_int(tex_fail_mode fail_mode, int slot, int flags,
                                 const std::string& name, int new_slot)
{
    Locker l(&lock);
    // A pending deferred load decodes into the same buffers: finish it first.
    if (finish_obj && !has_scratch_prefix(name)) finish_obj->force_finish();
    if (flags < 0 || flags > kTexFlagsMax)
        fatal_value("Trying to bind an invalid filter type!", name, flags, __LINE__);
    tex_load_vars req;
    req.fail_mode = fail_mode;
    req.slot = slot;
    req.flags = flags;
    req.name = name;
    req.new_slot = new_slot;
    return load_texture_ogl(&req, load_texture_io(&req));
}

void tman_class::bind_ref(int ref, int unit, int env_mode)
{
    Locker l(&lock);
    // A ref beyond the table counts as a slot that was never loaded.
    const bool inside = ref >= 0 && ref < int(ref_dat.size());
    int tex = inside ? ref_dat[size_t(ref)].tex_id : 0;
    const int state = inside ? ref_dat[size_t(ref)].state : kTexStateEmpty;
    if (ref != 0 && state != kTexStateLoaded) {
        if (state != kTexStateQueued) {
            char b[64];
            std::snprintf(b, sizeof b, "ref=%6.0f", double(ref));
            __VOVARU_alert(0, "missing non-scenery texture - how?", "", b,
                           inside ? ref_dat[size_t(ref)].name : std::string("un-inited"), t_alert,
                           __FILE__, __LINE__);
        }
        tex = kTexBlankGray;
    }
    TEX_bind_ref(tex, unit, env_mode);
}

void tman_class::reset_bind()
{
    TEX_reset_bind();
}

// ---------------------------------------------------------------------------
// [SECTION] File stage
// ---------------------------------------------------------------------------
void check_dxy(int d, std::string name)
{
    if (d < 1 || d > kTexMaxSide)
        fatal_value("Trying to create a texture either less than 1 or greater than 2048!", name, d,
                    __LINE__);
}

float tex_level_scale(int level)
{
    switch (level) {
    case 4:
        return 0.5f;
    case 3:
        return 0.25f;
    case 2:
        return 0.125f;
    case 1:
        return 0.0625f;
    case 0:
        return 0.03125f;
    default:
        return 1.0f; // 5, and any unknown level
    }
}

float TEX_get_scale(std::string name, int slot, int flags, int width, int height, int* img_dx,
                    int* img_dy, int* tex_dx, int* tex_dy, int mode)
{
    float s = tex_level_scale(mnw.tex_level);
    auto keep01 = [](float v) { return v < 0 ? 0.0f : (v > 1 ? 1.0f : v); };
    if (flags & kTexScaleUp) s = keep01(2 * s);
    if (flags & kTexScaleDown) s = keep01(s / 2);
    if (flags & kTexNoScale) s = 1;
    if (mode == 1) s = 1;
    if (width > 0 && s < 1.0f / float(width)) s = 1.0f / float(width);
    if (height > 0 && s < 1.0f / float(height)) s = 1.0f / float(height);
    // Detection has not run in some callers (tools, tests): no limit then.
    if (glExt.max_tex_size > 0)
        while (s * float(width) > float(glExt.max_tex_size) ||
               s * float(height) > float(glExt.max_tex_size))
            s *= 0.5f;
    *img_dx = int(s * float(width));
    *img_dy = int(s * float(height));
    if (flags & kTexKeepSize) {
        *tex_dx = *img_dx;
        *tex_dy = *img_dy;
    } else {
        *tex_dx = *img_dx <= 1 ? 1 : next_pow2(*img_dx);
        *tex_dy = *img_dy <= 1 ? 1 : next_pow2(*img_dy);
    }
    check_dxy(width, name);
    check_dxy(height, name);
    check_dxy(*img_dx, name);
    check_dxy(*img_dy, name);
    check_dxy(*tex_dx, name);
    check_dxy(*tex_dy, name);
    return s;
}

int tex_level_bytes(int gl_format, int w, int h)
{
    TEX_image_desc d;
    d.format = gl_format;
    d.width = w;
    d.height = h;
    return TEX_bytes_needed_for_image(d);
}

// Moves rows that lie src_stride bytes apart to rows of dst_w pixels and
// clears what lies outside the w x h picture up to dst_w x dst_h. The new
// rows are never longer than the old ones, so it works front to back in place.
void tex_repack_rows(unsigned char* p, int bpp, int w, int h, int src_stride, int dst_w, int dst_h)
{
    const size_t ds = size_t(bpp) * size_t(dst_w);
    const size_t row = size_t(bpp) * size_t(w < dst_w ? w : dst_w);
    const int rows = h < dst_h ? h : dst_h;
    for (int y = 0; y < rows; ++y) {
        unsigned char* dst = p + ds * size_t(y);
        if (src_stride != int(ds)) std::memmove(dst, p + size_t(src_stride) * size_t(y), row);
        std::memset(dst + row, 0, ds - row);
    }
    if (dst_h > rows) std::memset(p + ds * size_t(rows), 0, ds * size_t(dst_h - rows));
}

int load_any_into_scratch(std::string name, int slot, int flags, int& gl_format, int& has_mips,
                          char& bpp, int take_alpha, int* img_dx, int* img_dy, int* tex_dx,
                          int* tex_dy)
{
    if (bpp < 1 || bpp > 4)
        fatal_value("Trying to bind too low or high a number of bytes!", name, bpp, __LINE__);
    unsigned char* dst = (flags & kTexIntoScratch) ? scratch_array : scratch_array_temp;

    auto with_ext = [&](const char* ext) {
        if (name.size() > 4 && name[name.size() - 4] == '.')
            return name.substr(0, name.size() - 4) + ext;
        return name;
    };
    xmap_class file;
    bool open = false;
    if (!cmdline.has_option("--no_dds")) open = file.retry(with_ext(".dds")) != nullptr;
    if (!open) open = file.retry(with_ext(".png")) != nullptr;
    if (!open) open = file.retry(with_ext(".bmp")) != nullptr;
    if (!open) return 0;
    const long long size = file.end - file.start;
    if (size <= 7) return 0;
    const unsigned char* head = reinterpret_cast<const unsigned char*>(file.start);
    static const unsigned char kPngSig[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

    TEX_image_desc desc;
    const unsigned int wanted = bpp == 1 ? GL_ALPHA : (bpp == 4 ? GL_RGBA : GL_RGB);
    if (std::memcmp(head, "DDS ", 4) == 0) {
        unsigned char* src = nullptr;
        if (TEX_load_dds(name, &file, src, desc) && desc.has_mips) {
            const float s = TEX_get_scale(name, slot, flags, desc.width, desc.height, img_dx,
                                          img_dy, tex_dx, tex_dy, 2);
            float k = 1.0f / s;
            int w = desc.width, h = desc.height;
            while (k > 1) {
                src += tex_level_bytes(desc.format, w, h);
                if (w > 1) w /= 2;
                if (h > 1) h /= 2;
                k /= 2;
            }
            // The upload reads levels of the texture size: a file whose levels
            // are not that size (sides not powers of two) would be read wrongly.
            if (w != *tex_dx || h != *tex_dy) return 0;
            TEX_image_desc rest;
            rest.format = desc.format;
            rest.width = w;
            rest.height = h;
            rest.has_mips = 1;
            const long long n = TEX_bytes_needed_for_image(rest);
            // Never copy past the buffer or read past the file.
            if (n <= 0 || n > kTexMaxImageBytes ||
                src + n > reinterpret_cast<const unsigned char*>(file.end))
                return 0;
            std::memcpy(dst, src, size_t(n));
            int f = desc.format;
            if (TEX_flip_y(rest, dst) && f == GL_COMPRESSED_RGB_S3TC_DXT1_EXT) {
                f = GL_COMPRESSED_RGBA_S3TC_DXT1_EXT;
            }
            gl_format = f;
            has_mips = 1;
            bpp = char(tex_bytes_per_pixel(f));
            return 1;
        }
        // A DDS without mipmaps is tried as the other kinds, which fails.
        return 0;
    }
    unsigned char* pixels = dst;
    int ok = 0;
    if (head[0] == 'B' && head[1] == 'M')
        ok = TEX_load_bmp(name, &file, pixels, wanted, 0, 1, desc);
    else if (std::memcmp(head, kPngSig, 8) == 0)
        ok = TEX_load_png(name, &file, pixels, wanted, 0, 1, take_alpha, desc);
    if (!ok) return 0;

    bpp = char(tex_bytes_per_pixel(desc.format));
    gl_format = desc.format;
    has_mips = desc.has_mips;
    const float s = TEX_get_scale(name, slot, flags, desc.width, desc.height, img_dx, img_dy,
                                  tex_dx, tex_dy, 2);
    const float k = 1.0f / s;
    if (k != 1.0f) {
        int fx = int(k) < desc.width ? int(k) : desc.width;
        int fy = int(k) < desc.height ? int(k) : desc.height;
        TEX_downscale(desc, dst, fx, fy);
    }
    // The upload reads rows of the texture width: after shrinking (or with the
    // image size kept) the decoded rows are longer than that, so move them.
    tex_repack_rows(dst, bpp, desc.width, desc.height, desc.pad + bpp * desc.width, *tex_dx,
                    *tex_dy);
    return 1;
}

int tman_class::load_texture_io(tex_load_vars* req)
{
    req->has_mips = 0;
    switch (req->flags & kTexColorMask) {
    case 2:
        req->gl_format = GL_RGBA;
        req->bpp = 4;
        break;
    case 3:
        req->gl_format = GL_ALPHA;
        req->bpp = 1;
        break;
    case 4:
        req->gl_format = GL_RGB;
        req->bpp = 3;
        req->take_alpha = 1;
        break;
    case 5:
        req->gl_format = GL_RGBA;
        req->bpp = 4;
        req->take_alpha = 1;
        break;
    case 6:
        req->gl_format = GL_DEPTH_COMPONENT;
        req->bpp = 1;
        break;
    case 0:
        __VOVARU_alert(0,
                       "BAD color enum for tman - see tman.h for valid colors!  We cannot "
                       "pass 0.",
                       "", "", "", t_exit, __FILE__, __LINE__);
        std::abort();
    default:
        req->gl_format = GL_RGB;
        req->bpp = 3;
        break;
    }
    int result = kTexIoNone;
    if (has_scratch_prefix(req->name)) {
        check_dxy(scratch_dx, req->name);
        check_dxy(scratch_dy, req->name);
        TEX_get_scale(req->name, req->slot, req->flags, scratch_dx, scratch_dy, &req->img_dx,
                      &req->img_dy, &req->tex_dx, &req->tex_dy, 1);
        req->pixels = scratch_array;
        result = kTexIoScratch;
    } else if (!req->name.empty()) {
        char bpp = char(req->bpp);
        if (load_any_into_scratch(req->name, req->slot, req->flags, req->gl_format, req->has_mips,
                                  bpp, req->take_alpha, &req->img_dx, &req->img_dy, &req->tex_dx,
                                  &req->tex_dy)) {
            req->bpp = static_cast<unsigned char>(bpp);
            req->pixels = scratch_array_temp;
            result = kTexIoFile;
        }
    }
    if (req->flags & kTexIntoScratch) req->pixels = scratch_array;
    return result;
}

// ---------------------------------------------------------------------------
// [SECTION] Upload
// ---------------------------------------------------------------------------
int tex_internal_format(int gl_format, int flags)
{
    int f = gl_format;
    if (f == GL_BGRA) f = GL_RGBA;
    if (f == GL_BGR) f = GL_RGB;
    if (flags & kTexFloat16) {
        if (f == GL_RGB) return GL_RGB16F_ARB;
        if (f == GL_RGBA) return GL_RGBA16F_ARB;
        if (f == GL_ALPHA) return GL_ALPHA16F_ARB;
    }
    if (f == GL_DEPTH_COMPONENT) return GL_DEPTH_COMPONENT24;
    if (flags & kTexSized8) {
        if (f == GL_RGB) return GL_RGB8;
        if (f == GL_RGBA) return GL_RGBA8;
    }
    return f;
}

void tex_bleed_alpha(unsigned char* p, int w, int h)
{
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            unsigned char* q = p + (size_t(y) * size_t(w) + size_t(x)) * 4;
            if (q[3] != 0) continue;
            int sr = 0, sg = 0, sb = 0, n = 0;
            for (int yy = y - 2; yy <= y + 2; ++yy) {
                if (yy < 0 || yy >= h) continue;
                for (int xx = x - 2; xx <= x + 2; ++xx) {
                    if (xx < 0 || xx >= w) continue;
                    const unsigned char* o = p + (size_t(yy) * size_t(w) + size_t(xx)) * 4;
                    if (o[3] == 0) continue;
                    sr += o[0];
                    sg += o[1];
                    sb += o[2];
                    ++n;
                }
            }
            if (n > 0) {
                q[0] = static_cast<unsigned char>(sr / n);
                q[1] = static_cast<unsigned char>(sg / n);
                q[2] = static_cast<unsigned char>(sb / n);
            }
        }
}

bool tex_slot_is_nearest(int slot)
{
    return slot == kTexInterface || slot == kTexNearestA ||
           (slot >= kTexNearestB && slot <= kTexBackTileLast);
}

namespace
{
using ref_dat_struct = tman_class::ref_dat_struct;

// The source lines the upload's alerts name, kept as users have seen them.
constexpr int kLineSlotRange = 576, kLineMissing = 604, kLineNullRef = 634, kLineNotPow2 = 642;

// No image came: the slot takes the grey fallback once it is loaded, else
// the values of an empty slot (texture 0, sizes 0). The slot keeps a non-zero
// format either way, so a named slot is not handed to another name while
// registered. The failure is counted and reported as the fail mode asks.
void take_fallback(tman_class& t, ref_dat_struct& d, const tex_load_vars& req)
{
    const bool grey = kTexBlankGray < int(t.ref_dat.size()) &&
                      t.ref_dat[kTexBlankGray].state == kTexStateLoaded &&
                      t.ref_dat[kTexBlankGray].gl_format != 0;
    const ref_dat_struct empty;
    const ref_dat_struct& g = grey ? t.ref_dat[kTexBlankGray] : empty;
    d.tex_id = g.tex_id;
    d.img_dx = g.img_dx;
    d.img_dy = g.img_dy;
    d.tex_dx = g.tex_dx;
    d.tex_dy = g.tex_dy;
    if (grey) d.gl_format = g.gl_format;
    d.vram_bytes = 0;
    d.state = kTexStateLoaded;
    if (req.fail_mode == tex_fail_scenery && t.scene_load_fail == 0) t.scene_load_fail = 1;
    if (req.fail_mode == tex_fail_aircraft && t.aircraft_load_fail == 0) t.aircraft_load_fail = 1;
    if (req.fail_mode == tex_fail_installer && t.instl_load_fail == 0) t.instl_load_fail = 1;
    if (req.fail_mode != tex_fail_silent)
        xer << "WARNING: we are missing the texture: " << req.name << ".\n";
    if (req.fail_mode == tex_fail_fatal)
        tman_missing_texture_alert(req.name, __FILE__, kLineMissing);
}

// The video memory a texture is counted for: a third more with mipmaps.
float mip_factor(int flags)
{
    return (flags & kTexMipmap) ? 1.33f : 1.0f;
}

// An image came: the slot records it, and its pixels are made ready for the
// upload (transparent texels take their neighbours' colour). A null slot
// and, unless the size is kept, a side that is not a power of two are fatal.
void record_slot(tman_class& t, ref_dat_struct& d, const tex_load_vars& req, int io_result)
{
    const int slot = req.slot;
    const int fmt = req.gl_format;
    const bool bleed = req.bpp == 4 && io_result == kTexIoFile && !is_dxt(fmt) && !req.has_mips;

    if (d.vram_bytes == 0) t.loaded_count += 1;
    d.name = req.name;
    d.tex_id = slot;
    d.state = kTexStateLoaded;
    d.img_dx = float(req.img_dx);
    d.img_dy = float(req.img_dy);
    d.tex_dx = float(req.tex_dx);
    d.tex_dy = float(req.tex_dy);
    d.gl_format = fmt;
    d.flags = req.flags;
    d.vram_bytes = int(d.tex_dx * d.tex_dy * float(req.bpp) * mip_factor(req.flags));

    if (slot == 0) {
        __VOVARU_alert(0, "Trying to bind a null ref!", "ref=     0, tex=     0", "", d.name,
                       t_exit, __FILE__, kLineNullRef);
        std::abort();
    }

    if (bleed) tex_bleed_alpha(req.pixels, req.tex_dx, req.tex_dy);

    if (!(req.flags & kTexKeepSize) && (!is_pow2(req.tex_dx) || !is_pow2(req.tex_dy))) {
        __VOVARU_alert(0, "load_tex: Trying to read a texture that is not a power of 2!", req.name,
                       "", "", t_exit, __FILE__, kLineNotPow2);
        std::abort();
    }
    check_dxy(req.tex_dx, req.name);
    check_dxy(req.tex_dy, req.name);
}

// Uploads the recorded slot's levels (in place when `replace`: same format
// and size) and sets its wrapping and filtering; a compressed texture is then
// counted at the size the driver reports.
void upload_slot(ref_dat_struct& d, const tex_load_vars& req, bool replace)
{
    const int slot = req.slot;
    const int fmt = req.gl_format;
    const bool dxt = is_dxt(fmt);
    const bool nearest = tex_slot_is_nearest(slot);
    const bool mip = (req.flags & kTexMipmap) != 0;
    const bool driver_mips = mip && glExt.automini_avail && !dxt && !(req.flags & kTexSized8);
    const bool chain = mip && !driver_mips && !req.has_mips;

    const int saved_units = num_units;
    num_units = 1;
    if (saved_units == 0) glEnable(GL_TEXTURE_2D);
    TEX_bind_ref(slot, 0, 0);

    // Rows are packed tightly (3-byte rows need not be 4-byte aligned).
    GLint old_align = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &old_align);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);

    const int internal = tex_internal_format(fmt, req.flags);
    unsigned char* px = req.pixels;
    int w = req.tex_dx, h = req.tex_dy;
    for (int level = 0;; ++level) {
        const int n = tex_level_bytes(fmt, w, h);
        if (driver_mips) glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, GL_TRUE);
        if (dxt) {
            if (glExt.glCompressedTexImage2DARB)
                glExt.glCompressedTexImage2DARB(GL_TEXTURE_2D, level, GLenum(fmt), w, h, 0, n, px);
        } else if (replace) {
            glTexSubImage2D(GL_TEXTURE_2D, level, 0, 0, w, h, GLenum(fmt), GL_UNSIGNED_BYTE, px);
        } else {
            glTexImage2D(GL_TEXTURE_2D, level, internal, w, h, 0, GLenum(fmt), GL_UNSIGNED_BYTE,
                         px);
        }
        if (w == 1 && h == 1) break;
        if (req.has_mips) {
            px += n;
            if (w > 1) w /= 2;
            if (h > 1) h /= 2;
        } else if (chain) {
            TEX_image_desc desc;
            desc.format = fmt;
            desc.width = w;
            desc.height = h;
            TEX_downscale(desc, px, w > 1 ? 2 : 1, h > 1 ? 2 : 1);
            w = desc.width;
            h = desc.height;
        } else {
            break;
        }
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, old_align);

    if (dxt) {
        GLint compressed = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_COMPRESSED_ARB, &compressed);
        if (compressed) {
            GLint bytes = 0;
            glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_COMPRESSED_IMAGE_SIZE_ARB,
                                     &bytes);
            d.vram_bytes = int(float(bytes) * mip_factor(req.flags));
        }
    }
    const GLint clamp = glExt.tex_clamp_avail ? GL_CLAMP_TO_EDGE : GL_CLAMP;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S,
                    (req.flags & (kTexClampST | kTexClampS)) ? clamp : GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T,
                    (req.flags & kTexClampST) ? clamp : GL_REPEAT);
    if (glExt.aniso_avail) glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, 1.0f);
    if (nearest) {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    } else {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER,
                        mip ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    }
    if (fmt == GL_DEPTH_COMPONENT) {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_COMPARE_MODE, GL_COMPARE_R_TO_TEXTURE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_COMPARE_FUNC, GL_LEQUAL);
    }

    if (saved_units == 0) {
        num_units = 0;
        glDisable(GL_TEXTURE_2D);
    } else {
        num_units = saved_units;
    }
}

} // namespace

// Three steps: the fallback when no image came, else the slot's record, then
// the upload.
int tman_class::load_texture_ogl(tex_load_vars* req, int io_result)
{
    Locker l(&lock);
    const int slot = req->slot;
    if (slot < 0 || slot >= int(ref_dat.size())) {
        __VOVARU_alert(0, "(manual_ref>=ref_dat.size()!",
                       "maybe we tried to load some texture thatis not avail, and we have not "
                       "loaded the t_blank_gray yet?",
                       "", "", t_exit, __FILE__, kLineSlotRange);
        std::abort(); // the fatal alert does not return
    }
    ref_dat_struct& d = ref_dat[size_t(slot)];
    if (io_result == kTexIoNone) {
        take_fallback(*this, d, *req);
        return 0;
    }
    // Judged before the record changes: the same format and size in a
    // loaded slot is updated in place.
    const bool replace = d.state == kTexStateLoaded && d.gl_format == req->gl_format &&
                         int(d.tex_dx) == req->tex_dx && int(d.tex_dy) == req->tex_dy &&
                         d.tex_id == slot;
    record_slot(*this, d, *req, io_result);
    upload_slot(d, *req, replace);
    return slot;
}

// ---------------------------------------------------------------------------
// [SECTION] Built-in images
// ---------------------------------------------------------------------------
namespace
{
struct builtin_image {
    int slot, dx, dy;
    const unsigned char* bytes;
    int n;
};
const builtin_image kBuiltinImages[] = {
    {kTexInstaller, 1010, 764, t_installer_dat, kTexesInstallerBytes},
    {kTexInsBack1, 1024, 768, t_ins_back_1_dat, kTexesBackBytes},
    {kTexInsBack2, 1024, 768, t_ins_back_2_dat, kTexesBackBytes},
    // Korean menu texts (charset 103); only its rows of cells are stored.
    {kTexFixedFont, kMenuFontTexSide, kMenuFontTexSide, t_menu_font_dat, kMenuFontBytes},
};
const builtin_image kBuiltinAtlas = {kTexInterface, 512, 512, t_interface_dat,
                                     kTexesInterfaceBytes};

void recall_builtin(const builtin_image& b)
{
    // RGBA, never scaled, from the buffer.
    const int flags = 2 | kTexNoScale | kTexNoEffect;
    scratch_dx = b.dx;
    scratch_dy = b.dy;
    std::memcpy(scratch_array, b.bytes, size_t(b.n));
    const size_t whole = size_t(b.dx) * size_t(b.dy) * 4;
    if (whole > size_t(b.n)) std::memset(scratch_array + b.n, 0, whole - size_t(b.n));
    tman.load_texture(tex_fail_fatal, b.slot, flags, tex_load_startup,
                      "scratch_array:hardwired textures");
}
} // namespace

void recall_start_tex()
{
    recall_builtin(kBuiltinAtlas);
}

void recall_later_texes()
{
    for (const builtin_image& b : kBuiltinImages)
        recall_builtin(b);
}

void recall_ins_texes()
{
    recall_later_texes();
    recall_start_tex(); // last: the atlas stays in scratch_array
}
