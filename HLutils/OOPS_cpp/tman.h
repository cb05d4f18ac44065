// The texture manager: numbered texture slots, the name registry, loading
// images from the shared buffer or from DDS/PNG/BMP files, and their upload
// to OpenGL. The OpenGL texture name of a loaded slot is the slot number.
//
// tman_extra.cpp holds the releasing, unloading and purging of slots, the
// statistics and the deferred scenery loader. The loader's work step (the file
// stage) may run on a worker thread and makes no OpenGL call; register and
// finalize take the manager's lock, and finalize (the upload) runs on the
// thread with the GL context.
#pragma once

#include <pthread.h>

#include <string>
#include <vector>

// ---------------------------------------------------------------------------
// Slots with a fixed role.
// ---------------------------------------------------------------------------
constexpr int kTexByName = 0;      // load_texture: find or take a slot by name
constexpr int kTexNoMsgSlot = 312; // loads without a start-up message
constexpr int kTexInterface = 389; // interface atlas, 512 x 512, fonts and widgets
constexpr int kTexInstaller = 390; // installer screen artwork
constexpr int kTexInsBack1 = 391;  // installer background
constexpr int kTexInsBack2 = 392;  // second background, loaded but not drawn
constexpr int kTexFixedFont = 393; // 15-pixel fixed font (charset 103)
constexpr int kTexFileIcon = 405;  // icon of the standard file dialog
constexpr int kTexEnv17Slot = 415; // bound with environment mode 17 by OGL_2dquad
constexpr int kTexNearestA = 416;  // nearest filtering
constexpr int kTexNearestB = 422;
constexpr int kTexNearestC = 423;
constexpr int kTexBackTileFirst = 424; // 4 x 4 background tiles, 424 .. 439
constexpr int kTexBackTileLast = 439;
constexpr int kTexBlankGray = 927;     // grey fallback, "t_blank_gray"
constexpr int kTexMaxFixed = 1132;     // highest fixed ref
constexpr int kTexFirstDynamic = 1132; // lowest slot for textures loaded by name

// ---------------------------------------------------------------------------
// Load requests.
// ---------------------------------------------------------------------------
// What a failed load does.
typedef int tex_fail_mode;
enum {
    tex_fail_silent = 0,
    tex_fail_scenery = 1,   // sets the scenery load-fail flag
    tex_fail_aircraft = 2,  // sets the aircraft load-fail flag
    tex_fail_installer = 3, // sets the installer load-fail flag
    tex_fail_fatal = 4,     // fatal alert
};

// When a load happens; only start-up loads show a message.
typedef int tex_load_time;
enum {
    tex_load_startup = 100,
    tex_load_later = 101,
    tex_load_async = 102,
};

// Load flags. The low three bits are the colour enum.
constexpr int kTexColorMask =
    0x0007; // 1 RGB, 2 RGBA, 3 alpha, 4/5 RGB/RGBA take-alpha, 6 depth, 7 RGB
constexpr int kTexMipmap = 0x0008;
constexpr int kTexClampST = 0x0010;
constexpr int kTexClampS = 0x0020;
constexpr int kTexScaleUp = 0x0040;   // double the texture-level scale (at most 1)
constexpr int kTexScaleDown = 0x0080; // halve it
constexpr int kTexNoScale = 0x0100;
constexpr int kTexIntoScratch = 0x0200; // decode into scratch_array and upload from there
constexpr int kTexNoEffect = 0x0400;
constexpr int kTexFloat16 = 0x0800;
constexpr int kTexSized8 = 0x1000;   // sized 8-bit formats, no driver mipmaps
constexpr int kTexKeepSize = 0x2000; // no power-of-two enlargement or check
constexpr int kTexFlagsMax = 0x3FFF;

// The file stage's answer.
enum {
    kTexIoNone = 0,    // no image
    kTexIoScratch = 1, // taken from scratch_array as placed by the caller
    kTexIoFile = 2,    // decoded from a file
};

// Slot states.
enum {
    kTexStateLoaded = 100, // loaded, or holding the fallback after a failed load
    kTexStateQueued = 101, // waiting for the asynchronous loader
    kTexStateEmpty = 102,  // not loaded
};

// Largest side of any texture.
constexpr int kTexMaxSide = 2048;

struct tex_load_vars {
    tex_fail_mode fail_mode = tex_fail_silent;
    int slot = 0;
    int flags = 0;
    int new_slot = 0;
    int gl_format = 0;
    int has_mips = 0;
    unsigned char bpp = 0;
    int take_alpha = 0;
    int img_dx = 0, img_dy = 0;
    int tex_dx = 0, tex_dy = 0;
    std::string name;
    unsigned char* pixels = nullptr; // into one of the image buffers; not owned
};

class tman_force_finish_obj;

class tman_class
{
  public:
    struct ref_dat_struct {
        std::string name = "un-inited";
        int tex_id = 0;
        float img_dx = 0, img_dy = 0;
        float tex_dx = 0, tex_dy = 0;
        int vram_bytes = 0;
        int gl_format = 0; // 0: a free slot
        int state = kTexStateEmpty;
        int flags = 0;
        tex_fail_mode fail_mode = tex_fail_fatal;
        int ref_count = -1; // holders of a named texture; -1 for fixed and empty slots
    };

    int async_cursor;
    int loaded_count;
    int total_count;
    std::vector<ref_dat_struct> ref_dat;
    int scene_load_fail; // 0 none, 1 not yet reported, 2 reported
    int aircraft_load_fail;
    int instl_load_fail;
    tex_load_vars* async_req;
    int async_io_result;
    tman_force_finish_obj* finish_obj;
    pthread_mutex_t lock; // recursive

    tman_class();
    ~tman_class();
    tman_class(const tman_class&) = delete;
    tman_class& operator=(const tman_class&) = delete;

    // Loads `name` into fixed slot `ref` (1..1132) or, with ref 0, into the slot
    // registered for the name or a new dynamic slot. Returns the slot, or 0.
    int load_texture(tex_fail_mode fail_mode, int ref, int flags, tex_load_time load_time,
                     const std::string& name);
    int load_texture_int(tex_fail_mode fail_mode, int slot, int flags, const std::string& name,
                         int new_slot);
    int load_texture_io(tex_load_vars* req);
    int load_texture_ogl(tex_load_vars* req, int io_result);

    // Binds slot `ref` on `unit`, or the grey fallback when it is not loaded.
    void bind_ref(int ref, int unit, int env_mode);
    void reset_bind();

    int has_scene_load_fail() { return scene_load_fail == 1; }
    int has_plane_load_fail() { return aircraft_load_fail == 1; }
    int has_instl_load_fail() { return instl_load_fail == 1; }
    void mute_scene_load_fail() { scene_load_fail = 2; }
    void mute_plane_load_fail() { aircraft_load_fail = 2; }
    void mute_instl_load_fail() { instl_load_fail = 2; }

    // The slot registered under `name`, or -1 (a registry lookup only).
    int slot_for_name(const std::string& name);

    // -- Freeing, deferred loading and statistics (tman_extra.cpp) --------
    // Drops one holder of a named texture; it stays loaded until a purge.
    void release_texture(int ref);
    // Frees a fixed slot (below 1132); named textures are released instead.
    void unload_texture(int ref);
    // Frees one slot; the caller holds the lock. The second argument is unused.
    void unload_texture_internal(int ref, int unused);
    // Frees every named slot that nobody holds.
    void purge_unused_texes();
    // Deferred loading of slots in state 101, one at a time: register (takes
    // the next queued slot, 1, or 0 when none is left), work (the file stage,
    // any thread, no OpenGL), finalize (the upload, on the OpenGL thread).
    int load_scenery_async_register(tman_force_finish_obj* finish);
    int load_scenery_async_work();
    void load_scenery_async_finalize();
    int num_remaining_async_texes();
    // Loads every queued slot now, with progress lines on the start-up screen.
    void load_all_scenery_texes();
    // Loads a slot that is not loaded, from its own name, flags and fail mode.
    void force_load_tex(int ref);
    int loaded_texes();
    int total_texes();
    // One frame buffer plus the video memory of every slot, in bytes.
    int tot_vram();
    // The texture-level factor, 1/32 (level 0) to 1 (level 5).
    float scale_rat();
    void reset_scene_load_fail() { scene_load_fail = 0; }
    void reset_plane_load_fail() { aircraft_load_fail = 0; }
    void reset_instl_load_fail() { instl_load_fail = 0; }
    void set_blend_level(int unit, float level);
};

// Supplied by an application that loads in the background: completes the
// pending deferred load (work and finalize on the right threads). A
// synchronous load calls it first, as both use the same image buffers. The
// manager keeps a pointer and never deletes it.
class tman_force_finish_obj
{
  public:
    virtual void force_finish() = 0;

  protected:
    ~tman_force_finish_obj() = default;
};

// Holds a manager's recursive lock for a scope.
class tman_locker
{
  public:
    explicit tman_locker(pthread_mutex_t* m);
    ~tman_locker();
    tman_locker(const tman_locker&) = delete;
    tman_locker& operator=(const tman_locker&) = delete;

  private:
    pthread_mutex_t* m_;
};

// Removes the registry entry of `name` when it names `slot`; an entry that
// belongs to another slot under the same name stays.
void tman_forget_name(const std::string& name, int slot);

// The fatal alert of an image the program cannot do without: names the
// missing file and where to get a good copy. Does not return.
void tman_missing_texture_alert(const std::string& name, const char* source_file, int source_line);

// ---------------------------------------------------------------------------
// File stage helpers.
// ---------------------------------------------------------------------------
// Finds, decodes and scales a file; 1 on success, 0 on failure.
int load_any_into_scratch(std::string name, int slot, int flags, int& gl_format, int& has_mips,
                          char& bpp, int take_alpha, int* img_dx, int* img_dy, int* tex_dx,
                          int* tex_dy);
// Scale factor for a width x height image and the resulting image and
// texture sizes. mode 1 forces scale 1.
float TEX_get_scale(std::string name, int slot, int flags, int width, int height, int* img_dx,
                    int* img_dy, int* tex_dx, int* tex_dy, int mode);
// The factor of a texture level: 0 -> 1/32, 1 -> 1/16, ..., 4 -> 1/2, else 1.
float tex_level_scale(int level);
// Fatal alert unless 1 <= d <= 2048.
void check_dxy(int d, std::string name);

// The decode buffer of the texture manager (kTexMaxImageBytes, 16-byte aligned).
unsigned char* tman_scratch_temp();

// ---------------------------------------------------------------------------
// Pure pieces of the upload, apart from OpenGL.
// ---------------------------------------------------------------------------
// Internal format for an upload of `gl_format` with load `flags`.
int tex_internal_format(int gl_format, int flags);
// Fills the colour of fully transparent pixels of a w x h RGBA grid from the
// opaque pixels within two pixels; alpha stays 0.
void tex_bleed_alpha(unsigned char* rgba, int w, int h);
// The slot uses nearest filtering.
bool tex_slot_is_nearest(int slot);
// Moves rows that lie src_stride bytes apart to rows of dst_w pixels, in
// place, and clears everything outside the w x h picture up to dst_w x dst_h.
// dst_w x bpp must not exceed src_stride.
void tex_repack_rows(unsigned char* p, int bpp, int w, int h, int src_stride, int dst_w, int dst_h);
// Bytes of one level of `gl_format` at w x h (DXT in 4x4 blocks).
int tex_level_bytes(int gl_format, int w, int h);

// ---------------------------------------------------------------------------
// The four built-in images.
// ---------------------------------------------------------------------------
// Uploads the interface atlas (389), which is all the start-up screen draws
// from; start-up shows that screen before it uploads the others.
void recall_start_tex();
// Uploads the other built-in images (390, 391, 392 and the menu font).
void recall_later_texes();
// Both, the atlas last: it stays in scratch_array.
void recall_ins_texes();
