// Start-up: the settings file byte for byte, foreign settings files, the journal directories,
// the notice, the window's size rule, help texts, the info dialog and the command table; the
// text helpers and the error table.
#include <cctype>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

#include "access/errors.h"
#include "access/textutil.h"
#include "app/commands.h"
#include "app/settings.h"
#include "app/startup.h"
#include "app/tables.h"
#include "res/resource.h"
#include "tests/support/harness.h"
#include "view/paint.h"

namespace {

void putU32(std::vector<uint8_t> &b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = uint8_t(v >> 8 * i);
}
void putText(std::vector<uint8_t> &b, size_t at, const std::string &t) {
    std::copy(t.begin(), t.end(), b.begin() + at);
}
std::string textAt(const std::vector<uint8_t> &b, size_t at) {
    return std::string(reinterpret_cast<const char *>(&b[at]));
}

// The settings file of the defaults, with the font given.
std::vector<uint8_t> settingsImage(uint32_t height = 16, uint32_t width = 8) {
    std::vector<uint8_t> b(3248, 0);
    putText(b, 0, "bhey\n\r\n\rDiese Datei bitte nicht bearbeiten!   \n");
    putText(b, 48, "\n\r\n\r");
    // Font, record size, messages, read-only, undo mode, access, movement, raster, -, journal
    // options, double click.
    const uint32_t words[] = {height, width, 3248, 15, 0, 2, 0, 0, 1, 0, 1, 1};
    for (int i = 0; i < 12; ++i)
        putU32(b, 52 + 4 * i, words[i]);
    putText(b, 128, "C:\\kelmor\\");
    putText(b, 388, "D:\\kelmor\\");
    return b;
}

class Startup : public KelmorTest {
  protected:
    std::vector<uint8_t> ini() { return readAll(dir + "/kelmor.ini"); }
};

TEST_F(Startup, FirstStartNoticeEmptyViewSettingsFileAndJournalDirectory) {
    expectBox(
        "HINWEIS", kIdOk,
        "Das Programm ist Freeware und wird \n\n              OHNE JEDE GEWÄHRLEISTUNG\n\nzur "
        "Verfügung gestellt !\n\nFür eventuellen Datenverlust übernehme ich keine "
        "Haftung!\n\n(Diese Meldung lässt sich unter Extras->Optionen unterbinden.)");
    startProgram(false);
    ASSERT_EQ(fake.boxes.size(), 1u);
    EXPECT_EQ(std::vector<int>({fake.scrollMin, fake.scrollMax, fake.scrollPage, fake.scrollPos}),
              std::vector<int>({0, 1024, 16, 0}));
    EXPECT_EQ(fake.boxes[0].style, unsigned(kMbOkCancel | kMbIconInformation | kMbTaskModal));
    EXPECT_EQ(fake.cells(0, 21, 69), " 00 01 02 03 04 05 06 07  08 09 0A 0B 0C 0D 0E 0F "
                                     "    Edit Mode      ");
    EXPECT_EQ(fake.row(1).substr(21), std::string(67, ' '));
    appDestroy();
    EXPECT_EQ(ini(), settingsImage());
    struct stat st;
    EXPECT_EQ(stat((dir + "/C/kelmor").c_str(), &st), 0);
    // A stored "open writable" reaches the very first open dialog.
    std::vector<uint8_t> writable = settingsImage();
    putU32(writable, 68, 2);
    makeFile("kelmor.ini", writable);
    startProgram();
    fake.fileDialogAnswers.push_back({false, "", true});
    dispatchCommand(IDM_OPEN_FILE, 0);
    EXPECT_FALSE(fake.fileDialogsShown.back().readOnly);
}

TEST_F(Startup, ForeignSettingsFilesAndTheJournalDirectories) {
    // Not ours: ignored and overwritten with the defaults.
    for (const std::vector<uint8_t> &content :
         {std::vector<uint8_t>{'b', 'h'}, std::vector<uint8_t>(10000, 0xFF),
          std::vector<uint8_t>{'B', 'H', 'E', 'Y', 1, 2, 3}, std::vector<uint8_t>{}}) {
        makeFile("kelmor.ini", content);
        startProgram();
        appDestroy();
        std::vector<uint8_t> now = ini();
        EXPECT_EQ(std::vector(now.begin(), now.begin() + std::min<size_t>(now.size(), 3248)),
                  settingsImage());
    }
    // A short file replaces only what it holds: the font and no notice, not the undo mode.
    std::vector<uint8_t> shortFile = settingsImage(20, 10);
    putU32(shortFile, 64, 0);
    putU32(shortFile, 72, 3);
    shortFile.resize(70);
    makeFile("kelmor.ini", shortFile);
    size_t boxes = fake.boxes.size();
    startProgram(false); // no notice expected
    EXPECT_EQ(std::pair(fake.fontCw, fake.fontLh), std::pair(10, 20));
    EXPECT_EQ(fake.boxes.size(), boxes);
    appDestroy();
    std::vector<uint8_t> want = settingsImage(20, 10);
    putU32(want, 64, 0);
    EXPECT_EQ(ini(), want);
    // Our magic over garbage: sizes stay drawable, texts end inside their fields, and a
    // directory that cannot be made falls back to the default.
    std::vector<uint8_t> junk(4000);
    for (size_t i = 0; i < junk.size(); ++i)
        junk[i] = uint8_t(i * 37 + 11);
    putText(junk, 0, "bhey");
    putU32(junk, 64, 0);
    putText(junk, 128, std::string("C:\\no\\such\\parent\\kelmor\\") + '\0');
    makeFile("kelmor.ini", junk);
    startProgram(false);
    EXPECT_TRUE(fake.fontCw == 8 && std::strlen(g_settings.recent[9]) < 260);
    dispatchCommand(IDM_EXIT, 0);
    EXPECT_TRUE(fake.destroyed);
    appDestroy();
    EXPECT_EQ(textAt(ini(), 128), "C:\\kelmor\\");
    EXPECT_EQ(ini()[387], 0);
    char jnl[260], alt[260];
    fake.drives[2].type = kDriveCdrom; // C: does not count
    fake.drives[4] = {kDriveRemote, dir + "/E"};
    fake.drives[7] = {kDriveRamdisk, dir + "/H"};
    defaultJournalDirs(jnl, alt);
    EXPECT_EQ(std::string(jnl) + alt, "D:\\kelmor\\E:\\kelmor\\");
    fake.drives.clear();
    fake.drives[5] = {kDriveFixed, dir + "/F"}; // one counting drive only
    defaultJournalDirs(jnl, alt);
    EXPECT_EQ(std::string(jnl) + alt, "F:\\kelmor\\D:\\kelmor\\");
}

TEST_F(Startup, HelpTextsInfoDialogCommandTableAndTheWindowSizeRule) {
    startProgram();
    const unsigned plain = kMbOk | kMbTaskModal;
    // clang-format off
    const std::tuple<unsigned, const char *, unsigned, const char *> helps[] = {
        {IDM_HELP_OVERVIEW, "Überblick", plain | kMbIconInformation, "Das Programm ermöglicht das"},
        {IDM_HELP_INSTRUCTIONS, "Bedienungshinweise", plain, "\n\n- Dateien werden per Vor"},
        {IDM_HELP_KEYS, "Tastenbedienung", plain, "generell:\n-----------------\n\nALT"},
        {IDM_HELP_AVI, "AVI-Funktionen", plain, "Das Programm ermöglicht in"}};
    // clang-format on
    for (auto [command, caption, style, start] : helps) {
        expectBox(caption, kIdOk);
        ASSERT_TRUE(dispatchCommand(command, 0));
        EXPECT_EQ(fake.boxes.back().style, style);
        EXPECT_EQ(fake.boxes.back().text.rfind(start, 0), 0u) << fake.boxes.back().text;
    }
    std::string version, date;
    fake.dialogScripts.push_back([&](int id, DialogLogic &logic, FakeDialogHost &host) {
        EXPECT_EQ(id, IDD_INFO);
        version = host.texts[1001], date = host.texts[1002];
        EXPECT_FALSE(logic.command(host, 1234, 0)); // not a button of this dialog
        EXPECT_FALSE(host.ended);
        logic.command(host, 1, 0);
    });
    dispatchCommand(IDM_INFO_DIALOG, 0);
    EXPECT_EQ(version + "/" + date, "Kelmor Version 1.0/Stand: 06.12.2026");
    EXPECT_FALSE(dispatchCommand(IDM_PHYSICAL_ERASE, 0)); // left to the default procedure
    EXPECT_FALSE(dispatchCommand(40000, 0));
    EXPECT_TRUE(dispatchCommand(IDM_NEW, 0)); // greyed "&Neu": known, does nothing
    EXPECT_EQ(fake.boxes.size(), 5u);         // the notice and the four help texts
    // The window snaps to the grid of the font; a request at start gets the computed size.
    const int w8 = 88 * 8 + 30, h16 = 34 * 16 + 60;
    const int sizes[][5] = {{0, 0, 0, w8, h16},
                            {w8, h16, 1, w8, h16},
                            {400, 300, 0, 88 * 7 + 30, 34 * 12 + 60}, // the smallest font
                            {88 * 11 + 35, 34 * 22 + 93, 0, 88 * 11 + 30, 34 * 22 + 60}};
    for (auto c : sizes) {
        int w = c[0], h = c[1];
        EXPECT_EQ(applySizeRule(&w, &h), c[2] == 1);
        EXPECT_EQ(std::pair(w, h), std::pair(c[3], c[4]));
    }
    EXPECT_EQ(fake.cells(0, 22, 2), "00"); // the header drawn on the new grid
    appDestroy();                          // the next start uses the new font
    EXPECT_EQ(ini(), settingsImage(22, 11));
}

TEST(TextUtil, NumbersTextsTablesAndErrorTexts) {
    buildTables();
    // clang-format off
    const std::tuple<uint64_t, uint64_t, int32_t> diffs[] = {
        {1000, 24, 976}, {24, 1000, -976}, {1ull << 32, 0, 0x7FFFFFFF},
        {0, 1ull << 32, -0x7FFFFFFF}, {0x80000000, 0, 0x7FFFFFFF}, {0x17FFFFFFF, 0x180000000, -1},
        {~0ull, 0, 0x7FFFFFFF}};
    // clang-format on
    for (auto [a, b, d] : diffs)
        EXPECT_EQ(clampedDiff(a, b), d) << a << " - " << b;
    char buf[24] = "#######################";
    formatHex32(0x00A4D307, buf + 9);
    EXPECT_EQ(std::string(buf, 11), " 00A4 D307#");
    formatHex32(0xFFFFFFFF, buf + 9);
    formatDecimal10(4096, buf + 10);
    EXPECT_EQ(std::string(buf, 22), " FFFF FFFF      4096\n\r");
    formatDecimal10(0, buf);
    EXPECT_EQ(std::string(buf, 10), "         0");
    copyPadded(buf, 8, "abc");
    copyPadded(buf + 8, 8, "C:\\a\\very\\long.bin"); // a long text keeps its end
    EXPECT_EQ(std::string(buf, 16), "abc     long.bin");
    // Parsers read right to left and count separators; a one-digit group is not padded.
    int seps[4];
    EXPECT_EQ(parseHex32("a4d307", &seps[0]) + parseHex32("a4,d3,07", &seps[1]), 2u * 0xA4D307);
    EXPECT_EQ(parseHex32("a4,d3,7"), 0xA4D37u);
    EXPECT_EQ(parseHex64("1 0000 0000", &seps[2]), 0x100000000ull);
    EXPECT_EQ(parseHex64("FFFF FFFF FFFF FFFF"), ~0ull);
    EXPECT_EQ(parseDec32("4.294.967.295", &seps[3]), 4294967295u);
    EXPECT_EQ(std::vector<int>(seps, seps + 4), (std::vector<int>{0, 2, 2, 3}));
    EXPECT_EQ(parseDec64("68719476736"), 68719476736ull);
    EXPECT_EQ(parseBin32("1010 0x01"), 0b10100101u); // every digit but "0" counts as 1
    // The tables against the C library; upper case knows ä, ö and ü (Windows-1252), not ß.
    for (int v = 0; v < 256; ++v) {
        char text[6], up = char(std::toupper(v));
        std::snprintf(text, sizeof text, "%02X%03d", v, v);
        up = v == 0xE4 ? '\xC4' : v == 0xF6 ? '\xD6' : v == 0xFC ? '\xDC' : up;
        ASSERT_EQ(std::string(g_tables.hexPair[v], 2) + std::string(g_tables.decTriplet[v], 3),
                  text);
        int hex = std::isxdigit(v) ? std::stoi(std::string(1, char(v)), nullptr, 16) : 0;
        ASSERT_TRUE(g_tables.upperCase[v] == uint8_t(up) && g_tables.hexDigitValue[v] == hex &&
                    g_tables.decDigitValue[v] == (std::isdigit(v) ? v - '0' : 0))
            << v;
    }
    int count = 0; // the error table
    for (uint32_t code = 0; code < 5000; ++code)
        count += errorText(code) != nullptr;
    EXPECT_EQ(count, 176);
    // clang-format off
    const std::pair<uint32_t, const char *> texts[] = {
        {5, "Zugriff verweigert !"}, {994, "Zugriff verweigert !"}, {995, "Vorgang abgebrochen !"},
        {1067, "Vorgang abgebrochen !"}, {112, "Laufwerk ist voll !"},
        {1112, "kein Medium im Lauferk !"}, {28, "außerhalb der Papiermaße !"},
        {32, "wird bereits verwendet !"}, {170, "wird verwendet !"}};
    // clang-format on
    for (auto [code, text] : texts)
        EXPECT_STREQ(errorText(code), text) << code;
    EXPECT_EQ(errorText(35), nullptr);
}

} // namespace
