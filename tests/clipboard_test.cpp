// Copy, paste, file insert and the fills: the clipboard's formats, the bytes against an
// overwritten copy of the source, the segment bits that tie a run's records together, the
// questions and the refusals.
#include "edit/fill.h"
#include "tests/support/doc_test.h"

namespace {

class Clip : public DocTest {
  protected:
    void SetUp() override { DocTest::SetUp(), quietClose(); }
    unsigned fmt(const char *name) { return fake.registerClipboardFormat(name); }
    void fillOk() {
        fake.dialogScripts.push_back([](int, DialogLogic &l, FakeDialogHost &h) {
            EXPECT_TRUE(l.command(h, IDC_FILL_OK, 0));
        });
    }
    // Only `b` at `pos` is journalled and changed, the journal is sound, and in a run each
    // block but the first came from the previous (0x40000), each but the last goes on (0x2).
    void expectWritten(uint64_t pos, const std::vector<uint8_t> &b, bool run = true) {
        ViewImage v = viewFromFiles();
        for (uint64_t i = 0; i < original.size(); ++i) {
            bool in = i >= pos && i - pos < b.size();
            ASSERT_TRUE(v.bytes[i] == (in ? b[i - pos] : original[i]) && v.marked[i] == in) << i;
        }
        checkJournal();
        JFile j = journal();
        for (uint64_t p = g_jnl.Header.FirstPtr, blk; j.valid(p); p = j.rec(p).NextPtr) {
            blk = j.rec(p).Adr / 512;
            uint32_t want =
                (blk > pos / 512 ? 0x40000 : 0) | (blk < (pos + b.size() - 1) / 512 ? 2 : 0);
            EXPECT_EQ(j.rec(p).Flags & 0x40002, run ? want : 0) << "block " << blk;
        }
    }
};

TEST_F(Clip, CopyGivesTextDataAndSizeUpToTenMillionBytes) {
    openSource(pattern(3000));
    typeAt(105, {0x00});
    gotoPair(1024, 16), cursorAt(7), mark(100, 2100);
    run(IDM_COPY_KEY2);
    std::vector<uint8_t> want(original.begin() + 100, original.begin() + 2101);
    want[5] = want[2000] = 0;
    EXPECT_EQ(fake.clipboard[fmt("DataObject")], want);
    EXPECT_EQ(fake.clipboard[fmt("Size Information")],
              std::vector<uint8_t>({0xD0, 7, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(fake.clipboard[1], std::vector<uint8_t>(want.begin(), want.begin() + 6));
    EXPECT_EQ(first() + g_doc.CurOfs, 1024u + 16 + 7) << "the view returns";
    run(IDM_CLOSE_FILE), open(makeSparse("big.bin", 10000001)), mark(0, 10000001);
    run(IDM_COPY);
    EXPECT_EQ(fake.clipboard[fmt("DataObject")].size(), 2001u) << "one byte too many";
    mark(1, 10000001), run(IDM_COPY);
    EXPECT_EQ(fake.clipboard[fmt("DataObject")].size(), 10000001u);
}

TEST_F(Clip, PasteAcrossBlocksAndPairs) {
    struct {
        uint64_t at;
        size_t n, written; // bytes on the clipboard, bytes the source takes
        int zeroAt;        // a zero byte there; -1 none
        bool withSize;     // "Size Information" present: a byte paste, else the text form
    } const cases[] = {{510, 3, 3, -1, true},       {600, 424, 424, -1, true},
                       {100, 3000, 3000, 40, true}, {1030, 700, 7, 7, false},
                       {4000, 500, 96, -1, true},   {300, 20, 9, 9, false}};
    for (auto &c : cases) {
        SCOPED_TRACE(c.at);
        if (sourceOpen()) run(IDM_CLOSE_FILE), std::remove(jnlHost().c_str());
        openSource(pattern(4096));
        std::vector<uint8_t> b = sigBytes(c.at, c.n + 1);
        for (auto &x : b)
            x |= 1;
        b[c.n] = 0;
        if (c.zeroAt >= 0) b[c.zeroAt] = 0;
        fake.clipboard = {{fmt("DataObject"), b}, {1, b}};
        if (c.withSize)
            fake.clipboard[fmt("Size Information")] = {
                uint8_t(c.n), uint8_t(c.n >> 8), 0, 0, 0, 0, 0, 0};
        cursorAt(showByte(c.at));
        run(IDM_PASTE_KEY2);
        EXPECT_EQ(first() + g_doc.CurOfs, c.at) << "the view returns";
        expectWritten(c.at, std::vector<uint8_t>(b.begin(), b.begin() + c.written));
    }
    // A size the object does not hold, or of the wrong length: told, nothing written.
    std::string before = table();
    for (std::vector<uint8_t> size :
         {std::vector<uint8_t>{5, 0, 0, 0, 0, 0, 0, 0}, {3, 0, 0, 0, 1, 0, 0, 0}, {3, 0, 0}}) {
        fake.clipboard = {{fmt("DataObject"), {1, 2, 3, 0}}, {fmt("Size Information"), size}};
        expectBox("einfügen nicht möglich !", kIdOk,
                  "Die Daten in der Zwischenablage sind unvollständig !");
        run(IDM_PASTE);
    }
    EXPECT_EQ(table(), before);
}

TEST_F(Clip, InsertFileAndItsRefusals) {
    openSource(pattern(5000));
    std::vector<uint8_t> f = sigBytes(9, 2500);
    for (uint64_t at : {2501, 2500}) {
        fake.fileDialogAnswers.push_back({true, makeFile("ins.bin", f)});
        cursorAt(showByte(at));
        if (at == 2501)
            expectBox("Datei zu groß !", kIdOk, "Die Datei ist leider zu groß für diese Aktion !");
        run(IDM_INSERT_FILE);
    }
    expectWritten(2500, f);
    // A read that fails midway: told; the pairs before it stay, the journal is sound.
    fake.fileDialogAnswers.push_back({true, makeFile("ins.bin", f)});
    cursorAt(showByte(0));
    fake.failRead(2, 23, "ins.bin");
    expectBox("", kIdOk, "Fehler beim Lesen von");
    run(IDM_INSERT_FILE);
    ViewImage v = viewFromFiles();
    EXPECT_TRUE(std::equal(f.begin(), f.begin() + 1024, v.bytes.begin()) &&
                v.bytes[1024] == original[1024]);
    checkJournal();
}

TEST_F(Clip, FillDialogAndPageFill) {
    openSource(pattern(2000));
    fake.dialogScripts.push_back([&](int id, DialogLogic &l, FakeDialogHost &h) {
        auto typeInto = [&](int field, const std::string &text) { // one character at a time
            l.command(h, field, kEditSetFocus);
            for (size_t i = 1; i <= text.size(); ++i)
                h.texts[field] = text.substr(0, i), l.command(h, field, kEditChange);
            return h.texts[IDC_FILL_CHAR] + "," + h.texts[IDC_FILL_HEX] + "," +
                   h.texts[IDC_FILL_DEC];
        };
        EXPECT_EQ(id * 1000 + h.limits[IDC_FILL_DEC] * 100 + h.limits[IDC_FILL_HEX] * 10 +
                      h.limits[IDC_FILL_CHAR],
                  146321);
        EXPECT_EQ(typeInto(0, ""), "X,58,88");
        EXPECT_EQ(typeInto(IDC_FILL_HEX, "41"), "A,41,65");
        EXPECT_EQ(typeInto(IDC_FILL_DEC, "300"), "\xFF,FF,300");
        EXPECT_EQ(typeInto(IDC_FILL_CHAR, "b"), "b,62,98");
        l.command(h, IDC_FILL_OK, 0);
    });
    gotoPair(0, 96), cursorAt(4);
    run(IDM_FILL_PAGE);
    expectWritten(96, std::vector<uint8_t>(512, 'b'), false);
    EXPECT_EQ(first() + g_doc.CurOfs, 100u);
    // A journalled neighbour in the same mask byte keeps its mark.
    typeAt(1030, {0x77});
    fillOk(), gotoPair(1024, 0), g_doc.ViewOfs = 7;
    run(IDM_FILL_PAGE);
    ViewImage v = viewFromFiles();
    EXPECT_TRUE(v.marked[1030] && !v.marked[1029] && v.marked[1031] && v.bytes[1030] == 0x77);
    EXPECT_TRUE(v.bytes[1031] == 'b' && v.marked[1024 + 518] && !v.marked[1024 + 519]);
}

TEST_F(Clip, FillMarkingAllValuesAndAFullDrive) {
    openSource(pattern(3000));
    g_fill.FillValue = 0xA5;
    fillOk(), mark(188, 1188);
    run(IDM_FILL_MARKING);
    expectWritten(188, std::vector<uint8_t>(1000, 0xA5));
    gotoPair(2048);
    run(IDM_FILL_ALL_VALUES);
    EXPECT_TRUE(viewFromFiles().bytes[2048 + 255] == 255 && viewFromFiles().bytes[2048 + 256] == 0);
    // Too little room for the journal: nothing is written.
    std::string before = table();
    fake.drives[2].freeBytes = 1500000;
    fillOk(), mark(0, 1000000);
    expectBox("Zu wenig freier Speicherplatz !", kIdOk);
    expectBox("zu wenig Platz für die Protokolldatei", kIdOk, "Direktzugriff");
    run(IDM_FILL_MARKING);
    EXPECT_EQ(table(), before);
    // The drive fills up in the middle: a later pair's entry (the 11th write) cannot be
    // appended. Told; whole pairs before it stay, the rest is as before, all is sound.
    fake.drives[2].freeBytes = 1ull << 40;
    fillOk(), mark(0, 2990);
    fake.failWrite(11, kErrDiskFull, ".jnl");
    std::vector<uint8_t> pre = viewFromFiles().bytes;
    expectBox("", kIdOk, "Fehler beim Schreiben von");
    run(IDM_FILL_MARKING);
    checkJournal();
    ViewImage v = viewFromFiles();
    size_t end = 0;
    while (end < 2990 && v.bytes[end] == 0xA5 && v.bytes[end + 900] == 0xA5)
        end += 1024;
    EXPECT_TRUE(end > 0 && end < 2990 &&
                std::equal(v.bytes.begin() + end, v.bytes.end(), pre.begin() + end));
    EXPECT_EQ(std::count(v.bytes.begin(), v.bytes.begin() + end, 0xA5), long(end));
    // Esc between the pairs, confirmed: the fill ends after the first pair.
    fillOk(), mark(0, 2990), g_fill.FillValue = 0x5A, fake.keys = {'a', 27};
    expectBox("Abbrechen ?", kIdYes, "Soll der Vorgang abgebrochen werden ?");
    run(IDM_FILL_MARKING);
    EXPECT_TRUE(viewFromFiles().bytes[1023] == 0x5A && viewFromFiles().bytes[1024] != 0x5A);
}

// Direct mode beyond 4 GiB: one "JA für alle", the source takes the bytes.
TEST_F(Clip, DirectFillAcrossFourGiB) {
    const uint64_t g4 = 1ull << 32;
    open(sparseWith("big.bin", g4 + 4096, {{g4 - 2048, 4096}}), false);
    run(IDM_DIRECT_MODE);
    fillOk(), answerSavePage(true, true), mark(g4 - 700, g4 + 900);
    run(IDM_FILL_MARKING);
    std::vector<uint8_t> want = sigBytes(g4 - 702, 1604);
    std::fill(want.begin() + 2, want.end() - 2, 0x58);
    EXPECT_EQ(diskBytes(g4 - 702, 1604), want);
    checkJournal();
    EXPECT_EQ(fake.dialogsShown.size(), 2u) << "asked once";
}

} // namespace
