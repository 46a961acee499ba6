// The status line (journal path, save mode, raster, access) and the mode indicator.
#include "tests/navigation_fixture.h"

#include "view/status.h"
#include "res/resource.h"
#include "view/navigation.h"

namespace {

class StatusIndicators : public NavTest {
  protected:
    std::string field(int pos, int n) { return fake.cells(33, pos, n); }
    std::string indicator() { return fake.cells(0, 71, 19); }
};

TEST_F(StatusIndicators, TheStatusLineAtStart) {
    startProgram();
    EXPECT_EQ(field(0, 56), std::string(56, ' '));
    EXPECT_EQ(field(56, 9), "Protokoll");
    EXPECT_EQ(field(65, 2), "  ");
    EXPECT_EQ(field(67, 9), "         "); // "Byte" raster
    EXPECT_EQ(field(78, 9), "         ");
    for (int c = 0; c < 90; ++c)
        ASSERT_EQ(fake.bg(33, c), kStatusBackground) << c;
    EXPECT_EQ(indicator(), "    Edit Mode      ");
    EXPECT_EQ(fake.bg(0, 71), kEditModeColour);
    EXPECT_EQ(fake.bg(0, 89), kEditModeColour);
}

TEST_F(StatusIndicators, SaveModeChangesKeepTheJournalPath) {
    startProgram();
    setJournalPathField("C:\\kelmor\\Ein ziemlich langer Dateiname fuer das Protokoll.jnl");
    run(IDM_DIRECT_MODE);
    EXPECT_EQ(field(56, 9), " direkt  ");
    EXPECT_TRUE(g_doc.AccessFlag & kAccDirect);
    // The first 45 characters of the path stay.
    EXPECT_EQ(field(0, 45), "C:\\kelmor\\Ein ziemlich langer Dateiname fuer ");
    run(IDM_JOURNAL_MODE);
    EXPECT_EQ(field(56, 9), "Protokoll");
    EXPECT_FALSE(g_doc.AccessFlag & kAccDirect);
    EXPECT_EQ(field(0, 45), "C:\\kelmor\\Ein ziemlich langer Dateiname fuer ");
}

TEST_F(StatusIndicators, RasterTexts) {
    startProgram();
    const char *texts[] = {"         ", "Line lock", "256B lock", "Page lock"};
    const uint32_t modes[] = {1, 2, 4, 8};
    for (int i : {1, 2, 3, 0}) {
        chooseScrollRaster(modes[i]);
        EXPECT_EQ(field(67, 9), texts[i]) << modes[i];
        EXPECT_EQ(field(56, 9), "Protokoll");
    }
}

TEST_F(StatusIndicators, ReadOnlySourceCannotBeLocked) {
    open(sigFile("a.bin", 100));
    EXPECT_EQ(field(78, 9), "Read Only");
    EXPECT_FALSE(g_doc.AccessFlag & kAccWritable);
    uint32_t access = g_doc.AccessFlag;
    run(IDM_LOCK);
    EXPECT_EQ(g_doc.AccessFlag, access);
    EXPECT_EQ(field(78, 9), "Read Only");
    // Lifting a lock that is not there leaves the source read-only.
    expectBox("Schreibsperre aufheben ?", kIdYes);
    run(IDM_UNLOCK);
    EXPECT_EQ(field(78, 9), "Read Only");
    EXPECT_FALSE(g_doc.AccessFlag & kAccWritable);
}

TEST_F(StatusIndicators, LockAndUnlockAWritableSource) {
    path = sigFile("a.bin", 100);
    startProgram();
    openThroughDialog(path, false);
    ASSERT_TRUE(g_doc.AccessFlag & kAccWritable);
    EXPECT_EQ(field(78, 9), "         ");
    run(IDM_LOCK);
    EXPECT_EQ(field(78, 9), "gesperrt ");
    EXPECT_FALSE(g_doc.AccessFlag & kAccUnlocked);
    expectBox("Schreibsperre aufheben ?", kIdNo);
    run(IDM_UNLOCK);
    EXPECT_EQ(fake.boxes.back().text, "Soll die gesetzte Schreibsperre aufgehoben werden ?");
    EXPECT_EQ(fake.boxes.back().style, unsigned(kMbYesNo | kMbIconQuestion | kMbTaskModal));
    EXPECT_EQ(field(78, 9), "gesperrt ");
    expectBox("Schreibsperre aufheben ?", kIdYes);
    run(IDM_UNLOCK);
    EXPECT_EQ(field(78, 9), "         ");
    EXPECT_TRUE(g_doc.AccessFlag & kAccUnlocked);
}

TEST_F(StatusIndicators, AskingForWriteAccess) {
    path = sigFile("a.bin", 100);
    startProgram();
    openThroughDialog(path, false);
    lockSource();
    expectBox("Schreibzugriff erlauben ?", kIdNo);
    EXPECT_EQ(askWriteAccess(), 1);
    EXPECT_EQ(fake.boxes.back().text, "Soll der Schreibzugriff auf die Datei ermöglicht werden ?");
    EXPECT_EQ(field(78, 9), "gesperrt ");
    expectBox("Schreibzugriff erlauben ?", kIdYes);
    EXPECT_EQ(askWriteAccess(), 0);
    EXPECT_EQ(field(78, 9), "         ");
}

TEST_F(StatusIndicators, LockCommandsNeedASource) {
    startProgram();
    run(IDM_LOCK);
    run(IDM_UNLOCK); // no question without a source
    EXPECT_TRUE(fake.boxes.empty() || fake.boxes.back().caption == "HINWEIS");
    EXPECT_EQ(field(78, 9), "         ");
}

TEST_F(StatusIndicators, TransientIndicatorsGiveBackTheBaseInItsOwnColour) {
    startProgram();
    showDiskMode();
    EXPECT_EQ(indicator(), "    Disk Mode      ");
    EXPECT_EQ(fake.bg(0, 71), kDiskModeColour);
    EXPECT_TRUE(g_doc.ModFlag & kModDisk);
    showAutoScroll(true);
    EXPECT_EQ(indicator(), "    Auto Scroll    ");
    EXPECT_EQ(fake.bg(0, 71), 0xDDCCFFu);
    endTransient();
    EXPECT_EQ(indicator(), "    Disk Mode      ");
    EXPECT_EQ(fake.bg(0, 71), kDiskModeColour);
    EXPECT_TRUE(g_doc.ModFlag & kModDisk);
    showVideoPlay();
    EXPECT_EQ(indicator(), "    Video Play     ");
    EXPECT_EQ(fake.bg(0, 71), 0xFF88FFu);
    EXPECT_TRUE(g_doc.ModFlag & kModPlay);
    EXPECT_TRUE(g_doc.ModFlag & kModDisk);
    endTransient();
    EXPECT_FALSE(g_doc.ModFlag & kModPlay);
    showEditMode();
    EXPECT_EQ(indicator(), "    Edit Mode      ");
    EXPECT_EQ(fake.bg(0, 71), kEditModeColour);
    EXPECT_FALSE(g_doc.ModFlag & (kModDisk | kModSector));
    showScanAvi();
    EXPECT_EQ(indicator(), "    Scan Avi       ");
    EXPECT_EQ(fake.bg(0, 71), 0xFF88FFu);
    showAutoScroll(false); // a transient replaces another
    EXPECT_EQ(fake.bg(0, 71), 0xCCDDFFu);
    EXPECT_FALSE(g_doc.ModFlag & kModPlay);
    EXPECT_TRUE(g_doc.ModFlag & kModAutoUp);
    endTransient();
    EXPECT_EQ(indicator(), "    Edit Mode      ");
    EXPECT_EQ(fake.bg(0, 71), kEditModeColour);
    EXPECT_TRUE(g_status.indicatorDrawn);
}

TEST_F(StatusIndicators, OpeningAFileShowsEditModeAndAccess) {
    startProgram();
    showDiskMode();
    path = sigFile("a.bin", 100);
    openThroughDialog(path);
    EXPECT_EQ(indicator(), "    Edit Mode      ");
    EXPECT_EQ(field(78, 9), "Read Only");
    dispatchCommand(IDM_CLOSE_FILE, 0); // close
    EXPECT_EQ(field(78, 9), "         ");
}

} // namespace
