// The preferences file: one key table, read at start and written at exit,
// with --pref:key=value options overriding the file for one run.
#include "OOPS_cpp/pref.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

#include "GenH/hl_app.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/xmap.h"
#include "UTL/UTL_cmdline.h"

const char* const kPrefFileName = "Zudezud Installer.prf";
const char* const kPrefTempSuffix = ".new";
const char* const kPrefNoHomeLine =
    "No home folder: preferences are not read from a file nor saved; --pref: options apply "
    "for this run.";

namespace
{

// The application's settings, as registered.
const pref_field* g_fields = nullptr;
size_t g_field_count = 0;

} // namespace

void pref_register_fields(const pref_field* fields, size_t count)
{
    g_fields = fields;
    g_field_count = count;
}

// ---------------------------------------------------------------------------
// [SECTION] scan_class

void pref_parse_body(const char* cursor, const char* end,
                     std::map<std::string, std::string>& values)
{
    while (cursor < end) {
        while (cursor < end && xmap_is_blank(*cursor))
            ++cursor;
        const char* key_from = cursor;
        while (cursor < end && !xmap_is_white(*cursor))
            ++cursor;
        std::string key(key_from, (size_t)(cursor - key_from));
        std::string value;
        if (!key.empty()) {
            // Leading blanks go; blanks inside and at the end of the value stay.
            while (cursor < end && xmap_is_blank(*cursor))
                ++cursor;
            const char* value_from = cursor;
            while (cursor < end && !xmap_is_line_end(*cursor))
                ++cursor;
            value.assign(value_from, (size_t)(cursor - value_from));
        }
        while (cursor < end && xmap_is_white(*cursor))
            ++cursor;
        if (!key.empty()) values[key] = value;
    }
}

scan_class::scan_class(const std::string& path, int io_mode, size_t user_part) : io(io_mode)
{
    if (io == kPrefWrite) {
        // Written beside the file and renamed over it by the destructor. A
        // file that cannot be written is reported by ouf_open's alert.
        write_path = path;
        ouf_open(path + kPrefTempSuffix, kFileText, kPrefVersion, kNoNotice);
        return;
    }
    if (path.empty()) return; // no file: only the --pref: options are read
    xmap_class file(path, user_part);
    static const int versions[] = {kPrefVersion, 0};
    if (file.check_file(kFileText, versions, nullptr, nullptr) == 0) return;
    pref_parse_body(file.cursor, file.end, values);
}

scan_class::~scan_class()
{
    if (io == kPrefWrite) ouf_commit(write_path + kPrefTempSuffix, write_path);
}

int scan_class::fetch_or_get(const std::string& out, std::string& in, const std::string& key)
{
    keys.push_back(key);
    if (io == kPrefWrite) {
        ouf << key << ' ' << out << '\n';
        return 0;
    }
    std::string option = kPrefOptionPrefix + key;
    if (cmdline.has_option(option.c_str())) {
        in = cmdline.get_option(option.c_str());
        return 1;
    }
    auto it = values.find(key);
    if (it == values.end()) return 0;
    in = it->second;
    return 1;
}

int scan_class::int_io(int* p, const std::string& key)
{
    if (io == kPrefWrite) {
        char text[16];
        std::snprintf(text, sizeof(text), "%d", *p);
        std::string unused;
        return fetch_or_get(text, unused, key);
    }
    std::string text;
    if (!fetch_or_get("", text, key)) return 0;
    long v = std::strtol(text.c_str(), nullptr, 10);
    if (v > INT_MAX) v = INT_MAX;
    if (v < INT_MIN) v = INT_MIN;
    *p = (int)v;
    return 1;
}

// ---------------------------------------------------------------------------
// [SECTION] pref_class

void pref_class::IO_set(int type, int io)
{
    if (type != kPrefSetInstaller) return;

    // Without a home folder there is no preferences folder: no file is read
    // or saved, but the --pref: options still apply for this run.
    std::string folder;
    get_OS_abs_path(kOsDirPrefs, folder);
    if (folder.empty()) {
        if (io != kPrefRead) return;
        std::fprintf(stderr, "Zudezud: %s\n", kPrefNoHomeLine);
        std::fflush(stderr);
        xer << kPrefNoHomeLine << "\n";
    }

    scan_class s(folder.empty() ? std::string() : folder + kPrefFileName, io, folder.size());
    for (size_t i = 0; i < g_field_count; ++i) {
        const pref_field& f = g_fields[i];
        if (f.number) {
            s.int_io(f.number, f.key);
        } else if (io == kPrefRead) {
            std::string value;
            if (!s.fetch_or_get("", value, f.key)) continue;
            if (f.take)
                f.take(value);
            else
                *f.text = value;
        } else if (!f.text->empty()) {
            // Empty texts are not written, so the next start keeps their default.
            std::string unused;
            s.fetch_or_get(*f.text, unused, f.key);
        }
    }
    if (io == kPrefRead) pref_report_unknown_options(s.keys);
}

void pref_report_unknown_options(const std::vector<std::string>& keys)
{
    const std::string prefix = kPrefOptionPrefix;
    for (const auto& option : cmdline.options) {
        if (option.first.rfind(prefix, 0) != 0) continue;
        const std::string key = option.first.substr(prefix.size());
        if (std::find(keys.begin(), keys.end(), key) != keys.end()) continue;
        std::fprintf(stderr, "Zudezud: ignoring \"%s\": there is no preference \"%s\".\n",
                     option.first.c_str(), key.c_str());
    }
    std::fflush(stderr);
}

int pref_class::IO_sta(int type, int io, std::string name)
{
    return 0;
}
