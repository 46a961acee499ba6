#include "save/resize.h"

#include <cstring>

#include "access/docstate.h"
#include "access/errors.h"
#include "access/files.h"
#include "access/rollback.h"
#include "access/textutil.h"
#include "app/settings.h"
#include "edit/commit.h"
#include "journal/chain.h"
#include "journal/format.h"
#include "journal/lifecycle.h"
#include "res/resource.h"
#include "save/save.h"
#include "view/mouse.h"
#include "view/refresh.h"
#include "view/scroll.h"

ResizeState g_resize;

// clang-format off
const SizeField kSizeFieldTable[kSizeFields] = {
    {IDC_SIZE_GROW_BYTES_DEC, 0, 0, false, 18},  {IDC_SIZE_GROW_BYTES_HEX, 0, 0, true, 15},
    {IDC_SIZE_GROW_SECT_DEC, 0, 9, false, 16},   {IDC_SIZE_GROW_SECT_HEX, 0, 9, true, 13},
    {IDC_SIZE_GROW_KB_DEC, 0, 10, false, 15},    {IDC_SIZE_GROW_KB_HEX, 0, 10, true, 13},
    {IDC_SIZE_GROW_MB_DEC, 0, 20, false, 12},    {IDC_SIZE_GROW_MB_HEX, 0, 20, true, 10},
    {IDC_SIZE_GROW_GB_DEC, 0, 30, false, 9},     {IDC_SIZE_GROW_GB_HEX, 0, 30, true, 8},
    {IDC_SIZE_NEW_BYTES_DEC, 1, 0, false, 18},   {IDC_SIZE_NEW_BYTES_HEX, 1, 0, true, 15},
    {IDC_SIZE_NEW_SECT_DEC, 1, 9, false, 16},    {IDC_SIZE_NEW_SECT_HEX, 1, 9, true, 13},
    {IDC_SIZE_NEW_KB_DEC, 1, 10, false, 15},     {IDC_SIZE_NEW_KB_HEX, 1, 10, true, 13},
    {IDC_SIZE_NEW_MB_DEC, 1, 20, false, 12},     {IDC_SIZE_NEW_MB_HEX, 1, 20, true, 10},
    {IDC_SIZE_NEW_GB_DEC, 1, 30, false, 9},      {IDC_SIZE_NEW_GB_HEX, 1, 30, true, 8},
};
// clang-format on

void resetResizeState() {
    g_resize = ResizeState{};
}

// ---- field texts ----

static int digitValue(char c, bool hex) {
    if (c >= '0' && c <= '9') return c - '0';
    if (hex && c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (hex && c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

void groupDigits(const char *in, bool hex, int maxDigits, bool sign, char *out, int size) {
    char digits[64];
    int n = 0;
    bool negative = false;
    for (const char *p = in; *p; ++p) {
        if (*p == '-' && n == 0) negative = sign;
        if (digitValue(*p, hex) < 0) continue;
        if (n == 0 && *p == '0') continue; // leading zeros
        if (n < maxDigits && n < int(sizeof digits)) digits[n++] = *p;
    }
    if (n == 0) negative = false;
    int group = hex ? 4 : 3, k = 0;
    auto put = [&](char c) {
        if (k < size - 1) out[k++] = c;
    };
    if (negative) put('-');
    if (n == 0) put('0');
    for (int i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % group == 0) put(' ');
        put(hex && digits[i] >= 'a' ? char(digits[i] - 32) : digits[i]);
    }
    out[k] = 0;
}

void sizeFieldText(const SizeField &f, int64_t value, char *out, int size) {
    int64_t units = value / (int64_t(1) << f.shift);
    uint64_t mag = units < 0 ? uint64_t(0) - uint64_t(units) : uint64_t(units);
    char raw[32];
    int k = 0;
    if (units < 0) raw[k++] = '-';
    char rev[24];
    int r = 0;
    do {
        unsigned d = unsigned(mag % (f.hex ? 16 : 10));
        rev[r++] = char(d < 10 ? '0' + d : 'A' + d - 10);
        mag /= f.hex ? 16 : 10;
    } while (mag);
    while (r)
        raw[k++] = rev[--r];
    raw[k] = 0;
    groupDigits(raw, f.hex, 24, true, out, size);
}

// ---- dialog 160 ----

static int fieldCode(int id) {
    for (int i = 0; i < kSizeFields; ++i)
        if (kSizeFieldTable[i].id == id) return i;
    return -1;
}

// The longest grouped text a field can hold: its digits, the blanks between their groups
// and a sign.
static int fieldLimit(const SizeField &f) {
    return f.digits + (f.digits - 1) / (f.hex ? 4 : 3) + 1;
}

static int64_t groupValue(int group) {
    return group == 0 ? g_resize.GrowBy : int64_t(g_resize.NewSize);
}

void SizeDialog::refresh(DialogHost &host) {
    g_resize.busy = true;
    for (int i = 0; i < kSizeFields; ++i) {
        if (uint32_t(i + 1) == g_resize.SizeSource) continue;
        const SizeField &f = kSizeFieldTable[i];
        char text[40];
        sizeFieldText(f, groupValue(f.group), text, sizeof text);
        host.setText(f.id, text);
    }
    g_resize.busy = false;
}

void SizeDialog::typed(DialogHost &host, int code) {
    const SizeField &f = kSizeFieldTable[code];
    char text[80], grouped[40];
    host.getText(f.id, text, sizeof text);
    // Only the amount to add can be negative: the new size has no sign.
    groupDigits(text, f.hex, f.digits, f.group == 0, grouped, sizeof grouped);
    if (std::strcmp(text, grouped) != 0) {
        g_resize.busy = true;
        host.setText(f.id, grouped);
        int len = int(std::strlen(grouped));
        host.select(f.id, len, len);
        g_resize.busy = false;
    }
    bool negative = grouped[0] == '-';
    const char *digits = negative ? grouped + 1 : grouped;
    // At most 18 decimal or 15 hexadecimal digits of bytes: no product below overflows.
    uint64_t v = (f.hex ? parseHex64(digits) : parseDec64(digits)) << f.shift;
    uint64_t size = g_doc.FileSize;
    if (f.group == 0) {
        if (negative) {
            g_resize.NewSize = v >= size ? 0 : size - v;
        } else {
            uint64_t room = uint64_t(INT64_MAX) - size;
            g_resize.NewSize = size + (v < room ? v : room);
        }
    } else {
        g_resize.NewSize = v;
    }
    g_resize.GrowBy = int64_t(g_resize.NewSize - size);
    g_resize.SizeSource = uint32_t(code + 1);
    refresh(host);
}

void SizeDialog::init(DialogHost &host) {
    g_resize.GrowBy = 0;
    g_resize.NewSize = g_doc.FileSize;
    g_resize.SizeFocus = 0;
    g_resize.SizeSource = 0;
    host.setCheck(IDC_SIZE_MARK_GROWTH, (g_settings.sizeDialogOpt & kMarkGrowth) != 0);
    for (const SizeField &f : kSizeFieldTable)
        host.setLimit(f.id, fieldLimit(f));
    refresh(host);
}

bool SizeDialog::command(DialogHost &host, int id, int notify) {
    if (id == kIdOk || id == kIdCancel) {
        host.end(id);
        return true;
    }
    if (id == IDC_SIZE_MARK_GROWTH) {
        if (host.getCheck(id))
            g_settings.sizeDialogOpt |= kMarkGrowth;
        else
            g_settings.sizeDialogOpt &= ~kMarkGrowth;
        return true;
    }
    int code = fieldCode(id);
    if (code < 0) return false;
    const SizeField &f = kSizeFieldTable[code];
    uint32_t bit = 1u << code;
    char text[40];
    switch (notify) {
    case kNotifySetFocus: {
        g_resize.SizeFocus |= bit;
        host.setLimit(id, fieldLimit(f));
        int len = host.getText(id, text, sizeof text);
        if (g_settings.valuesReturn & 0x8)
            host.select(id, 0, len);
        else
            host.select(id, len, len);
        return true;
    }
    case kNotifyKillFocus:
        g_resize.SizeFocus &= ~bit;
        g_resize.busy = true;
        sizeFieldText(f, groupValue(f.group), text, sizeof text);
        host.setText(id, text);
        g_resize.busy = false;
        return true;
    case kNotifyChange:
        // The program's own rewrites, and fields without the focus, change nothing.
        if (!g_resize.busy && (g_resize.SizeFocus & bit)) typed(host, code);
        return true;
    }
    return false;
}

// ---- the size change ----

// Records of blocks that lie beyond the new end no longer show or save anything: their bytes
// are gone with the end of the file. They stay in every chain, so that the journal keeps its
// shape; a block cut in two keeps its record for the bytes that remain.
static void cutRecords(uint64_t newSize) {
    JournalHeader &h = g_jnl.Header;
    if (!journalHasEdits()) return;
    JournalRecord r{};
    uint64_t p = h.LastPtr, limit = entryCount();
    for (uint64_t steps = 0; !isNullPtr(p) && steps <= limit; ++steps) {
        if (!readFields(p, r)) return;
        r.JAdr = p;
        if (r.Adr + r.Len <= newSize) return;
        if (r.Adr >= newSize) {
            r.Flags = (r.Flags | kFlagInSource | kFlagHidden) & ~0x4u;
        } else {
            r.Len = uint32_t(newSize - r.Adr);
        }
        if (!rewriteRecord(r, kPrefixFields)) return;
        p = r.PrevPtr;
    }
}

int resizeSource(uint64_t newSize) {
    if (!sourceOpen() || diskMode()) return 1;
    uint64_t old = g_doc.FileSize;
    if (newSize == old) return 1;
    bool shrink = newSize < old;
    int answer =
        shrink ? askYesNo("ACHTUNG !\nSoll die Datei wirklich verkleinert werden ?",
                          "VERKLEINERN ?", true)
               : askYesNo("Soll die Datei wirklich vergrößert werden ?", "VERGRÖßERN ?", true);
    if (answer != kIdYes) return 1;
    if (ensureWritable(false)) return 1;
    // Reopening reads the size again.
    old = g_doc.FileSize;
    if (newSize == old || shrink != (newSize < old)) return 1;
    // Growing needs room for the added bytes only; shrinking frees room.
    if (!shrink && checkFreeSpace(g_doc.SrcName, newSize - old)) return 1;
    settlePendingInputs();
    uint64_t anf = g_doc.AnfPtr;
    uint32_t view = g_doc.ViewOfs;
    Platform &p = plat();
    // The old length is kept first: a crash takes a growth back.
    if (!rollbackBeforeResize()) return 1;
    if (!p.seekFile(g_doc.SrcHandle, newSize) || !p.setEndOfFile(g_doc.SrcHandle)) {
        reportError(kWriteErrorPrefix, g_doc.SrcName);
        uint64_t now = old;
        newSize = p.fileSize(g_doc.SrcHandle, &now) ? now : old;
    }
    if (newSize < old && journalOpen()) cutRecords(newSize);
    FileTimes t{};
    if (p.getFileTimes(g_doc.SrcHandle, &t)) g_open.srcTimes = t;
    g_doc.FileSize = newSize;
    computeSizeFields();
    computeScrollRange();
    computeWheelSteps();
    if (newSize > old && (g_settings.sizeDialogOpt & kMarkGrowth)) {
        g_doc.MarkStart = old;
        g_doc.MarkEnd = newSize;
        g_doc.MarkFlag = 7;
        markingShown();
    }
    if (journalOpen()) flushJournalHeader();
    showPageAt(anf, view, kShowPrimed | kShowStatus);
    return 0;
}

int resizeCommand() {
    if (!sourceOpen()) return 1;
    if (diskMode()) {
        // A drive keeps the size it has.
        plat().messageBox("Die Größe eines Laufwerks kann nicht geändert werden !", "Vergrößern",
                          kMbOk | kMbIconInformation | kMbTaskModal);
        return 1;
    }
    settlePendingInputs();
    SizeDialog dlg;
    if (plat().runModalDialog(IDD_SIZE, dlg) != kIdOk) return 1;
    return resizeSource(g_resize.NewSize);
}
