// The texture manager's freeing, deferred loading and statistics: plain
// checks on small tables, then real textures under Xvfb read back, and the
// deferred loader driven from the program's worker threads.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <unistd.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "GenC/hl_init.h"
#include "GenC/hl_windows.h"
#include "GenH/hl_types.h"
#include "OGL/OGL_ren.h"
#include "OOPS_cpp/colr.h"
#include "OOPS_cpp/oglp.h"
#include "OOPS_cpp/tman.h"
#include "TEX/TEX_bind.h"
#include "Thread/hl_thread.h"
#include "UTL/UTL_thread.h"
#include "support/alert_probe.h"
#include "support/temp_dir.h"
#include "support/xvfb.h"
#include "tman_test_util.h"

namespace
{

// ---------------------------------------------------------------------------
// Helpers
// ---------------------------------------------------------------------------
// Puts a slot into the queue of the deferred loader, as an application does.
void queue_slot(tman_class& t, int slot, const std::string& name, int flags = 2)
{
    tman_locker l(&t.lock);
    if (slot >= int(t.ref_dat.size())) t.ref_dat.resize(size_t(slot) + 1);
    tman_class::ref_dat_struct& d = t.ref_dat[size_t(slot)];
    d.name = name;
    d.flags = flags;
    d.fail_mode = tex_fail_scenery;
    d.gl_format = GL_RGBA;
    d.state = kTexStateQueued;
}

// A w x h opaque picture of one colour.
std::vector<uint8_t> solid(int w, int h, uint8_t r, uint8_t g, uint8_t b)
{
    std::vector<uint8_t> p;
    for (int i = 0; i < w * h; ++i)
        p.insert(p.end(), {r, g, b, 255});
    return p;
}

bool write_solid_png(const std::string& path, uint8_t r, uint8_t g, uint8_t b)
{
    return write_png_file(path, 4, 4, 4, solid(4, 4, r, g, b));
}

// The colour of texel (0, 0) of a slot's level 0, bound through the manager.
std::vector<int> texel(tman_class& t, int slot)
{
    t.bind_ref(slot, 0, 0);
    GLint w = 0, h = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
    if (w < 1 || h < 1) return {};
    std::vector<uint8_t> px(size_t(w) * size_t(h) * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
    return {px[0], px[1], px[2]};
}

std::vector<int> rgb(int r, int g, int b)
{
    return {r, g, b};
}

// Draws slot `slot` untinted over (x, y, 16, 16) and reads the centre back.
std::vector<int> drawn(int slot, float x, float y)
{
    OGL_2dquad(slot, 0, 1, x, y, 0, 0, x, y + 16, 0, 1, x + 16, y + 16, 1, 1, x + 16, y, 1, 0, 1,
               5);
    glFinish();
    uint8_t p[3];
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(int(x) + 8, int(y) + 8, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, p);
    return {p[0], p[1], p[2]};
}

// The window with white as colour 0 and the main window current.
void drawing_window(TempCwd& cwd)
{
    open_window(cwd);
    colr.assign(0, 1, 1, 1);
    colr.assign(104, 1, 1, 1);
    VOVARU_startwind(kWinMain, 0);
}

// A 4 x 4 picture of one colour in the shared buffer, for "scratch_array" loads.
void scratch_solid(uint8_t r, uint8_t g, uint8_t b)
{
    scratch_dx = scratch_dy = 4;
    const std::vector<uint8_t> p = solid(4, 4, r, g, b);
    std::memcpy(scratch_array, p.data(), p.size());
}

// One call on a worker thread of the program: posted, then waited for.
class WorkerCall
{
  public:
    WorkerCall(void* (*fn)(void*), void* arg)
    {
        UTL_message_queue_create(&call_.reply);
        UTL_critical_section_create(&call_.call_lock);
        call_.fn = fn;
        call_.arg = arg;
        call_.cookie = 1;
        UTL_message_queue_write(THREAD_call_queue(), &call_);
    }
    ~WorkerCall()
    {
        wait();
        UTL_message_queue_destroy(call_.reply);
        UTL_critical_section_destroy(&call_.call_lock);
    }
    void wait()
    {
        if (waited_) return;
        UTL_message_queue_read(call_.reply, -1);
        waited_ = true;
    }

  private:
    THREAD_call call_{};
    bool waited_ = false;
};

// The work step on a worker: its answer and whether it ran off the main thread.
struct WorkOnWorker {
    int result = -1;
    int on_main = -1;
};

void* run_work(void* p)
{
    auto* w = static_cast<WorkOnWorker*>(p);
    w->on_main = THREAD_is_main_thread();
    w->result = tman.load_scenery_async_work();
    return nullptr;
}

WorkOnWorker work_on_worker()
{
    WorkOnWorker w;
    WorkerCall(run_work, &w).wait();
    return w;
}

// The application's finisher: the work on a worker unless done, then the
// upload on this (the OpenGL) thread.
struct Finisher : tman_force_finish_obj {
    int calls = 0;
    bool work_done = false;
    void force_finish() override
    {
        ++calls;
        if (!work_done) work_on_worker();
        tman.load_scenery_async_finalize();
    }
};

// ---------------------------------------------------------------------------
// Plain checks
// ---------------------------------------------------------------------------
TEST(TmanExtra, ScaleRatFollowsTheTextureLevel)
{
    const struct {
        int level;
        float scale;
    } cases[] = {{0, 1 / 32.f}, {1, 1 / 16.f}, {2, 1 / 8.f}, {3, 1 / 4.f},
                 {4, 1 / 2.f},  {5, 1},        {6, 1},       {-1, 1}};
    tman_class t;
    for (const auto& c : cases) {
        mnw.tex_level = c.level;
        EXPECT_EQ(t.scale_rat(), c.scale) << c.level;
    }
    mnw.tex_level = 5;
}

TEST(TmanExtra, TotVramIsOneFrameBufferPlusEverySlotAndClamps)
{
    const mnw_struct saved = mnw;
    mnw.res_x = 1024;
    mnw.res_y = 768;
    mnw.res_bits = 32;
    tman_class t;
    EXPECT_EQ(t.tot_vram(), 3145728);
    t.ref_dat.resize(3);
    t.ref_dat[1].vram_bytes = 348651;
    t.ref_dat[2].vram_bytes = 1000;
    EXPECT_EQ(t.tot_vram(), 3145728 + 348651 + 1000);
    // Three 1 GB slots pass the int range: the sum stops at its top.
    t.ref_dat.resize(6);
    for (int i = 3; i < 6; ++i)
        t.ref_dat[size_t(i)].vram_bytes = 1000000000;
    EXPECT_EQ(t.tot_vram(), INT_MAX);
    mnw = saved;
}

TEST(TmanExtra, CountersAndLoadFailResets)
{
    tman_class t;
    t.loaded_count = 7;
    t.total_count = 9;
    EXPECT_EQ(t.loaded_texes(), 7);
    EXPECT_EQ(t.total_texes(), 9);
    t.scene_load_fail = 2;
    t.aircraft_load_fail = 2;
    t.instl_load_fail = 2;
    t.reset_scene_load_fail();
    EXPECT_EQ(t.scene_load_fail, 0);
    EXPECT_EQ(t.aircraft_load_fail, 2);
    t.reset_plane_load_fail();
    t.reset_instl_load_fail();
    EXPECT_EQ(t.aircraft_load_fail + t.instl_load_fail, 0);
    // A later failure is alerted again.
    t.instl_load_fail = 1;
    EXPECT_EQ(t.has_instl_load_fail(), 1);
}

TEST(TmanExtra, RegisterTakesTheNextQueuedSlotWithoutMovingTheCursor)
{
    tman_class t;
    t.ref_dat.resize(50);
    queue_slot(t, 10, "a/ten.png");
    queue_slot(t, 20, "b/twenty.png", 2 | kTexMipmap);
    queue_slot(t, 30, "c/thirty.png");
    t.ref_dat[20].fail_mode = tex_fail_aircraft;
    EXPECT_EQ(t.num_remaining_async_texes(), 3);
    t.async_cursor = 15;
    EXPECT_EQ(t.num_remaining_async_texes(), 2);

    Finisher fin;
    EXPECT_EQ(t.load_scenery_async_register(&fin), 1);
    ASSERT_NE(t.async_req, nullptr);
    EXPECT_EQ(t.async_req->slot, 20);
    EXPECT_EQ(t.async_req->name, "b/twenty.png");
    EXPECT_EQ(t.async_req->flags, 2 | kTexMipmap);
    EXPECT_EQ(t.async_req->fail_mode, tex_fail_aircraft);
    EXPECT_EQ(t.async_req->new_slot, 0);
    EXPECT_EQ(t.finish_obj, &fin);
    EXPECT_EQ(t.async_cursor, 15);
    EXPECT_EQ(t.ref_dat[20].state, kTexStateQueued);
    EXPECT_EQ(fin.calls, 0);
}

TEST(TmanExtra, RegisterWithNothingQueuedMovesTheCursorToTheEnd)
{
    tman_class t;
    t.ref_dat.resize(40);
    queue_slot(t, 5, "early.png"); // before the cursor: passed over
    t.async_cursor = 6;
    EXPECT_EQ(t.load_scenery_async_register(nullptr), 0);
    EXPECT_EQ(t.async_cursor, 40);
    EXPECT_EQ(t.async_req, nullptr);
    EXPECT_EQ(t.num_remaining_async_texes(), 0);
    // Work and finalize with nothing registered do nothing.
    EXPECT_EQ(t.load_scenery_async_work(), 0);
    t.load_scenery_async_finalize();
    EXPECT_EQ(t.ref_dat[5].state, kTexStateQueued);
}

TEST(TmanExtra, ReleaseCountsDownWithoutAnAlert)
{
    tman_class t;
    t.ref_dat.resize(1133);
    t.ref_dat[1132].ref_count = 2;
    AlertProbe probe;
    t.release_texture(1132);
    EXPECT_EQ(t.ref_dat[1132].ref_count, 1);
    t.release_texture(1132);
    EXPECT_EQ(t.ref_dat[1132].ref_count, 0);
    EXPECT_EQ(probe.count(), 0u);
}

// Each misuse ends in its fatal alert; refs outside the table are never read.
TEST(TmanExtra, MisusesAreFatal)
{
    TempCwd cwd;
    enum Op { kRelease, kUnload, kForce };
    const struct {
        Op op;
        int ref;
        const char* line1;
        const char* line2;
        const char* line3;
    } cases[] = {
        {kRelease, 500, "Trying to release a manual texture - use unload_texture.", "500.000000",
         "fixed"},
        {kRelease, 1132, "Ref count is negative - was never reffed.", "1132.000000", "never"},
        {kRelease, 1133, "Ref count went negative", "1133.000000", "zero"},
        {kUnload, 1132, "Error: dynamic textures should be released, not unloaded.", "never",
         "1132.000000"},
        {kRelease, 5000, "Trying to bind too low or high a manual_ref!", "release_texture",
         "value:"},
        {kRelease, -1, "Trying to bind too low or high a manual_ref!", "release_texture", "value:"},
        {kUnload, 1134, "Trying to bind too low or high a manual_ref!", "unload_texture", "value:"},
        {kForce, 99999, "Trying to bind too low or high a manual_ref!", "force_load_tex", "value:"},
    };
    for (const auto& c : cases) {
        ChildResult r = run_in_child([&] {
            tman_class t;
            t.ref_dat.resize(1134);
            t.ref_dat[500].name = "fixed";
            t.ref_dat[1132].name = "never";
            t.ref_dat[1133].name = "zero";
            t.ref_dat[1133].ref_count = 0;
            if (c.op == kRelease) t.release_texture(c.ref);
            if (c.op == kUnload) t.unload_texture(c.ref);
            if (c.op == kForce) t.force_load_tex(c.ref);
        });
        EXPECT_TRUE(r.aborted()) << c.line1 << " " << c.ref;
        const std::string lines = std::string(c.line1) + "\n\n" + c.line2 + "\n\n" + c.line3;
        EXPECT_NE(r.out.find(lines), std::string::npos) << r.out;
    }
}

// ---------------------------------------------------------------------------
// Under Xvfb
// ---------------------------------------------------------------------------
TEST(TmanExtraGL, PurgeFreesOnlyNamedTexturesThatNobodyHolds)
{
    XVFB_TEST_BODY();
    TempCwd cwd;
    open_window(cwd);
    tman_class t;
    scratch_solid(255, 0, 0);
    ASSERT_EQ(t.load_texture(tex_fail_fatal, 0, 2, 101, "scratch_array:kept"), 1132);
    ASSERT_EQ(t.load_texture(tex_fail_fatal, 0, 2, 101, "scratch_array:kept"), 1132);
    scratch_solid(0, 0, 255);
    ASSERT_EQ(t.load_texture(tex_fail_fatal, 0, 2, 101, "scratch_array:gone"), 1133);
    EXPECT_EQ(t.loaded_texes(), 2);
    EXPECT_EQ(t.total_texes(), 2);

    // Loaded twice, released once: held.
    t.release_texture(1132);
    t.release_texture(1133);
    t.purge_unused_texes();
    EXPECT_EQ(t.ref_dat[1132].ref_count, 1);
    EXPECT_EQ(texel(t, 1132), rgb(255, 0, 0));
    EXPECT_EQ(t.slot_for_name("scratch_array:kept"), 1132);

    // Released to 0: its texture deleted, the counters down, its name gone.
    EXPECT_EQ(glIsTexture(1133), GL_FALSE);
    const auto& g = t.ref_dat[1133];
    EXPECT_EQ(g.state, kTexStateEmpty);
    EXPECT_EQ(g.name, "un-inited");
    EXPECT_EQ(g.ref_count, -1);
    EXPECT_EQ(g.gl_format, 0);
    EXPECT_EQ(g.tex_id, 0);
    EXPECT_EQ(g.fail_mode, tex_fail_fatal);
    EXPECT_EQ(t.slot_for_name("scratch_array:gone"), -1);
    EXPECT_EQ(t.loaded_texes(), 1);
    EXPECT_EQ(t.total_texes(), 1);
    EXPECT_EQ(t.tot_vram(), mnw.res_x * mnw.res_y * mnw.res_bits / 8 + 4 * 4 * 4);

    // The freed slot is taken by the next name, and uploaded afresh.
    scratch_solid(0, 255, 0);
    EXPECT_EQ(t.load_texture(tex_fail_fatal, 0, 2, 101, "scratch_array:new"), 1133);
    EXPECT_EQ(t.ref_dat.size(), 1134u);
    EXPECT_EQ(texel(t, 1133), rgb(0, 255, 0));

    t.release_texture(1132);
    t.purge_unused_texes();
    EXPECT_EQ(glIsTexture(1132), GL_FALSE);
    EXPECT_EQ(t.slot_for_name("scratch_array:kept"), -1);
    EXPECT_EQ(t.loaded_texes(), 1);
}

// A texture deleted while bound leaves GL with texture 0 bound; a reload of
// the slot must bind its own name again before the upload.
TEST(TmanExtraGL, ReloadAfterUnloadReachesItsOwnTexture)
{
    XVFB_TEST_BODY();
    TempCwd cwd;
    drawing_window(cwd);
    scratch_solid(255, 0, 0);
    ASSERT_EQ(tman.load_texture(tex_fail_fatal, 600, 2, 101, "scratch_array:red"), 600);
    EXPECT_EQ(drawn(600, 100, 100), rgb(255, 0, 0));
    const int loaded = tman.loaded_texes(), total = tman.total_texes();

    tman.unload_texture(600); // still bound on unit 0
    EXPECT_EQ(glIsTexture(600), GL_FALSE);
    EXPECT_EQ(tman.ref_dat[600].state, kTexStateEmpty);
    EXPECT_EQ(tman.loaded_texes(), loaded - 1);
    EXPECT_EQ(tman.total_texes(), total - 1);

    scratch_solid(0, 255, 0);
    ASSERT_EQ(tman.load_texture(tex_fail_fatal, 600, 2, 101, "scratch_array:green"), 600);
    drawn(389, 200, 100); // another texture in between
    EXPECT_EQ(drawn(600, 100, 100), rgb(0, 255, 0));
    EXPECT_EQ(texel(tman, 600), rgb(0, 255, 0));
}

TEST(TmanExtraGL, UnloadingKeepsTheFallbackAndOtherSlotsNames)
{
    XVFB_TEST_BODY();
    TempCwd cwd;
    open_window(cwd);
    scratch_solid(128, 128, 128);
    ASSERT_EQ(tman.load_texture(tex_fail_fatal, kTexBlankGray, 2, 101, "scratch_array:grey"),
              kTexBlankGray);
    // A failed load holds the fallback: unloading it deletes no texture.
    EXPECT_EQ(tman.load_texture(tex_fail_silent, 601, 2, 101, cwd.path() + "none.png"), 0);
    EXPECT_EQ(tman.ref_dat[601].tex_id, kTexBlankGray);
    const int loaded = tman.loaded_texes(), total = tman.total_texes();
    tman.unload_texture(601);
    EXPECT_EQ(glIsTexture(kTexBlankGray), GL_TRUE);
    EXPECT_EQ(texel(tman, kTexBlankGray), rgb(128, 128, 128));
    EXPECT_EQ(tman.loaded_texes(), loaded); // nothing of its own was uploaded
    EXPECT_EQ(tman.total_texes(), total - 1);

    // Four slots under one name: the registry names the first, and only
    // unloading that one removes the entry.
    for (int s = 400; s < 404; ++s)
        tman.load_texture(tex_fail_fatal, s, 2, 101, "scratch_array:same");
    ASSERT_EQ(tman.slot_for_name("scratch_array:same"), 400);
    tman.unload_texture(403);
    EXPECT_EQ(tman.slot_for_name("scratch_array:same"), 400);
    EXPECT_EQ(glIsTexture(403), GL_FALSE);
    EXPECT_EQ(glIsTexture(402), GL_TRUE);
    tman.unload_texture(400);
    EXPECT_EQ(tman.slot_for_name("scratch_array:same"), -1);
}

TEST(TmanExtraGL, ForceLoadLoadsOnlyASlotThatIsNotLoaded)
{
    XVFB_TEST_BODY();
    TempCwd cwd;
    open_window(cwd);
    write_solid_png(cwd.path() + "q.png", 0, 0, 255);
    queue_slot(tman, 700, cwd.path() + "q.png");
    tman.force_load_tex(700);
    EXPECT_EQ(tman.ref_dat[700].state, kTexStateLoaded);
    EXPECT_EQ(texel(tman, 700), rgb(0, 0, 255));
    write_solid_png(cwd.path() + "q.png", 255, 0, 0);
    tman.force_load_tex(700); // loaded: left alone
    EXPECT_EQ(texel(tman, 700), rgb(0, 0, 255));
}

// The file stage on the program's worker threads, the upload here; a
// synchronous load while a request is pending finishes it first.
TEST(TmanExtraGL, DeferredLoadsRunOnTheWorkerThreads)
{
    XVFB_TEST_BODY();
    TempCwd cwd;
    open_window(cwd);
    THREAD_init();
    THREAD_make_workers();
    std::filesystem::create_directories(cwd.path() + "s");
    const uint8_t cols[3][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
    for (int i = 0; i < 3; ++i) {
        const std::string name = cwd.path() + "s/q" + std::to_string(i) + ".png";
        write_solid_png(name, cols[i][0], cols[i][1], cols[i][2]);
        queue_slot(tman, 700 + i, name);
    }
    EXPECT_EQ(tman.num_remaining_async_texes(), 3);
    Finisher fin;
    int rounds = 0;
    while (tman.load_scenery_async_register(&fin)) {
        ASSERT_LT(rounds, 3);
        EXPECT_EQ(tman.ref_dat[size_t(700 + rounds)].state, kTexStateQueued);
        const WorkOnWorker w = work_on_worker();
        EXPECT_EQ(w.on_main, 0);
        EXPECT_EQ(w.result, kTexIoFile);
        tman.load_scenery_async_finalize();
        EXPECT_EQ(tman.async_req, nullptr);
        EXPECT_EQ(tman.finish_obj, nullptr);
        ++rounds;
    }
    EXPECT_EQ(rounds, 3);
    EXPECT_EQ(fin.calls, 0);
    EXPECT_EQ(tman.async_cursor, int(tman.ref_dat.size()));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(tman.ref_dat[size_t(700 + i)].state, kTexStateLoaded);
        EXPECT_EQ(texel(tman, 700 + i), rgb(cols[i][0], cols[i][1], cols[i][2])) << i;
    }

    // Pending with its work done: a file load finishes it first, and a load
    // from the shared buffer does not.
    write_solid_png(cwd.path() + "p.png", 255, 255, 0);
    write_solid_png(cwd.path() + "sync.png", 0, 255, 255);
    tman.async_cursor = 0;
    queue_slot(tman, 710, cwd.path() + "p.png");
    ASSERT_EQ(tman.load_scenery_async_register(&fin), 1);
    work_on_worker();
    fin.work_done = true;
    scratch_solid(10, 20, 30);
    tman.load_texture(tex_fail_fatal, 711, 2, 101, "scratch_array:no finish");
    EXPECT_EQ(fin.calls, 0);
    EXPECT_EQ(tman.ref_dat[710].state, kTexStateQueued);
    ASSERT_EQ(tman.load_texture(tex_fail_fatal, 712, 2, 101, cwd.path() + "sync.png"), 712);
    EXPECT_EQ(fin.calls, 1);
    EXPECT_EQ(texel(tman, 710), rgb(255, 255, 0));
    EXPECT_EQ(texel(tman, 712), rgb(0, 255, 255));

    // Pending without its work: the finisher runs both steps.
    write_solid_png(cwd.path() + "late.png", 255, 0, 255);
    queue_slot(tman, 713, cwd.path() + "late.png");
    ASSERT_EQ(tman.load_scenery_async_register(&fin), 1);
    fin.work_done = false;
    ASSERT_EQ(tman.load_texture(tex_fail_fatal, 714, 2, 101, cwd.path() + "sync.png"), 714);
    EXPECT_EQ(fin.calls, 2);
    EXPECT_EQ(texel(tman, 713), rgb(255, 0, 255));
    EXPECT_EQ(texel(tman, 714), rgb(0, 255, 255));
    THREAD_shutdown();
}

// Registered without a finisher, a slot is still uploaded, and the next
// register moves on instead of handing it out again.
TEST(TmanExtraGL, QueuedSlotWithoutAFinisherIsUploaded)
{
    XVFB_TEST_BODY();
    TempCwd cwd;
    open_window(cwd);
    THREAD_init();
    THREAD_make_workers();
    write_solid_png(cwd.path() + "n.png", 0, 255, 0);
    queue_slot(tman, 720, cwd.path() + "n.png");
    ASSERT_EQ(tman.load_scenery_async_register(nullptr), 1);
    EXPECT_EQ(work_on_worker().result, kTexIoFile);
    tman.load_scenery_async_finalize();
    EXPECT_EQ(tman.ref_dat[720].state, kTexStateLoaded);
    EXPECT_EQ(texel(tman, 720), rgb(0, 255, 0));
    EXPECT_EQ(tman.load_scenery_async_register(nullptr), 0);

    // A missing file: the fallback and the scenery flag, as any failed load.
    queue_slot(tman, 721, cwd.path() + "missing.png");
    tman.async_cursor = 0;
    ASSERT_EQ(tman.load_scenery_async_register(nullptr), 1);
    EXPECT_EQ(work_on_worker().result, kTexIoNone);
    tman.load_scenery_async_finalize();
    EXPECT_EQ(tman.ref_dat[721].state, kTexStateLoaded);
    EXPECT_EQ(tman.ref_dat[721].vram_bytes, 0);
    EXPECT_EQ(tman.scene_load_fail, 1);

    // A slot unloaded between register and finalize stays empty.
    queue_slot(tman, 722, cwd.path() + "n.png");
    ASSERT_EQ(tman.load_scenery_async_register(nullptr), 1);
    tman.unload_texture(722);
    EXPECT_EQ(work_on_worker().result, kTexIoFile);
    tman.load_scenery_async_finalize();
    EXPECT_EQ(tman.ref_dat[722].state, kTexStateEmpty);
    EXPECT_EQ(glIsTexture(722), GL_FALSE);
    EXPECT_EQ(tman.async_req, nullptr);
    THREAD_shutdown();
}

// Register scans the table under the manager's lock: a worker that registers
// while this thread holds the lock and grows the table sees the grown table.
TEST(TmanExtraGL, RegisterScansTheTableUnderTheLock)
{
    XVFB_TEST_BODY();
    TempCwd cwd;
    open_window(cwd);
    THREAD_init();
    THREAD_make_workers();
    tman.async_cursor = int(tman.ref_dat.size());
    struct Shared {
        UTL_message_queue* started = nullptr;
        int answer = -1;
    } sh;
    UTL_message_queue_create(&sh.started);
    UTL_critical_section_lock(&tman.lock);
    WorkerCall call(
        [](void* p) -> void* {
            auto* s = static_cast<Shared*>(p);
            UTL_message_queue_write(s->started, s);
            s->answer = tman.load_scenery_async_register(nullptr);
            return nullptr;
        },
        &sh);
    UTL_message_queue_read(sh.started, -1);
    usleep(100 * 1000); // room for a register that does not wait for the lock
    queue_slot(tman, 2000, cwd.path() + "late.png");
    UTL_critical_section_unlock(&tman.lock);
    call.wait();
    EXPECT_EQ(sh.answer, 1);
    ASSERT_NE(tman.async_req, nullptr);
    EXPECT_EQ(tman.async_req->slot, 2000);
    UTL_message_queue_destroy(sh.started);
    THREAD_shutdown();
}

// Full channels only (others pass the gamma correction): 0 black, 1 red,
// 4 blue, 5 magenta.
std::vector<int> bulk_colour(int i)
{
    const int k = i % 7;
    return rgb(k & 1 ? 255 : 0, k & 2 ? 255 : 0, k & 4 ? 255 : 0);
}

// 100 queued slots: three progress lines (0, 0.4, 0.8), every slot loaded.
TEST(TmanExtraGL, BulkLoadShowsAProgressLineEveryFortySlots)
{
    XVFB_TEST_BODY(kXvfbScreen1024);
    TempCwd cwd;
    drawing_window(cwd);
    colr.assign(kColBackground, 0, 0, 0.5f); // the bar's track
    colr.assign(36, 1, 0.5f, 0);             // its filled part
    std::filesystem::create_directories(cwd.path() + "bulk");
    for (int i = 0; i < 100; ++i) {
        const std::string name = cwd.path() + "bulk/t" + std::to_string(i) + ".png";
        const std::vector<int> c = bulk_colour(i);
        write_solid_png(name, uint8_t(c[0]), uint8_t(c[1]), uint8_t(c[2]));
        queue_slot(tman, 1000 + i, name);
    }
    xer.flush();
    const size_t log_before = TempDir::read(cwd.path() + "Log.txt").size();
    mnw.profile_on = 1; // every buffer swap leaves "sb1=" in the log
    tman.load_all_scenery_texes();
    mnw.profile_on = 0;
    xer.flush();
    const std::string log = TempDir::read(cwd.path() + "Log.txt").substr(log_before);
    int swaps = 0;
    for (size_t at = log.find("sb1="); at != std::string::npos; at = log.find("sb1=", at + 1))
        ++swaps;
    EXPECT_EQ(swaps, 3);
    EXPECT_EQ(tman.async_cursor, int(tman.ref_dat.size()));
    EXPECT_EQ(tman.num_remaining_async_texes(), 0);
    for (int i : {0, 39, 40, 99}) {
        EXPECT_EQ(tman.ref_dat[size_t(1000 + i)].state, kTexStateLoaded);
        EXPECT_EQ(texel(tman, 1000 + i), bulk_colour(i)) << i;
    }

    // The last screen's bar is filled to 0.8 of its length.
    const ShownPixels shown = xvfb_read_shell_window();
    ASSERT_GT(shown.w, 0);
    const float L = mnw.area_x + 8, R = mnw.area_x + 1016;
    auto at = [&](float f) {
        const unsigned char* p = shown.at(int(L + f * (R - L)), 15);
        return rgb(p[0], p[1], p[2]);
    };
    EXPECT_EQ(at(0.1f), at(0.75f));
    EXPECT_NE(at(0.75f), at(0.85f));
}

TEST(TmanExtraGL, BlendLevelSetsTheUnitsConstantColour)
{
    XVFB_TEST_BODY();
    TempCwd cwd;
    open_window(cwd);
    ASSERT_GE(ren.max_tex_units, 2);
    auto env_colour = [](int unit) {
        glActiveTextureARB(GL_TEXTURE0 + unit);
        float c[4] = {-1, -1, -1, -1};
        glGetTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, c);
        glActiveTextureARB(GL_TEXTURE0);
        return std::vector<float>(c, c + 4);
    };
    tman.set_blend_level(1, 0.5f);
    EXPECT_EQ(env_colour(1), std::vector<float>(4, 0.5f));
    EXPECT_EQ(env_colour(0), std::vector<float>(4, 0.0f));
    GLint active = 0;
    glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
    EXPECT_EQ(active, GL_TEXTURE0);
    tman.set_blend_level(0, 0.25f);
    EXPECT_EQ(env_colour(0), std::vector<float>(4, 0.25f));
    tman.set_blend_level(ren.max_tex_units, 1.0f); // beyond the hardware: ignored
    tman.set_blend_level(-1, 1.0f);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

} // namespace
