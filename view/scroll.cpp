#include "view/scroll.h"

#include "access/docstate.h"
#include "view/status.h"
#include "platform/platform.h"

ScrollState g_scroll;

void resetScrollState() {
    g_scroll = ScrollState{};
    applyScrollRaster(1);
}

static uint32_t significantBits(uint64_t v) {
    uint32_t n = 0;
    while (v) {
        ++n;
        v >>= 1;
    }
    return n;
}

void applyScrollRaster(uint32_t mode) {
    // The four rasters: mode word, align and remainder masks, lock, line step, indicator.
    static const struct {
        uint32_t mode, alignMask, remMask, lock, lineStep;
        const char *indicator;
    } kRasters[] = {
        {1, 0xFFFFFFFF, 0, 0, 16, "         "},
        {2, 0xFFFFFFF0, 15, 16, 16, "Line lock"},
        {4, 0xFFFFFF00, 255, 256, 256, "256B lock"},
        {8, 0xFFFFFE00, 1023, 512, 512, "Page lock"},
    };
    int k = 0; // an unknown mode word is "Byte"
    for (int i = 0; i < 4; ++i)
        if (kRasters[i].mode == mode) k = i;
    g_scroll.mode = kRasters[k].mode;
    g_scroll.alignMask = kRasters[k].alignMask;
    g_scroll.remMask = kRasters[k].remMask;
    g_scroll.lock = kRasters[k].lock;
    g_scroll.lineStep = kRasters[k].lineStep;
    setRasterIndicator(kRasters[k].indicator);
}

static uint32_t highWord() {
    return uint32_t(g_doc.FileSize >> 32) & 0x7FFFFFFF;
}

bool scrollHighMode() {
    return highWord() >= 32768;
}

void computeScrollRange() {
    uint32_t high = highWord();
    if (high < 32768) {
        uint32_t v = uint32_t(g_doc.LastPairPtr >> 15);
        g_doc.ScrollShift = significantBits(v);
        if (g_doc.ScrollShift > 0)
            g_scroll.maximum = int32_t((g_doc.LastBlkPtr >> g_doc.ScrollShift) | 0x3FF);
        else
            g_scroll.maximum = int32_t(g_doc.LastBlkPtr);
    } else {
        g_doc.ScrollShift = 1 + significantBits(high >> 15);
        g_scroll.maximum = int32_t(high >> g_doc.ScrollShift);
    }
    plat().setScrollRange(0, g_scroll.maximum, kScrollPage);
    computeWheelSteps();
}

void computeWheelSteps() {
    uint64_t size = g_doc.FileSize;
    uint32_t high = uint32_t(size >> 32), low = uint32_t(size);
    // Beyond 4 TiB the kilobyte count no longer fits 32 bits: it saturates, so the steps
    // stay as large as the largest the table allows.
    uint64_t kib = size / 1024;
    uint32_t s = kib > 0xFFFFFFFFu ? 0xFFFFFFFFu : uint32_t(kib);
    auto round512 = [](uint64_t v) { return uint32_t(v & ~uint64_t(511)); };
    uint32_t *sm = g_scroll.wheelSmall, *lg = g_scroll.wheelLarge;
    if (high == 0 && low < 0x80000) {
        sm[0] = s > 16 ? s : 16;
        lg[0] = 0;
        sm[1] = s / 16 > 16 ? s / 16 : 16;
        lg[1] = 0;
        if (16 * s >= 512) {
            sm[2] = 0;
            lg[2] = round512(16 * uint64_t(s));
        } else {
            sm[2] = 16 * s;
            lg[2] = 0;
        }
    } else if (high <= 16384) {
        sm[0] = 0;
        lg[0] = round512(s);
        if (s / 16 < 512) {
            sm[1] = s / 16;
            lg[1] = 0;
        } else {
            sm[1] = 0;
            lg[1] = round512(s / 16);
        }
        sm[2] = 0;
        lg[2] = s >= 0xFFFFFE0 ? 0xFFFFFE00 : round512(16 * uint64_t(s));
    } else {
        sm[0] = 0;
        lg[0] = 0xFFFFFE00;
        sm[1] = 0;
        lg[1] = 0x0FFFFE00;
        sm[2] = 0;
        lg[2] = 0xFFFFFE00;
    }
}

int32_t scrollPosition() {
    if (scrollHighMode()) return int32_t(uint32_t(g_doc.AnfPtr >> 32) >> g_doc.ScrollShift);
    uint64_t pos = g_doc.AnfPtr + (g_doc.ViewOfs & ~15u);
    return int32_t(pos >> g_doc.ScrollShift);
}

void setScrollPosition() {
    plat().setScrollPos(scrollPosition());
}
