// The journal's bytes: the fresh header, entries and prefix rewrites compared byte for byte
// with images written here, links reaching every version, journals beyond 4 GiB, pointers
// that lead nowhere and header bytes without a field.
#include "tests/support/doc_test.h"

#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "journal/chain.h"

namespace {

void put32(uint8_t *b, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[i] = uint8_t(v >> (8 * i));
}
void put64(uint8_t *b, uint64_t v) {
    put32(b, uint32_t(v));
    put32(b + 4, uint32_t(v >> 32));
}
// The 128-byte record image as the layout says, written without the program's encoder.
std::vector<uint8_t> image(const JournalRecord &r) {
    std::vector<uint8_t> b(128);
    put64(&b[0x00], r.Adr);
    put64(&b[0x08], r.PrevPtr);
    put64(&b[0x10], r.NextPtr);
    put64(&b[0x18], r.PUndo);
    put32(&b[0x20], r.Len);
    put64(&b[0x24], r.PJnl);
    put64(&b[0x2C], r.NJnl);
    put64(&b[0x34], r.NUndo);
    put32(&b[0x3C], r.Flags);
    std::memcpy(&b[0x40], r.ModBits, 64);
    return b;
}
// A record whose every field has its own bytes (a field written to the wrong place shows).
JournalRecord distinct(uint64_t salt) {
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
    return r;
}

class JournalFormat : public DocTest {
  protected:
    std::vector<uint8_t> bytesAt(uint64_t pos, size_t n) {
        std::vector<uint8_t> all = readAll(jnlHost());
        if (pos + n > all.size()) return {};
        return std::vector<uint8_t>(all.begin() + long(pos), all.begin() + long(pos + n));
    }
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
    void patch64(uint64_t pos, uint64_t v) {
        uint8_t b[8];
        put64(b, v);
        patchFile(jnlHost(), pos, b, 8);
    }
};

TEST_F(JournalFormat, FreshHeaderAndEntriesAreByteExact) {
    openSource(pattern(3000));
    std::vector<uint8_t> g(1024, 0);
    put32(&g[0], 0xABCDEF03);
    for (size_t o : {0x010, 0x018, 0x020, 0x028, 0x060, 0x068, 0x070, 0x098})
        put32(&g[o + 4], 0xFFFFFFFF); // null pointers: high word only, low word 0
    std::memcpy(&g[0x103], src.data(), src.size());
    std::memcpy(&g[0x203], "PrevJournal", 11);
    std::memcpy(&g[0x303], "NextJournal", 11);
    ASSERT_EQ(readAll(jnlHost()), g);

    // Entries go to 1024 + 640k: the record image, then the 512 data bytes.
    uint8_t data[512];
    for (int i = 0; i < 512; ++i)
        data[i] = uint8_t(i * 3);
    for (uint64_t k = 0; k < 2; ++k) {
        JournalRecord r = distinct(k);
        ASSERT_TRUE(appendEntry(r, data, 512));
        EXPECT_EQ(r.JAdr, entry(int(k)));
        std::vector<uint8_t> want = image(r);
        want.insert(want.end(), data, data + 512);
        EXPECT_EQ(bytesAt(entry(int(k)), 640), want) << "entry " << k;
    }
    EXPECT_EQ(readAll(jnlHost()).size(), g_jnl.JnlEnd);
    EXPECT_EQ(g_jnl.JnlEnd, 2304u);
    // Reading back: the record, then its data without a further seek, and single bytes.
    JournalRecord back{};
    ASSERT_TRUE(readRecord(entry(1), back));
    EXPECT_EQ(image(back), image(distinct(1)));
    EXPECT_EQ(back.JAdr, entry(1));
    uint8_t got[512];
    ASSERT_TRUE(readData(got));
    EXPECT_EQ(std::memcmp(got, data, 512), 0);
    JournalRecord fields{};
    std::memset(fields.ModBits, 0x11, 64);
    ASSERT_TRUE(readFields(entry(0), fields));
    EXPECT_EQ(fields.NUndo, distinct(0).NUndo);
    EXPECT_EQ(fields.ModBits[5], 0x11); // the fields alone leave the change map
    uint8_t one = 0;
    ASSERT_TRUE(readDataByte(entry(0), 100, &one));
    EXPECT_EQ(one, uint8_t(300));
}

TEST_F(JournalFormat, PrefixRewritesTouchOnlyTheirBytes) {
    openSource(pattern(3000));
    uint8_t data[512];
    std::memset(data, 0xAB, sizeof data);
    JournalRecord r = distinct(0);
    ASSERT_TRUE(appendEntry(r, data, 512));
    std::vector<uint8_t> before = bytesAt(entry(0), 640);
    for (uint32_t n : {24u, 32u, 44u, 64u, 128u}) {
        JournalRecord w = distinct(n);
        w.JAdr = r.JAdr;
        ASSERT_TRUE(rewriteRecord(w, n));
        std::vector<uint8_t> after = bytesAt(entry(0), 640), want = before;
        std::vector<uint8_t> img = image(w);
        std::copy(img.begin(), img.begin() + n, want.begin());
        ASSERT_EQ(after, want) << "prefix " << n;
        before = after;
    }
}

TEST_F(JournalFormat, AddressLinksReachEveryVersion) {
    BuiltJournal b =
        withJournal(8192, {{512, 512, 0, 1, 1}, {2048, 512, 0, 3, 2}, {4096, 512, 0, 2, 3}}, 3);
    JFile old = journal();
    ASSERT_EQ(checkOpenJournal(), "");
    // A new node between the first two blocks: NextPtr of block 512 and PrevPtr of every
    // version of block 2048 point to it; nothing else changes.
    uint64_t fresh = 0x100000000ull + 1024;
    ASSERT_TRUE(setAddrNext(b.nodes[0], fresh));
    ASSERT_TRUE(setAddrPrev(b.nodes[1], fresh));
    JFile now = journal();
    ASSERT_EQ(now.bytes.size(), old.bytes.size());
    int versions = 0;
    for (uint64_t k = 0; k < now.entries(); ++k) {
        uint64_t p = entry(int(k));
        JRec r = now.rec(p), o = old.rec(p);
        uint64_t prev = o.Adr == 2048 ? fresh : o.PrevPtr, next = o.Adr == 512 ? fresh : o.NextPtr;
        EXPECT_EQ(r.PrevPtr, prev) << p;
        EXPECT_EQ(r.NextPtr, next) << p;
        versions += o.Adr == 2048;
        // Everything else of the entry stays.
        EXPECT_TRUE(std::equal(now.bytes.begin() + long(p + 24), now.bytes.begin() + long(p + 640),
                               old.bytes.begin() + long(p + 24)))
            << p;
    }
    EXPECT_EQ(versions, 3);
}

TEST_F(JournalFormat, ALoopInAVersionChainEndsWithAReport) {
    BuiltJournal b = withJournal(8192, {{2048, 512, 0, 3, 2}});
    // The oldest version's PJnl leads back to the middle one.
    JRec newest = rec(b.nodes[0]), middle = rec(newest.PJnl);
    patch64(middle.PJnl + 0x24, newest.PJnl);
    expectBox("ungültige Daten !", kIdOk, "Fehler beim Lesen von " + std::string(g_jnl.JnlName));
    EXPECT_FALSE(setAddrNext(b.nodes[0], kNull));
    EXPECT_TRUE(fake.boxAnswers.empty());
}

TEST_F(JournalFormat, PointersThatLeadNowhereAreRefused) {
    openSource(pattern(3000));
    uint8_t data[512] = {};
    JournalRecord r = distinct(0);
    ASSERT_TRUE(appendEntry(r, data, 512));
    JournalRecord q{};
    EXPECT_TRUE(readFields(entry(0), q));
    EXPECT_TRUE(validEntry(entry(0)));
    // Inside the header, off a boundary, at the end, beyond 4 GiB, null with a valid low word.
    for (uint64_t bad : {uint64_t(0), uint64_t(512), uint64_t(1025), uint64_t(1664),
                         uint64_t(0x100000400ull), kNull | 1024}) {
        EXPECT_FALSE(validEntry(bad)) << bad;
        expectBox("ungültige Daten !", kIdOk, "Fehler beim Lesen von ");
        EXPECT_FALSE(readFields(bad, q)) << bad;
        expectBox("ungültige Daten !", kIdOk);
        EXPECT_FALSE(readRecord(bad, q)) << bad;
        expectBox("ungültige Daten !", kIdOk);
        EXPECT_FALSE(writeData(bad, data)) << bad;
    }
    expectBox("ungültige Daten !", kIdOk);
    EXPECT_FALSE(readDataByte(entry(0), 512, data));
    EXPECT_TRUE(fake.boxAnswers.empty());
    EXPECT_EQ(bytesAt(entry(0), 640).size(), 640u);
    EXPECT_EQ(readAll(jnlHost()).size(), 1664u);
}

TEST_F(JournalFormat, JournalsBeyondFourGigabytes) {
    openSource(pattern(4096));
    // Pretend 0x700000 entries are already there: the next one lies beyond 4 GiB.
    g_jnl.JnlEnd = entryOffset(0x700000);
    uint8_t data[512];
    for (int i = 0; i < 512; ++i)
        data[i] = uint8_t(255 - i);
    JournalRecord r = distinct(0);
    r.Adr = 0x2FFFFFE00ull; // a source address beyond 4 GiB as well
    r.PrevPtr = r.NextPtr = r.PUndo = r.PJnl = r.NJnl = r.NUndo = kNull;
    ASSERT_TRUE(appendEntry(r, data, 512));
    const uint64_t pos = 1024ull + 640ull * 0x700000;
    ASSERT_EQ(r.JAdr, pos);
    EXPECT_EQ(readJournalEntry(jnlHost(), pos).Adr, 0x2FFFFFE00ull);
    EXPECT_EQ(readJournalEntry(jnlHost(), pos).Data[1], 254);
    JournalRecord back{};
    ASSERT_TRUE(readRecord(pos, back));
    EXPECT_EQ(back.Adr, 0x2FFFFFE00ull);
    uint8_t got[512];
    ASSERT_TRUE(readData(got));
    EXPECT_EQ(got[1], 254);
    // The header carries the high words too.
    g_jnl.Header.FirstPtr = g_jnl.Header.LastPtr = g_jnl.Header.UndoFirst = pos;
    g_jnl.Header.Undo = pos;
    ASSERT_TRUE(writeHeader());
    uint8_t hb[1024];
    int fd = ::open(jnlHost().c_str(), O_RDONLY);
    ASSERT_EQ(pread(fd, hb, 1024, 0), 1024);
    off_t length = lseek(fd, 0, SEEK_END);
    close(fd);
    EXPECT_EQ(uint64_t(length), pos + 640);
    JHdr h = decodeJournalHeader(hb);
    EXPECT_EQ(h.FirstPtr, pos);
    EXPECT_EQ(h.UndoFirst, pos);
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
    JFile j = readJournalFile(host);
    ASSERT_EQ(j.bytes.size(), 1664u);
    EXPECT_EQ(j.h.SavedAnfPtr, 2048u);
    EXPECT_EQ(j.h.SavedViewOfs, 512u);
    EXPECT_EQ(j.h.JnlEndAtClose, 1664u);
    EXPECT_EQ(j.h.SourceTime, fakeLastWriteTime(src));
    for (size_t i = 0; i < 32; ++i)
        EXPECT_EQ(j.bytes[0x78 + i], 0x5A) << i;
    EXPECT_EQ(j.bytes[0x44], 0x5A);
    EXPECT_EQ(j.bytes[0x58], 0x5A);
}

} // namespace
