// Fuzz target: a journal of arbitrary bytes is taken into use (found by its name, or opened as
// the document) and the page is moved through it. It must never crash, hang, overrun the page,
// touch the source, and on a journal whose chains are sound the page cursors must stay right.
//
// Input: [mode] [source blocks: 2] then, with mode bit 4, a sound journal built from block
// descriptions and damaged by a few patches; else a journal of records read from the input:
//        [entries: 1] [chain heads: 32] [records] ... and finally the moves.
// mode bit 0: chain pointers are taken raw (else a byte picks an entry or null)
// mode bit 1: the header is raw bytes (else magic, source name and time are right)
// mode bit 2: the journal is opened as the document
// mode bit 3: questions are answered Yes (else No / Cancel)
#include "fuzz/fuzz_dir.h"
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "access/docstate.h"
#include "access/files.h"
#include "app/document.h"
#include "access/textutil.h"
#include "app/settings.h"
#include "app/startup.h"
#include "journal/format.h"
#include "journal/lifecycle.h"
#include "journal/overlay.h"
#include "platform/fake/fake_platform.h"
// The checker and builder of the tests, compiled in here: the fuzz target has no GoogleTest.
#include "tests/support/journal_check.cpp"

namespace {

const std::string &g_dir = fuzzDir();

struct Reader {
    const uint8_t *p;
    size_t n;
    uint8_t byte() {
        if (!n) return 0;
        --n;
        return *p++;
    }
    uint32_t u16() {
        uint32_t lo = byte();
        return lo | uint32_t(byte()) << 8;
    }
    uint64_t u64() {
        uint64_t v = 0;
        for (int i = 0; i < 8; ++i)
            v |= uint64_t(byte()) << (8 * i);
        return v;
    }
};

uint64_t fileHash(const std::string &path) {
    int fd = open(path.c_str(), O_RDONLY);
    uint64_t h = 1469598103934665603ull;
    uint8_t buf[4096];
    ssize_t r;
    while ((r = read(fd, buf, sizeof buf)) > 0)
        for (ssize_t i = 0; i < r; ++i)
            h = (h ^ buf[i]) * 1099511628211ull;
    close(fd);
    return h;
}

void check(bool ok, const char *what) {
    if (!ok) {
        std::fprintf(stderr, "violated: %s\n", what);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (g_dir.empty()) makeFuzzDir("kelmor-jfuzz");
    Reader in{data, size};
    uint8_t mode = in.byte();
    uint32_t blocks = 1 + in.u16() % 160;
    uint32_t entries = (mode & 16) ? 0 : in.byte() % 64;
    const std::string srcHost = g_dir + "/D/s.bin", jnlHost = g_dir + "/C/kelmor/D~1s.bin.jnl";
    const char *src = "D:\\s.bin";

    // The source: a pattern, its last block shortened by the block count's low bits.
    uint64_t srcSize = uint64_t(blocks) * 512 - (blocks & 7) * 61;
    {
        static uint8_t image[160 * 512];
        for (uint64_t at = 0; at < srcSize; ++at)
            image[at] = uint8_t((at >> 9) * 7 + at);
        int fd = open(srcHost.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
        if (write(fd, image, size_t(srcSize)) != ssize_t(srcSize)) std::abort();
        close(fd);
    }
    uint64_t srcHashBefore = fileHash(srcHost);

    auto pointer = [&](uint64_t raw) -> uint64_t {
        if (mode & 1) return raw;
        uint8_t b = uint8_t(raw);
        if (b >= 0xC0 || entries == 0) return kNullPtr;
        return entryOffset(b % entries);
    };

    // The journal.
    if (mode & 16) {
        std::vector<BlockSpec> specs;
        uint32_t count = in.byte() % 48;
        std::vector<bool> used(blocks, false);
        for (uint32_t i = 0; i < count; ++i) {
            uint32_t k = in.u16() % blocks;
            uint8_t f = in.byte();
            if (used[k]) continue;
            used[k] = true;
            static const uint32_t flags[] = {0, 0x20, 0x400000, 0x400020};
            BlockSpec b;
            b.adr = uint64_t(k) * 512;
            b.len = uint32_t(srcSize - b.adr < 512 ? srcSize - b.adr : 512);
            b.flags = flags[f & 3];
            b.versions = 1 + (f >> 2) % 3;
            b.seed = f;
            specs.push_back(b);
        }
        BuiltJournal built =
            buildJournal(jnlHost, src, fakeLastWriteTime(srcHost), specs, 0, 1 + in.byte());
        uint32_t n = uint32_t(built.undo.size());
        entries = n;
        for (uint32_t i = in.byte() % 4; i > 0 && n; --i) {
            uint64_t at = built.undo[in.byte() % n] + (in.byte() % 16) * 4;
            uint64_t v = pointer(in.u64());
            uint8_t b[8];
            putU64(b, v);
            patchFile(jnlHost, at, b, 8);
        }
    } else {
        // The journal.
        JournalHeader h{};
        initHeaderFields(h, src);
        h.SourceTime = fakeLastWriteTime(srcHost);
        h.FirstPtr = pointer(in.u64());
        h.LastPtr = pointer(in.u64());
        h.Undo = pointer(in.u64());
        h.UndoFirst = pointer(in.u64());
        h.SavedAnfPtr = uint64_t(in.byte()) * 512 * 8;
        uint8_t hb[1024];
        encodeHeader(h, hb);
        if (mode & 2)
            for (int i = 0; i < 64; ++i)
                hb[i] = in.byte();
        int fd = open(jnlHost.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
        bool written = write(fd, hb, 1024) == 1024;
        for (uint32_t k = 0; k < entries && written; ++k) {
            JournalRecord r{};
            r.Adr = uint64_t(in.u16()) * 512;
            if (mode & 1) r.Adr = in.u64();
            r.PrevPtr = pointer(in.u64());
            r.NextPtr = pointer(in.u64());
            r.PUndo = pointer(in.u64());
            r.PJnl = pointer(in.u64());
            r.NJnl = pointer(in.u64());
            r.NUndo = pointer(in.u64());
            uint8_t lenByte = in.byte();
            r.Len = lenByte < 0xF0 ? 512 : lenByte * 1000u;
            r.Flags = uint32_t(in.byte()) << 16;
            r.Flags |= in.byte();
            for (int i = 0; i < 64; ++i)
                r.ModBits[i] = uint8_t(k * 3 + i);
            uint8_t e[640];
            encodeRecord(r, e, 128);
            for (int i = 0; i < 512; ++i)
                e[128 + i] = uint8_t(k + i * 5);
            size_t n = 640;
            if (k + 1 == entries && (lenByte & 1)) n = 300; // a journal cut short
            written = write(fd, e, n) == ssize_t(n);
        }
        close(fd);
    }
    {
        FakePlatform fake;
        fake.drives[2] = {kDriveFixed, g_dir + "/C"};
        fake.drives[3] = {kDriveFixed, g_dir + "/D"};
        setPlatform(&fake);
        appInitialize(30, 60);
        g_settings.MsgOptions = 0;
        for (int i = 0; i < 16; ++i)
            fake.boxAnswers.push_back({"", (mode & 8) ? kIdYes : kIdNo, ""});
        // A cancelled dialog ends every pick.
        for (int i = 0; i < 4; ++i)
            fake.fileDialogAnswers.push_back({false, "", false});
        bool given = mode & 4;
        if (given) fake.boxAnswers.push_front({"Bearbeitung öffnen?", kIdYes, ""});
        copyString(g_open.fileDlg.file, given ? "C:\\kelmor\\D~1s.bin.jnl" : src,
                   sizeof g_open.fileDlg.file);
        g_open.fileDlg.readOnly = true;
        openSource();

        // A journal whose chains are sound and lie inside the source keeps exact cursors.
        bool sound = journalOpen() && checkOpenJournal().empty();
        if (sound) {
            uint64_t limit = entries + 1, steps = 0;
            JFile jf(jnlHost);
            for (uint64_t p = g_jnl.Header.FirstPtr; !isNullPtr(p) && steps < limit; ++steps) {
                JRec r = jf.rec(p);
                if (!jf.valid(p) || r.Adr >= srcSize) sound = false;
                p = r.NextPtr;
            }
        }
        for (int m = 0; m < 64 && in.n > 0 && sourceOpen(); ++m) {
            uint8_t op = in.byte();
            uint64_t last = g_doc.LastBlkPtr;
            switch (op % 8) {
            case 0:
            case 1: {
                uint64_t t = (uint64_t(in.byte() | in.byte() << 8) * 512) % (last + 512);
                g_doc.ReadPtr = t;
                gotoPage();
                break;
            }
            case 2: {
                static const int64_t d[] = {-1536, -1024, -512, 512, 1024, 1536, 0, 4096};
                int64_t t = int64_t(g_doc.AnfPtr) + d[in.byte() % 8];
                if (t < 0) t = 0;
                if (uint64_t(t) > last) t = int64_t(last);
                g_doc.ReadPtr = uint64_t(t);
                gotoPage();
                break;
            }
            case 3:
                gotoFirstPage();
                break;
            case 4:
                gotoLastPage();
                break;
            case 5:
                reloadPage();
                break;
            case 6:
                nextEdit();
                break;
            default:
                previousEdit();
                break;
            }
            check(g_doc.Blk1Len <= 512 && g_doc.Blk2Len <= 512, "block lengths");
            check(g_doc.PageLen <= 1024, "page length");
            if (sound) check(checkPageCursors().empty(), "page cursors");
        }
        closeSource();
        closeSettingsFile();
        check(fake.openHandles() == 0, "handles left open");
        setPlatform(nullptr);
    }
    check(fileHash(srcHost) == srcHashBefore, "the source was changed");
    return 0;
}
