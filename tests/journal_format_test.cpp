// The journal's bytes: the fresh header, entries and prefix rewrites compared byte for byte
// with images by the tests' own writer, journals beyond 4 GiB, pointers
// that lead nowhere and header bytes without a field.
#include "tests/support/doc_test.h"

#include <cstring>

#include "journal/chain.h"

namespace {

void put(uint8_t *b, uint64_t v, int n = 8) {
    for (int i = 0; i < n; ++i)
        b[i] = uint8_t(v >> (8 * i));
}
std::vector<uint8_t> image(const JournalRecord &r) {
    std::vector<uint8_t> b(128);
    recordImage(r, b.data());
    return b;
}
// A record whose every field has bytes of its own (a field written to the wrong place shows).
JournalRecord distinct(uint64_t salt, bool links = true) {
    JournalRecord r{};
    r.Adr = 0x0000000123456600ull + salt;
    r.PrevPtr = 0x0000000200000400ull + salt;
    r.NextPtr = 0xFFFFFFFF00001234ull + salt;
    r.PUndo = 0x0000000000000680ull + salt;
    r.Len = 0x1F0 + uint32_t(salt);
    r.PJnl = 0x1122334455667788ull + salt;
    r.NJnl = 0x99AABBCCDDEEFF00ull + salt;
    r.NUndo = 0x0102030405060708ull + salt;
    r.Flags = 0x0040004D + uint32_t(salt);
    for (int i = 0; i < 64; ++i)
        r.ModBits[i] = uint8_t(0xC0 + i + salt);
    if (!links) r.PrevPtr = r.NextPtr = r.PUndo = r.PJnl = r.NJnl = r.NUndo = kNull;
    return r;
}

class JournalFormat : public DocTest {
  protected:
    uint8_t data[512];
    std::vector<uint8_t> bytesAt(uint64_t pos, size_t n) { return JFile(jnlHost()).bytes(pos, n); }
    // A source of `n` pattern bytes opened with a journal built here under the program's name
    // for it; `patch` may change the journal file before the open.
    BuiltJournal withJournal(size_t n, const std::vector<BlockSpec> &blocks, uint32_t shuffle = 1,
                             void (*patch)(const std::string &) = nullptr) {
        openSource(pattern(n));
        std::string host = jnlHost();
        run(IDM_CLOSE_FILE);
        BuiltJournal b =
            buildJournal(host, src.c_str(), fakeLastWriteTime(src), blocks, 0, shuffle);
        if (patch) patch(host);
        open(src);
        return b;
    }
};

TEST_F(JournalFormat, FreshHeaderEntriesAndPrefixRewritesAreByteExact) {
    openSource(pattern(3000));
    std::vector<uint8_t> g(1024, 0);
    put(&g[0], 0xABCDEF03, 4);
    for (size_t o : {0x010, 0x018, 0x020, 0x028, 0x060, 0x068, 0x070, 0x098})
        put(&g[o + 4], 0xFFFFFFFF, 4); // null pointers: high word only, low word 0
    std::memcpy(&g[0x103], src.data(), src.size());
    std::memcpy(&g[0x203], "PrevJournal", 11);
    std::memcpy(&g[0x303], "NextJournal", 11);
    ASSERT_EQ(readAll(jnlHost()), g);
    // Entries go to 1024 + 640k: the record image, then the 512 data bytes.
    for (int i = 0; i < 512; ++i)
        data[i] = uint8_t(i * 3);
    for (int k = 0; k < 2; ++k) {
        JournalRecord r = distinct(k);
        ASSERT_TRUE(appendEntry(r, data, 512));
        EXPECT_EQ(r.JAdr, entry(k));
        std::vector<uint8_t> want = image(r);
        want.insert(want.end(), data, data + 512);
        EXPECT_EQ(bytesAt(entry(k), 640), want) << "entry " << k;
    }
    EXPECT_TRUE(readAll(jnlHost()).size() == 2304u && g_jnl.JnlEnd == 2304u);
    // Reading back: the record, then its data without a further seek, and single bytes.
    JournalRecord back{}, fields{};
    ASSERT_TRUE(readRecord(entry(1), back));
    EXPECT_EQ(image(back), image(distinct(1)));
    EXPECT_EQ(back.JAdr, entry(1));
    uint8_t got[512], one = 0;
    ASSERT_TRUE(readData(got));
    EXPECT_EQ(std::memcmp(got, data, 512), 0);
    std::memset(fields.ModBits, 0x11, 64);
    ASSERT_TRUE(readFields(entry(0), fields));
    EXPECT_EQ(fields.NUndo, distinct(0).NUndo);
    EXPECT_EQ(fields.ModBits[5], 0x11); // the fields alone leave the change map
    ASSERT_TRUE(readDataByte(entry(0), 100, &one));
    EXPECT_EQ(one, uint8_t(300));
    // Each prefix rewrite changes its own bytes and nothing else.
    std::vector<uint8_t> before = bytesAt(entry(1), 640);
    for (uint32_t n : {24u, 32u, 44u, 64u, 128u}) {
        JournalRecord w = distinct(n);
        w.JAdr = entry(1);
        ASSERT_TRUE(rewriteRecord(w, n));
        std::vector<uint8_t> img = image(w);
        std::copy(img.begin(), img.begin() + n, before.begin());
        ASSERT_EQ(bytesAt(entry(1), 640), before) << "prefix " << n;
    }
}

TEST_F(JournalFormat, PointersThatLeadNowhereAreReported) {
    BuiltJournal b = withJournal(8192, {{2048, 512, 0, 3, 2}});
    JournalRecord q{};
    EXPECT_TRUE(validEntry(entry(2)));
    // Inside the header, off a boundary, at the end, beyond 4 GiB, null with a valid low word.
    for (uint64_t bad : {uint64_t(0), uint64_t(512), uint64_t(1025), entry(3),
                         uint64_t(0x100000400ull), kNull | 1024}) {
        EXPECT_FALSE(validEntry(bad)) << bad;
        expectBox("ungültige Daten !", kIdOk,
                  "Fehler beim Lesen von " + std::string(g_jnl.JnlName));
        EXPECT_FALSE(readFields(bad, q)) << bad;
        expectBox("ungültige Daten !", kIdOk);
        EXPECT_FALSE(readRecord(bad, q)) << bad;
        expectBox("ungültige Daten !", kIdOk);
        EXPECT_FALSE(writeData(bad, data)) << bad;
    }
    expectBox("ungültige Daten !", kIdOk);
    EXPECT_FALSE(readDataByte(entry(0), 512, data));
    // A loop in a version chain: the oldest version's PJnl leads back to the middle one.
    JRec newest = rec(b.nodes[0]), middle = rec(newest.PJnl);
    uint8_t loop[8];
    put(loop, newest.PJnl);
    patchFile(jnlHost(), middle.PJnl + 0x24, loop, 8);
    expectBox("ungültige Daten !", kIdOk);
    EXPECT_FALSE(setAddrNext(b.nodes[0], kNull));
    EXPECT_TRUE(fake.boxAnswers.empty());
}

TEST_F(JournalFormat, JournalsBeyondFourGigabytes) {
    openSource(pattern(4096));
    // Pretend 0x700000 entries are already there: the next one lies beyond 4 GiB.
    g_jnl.JnlEnd = entryOffset(0x700000);
    for (int i = 0; i < 512; ++i)
        data[i] = uint8_t(255 - i);
    JournalRecord r = distinct(0, false), back{};
    r.Adr = 0x2FFFFFE00ull; // a source address beyond 4 GiB as well
    ASSERT_TRUE(appendEntry(r, data, 512));
    const uint64_t pos = 1024ull + 640ull * 0x700000;
    ASSERT_EQ(r.JAdr, pos);
    JRec onDisk = JFile(jnlHost()).rec(pos);
    EXPECT_EQ(onDisk.Adr, 0x2FFFFFE00ull);
    EXPECT_EQ(onDisk.Data[1], 254);
    ASSERT_TRUE(readRecord(pos, back));
    EXPECT_EQ(back.Adr, 0x2FFFFFE00ull);
    ASSERT_TRUE(readData(data));
    EXPECT_EQ(data[1], 254);
    // The header carries the high words too.
    g_jnl.Header.FirstPtr = g_jnl.Header.LastPtr = g_jnl.Header.UndoFirst = g_jnl.Header.Undo = pos;
    ASSERT_TRUE(writeHeader());
    JFile j(jnlHost());
    EXPECT_EQ(j.length, pos + 640);
    EXPECT_EQ(j.h.FirstPtr, pos);
    EXPECT_EQ(j.h.UndoFirst, pos);
    EXPECT_EQ(checkOpenJournal(), "");
}

TEST_F(JournalFormat, WriteBackKeepsBytesWithoutAField) {
    g_settings.MsgOptions &= ~(kMsgAskJournal | kMsgAskSave);
    withJournal(5000, {{1024, 512, 0, 1, 4}}, 1, [](const std::string &host) {
        std::vector<uint8_t> junk(32, 0x5A);
        for (size_t at : {0x44, 0x58, 0x78})
            patchFile(host, at, junk.data(), at == 0x78 ? 32 : at == 0x58 ? 8 : 4);
    });
    std::string host = jnlHost();
    gotoPair(2048, 512);
    run(IDM_CLOSE_FILE);
    JFile j(host);
    ASSERT_EQ(j.length, 1664u);
    EXPECT_EQ(j.h.SavedAnfPtr, 2048u);
    EXPECT_EQ(j.h.SavedViewOfs, 512u);
    EXPECT_EQ(j.h.JnlEndAtClose, 1664u);
    EXPECT_EQ(j.h.SourceTime, fakeLastWriteTime(src));
    for (size_t at : {0x44, 0x58, 0x5F, 0x78, 0x97})
        EXPECT_EQ(j.bytes(at, 1)[0], 0x5A) << at;
}

} // namespace
