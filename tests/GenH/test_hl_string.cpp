#include <gtest/gtest.h>

#include "GenH/hl_string.h"

TEST(FltToStr, Table)
{
    struct Case {
        float value;
        int digits, decimals, blank;
        const char* want;
    } cases[] = {
        {5.25f, 3, 1, 0, " 5.3"}, // the half rounds away from zero
        {123.0f, 3, 1, 0, "123.0"},
        {0.04f, 2, 1, 0, "0.0"},
        {5.5f, 3, 1, 1, "  5.5"},  // sign column for a positive value
        {-5.5f, 3, 1, 1, "- 5.5"}, // the '-' stands before the blanks
        {-5.5f, 3, 1, 0, "- 5.5"},
        {-0.04f, 2, 1, 0, "-0.0"}, // the sign comes from the value
        {-0.25f, 3, 1, 0, "- 0.3"},
        {12345.0f, 3, 1, 0, "12345.0"}, // wider than the field takes its room
        {7.0f, 4, 0, 0, "   7"},        // no decimals: no point, no fraction
        {7.9f, 3, 0, 0, "  7"},         // ... and the whole number is truncated
        {0.0f, 3, 2, 0, "0.00"},
        {3.14159f, 5, 3, 0, " 3.142"},
        {1.96f, 2, 1, 0, "2.0"}, // a fraction that rounds to a whole unit carries
        {-1.96f, 2, 1, 0, "-2.0"},
        {99.96f, 3, 1, 0, "100.0"},
    };
    for (const Case& c : cases) {
        std::string out = "unchanged";
        flt_to_str(c.value, &out, c.digits, c.decimals, c.blank);
        EXPECT_EQ(out, c.want) << c.value << " (" << c.digits << "," << c.decimals << "," << c.blank
                               << ")";
    }
}

TEST(FltToStr, NegativeDecimalsLeaveOutUnchanged)
{
    std::string out = "unchanged";
    flt_to_str(5.0f, &out, 3, -1, 0);
    EXPECT_EQ(out, "unchanged");
}

TEST(GetPathWithPath, Table)
{
    struct Case {
        const char* path;
        const char* want;
    } cases[] = {
        {"a/b", "a/"},
        {"/x/y/", "/x/"}, // a trailing '/' is not the separator
        {"/x", "/"},
        {"name", ""},
        {"", ""},
        {"a/", "a/"}, // two characters: the final '/' counts
        {"/", "/"},
        {"ab/", ""}, // the trailing '/' is skipped and no other is found
        {"/home/user/", "/home/"},
        {"/home/", "/"},
        {"/tmp/dir.zip", "/tmp/"},
    };
    for (const Case& c : cases) {
        std::string folder = "old";
        get_path_with_path(folder, c.path);
        EXPECT_EQ(folder, c.want) << '"' << c.path << '"';
    }
}

TEST(GetPathWithPath, FolderMayBeThePathItself)
{
    std::string p = "/home/user/";
    get_path_with_path(p, p);
    EXPECT_EQ(p, "/home/");
    get_path_with_path(p, p);
    EXPECT_EQ(p, "/");
    get_path_with_path(p, p);
    EXPECT_EQ(p, "/");
}

TEST(PathHasNoFile, Table)
{
    const struct {
        const char* path;
        int want;
    } cases[] = {
        {"Output/", 1},
        {"Output/movies/a.smo", 0},
        {"Output/movies/", 1},
        {"/", 1},
        {"a", 0},
        {"a/b/c", 0},
        {"dir\\", 0}, // only '/' separates
        {"", 1},      // the base folder itself
    };
    for (const auto& c : cases)
        EXPECT_EQ(path_has_no_file(c.path), c.want) << '"' << c.path << '"';
}

TEST(StrToInt, Table)
{
    struct Case {
        const char* text;
        int want;
    } cases[] = {
        {"8080", 8080},
        {"+12", 12},
        {"-12", -12},
        {"007", 7},
        {"0", 0},
        {"123456789", 123456789},
        {"-999999999", -999999999},
        {"1-2", 92}, // a sign further in counts as -1 in its place
        {"1+2", 112},
        {"-1", -1},
        {"", -1},
        {"+", -1},
        {"-", -1},
        {"12a", -1},
        {" 12", -1},
        {"12 ", -1},
        {"1234567890", -1},
        {"+1234567890", -1},
        {"1.5", -1},
        {"0x10", -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(str_to_int(c.text), c.want) << '"' << c.text << '"';
}
