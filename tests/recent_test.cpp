#include "tests/support/harness.h"

#include <cstring>

#include "access/docstate.h"
#include "app/commands.h"
#include "app/recent.h"
#include "app/settings.h"
#include "app/startup.h"
#include "res/resource.h"

namespace {

class Recent : public KelmorTest {
  protected:
    // The File menu from "ZULETZT GEÖFFNETE DATEIEN :" on, as the resource has it.
    void layOutFileMenu() {
        auto &m = fake.menus[IDP_FILE];
        m.clear();
        for (int i = 0; i < IDP_RECENT_FIRST - 1; ++i)
            m.push_back({40000u + i, "item"});
        m.push_back({IDM_RECENT_HEADING, "ZULETZT GEÖFFNETE DATEIEN :"});
        m.push_back({0, "-"});
        m.push_back({IDM_CLOSE_FILE, "Datei Sch&liessen"});
        m.push_back({IDM_EXIT, "&Beenden\tStrg-X"});
    }
    void SetUp() override {
        KelmorTest::SetUp();
        layOutFileMenu();
        startProgram();
        g_settings.MsgOptions = 0;
    }
    std::string file(int i) {
        return makeFile("f" + std::to_string(i) + ".bin", pattern(size_t(100 + i)));
    }
    // Entries from IDP_RECENT_FIRST up to the separator, with their commands.
    std::vector<std::string> menuEntries() {
        std::vector<std::string> out;
        auto &m = fake.menus[IDP_FILE];
        for (size_t p = IDP_RECENT_FIRST; p < m.size() && m[p].second != "-"; ++p) {
            EXPECT_EQ(m[p].first, unsigned(IDM_RECENT_FIRST + (p - IDP_RECENT_FIRST)))
                << "command at position " << p;
            out.push_back(m[p].second);
        }
        EXPECT_LT(out.size(), 11u);
        EXPECT_EQ(m[IDP_RECENT_FIRST + out.size() + 1].second, "Datei Sch&liessen");
        return out;
    }
    std::string entry(int index, const std::string &path) {
        return "&" + std::to_string(index) + ". " + path;
    }
};

TEST_F(Recent, NewestFirstAndAnExistingEntryMovesToTheTop) {
    std::string f[5];
    for (int i = 1; i <= 4; ++i) {
        f[i] = file(i);
        openThroughDialog(f[i]);
    }
    EXPECT_EQ(menuEntries(), (std::vector<std::string>{entry(0, f[4]), entry(1, f[3]),
                                                       entry(2, f[2]), entry(3, f[1])}));
    openThroughDialog(f[1]); // entry 4
    EXPECT_EQ(menuEntries(), (std::vector<std::string>{entry(0, f[1]), entry(1, f[4]),
                                                       entry(2, f[3]), entry(3, f[2])}));
    EXPECT_EQ(std::string(g_settings.recent[0]), entry(0, f[1]));
    EXPECT_EQ(std::string(g_settings.recent[3]), entry(3, f[2]));
    EXPECT_EQ(g_settings.recent[4][0], 0);
}

TEST_F(Recent, TheEleventhFileDropsTheOldest) {
    std::string f[12];
    for (int i = 1; i <= 11; ++i) {
        f[i] = file(i);
        openThroughDialog(f[i]);
    }
    std::vector<std::string> want;
    for (int i = 11, k = 0; i >= 2; --i, ++k)
        want.push_back(entry(k, f[i]));
    EXPECT_EQ(menuEntries(), want);
    for (int k = 0; k < 10; ++k)
        EXPECT_EQ(std::string(g_settings.recent[k]), want[k]);
}

TEST_F(Recent, EntriesSurviveARestartAndReopen) {
    std::string a = file(1), b = file(2);
    openThroughDialog(a);
    openThroughDialog(b);
    appDestroy();
    layOutFileMenu();
    startProgram(false);
    EXPECT_EQ(menuEntries(), (std::vector<std::string>{entry(0, b), entry(1, a)}));
    // Command 3 is entry 1: it opens with the read-only default and becomes the newest.
    EXPECT_TRUE(dispatchCommand(3, 0));
    EXPECT_STREQ(g_doc.SrcName, a.c_str());
    EXPECT_FALSE(g_doc.AccessFlag & kAccWritable);
    EXPECT_EQ(menuEntries(), (std::vector<std::string>{entry(0, a), entry(1, b)}));
    // An empty slot does nothing.
    EXPECT_TRUE(dispatchCommand(9, 0));
    EXPECT_STREQ(g_doc.SrcName, a.c_str());
}

TEST_F(Recent, EmptyListShowsOnlyTheHeading) {
    EXPECT_TRUE(menuEntries().empty());
    EXPECT_TRUE(fake.insertedItems.empty());
}

TEST_F(Recent, AFailedMenuUpdateAsksAndCancelStopsTheMove) {
    std::string f[4];
    for (int i = 1; i <= 3; ++i) {
        f[i] = file(i);
        openThroughDialog(f[i]);
    }
    // Someone took the entries out of the menu: the renames fail.
    fake.menus[IDP_FILE].resize(IDP_RECENT_FIRST);
    expectBox(" ", kIdCancel);
    EXPECT_EQ(moveRecentToTop(3), 1);
    EXPECT_EQ(fake.boxes.back().text, " ");
    EXPECT_EQ(std::string(g_settings.recent[0]), entry(0, f[3])); // unchanged
}

} // namespace
