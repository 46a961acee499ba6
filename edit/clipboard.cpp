#include "edit/clipboard.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "access/docstate.h"
#include "access/errors.h"
#include "edit/commit.h"
#include "journal/format.h"
#include "platform/platform.h"
#include "view/paint.h"
#include "view/refresh.h"

const char kDataFormatName[] = "DataObject";
const char kSizeFormatName[] = "Size Information";

void setModRange(uint32_t start, uint32_t count) {
    uint32_t k = start, end = start + count;
    if (end > 1024) end = 1024;
    for (; k < end && (k & 7); ++k)
        g_doc.ModMask[k >> 3] |= uint8_t(1u << (k & 7));
    for (; k + 8 <= end; k += 8)
        g_doc.ModMask[k >> 3] = 0xFF;
    for (; k < end; ++k)
        g_doc.ModMask[k >> 3] |= uint8_t(1u << (k & 7));
}

uint32_t boundedLength(const uint8_t *text, uint32_t limit) {
    const void *zero = std::memchr(text, 0, limit);
    return zero ? uint32_t(static_cast<const uint8_t *>(zero) - text) : limit;
}

uint32_t boundedCopy(uint8_t *dst, const uint8_t *src, uint32_t limit) {
    uint32_t n = boundedLength(src, limit);
    std::memcpy(dst, src, n);
    return limit - n;
}

// ---- the run over the page pairs ----

// Esc is noticed between pairs, looked for about every 30 ms, as is the wait banner.
static bool runCancelled(Pacer &pace) {
    if (!pace.due()) return false;
    showWaitBanner();
    Platform &p = plat();
    for (int m; (m = p.pollMessage()) >= 0;)
        if (m == 27)
            return askYesNo("Soll der Vorgang abgebrochen werden ?", "Abbrechen ?", true) == kIdYes;
    return false;
}

// The segment bits of the pair just written: bytes from..to-1 of the pair, and whether the
// run goes on in the next pair.
static void pairSegments(uint32_t first, uint32_t to, uint32_t carry, bool more) {
    bool b1 = first<512, b2 = to> 512;
    const uint32_t cont = kFlagContinues, from = kFlagFromPrevious;
    if (b1) setSegmentBits(1, carry | ((b2 || more) ? cont : 0u));
    if (b2) setSegmentBits(2, (b1 ? from : carry) | (more ? cont : 0u));
}

uint64_t writeRun(uint64_t start, uint64_t count, RunFeeder next, void *ctx) {
    if (!sourceOpen() || refuseWithoutJournal()) return 0;
    uint64_t keepAnf = g_doc.AnfPtr;
    uint32_t keepView = g_doc.ViewOfs;
    // The source never grows through a run: it ends with the source.
    count = start >= g_doc.FileSize ? 0 : std::min(count, g_doc.FileSize - start);
    g_commit.FillBatch = kFillRunning;
    if (count && (start < g_doc.AnfPtr || start >= g_doc.AnfPtr + g_doc.PageLen)) movePairTo(start);
    uint64_t done = 0;
    uint32_t carry = 0;
    Pacer pace; // the first look after the first pair
    while (done < count) {
        uint64_t pos = start + done;
        if (pos < g_doc.AnfPtr || pos >= g_doc.AnfPtr + g_doc.PageLen) break; // not reached
        uint32_t k = uint32_t(pos - g_doc.AnfPtr);
        uint64_t want = std::min<uint64_t>(g_doc.PageLen - k, count - done);
        uint32_t got = next(ctx, g_doc.PageBuf + k, uint32_t(want));
        if (got > want) got = uint32_t(want);
        done += got;
        bool more = got == want && done < count;
        if (got) {
            setModRange(k, got);
            pairSegments(k, k + got, carry, more);
            if (k < 512) g_doc.InputFlag |= kInputBlk1;
            if (k + got > 512) g_doc.InputFlag |= kInputBlk2;
        }
        // Each pair is in the journal (or the source) before the next one is loaded.
        if (commitInputs() != 0 || (g_doc.InputFlag & (kInputBlk1 | kInputBlk2))) {
            g_doc.InputFlag &= ~7u; // reported; not tried again on the way back
            break;
        }
        if (!more || (g_commit.FillBatch & kFillSaidNo) || runCancelled(pace)) break;
        movePairTo(g_doc.AnfPtr + 1024);
        carry = kFlagFromPrevious;
    }
    g_commit.FillBatch = 0;
    g_commit.SegPending = 0;
    showPageAt(keepAnf, keepView, kShowStatus);
    return done;
}

// ---- copy ----

int copyMarking() {
    if (!sourceOpen() || !g_doc.MarkFlag || g_doc.MarkEnd <= g_doc.MarkStart) return 1;
    Platform &p = plat();
    unsigned dataFmt = p.registerClipboardFormat(kDataFormatName);
    unsigned sizeFmt = p.registerClipboardFormat(kSizeFormatName);
    if (!dataFmt || !sizeFmt) return 1;
    uint64_t n = g_doc.MarkEnd - g_doc.MarkStart;
    if (n > kCopyLimit) return 1;
    uint8_t *data = new (std::nothrow) uint8_t[n + 1];
    if (!data) return 1;
    uint64_t keepAnf = g_doc.AnfPtr;
    uint32_t keepView = g_doc.ViewOfs;
    // The bytes as shown: journalled edits included, current inputs committed on the way.
    movePairTo(g_doc.MarkStart);
    uint64_t copied = 0;
    while (copied < n) {
        uint64_t pos = g_doc.MarkStart + copied;
        if (pos < g_doc.AnfPtr || pos >= g_doc.AnfPtr + g_doc.PageLen) break;
        uint32_t o = uint32_t(pos - g_doc.AnfPtr);
        uint64_t take = std::min<uint64_t>(g_doc.PageLen - o, n - copied);
        std::memcpy(data + copied, g_doc.PageBuf + o, take);
        copied += take;
        if (copied < n) movePairTo(g_doc.AnfPtr + 1024);
    }
    int rc = 1;
    if (copied == n) {
        data[n] = 0;
        uint32_t t = boundedLength(data, uint32_t(n));
        uint8_t size[8] = {uint8_t(n), uint8_t(n >> 8), uint8_t(n >> 16), uint8_t(n >> 24)};
        if (p.clipboardOpen()) {
            p.clipboardEmpty();
            // data[t] is the zero after the text: the text block is data[0..t].
            if (p.clipboardSet(kClipText, data, t + 1) &&
                p.clipboardSet(dataFmt, data, uint32_t(n + 1)) &&
                p.clipboardSet(sizeFmt, size, sizeof size))
                rc = 0;
            p.clipboardClose();
        }
    }
    delete[] data;
    showPageAt(keepAnf, keepView, kShowStatus);
    return rc;
}

// ---- paste ----

namespace {
struct ClipFeed {
    unsigned format;
    uint64_t offset, have;
    bool text; // ends at the first zero byte
};
} // namespace

static uint32_t feedClipboard(void *ctx, uint8_t *dst, uint32_t want) {
    ClipFeed &f = *static_cast<ClipFeed *>(ctx);
    uint64_t left = f.offset < f.have ? f.have - f.offset : 0;
    if (want > left) want = uint32_t(left);
    // Text is read aside first: the bytes after its end must not reach the page.
    static uint8_t scratch[1024];
    uint8_t *to = f.text ? scratch : dst;
    if (want > sizeof scratch && f.text) want = sizeof scratch;
    if (plat().clipboardGet(f.format, to, want, f.offset) < 0) return 0;
    uint32_t got = want;
    if (f.text) got = boundedCopy(dst, scratch, want), got = want - got;
    f.offset += got;
    return got;
}

int pasteClipboard() {
    if (!sourceOpen()) return 1;
    Platform &p = plat();
    unsigned dataFmt = p.registerClipboardFormat(kDataFormatName);
    unsigned sizeFmt = p.registerClipboardFormat(kSizeFormatName);
    if (!p.clipboardOpen()) return 1;
    ClipFeed feed{};
    uint64_t n = 0;
    int64_t dataHave = dataFmt ? p.clipboardGet(dataFmt, nullptr, 0) : -1;
    int64_t sizeHave = sizeFmt ? p.clipboardGet(sizeFmt, nullptr, 0) : -1;
    if (dataHave >= 0 && sizeHave >= 0) {
        uint8_t size[8] = {};
        p.clipboardGet(sizeFmt, size, sizeof size);
        n = uint64_t(size[0]) | uint64_t(size[1]) << 8 | uint64_t(size[2]) << 16 |
            uint64_t(size[3]) << 24;
        bool high = size[4] | size[5] | size[6] | size[7];
        // A length the object does not hold would paste bytes nobody copied.
        if (sizeHave < 8 || high || n > uint64_t(dataHave)) {
            p.clipboardClose();
            p.messageBox("Die Daten in der Zwischenablage sind unvollständig !\n\nEs wurde "
                         "nichts eingefügt.",
                         "einfügen nicht möglich !", kMbOk | kMbIconWarning);
            return 1;
        }
        feed = ClipFeed{dataFmt, 0, n, false};
    } else {
        int64_t textHave = p.clipboardGet(kClipText, nullptr, 0);
        if (textHave < 0) {
            p.clipboardClose();
            return 1;
        }
        feed = ClipFeed{kClipText, 0, uint64_t(textHave), true};
        n = uint64_t(textHave);
    }
    writeRun(g_doc.AnfPtr + g_doc.ViewOfs + g_doc.CurOfs, n, feedClipboard, &feed);
    p.clipboardClose();
    return 0;
}

// ---- file insert ----

namespace {
struct FileFeed {
    Handle h;
    const char *name;
};
FileDialogRecord g_insertDlg;
} // namespace

static uint32_t feedFile(void *ctx, uint8_t *dst, uint32_t want) {
    FileFeed &f = *static_cast<FileFeed *>(ctx);
    uint32_t got = 0;
    if (!plat().readFile(f.h, dst, want, &got)) {
        reportError(kReadErrorPrefix, f.name);
        return 0;
    }
    if (got < want) {
        // The file became shorter since it was measured.
        plat().setLastError(kErrHandleEof);
        reportError(kReadErrorPrefix, f.name);
    }
    return got;
}

int insertFile() {
    if (!sourceOpen() || refuseWithoutJournal()) return 1;
    Platform &p = plat();
    g_insertDlg.showReadOnly = false;
    g_insertDlg.filterIndex = 1;
    if (!p.openFileDialog(g_insertDlg)) return 1;
    Handle h = p.openFile(g_insertDlg.file, kAccessRead, kShareRead, Disposition::OpenExisting);
    if (h == kInvalidHandle) {
        reportError(kReadErrorPrefix, g_insertDlg.file);
        return 1;
    }
    uint64_t len = 0;
    uint64_t at = g_doc.AnfPtr + g_doc.ViewOfs + g_doc.CurOfs;
    if (!p.fileSize(h, &len)) {
        reportError(kReadErrorPrefix, g_insertDlg.file);
        p.closeHandle(h);
        return 1;
    }
    if (at > g_doc.FileSize || len > g_doc.FileSize - at) {
        p.closeHandle(h);
        p.messageBox("Die Datei ist leider zu groß für diese Aktion !", "Datei zu groß !",
                     kMbOkCancel);
        return 1;
    }
    FileFeed feed{h, g_insertDlg.file};
    writeRun(at, len, feedFile, &feed);
    p.closeHandle(h);
    return 0;
}
