// Copy, paste, file insert and the fills: the clipboard's formats, the bytes against an
// overwritten copy of the source, the segment bits that tie a run's records together, the
// questions and the refusals.
#include "edit/fill.h"
#include "tests/support/doc_test.h"

namespace {

class Clip : public DocTest {
  protected:
    void SetUp() override {
        DocTest::SetUp();
        quietClose();
    }
    unsigned fmt(const char *name) { return fake.registerClipboardFormat(name); }
    std::vector<uint8_t> clip(const char *name) { return fake.clipboard[fmt(name)]; }
    // The source with `b` written at `pos`, as the journal must show it: marked there.
    void expectWritten(uint64_t pos, const std::vector<uint8_t> &b, bool run = true) {
        ViewImage v = viewFromFiles();
        for (uint64_t i = 0; i < original.size(); ++i) {
            bool in = i >= pos && i - pos < b.size();
            ASSERT_EQ(v.bytes[i], in ? b[i - pos] : original[i]) << "byte " << i;
            ASSERT_EQ(v.marked[i], in) << "mark of byte " << i;
        }
        checkJournal();
        // The run's blocks: each but the first came from the previous, each but the last goes on.
        uint64_t b0 = pos / 512, b1 = (pos + b.size() - 1) / 512;
        JFile j = journal();
        for (uint64_t p = g_jnl.Header.FirstPtr; j.valid(p); p = j.rec(p).NextPtr) {
            JRec r = j.rec(p);
            uint64_t blk = r.Adr / 512;
            uint32_t want = run ? (blk > b0 ? 0x40000 : 0) | (blk < b1 ? 0x2 : 0) : 0;
            EXPECT_EQ(r.Flags & 0x40002, want) << "block at " << r.Adr;
        }
    }
    void setClip(const std::vector<uint8_t> &data, uint64_t size, const std::string &text) {
        fake.clipboard.clear();
        if (!data.empty()) fake.clipboard[fmt("DataObject")] = data;
        std::vector<uint8_t> s(8, 0);
        for (int i = 0; i < 8; ++i)
            s[i] = uint8_t(size >> (8 * i));
        if (size != ~0ull) fake.clipboard[fmt("Size Information")] = s;
        if (!text.empty()) fake.clipboard[1].assign(text.begin(), text.end());
    }
    // The fill dialog: the user types `text` into field `id` one character at a time.
    void typeField(FillDialog &d, FakeDialogHost &h, int id, const std::string &text) {
        d.command(h, id, kEditSetFocus);
        for (size_t i = 1; i <= text.size(); ++i)
            h.texts[id] = text.substr(0, i), d.command(h, id, kEditChange);
    }
};

TEST_F(Clip, CopyGivesTextDataAndSize) {
    openSource(pattern(3000));
    typeAt(105, {0x00});
    gotoPair(1024, 16);
    cursorAt(7);
    mark(100, 2100);
    run(IDM_COPY_KEY2);
    std::vector<uint8_t> want(original.begin() + 100, original.begin() + 2100);
    want[5] = 0;
    want.push_back(0);
    EXPECT_EQ(clip("DataObject"), want);
    EXPECT_EQ(clip("Size Information"), std::vector<uint8_t>({0xD0, 0x07, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(fake.clipboard[1], std::vector<uint8_t>(want.begin(), want.begin() + 6));
    EXPECT_EQ(first() + g_doc.CurOfs, 1024u + 16 + 7) << "the view returns";
}

TEST_F(Clip, CopyLimitIsTenMillionBytes) {
    open(makeSparse("big.bin", 10000001), true);
    mark(0, 10000001);
    run(IDM_COPY);
    EXPECT_TRUE(fake.clipboard.empty());
    mark(1, 10000001);
    run(IDM_COPY);
    EXPECT_EQ(clip("DataObject").size(), 10000001u);
}

struct PasteCase {
    uint64_t at;
    size_t n, written; // bytes on the clipboard, bytes the source takes
    int zeroAt;        // a zero byte there; -1 none
    bool withSize;     // "Size Information" present: a byte paste
};

TEST_F(Clip, PasteAcrossBlocksAndPairs) {
    const PasteCase cases[] = {
        {510, 3, 3, -1, true},    {600, 424, 424, -1, true}, {100, 3000, 3000, 40, true},
        {1030, 700, 7, 7, false}, {4000, 500, 96, -1, true}, // cut at the end
        {300, 20, 9, 9, false},                              // no size: the text form
    };
    for (const PasteCase &c : cases) {
        SCOPED_TRACE(c.at);
        if (sourceOpen()) run(IDM_CLOSE_FILE), std::remove(jnlHost().c_str());
        openSource(pattern(4096));
        std::vector<uint8_t> b = sigBytes(c.at, c.n);
        for (auto &x : b)
            x |= 1;
        if (c.zeroAt >= 0) b[c.zeroAt] = 0;
        std::vector<uint8_t> obj = b;
        obj.push_back(0);
        setClip(obj, c.withSize ? c.n : ~0ull, std::string(obj.begin(), obj.end() - 1));
        uint32_t off = showByte(c.at);
        cursorAt(off);
        run(IDM_PASTE_KEY2);
        EXPECT_EQ(first() + g_doc.CurOfs, c.at) << "the view returns";
        expectWritten(c.at, std::vector<uint8_t>(b.begin(), b.begin() + c.written));
    }
}

TEST_F(Clip, BadSizeInformationWritesNothing) {
    openSource(pattern(2000));
    for (uint64_t size : {5ull, 1ull << 32}) {
        setClip({1, 2, 3, 0}, size, "abc");
        expectBox("einfügen nicht möglich !", kIdOk, "unvollständig");
        run(IDM_PASTE);
    }
    fake.clipboard[fmt("Size Information")] = {3, 0, 0};
    expectBox("einfügen nicht möglich !", kIdOk);
    run(IDM_PASTE);
    EXPECT_EQ(table(), "first - last - undoFirst - undo - rest -\n");
}

TEST_F(Clip, InsertFileAndItsRefusals) {
    openSource(pattern(5000));
    std::vector<uint8_t> f = sigBytes(9, 2500);
    fake.fileDialogAnswers.push_back({true, makeFile("ins.bin", f)});
    cursorAt(showByte(2500));
    run(IDM_INSERT_FILE);
    expectWritten(2500, f);
    fake.fileDialogAnswers.push_back({true, makeFile("ins.bin", f)});
    cursorAt(showByte(2501));
    expectBox("Datei zu groß !", kIdOk, "Die Datei ist leider zu groß für diese Aktion !");
    run(IDM_INSERT_FILE);
    // A read that fails midway: the pairs before it stay, the journal is sound.
    fake.fileDialogAnswers.push_back({true, makeFile("ins.bin", f)});
    cursorAt(showByte(0));
    fake.failRead(2, 23, "ins.bin");
    expectBox("", kIdOk, "Fehler beim Lesen von");
    run(IDM_INSERT_FILE);
    ViewImage v = viewFromFiles();
    EXPECT_TRUE(std::equal(f.begin(), f.begin() + 1024, v.bytes.begin()));
    EXPECT_EQ(v.bytes[1024], original[1024]);
    checkJournal();
}

TEST_F(Clip, FillDialogKeepsTheFieldsInStep) {
    openSource(pattern(2000));
    fake.dialogScripts.push_back([&](int id, DialogLogic &l, FakeDialogHost &h) {
        FillDialog &d = static_cast<FillDialog &>(l);
        EXPECT_EQ(id, IDD_FILL);
        EXPECT_EQ(h.texts[IDC_FILL_CHAR] + h.texts[IDC_FILL_HEX] + h.texts[IDC_FILL_DEC], "X5888");
        EXPECT_EQ(h.limits[IDC_FILL_DEC] * 100 + h.limits[IDC_FILL_HEX] * 10 +
                      h.limits[IDC_FILL_CHAR],
                  321);
        typeField(d, h, IDC_FILL_HEX, "41");
        EXPECT_EQ(h.texts[IDC_FILL_CHAR] + h.texts[IDC_FILL_DEC], "A65");
        typeField(d, h, IDC_FILL_DEC, "300");
        EXPECT_EQ(h.texts[IDC_FILL_HEX], "FF");
        typeField(d, h, IDC_FILL_CHAR, "b");
        EXPECT_EQ(h.texts[IDC_FILL_HEX] + h.texts[IDC_FILL_DEC], "6298");
        d.command(h, IDC_FILL_OK, 0);
    });
    gotoPair(0, 96);
    cursorAt(4);
    run(IDM_FILL_PAGE);
    expectWritten(96, std::vector<uint8_t>(512, 'b'), false);
    EXPECT_EQ(first() + g_doc.CurOfs, 100u);
    // A journalled neighbour in the same mask byte keeps its mark.
    typeAt(1030, {0x77});
    fake.dialogScripts.push_back(
        [](int, DialogLogic &l, FakeDialogHost &h) { l.command(h, IDC_FILL_OK, 0); });
    gotoPair(1024, 0);
    g_doc.ViewOfs = 7; // a view that does not start at a mask byte
    run(IDM_FILL_PAGE);
    ViewImage v = viewFromFiles();
    EXPECT_TRUE(v.marked[1030] && !v.marked[1029] && v.marked[1031] && v.bytes[1030] == 0x77 &&
                v.bytes[1031] == 'b');
    EXPECT_TRUE(v.marked[1024 + 518] && !v.marked[1024 + 519]);
}

TEST_F(Clip, FillMarkingAndAllValues) {
    openSource(pattern(3000));
    g_fill.FillValue = 0xA5;
    fake.dialogScripts.push_back(
        [](int, DialogLogic &l, FakeDialogHost &h) { l.command(h, IDC_FILL_OK, 0); });
    mark(188, 1188);
    run(IDM_FILL_MARKING);
    expectWritten(188, std::vector<uint8_t>(1000, 0xA5));
    EXPECT_EQ(rec(entry(0)).Adr + rec(entry(0)).bit(187), 0u) << "the bytes before stay unmarked";
    gotoPair(2048);
    run(IDM_FILL_ALL_VALUES);
    for (int i = 0; i < 512; i += 255)
        EXPECT_EQ(viewFromFiles().bytes[2048 + i], uint8_t(i));
    // Too little room for the journal: nothing is written.
    fake.drives[2].freeBytes = 1500000;
    fake.dialogScripts.push_back(
        [](int, DialogLogic &l, FakeDialogHost &h) { l.command(h, IDC_FILL_OK, 0); });
    mark(0, 1000000);
    expectBox("Zu wenig freier Speicherplatz !", kIdOk);
    expectBox("zu wenig Platz für die Protokolldatei", kIdOk, "Direktzugriff");
    std::string before = table();
    run(IDM_FILL_MARKING);
    EXPECT_EQ(table(), before);
    // The journal's drive fills up in the middle: a later pair's new entry (the 11th write)
    // cannot be appended. Told; the pairs before stay, the fill ends there, all is sound.
    fake.drives[2].freeBytes = 1ull << 40;
    fake.dialogScripts.push_back(
        [](int, DialogLogic &l, FakeDialogHost &h) { l.command(h, IDC_FILL_OK, 0); });
    mark(0, 2990);
    fake.failWrite(11, kErrDiskFull, ".jnl");
    std::vector<uint8_t> pre = viewFromFiles().bytes;
    expectBox("", kIdOk, "Fehler beim Schreiben von");
    run(IDM_FILL_MARKING);
    checkJournal();
    ViewImage v = viewFromFiles();
    size_t end = 0; // whole pairs filled, the rest as before
    while (end < 2990 && v.bytes[end] == 0xA5 && v.bytes[end + 900] == 0xA5)
        end += 1024;
    EXPECT_TRUE(end % 1024 == 0 && end > 0 && end < 2990) << end;
    EXPECT_TRUE(std::equal(v.bytes.begin() + end, v.bytes.end(), pre.begin() + end));
    EXPECT_EQ(std::count(v.bytes.begin(), v.bytes.begin() + end, 0xA5), long(end));
}

// Direct mode beyond 4 GiB: one "JA für alle", the source takes the bytes, restoring gives
// back what it held.
TEST_F(Clip, DirectFillAcrossFourGiB) {
    const uint64_t g4 = 1ull << 32;
    g_settings.UndoMode = 2;
    open(sparseWith("big.bin", g4 + 4096, {{g4 - 2048, 4096}}), false);
    run(IDM_DIRECT_MODE);
    fake.dialogScripts.push_back(
        [](int, DialogLogic &l, FakeDialogHost &h) { l.command(h, IDC_FILL_OK, 0); });
    answerSavePage(true, true);
    mark(g4 - 700, g4 + 900);
    run(IDM_FILL_MARKING);
    std::vector<uint8_t> want = sigBytes(g4 - 702, 1604);
    std::fill(want.begin() + 2, want.end() - 2, 0x58);
    EXPECT_EQ(diskBytes(g4 - 702, 1604), want);
    checkJournal();
    EXPECT_EQ(fake.dialogsShown.size(), 2u) << "asked once";
}

} // namespace
