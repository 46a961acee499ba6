#include "tools/values.h"

#include <cstring>

#include "access/docstate.h"
#include "access/textutil.h"
#include "app/settings.h"
#include "app/tables.h"
#include "edit/commit.h"
#include "edit/input.h"
#include "journal/lifecycle.h"
#include "journal/overlay.h"
#include "platform/platform.h"
#include "res/resource.h"
#include "tools/gotodlg.h"
#include "view/navigation.h"
#include "view/paint.h"
#include "view/refresh.h"

ValuesWindowState g_values;

namespace {

struct ValueField {
    int id;
    unsigned radix;
    uint32_t width, offset; // bytes of the value buffer the field shows
    int digits;             // the most that can be typed
    uint32_t step;          // how far "nächstes Datenwort" moves from this field
};

const ValueField kFields[] = {
    {IDC_VAL_BYTE_HEX, 16, 1, 0, 2, 1},  {IDC_VAL_BYTE_DEC, 10, 1, 0, 3, 1},
    {IDC_VAL_WORD_HEX, 16, 2, 0, 4, 2},  {IDC_VAL_WORD_DEC, 10, 2, 0, 5, 2},
    {IDC_VAL_DWORD_HEX, 16, 4, 0, 8, 4}, {IDC_VAL_DWORD_DEC, 10, 4, 0, 10, 4},
    {IDC_VAL_BIN_1, 2, 1, 0, 8, 1},      {IDC_VAL_BIN_2, 2, 1, 1, 8, 2},
    {IDC_VAL_BIN_3, 2, 1, 2, 8, 3},      {IDC_VAL_BIN_4, 2, 1, 3, 8, 4},
};

DialogHost *g_host = nullptr;

const ValueField *fieldOf(int id) {
    for (const ValueField &f : kFields)
        if (f.id == id) return &f;
    return nullptr;
}

uint64_t fieldValue(const ValueField &f) {
    uint64_t v = 0;
    for (uint32_t i = f.width; i-- > 0;)
        v = v << 8 | g_values.value[f.offset + i];
    return v;
}

void formatField(const ValueField &f, char *out) {
    if (f.radix == 10) {
        formatGroups3(fieldValue(f), out);
        return;
    }
    if (f.radix == 2) {
        uint8_t b = g_values.value[f.offset];
        for (int i = 0, k = 0; i < 8; ++i) {
            if (i == 4) out[k++] = ' ';
            out[k++] = char('0' + ((b >> (7 - i)) & 1));
        }
        out[9] = 0;
        return;
    }
    // Hexadecimal, high byte first, a blank between the bytes.
    int k = 0;
    for (uint32_t i = f.width; i-- > 0;) {
        std::memcpy(out + k, g_tables.hexPair[g_values.value[f.offset + i]], 2);
        k += 2;
        if (i) out[k++] = ' ';
    }
    out[k] = 0;
}

void showField(DialogHost &host, const ValueField &f) {
    char text[32];
    formatField(f, text);
    bool was = g_values.filling;
    g_values.filling = true;
    host.setText(f.id, text);
    g_values.filling = was;
}

void showFields(DialogHost &host, int except) {
    for (const ValueField &f : kFields)
        if (f.id != except) showField(host, f);
}

int fieldText(DialogHost &host, int id, char *text, int size) {
    return host.getText(id, text, size);
}

// The whole text selected ("Feld mar- kieren"), else the caret at its end.
void selectOrCaret(DialogHost &host, int id) {
    char text[320];
    int len = fieldText(host, id, text, sizeof text);
    host.select(id, (g_settings.valuesReturn & kValuesReturnSelects) ? 0 : len, len);
}

uint32_t cursorByte() {
    return g_doc.ViewOfs + g_doc.CurOfs;
}

// The bytes at the cursor the source has (up to 4).
uint32_t bytesAvailable() {
    uint32_t k = cursorByte();
    if (!sourceOpen() || k >= g_doc.PageLen) return 0;
    uint32_t n = g_doc.PageLen - k;
    return n < 4 ? n : 4;
}

void refresh(DialogHost &host, bool force) {
    uint32_t avail = bytesAvailable(), k = cursorByte();
    uint8_t bytes[4] = {};
    for (uint32_t i = 0; i < avail; ++i)
        bytes[i] = g_doc.PageBuf[k + i];
    uint64_t pos = sourceOpen() ? cursorPosition() : 0;
    if (!force && pos == g_values.shownPos && g_doc.CurOfs == g_values.shownOfs &&
        avail == g_values.avail && std::memcmp(bytes, g_values.shownBytes, 4) == 0)
        return; // a repaint alone: what the user entered stays
    g_values.shownPos = pos;
    g_values.shownOfs = g_doc.CurOfs;
    std::memcpy(g_values.shownBytes, bytes, 4);
    if (!(g_settings.windowOptions & kWindowKeepValuesPosition)) {
        int r = int(g_doc.CurOfs >> 4);
        int y = (g_doc.CurOfs < 256 ? r + 5 : r - 18) * g_geom.lh;
        host.moveTo(g_geom.hexX, y < 0 ? 0 : y);
    }
    std::memcpy(g_values.value, bytes, 4);
    g_values.avail = avail;
    g_values.changed = 0;
    // A value that would run past the end of the source cannot be stored.
    host.enable(IDC_VAL_STORE_BYTE, avail >= 1);
    host.enable(IDC_VAL_STORE_WORD, avail >= 2);
    host.enable(IDC_VAL_STORE_DWORD, avail >= 4);
    showFields(host, g_values.typing);
}

void fieldGainsFocus(DialogHost &host, const ValueField &f) {
    g_values.active = f.id;
    char text[320];
    fieldText(host, f.id, text, sizeof text);
    int seps = 0;
    parseHex64(text, &seps);
    host.setLimit(f.id, seps + f.digits);
    selectOrCaret(host, f.id);
}

void fieldTyped(DialogHost &host, const ValueField &f) {
    char text[320];
    fieldText(host, f.id, text, sizeof text);
    FieldNumber n = readFieldNumber(text, f.radix);
    host.setLimit(f.id, n.seps + f.digits);
    uint64_t top = uint64_t(1) << (8 * f.width);
    uint64_t v = n.value;
    bool fits = n.valid && v < top;
    if (n.negative) {
        // Decimal only: -1 is the field's all-ones pattern, down to the lowest signed value.
        fits = n.valid && f.radix == 10 && v <= top / 2;
        v = (top - v) & (top - 1);
    }
    if (fits && v != fieldValue(f)) {
        for (uint32_t i = 0; i < f.width; ++i) {
            g_values.value[f.offset + i] = uint8_t(v >> (8 * i));
            g_values.changed |= 1u << (f.offset + i);
        }
        g_values.changed |= 0x10;
    }
    g_values.typing = f.id;
    showFields(host, f.id);
}

// The entered bytes of `mask` become current inputs at the cursor and are committed, in
// direct mode into the source; only bytes the source has are written.
void storeBytes(uint32_t mask) {
    uint32_t k = cursorByte(), avail = bytesAvailable();
    bool any = false;
    for (uint32_t i = 0; i < avail; ++i) {
        if (!(mask & (1u << i))) continue;
        g_doc.PageBuf[k + i] = g_values.value[i];
        setModBit(k + i);
        flagInput(k + i);
        any = true;
    }
    if (!any) return;
    g_doc.InputFlag &= ~1u; // the page is drawn whole below
    commitInputs();
    if (!(g_doc.InputFlag & (kInputBlk1 | kInputBlk2))) {
        g_doc.ReadPtr = g_doc.AnfPtr;
        reloadPage();
    }
    showPage(kShowKeepView);
    journalCheckpoint(); // no command ends here to do it
}

// "nächstes Datenwort": the cursor moves on by `step`, never beyond the last byte.
void moveOn(uint32_t step) {
    if (!sourceOpen() || g_doc.FileSize == 0) return;
    uint64_t pos = cursorPosition(), to = pos + step;
    if (to > g_doc.LastPos) to = g_doc.LastPos;
    if (to <= pos) return;
    g_doc.ModFlag &= ~kModLowNibble;
    g_doc.CurOfs += uint32_t(to - pos);
    keepBytesOnPage(4);
    if (g_doc.CurOfs > 511) g_doc.CurOfs = 511;
}

void closeWindow(DialogHost &host) {
    g_host = nullptr;
    g_values.open = false;
    host.end(0);
}

void setOption(uint32_t &word, uint32_t bit, bool on) {
    if (on)
        word |= bit;
    else
        word &= ~bit;
}

class ValuesDialog : public DialogLogic {
  public:
    void init(DialogHost &host) override {
        g_host = &host;
        host.setCheck(IDC_VAL_KEEP_POSITION,
                      (g_settings.windowOptions & kWindowKeepValuesPosition) != 0);
        host.setCheck(IDC_VAL_BY_DOUBLE_CLICK, g_settings.dblClickAction == 1);
        uint32_t r = g_settings.valuesReturn;
        host.setCheck(IDC_VAL_RETURN_STORES, (r & kValuesReturnStores) != 0);
        host.setCheck(IDC_VAL_RETURN_MOVES, (r & kValuesReturnMoves) != 0);
        host.setCheck(IDC_VAL_RETURN_CLOSES, (r & kValuesReturnCloses) != 0);
        host.setCheck(IDC_VAL_RETURN_SELECTS, (r & kValuesReturnSelects) != 0);
        g_values.typing = 0;
        refresh(host, true);
        g_values.active = 0;
        host.focus(IDC_VAL_BYTE_HEX);
        if (g_values.active != IDC_VAL_BYTE_HEX) fieldGainsFocus(host, kFields[0]);
    }

    bool command(DialogHost &host, int id, int notify) override {
        if (const ValueField *f = fieldOf(id)) {
            if (g_values.filling) return true;
            if (notify == kNotifySetFocus) {
                fieldGainsFocus(host, *f);
            } else if (notify == kNotifyChange && id == g_values.active) {
                fieldTyped(host, *f);
            } else if (notify == kNotifyKillFocus) {
                showField(host, *f); // the entered value in the field's own form
                g_values.typing = 0;
            }
            return true;
        }
        uint32_t &r = g_settings.valuesReturn;
        switch (id) {
        case IDC_VAL_STORE_BYTE:
        case IDC_VAL_STORE_WORD:
        case IDC_VAL_STORE_DWORD:
            storeBytes(id == IDC_VAL_STORE_BYTE ? 0x1 : id == IDC_VAL_STORE_WORD ? 0x3 : 0xF);
            g_values.changed = 0;
            return true;
        case IDC_VAL_OK: {
            if ((r & kValuesReturnStores) && (g_values.changed & 0xF))
                storeBytes(g_values.changed & 0xF);
            const ValueField *active = fieldOf(g_values.active);
            if (r & kValuesReturnMoves) moveOn(active ? active->step : 1);
            if (r & kValuesReturnCloses) {
                closeWindow(host);
                if (sourceOpen()) showPage(kShowKeepView);
                return true;
            }
            if (sourceOpen()) showPage(kShowKeepView);
            g_values.typing = 0;
            refresh(host, true);
            if (active) {
                host.focus(active->id);
                selectOrCaret(host, active->id);
            }
            g_values.changed = 0;
            return true;
        }
        case IDC_VAL_CANCEL:
            closeWindow(host);
            return true;
        case IDC_VAL_KEEP_POSITION:
            setOption(g_settings.windowOptions, kWindowKeepValuesPosition, host.getCheck(id));
            return true;
        case IDC_VAL_BY_DOUBLE_CLICK:
            if (host.getCheck(id)) g_settings.dblClickAction = 1;
            return true;
        case IDC_VAL_RETURN_STORES:
            setOption(r, kValuesReturnStores, host.getCheck(id));
            return true;
        case IDC_VAL_RETURN_MOVES:
            setOption(r, kValuesReturnMoves, host.getCheck(id));
            return true;
        case IDC_VAL_RETURN_CLOSES:
            setOption(r, kValuesReturnCloses, host.getCheck(id));
            return true;
        case IDC_VAL_RETURN_SELECTS:
            setOption(r, kValuesReturnSelects, host.getCheck(id));
            return true;
        default:
            return false;
        }
    }

    void destroyed() override {
        g_host = nullptr;
        g_values.open = false;
    }
};

ValuesDialog g_logic;

} // namespace

void resetValuesWindow() {
    std::memset(&g_values, 0, sizeof g_values);
    g_host = nullptr;
}

int showValues() {
    if (!sourceOpen()) return 1;
    keepBytesOnPage(4); // the four bytes on the page
    if (g_host) {
        refresh(*g_host, true);
        return 0;
    }
    DialogHost *host = plat().openModelessDialog(IDD_VALUES, g_logic);
    if (!host) {
        g_host = nullptr;
        return 1;
    }
    g_host = host;
    g_values.open = true;
    return 0;
}

void refreshValuesWindow() {
    if (g_host) refresh(*g_host, false);
}
