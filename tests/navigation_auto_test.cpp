// Auto scroll (with the indicator it shows while it runs) and zoom.
#include "tests/navigation_fixture.h"

#include "app/settings.h"
#include "app/startup.h"
#include "view/status.h"
#include "res/resource.h"
#include "view/navigation.h"
#include "view/paint.h"

namespace {

// What the mode indicator and ModFlag were at every repaint.
struct Seen {
    std::string indicator;
    uint32_t colour;
    uint32_t modFlag;
};
std::vector<Seen> g_seen;
FakePlatform *g_watched = nullptr;
void (*g_previousHook)() = nullptr;

void watchPaint() {
    g_seen.push_back({g_watched->cells(0, 71, 19), g_watched->bg(0, 71), g_doc.ModFlag});
    if (g_previousHook) g_previousHook();
}

class NavigationAuto : public NavTest {
  protected:
    void watch() {
        g_seen.clear();
        g_watched = &fake;
        if (g_afterPaintHook != watchPaint) g_previousHook = g_afterPaintHook;
        g_afterPaintHook = watchPaint;
    }
    void TearDown() override {
        if (g_afterPaintHook == watchPaint) g_afterPaintHook = g_previousHook;
        g_watched = nullptr;
        NavTest::TearDown();
    }
    void expectEditModeShown() {
        EXPECT_EQ(fake.cells(0, 71, 19), "    Edit Mode      ");
        EXPECT_EQ(fake.bg(0, 71), kEditModeColour);
        EXPECT_EQ(g_doc.ModFlag & (kModAutoUp | kModAutoDown | kModPlay), 0u);
    }
};

TEST_F(NavigationAuto, AutoScrollDownStopsOnATypedBlank) {
    const uint64_t size = 64ull << 30;
    open(sparseWith("big.bin", size, {{0, 4096}}));
    fake.keys = {0, 'x', 0, ' ', 'y'};
    watch();
    run(IDM_AUTO_SCROLL_DOWN_KEY); // Ctrl+Down
    // Three steps ran, one per message polled before the blank.
    EXPECT_EQ(g_doc.AnfPtr, 1024u);
    EXPECT_EQ(g_doc.ViewOfs, 512u);
    expectPage(1536);
    ASSERT_EQ(fake.keys.size(), 1u); // the key after the blank stays queued
    ASSERT_EQ(g_seen.size(), 3u);
    for (const Seen &s : g_seen) {
        EXPECT_EQ(s.indicator, "    Auto Scroll    ");
        EXPECT_EQ(s.colour, 0xDDCCFFu);
        EXPECT_TRUE(s.modFlag & kModAutoDown);
        EXPECT_FALSE(s.modFlag & kModAutoUp);
    }
    expectEditModeShown();
}

TEST_F(NavigationAuto, AutoScrollUpStopsOnEsc) {
    open(sigFile("a.bin", 20000));
    run(IDM_FILE_END_KEY); // Ctrl+End: 19456 + 512
    fake.keys = {0, 0, 27};
    watch();
    run(IDM_AUTO_SCROLL_UP_KEY); // Ctrl+Up
    expectPage(19456 - 512);
    ASSERT_EQ(g_seen.size(), 2u);
    for (const Seen &s : g_seen) {
        EXPECT_EQ(s.indicator, "    Auto Scroll    ");
        EXPECT_EQ(s.colour, 0xCCDDFFu);
        EXPECT_TRUE(s.modFlag & kModAutoUp);
    }
    expectEditModeShown();
}

TEST_F(NavigationAuto, AutoScrollEndsAtTheEndOfTheFile) {
    open(sigFile("a.bin", 5000));
    watch();
    run(IDM_AUTO_SCROLL_DOWN); // the menu item
    EXPECT_EQ(g_doc.AnfPtr, 4096u);
    EXPECT_EQ(g_doc.ViewOfs, 512u);
    expectPage(4608);
    EXPECT_EQ(g_seen.size(), 9u); // every page down to the last, then PgDn refused
    expectEditModeShown();
    watch();
    run(IDM_AUTO_SCROLL_UP);
    expectPage(0);
    EXPECT_EQ(g_seen.size(), 9u);
    expectEditModeShown();
}

TEST_F(NavigationAuto, AutoScrollInDiskModeKeepsDiskMode) {
    open(sigFile("a.bin", 5000));
    showDiskMode();
    fake.keys = {0, ' '};
    run(IDM_AUTO_SCROLL_DOWN_KEY);
    EXPECT_TRUE(g_doc.ModFlag & kModDisk);
    EXPECT_EQ(fake.cells(0, 71, 19), "    Disk Mode      ");
    EXPECT_EQ(fake.bg(0, 71), kDiskModeColour);
}

TEST_F(NavigationAuto, AutoScrollNeedsASource) {
    startProgram();
    fake.keys = {0, ' '};
    EXPECT_EQ(autoScrollDown(), 1);
    EXPECT_EQ(fake.keys.size(), 2u);
}

TEST_F(NavigationAuto, ZoomInEnlargesTheFontAndTheWindow) {
    open(sigFile("a.bin", 3000));
    pageDown();
    int fonts = fake.fontsCreated, sizes = fake.sizeRequests;
    run(IDM_ZOOM_IN);
    EXPECT_EQ(g_settings.fontWidth, 9u);
    EXPECT_EQ(g_settings.fontHeight, 17u);
    EXPECT_EQ(g_geom.cw, 9);
    EXPECT_EQ(g_geom.lh, 17);
    EXPECT_EQ(fake.fontsCreated, fonts + 1);
    EXPECT_EQ(fake.sizeRequests, sizes + 1);
    EXPECT_EQ(g_window.width, 88 * 9 + 30);
    EXPECT_EQ(g_window.height, 34 * 17 + 60);
    // Everything is drawn again on the new grid.
    fake.clearScreen();
    run(IDM_ZOOM_OUT);
    EXPECT_EQ(g_geom.cw, 8);
    EXPECT_EQ(g_geom.lh, 16);
    expectPage(512);
    EXPECT_EQ(fake.cells(33, 56, 9), "Protokoll");
    EXPECT_EQ(fake.cells(0, 71, 19), "    Edit Mode      ");
    EXPECT_EQ(g_doc.CurHexX, 22 * 8);
}

TEST_F(NavigationAuto, ZoomStaysWithinReadableBounds) {
    startProgram(); // no source needed
    int steps = 0;
    while (zoomIn() == 0 && steps < 1000)
        ++steps;
    EXPECT_EQ(g_settings.fontWidth, kZoomMaxWidth);
    EXPECT_EQ(steps, int(kZoomMaxWidth - 8));
    EXPECT_LE(g_settings.fontHeight, kZoomMaxHeight);
    int fonts = fake.fontsCreated;
    EXPECT_EQ(zoomIn(), 1);
    EXPECT_EQ(fake.fontsCreated, fonts);
    steps = 0;
    while (zoomOut() == 0 && steps < 1000)
        ++steps;
    EXPECT_EQ(g_settings.fontWidth, kZoomMinWidth);
    EXPECT_GE(g_settings.fontHeight, kZoomMinHeight);
    EXPECT_EQ(steps, int(kZoomMaxWidth - kZoomMinWidth));
    EXPECT_EQ(zoomOut(), 1);
    EXPECT_EQ(g_geom.cw, int(kZoomMinWidth));
}

} // namespace
