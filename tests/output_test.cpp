// Output files byte for byte against the tests' own overlay of the journal file on the
// source, their questions and refusals; the size change and dialog 160's arithmetic.
#include "tests/support/doc_test.h"

#include <random>

#include "save/resize.h"

namespace {

constexpr uint64_t kG4 = uint64_t(1) << 32;

class Output : public DocTest {
  protected:
    void TearDown() override {
        bool asked = fake.boxAnswers.empty() && fake.fileDialogAnswers.empty();
        EXPECT_TRUE(asked && fake.dialogScripts.empty()) << "an answer was not asked for";
        DocTest::TearDown();
    }
    std::string out = "C:\\out.bin";
    std::string outHost() { return fake.hostPath(out.c_str()); }
    // What the view shows for [from, from+n): the source with every address-chain node's data
    // laid over it (the journal file read by the tests' decoder).
    std::vector<uint8_t> shown(uint64_t from, size_t n) {
        std::vector<uint8_t> v = diskBytes(from, n);
        JFile j = journal(true);
        for (uint64_t p = j.h.FirstPtr, k = 0; j.valid(p) && k < 100000; ++k) {
            JRec r = j.rec(p);
            for (uint32_t i = 0; i < r.Len && i < 512 && !(r.Flags & 0x400000); ++i)
                if (r.Adr + i >= from && r.Adr + i < from + v.size())
                    v[r.Adr + i - from] = r.Data[i];
            p = r.NextPtr;
        }
        return v;
    }
    void choose(const std::string &path, bool readOnly = false) {
        fake.fileDialogAnswers.push_back({true, path, readOnly});
    }
};

// Random journals on a 6 GiB source, random markings around 0, 4 GiB and the end (across the
// 1 MiB pieces the writer reads): saved as a new file and appended to it, byte for byte.
TEST_F(Output, MarkedRangesAreTheBytesTheViewShows) {
    uint64_t size = 6 * (uint64_t(1) << 30) + 700, spots[] = {0, kG4 - 1500000, size - 3000000};
    std::mt19937_64 rng(18);
    std::vector<BlockSpec> blocks;
    for (uint64_t s : spots)
        for (uint64_t a = s & ~uint64_t(511); a < s + 3000000 && a < size - 700;
             a += 512 * (1 + rng() % 900))
            blocks.push_back(
                {a, 512, rng() % 4 ? 0u : 0x400000u, int(1 + rng() % 2), uint32_t(rng())});
    blocks.push_back({size & ~uint64_t(511), uint32_t(size & 511), 0, 1, 77});
    src = sparseWith("D/s.bin", size, {{0, 3000000}, {spots[1], 3000000}, {spots[2], 3000000}});
    buildJournal(dir + "/C/kelmor/D~1s.bin.jnl", "D:\\s.bin", fakeLastWriteTime(src), blocks);
    open("D:\\s.bin");
    src = dir + "/D/s.bin";
    for (int k = 0; k < 12; ++k) {
        uint64_t from = spots[k % 3] + rng() % 1500000,
                 to = std::min(from + 1 + rng() % 1500000, size);
        mark(from, to);
        choose(out);
        if (k) expectBox("Datei überschreiben?", kIdYes);
        run(IDM_SAVE_MARKED_AS);
        ASSERT_EQ(readAll(outHost()), shown(from, to - from)) << from << ".." << to;
    }
    std::vector<uint8_t> want = readAll(outHost()), last = shown(size - 5000, 5000);
    want.insert(want.end(), last.begin(), last.end());
    mark(size - 5000, size + 100);
    choose(out);
    run(IDM_APPEND_MARKED);
    EXPECT_EQ(readAll(outHost()), want);
}

// The whole source and the page: inputs are committed first, the last page ends with the
// source's last byte, the view and the source stay as they were.
TEST_F(Output, AllAndPageWithInputsAndTheLastByte) {
    openSource(sigBytes(0, 3000));
    typeAt(1000, {0x41});
    cursorAt(showByte(2999));
    type("7");
    choose(out);
    run(IDM_SAVE_ALL_AS);
    EXPECT_EQ(readAll(outHost()),
              withBytes(original, {{1000, 0x41}, {2999, 0x70 | (original[2999] & 15)}}));
    EXPECT_EQ(sourceNow(), original);
    gotoPair(2048, 512); // the last page: 2560 to 2999
    choose(out);
    expectBox("Datei überschreiben?", kIdYes);
    run(IDM_SAVE_PAGE_AS);
    EXPECT_EQ(readAll(outHost()), shown(2560, 440));
    choose(out);
    run(IDM_APPEND_PAGE);
    EXPECT_EQ(readAll(outHost()).size(), 880u) << "nothing beyond the end";
    choose(out, true); // the read-only box ticked: asked to untick it
    expectBox("Ohne Schreibschutz neu öffnen?", kIdCancel);
    run(IDM_APPEND_ALL);
    EXPECT_EQ(readAll(outHost()).size(), 880u);
}

// No brings the dialog back, cancel touches nothing; the source, its journal, a full drive
// and a failing write are refused without a piece of a file left behind.
TEST_F(Output, QuestionsRefusalsAndFailures) {
    for (unsigned c : {IDM_SAVE_ALL_AS, IDM_APPEND_ALL, IDM_APPEND_PAGE, IDM_RESIZE})
        run(c); // no source: no dialog
    openSource(sigBytes(0, 5000));
    std::string old = makeFile("C/out.bin", {1, 2, 3});
    choose(out);
    expectBox("Datei überschreiben?", kIdNo, "Datei existiert bereits. Soll sie gelöscht werden?");
    fake.fileDialogAnswers.push_back({false, "", false});
    run(IDM_SAVE_ALL_AS);
    choose(src);
    expectBox("Ungültiges Ziel !", kIdOk, "eigenes Ziel");
    choose(g_jnl.JnlName);
    expectBox("Ungültiges Ziel !", kIdOk, "Protokolldatei");
    fake.drives[2].freeBytes = 5000; // exactly as many as needed
    choose(out);
    expectBox("Zu wenig freier Speicherplatz !", kIdOk);
    fake.fileDialogAnswers.push_back({false, "", false});
    run(IDM_SAVE_ALL_AS);
    EXPECT_EQ(readAll(old), std::vector<uint8_t>({1, 2, 3}));
    fake.drives[2].freeBytes = 1 << 20;
    fake.failWrite(2, kErrDiskFull, "out.bin"); // 1: emptying the old file
    choose(out);
    expectBox("Datei überschreiben?", kIdYes);
    expectBox("", kIdOk, "Fehler beim Schreiben von C:\\out.bin");
    run(IDM_SAVE_ALL_AS);
    EXPECT_EQ(JFile(old).length, 0u) << "no partial file is left";
    makeFile("C/out.bin", {1, 2, 3});
    fake.failWrite(1, kErrDiskFull, "out.bin");
    choose(out);
    expectBox("", kIdOk, "Fehler beim Schreiben von C:\\out.bin");
    run(IDM_APPEND_ALL);
    EXPECT_EQ(readAll(old), std::vector<uint8_t>({1, 2, 3})) << "the append is cut back";
    fake.keys.push_back(27);
    choose(out);
    expectBox("Abbrechen ?", kIdYes, "Soll der Speichervorgang abgebrochen werden ?");
    run(IDM_APPEND_ALL);
    EXPECT_EQ(readAll(old).size(), 3u);
    EXPECT_EQ(sourceNow(), original);
}

// Dialog 160: typed texts and what the fields show then (letters and digits beyond a field's
// limit are dropped, the amount to add may be negative).
TEST_F(Output, SizeDialogFields) {
    openSource(sigBytes(0, 10000));
    struct Row {
        int field;
        const char *typed;
        std::vector<std::pair<int, const char *>> shows;
    };
    // clang-format off
    const Row rows[] = {
        {IDC_SIZE_GROW_KB_HEX, "1", {{IDC_SIZE_GROW_BYTES_DEC, "1 024"}, {IDC_SIZE_GROW_BYTES_HEX, "400"},
            {IDC_SIZE_GROW_SECT_DEC, "2"}, {IDC_SIZE_NEW_BYTES_DEC, "11 024"}, {IDC_SIZE_NEW_BYTES_HEX, "2B10"}}},
        {IDC_SIZE_NEW_BYTES_DEC, "00 2a048", {{IDC_SIZE_NEW_BYTES_DEC, "2 048"},
            {IDC_SIZE_GROW_BYTES_DEC, "-7 952"}, {IDC_SIZE_GROW_KB_DEC, "-7"}, {IDC_SIZE_NEW_SECT_HEX, "4"}}},
        {IDC_SIZE_GROW_BYTES_DEC, "-20000", {{IDC_SIZE_NEW_BYTES_DEC, "0"}, {IDC_SIZE_GROW_BYTES_HEX, "-2710"}}},
        {IDC_SIZE_NEW_GB_DEC, "99999999999999999999", {{IDC_SIZE_NEW_GB_DEC, "999 999 999"},
            {IDC_SIZE_NEW_BYTES_DEC, "1 073 741 822 926 258 176"}}},
        {IDC_SIZE_NEW_GB_HEX, "fffffffffff", {{IDC_SIZE_NEW_BYTES_HEX, "3FFF FFFF C000 0000"}}},
    };
    // clang-format on
    for (const Row &r : rows) {
        SizeDialog dlg;
        FakeDialogHost host;
        dlg.init(host);
        EXPECT_EQ(host.texts[IDC_SIZE_NEW_BYTES_DEC], "10 000");
        dlg.command(host, r.field, kNotifySetFocus);
        host.texts[r.field] = r.typed;
        dlg.command(host, r.field, kNotifyChange);
        for (auto &[id, text] : r.shows)
            EXPECT_EQ(host.texts[id], text) << r.typed << " field " << id;
    }
}

// A source beyond 4 GiB made shorter and longer again: the records beyond the new end show
// and save nothing (also when the end comes back), a block cut in two keeps its edit.
TEST_F(Output, ResizeBeyond4GiBBothWays) {
    uint64_t size = 5 * (uint64_t(1) << 30) + 1000, end = kG4 + 300;
    sparseWith("C/big.bin", size, {{size - 4096, 4096}, {kG4 - 2048, 4096}});
    open("C:\\big.bin", false);
    src = dir + "/C/big.bin";
    typeAt(kG4 + 100, {0xAB});
    typeAt(size - 10, {0xCD});
    fake.drives[2].freeBytes = 0; // shrinking needs no room
    answerSize(IDC_SIZE_NEW_BYTES_HEX, "1 0000 012C");
    expectBox("VERKLEINERN ?", kIdYes, "ACHTUNG !\nSoll die Datei wirklich verkleinert werden ?");
    run(IDM_RESIZE);
    EXPECT_EQ(JFile(src).length, end);
    checkJournal("shrunk");
    gotoPair(kG4);
    expectPage(kG4, withBytes(diskBytes(kG4, 300), {{100, 0xAB}}));
    saveAllYes();
    EXPECT_EQ(JFile(src).length, end) << "saving does not write beyond the end";
    EXPECT_EQ(diskBytes(kG4 + 100, 1)[0], 0xAB);
    checkJournal("saved");
    fake.drives[2].freeBytes = size - end; // growing needs more than the bytes it adds
    answerSize(IDC_SIZE_NEW_BYTES_DEC, std::to_string(size), true);
    expectBox("VERGRÖßERN ?", kIdYes);
    expectBox("Zu wenig freier Speicherplatz !", kIdOk);
    run(IDM_RESIZE);
    fake.drives[2].freeBytes = size;
    answerSize(IDC_SIZE_NEW_BYTES_DEC, std::to_string(size), true);
    expectBox("VERGRÖßERN ?", kIdYes, "Soll die Datei wirklich vergrößert werden ?");
    run(IDM_RESIZE);
    EXPECT_EQ(JFile(src).length, size);
    EXPECT_EQ(g_doc.MarkStart, end);
    EXPECT_EQ(g_doc.MarkEnd, size);
    EXPECT_EQ(g_doc.LastPos, size - 1);
    for (uint64_t pos : {end, kG4 + 511, size - 10})
        expectByte(pos, 0, false);
    answerSize(IDC_SIZE_GROW_BYTES_DEC, "0"); // the same size: no question, no change
    run(IDM_RESIZE);
    EXPECT_EQ(JFile(src).length, size);
    checkJournal("grown");
}

} // namespace
