// Drives as the source: the drive dialog, logical and physical devices served from image
// files, capacity, access switching, the write-access loop of a save, bad drives.
#include "tests/support/doc_test.h"

namespace {

const char *kWarning = "WARNUNG !\n\nDas direkte Schreiben auf die Festplatte\nkann zu einem "
                       "kompletten Datenverlust führen !\n\nÜberprüfen Sie vor jedem "
                       "Speichervorgang\n\n                              mit      F5\n\nden "
                       "Originalzustand des betreffenden Datenbereichs !";
const uint64_t kGiB = 1ull << 30;

class Drives : public DocTest {
  protected:
    void SetUp() override {
        DocTest::SetUp();
        quietClose();
    }
    // A 6 GiB sparse image with signature bytes at its start and around 5 GiB.
    std::string bigImage(const std::string &name = "e.img") {
        return sparseWith(name, 6 * kGiB, {{0, 4096}, {5 * kGiB, 1024}});
    }
    const FakeBox &lastBox() { return fake.boxes.back(); }
};

// Which buttons the dialog offers: existing drives by type, CD-ROM and physical drives from
// major version 5. Cancel restores the drive chosen before and opens nothing.
TEST_F(Drives, DialogOffersDrivesByTypeAndSystem) {
    fake.drives[4] = {kDriveCdrom, dir + "/E"};
    fake.drives[5] = {kDriveUnknown, dir + "/F"};
    fake.drives[6] = {kDriveNoRootDir, dir + "/G"};
    fake.drives[7] = {kDriveRemote, dir + "/H"};
    fake.drives[24] = {kDriveFixed, dir + "/Y"}; // beyond T:, no button
    struct Row {
        uint32_t os;
        bool c, d, e, f, g, h, i, phys;
    } rows[] = {{4, 1, 1, 0, 0, 0, 1, 0, 0}, {5, 1, 1, 1, 0, 0, 1, 0, 1}};
    for (const Row &r : rows) {
        fake.osMajor = r.os;
        g_doc.DriveIndex = 7;
        fake.dialogScripts.push_back([&](int, DialogLogic &logic, FakeDialogHost &host) {
            bool want[] = {r.c, r.d, r.e, r.f, r.g, r.h, r.i};
            for (int k = 0; k < 7; ++k)
                EXPECT_EQ(host.enabled[driveButton(char('C' + k))], want[k]) << char('C' + k);
            EXPECT_FALSE(host.enabled[IDC_DRIVE_A]);
            for (int k = 0; k < 10; ++k)
                EXPECT_EQ(host.enabled[IDC_PHYS_1 + k], r.phys);
            EXPECT_TRUE(host.checks[IDC_DRIVE_READ_ONLY]) << "read-only is the default";
            logic.command(host, IDC_DRIVE_C, 0);
            EXPECT_EQ(g_doc.DriveIndex, 2u);
            logic.command(host, IDC_DRIVE_CANCEL, 0);
        });
        EXPECT_EQ(dispatchCommand(IDM_OPEN_DRIVE, 0), 1);
        EXPECT_EQ(g_doc.DriveIndex, 7u);
        EXPECT_FALSE(g_doc.ModFlag & kModDriveDialog);
        EXPECT_FALSE(sourceOpen());
    }
}

// A logical drive: name, title, capacity, indicator, journal, sectors on screen, not in the
// recent list, "Laufwerk physikalisch löschen" greyed; closing and opening again returns to
// the page the journal stored.
TEST_F(Drives, LogicalDriveOpensInDiskMode) {
    std::string img = bigImage();
    openDriveImage(img, 'E');
    EXPECT_STREQ(g_doc.SrcName, "Laufwerk E:");
    EXPECT_EQ(fake.title, "Laufwerk E:");
    EXPECT_EQ(g_doc.FileSize, 6 * kGiB);
    EXPECT_EQ(indicator(), "    Disk Mode      ");
    EXPECT_EQ(statusField(78, 9), "Read Only");
    EXPECT_EQ(std::string(g_jnl.JnlName), "C:\\kelmor\\Laufwerk E~0.jnl");
    EXPECT_EQ(fake.menuStates[IDM_PHYSICAL_ERASE], MenuState::Greyed);
    EXPECT_EQ(g_settings.recent[0][0], 0) << "drives are not recent files";
    expectPage(0);
    typeAt(5 * kGiB + 700, {0x5A});
    showByte(5 * kGiB + 100);
    run(IDM_CLOSE_FILE);
    EXPECT_FALSE(sourceOpen());
    openDriveImage(img, 'E');
    EXPECT_EQ(first(), 5 * kGiB);
    expectByte(5 * kGiB + 700, 0x5A, true);
    EXPECT_EQ(diskBytes(5 * kGiB + 700, 1), sigBytes(5 * kGiB + 700, 1)) << "journalled only";
    checkJournal();
}

// Physical drive 3 is the device ending in 2; its capacity is its exact length, not whole
// cylinders; its erase item is enabled.
TEST_F(Drives, PhysicalDriveThreeAndItsExactLength) {
    const uint64_t size = 3 * 255 * 63 * 512ull + 7 * 512; // 7 sectors past the last cylinder
    std::string img = sparseWith("p.img", size, {{size - 512, 512}});
    openDriveImage(img, '3');
    EXPECT_STREQ(g_doc.SrcName, "Laufwerk 3:");
    EXPECT_EQ(g_doc.FileSize, size);
    EXPECT_EQ(fake.menuStates[IDM_PHYSICAL_ERASE], MenuState::Enabled);
    expectByte(size - 1, sig(size - 1), false);
    run(IDM_CLOSE_FILE);
    // Without the length the geometry answers: whole cylinders.
    fake.lengthFails = true;
    fake.geometry = {2, 255, 63, 512};
    openDriveImage(img, '3');
    EXPECT_EQ(g_doc.FileSize, 2 * 255 * 63 * 512ull);
}

// Write access only after the warning; Cancel keeps what was open. The same drive with the
// box cleared switches the access and keeps page and journal.
TEST_F(Drives, WriteWarningAndAccessSwitch) {
    openSource(pattern(3000), true, "keep.bin");
    std::string img = bigImage();
    fake.devices["\\\\.\\E:"] = img;
    fake.drives[4] = {kDriveFixed, dir + "/E"};
    pickDrive(fake, IDC_DRIVE_E, false);
    expectBox(kDriveWarningCaption, kIdCancel);
    run(IDM_OPEN_DRIVE);
    EXPECT_EQ(lastBox().text, kWarning);
    EXPECT_EQ(lastBox().style & 0xF, unsigned(kMbOkCancel));
    EXPECT_EQ(std::string(g_doc.SrcName), src) << "the file stays open";
    openDriveImage(img, 'E');
    showByte(5 * kGiB);
    Handle jnl = g_jnl.JnlHandle;
    pickDrive(fake, IDC_DRIVE_E, false);
    expectBox(kDriveWarningCaption, kIdCancel);
    run(IDM_OPEN_DRIVE);
    EXPECT_EQ(statusField(78, 9), "Read Only");
    pickDrive(fake, IDC_DRIVE_E, false);
    expectBox(kDriveWarningCaption, kIdOk);
    run(IDM_OPEN_DRIVE);
    EXPECT_EQ(statusField(78, 9), "         ");
    EXPECT_TRUE(g_doc.AccessFlag & kAccWritable);
    EXPECT_EQ(first(), 5 * kGiB) << "the page stays";
    EXPECT_EQ(g_jnl.JnlHandle, jnl) << "the journal stays";
    EXPECT_EQ(fake.openHandles(), 3); // kelmor.ini, journal, drive
}

// A save on a read-only drive asks for write access through the drive dialog; the same drive
// with write access lets the save go on, another one stops it.
TEST_F(Drives, SaveReopensTheDriveForWriting) {
    original = pattern(8192);
    std::string img = makeFile("e.img", original);
    openDriveImage(img, 'E');
    typeAt(1000, {0x77});
    expectBox("Speichern?", kIdYes);
    expectBox("Ohne Schreibschutz neu öffnen?", kIdOk);
    pickDrive(fake, IDC_DRIVE_E, false);
    expectBox(kDriveWarningCaption, kIdOk);
    run(IDM_SAVE_PAGE);
    EXPECT_EQ(sourceNow(), withBytes(original, {{1000, 0x77}}));
    checkJournal();

    fake.devices["\\\\.\\F:"] = makeFile("f.img", pattern(4096));
    fake.drives[5] = {kDriveFixed, dir + "/F"};
    pickDrive(fake, IDC_DRIVE_E, true);
    run(IDM_OPEN_DRIVE); // back to read-only
    typeAt(1001, {0x78});
    expectBox("Speichern?", kIdYes);
    expectBox("Ohne Schreibschutz neu öffnen?", kIdOk);
    pickDrive(fake, IDC_DRIVE_F, true);
    expectBox("andere Datei !", kIdOk,
              "Es wurde ein anderes Laufwerk gewählt.\n\n Speicherung wird nicht fortgesetzt!");
    run(IDM_SAVE_PAGE);
    EXPECT_STREQ(g_doc.SrcName, "Laufwerk F:");
    EXPECT_EQ(readAll(img), withBytes(original, {{1000, 0x77}})) << "nothing more saved";
}

// A journal whose header names a drive opens that drive in disk mode, with that journal.
TEST_F(Drives, JournalOfADriveOpensTheDrive) {
    std::string img = bigImage();
    openDriveImage(img, 'E');
    typeAt(4000, {0x42});
    std::string jnl = jnlHost();
    run(IDM_CLOSE_FILE);
    std::string copy = dir + "/C/saved.jnl";
    ASSERT_EQ(std::system(("cp '" + jnl + "' '" + copy + "'").c_str()), 0);
    expectBox("Bearbeitung öffnen?", kIdYes);
    openThroughDialog("C:\\saved.jnl");
    ASSERT_TRUE(g_doc.ModFlag & kModDisk);
    EXPECT_STREQ(g_doc.SrcName, "Laufwerk E:");
    EXPECT_EQ(std::string(g_jnl.JnlName), "C:\\saved.jnl");
    expectByte(4000, 0x42, true);
}

// Bad drives: a device that does not open, a capacity that cannot be read, a drive that
// vanishes while open. Each is reported; the program goes on.
TEST_F(Drives, BadDrivesAreReported) {
    openSource(pattern(3000), true, "keep.bin");
    fake.drives[4] = {kDriveFixed, dir + "/E"};
    pickDrive(fake, IDC_DRIVE_E, true); // no device behind E:
    expectBox("", kIdOk, "Fehler beim Lesen von Laufwerk E:");
    run(IDM_OPEN_DRIVE);
    EXPECT_EQ(std::string(g_doc.SrcName), src);

    fake.devices["\\\\.\\E:"] = bigImage();
    fake.lengthFails = true;
    fake.drives[4].totalBytes = 0;
    pickDrive(fake, IDC_DRIVE_E, true);
    expectBox("", kIdOk, "Fehler beim Lesen von Laufwerk E:");
    run(IDM_OPEN_DRIVE);
    EXPECT_FALSE(sourceOpen()) << "the view is empty";
    EXPECT_EQ(fake.openHandles(), 1);
    run(IDM_PAGE_DOWN);

    fake.lengthFails = false;
    openDriveImage(fake.devices["\\\\.\\E:"], 'E');
    fake.failRead(1, 21, "e.img"); // ERROR_NOT_READY
    expectBox("", kIdOk, "Fehler beim Lesen von Laufwerk E:");
    gotoPair(kGiB);
    EXPECT_TRUE(sourceOpen());
    EXPECT_TRUE(fake.boxAnswers.empty());
}

} // namespace
