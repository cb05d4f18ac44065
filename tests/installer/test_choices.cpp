#include "engine_fixture.h"

#include "support/release_maker.h"

namespace
{

class ChoicesTest : public EngineTest
{
  protected:
    // One file: its versions' signatures (last = current), what is on disk.
    void add(const std::string& rel, std::vector<std::string> sigs, const std::string& have,
             int os = 0)
    {
        file_history_struct h;
        for (const std::string& s : sigs) {
            file_version_struct v;
            v.os = os;
            v.sig_want = s;
            v.path = "Z/" + rel;
            h.versions.push_back(v);
        }
        h.versions.back().sig_have = have;
        sim_info.push_back(h);
    }
    const file_version_struct& cur(int i) { return sim_info[i].versions.back(); }
};

TEST_F(ChoicesTest, OutcomeTable)
{
    struct {
        std::vector<std::string> sigs;
        std::string have;
        int os, answer, download, nuke, asked_gone; // asked_gone -1: no question
    } cases[] = {
        {{"a"}, "NONE", 0, 0, 1, 0, -1},
        {{"a", "GONE"}, "NONE", 0, 0, 0, 0, -1},
        {{"a"}, "a", 0, 0, 0, 0, -1},
        {{"o", "a"}, "o", 0, 0, 1, 0, -1},
        {{"o", "GONE"}, "o", 0, 0, 0, 1, -1},
        {{"a"}, "x", 0, kAskActOnFile, 1, 0, 0},
        {{"a"}, "x", 0, kAskKeepFile, 0, 0, 0},
        {{"o", "GONE"}, "x", 0, kAskActOnFile, 0, 1, 1},
        {{"o", "GONE"}, "x", 0, kAskKeepFile, 0, 0, 1},
        {{"a"}, "x", 1, kAskActOnFile, 0, 0, -1}, // another platform: never asked
    };
    for (const auto& c : cases) {
        SetUp();
        add("f.txt", c.sigs, c.have, c.os);
        sim_info[0].versions.back().download = sim_info[0].versions.back().nuke = 7;
        scripted().answers = {c.answer};
        EXPECT_EQ(choose_files(), 1);
        EXPECT_EQ(cur(0).download, c.download) << c.have << " " << c.sigs.back();
        EXPECT_EQ(cur(0).nuke, c.nuke) << c.have << " " << c.sigs.back();
        if (c.asked_gone < 0) {
            EXPECT_TRUE(scripted().asked.empty());
        } else {
            ASSERT_EQ(scripted().asked.size(), 1u);
            EXPECT_EQ(scripted().asked[0].first, dest + "f.txt");
            EXPECT_EQ(scripted().asked[0].second, c.asked_gone);
            EXPECT_NE(log_text().find("File: " + dest + "f.txt  sig_want=" + c.sigs.back() +
                                      "  sig_have=x\n"),
                      std::string::npos);
        }
    }
}

TEST_F(ChoicesTest, FolderAnswersAndSubfolders)
{
    add("d/a", {"1"}, "x");
    add("d/b", {"1"}, "x");   // same folder: no question
    add("d/s/c", {"1"}, "x"); // a subfolder is its own folder: asked
    add("e/a", {"1"}, "x");
    add("e/b", {"0", "1"}, "0"); // unchanged older copy: replaced without a question
    add("e/c", {"1"}, "x");      // kept by the folder answer
    scripted().answers = {kAskActOnFolder, kAskKeepFile, kAskKeepFolder};
    EXPECT_EQ(choose_files(), 1);
    int want[] = {1, 1, 0, 0, 1, 0};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(cur(i).download, want[i]) << i;
    ASSERT_EQ(scripted().asked.size(), 3u);
    EXPECT_EQ(scripted().asked[1].first, dest + "d/s/c");
}

TEST_F(ChoicesTest, CancelStopsAtOnce)
{
    add("a", {"1"}, "NONE");
    add("b", {"1"}, "x");
    add("c", {"1"}, "NONE");
    scripted().answers = {kAskCancelAll};
    EXPECT_EQ(choose_files(), 0);
    EXPECT_EQ(cur(0).download, 1);
    EXPECT_EQ(cur(2).download, 0); // never examined
}

} // namespace
