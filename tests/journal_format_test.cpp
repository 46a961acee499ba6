// The journal's byte layout: golden headers and records, entry allocation, prefix rewrites,
// link propagation, pointers beyond 4 GiB and pointers that lead nowhere.
#include "tests/support/harness.h"

#include <cstring>
#include <sys/stat.h>

#include "access/docstate.h"
#include "access/textutil.h"
#include "app/commands.h"
#include "app/settings.h"
#include "journal/chain.h"
#include "journal/format.h"
#include "journal/lifecycle.h"
#include "journal/overlay.h"
#include "res/resource.h"
#include "tests/support/journal_check.h"

namespace {

void put32(std::vector<uint8_t> &b, size_t o, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[o + i] = uint8_t(v >> (8 * i));
}
void put64(std::vector<uint8_t> &b, size_t o, uint64_t v) {
    for (int i = 0; i < 8; ++i)
        b[o + i] = uint8_t(v >> (8 * i));
}
uint64_t get64(const std::vector<uint8_t> &b, size_t o) {
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i)
        v = v << 8 | b[o + i];
    return v;
}
void putText(std::vector<uint8_t> &b, size_t o, const char *t) {
    std::memcpy(b.data() + o, t, std::strlen(t));
}

class JournalFormat : public KelmorTest {
  protected:
    void SetUp() override {
        KelmorTest::SetUp();
        startProgram();
    }
    // A source under D: and the host path of its journal in C:\kelmor\.
    std::string source(const char *name, size_t n) {
        makeFile(std::string("D/") + name, pattern(n));
        return std::string("D:\\") + name;
    }
    std::string journalHost(const char *name) { return dir + "/C/kelmor/D~1" + name + ".jnl"; }
    std::vector<uint8_t> range(const std::string &path, uint64_t pos, size_t n) {
        std::vector<uint8_t> all = readAll(path);
        if (pos + n > all.size()) return {};
        return std::vector<uint8_t>(all.begin() + long(pos), all.begin() + long(pos + n));
    }
};

TEST_F(JournalFormat, FreshHeaderIsByteExact) {
    openThroughDialog(source("a.bin", 3000));
    ASSERT_TRUE(journalOpen());
    std::vector<uint8_t> bytes = readAll(journalHost("a.bin"));
    std::vector<uint8_t> g(1024, 0);
    put32(g, 0x000, 0xABCDEF03);
    for (size_t o : {0x010, 0x018, 0x020, 0x028, 0x060, 0x068, 0x070, 0x098})
        put32(g, o + 4, 0xFFFFFFFF); // null pointers: high word only, low word 0
    putText(g, 0x103, "D:\\a.bin");
    putText(g, 0x203, "PrevJournal");
    putText(g, 0x303, "NextJournal");
    ASSERT_EQ(bytes.size(), 1024u);
    for (size_t i = 0; i < 1024; ++i)
        ASSERT_EQ(bytes[i], g[i]) << "header byte 0x" << std::hex << i;
    EXPECT_EQ(g_jnl.JnlEnd, 1024u);
    EXPECT_EQ(checkOpenJournal(), "");
}

TEST_F(JournalFormat, RecordLayoutIsByteExact) {
    JournalRecord r{};
    r.Adr = 0x0000000123456600ull;
    r.PrevPtr = 0x0000000200000400ull;
    r.NextPtr = 0xFFFFFFFF00001234ull;
    r.PUndo = 0x0000000000000680ull;
    r.Len = 0x1F0;
    r.PJnl = 0x1122334455667788ull;
    r.NJnl = 0x99AABBCCDDEEFF00ull;
    r.NUndo = 0x0102030405060708ull;
    r.Flags = 0x0040004D;
    for (int i = 0; i < 64; ++i)
        r.ModBits[i] = uint8_t(0xC0 + i);
    uint8_t out[128];
    std::memset(out, 0xEE, sizeof out);
    encodeRecord(r, out, 128);
    std::vector<uint8_t> g(128, 0);
    put64(g, 0x00, r.Adr);
    put64(g, 0x08, r.PrevPtr);
    put64(g, 0x10, r.NextPtr);
    put64(g, 0x18, r.PUndo);
    put32(g, 0x20, r.Len);
    put64(g, 0x24, r.PJnl);
    put64(g, 0x2C, r.NJnl);
    put64(g, 0x34, r.NUndo);
    put32(g, 0x3C, r.Flags);
    for (int i = 0; i < 64; ++i)
        g[0x40 + i] = uint8_t(0xC0 + i);
    EXPECT_EQ(std::vector<uint8_t>(out, out + 128), g);
    // Decoding gives the fields back; 64 bytes leave the change map alone.
    JournalRecord back{};
    std::memset(back.ModBits, 0x11, 64);
    decodeRecord(out, 64, back);
    EXPECT_EQ(back.Adr, r.Adr);
    EXPECT_EQ(back.PJnl, r.PJnl);
    EXPECT_EQ(back.NUndo, r.NUndo);
    EXPECT_EQ(back.Len, r.Len);
    EXPECT_EQ(back.Flags, r.Flags);
    EXPECT_EQ(back.ModBits[5], 0x11);
    decodeRecord(out, 128, back);
    EXPECT_EQ(back.ModBits[5], 0xC5);
    // A 24-byte prefix writes no more than 24 bytes.
    std::memset(out, 0xEE, sizeof out);
    encodeRecord(r, out, 24);
    EXPECT_EQ(out[23], g[23]);
    EXPECT_EQ(out[24], 0xEE);
}

TEST_F(JournalFormat, NullIsDecidedByTheHighWordAlone) {
    EXPECT_TRUE(isNullPtr(0xFFFFFFFF00000000ull));
    EXPECT_TRUE(isNullPtr(0xFFFFFFFF00000400ull));
    EXPECT_TRUE(isNullPtr(0xFFFFFFFFFFFFFFFFull));
    EXPECT_FALSE(isNullPtr(0x00000000FFFFFFFFull));
    EXPECT_FALSE(isNullPtr(0xFFFFFFFE00000000ull));
    EXPECT_FALSE(isNullPtr(0));
    EXPECT_EQ(nulled(0x0000000000000680ull), 0xFFFFFFFF00000680ull);
}

TEST_F(JournalFormat, NextJournalHoldsAtMost252Characters) {
    JournalHeader h{};
    initHeaderFields(h, "C:\\x");
    std::string longName(300, 'n');
    copyString(h.NextJournal, longName.c_str(), kHdrNextJournalSize);
    uint8_t out[1024];
    encodeHeader(h, out);
    EXPECT_EQ(out[0x303 + 251], 'n');
    EXPECT_EQ(out[0x303 + 252], 0); // the last byte of the header
    EXPECT_EQ(std::strlen(h.NextJournal), 252u);
}

TEST_F(JournalFormat, EntriesAreAppendedAt1024Plus640k) {
    openThroughDialog(source("a.bin", 3000));
    ASSERT_TRUE(journalOpen());
    uint8_t data[512];
    for (int i = 0; i < 512; ++i)
        data[i] = uint8_t(i * 3);
    JournalRecord r{};
    r.Adr = 512;
    r.PrevPtr = r.NextPtr = r.PUndo = r.PJnl = r.NJnl = r.NUndo = kNullPtr;
    r.Len = 512;
    r.Flags = 0x10414D;
    ASSERT_TRUE(appendEntry(r, data, 512));
    EXPECT_EQ(r.JAdr, 1024u);
    EXPECT_EQ(g_jnl.JnlEnd, 1664u);
    r.Adr = 1536;
    ASSERT_TRUE(appendEntry(r, data, 512));
    EXPECT_EQ(r.JAdr, 1664u);
    EXPECT_EQ(g_jnl.JnlEnd, 2304u);
    std::string host = journalHost("a.bin");
    EXPECT_EQ(readAll(host).size(), 2304u);
    std::vector<uint8_t> e = range(host, 1664, 640);
    ASSERT_EQ(e.size(), 640u);
    EXPECT_EQ(get64(e, 0), 1536u);
    EXPECT_EQ(get64(e, 8), 0xFFFFFFFF00000000ull);
    EXPECT_EQ(e[128 + 7], uint8_t(21));
    // Reading back: record, then its data without a further seek.
    JournalRecord back{};
    ASSERT_TRUE(readRecord(1664, back));
    EXPECT_EQ(back.Adr, 1536u);
    EXPECT_EQ(back.JAdr, 1664u);
    uint8_t got[512];
    ASSERT_TRUE(readData(got));
    EXPECT_EQ(std::memcmp(got, data, 512), 0);
    uint8_t one = 0;
    ASSERT_TRUE(readDataByte(1024, 100, &one));
    EXPECT_EQ(one, uint8_t(300));
}

TEST_F(JournalFormat, PrefixRewritesTouchOnlyTheirBytes) {
    openThroughDialog(source("a.bin", 3000));
    uint8_t data[512];
    std::memset(data, 0xAB, sizeof data);
    JournalRecord r{};
    r.Adr = 0;
    r.PrevPtr = r.NextPtr = r.PUndo = r.PJnl = r.NJnl = r.NUndo = kNullPtr;
    r.Len = 512;
    r.Flags = 0x4D;
    std::memset(r.ModBits, 0x0F, 64);
    ASSERT_TRUE(appendEntry(r, data, 512));
    std::string host = journalHost("a.bin");
    std::vector<uint8_t> before = range(host, 1024, 640);
    for (uint32_t n : {24u, 32u, 44u, 64u, 128u}) {
        JournalRecord w = r;
        w.Adr = 0x7700 + n;
        w.PrevPtr = 0x100000400ull + n;
        w.NextPtr = w.PUndo = w.PJnl = w.NJnl = w.NUndo = 0x5500000000ull + n;
        w.Len = n;
        w.Flags = 0x80000000u | n;
        std::memset(w.ModBits, int(n), 64);
        ASSERT_TRUE(rewriteRecord(w, n));
        std::vector<uint8_t> after = range(host, 1024, 640);
        uint8_t expect[128];
        encodeRecord(w, expect, 128);
        for (uint32_t i = 0; i < 640; ++i) {
            uint8_t want = i < n ? expect[i] : before[i];
            ASSERT_EQ(after[i], want) << "prefix " << n << ", byte " << i;
        }
        before = after;
    }
}

TEST_F(JournalFormat, AddressLinksReachEveryVersion) {
    std::string src = source("v.bin", 8192);
    std::vector<BlockSpec> blocks = {
        {512, 512, 0, 1, 1}, {2048, 512, 0, 3, 2}, {4096, 512, 0, 2, 3}};
    BuiltJournal b = buildJournal(journalHost("v.bin"), src.c_str(),
                                  fakeLastWriteTime(dir + "/D/v.bin"), blocks, 0, 3);
    openThroughDialog(src);
    ASSERT_TRUE(journalOpen());
    ASSERT_EQ(checkOpenJournal(), "");
    // A new node between the first two blocks: NextPtr of every version of block 512 and
    // PrevPtr of every version of block 2048 point to it.
    uint64_t fresh = 0x100000000ull + 1024; // any value serves to see the propagation
    ASSERT_TRUE(setAddrNext(b.nodes[0], fresh));
    ASSERT_TRUE(setAddrPrev(b.nodes[1], fresh));
    std::string host = journalHost("v.bin");
    JournalRecord v{};
    ASSERT_TRUE(readJournalRecord(host, b.nodes[0], v));
    EXPECT_EQ(v.NextPtr, fresh);
    int versions = 0;
    for (uint64_t p = b.nodes[1]; !isNullPtr(p); p = v.PJnl, ++versions) {
        ASSERT_TRUE(readJournalRecord(host, p, v));
        EXPECT_EQ(v.PrevPtr, fresh) << "version at " << p;
        EXPECT_EQ(v.NextPtr, b.nodes[2]);
        EXPECT_EQ(v.Adr, 2048u);
    }
    EXPECT_EQ(versions, 3);
    // Data and change maps are untouched.
    ASSERT_TRUE(readJournalRecord(host, b.nodes[1], v));
    EXPECT_EQ(v.ModBits[9], specMask(2, 9));
    EXPECT_EQ(v.Flags, 0x10414Du);
}

TEST_F(JournalFormat, ALoopInAVersionChainEndsWithAReport) {
    std::string src = source("v.bin", 8192);
    BuiltJournal b = buildJournal(journalHost("v.bin"), src.c_str(),
                                  fakeLastWriteTime(dir + "/D/v.bin"), {{2048, 512, 0, 3, 2}});
    openThroughDialog(src);
    // The oldest version's PJnl leads back to the middle one.
    std::string host = journalHost("v.bin");
    JournalRecord newest{}, middle{};
    ASSERT_TRUE(readJournalRecord(host, b.nodes[0], newest));
    ASSERT_TRUE(readJournalRecord(host, newest.PJnl, middle));
    uint8_t loop[8];
    putU64(loop, newest.PJnl);
    patchFile(host, middle.PJnl + kRecPJnl, loop, 8);
    expectBox("ungültige Daten !", kIdOk, "Fehler beim Lesen von C:\\kelmor\\D~1v.bin.jnl");
    EXPECT_FALSE(setAddrNext(b.nodes[0], kNullPtr));
    EXPECT_TRUE(fake.boxAnswers.empty());
}

TEST_F(JournalFormat, PointersThatLeadNowhereAreRefused) {
    openThroughDialog(source("a.bin", 3000));
    uint8_t data[512] = {};
    JournalRecord r{};
    r.PrevPtr = r.NextPtr = r.PUndo = r.PJnl = r.NJnl = r.NUndo = kNullPtr;
    ASSERT_TRUE(appendEntry(r, data, 512));
    JournalRecord q{};
    EXPECT_TRUE(readFields(1024, q));
    for (uint64_t bad : {uint64_t(0), uint64_t(512), uint64_t(1025), uint64_t(1664),
                         uint64_t(0x100000400ull), kNullPtr}) {
        expectBox("ungültige Daten !", kIdOk, "Fehler beim Lesen von ");
        EXPECT_FALSE(readFields(bad, q)) << bad;
        EXPECT_FALSE(validEntry(bad)) << bad;
    }
    EXPECT_TRUE(fake.boxAnswers.empty());
}

TEST_F(JournalFormat, JournalsBeyondFourGigabytes) {
    std::string src = source("big.bin", 4096);
    openThroughDialog(src);
    ASSERT_TRUE(journalOpen());
    // Pretend 0x700000 entries are already there: the next one lies beyond 4 GiB.
    g_jnl.JnlEnd = entryOffset(0x700000);
    ASSERT_GT(g_jnl.JnlEnd, 0x100000000ull);
    uint8_t data[512];
    for (int i = 0; i < 512; ++i)
        data[i] = uint8_t(255 - i);
    JournalRecord r{};
    r.Adr = 0x2FFFFFE00ull; // a source address beyond 4 GiB as well
    r.PrevPtr = r.NextPtr = r.PUndo = r.PJnl = r.NJnl = r.NUndo = kNullPtr;
    r.Len = 512;
    ASSERT_TRUE(appendEntry(r, data, 512));
    uint64_t pos = r.JAdr;
    EXPECT_EQ(pos, 1024ull + 640ull * 0x700000);
    EXPECT_EQ(pos >> 32, 1u);
    struct stat st;
    ASSERT_EQ(stat(journalHost("big.bin").c_str(), &st), 0);
    EXPECT_EQ(uint64_t(st.st_size), pos + 640);
    JournalRecord back{};
    ASSERT_TRUE(readJournalRecord(journalHost("big.bin"), pos, back));
    EXPECT_EQ(back.Adr, 0x2FFFFFE00ull);
    ASSERT_TRUE(readRecord(pos, back));
    uint8_t got[512];
    ASSERT_TRUE(readData(got));
    EXPECT_EQ(got[1], 254);
    // The header carries the high words too.
    g_jnl.Header.FirstPtr = g_jnl.Header.LastPtr = pos;
    g_jnl.Header.UndoFirst = g_jnl.Header.Undo = pos;
    ASSERT_TRUE(writeHeader());
    std::vector<uint8_t> h(1024);
    JournalHeader rh{};
    ASSERT_TRUE(readJournalHeader(journalHost("big.bin"), rh));
    EXPECT_EQ(rh.FirstPtr, pos);
    EXPECT_EQ(rh.UndoFirst, pos);
    EXPECT_EQ(checkOpenJournal(), "");
}

TEST_F(JournalFormat, WriteBackKeepsBytesWithoutAField) {
    std::string src = source("w.bin", 5000);
    std::string host = journalHost("w.bin");
    buildJournal(host, src.c_str(), fakeLastWriteTime(dir + "/D/w.bin"), {{1024, 512, 0, 1, 4}});
    uint8_t junk[32];
    std::memset(junk, 0x5A, sizeof junk);
    patchFile(host, 0x78, junk, 32);
    patchFile(host, 0x44, junk, 4);
    patchFile(host, 0x58, junk, 8);
    g_settings.MsgOptions &= ~(kMsgAskJournal | kMsgAskSave);
    openThroughDialog(src);
    ASSERT_TRUE(journalOpen());
    g_doc.ReadPtr = 2048;
    gotoPage();
    g_doc.ViewOfs = 512;
    dispatchCommand(IDM_CLOSE_FILE, 0); // close
    std::vector<uint8_t> b = readAll(host);
    ASSERT_EQ(b.size(), 1664u);
    EXPECT_EQ(get64(b, 0x04), 2048u);                               // saved AnfPtr
    EXPECT_EQ(get64(b, 0x0C) & 0xFFFFFFFF, 512u);                   // saved ViewOfs
    EXPECT_EQ(get64(b, 0x48), 1664u);                               // JnlEnd at close
    EXPECT_EQ(get64(b, 0x50), fakeLastWriteTime(dir + "/D/w.bin")); // SourceTime
    for (size_t i = 0; i < 32; ++i)
        EXPECT_EQ(b[0x78 + i], 0x5A) << i;
    EXPECT_EQ(b[0x44], 0x5A);
    EXPECT_EQ(b[0x58], 0x5A);
}

} // namespace
