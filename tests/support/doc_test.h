// The fixture of every scenario test: the program started on the fake platform, a source
// opened through the dialog, keys and commands as a user gives them, and the results read
// back by the test itself: screen cells by the grid's own geometry, the journal file by the
// tests' own decoder, the source file from disk.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "access/docstate.h"
#include "app/commands.h"
#include "app/events.h"
#include "app/settings.h"
#include "app/tables.h"
#include "journal/format.h"
#include "journal/lifecycle.h"
#include "journal/overlay.h"
#include "res/resource.h"
#include "tests/support/harness.h"
#include "tests/support/journal_check.h"
#include "view/paint.h"

// Backgrounds as the screen shows them.
constexpr uint32_t kInputColour = 0x8888FF, kMirrorColour = 0x88FF88;
constexpr uint32_t kJournalColour = 0xAADDFF;
constexpr uint32_t kPlainHexBg = 0xEEFFEE, kPlainCharBg = 0xFFFFFF;

// What the page shows for a whole source: its bytes and where a journalled edit is marked.
struct ViewImage {
    std::vector<uint8_t> bytes;
    std::vector<uint8_t> marked; // 1 where the screen shows a journalled edit
};

class DocTest : public KelmorTest {
  protected:
    void SetUp() override {
        KelmorTest::SetUp();
        startProgram();
    }
    // Closing keeps the journal and asks nothing.
    static void quietClose() { g_settings.MsgOptions &= ~(kMsgAskSave | kMsgAskJournal); }

    std::string src;               // host path of the source
    std::vector<uint8_t> original; // the source as it was made

    // ---- files ----
    // A byte that depends on its whole 64-bit position (no period of 256 or 4 GiB).
    static uint8_t sig(uint64_t pos) {
        uint64_t v = (pos + 0x1234567ull) * 0x9E3779B97F4A7C15ull;
        return uint8_t(v >> 56);
    }
    static std::vector<uint8_t> sigBytes(uint64_t pos, size_t n) {
        std::vector<uint8_t> v(n);
        for (size_t i = 0; i < n; ++i)
            v[i] = sig(pos + i);
        return v;
    }
    // A sparse file with signature bytes in the given regions (position, length).
    std::string sparseWith(const std::string &name, uint64_t size,
                           const std::vector<std::pair<uint64_t, size_t>> &regions) {
        std::string p = makeSparse(name, size);
        for (auto &r : regions)
            writeAt(p, r.first, sigBytes(r.first, r.second));
        return p;
    }
    // Opens a file that exists already.
    void open(const std::string &path, bool readOnly = true) {
        src = path;
        openThroughDialog(path, readOnly);
        ASSERT_TRUE(sourceOpen()) << path;
    }
    // Makes a source of `bytes` and opens it; a journal is expected.
    void openSource(const std::vector<uint8_t> &bytes, bool readOnly = true,
                    const std::string &name = "src.bin") {
        original = bytes;
        open(makeFile(name, bytes), readOnly);
        ASSERT_TRUE(journalOpen()) << "no journal for " << src;
    }
    void openWritable(const std::vector<uint8_t> &bytes, uint32_t undoMode,
                      const std::string &name = "src.bin") {
        g_settings.UndoMode = undoMode;
        openSource(bytes, false, name);
    }
    std::vector<uint8_t> sourceNow() { return readAll(src); }

    // ---- drives ----
    static constexpr const char *kDriveWarningCaption =
        "               *** ! ! ! ! ! ! ! ! ! ! ***";
    // Drive button of 'A' to 'T', or of physical drive '1' to '9'.
    static int driveButton(char d) { return kDriveButtons[d <= '9' ? 19 + d - '0' : d - 'A']; }
    // The drive dialog as the user works it: a drive button, the read-only box, OK or Cancel.
    static void pickDrive(FakePlatform &f, char drive, bool readOnly, bool ok = true) {
        f.dialogScripts.push_back([=](int id, DialogLogic &logic, FakeDialogHost &host) {
            EXPECT_TRUE(id == IDD_DRIVES && host.enabled[driveButton(drive)]) << drive;
            logic.command(host, driveButton(drive), 0);
            host.checks[IDC_DRIVE_READ_ONLY] = readOnly;
            logic.command(host, IDC_DRIVE_READ_ONLY, 0);
            logic.command(host, ok ? IDC_DRIVE_OK : IDC_DRIVE_CANCEL, 0);
        });
    }
    // Serves image `img` as the device of `drive` and opens it through the drive dialog
    // (write access after the warning).
    void openDriveImage(const std::string &img, char drive, bool readOnly, FakePlatform &f) {
        src = img;
        f.devices[drive <= '9' ? std::string("\\\\.\\PHYSICALDRIVE") + char(drive - 1)
                               : std::string("\\\\.\\") + drive + ":"] = img;
        if (drive > '9' && !f.drives.count(drive - 'A'))
            f.drives[drive - 'A'] = {kDriveFixed, dir + "/" + drive};
        pickDrive(f, drive, readOnly);
        if (!readOnly) f.boxAnswers.push_back({kDriveWarningCaption, kIdOk, "WARNUNG !"});
        dispatchCommand(IDM_OPEN_DRIVE, 0);
        ASSERT_TRUE(sourceOpen() && (g_doc.ModFlag & kModDisk)) << drive;
    }
    void openDriveImage(const std::string &img, char drive, bool readOnly = true) {
        openDriveImage(img, drive, readOnly, fake);
    }

    // ---- keys and commands ----
    void key(int c) { onChar(c, 0); }
    void type(const std::string &s) {
        for (char c : s)
            key(uint8_t(c));
    }
    void ret() { key(13); }
    void run(unsigned command) { dispatchCommand(command, 0); }
    // Puts the cursor on page offset `off` in the given column (0 hex, 1 characters).
    void cursorAt(uint32_t off, uint32_t col = 0) {
        g_doc.CurOfs = off;
        g_doc.CurCol = col;
        g_doc.ModFlag &= ~kModLowNibble;
        placeCursor();
    }
    void gotoPair(uint64_t readPtr, uint32_t viewOfs = 0) {
        g_doc.ReadPtr = readPtr;
        gotoPage();
        g_doc.ViewOfs = viewOfs;
        paintPage();
    }
    static uint64_t first() { return g_doc.AnfPtr + g_doc.ViewOfs; }
    // Shows the page that holds `pos` (view offset 0 or 512) and returns the page offset.
    uint32_t showByte(uint64_t pos) {
        uint64_t pair = pos & ~uint64_t(511);
        if (pair > g_doc.LastPairPtr) pair = g_doc.LastPairPtr;
        uint32_t view = pos - pair >= 512 ? 512 : 0;
        gotoPair(pair, view);
        return uint32_t(pos - g_doc.AnfPtr - g_doc.ViewOfs);
    }
    // Types the bytes at `pos` (all on one page) in hexadecimal and presses Return.
    void typeAt(uint64_t pos, const std::vector<uint8_t> &bytes) {
        cursorAt(showByte(pos));
        for (uint8_t b : bytes)
            type(hexByte(b));
        ret();
    }
    void mark(uint64_t from, uint64_t to) {
        g_doc.MarkStart = from;
        g_doc.MarkEnd = to;
        g_doc.MarkFlag = 3;
    }
    void savePageYes() {
        expectBox("Speichern?", kIdYes, "Soll die aktuelle Seite gespeichert werden?");
        run(IDM_SAVE_PAGE);
    }
    void saveMarkedYes(uint64_t from, uint64_t to) {
        mark(from, to);
        expectBox("Speichern?", kIdYes, "Sollen die markierten");
        run(IDM_SAVE_RANGE);
    }
    void saveAllYes() {
        expectBox("Speichern?", kIdYes, "Datei wurde bearbeitet!");
        run(IDM_SAVE_ALL);
    }
    void discardMarked(uint64_t from, uint64_t to) {
        mark(from, to);
        run(IDM_DISCARD_RANGE);
    }

    // The user answers dialog 157, the question before a direct write.
    void answerSavePage(bool yes, bool all = false) {
        fake.dialogScripts.push_back([=](int id, DialogLogic &logic, FakeDialogHost &host) {
            EXPECT_EQ(id, IDD_SAVE_PAGE);
            EXPECT_FALSE(host.checks[IDC_SAVE_PAGE_ALL]) << "the box starts unticked";
            host.checks[IDC_SAVE_PAGE_ALL] = all;
            logic.command(host, yes ? IDC_SAVE_PAGE_YES : IDC_SAVE_PAGE_NO, 0);
        });
    }
    // The user types `text` into a field of dialog 160 (ticks "Erweiterung markieren" or not)
    // and presses OK.
    void answerSize(int field, const std::string &text, bool markGrowth = false) {
        fake.dialogScripts.push_back([=](int, DialogLogic &l, FakeDialogHost &h) {
            h.checks[IDC_SIZE_MARK_GROWTH] = markGrowth;
            l.command(h, IDC_SIZE_MARK_GROWTH, kNotifyClicked);
            l.command(h, field, kNotifySetFocus);
            h.texts[field] = text;
            l.command(h, field, kNotifyChange);
            l.command(h, kIdOk, kNotifyClicked);
        });
    }
    // `v` with the given bytes changed.
    static std::vector<uint8_t> withBytes(std::vector<uint8_t> v,
                                          const std::vector<std::pair<uint64_t, uint8_t>> &set) {
        for (auto &s : set)
            v[s.first] = s.second;
        return v;
    }
    // The 512 data bytes of a record for the block at `adr` of `bytes` (zero beyond the end).
    static std::vector<uint8_t> blockOf(const std::vector<uint8_t> &bytes, uint64_t adr) {
        std::vector<uint8_t> b(512, 0);
        for (size_t i = 0; i < 512 && adr + i < bytes.size(); ++i)
            b[i] = bytes[adr + i];
        return b;
    }
    static std::vector<uint8_t> dataOf(const JRec &r) {
        return std::vector<uint8_t>(r.Data, r.Data + 512);
    }

    // ---- screen, by the grid's geometry: an address of 21 cells, a blank, then per byte
    // two digits and a blank (one more blank after the eighth), the characters from 72 ----
    static int rowOf(uint32_t off) { return 1 + int(off >> 4); }
    static int hexCol(uint32_t off) {
        int k = int(off & 15);
        return 22 + 3 * k + (k >= 8);
    }
    static int charCol(uint32_t off) { return 72 + int(off & 15); }
    uint32_t hexBg(uint32_t off, int digit = 0) { return fake.bg(rowOf(off), hexCol(off) + digit); }
    uint32_t charBg(uint32_t off) { return fake.bg(rowOf(off), charCol(off)); }
    std::string hexText(uint32_t off) { return fake.cells(rowOf(off), hexCol(off), 2); }
    char charText(uint32_t off) { return fake.screen[rowOf(off)][charCol(off)].ch; }
    static std::string addressText(uint64_t pos) {
        char t[32];
        std::snprintf(t, sizeof t, " %04X %04X %04X %04X ", unsigned(pos >> 48),
                      unsigned((pos >> 32) & 0xFFFF), unsigned((pos >> 16) & 0xFFFF),
                      unsigned(pos & 0xFFFF));
        return t;
    }
    // What the page from `from` must show: its bytes (blanks beyond them) and per byte its
    // colour: 1 a journalled edit, 0 plain, 2 (or none given) not checked.
    struct PageImage {
        uint64_t from;
        std::vector<uint8_t> bytes, marked;
    };
    // "" when the screen shows the image: each row's address, every hex pair and character,
    // and the colours it gives (the cursor cell's colour is left out).
    std::string screenDiff(const PageImage &p) {
        if (first() != p.from) return "the page starts at " + std::to_string(first());
        for (uint32_t off = 0; off < 512; ++off) {
            std::string at = " of byte " + std::to_string(p.from + off), want = "  ";
            if (off % 16 == 0 && fake.cells(rowOf(off), 0, 21) != addressText(p.from + off))
                return "address" + at;
            bool in = off < p.bytes.size();
            if (in) want = hexByte(p.bytes[off]);
            if (hexText(off) != want || charText(off) != (in ? char(p.bytes[off]) : ' '))
                return "text" + at + ": " + hexText(off) + ", not " + want;
            int m = in && off < p.marked.size() ? p.marked[off] : 2;
            if (m < 2 && off != g_doc.CurOfs && hexBg(off) != (m ? kJournalColour : kPlainHexBg))
                return "colour" + at;
        }
        return "";
    }
    static std::string hexByte(uint8_t b) {
        char t[3];
        std::snprintf(t, sizeof t, "%02X", b);
        return t;
    }
    void expectPage(uint64_t from, const std::vector<uint8_t> &bytes) {
        EXPECT_EQ(screenDiff({from, bytes, {}}), "");
    }
    // The page from `from` as the source file holds it.
    void expectPage(uint64_t from) { expectPage(from, diskBytes(from, 512)); }
    // Up to n bytes of the source at pos, read alone (sources may be sparse and huge).
    std::vector<uint8_t> diskBytes(uint64_t pos, size_t n) { return JFile(src).bytes(pos, n); }

    // ---- the journal file ----
    std::string jnlHost() { return fake.hostPath(g_jnl.JnlName); }
    // The journal as the file holds it; `writeBack`: the header is written first.
    JFile journal(bool writeBack = false) {
        if (writeBack) flushJournalHeader();
        return JFile(jnlHost());
    }
    JRec rec(uint64_t pos) {
        JFile f = journal();
        if (!f.valid(pos)) ADD_FAILURE() << "no entry at " << pos;
        return f.rec(pos);
    }
    // The header as the file holds it after a write-back.
    JHdr fileHeader() { return journal(true).h; }

    // The source as restoring the original would leave it: from Rest along PrevPtr, each
    // record with 0x10 gives the data of its first version without 0x1 (computed on a copy).
    std::vector<uint8_t> restored() {
        std::vector<uint8_t> s = readAll(src);
        JFile j = journal();
        uint64_t p = g_jnl.Header.Rest;
        for (int steps = 0; j.valid(p) && steps < 10000; ++steps) {
            JRec w = j.rec(p);
            p = w.PrevPtr;
            if (!(w.Flags & 0x10)) continue;
            while ((w.Flags & 0x1) && j.valid(w.PJnl))
                w = j.rec(w.PJnl);
            if (w.Flags & 0x1) continue;
            for (uint32_t i = 0; i < w.Len && w.Adr + i < s.size(); ++i)
                s[w.Adr + i] = w.Data[i];
        }
        return s;
    }

    // The whole source as the page would show it: each node's data (or the source where it
    // says so), marked where its map is shown.
    ViewImage viewFromFiles() {
        ViewImage v;
        v.bytes = sourceNow();
        v.marked.assign(v.bytes.size(), 0);
        JFile j = journal();
        uint64_t p = g_jnl.Header.FirstPtr;
        for (size_t steps = 0; !isNull(p) && steps < 100000; ++steps) {
            if (!j.valid(p)) {
                ADD_FAILURE() << "address chain leads outside the journal: " << p;
                break;
            }
            JRec r = j.rec(p);
            for (uint32_t i = 0; i < r.Len && i < 512 && r.Adr + i < v.bytes.size(); ++i) {
                if (!(r.Flags & 0x400000)) v.bytes[r.Adr + i] = r.Data[i];
                if (!(r.Flags & 0x20) && r.bit(i)) v.marked[r.Adr + i] = 1;
            }
            p = r.NextPtr;
        }
        return v;
    }
    // The page on screen against a view image: text and colour of every byte.
    void checkScreen(const ViewImage &v, const char *where = "") {
        g_doc.MarkFlag = 0;
        paintPage();
        PageImage p{first(), {}, {}};
        for (uint64_t pos = first(); pos < first() + 512 && pos < v.bytes.size(); ++pos)
            p.bytes.push_back(v.bytes[pos]), p.marked.push_back(v.marked[pos]);
        EXPECT_EQ(screenDiff(p), "") << where;
    }
    // The byte at `pos` on screen (its page shown first): its value, and whether it shows as a
    // journalled edit (the cursor cell's colour is left out).
    void expectByte(uint64_t pos, uint8_t value, bool marked) {
        g_doc.MarkFlag = 0; // the marking's colours are not under test here
        uint32_t off = showByte(pos);
        EXPECT_EQ(hexText(off), hexByte(value)) << "byte " << pos;
        if (off != g_doc.CurOfs) {
            EXPECT_EQ(hexBg(off), marked ? kJournalColour : kPlainHexBg) << "byte " << pos;
        }
    }
    // The journal's entries as a golden table (the header written back first).
    std::string table() { return journalTable(journal(true)); }
    // The journal's chains by the shared checker, and JnlEnd.
    void checkJournal(const char *where = "") {
        SCOPED_TRACE(where);
        EXPECT_EQ(checkOpenJournal(), "");
        EXPECT_EQ(readAll(jnlHost()).size(), g_jnl.JnlEnd) << "JnlEnd is the file length";
    }

    // ---- view ----
    // The marking and the cursor cell (the active column and the other one) as drawn.
    static constexpr uint32_t kMarkColour = 0x88FFFF, kCursorOn = 0xEEFF88, kCursorOff = 0xDDDDDD;
    // Pixel position of the middle of a cell (default font 8 x 16).
    static int px(int col) { return col * 8 + 3; }
    static int py(int row) { return row * 16 + 5; }
    std::string statusField(int pos, int n) { return fake.cells(33, pos, n); }
    std::string indicator() { return fake.cells(0, 71, 19); }
    // Everything on screen equals what a full repaint draws.
    void expectSameAsRepaint() {
        std::vector<FakeCell> before(&fake.screen[0][0],
                                     &fake.screen[0][0] + sizeof fake.screen / sizeof(FakeCell));
        paintPage();
        for (size_t i = 0; i < before.size(); ++i) {
            const FakeCell &now = (&fake.screen[0][0])[i];
            ASSERT_TRUE(before[i].ch == now.ch && before[i].bg == now.bg)
                << "row " << i / FakePlatform::kCols << " col " << i % FakePlatform::kCols;
        }
    }
    // Is the byte at page offset `off` drawn marked (its hex pair and its character alike)?
    bool drawnMarked(uint32_t off) {
        bool hex = hexBg(off) == kMarkColour && hexBg(off, 1) == kMarkColour;
        EXPECT_EQ(hex, charBg(off) == kMarkColour) << "offset " << off;
        return hex;
    }
    // Exactly the bytes of [from, to) on the page are drawn marked; the cursor cell is left out.
    void expectMarkingDrawn(uint64_t from, uint64_t to) {
        for (uint32_t off = 0; off < 512 && first() + off < g_doc.FileSize; ++off) {
            if (off == g_doc.CurOfs) continue;
            ASSERT_EQ(drawnMarked(off), first() + off >= from && first() + off < to) << off;
        }
    }
    // The page offset of the cursor cell as drawn, -1 for none, -2 for more than one.
    int cursorShown() {
        int at = -1;
        for (uint32_t off = 0; off < 512; ++off) {
            uint32_t h = hexBg(off), c = charBg(off);
            if ((h == kCursorOn && c == kCursorOff) || (h == kCursorOff && c == kCursorOn))
                at = at == -1 ? int(off) : -2;
        }
        return at;
    }
};
