#include "tests/support/harness.h"

#include <cstring>
#include <sys/stat.h>

#include "access/docstate.h"
#include "app/commands.h"
#include "app/help.h"
#include "app/settings.h"
#include "app/startup.h"
#include "view/status.h"
#include "res/resource.h"
#include "view/paint.h"

namespace {

uint32_t u32At(const std::vector<uint8_t> &b, size_t ofs) {
    return uint32_t(b[ofs]) | uint32_t(b[ofs + 1]) << 8 | uint32_t(b[ofs + 2]) << 16 |
           uint32_t(b[ofs + 3]) << 24;
}

std::string strAt(const std::vector<uint8_t> &b, size_t ofs) {
    return std::string(reinterpret_cast<const char *>(b.data() + ofs));
}

class Startup : public KelmorTest {};

TEST_F(Startup, SettingsFileIsTheRecordByteForByte) {
    startProgram();
    appDestroy();
    std::vector<uint8_t> ini = readAll(dir + "/kelmor.ini");
    ASSERT_EQ(ini.size(), 3248u);
    EXPECT_EQ(std::string(ini.begin(), ini.begin() + 4), "bhey");
    const uint8_t sep[4] = {0x0A, 0x0D, 0x0A, 0x0D};
    EXPECT_EQ(std::memcmp(ini.data() + 4, sep, 4), 0);
    EXPECT_EQ(std::memcmp(ini.data() + 48, sep, 4), 0);
    EXPECT_EQ(strAt(ini, 8), "Diese Datei bitte nicht bearbeiten!   \n");
    EXPECT_EQ(u32At(ini, 52), 16u); // font height
    EXPECT_EQ(u32At(ini, 56), 8u);  // font width
    EXPECT_EQ(u32At(ini, 60), 3248u);
    EXPECT_EQ(u32At(ini, 64), 15u); // messages
    EXPECT_EQ(u32At(ini, 68), 0u);
    EXPECT_EQ(u32At(ini, 72), 2u); // undo mode
    EXPECT_EQ(u32At(ini, 76), 0u);
    EXPECT_EQ(u32At(ini, 80), 0u);
    EXPECT_EQ(u32At(ini, 84), 1u); // scroll raster
    EXPECT_EQ(u32At(ini, 92), 1u); // journal options
    EXPECT_EQ(u32At(ini, 96), 1u); // double click
    for (size_t i = 100; i < 128; ++i)
        EXPECT_EQ(ini[i], 0) << "offset " << i;
    EXPECT_EQ(strAt(ini, 128), "C:\\kelmor\\");
    EXPECT_EQ(strAt(ini, 388), "D:\\kelmor\\");
    for (size_t i = 648; i < 3248; ++i)
        ASSERT_EQ(ini[i], 0) << "recent files at " << i;
    // The journal directory was created on the first counting drive.
    struct stat st;
    EXPECT_EQ(stat((dir + "/C/kelmor").c_str(), &st), 0);
}

TEST_F(Startup, JournalDirectoriesFollowTheCountingDrives) {
    fake.drives[2].type = kDriveCdrom; // C: does not count
    fake.drives[4] = {kDriveRemote, dir + "/E"};
    fake.drives[7] = {kDriveRamdisk, dir + "/H"};
    char jnl[260], alt[260];
    defaultJournalDirs(jnl, alt);
    EXPECT_STREQ(jnl, "D:\\kelmor\\");
    EXPECT_STREQ(alt, "E:\\kelmor\\");

    fake.drives.clear();
    fake.drives[5] = {kDriveFixed, dir + "/F"}; // one counting drive only
    defaultJournalDirs(jnl, alt);
    EXPECT_STREQ(jnl, "F:\\kelmor\\");
    EXPECT_STREQ(alt, "D:\\kelmor\\");
}

TEST_F(Startup, ShortSettingsFileOverwritesOnlyWhatItHolds) {
    setDefaultSettings();
    Settings s = g_settings;
    s.fontHeight = 20;
    s.fontWidth = 10;
    s.MsgOptions = 0; // no notice
    s.UndoMode = 3;   // beyond the short file's end: must stay default
    std::vector<uint8_t> bytes(reinterpret_cast<uint8_t *>(&s),
                               reinterpret_cast<uint8_t *>(&s) + 70);
    makeFile("kelmor.ini", bytes);
    startProgram(false); // no notice expected
    EXPECT_EQ(g_settings.fontHeight, 20u);
    EXPECT_EQ(g_settings.MsgOptions, 0u);
    EXPECT_EQ(g_settings.UndoMode, 2u);
    EXPECT_EQ(g_geom.cw, 10);
    EXPECT_EQ(g_geom.lh, 20);
    EXPECT_TRUE(fake.boxes.empty());
}

TEST_F(Startup, ForeignOrGarbageSettingsFilesAreIgnoredAndRewritten) {
    for (const std::vector<uint8_t> &content :
         {std::vector<uint8_t>{'b', 'h'}, std::vector<uint8_t>(10000, 0xFF),
          std::vector<uint8_t>{'B', 'H', 'E', 'Y', 1, 2, 3}, std::vector<uint8_t>{}}) {
        makeFile("kelmor.ini", content);
        startProgram();
        EXPECT_EQ(g_settings.fontHeight, 16u);
        appDestroy();
        std::vector<uint8_t> ini = readAll(dir + "/kelmor.ini");
        ASSERT_GE(ini.size(), 3248u);
        EXPECT_EQ(std::string(ini.begin(), ini.begin() + 4), "bhey");
        EXPECT_EQ(u32At(ini, 60), 3248u);
    }
}

TEST_F(Startup, GarbageWithTheRightMagicNeverCrashes) {
    std::vector<uint8_t> junk(4000);
    for (size_t i = 0; i < junk.size(); ++i)
        junk[i] = uint8_t(i * 37 + 11);
    std::memcpy(junk.data(), "bhey", 4);
    std::memset(junk.data() + 64, 0, 4); // no notice
    makeFile("kelmor.ini", junk);
    startProgram(false);
    // Unterminated directory texts are cut inside their fields.
    EXPECT_LT(std::strlen(g_settings.jnlDir), 260u);
    EXPECT_LT(std::strlen(g_settings.recent[9]), 260u);
    dispatchCommand(IDM_EXIT, 0);
    EXPECT_TRUE(fake.destroyed);
    appDestroy();
}

TEST_F(Startup, UncreatableJournalDirectoryFallsBackToTheDefault) {
    setDefaultSettings();
    Settings s = g_settings;
    s.MsgOptions = 0;
    std::strcpy(s.jnlDir, "C:\\no\\such\\parent\\kelmor\\");
    makeFile("kelmor.ini", std::vector<uint8_t>(reinterpret_cast<uint8_t *>(&s),
                                                reinterpret_cast<uint8_t *>(&s) + sizeof s));
    startProgram(false);
    EXPECT_STREQ(g_settings.jnlDir, "C:\\kelmor\\");
}

TEST_F(Startup, NoticeComesAfterTheEmptyViewIsPainted) {
    // The notice is answered from the script; by then the view must already be drawn.
    fake.boxAnswers.push_back({"HINWEIS", kIdOk, "OHNE JEDE GEW\xC4HRLEISTUNG"});
    appInitialize(30, 60);
    EXPECT_EQ(fake.row(0).substr(21, 25), std::string(25, ' ')); // nothing drawn yet
    appShown();
    ASSERT_EQ(fake.boxes.size(), 1u);
    EXPECT_EQ(fake.boxes[0].style, unsigned(kMbOkCancel | kMbIconInformation | kMbTaskModal));
    EXPECT_EQ(fake.cells(0, 71, 17), std::string("    Edit Mode       ").substr(0, 17));
    EXPECT_EQ(fake.bg(0, 71), kEditModeColour);
    EXPECT_EQ(fake.row(0).substr(21, 50), " 00 01 02 03 04 05 06 07  08 09 0A 0B 0C 0D 0E 0F ");
    EXPECT_EQ(fake.bg(5, 30), kHexBgDefault);
    EXPECT_EQ(fake.bg(5, 75), kCharBgDefault);
    EXPECT_EQ(fake.bg(5, 3), kAddressBg);
    EXPECT_EQ(fake.bg(33, 0), kStatusBackground);
    EXPECT_EQ(fake.bg(33, 87), kStatusBackground);
    EXPECT_EQ(fake.cells(33, 56, 9), "Protokoll");
}

TEST_F(Startup, SizeRuleSnapsToTheGridWithMinimums) {
    startProgram();
    int w = 0, h = 0;
    EXPECT_FALSE(applySizeRule(&w, &h)); // the start-up request gets the computed size
    EXPECT_EQ(w, 88 * 8 + 30);
    EXPECT_EQ(h, 34 * 16 + 60);
    EXPECT_TRUE(applySizeRule(&w, &h)); // unchanged size: no change
    w = 400, h = 300;
    EXPECT_FALSE(applySizeRule(&w, &h));
    EXPECT_EQ(w, 88 * 7 + 30);
    EXPECT_EQ(h, 34 * 12 + 60);
    EXPECT_EQ(g_settings.fontWidth, 7u);
    EXPECT_EQ(g_settings.fontHeight, 12u);
    w = 88 * 11 + 30 + 5, h = 34 * 22 + 60 + 33;
    EXPECT_FALSE(applySizeRule(&w, &h));
    EXPECT_EQ(w, 88 * 11 + 30);
    EXPECT_EQ(h, 34 * 22 + 60);
    EXPECT_EQ(g_geom.hexX, 21 * 11);
    // The zoomed font is what the next start uses.
    appDestroy();
    std::vector<uint8_t> ini = readAll(dir + "/kelmor.ini");
    EXPECT_EQ(u32At(ini, 52), 22u);
    EXPECT_EQ(u32At(ini, 56), 11u);
}

TEST_F(Startup, HelpBoxesShowTheirTextsAndChangeNothing) {
    startProgram();
    struct Case {
        unsigned command;
        const char *caption;
        unsigned style;
        const char *start;
    } cases[] = {
        {IDM_HELP_OVERVIEW,
         "\xDC"
         "berblick",
         kMbOk | kMbIconInformation | kMbTaskModal,
         "Das Programm erm\xF6glicht das Arbeiten an Dateien,\nohne sie zun\xE4"
         "chst zu"},
        {IDM_HELP_INSTRUCTIONS, "Bedienungshinweise", kMbOk | kMbTaskModal,
         "\n\n- Dateien werden per Voreinstellung mit SCHREIBSCHUTZ"},
        {IDM_HELP_KEYS, "Tastenbedienung", kMbOk | kMbTaskModal,
         "generell:\n-----------------\n\nALT"},
        {IDM_HELP_AVI, "AVI-Funktionen", kMbOk | kMbTaskModal, "Das Programm erm\xF6glicht in"},
    };
    for (const Case &c : cases) {
        expectBox(c.caption, kIdOk);
        ASSERT_TRUE(dispatchCommand(c.command, 0));
        ASSERT_FALSE(fake.boxes.empty());
        EXPECT_EQ(fake.boxes.back().caption, c.caption);
        EXPECT_EQ(fake.boxes.back().style, c.style);
        EXPECT_EQ(fake.boxes.back().text.rfind(c.start, 0), 0u) << fake.boxes.back().text;
    }
    EXPECT_NE(std::string(kHelpOverviewText).find("(Vorschau mit F7)"), std::string::npos);
    EXPECT_NE(std::string(kHelpKeysText).find("holt ursrp\xFCnglichen Wert"), std::string::npos);
    EXPECT_FALSE(sourceOpen());
}

TEST_F(Startup, InfoDialogShowsVersionAndToday) {
    startProgram();
    std::string version, date;
    fake.dialogScripts.push_back([&](int id, DialogLogic &logic, FakeDialogHost &host) {
        EXPECT_EQ(id, IDD_INFO);
        version = host.texts[1001];
        date = host.texts[1002];
        EXPECT_FALSE(logic.command(host, 1234, 0)); // not a button of this dialog
        EXPECT_FALSE(host.ended);
        logic.command(host, 1, 0);
    });
    dispatchCommand(IDM_INFO_DIALOG, 0);
    EXPECT_EQ(version, "Kelmor Version 1.0");
    EXPECT_EQ(date, "Stand: 06.12.2026");
}

TEST_F(Startup, UnknownAndUnbuiltCommands) {
    startProgram();
    EXPECT_FALSE(dispatchCommand(IDM_PHYSICAL_ERASE, 0)); // left to default processing
    EXPECT_FALSE(dispatchCommand(40000, 0));
    EXPECT_TRUE(dispatchCommand(IDM_NEW, 0)); // greyed "&Neu": known, does nothing
    EXPECT_TRUE(fake.boxes.size() == 1u);     // only the start-up notice
}

} // namespace
