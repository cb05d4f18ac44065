// What the user reads on the screens, in a real window under Xvfb with the
// interface colours sampled from the atlas as at start-up: every text stands
// out from what is behind it, paths show a stand-in for what the fonts
// cannot draw, server descriptions stay inside the window and the
// preferences show the proxy port in use. The modal windows run their own
// loops as in the program; a watcher takes their frame and closes them with
// real input.
#include "engine_fixture.h"

#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <map>

#include "GenC/hl_init.h"
#include "GenC/hl_windows.h"
#include "GenH/hl_report.h"
#include "GenH/hl_stls.h"
#include "OOPS_cpp/http.h"
#include "OOPS_cpp/oglp_text.h"
#include "installer/screen.h"
#include "platform/PlatformUtils.h"
#include "support/frame_driver.h"
#include "support/modal_shot.h"
#include "support/xvfb.h"

namespace
{

void no_app_frame() {}

// The shell's window with the colours start-up samples, the main window current.
void open_window()
{
    xvfb_open_shell_window();
    VOVARU_sample_interface_colours();
    VOVARU_set_app_update_hook(no_app_frame);
    VOVARU_event_proc();
    ASSERT_EQ(mnw.win_now, kWinMain);
}

// The main screen for the engine's state as it is, as shown.
ShownPixels main_screen(const char* shot_name)
{
    VOVARU_set_app_update_hook(APP_update);
    for (int i = 0; i < 2; ++i)
        VOVARU_event_proc();
    VOVARU_set_app_update_hook(no_app_frame);
    return xvfb_shown_frame(shot_name);
}

// The lower-left corner of window id on the drawable.
struct Origin {
    int x = 0, y = 0;
};
Origin origin_of(int id)
{
    const win_spec s = VOVARU_window_spec(id);
    if (!s.known) return {};
    return {int(VOVARU_centre_origin(mnw.res_x, s.w, 1)),
            int(VOVARU_centre_origin(mnw.res_y, s.h, 1))};
}

// A click at (x, y) of window id, as xdotool arguments for shot_of_modal.
std::string click_at(int id, float x, float y)
{
    const Origin o = origin_of(id);
    return "mousemove --window {win} " + std::to_string(o.x + int(x)) + " " +
           std::to_string(mnw.res_y - (o.y + int(y))) + " click 1";
}

// ---------------------------------------------------------------------------
// Contrast (WCAG 2: relative luminance of sRGB, ratio (L1 + 0.05) / (L2 + 0.05))

double luminance(const unsigned char* p)
{
    auto lin = [](int c) {
        const double s = c / 255.0;
        return s <= 0.04045 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * lin(p[0]) + 0.7152 * lin(p[1]) + 0.0722 * lin(p[2]);
}

double contrast(const unsigned char* a, const unsigned char* b)
{
    double la = luminance(a), lb = luminance(b);
    if (la < lb) std::swap(la, lb);
    return (la + 0.05) / (lb + 0.05);
}

struct Rect {
    int x0, y0, x1, y1; // drawable pixels, GL y up, [x0, x1) x [y0, y1)
};

// The box of the glyph cells of one line drawn by OGL_string at (x, y) of a
// window with origin o.
Rect text_box(Origin o, float x, float y, const std::string& text, int align)
{
    const int X = OGL_round_half_away(x + o.x), Y = OGL_round_half_away(y + o.y - 2);
    const float left = OGL_align_x(float(X), text, align);
    return {int(std::floor(left)), Y - 4, int(std::ceil(left + OGL_text_width(text))) + 1, Y + 11};
}

// One text as sampled: the ink is the pixel of its box that stands out most
// from the background, the pixel of median luminance (glyphs cover far less
// than half of their box).
struct Sample {
    unsigned char ink[3] = {}, back[3] = {};
    double ratio = 0;
};
Sample sample(const ShownPixels& p, Rect r)
{
    std::vector<std::pair<double, const unsigned char*>> px;
    for (int y = std::max(r.y0, 0); y < std::min(r.y1, p.h); ++y)
        for (int x = std::max(r.x0, 0); x < std::min(r.x1, p.w); ++x)
            px.emplace_back(luminance(p.at(x, y)), p.at(x, y));
    Sample s;
    if (px.empty()) return s;
    std::nth_element(px.begin(), px.begin() + px.size() / 2, px.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    const unsigned char* back = px[px.size() / 2].second;
    const unsigned char* ink = back;
    for (const auto& q : px)
        if (contrast(q.second, back) > contrast(ink, back)) ink = q.second;
    std::copy(ink, ink + 3, s.ink);
    std::copy(back, back + 3, s.back);
    s.ratio = contrast(ink, back);
    return s;
}

struct Probe {
    std::string screen, text;
    Rect box;
};

// A text of window id drawn at (x, y) with the alignment (0 left, 1 centred, 2 right).
Probe text_probe(const std::string& screen, int id, float x, float y, const std::string& text,
                 int align = 0)
{
    return {screen, text, text_box(origin_of(id), x, y, text, align)};
}
// A picture with text of the installer image at (x, y), w x h, in the main window.
Probe picture_probe(const std::string& screen, const std::string& what, int id, float x, float y,
                    float w, float h)
{
    const Origin o = origin_of(id);
    return {screen,
            what,
            {o.x + int(x) + 3, o.y + int(y) + 3, o.x + int(x + w) - 3, o.y + int(y + h) - 3}};
}

constexpr double kMinContrast = 4.5; // WCAG 2 AA for text of this size

} // namespace

using ScreenLook = EngineTest;

// Every text of every screen against what is behind it, in a table of the
// sampled colours (also written to the shots folder when it is set).
TEST_F(ScreenLook, EveryTextStandsOutFromItsBackground)
{
    XVFB_TEST_BODY(kXvfbScreen1024, xvfb_shots_env());
    open_window();
    std::map<std::string, ShownPixels> shots;
    std::vector<Probe> probes;
    auto add = [&](const Probe& p) { probes.push_back(p); };

    // Main screen: servers listed, the lists read, a size to install.
    stg.server_count = 2;
    server_desc[0] = "Main server";
    server_desc[1] = "Second server, in Europe";
    stg.dir_state = kDirReady;
    install_name = "9.00r1";
    stg.total_down_kb = stg.total_disk_kb = 1500;
    shots["main"] = main_screen("look-main.png");
    add(text_probe("main", kWinMain, 142, 86, dest_dir_path.substr(0, 20)));
    add(text_probe("main", kWinMain, 134, 112, "Click on the 'DESTINATION' button"));
    add(text_probe("main", kWinMain, 130, 578, "Main server", 2));
    add(text_probe("main", kWinMain, 130, 563, "in Europe", 2));
    add(text_probe("main", kWinMain, 50, 747, "preferences", 1));
    add(text_probe("main", kWinMain, 145, 656, "NET: 9.00r1"));
    add(text_probe("main", kWinMain, 945, 656, "Download"));
    add(text_probe("main", kWinMain, 954, 635, "1.5 Meg"));
    add(text_probe("main", kWinMain, 154, 615, "To make the download a LOT faster"));
    add(text_probe("main", kWinMain, 144, 58, "You are about to install 1.5 Meg"));
    add(picture_probe("main", "DESTINATION", kWinMain, 10, 78, 126, 22));
    add(picture_probe("main", "INSTALL", kWinMain, 450, 78, 83, 22));
    add(picture_probe("main", "ONLINE STORE", kWinMain, 700, 78, 116, 22));
    add(picture_probe("main", "QUIT", kWinMain, 960, 78, 51, 22));

    // The other colours of the status and totals lines.
    stg.server_count = 0;
    stg.dir_state = kDirFetch;
    shots["main-no-servers"] = main_screen("look-main-no-servers.png");
    add(text_probe("main-no-servers", kWinMain, 154, 615, "I could not find any servers"));
    add(picture_probe("main-no-servers", "INSTALL (disabled)", kWinMain, 450, 78, 83, 22));
    stg.server_count = 1;
    stg.dir_state = kDirReady;
    stg.install_state = kInstallFinished;
    next.all_done = 1;
    shots["main-done"] = main_screen("look-main-done.png");
    add(text_probe("main-done", kWinMain, 154, 615, "INSTALLATION COMPLETE!"));
    add(text_probe("main-done", kWinMain, 144, 58, "INSTALLATION COMPLETE!"));
    stg.download_failed = 1;
    crnt_file_path = "Resources/readme.txt";
    shots["main-failed"] = main_screen("look-main-failed.png");
    add(text_probe("main-failed", kWinMain, 144, 58, "I can NOT download the file"));
    next.all_done = 0;
    stg.download_failed = 0;
    stg.install_state = kInstallIdle;

    // Licence.
    shots["licence"] =
        shot_of_modal([] { handle_EULA(); }, "key --window {win} Return", "look-licence.png");
    add(text_probe("licence", kWinLicence, 250 - OGL_text_width("EULA") / 2, 287, "EULA"));
    add(text_probe("licence", kWinLicence, 20, 250, "Zudezud is licensed to you"));
    add(picture_probe("licence", "DISAGREE", kWinLicence, 300, 10, 85, 22));
    add(picture_probe("licence", "AGREE", kWinLicence, 400, 10, 59, 22));

    // Preferences, with a proxy typed in.
    http._proxy_host = "127.0.0.1";
    http._proxy_port = "8080";
    http._proxy_port_int = 8080;
    shots["prefs"] =
        shot_of_modal([] { handle_prefs(); }, "key --window {win} Return", "look-prefs.png");
    add(text_probe("prefs", kWinPrefs, 300 - OGL_text_width("Prefs") / 2, 367, "Prefs"));
    add(text_probe("prefs", kWinPrefs, 300 - OGL_text_width("General Preferences") / 2, 336,
                   "General Preferences"));
    add(text_probe("prefs", kWinPrefs, 200, 310, "Linux", 1));
    add(text_probe("prefs", kWinPrefs, 42, 270, "run at full speed all the time"));
    add(text_probe("prefs", kWinPrefs, 42, 260, "leave this OFF"));
    add(text_probe("prefs", kWinPrefs,
                   300 - OGL_text_width("Proxy (if you are behind a firewall with a Proxy)") / 2,
                   64, "Proxy (if you are behind a firewall"));
    add(text_probe("prefs", kWinPrefs, 73, 40, "proxy host", 2));
    add(text_probe("prefs", kWinPrefs, 92, 37, "127.0.0.1"));
    add(text_probe("prefs", kWinPrefs, 92, 17, "8080"));
    http._proxy_host.clear();
    http._proxy_port.clear();
    http._proxy_port_int = 0;

    // The modified-file question.
    shots["question"] = shot_of_modal([] { select_alert("/some/where/file.txt", 0); },
                                      click_at(kWinQuestion, 96, 28), "look-question.png");
    add(text_probe("question", kWinQuestion, 20, 100, "I am about to install:"));
    add(text_probe("question", kWinQuestion, 20, 90, "/some/where/file.txt"));
    add(text_probe("question", kWinQuestion, 96, 50, "KEEP THE OLD FILE", 1));

    // The scan progress box.
    dir_progress_bar(0, 50, 100, 1, "Reading the list of files", "Resources/readme.txt");
    shots["progress"] = xvfb_shown_frame("look-progress.png");
    {
        const float x0 = (1024 - 512) / 2.0f, y0 = (768 - 138) / 2.0f;
        add({"progress", "Reading the list of files",
             text_box({}, x0 + 32, y0 + 100, "Reading the list of files", 0)});
        add({"progress", "Resources/readme.txt",
             text_box({}, x0 + 32, y0 + 60, "Resources/readme.txt", 0)});
    }

    // The folder picker in a folder with sub-folders.
    tmp.mkdir("pick");
    tmp.mkdir("pick/Aircraft");
    tmp.mkdir("pick/Scenery");
    const std::string pick = tmp / "pick/";
    shots["picker"] = shot_of_modal(
        [&] {
            char out[2048] = "";
            GetFilePathFromUser(2, "", "", 1, pick.c_str(), out, sizeof out);
        },
        click_at(kWinPicker, 35, 28), "look-picker.png");
    add(text_probe("picker", kWinPicker, 280.5f, 438, "pick", 1));
    add(text_probe("picker", kWinPicker, 50, 179, "Aircraft"));
    add(text_probe("picker", kWinPicker, 35, 28 - 3, "Cancel", 1));
    {
        const picker_levels lv = picker_path_levels(pick);
        const int m = int(lv.shown.size()) > 11 ? 11 : int(lv.shown.size());
        add(text_probe("picker", kWinPicker, 20 + 10.0f * m, 415 - 10.0f * m, lv.shown.back()));
    }

    // An alert, its button named as the program names it.
    stls[kStlsAlertButton] = "OK";
    shots["alert"] = shot_of_modal(
        [] {
            __VOVARU_alert(kWinMain, "I could not make the new folder.", "Error: Permission denied",
                           "/some/where/", "", t_alert, "test", 1);
        },
        "key --window {win} Return", "look-alert.png");
    add(text_probe("alert", kWinAlert, 210, 205, "I could not make the new folder.", 1));
    add(text_probe("alert", kWinAlert, 210, 18 - 3, "OK", 1));

    std::string table = "screen\ttext\tink\tbackground\tratio\n";
    for (const Probe& p : probes) {
        const Sample s = sample(shots[p.screen], p.box);
        char line[256];
        std::snprintf(line, sizeof line, "%s\t%s\t%d,%d,%d\t%d,%d,%d\t%.2f\n", p.screen.c_str(),
                      p.text.c_str(), s.ink[0], s.ink[1], s.ink[2], s.back[0], s.back[1], s.back[2],
                      s.ratio);
        table += line;
        EXPECT_GE(s.ratio, kMinContrast) << line;
    }
    std::printf("%s", table.c_str());
    if (const char* dir = std::getenv("ZUDEZUD_SHOTS_DIR")) {
        EXPECT_TRUE(testnet::write_file(std::string(dir) + "/text-contrast.tsv", table));
    }
}

namespace
{
std::vector<unsigned char> cut(const ShownPixels& p, Rect r)
{
    std::vector<unsigned char> v;
    for (int y = r.y0; y < r.y1; ++y)
        for (int x = r.x0; x < r.x1; ++x)
            v.insert(v.end(), p.at(x, y), p.at(x, y) + 3);
    return v;
}
bool uniform(const std::vector<unsigned char>& v)
{
    for (size_t i = 3; i < v.size(); ++i)
        if (v[i] != v[i % 3]) return false;
    return true;
}
} // namespace

// The port given as a number only (preferences file, --pref:_proxy_port_int)
// or beside an older text shows in the field as if typed, and opening the
// window does not change the port in use. A typed text that is not a number
// is named as such on the main screen.
TEST_F(ScreenLook, PreferencesShowTheProxyPortInUse)
{
    XVFB_TEST_BODY(kXvfbScreen1024, xvfb_shots_env());
    open_window();
    http._proxy_host = "127.0.0.1";
    Rect field = text_box(origin_of(kWinPrefs), 92, 17, "8080", 0);
    field.x1 = field.x0 + 200;
    const auto shown_port = [&](const char* shot) {
        return cut(shot_of_modal([] { handle_prefs(); }, "key --window {win} Return", shot), field);
    };
    http._proxy_port = "8080";
    http._proxy_port_int = 8080;
    const std::vector<unsigned char> typed = shown_port("prefs-port-typed.png");
    EXPECT_FALSE(uniform(typed));
    for (const char* text : {"", "3128"}) {
        SCOPED_TRACE(text);
        http._proxy_port = text;
        http._proxy_port_int = 8080;
        EXPECT_EQ(shown_port("prefs-port-stored.png"), typed);
        EXPECT_EQ(http._proxy_port_int, 8080);
    }

    shot_of_modal([] { handle_prefs(); }, "key --window {win} Tab a b c Return");
    const screen_line s = status_message();
    EXPECT_EQ(s.colour, kColStatusError);
    EXPECT_EQ(s.text.find("The proxy port '"), 0u) << s.text;
    EXPECT_NE(s.text.find("abc' is not a number"), std::string::npos) << s.text;
}

// Keys typed into a field and the Return that closes the window, all in one
// batch of events (a busy machine, a fast typist): the field gets every key
// before the window closes.
TEST_F(ScreenLook, KeysBeforeTheClosingReturnReachTheField)
{
    XVFB_TEST_BODY(kXvfbScreen1024);
    open_window();
    http._proxy_host = "127.0.0.1";
    http._proxy_port = "";
    http._proxy_port_int = 0;
    for (int round = 0; round < 3; ++round) {
        http._proxy_host = "";
        shot_of_modal([] { handle_prefs(); }, "key --delay 0 --window {win} h o s t Return");
        EXPECT_EQ(http._proxy_host, "host") << round;
    }
}

// A description of any length stays in the column left of its radio
// button: nothing of it runs out of the window's left edge.
TEST_F(ScreenLook, ServerDescriptionsStayInTheirColumn)
{
    XVFB_TEST_BODY(kXvfbScreen1024, xvfb_shots_env());
    open_window();
    stg.server_count = 3;
    stg.dir_state = kDirReady;
    const std::string descs[3] = {
        "Main server", "Second server, in Europe",
        "Our fastest mirror, kindly hosted by the flying club of the valley, with plenty of "
        "bandwidth for everyone who wants the whole simulator today"};
    const ShownPixels without = main_screen("servers-without.png");
    for (int i = 0; i < 3; ++i)
        server_desc[i] = descs[i];
    const ShownPixels with = main_screen("servers-long.png");
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(descs[i]);
        const int y = int(kServerTopY - kServerStep * i);
        int inside = 0, outside = 0;
        for (int yy = y - 10; yy < y + 15; ++yy)
            for (int x = 0; x < int(kServerX) - 9; ++x) {
                if (std::equal(with.at(x, yy), with.at(x, yy) + 3, without.at(x, yy))) continue;
                (x >= kServerTextLeft && x <= kServerTextRight ? inside : outside)++;
            }
        EXPECT_GT(inside, 20);
        EXPECT_EQ(outside, 0);
    }
}

TEST(ServerDescLines, FittedToTheColumn)
{
    const float width = kServerTextRight - kServerTextLeft;
    const struct {
        std::string desc;
        std::vector<std::string> lines;
    } cases[] = {
        {"", {}},
        {"Main server", {"Main server"}},
        {"Second server, in Europe", {"Second server,", "in Europe"}}, // as a label splits it
        {"Servidor en Espa\xC3\xB1"
         "a",
         {"Servidor", "en Espa\xF1"
                      "a"}},
        {"Our fastest mirror, kindly hosted", {"Our fastest mirror,", "kindly hosted"}},
        {"Our fastest mirror, kindly hosted by the flying club of the valley",
         {"Our fastest mirror,", "kindly hosted by the fl..."}},
        {std::string(40, 'W'), {std::string(11, 'W'), std::string(10, 'W') + "..."}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.desc);
        const std::vector<std::string> lines = server_desc_lines(c.desc, width);
        EXPECT_EQ(lines, c.lines);
        for (const std::string& l : lines)
            EXPECT_LE(OGL_text_width(l), width) << l;
    }
}

TEST(FontText, EachCharacterTheFontsLackBecomesOneStandIn)
{
    const struct {
        std::string utf8, drawn;
    } cases[] = {
        {"/home/pilot/Zudezud/", "/home/pilot/Zudezud/"},
        {"/tmp/a\xC3\xBC\xE6\x97\xA5\xE6\x9C\xAC"
         "b/",
         "/tmp/a???b/"}, // aü日本b: one '?' per character, not per byte
        {"\xC3\xB1"
         "and\xC3\xBA \xC2\xBF",
         "\xF1"
         "and\xFA \xBF"},            // ñandú ¿: the atlas has them
        {"90\xC2\xB0", "90\xFB"},    // the degree sign's cell
        {"\xC3\xBB", "?"},           // û: byte 0xFB is drawn as a degree sign
        {"a\"b~{}\tc", "a?b????c"},  // ASCII without a glyph
        {"\xE1", "?"},               // Latin-1 byte, not UTF-8
        {"\xF0\x9F\x9B\xA9!", "?!"}, // four bytes, one character
        {"x\xC3", "x?"},             // cut short
        {"\xC0\xAF", "??"},          // overlong
        {"\xED\xA0\x80", "???"},     // surrogate
    };
    for (const auto& c : cases)
        EXPECT_EQ(OGL_font_text(c.utf8), c.drawn) << c.utf8;
}

// Every text that shows a path draws a '?' for each character the fonts
// lack: the screen looks exactly as with '?' typed in their place.
TEST_F(ScreenLook, PathsShowAStandInForWhatTheFontsLack)
{
    XVFB_TEST_BODY(kXvfbScreen1024, xvfb_shots_env());
    open_window();
    stls[kStlsAlertButton] = "OK";
    const std::string lacking = "a\xC3\xBC\xE6\x97\xA5\xE6\x9C\xAC"
                                "b", // aü日本b
        stand_in = "a???b";
    stg.server_count = 1;
    stg.dir_state = kDirReady;
    const struct {
        const char* screen;
        std::function<ShownPixels(const std::string&)> show;
    } screens[] = {
        {"destination field",
         [](const std::string& name) {
             dest_dir_path = "/data/" + name + "/";
             return main_screen("path-destination.png");
         }},
        {"totals line",
         [](const std::string& name) {
             stg.download_failed = 1;
             crnt_file_path = "Aircraft/" + name + ".acf";
             const ShownPixels p = main_screen("path-totals.png");
             stg.download_failed = 0;
             return p;
         }},
        {"modified-file question",
         [](const std::string& name) {
             return shot_of_modal([&] { select_alert("/data/" + name + "/file.txt", 0); },
                                  click_at(kWinQuestion, 96, 28), "path-question.png");
         }},
        {"progress box",
         [](const std::string& name) {
             dir_progress_bar(0, 50, 100, 1, "Reading", "Aircraft/" + name + ".acf");
             return xvfb_shown_frame("path-progress.png");
         }},
        {"alert",
         [](const std::string& name) {
             return shot_of_modal(
                 [&] {
                     __VOVARU_alert(kWinMain, "I could not make the new folder.", "",
                                    "/data/" + name + "/", "", t_alert, "test", 1);
                 },
                 "key --window {win} Return", "path-alert.png");
         }},
        {"folder picker",
         [this](const std::string& name) {
             tmp.mkdir(name);
             tmp.mkdir(name + "/" + name.substr(1, name.size() - 2)); // a sub-folder of them only
             const std::string start = tmp / (name + "/");
             return shot_of_modal(
                 [&] {
                     char out[2048] = "";
                     GetFilePathFromUser(2, "", "", 1, start.c_str(), out, sizeof out);
                 },
                 click_at(kWinPicker, 35, 28), "path-picker.png");
         }},
    };
    for (const auto& s : screens) {
        SCOPED_TRACE(s.screen);
        const ShownPixels a = s.show(lacking), b = s.show(stand_in);
        ASSERT_FALSE(a.rgb.empty());
        EXPECT_TRUE(a.rgb == b.rgb);
    }

    // Letters the fonts have are drawn, not replaced.
    const ShownPixels n = screens[0].show("\xC3\xB1"), q = screens[0].show("?");
    EXPECT_FALSE(n.rgb == q.rgb);
}

namespace
{
// Whether row y of r, in drawable pixels, holds anything but the background
// colour given.
bool inked_row(const ShownPixels& p, Rect r, int y, const unsigned char* back)
{
    for (int x = r.x0; x < r.x1; ++x)
        for (int c = 0; c < 3; ++c)
            if (std::abs(p.at(x, y)[c] - back[c]) > 12) return true;
    return false;
}
// The runs of rows with ink in r, from the top; lines that touch make one run.
int ink_runs(const ShownPixels& p, Rect r, const unsigned char* back)
{
    int runs = 0;
    bool in_run = false;
    for (int y = r.y1 - 1; y >= r.y0; --y) {
        const bool ink = inked_row(p, r, y, back);
        runs += ink && !in_run;
        in_run = ink;
    }
    return runs;
}
// A box of window id, in its own units, as drawable pixels.
Rect window_box(int id, int x0, int y0, int x1, int y1)
{
    const Origin o = origin_of(id);
    return {o.x + x0, o.y + y0, o.x + x1, o.y + y1};
}
} // namespace

// Lines drawn 10 pixels apart, wrapped or one under the other, keep a row of
// background between them in the licence, the question, the preferences and
// an alert: descenders never touch the capitals below. The status message's
// second line keeps off its panel's border.
TEST_F(ScreenLook, LinesTenPixelsApartDoNotTouch)
{
    XVFB_TEST_BODY(kXvfbScreen1024, xvfb_shots_env());
    open_window();
    // Ascenders, capitals and descenders on every line.
    stls[kStlsAlertButton] = "OK";
    const std::string alert_line =
        "Everything you typed (fully, slowly, gladly) plays just right: jumping quickly past the "
        "gypsy's [yellow] pages, Quentin's {big} hedgehog typed #@$ under every jagged paragraph "
        "and joyfully kept going.";
    struct {
        const char* name;
        std::function<ShownPixels()> show;
        Rect box;  // the paragraph and nothing else
        int lines; // as drawn
    } cases[] = {
        {"licence",
         [] {
             return shot_of_modal([] { handle_EULA(); }, "key --window {win} Return",
                                  "lines-licence.png");
         },
         window_box(kWinLicence, 18, 194, 430, 262), 6},
        {"question",
         [] {
             return shot_of_modal([] { select_alert("/srv/jpg/gypsy/quickly jumping.py", 0); },
                                  click_at(kWinQuestion, 96, 28), "lines-question.png");
         },
         window_box(kWinQuestion, 18, 70, 560, 112), 3},
        {"preferences",
         [] {
             return shot_of_modal([] { handle_prefs(); }, "key --window {win} Return",
                                  "lines-prefs.png");
         },
         window_box(kWinPrefs, 40, 248, 570, 285), 2},
        {"alert",
         [&] {
             return shot_of_modal(
                 [&] { __VOVARU_alert(kWinMain, alert_line, "", "", "", t_alert, "test", 1); },
                 "key --window {win} Return", "lines-alert.png");
         },
         window_box(kWinAlert, 16, 176, 404, 216),
         int(OGL_wrap_lines(alert_line, VOVARU_window_spec(kWinAlert).w * 0.9f, 0, nullptr)
                 .size())},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ShownPixels p = c.show();
        // The background: the box's lowest left pixel, where no text is.
        const unsigned char* back = p.at(c.box.x0, c.box.y0);
        EXPECT_EQ(ink_runs(p, c.box, back), c.lines);
    }

    // The status message in two lines, descenders on the second: a proxy
    // port typed as text.
    stg.server_count = 1;
    stg.dir_state = kDirReady;
    http._proxy_host = "127.0.0.1";
    http._proxy_port = "gypsy jumping quickly past jolly puppies typing yearly, happily, gladly";
    http._proxy_port_int = -1;
    const ShownPixels p = main_screen("lines-status.png");
    http._proxy_host.clear();
    http._proxy_port.clear();
    http._proxy_port_int = 0;
    const Rect text = {150, 602, 900, 628}; // short of the panel's rounded corner
    EXPECT_EQ(ink_runs(p, text, p.at(145, 603)), 2);
    // The border and the row above it look the same under the text as beside it.
    for (int y = 600; y <= 601; ++y)
        EXPECT_FALSE(inked_row(p, {150, y, 900, y + 1}, y, p.at(145, y))) << "row " << y;
}
