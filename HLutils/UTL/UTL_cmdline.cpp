// The command-line option table: parsing, the option echo in the log, and
// the options that print and end the program ("--cmnds", "-h", "--help").
#include "UTL/UTL_cmdline.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

#include "GenH/hl_types.h"

const char* const kPrefOptionPrefix = "--pref:";

namespace
{

// Exit status of the options that only print.
constexpr int kExitPrinted = 0;
// What "--cmnds" prints, registered by the command table.
UTL_commands_lister_fn commands_lister = nullptr;

const char* const kKnownOptions[] = {
    "-h", "--help", "--cmnds", "--fps_test", "--no_dds", "--force_run",
    // OpenGL overrides
    "--disable-vbo", "--no_vbos", "--no_pbos", "--no_sprites", "--no_pixel_counters",
    "--no_aniso_filtering", "--no_hw_mipmap", "--no_vshaders", "--no_fshaders", "--no_glsl",
    "--no_fbos", "--no_threaded_ogl", "--no_sblend", "--use_vprogs", "--use_fprogs",
    // listed in the usage text for the other programs of the suite
    "--no_sound", "--use_vbos", "--use_sprites", "--use_fshaders", "--use_vshaders", "--use_glsl",
    "--require_fps"};

// The usage text after its own usage line and the blank line below it.
const char* usage_body()
{
    const char* p = std::strstr(kUsageText, "\n\n");
    return p ? p + 2 : kUsageText;
}

} // namespace

const char* const kUsageText =
    "Usage: Zudezud [options...]\n"
    "\n"
    "Flags take the form --flag, or --flag=value for the flags that need a value.\n"
    "The OpenGL options below serve all of the applications of the Zudezud suite;\n"
    "the frame-rate test serves the simulator only. The current flags are:\n"
    "\n"
    "--help\n"
    "-h\n"
    "    Print this message and quit.\n"
    "\n"
    "--no_sound\n"
    "    Run without sound: the sound device is never opened. Use this when the\n"
    "    sound driver of your machine crashes or hangs the program at start-up.\n"
    "    Note for laptop users: many laptops switch between a built-in and a separate graphics "
    "chip; if the program runs slowly, make sure that it runs on the faster one, and that the "
    "latest driver from the maker of the chip is installed.\n"
    "\n"
    "OPTIONS TO DISABLE HARDWARE ACCELERATION\n"
    "These options turn off OpenGL features that some drivers report but do not\n"
    "run correctly. Try them one at a time when you see crashes, missing pictures\n"
    "or garbage on the screen; each costs some speed but may cure the problem.\n"
    "\n"
    "--no_vbos\n"
    "    Do not use vertex buffer objects (GL_ARB_vertex_buffer_object).\n"
    "    Geometry is then sent to the card per frame.\n"
    "--no_fbos\n"
    "    Do not use frame buffer objects for drawing into textures.\n"
    "--no_pbos\n"
    "    Do not use pixel buffer objects for texture uploads and read-backs.\n"
    "--no_sprites\n"
    "    Do not use point sprites (GL_ARB_point_sprite) for lights and particles.\n"
    "--no_pixel_counters\n"
    "    Do not use occlusion queries (GL_ARB_occlusion_query) to count pixels.\n"
    "--no_aniso_filtering\n"
    "    Do not use anisotropic texture filtering\n"
    "    (GL_EXT_texture_filter_anisotropic).\n"
    "--no_hw_mipmap\n"
    "    Do not let the card build texture mipmaps (GL_SGIS_generate_mipmap);\n"
    "    they are then built by the program itself.\n"
    "--no_fshaders\n"
    "    Do not use fragment shaders (programs that colour each pixel on the card).\n"
    "--no_vshaders\n"
    "    Do not use any vertex shaders.\n"
    "--no_glsl\n"
    "    Do not use the OpenGL shading language at all.\n"
    "--no_threaded_ogl\n"
    "    Do not load textures on a second OpenGL context in a worker thread.\n"
    "\n"
    "OPTIONS TO ENABLE INCOMPATIBLE HARDWARE ACCELERATION\n"
    "These options turn on OpenGL features that the program turns off by default\n"
    "on cards or drivers known to have trouble with them. They may make the\n"
    "program faster, or they may make it crash: use them at your own risk.\n"
    "\n"
    "--use_vbos\n"
    "    Use vertex buffer objects even where they are known to be slow.\n"
    "--use_sprites\n"
    "    Use point sprites even where they are known to draw wrongly.\n"
    "--use_fshaders\n"
    "    Use fragment shaders even where they are known to be broken.\n"
    "--use_vshaders\n"
    "    Use vertex shaders even where they are known to be broken.\n"
    "--use_glsl\n"
    "    Use the OpenGL shading language even where it is known to be broken.\n"
    "--force_run\n"
    "    Run even on hardware below the minimum requirements of the program.\n"
    "    Expect low frame rates, missing effects or a crash.\n"
    "\n"
    "FRAMERATE TEST\n"
    "--fps_test=n\n"
    "    Run a frame-rate test of 90 seconds with the test case n and write three\n"
    "    frame rates to \"Log.txt\": the average, the slowest and the fastest. The\n"
    "    preferences file is ignored during the test, so it neither changes your\n"
    "    settings nor is changed by them.\n"
    "    Note for network installations: when the program sits on a shared network drive, every "
    "user keeps his own preferences file in his own home folder, and the frame-rate test leaves "
    "them all untouched, whatever it measures.\n"
    "--require_fps=n\n"
    "    Pass-fail mode: run one test of 30 seconds. The program exits with\n"
    "    status 0 when the measured frame rate is above n, and with status 1\n"
    "    otherwise, so that scripts can check whether a machine is fast enough.\n"
    "\n"
    "Options that the program does not know are ignored. An option given twice\n"
    "counts with its last value, and the repeat is noted in \"Log.txt\". Flags are\n"
    "case-sensitive: --HELP is not the same flag as --help.\n"
    "\n"
    "Every option given is written to \"Log.txt\" at start, so the log of a run\n"
    "shows how the program was started. Please send \"Log.txt\" with every report\n"
    "of a problem, together with the make and model of your graphics card and\n"
    "the version of its driver. Thank you for helping us to make Zudezud better\n"
    "for everyone, whatever computer they fly it on.\n";

void UTL_cmdline::init_unix(int argc, const char** argv)
{
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i] ? argv[i] : "";
        size_t eq = arg.find('=');
        std::string name = arg.substr(0, eq);
        std::string value = (eq == std::string::npos) ? std::string() : arg.substr(eq + 1);
        add_option(name, value);
        args.push_back(arg);
    }
    report_unknown(args);
    init_common();
}

void UTL_cmdline::init_win(const char* command_line)
{
    const std::string line = command_line ? command_line : "";
    auto blank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    std::vector<std::string> args;
    size_t i = 0;
    for (;;) {
        while (i < line.size() && blank(line[i]))
            ++i;
        if (i == line.size()) break;
        const size_t arg_start = i;
        size_t start = i;
        while (i < line.size() && !blank(line[i]) && line[i] != '=')
            ++i;
        std::string name = line.substr(start, i - start);
        std::string value;
        if (i < line.size() && line[i] == '=') {
            start = ++i;
            while (i < line.size() && !blank(line[i]))
                ++i;
            value = line.substr(start, i - start);
        }
        if (!name.empty()) {
            add_option(name, value);
            args.push_back(line.substr(arg_start, i - arg_start));
        }
    }
    report_unknown(args);
    init_common();
}

void UTL_cmdline::add_option(const std::string& name, const std::string& value)
{
    if (options.count(name))
        xer << "WARNING: command line option " << name << "=" << value << "included twice.\n";
    options[name] = value;
    xer << "     '" << name;
    if (!value.empty()) xer << "'='" << value;
    xer << "'\n";
}

void UTL_cmdline::report_unknown(const std::vector<std::string>& args) const
{
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string name = args[i].substr(0, args[i].find('='));
        if (app_leading_option && name == app_leading_option) {
            // The application reads it only as the first argument, with the
            // next one; elsewhere the next one is its folder all the same.
            const bool read = i == 0 && args[i] == name && i + 1 < args.size();
            if (!read)
                std::fprintf(stderr,
                             "Zudezud: ignoring \"%s\": it must be the first argument, followed "
                             "by the folder.\n",
                             app_leading_option);
            if (args[i] == name) ++i;
            continue;
        }
        if (!UTL_known_option(name))
            std::fprintf(stderr,
                         "Zudezud: ignoring the unknown option \"%s\"; --help lists the "
                         "options.\n",
                         name.c_str());
    }
    std::fflush(stderr);
}

void UTL_cmdline::init_common()
{
    if (has_option("--cmnds")) {
        if (commands_lister) commands_lister(stdout, get_option("--cmnds"));
        std::fflush(stdout);
        std::exit(kExitPrinted);
    }
    if (has_option("-h") || has_option("--help")) {
        if (app_usage) {
            std::fputs(app_usage, stdout);
            std::fputs(usage_body(), stdout);
        } else {
            std::fputs(kUsageText, stdout);
        }
        std::fputs("\n", stdout);
        std::fflush(stdout);
        std::exit(kExitPrinted);
    }
}

bool UTL_cmdline::has_option(const char* name) const
{
    return options.count(name) != 0;
}

std::string UTL_cmdline::get_option(const char* name) const
{
    auto it = options.find(name);
    return it == options.end() ? std::string() : it->second;
}

bool UTL_known_option(const std::string& name)
{
    if (name.rfind(kPrefOptionPrefix, 0) == 0) return true;
    for (const char* known : kKnownOptions)
        if (name == known) return true;
    return false;
}

void UTL_set_commands_lister(UTL_commands_lister_fn fn)
{
    commands_lister = fn;
}
