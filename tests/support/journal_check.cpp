#include "tests/support/journal_check.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <numeric>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

#include "access/docstate.h"
#include "platform/fake/fake_platform.h"

namespace {

uint64_t le64(const uint8_t *p) {
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i)
        v = v << 8 | p[i];
    return v;
}
uint32_t le32(const uint8_t *p) {
    return uint32_t(p[0] | p[1] << 8 | p[2] << 16) | uint32_t(p[3]) << 24;
}

// The 64 bytes of fields.
void decodeFields(const uint8_t *b, JRec &r) {
    r.Adr = le64(b + 0x00);
    r.PrevPtr = le64(b + 0x08);
    r.NextPtr = le64(b + 0x10);
    r.PUndo = le64(b + 0x18);
    r.Len = le32(b + 0x20);
    r.PJnl = le64(b + 0x24);
    r.NJnl = le64(b + 0x2C);
    r.NUndo = le64(b + 0x34);
    r.Flags = le32(b + 0x3C);
}

// The header fields.
JHdr decodeJournalHeader(const uint8_t *b) {
    JHdr h;
    h.Magic = le32(b + 0x000);
    h.SavedAnfPtr = le64(b + 0x004);
    h.SavedViewOfs = le32(b + 0x00C);
    h.Undo = le64(b + 0x010);
    h.Rest = le64(b + 0x018);
    h.FirstPtr = le64(b + 0x020);
    h.LastPtr = le64(b + 0x028);
    h.MarkStart = le64(b + 0x030);
    h.MarkEnd = le64(b + 0x038);
    h.MarkFlag = le32(b + 0x040);
    h.JnlEndAtClose = le64(b + 0x048);
    h.SourceTime = le64(b + 0x050);
    h.UndoFirst = le64(b + 0x060);
    const char *name = reinterpret_cast<const char *>(b + 0x103);
    h.SourceName.assign(name, strnlen(name, 256));
    return h;
}

std::string hex(uint64_t v) {
    char b[32];
    std::snprintf(b, sizeof b, "0x%llX", static_cast<unsigned long long>(v));
    return b;
}

struct Checker {
    const JFile &f;
    uint64_t limit;
    std::set<uint64_t> seen; // records whose own pointers were checked
    std::string err;

    bool fail(const std::string &what) {
        if (err.empty()) err = what;
        return false;
    }
    bool pointer(const char *what, uint64_t at, uint64_t p) {
        if (isNull(p) || f.valid(p)) return true;
        return fail(std::string(what) + " of " + hex(at) + " is " + hex(p) +
                    ", not an entry of the file");
    }
    bool load(uint64_t p, JRec &r, const char *via) {
        if (!f.valid(p)) return fail(std::string(via) + " leads to " + hex(p) + ", not an entry");
        r = f.rec(p);
        if (!seen.insert(p).second) return true;
        if (r.Len > 512) return fail("Len " + std::to_string(r.Len) + " of " + hex(p));
        const uint64_t links[] = {r.PrevPtr, r.NextPtr, r.PUndo, r.PJnl, r.NJnl, r.NUndo};
        const char *names[] = {"PrevPtr", "NextPtr", "PUndo", "PJnl", "NJnl", "NUndo"};
        for (int i = 0; i < 6; ++i) {
            if (links[i] == p)
                return fail(std::string(names[i]) + " of " + hex(p) + " links to itself");
            if (!pointer(names[i], p, links[i])) return false;
        }
        return true;
    }
};

} // namespace

// ---- decoding ----

JFile::JFile(const std::string &hostPath) {
    int fd = ::open(hostPath.c_str(), O_RDONLY);
    if (fd < 0) return;
    fd_ = std::shared_ptr<int>(new int(fd), [](int *d) { close(*d), delete d; });
    struct stat st;
    length = fstat(fd, &st) == 0 ? uint64_t(st.st_size) : 0;
    if (length >= 1024) h = decodeJournalHeader(bytes(0, 1024).data());
}

std::vector<uint8_t> JFile::bytes(uint64_t pos, size_t n) const {
    std::vector<uint8_t> b(pos < length ? std::min<uint64_t>(n, length - pos) : 0);
    if (!b.empty() && pread(*fd_, b.data(), b.size(), off_t(pos)) != ssize_t(b.size())) b.clear();
    return b;
}

bool JFile::valid(uint64_t p) const {
    return !isNull(p) && p >= 1024 && (p - 1024) % 640 == 0 && p + 640 <= length;
}

JRec JFile::rec(uint64_t p) const {
    JRec r;
    r.pos = p;
    std::vector<uint8_t> e = valid(p) ? bytes(p, 640) : std::vector<uint8_t>();
    if (e.size() != 640) return r;
    decodeFields(e.data(), r);
    std::memcpy(r.ModBits, e.data() + 0x40, 64);
    std::memcpy(r.Data, e.data() + 0x80, 512);
    return r;
}

std::string journalTable(const JFile &f) {
    auto link = [&](uint64_t p) -> std::string {
        if (isNull(p)) return "-";
        if (!f.valid(p)) return "?" + hex(p);
        return "e" + std::to_string((p - 1024) / 640);
    };
    std::string out;
    char line[200];
    for (uint64_t k = 0; k < f.entries(); ++k) {
        JRec r = f.rec(1024 + 640 * k);
        std::snprintf(line, sizeof line, "e%llu %llX %s %s %s %s %s %s %u %06X\n",
                      static_cast<unsigned long long>(k), static_cast<unsigned long long>(r.Adr),
                      link(r.PrevPtr).c_str(), link(r.NextPtr).c_str(), link(r.PUndo).c_str(),
                      link(r.NUndo).c_str(), link(r.PJnl).c_str(), link(r.NJnl).c_str(), r.Len,
                      r.Flags);
        out += line;
    }
    out += "first " + link(f.h.FirstPtr) + " last " + link(f.h.LastPtr) + " undoFirst " +
           link(f.h.UndoFirst) + " undo " + link(f.h.Undo) + " rest " + link(f.h.Rest) + "\n";
    return out;
}

std::string checkJournalFile(const std::string &hostPath, const JournalHeader *header) {
    JFile f(hostPath);
    if (f.length < 1024 || (f.length - 1024) % 640) return "journal length " + hex(f.length);
    std::vector<uint8_t> hb = f.bytes(0, 1024);
    if (header) encodeHeader(*header, hb.data());
    JHdr h = decodeJournalHeader(hb.data());
    if (h.Magic != 0xABCDEF03) return "magic " + hex(h.Magic);
    uint64_t undo = h.Undo, rest = h.Rest, first = h.FirstPtr, last = h.LastPtr;
    Checker c{f, (f.length - 1024) / 640 + 1, {}, {}};
    if (!c.pointer("Undo", 0, undo) || !c.pointer("Rest", 0, rest) ||
        !c.pointer("FirstPtr", 0, first) || !c.pointer("LastPtr", 0, last) ||
        !c.pointer("UndoFirst", 0, h.UndoFirst))
        return c.err;
    if (isNull(first) != isNull(last)) return "FirstPtr and LastPtr disagree about an empty chain";

    // Address chain.
    uint64_t p = first, prevNode = 0, prevAdr = 0, steps = 0;
    bool any = false;
    std::vector<std::pair<uint64_t, JRec>> nodes;
    while (!isNull(p)) {
        if (++steps > c.limit) return "address chain does not end (cycle)";
        JRec r;
        if (!c.load(p, r, any ? "NextPtr" : "FirstPtr")) return c.err;
        if (r.Adr % 512) return "Adr " + hex(r.Adr) + " of " + hex(p) + " is not a block address";
        if (any ? r.PrevPtr != prevNode : !isNull(r.PrevPtr))
            return "PrevPtr of " + hex(p) + " is " + hex(r.PrevPtr) + ", expected " +
                   (any ? hex(prevNode) : std::string("null"));
        if (any && r.Adr <= prevAdr)
            return "address chain not ascending at " + hex(p) + " (Adr " + hex(r.Adr) + ")";
        nodes.push_back({p, r});
        prevNode = p;
        prevAdr = r.Adr;
        any = true;
        if (isNull(r.NextPtr) && p != last)
            return "address chain ends at " + hex(p) + " but LastPtr is " + hex(last);
        p = r.NextPtr;
    }

    // Version chains: every version shares the node's first 24 bytes and is doubly linked.
    for (auto &n : nodes) {
        for (int dir = 0; dir < 2; ++dir) {
            uint64_t from = n.first, q = dir == 0 ? n.second.PJnl : n.second.NJnl;
            uint64_t vsteps = 0;
            while (!isNull(q)) {
                if (++vsteps > c.limit) return "version chain of " + hex(n.first) + " does not end";
                JRec v;
                if (!c.load(q, v, dir == 0 ? "PJnl" : "NJnl")) return c.err;
                if ((dir == 0 ? v.NJnl : v.PJnl) != from)
                    return "version chain not doubly linked between " + hex(from) + " and " +
                           hex(q);
                if (v.Adr != n.second.Adr || v.PrevPtr != n.second.PrevPtr ||
                    v.NextPtr != n.second.NextPtr)
                    return "version " + hex(q) + " does not share Adr/PrevPtr/NextPtr with " +
                           hex(n.first);
                if (v.Flags & 0x8)
                    return "version " + hex(q) + " of " + hex(n.first) + " is current";
                from = q;
                q = dir == 0 ? v.PJnl : v.NJnl;
            }
        }
    }

    // Undo chain.
    p = h.UndoFirst;
    uint64_t prevUndo = 0;
    bool undoSeen = isNull(undo);
    steps = 0;
    any = false;
    while (!isNull(p)) {
        if (++steps > c.limit) return "undo chain does not end (cycle)";
        JRec r;
        if (!c.load(p, r, any ? "NUndo" : "UndoFirst")) return c.err;
        if (any ? r.PUndo != prevUndo : !isNull(r.PUndo))
            return "PUndo of " + hex(p) + " is " + hex(r.PUndo) + ", expected " +
                   (any ? hex(prevUndo) : std::string("null"));
        if (p == undo) undoSeen = true;
        prevUndo = p;
        any = true;
        p = r.NUndo;
    }
    if (!undoSeen) return "Undo " + hex(undo) + " is not on the undo chain";
    // Restore chain: from Rest by PrevPtr it ends; a direct-mode record (whose flags never
    // change) is its predecessor's NextPtr when that one is a direct-mode record too.
    auto direct = [](const JRec &r) { return r.Flags == 0x400030; };
    steps = 0;
    for (p = rest; !isNull(p);) {
        if (++steps > c.limit) return "restore chain does not end (cycle)";
        JRec r;
        if (!c.load(p, r, "restore chain")) return c.err;
        if (direct(r) && f.valid(r.PrevPtr) && direct(f.rec(r.PrevPtr)) &&
            f.rec(r.PrevPtr).NextPtr != p)
            return "direct record " + hex(r.PrevPtr) + " does not lead on to " + hex(p);
        p = r.PrevPtr;
    }
    return "";
}

std::string checkOpenJournal() {
    if (!journalOpen()) return "";
    auto &fake = static_cast<FakePlatform &>(plat());
    return checkJournalFile(fake.hostPath(g_jnl.JnlName), &g_jnl.Header);
}

std::string checkPageCursors() {
    if (!journalOpen()) return g_doc.JReadFlag & 3 ? "JReadFlag set without a journal" : "";
    auto &fake = static_cast<FakePlatform &>(plat());
    JFile f(fake.hostPath(g_jnl.JnlName));
    bool two = hasBlock2() || (g_doc.JReadFlag & 2);
    uint64_t a1 = g_doc.AnfPtr, top = a1 + (two ? 512 : 0), steps = 0;
    JRec on[2], below, above; // the page's nodes, the nearest ones below and above
    on[0].pos = on[1].pos = below.pos = above.pos = kNullPtr;
    for (uint64_t p = g_jnl.Header.FirstPtr; !isNull(p); p = f.rec(p).NextPtr) {
        if (++steps > f.entries() + 1 || !f.valid(p)) return "address chain unreadable";
        JRec r = f.rec(p);
        if (r.Adr == a1 || (two && r.Adr == a1 + 512))
            on[r.Adr != a1] = r;
        else if (r.Adr < a1)
            below = r;
        else if (r.Adr > top && isNull(above.pos))
            above = r;
    }
    for (int b = 0; b < 2; ++b) {
        const JournalRecord &m = b ? g_jnl.JData2 : g_jnl.JData1;
        bool has = g_doc.JReadFlag & (1 << b);
        if (has != !isNull(on[b].pos) ||
            (has && (m.JAdr != on[b].pos || m.Adr != on[b].Adr || m.NextPtr != on[b].NextPtr ||
                     m.Len != on[b].Len)))
            return "block " + std::to_string(b + 1) +
                   ": JReadFlag or JData disagree with the chain";
    }
    auto same = [](uint64_t a, const JRec &n, uint64_t adr) {
        return isNull(n.pos) ? isNull(a) : a == n.pos && adr == n.Adr;
    };
    if (!same(g_jnl.JPrevPtr, below, g_jnl.JPrevAdr))
        return "JPrevPtr/JPrevAdr " + hex(g_jnl.JPrevPtr);
    if (!same(g_jnl.JNextPtr, above, g_jnl.JNextAdr))
        return "JNextPtr/JNextAdr " + hex(g_jnl.JNextPtr);
    return "";
}

uint64_t fakeLastWriteTime(const std::string &hostPath) {
    struct stat st;
    if (stat(hostPath.c_str(), &st) != 0) return 0;
    return (uint64_t(st.st_mtim.tv_sec) + 11644473600ull) * 10000000ull +
           uint64_t(st.st_mtim.tv_nsec) / 100;
}

// ---- building ----

uint8_t specData(uint32_t seed, int i) {
    return uint8_t(seed * 131u + uint32_t(i) * 7u + (seed >> 8));
}
uint8_t specMask(uint32_t seed, int i) {
    return uint8_t((seed * 17u + uint32_t(i) * 29u) ^ (seed >> 5));
}

void patchFile(const std::string &hostPath, uint64_t pos, const void *bytes, size_t n) {
    int fd = ::open(hostPath.c_str(), O_WRONLY);
    if (fd < 0) return;
    if (pwrite(fd, bytes, n, off_t(pos)) != ssize_t(n)) {
        // The caller's check of the file shows what went missing.
    }
    close(fd);
}

namespace {
// The builder's own byte writer: the records and header it writes must not depend on the
// encoder it is used to test.
void w32(uint8_t *b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = uint8_t(v >> (8 * i));
}
void w64(uint8_t *b, size_t at, uint64_t v) {
    w32(b, at, uint32_t(v));
    w32(b, at + 4, uint32_t(v >> 32));
}
} // namespace

void recordImage(const JournalRecord &r, uint8_t out[128]) {
    const uint64_t links[] = {r.Adr, r.PrevPtr, r.NextPtr, r.PUndo};
    for (int i = 0; i < 4; ++i)
        w64(out, 8 * size_t(i), links[i]);
    w32(out, 0x20, r.Len);
    w64(out, 0x24, r.PJnl);
    w64(out, 0x2C, r.NJnl);
    w64(out, 0x34, r.NUndo);
    w32(out, 0x3C, r.Flags);
    std::memcpy(out + 0x40, r.ModBits, 64);
}

BuiltJournal buildJournal(const std::string &hostPath, const char *sourcePath, uint64_t sourceTime,
                          const std::vector<BlockSpec> &blocksIn, uint64_t firstEntry,
                          uint32_t shuffle) {
    std::vector<BlockSpec> blocks = blocksIn;
    std::sort(blocks.begin(), blocks.end(),
              [](const BlockSpec &a, const BlockSpec &b) { return a.adr < b.adr; });
    // Commit order: every block's first version, then the second versions, and so on.
    struct Slot {
        size_t block;
        int version;
    };
    std::vector<Slot> commits;
    for (int v = 0;; ++v) {
        size_t before = commits.size();
        for (size_t b = 0; b < blocks.size(); ++b)
            if (v < std::max(blocks[b].versions, 1)) commits.push_back({b, v});
        if (commits.size() == before) break;
    }
    size_t n = commits.size();
    // File position of each commit: a permutation by a stride coprime to n.
    uint64_t stride = 1;
    if (n > 1 && shuffle > 1) {
        stride = shuffle % n;
        if (stride == 0) stride = 1;
        while (std::gcd(stride, uint64_t(n)) != 1)
            ++stride;
    }
    std::vector<uint64_t> pos(n);
    for (size_t i = 0; i < n; ++i)
        pos[i] = entry(firstEntry + (i * stride) % n);
    // Positions of each block's versions.
    std::vector<std::vector<uint64_t>> vpos(blocks.size());
    std::vector<std::vector<size_t>> vcommit(blocks.size());
    for (size_t i = 0; i < n; ++i) {
        vpos[commits[i].block].push_back(pos[i]);
        vcommit[commits[i].block].push_back(i);
    }
    BuiltJournal out;
    for (size_t b = 0; b < blocks.size(); ++b)
        out.nodes.push_back(vpos[b].back());
    out.undo = pos;

    int fd = ::open(hostPath.c_str(), O_CREAT | O_TRUNC | O_RDWR, 0644);
    out.length = n ? entry(firstEntry + n) : 1024;
    if (fd < 0) return out;
    if (ftruncate(fd, off_t(out.length)) != 0) {
        close(fd);
        return out;
    }
    for (size_t b = 0; b < blocks.size(); ++b) {
        const BlockSpec &s = blocks[b];
        size_t nv = vpos[b].size();
        for (size_t v = 0; v < nv; ++v) {
            bool current = v + 1 == nv;
            size_t ci = vcommit[b][v];
            uint32_t seed = current ? s.seed : s.seed + 1000u + uint32_t(v);
            JournalRecord r{};
            r.Adr = s.adr;
            r.PrevPtr = b > 0 ? out.nodes[b - 1] : kNull;
            r.NextPtr = b + 1 < blocks.size() ? out.nodes[b + 1] : kNull;
            r.PUndo = ci > 0 ? pos[ci - 1] : kNull;
            r.Len = s.len;
            r.PJnl = v > 0 ? vpos[b][v - 1] : kNull;
            r.NJnl = current ? kNull : vpos[b][v + 1];
            r.NUndo = ci + 1 < n ? pos[ci + 1] : kNull;
            r.Flags = current ? 0x10414Du | s.flags : 0x104145u;
            for (int i = 0; i < 64; ++i)
                r.ModBits[i] = specMask(seed, i);
            uint8_t e[640];
            recordImage(r, e);
            for (int i = 0; i < 512; ++i)
                e[0x80 + i] = specData(seed, i);
            if (pwrite(fd, e, 640, off_t(vpos[b][v])) != 640) break;
        }
    }
    uint8_t h[1024] = {};
    w32(h, 0x000, 0xABCDEF03);
    w64(h, 0x010, n ? pos.back() : kNull);  // Undo: the newest commit
    w64(h, 0x018, n ? pos.front() : kNull); // Rest
    w64(h, 0x020, blocks.empty() ? kNull : out.nodes.front());
    w64(h, 0x028, blocks.empty() ? kNull : out.nodes.back());
    w64(h, 0x048, out.length);
    w64(h, 0x050, sourceTime);
    w64(h, 0x060, n ? pos.front() : kNull); // UndoFirst
    for (size_t at : {0x068, 0x070, 0x098})
        w64(h, at, kNull);
    std::snprintf(reinterpret_cast<char *>(h + 0x103), 256, "%s", sourcePath);
    std::memcpy(h + 0x203, "PrevJournal", 11);
    std::memcpy(h + 0x303, "NextJournal", 11);
    if (pwrite(fd, h, 1024, 0) != 1024) {
        // An unwritten header shows in the tests' checks.
    }
    close(fd);
    return out;
}

void setJournalHead(const std::string &hostPath, uint32_t magic, uint64_t savedAnf,
                    uint32_t savedView) {
    uint8_t h[16];
    w32(h, 0x0, magic);
    w64(h, 0x4, savedAnf);
    w32(h, 0xC, savedView);
    patchFile(hostPath, 0, h, 16);
}
