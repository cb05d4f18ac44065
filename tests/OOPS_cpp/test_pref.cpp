// The preferences file as the library keeps it: the fields an application
// registers, written and read in their order under their keys.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "GenH/hl_types.h"
#include "OOPS_cpp/pref.h"
#include "UTL/UTL_cmdline.h"
#include "support/temp_dir.h"

namespace
{

int g_count = 0;
int g_flag = 0;
std::string g_name;
std::string g_taken;

void take_bracketed(const std::string& value)
{
    g_taken = "<" + value + ">";
}

const pref_field kFields[] = {
    {"_count", &g_count, nullptr, nullptr},
    {"_name", nullptr, &g_name, nullptr},
    {"_taken", nullptr, &g_taken, take_bracketed},
    {"_flag", &g_flag, nullptr, nullptr},
};

// HOME points at a private folder; the fields above are registered.
class PrefFields : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        file_ = home_ / ".zudezud/Zudezud Installer.prf";
        cmdline.options.clear();
        pref_register_fields(kFields, sizeof(kFields) / sizeof(kFields[0]));
        g_count = 0;
        g_flag = 0;
        g_name.clear();
        g_taken.clear();
    }
    void TearDown() override
    {
        cmdline.options.clear();
        pref_register_fields(nullptr, 0);
    }

    PrivateHome home_;
    std::string file_;
};

TEST_F(PrefFields, WrittenInTheirOrderWithoutEmptyTexts)
{
    struct {
        const char* name;
        const char* taken;
        const char* want;
    } cases[] = {
        {"a b", "", "_count 7\n_name a b\n_flag -1\n"},
        {"", "t", "_count 7\n_taken t\n_flag -1\n"},
    };
    for (const auto& c : cases) {
        g_count = 7;
        g_flag = -1;
        g_name = c.name;
        g_taken = c.taken;
        pref.IO_set(kPrefSetInstaller, kPrefWrite);
        EXPECT_EQ(TempDir::read(file_), std::string("I\n9001 version\n") + c.want) << c.want;
    }
}

TEST_F(PrefFields, ReadThroughTheirFieldsAndHooks)
{
    home_.mkdir(".zudezud");
    home_.write(".zudezud/Zudezud Installer.prf",
                "I\n9001 version\n_flag 3\n_taken x\n_name\n_count 12\n_other 1\n");
    g_name = "before";
    cmdline.options["--pref:_flag"] = "4";
    pref.IO_set(kPrefSetInstaller, kPrefRead);
    EXPECT_EQ(g_count, 12);
    EXPECT_EQ(g_flag, 4);  // the option wins over the file
    EXPECT_EQ(g_name, ""); // an empty value found is stored
    EXPECT_EQ(g_taken, "<x>");

    // Another set, and a set without fields, leave every field alone.
    pref.IO_set(kPrefSetInstaller + 1, kPrefRead);
    pref_register_fields(nullptr, 0);
    g_count = 1;
    pref.IO_set(kPrefSetInstaller, kPrefRead);
    EXPECT_EQ(g_count, 1);
}

TEST_F(PrefFields, WithoutFieldsTheFileHoldsItsHeaderOnly)
{
    pref_register_fields(nullptr, 0);
    g_count = 7;
    pref.IO_set(kPrefSetInstaller, kPrefWrite);
    EXPECT_EQ(TempDir::read(file_), "I\n9001 version\n");
}

} // namespace
