// Drives as the source: the dialog, devices served from image files, capacity, access
// switching, the write-access loop of a save, bad drives.
#include "tests/support/doc_test.h"

namespace {

const uint64_t kGiB = 1ull << 30;

class Drives : public DocTest {
  protected:
    void SetUp() override { DocTest::SetUp(), quietClose(); }
    std::string bigImage() { return sparseWith("e.img", 6 * kGiB, {{0, 4096}, {5 * kGiB, 1024}}); }
};

// Buttons by existence and type, CD-ROM and physical drives from version 5; Cancel restores
// the drive chosen before.
TEST_F(Drives, DialogOffersDrivesByTypeAndSystem) {
    uint32_t types[] = {kDriveCdrom, kDriveUnknown, kDriveNoRootDir, kDriveRemote};
    for (int k = 0; k < 4; ++k)
        fake.drives[4 + k] = {types[k], dir};
    for (uint32_t os : {4u, 5u}) {
        fake.osMajor = os, g_doc.DriveIndex = 7;
        fake.dialogScripts.push_back([&](int, DialogLogic &logic, FakeDialogHost &h) {
            std::string on;
            for (char d : std::string("ACDEFGHI1"))
                on += h.enabled[driveButton(d)] ? d : '-';
            EXPECT_EQ(on, os == 4 ? "-CD---H--" : "-CDE--H-1");
            EXPECT_TRUE(h.checks[IDC_DRIVE_READ_ONLY]);
            logic.command(h, IDC_DRIVE_C, 0), logic.command(h, IDC_DRIVE_CANCEL, 0);
        });
        EXPECT_EQ(dispatchCommand(IDM_OPEN_DRIVE, 0), 1);
        EXPECT_TRUE(g_doc.DriveIndex == 7 && !sourceOpen() && !(g_doc.ModFlag & kModDriveDialog));
    }
}

// A logical drive (6 GiB) and physical drive 3 (the device ending in 2, its exact length with
// 7 sectors past the last whole cylinder, or whole cylinders when only the geometry answers):
// names, capacity, indicator, journal, erase item; drives stay out of the recent list.
TEST_F(Drives, LogicalAndPhysicalDrivesOpenInDiskMode) {
    const uint64_t cyl = 255 * 63 * 512ull, size = 3 * cyl + 7 * 512;
    struct {
        char drive;
        std::string img, name, jnl;
        uint64_t size;
        MenuState erase;
        bool geometryOnly;
    } rows[] = {
        {'E', bigImage(), "Laufwerk E:", "C:\\kelmor\\Laufwerk E~0.jnl", 6 * kGiB,
         MenuState::Greyed},
        {'3', makeSparse("p.img", size), "Laufwerk 3:", "C:\\kelmor\\Laufwerk 3~0.jnl", size,
         MenuState::Enabled},
        {'3', makeSparse("p.img", size), "Laufwerk 3:", "", 3 * cyl, MenuState::Enabled, true}};
    for (auto &r : rows) {
        fake.lengthFails = r.geometryOnly;
        openDriveImage(r.img, r.drive);
        EXPECT_EQ(std::string(g_doc.SrcName) + "|" + fake.title + "|" + g_jnl.JnlName,
                  r.name + "|" + r.name + "|" + (r.jnl.empty() ? g_jnl.JnlName : r.jnl));
        EXPECT_EQ(g_doc.FileSize, r.size);
        EXPECT_EQ(indicator() + statusField(78, 9), "    Disk Mode      Read Only");
        EXPECT_EQ(fake.menuStates[IDM_PHYSICAL_ERASE], r.erase);
        expectPage(0);
        run(IDM_CLOSE_FILE);
    }
    EXPECT_EQ(g_settings.recent[0][0], 0);
}

// Write access only after the warning (Cancel keeps the file open). The same drive with the
// box cleared switches the access and keeps page and journal; the journal brings the page
// back at the next opening.
TEST_F(Drives, WriteWarningAndAccessSwitch) {
    openSource(pattern(3000), true, "keep.bin");
    std::string img = bigImage(), file = src;
    fake.devices["\\\\.\\E:"] = img, fake.drives[4] = {kDriveFixed, dir};
    pickDrive(fake, 'E', false);
    expectBox(kDriveWarningCaption, kIdCancel,
              "WARNUNG !\n\nDas direkte Schreiben auf die "
              "Festplatte\nkann zu einem kompletten Datenverlust führen !\n\nÜberprüfen Sie "
              "vor jedem Speichervorgang\n\n                              mit      F5\n\nden "
              "Originalzustand des betreffenden Datenbereichs !");
    run(IDM_OPEN_DRIVE);
    EXPECT_EQ(g_doc.SrcName, file);
    openDriveImage(img, 'E');
    typeAt(5 * kGiB + 700, {0x5A});
    uint64_t at = first();
    Handle jnl = g_jnl.JnlHandle;
    for (int answer : {kIdCancel, kIdOk}) {
        pickDrive(fake, 'E', false);
        expectBox(kDriveWarningCaption, answer);
        run(IDM_OPEN_DRIVE);
        EXPECT_EQ(statusField(78, 9), answer == kIdOk ? "         " : "Read Only");
    }
    EXPECT_TRUE(first() == at && g_jnl.JnlHandle == jnl && fake.openHandles() == 3);
    run(IDM_CLOSE_FILE);
    openDriveImage(img, 'E');
    EXPECT_EQ(first(), at);
    expectByte(5 * kGiB + 700, 0x5A, true);
    EXPECT_EQ(diskBytes(5 * kGiB + 700, 1), sigBytes(5 * kGiB + 700, 1));
}

// A save on a read-only drive asks for write access through the drive dialog: the same drive
// lets the save go on, another one stops it. A journal of a drive opens that drive.
TEST_F(Drives, SaveReopensTheDriveAndAJournalOpensIt) {
    original = pattern(8192);
    std::string img = makeFile("e.img", original);
    openDriveImage(img, 'E');
    fake.devices["\\\\.\\F:"] = makeFile("f.img", pattern(4096)),
    fake.drives[5] = {kDriveFixed, dir};
    for (char pick : {'E', 'F'}) {
        typeAt(1000, {uint8_t(pick)});
        expectBox("Speichern?", kIdYes);
        expectBox("Ohne Schreibschutz neu öffnen?", kIdOk);
        pickDrive(fake, pick, pick == 'F');
        if (pick == 'E') expectBox(kDriveWarningCaption, kIdOk);
        if (pick == 'F')
            expectBox(
                "andere Datei !", kIdOk,
                "Es wurde ein anderes Laufwerk gewählt.\n\n Speicherung wird nicht fortgesetzt!");
        run(IDM_SAVE_PAGE);
        if (pick == 'E') checkJournal(), pickDrive(fake, 'E', true), run(IDM_OPEN_DRIVE);
    }
    EXPECT_STREQ(g_doc.SrcName, "Laufwerk F:");
    EXPECT_EQ(readAll(img), withBytes(original, {{1000, 'E'}}));
    expectBox("Bearbeitung öffnen?", kIdYes);
    openThroughDialog("C:\\kelmor\\Laufwerk E~0.jnl");
    EXPECT_STREQ(g_doc.SrcName, "Laufwerk E:");
    expectByte(1000, 'F', true);
}

// A device that does not open, a capacity that cannot be read (the view is empty), a drive
// that vanishes while open: each reported, the program goes on.
TEST_F(Drives, BadDrivesAreReported) {
    openSource(pattern(3000), true, "keep.bin");
    fake.drives[4] = {kDriveFixed, dir, 0, 0};
    for (int step = 0; step < 3; ++step) {
        expectBox("", kIdOk, "Fehler beim Lesen von Laufwerk E:");
        if (step == 2) {
            openDriveImage(fake.devices["\\\\.\\E:"], 'E');
            fake.failRead(1, 21, "e.img"), gotoPair(kGiB);
        } else {
            if (step == 1) fake.devices["\\\\.\\E:"] = bigImage(), fake.lengthFails = true;
            pickDrive(fake, 'E', true), run(IDM_OPEN_DRIVE);
            EXPECT_EQ(sourceOpen(), step == 0) << "the file stays, or the view is empty";
            fake.lengthFails = false;
        }
    }
    EXPECT_TRUE(sourceOpen() && fake.boxAnswers.empty());
}

} // namespace
