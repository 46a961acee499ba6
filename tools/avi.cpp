#include "tools/avi.h"

#include <cstring>

#include "access/docstate.h"
#include "access/errors.h"
#include "access/files.h"
#include "access/textutil.h"
#include "app/tables.h"
#include "edit/commit.h"
#include "edit/input.h"
#include "journal/chain.h"
#include "journal/format.h"
#include "journal/overlay.h"
#include "platform/platform.h"
#include "view/mouse.h"
#include "view/navigation.h"
#include "view/paint.h"
#include "view/refresh.h"
#include "view/scroll.h"
#include "view/status.h"

ChunkCursor g_chunk;
AviState g_avi;

static constexpr uint32_t kRiff = fourCC("RIFF"), kList = fourCC("LIST"), kMovi = fourCC("movi");
static constexpr uint32_t kNotThere = fourCC("n.v."), kPlaceholder = 0x39;
static constexpr uint32_t kLow24 = 0xFFFFFF;

void resetAviState() {
    std::memset(&g_chunk, 0, sizeof g_chunk);
    g_avi = {};
    aviFileOpened();
}

void aviFileOpened() {
    g_avi.videoId = g_avi.audioId = kPlaceholder;
    g_avi.compression = 0;
    g_avi.flags = 0;
    g_avi.resume = false;
    g_avi.info[0] = 0;
}

// ---- page access ----

// A word of the page buffer; bytes beyond the loaded data read as 0.
static uint32_t pageWord(uint32_t off) {
    uint32_t v = 0;
    for (uint32_t i = 0; i < 4; ++i) {
        uint32_t k = off + i;
        if (k < g_doc.PageLen && k < 1024) v |= uint32_t(g_doc.PageBuf[k]) << (8 * i);
    }
    return v;
}

// The page moves (through the page movers, pending inputs committed) so that `pos` is the
// window's top-left byte; the window start may lie in the last block beyond Blk2Flag.
static void movePageTo(uint64_t pos) {
    g_doc.ReadPtr = pos & ~uint64_t(511);
    gotoPage();
    g_doc.ViewOfs = uint32_t(pos & 511);
}

static void showWindow() {
    showPage(kShowKeepView);
}

// ---- the walk ----

void restartChunks(uint32_t start) {
    g_chunk.next = start;
    g_chunk.cur = g_chunk.prev = 0;
}

int stepChunk() {
    if (g_chunk.next >= g_doc.FileSize) {
        fileEnd();
        return 1;
    }
    movePageTo(g_chunk.next);
    uint32_t w = g_doc.ViewOfs;
    g_chunk.id = pageWord(w);
    uint32_t size = pageWord(w + 4);
    g_chunk.listType = pageWord(w + 8);
    // RIFF pads odd chunks to an even length. In 64 bits a size of 0xFFFFFFF8 or more cannot
    // wrap to a step of 0, so every walk ends within the file's size.
    g_chunk.total = uint64_t(size) + 8 + (size & 1);
    g_chunk.prev = g_chunk.cur;
    g_chunk.cur = g_chunk.next;
    g_chunk.next += g_chunk.total;
    return 0;
}

int showChunk() {
    if (!sourceOpen()) return 1;
    if (stepChunk()) return 1;
    g_doc.MarkStart = g_chunk.cur;
    g_doc.MarkEnd = g_chunk.next < g_doc.FileSize ? g_chunk.next : g_doc.FileSize;
    g_doc.MarkFlag = 3;
    markingShown();
    showWindow();
    return 0;
}

int enterChunkList(bool show) {
    if (!sourceOpen()) return 1;
    uint64_t n = g_doc.AnfPtr + g_doc.ViewOfs + 12;
    g_chunk.next = n;
    // No room for a sub-chunk's header.
    if (n + 8 > g_doc.FileSize) return 1;
    g_chunk.cur = n;
    return show ? showChunk() : stepChunk();
}

int firstChunk() {
    if (!sourceOpen()) return 1;
    restartChunks(0);
    return showChunk();
}

int nextChunk() {
    return showChunk();
}

int chunkDown() {
    return enterChunkList(true);
}

int markAviChunk() {
    if (!sourceOpen() || !g_open.aviFlag) return 1;
    g_chunk.next = g_chunk.cur = cursorPosition();
    return showChunk();
}

// The list whose header is the current chunk, entered even when playback shows another place.
static int enterCurrentList() {
    if (g_doc.AnfPtr + g_doc.ViewOfs != g_chunk.cur) movePageTo(g_chunk.cur);
    return enterChunkList(false);
}

// ---- scan support ----

// "LIST" "INFO" holds text chunks of any name (ISFT, INAM, ...): a scan steps over it whole.
static bool textList() {
    return g_chunk.listType == fourCC("INFO");
}

bool knownChunkId(uint32_t id) {
    static const char *const kKnown[] = {"JUNK", "LIST", "RIFF", "segm", "avih", "strf", "strh",
                                         "strd", "dmlh", "rec ", "indx", "00__", "vprp"};
    for (const char *k : kKnown)
        if (id == fourCC(k)) return true;
    if (id == g_avi.videoId || id == g_avi.audioId) return id > kLow24; // placeholders are not ids
    uint32_t low = id & kLow24;
    return low == (fourCC("idx") & kLow24) || low == (fourCC("ix0") & kLow24);
}

// Progress and polling are paced by time: the first call and then every 30 ms.
static bool due() {
    return g_avi.pace.due();
}

static void drawActivity() {
    g_status.indicator[1] = char(g_avi.activity);
    drawModeIndicator();
    g_avi.activity = g_avi.activity >= 0xE5 ? 0xE0 : uint8_t(g_avi.activity + 1);
}

// One typed key of a scan or playback; true for space or Esc (stop).
static bool takeKey(int k) {
    uint32_t step = g_scroll.lineStep;
    switch (k) {
    case '+':
        g_avi.playOffset += 512;
        break;
    case '-':
        if (g_avi.playOffset >= 512) g_avi.playOffset -= 512;
        break;
    case '>':
        g_avi.playOffset += step;
        break;
    case '<':
        if (g_avi.playOffset >= step) g_avi.playOffset -= step;
        break;
    case ' ':
    case 27:
        return true;
    default:
        break;
    }
    return false;
}

static bool pollScan() {
    if (!due()) return false;
    drawActivity();
    return takeKey(plat().pollMessage());
}

static void askIndirect() {
    if (!(g_doc.AccessFlag & kAccDirect)) return;
    if (plat().messageBox(
            "Die Datei befindet sich im Direkt-Zugriff!\n\nFür diesen Vorgang ist der "
            "indirekte Zugriff empfehlenswert.\n\n\nSoll auf indirekten Zugriff "
            "umgestellt werden?",
            "Auf indirekten Zugriff umstellen?",
            kMbYesNo | kMbIconInformation | kMbTaskModal) == kIdYes)
        showJournalMode();
}

static void beginScan() {
    showScanAvi();
    g_avi.activity = 0xE0;
    g_avi.pace = Pacer{};
}

static void endScan() {
    endTransient();
    drawStatusLine();
    showWindow();
}

static bool askCorrect() {
    if (g_avi.repairConfirmed) return true;
    if (plat().messageBox("Es sind Fehler in der Chunk-Struktur enthalten.\n\nDie letzte korrekte "
                          "Chunk-Adresse ist jeweils oben links angezeigt.\n\nSollen die Fehler "
                          "korrigiert werden?",
                          "Fehler in Chunk-Struktur",
                          kMbYesNo | kMbIconQuestion | kMbTaskModal) != kIdYes)
        return false;
    g_avi.repairConfirmed = true;
    return true;
}

// The repaired size field in the input colours until the page moves on.
static void drawInputCells(uint32_t k) {
    Platform &p = plat();
    p.beginDraw();
    for (uint32_t i = 0; i < 4; ++i, ++k) {
        if (k < g_doc.ViewOfs || k - g_doc.ViewOfs >= 512) continue;
        uint32_t off = k - g_doc.ViewOfs;
        int c = int(off & 15), y = int((off >> 4) + 1) * g_geom.lh;
        char text[67];
        formatPartialRow(g_doc.PageBuf + (k - uint32_t(c)), 16, text);
        p.textOut(g_geom.hexX + kHexColumnOffset[c] * g_geom.cw, y, text + kHexColumnOffset[c], 2,
                  kInputBg);
        p.textOut(g_geom.hexX + (51 + c) * g_geom.cw, y, text + 51 + c, 1, kInputBg);
    }
    p.endDraw();
}

// ---- scan and repair ----

// Distance from `cur` to the nearest known id in one direction (at most 255 bytes), or -1.
// Backward the page pair starts a block earlier, so that the search is not cut short by
// the start of the buffer; the found chunk must begin after the last correct one's header.
static int32_t nearestKnown(uint64_t cur, uint64_t prev, bool forward) {
    uint64_t origin = cur & ~uint64_t(511);
    if (!forward && origin >= 512) origin -= 512;
    g_doc.ReadPtr = origin;
    gotoPage();
    int32_t w = int32_t(cur - origin);
    for (int32_t d = 0; d < 256; ++d) {
        int32_t o = forward ? w + d : w - d;
        if (o < 0 || o >= 1017) break;
        if (uint32_t(o) + 4 > g_doc.PageLen || origin + uint32_t(o) < prev + 8) continue;
        if (knownChunkId(pageWord(uint32_t(o)))) return d;
    }
    return -1;
}

int repairChunkGap() {
    uint64_t cur = g_chunk.cur, prev = g_chunk.prev;
    // Without a correct chunk before the wrong one there is no size to mend.
    if (prev >= cur) return 1;
    int32_t ahead = nearestKnown(cur, prev, true), back = nearestKnown(cur, prev, false);
    if (ahead < 0 && back < 0) return 1;
    // At equal distance the later place wins.
    uint64_t target =
        ahead >= 0 && (back < 0 || ahead <= back) ? cur + uint32_t(ahead) : cur - uint32_t(back);
    int32_t size = clampedDiff(target, prev + 8);
    g_chunk.next = g_chunk.cur = prev;
    if (stepChunk()) return 0;
    uint32_t k = g_doc.ViewOfs + 4;
    for (uint32_t i = 0; i < 4; ++i) {
        g_doc.PageBuf[k + i] = uint8_t(uint32_t(size) >> (8 * i));
        setModBit(k + i);
        int block = k + i < 512 ? 1 : 2;
        g_doc.InputFlag |= block == 1 ? kInputBlk1 : kInputBlk2;
        pageRecord(block).Flags &= ~(kFlagContinues | kFlagFromPrevious);
    }
    g_doc.MarkFlag &= ~6u;
    showWindow();
    drawInputCells(k);
    g_chunk.next = target;
    stepChunk();
    showWindow();
    return 0;
}

int scanAviHeader() {
    if (!sourceOpen()) return 1;
    askIndirect();
    beginScan();
    g_avi.repairConfirmed = false;
    restartChunks(12);
    if (stepChunk()) {
        endScan();
        return 0;
    }
    for (;;) {
        if (pollScan()) {
            g_avi.resume = true;
            endScan();
            return 0;
        }
        if (g_chunk.id == kRiff || (g_chunk.id == kList && !textList())) {
            if (g_chunk.listType == kMovi || enterCurrentList()) break;
        }
        if (!knownChunkId(g_chunk.id)) {
            showTopLeft(g_chunk.prev, kAddressBg);
            if (!askCorrect()) {
                endScan();
                return 1;
            }
            if (repairChunkGap()) break;
            continue;
        }
        if (stepChunk()) break;
    }
    endScan();
    return 0;
}

int repairAvi() {
    if (!sourceOpen()) return 1;
    if (!g_avi.warned) {
        g_avi.warned = true;
        if (plat().messageBox("Experimentell !", "Experimentell ! ", kMbOkCancel | kMbTaskModal) !=
            kIdOk)
            return 1;
    }
    askIndirect();
    if (g_avi.flags & kAviAnalysed) {
        if ((g_avi.flags & kAviNoVideo) && (g_avi.flags & kAviNoAudio)) {
            g_avi.resume = false;
            return 1;
        }
        if (g_avi.resume) {
            g_chunk.next = g_chunk.cur;
            if (stepChunk()) {
                g_avi.resume = false;
                return 1;
            }
        } else {
            restartChunks(12);
            stepChunk();
        }
    } else {
        if (analyseAvi()) {
            g_avi.resume = false;
            return 1;
        }
        restartChunks(12);
        stepChunk();
    }
    beginScan();
    for (;;) {
        if (pollScan()) {
            g_avi.resume = true;
            endScan();
            return 0;
        }
        if (g_chunk.id == kRiff || (g_chunk.id == kList && !textList())) {
            if (enterCurrentList()) break;
        }
        if (!knownChunkId(g_chunk.id)) {
            showTopLeft(g_chunk.cur, kAddressBg);
            if (repairChunkGap()) break;
            continue;
        }
        if (stepChunk()) break;
    }
    g_avi.resume = false;
    endScan();
    return 0;
}

// ---- analysis and information ----

static void appendWord(char *text, uint32_t v) {
    char s[5] = {char(v), char(v >> 8), char(v >> 16), char(v >> 24), 0};
    appendString(text, s, sizeof g_avi.info);
}

static void appendNumberLine(const char *label, uint32_t v) {
    char field[13];
    formatDecimal10(v, field);
    field[12] = 0;
    appendString(g_avi.info, label, sizeof g_avi.info);
    appendString(g_avi.info, field, sizeof g_avi.info);
}

// The four lines of the main header "avih" at the current chunk.
static void headerLines() {
    uint32_t w = g_doc.ViewOfs;
    g_avi.info[0] = 0;
    appendNumberLine("µs pro Frame:       ", pageWord(w + 8));
    appendString(g_avi.info, "interleaved:                  ", sizeof g_avi.info);
    appendString(g_avi.info, (pageWord(w + 20) & 0x100) ? "ja  \r\n" : "nein\r\n",
                 sizeof g_avi.info);
    appendNumberLine("Breite:                    ", pageWord(w + 40));
    appendNumberLine("Höhe:                    ", pageWord(w + 44));
}

static uint32_t searchId(char letter) {
    return uint32_t(uint8_t(g_avi.counter[0])) | uint32_t(uint8_t(g_avi.counter[1])) << 8 |
           uint32_t(uint8_t(letter)) << 16;
}

// A stream header "strh": its type decides what the stream number stands for.
static void streamHeader() {
    uint32_t type = g_chunk.listType;
    if (type == fourCC("vids") || type == fourCC("iavs")) {
        g_avi.videoId = searchId('d');
        g_avi.compression = pageWord(g_doc.ViewOfs + 12);
    } else if (type == fourCC("auds")) {
        g_avi.audioId = searchId('w');
    } else {
        return;
    }
    g_avi.counter[1] = char(g_avi.counter[1] + 1);
}

// Inside "movi": the first data chunk of each stream gives its full id.
static void findDataIds() {
    if (enterCurrentList()) return;
    bool two = g_avi.counter[0] > '0' || g_avi.counter[1] >= '2';
    uint32_t *first = nullptr;
    for (;;) {
        uint32_t low = g_chunk.id & kLow24;
        if (g_chunk.id == kList || g_chunk.id == kRiff) {
            if (enterCurrentList()) return;
            continue;
        }
        uint32_t *hit = nullptr;
        if (first != &g_avi.videoId && low == (g_avi.videoId & kLow24))
            hit = &g_avi.videoId;
        else if (first != &g_avi.audioId && low == (g_avi.audioId & kLow24))
            hit = &g_avi.audioId;
        if (hit) {
            *hit = g_chunk.id;
            if (first || !two) {
                if (!first) *(hit == &g_avi.videoId ? &g_avi.audioId : &g_avi.videoId) = kNotThere;
                return;
            }
            first = hit;
        }
        if (stepChunk()) return;
    }
}

static void streamLine(const char *label, uint32_t id, uint32_t noFlag) {
    if ((id >> 24) == 0) {
        g_avi.flags |= noFlag;
        return;
    }
    appendString(g_avi.info, label, sizeof g_avi.info);
    appendWord(g_avi.info, id);
    appendString(g_avi.info, "\r\n", sizeof g_avi.info);
}

int analyseAvi() {
    if (!sourceOpen()) return 1;
    uint64_t keepCur = g_chunk.cur, keepPrev = g_chunk.prev;
    g_avi.counter[0] = g_avi.counter[1] = '0';
    if (scanAviHeader()) return 1;
    restartChunks(12);
    if (stepChunk() == 0) {
        g_avi.info[0] = 0;
        bool header = false;
        for (;;) {
            uint32_t id = g_chunk.id, type = g_chunk.listType;
            if (id == kList && type == kMovi) {
                findDataIds();
                break;
            }
            if (id == fourCC("idx1")) break;
            if (id == kList && (type == fourCC("hdrl") || type == fourCC("strl"))) {
                if (enterCurrentList()) break;
                continue;
            }
            if (id == fourCC("avih") && !header) {
                headerLines();
                header = true;
            } else if (id == fourCC("strh")) {
                streamHeader();
            }
            if (stepChunk()) break;
        }
        streamLine("Video Stream:             ", g_avi.videoId, kAviNoVideo);
        streamLine("Audio Stream:             ", g_avi.audioId, kAviNoAudio);
        appendString(g_avi.info, "Kompression:              ", sizeof g_avi.info);
        appendWord(g_avi.info, g_avi.compression);
    }
    g_avi.flags |= kAviAnalysed;
    g_chunk.next = keepCur;
    g_chunk.cur = keepPrev;
    stepChunk();
    showWindow();
    if ((g_avi.flags & kAviNoVideo) && (g_avi.flags & kAviNoAudio)) {
        plat().messageBox("Das Programm konnte keine StreamIDs identifizieren!", "keine StreamIDs",
                          kMbOk | kMbTaskModal);
        return 1;
    }
    return 0;
}

int showAviInfo() {
    if (!sourceOpen()) return 1;
    if (!(g_avi.flags & kAviAnalysed)) analyseAvi();
    plat().messageBox(g_avi.info, "AVI Datei-Information", kMbOk | kMbTaskModal);
    return 0;
}

// The first data chunk of either stream as the window's top-left byte.
static int findFilmStart() {
    if (!(g_avi.flags & kAviAnalysed) && analyseAvi()) return 1;
    g_avi.resume = false;
    restartChunks(12);
    if (stepChunk()) return 1;
    while (!(g_chunk.id == kList && g_chunk.listType == kMovi))
        if (stepChunk()) return 1;
    if (enterCurrentList()) return 1;
    while (g_chunk.id != g_avi.videoId && g_chunk.id != g_avi.audioId)
        if (stepChunk()) return 1;
    showWindow();
    g_avi.resume = true;
    return 0;
}

int gotoFilmStart() {
    if (!sourceOpen()) return 1;
    return findFilmStart();
}

// The offset field "Ofs:> < +- " with the playback offset, in the top-left field.
static void drawOffsetField() {
    char text[22];
    std::memcpy(text, "Ofs:> < +-", 10);
    formatHex32(g_avi.playOffset, text + 19);
    text[20] = ' ';
    plat().beginDraw();
    plat().textOut(0, 0, text, 21, kAddressBg);
    plat().endDraw();
}

// stepChunk, with the page then shown from the playback offset into the chunk.
static int playStep() {
    if (stepChunk()) return 1;
    uint64_t at = g_chunk.cur + g_avi.playOffset;
    if (g_avi.playOffset != 0 && at < g_doc.FileSize) movePageTo(at);
    return 0;
}

int playStream(bool audio) {
    if (!sourceOpen()) return 1;
    lockSource();
    askIndirect();
    g_avi.playAudio = audio;
    int failed;
    if ((g_avi.flags & kAviAnalysed) && g_avi.resume) {
        g_chunk.next = g_chunk.cur;
        failed = stepChunk();
    } else {
        failed = findFilmStart();
    }
    bool ids = !((g_avi.flags & kAviNoVideo) && (g_avi.flags & kAviNoAudio));
    if (!failed && ids) {
        showVideoPlay();
        g_avi.activity = 0xE0;
        g_avi.pace = Pacer{};
        g_avi.repairConfirmed = false;
        for (;;) {
            if (due()) drawActivity();
            // One message per step, as auto scroll takes them.
            if (takeKey(plat().pollMessage())) {
                g_avi.resume = true;
                endTransient();
                showWindow();
                return 0;
            }
            uint32_t sel = audio ? g_avi.audioId : g_avi.videoId, id = g_chunk.id;
            if (id == kRiff || (id == kList && g_chunk.listType == kMovi)) {
                if (enterCurrentList()) break;
                continue;
            }
            if (id == kList) {
                if (stepChunk()) break;
                continue;
            }
            if (id == sel) {
                showWindow();
                drawOffsetField();
            } else if (!knownChunkId(id)) {
                if (g_doc.AnfPtr + g_doc.ViewOfs != g_chunk.cur) movePageTo(g_chunk.cur);
                showWindow();
                showTopLeft(g_chunk.prev, kAddressBg);
                if (!askCorrect() || repairChunkGap()) break;
                continue;
            }
            if (playStep()) break;
        }
    }
    endTransient();
    g_avi.resume = false;
    showWindow();
    return 0;
}

int playVideo() {
    return playStream(false);
}

int playAudio() {
    return playStream(true);
}
