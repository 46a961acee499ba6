#include "tools/gotodlg.h"

#include <cstring>

#include "access/docstate.h"
#include "access/textutil.h"
#include "edit/commit.h"
#include "journal/lifecycle.h"
#include "journal/overlay.h"
#include "platform/platform.h"
#include "res/resource.h"
#include "view/navigation.h"
#include "view/paint.h"
#include "view/refresh.h"

GotoState g_goto;

// ---- number entry ----

FieldNumber readFieldNumber(const char *text, unsigned radix) {
    FieldNumber n{};
    n.valid = parseNumber(text, radix, &n.value, &n.seps);
    const char *p = text;
    while (*p == ' ')
        ++p;
    n.negative = *p == '-';
    bool digit = false;
    for (p = text; *p && !digit; ++p)
        digit = uint8_t(*p) >= '0';
    if (!digit) n.valid = false; // nothing to go by: the field keeps its value
    return n;
}

void formatGroups3(uint64_t v, char *out) {
    char digits[21];
    int n = 0;
    do {
        digits[n++] = char('0' + v % 10);
        v /= 10;
    } while (v);
    int k = 0;
    for (int i = n - 1; i >= 0; --i) {
        out[k++] = digits[i];
        if (i && i % 3 == 0) out[k++] = ' ';
    }
    out[k] = 0;
}

void formatHex4x4(uint64_t v, char *out) {
    static const char kHex[] = "0123456789ABCDEF";
    int k = 0;
    for (int i = 15; i >= 0; --i) {
        out[k++] = kHex[(v >> (4 * i)) & 15];
        if (i && i % 4 == 0) out[k++] = ' ';
    }
    out[k] = 0;
}

// ---- the jump ----

void resetGotoState() {
    std::memset(&g_goto, 0, sizeof g_goto);
}

int gotoPosition(uint64_t t) {
    if (!sourceOpen()) return 1;
    if (settleOrStay()) return 1;
    g_doc.ModFlag &= ~kModLowNibble;
    g_doc.MarkFlag &= ~6u; // as at the end of the file
    // The last byte or beyond (compared without t + 2, which wraps at the top of the range).
    if (g_doc.FileSize == 0 || t >= g_doc.LastPos) {
        if (g_doc.AnfPtr != g_doc.LastPairPtr) {
            g_doc.ReadPtr = g_doc.LastPairPtr;
            gotoLastPage();
        }
        g_doc.ViewOfs = g_doc.Blk2Flag;
        g_doc.CurOfs = g_doc.PageLen > g_doc.ViewOfs ? g_doc.PageLen - 1 - g_doc.ViewOfs : 0;
    } else {
        uint64_t origin = t & ~uint64_t(511);
        if (origin != g_doc.AnfPtr) {
            g_doc.ReadPtr = origin;
            gotoPage();
        }
        g_doc.ViewOfs = 0;
        g_doc.CurOfs = uint32_t(t - origin);
    }
    showPage();
    return 0;
}

// ---- the dialog ----

namespace {

bool isHex(int id) {
    return id == IDC_GOTO_ABS_HEX || id == IDC_GOTO_REL_HEX;
}
bool isRelative(int id) {
    return id == IDC_GOTO_REL_HEX || id == IDC_GOTO_REL_DEC;
}

// The cursor's position plus the distance; a step back before the start stops at byte 0.
uint64_t relativeTarget(uint64_t from, uint64_t distance) {
    if (distance >> 63) {
        uint64_t back = 0 - distance;
        return back > from ? 0 : from - back;
    }
    uint64_t t = from + distance;
    return t < from ? ~uint64_t(0) : t;
}

void showField(DialogHost &host, int id) {
    char text[32];
    uint64_t v = isRelative(id) ? g_goto.distance : g_goto.target;
    if (isHex(id)) {
        formatHex4x4(v, text);
    } else if (isRelative(id) && (v >> 63)) {
        // A step back reads as one: "-16", not twenty digits of two's complement.
        text[0] = '-';
        formatGroups3(0 - v, text + 1);
    } else {
        formatGroups3(v, text);
    }
    bool was = g_goto.filling;
    g_goto.filling = true;
    host.setText(id, text);
    g_goto.filling = was;
}

const int kFields[4] = {IDC_GOTO_ABS_HEX, IDC_GOTO_ABS_DEC, IDC_GOTO_REL_HEX, IDC_GOTO_REL_DEC};

void showFields(DialogHost &host, int except) {
    for (int id : kFields)
        if (id != except) showField(host, id);
}

int fieldLength(DialogHost &host, int id, char *text, int size) {
    return host.getText(id, text, size);
}

void fieldGainsFocus(DialogHost &host, int id) {
    g_goto.active = id;
    char text[64];
    int len = fieldLength(host, id, text, sizeof text);
    int seps = 0;
    parseHex64(text, &seps);
    // Sixteen hex digits, as the field shows them: fifteen would cut off a step back
    // (FFFF FFFF FFFF FFF0) while it is typed.
    host.setLimit(id, seps + (isHex(id) ? 16 : 18));
    host.select(id, 0, len);
}

void fieldTyped(DialogHost &host, int id) {
    char text[320];
    fieldLength(host, id, text, sizeof text);
    FieldNumber n = readFieldNumber(text, isHex(id) ? 16 : 10);
    // A text that is no number (or a negative position) leaves the values as they were.
    if (!n.valid || (n.negative && !isRelative(id))) return;
    uint64_t here = cursorPosition();
    if (isRelative(id)) {
        g_goto.distance = n.negative ? 0 - n.value : n.value;
        g_goto.target = relativeTarget(here, g_goto.distance);
        g_goto.relative = true;
    } else {
        g_goto.target = n.value;
        g_goto.distance = g_goto.target - here;
        g_goto.relative = false;
    }
    g_goto.repeat = false;
    showFields(host, id);
}

void jump(DialogHost &host) {
    if (g_goto.relative) {
        if (g_goto.repeat) g_goto.target = relativeTarget(cursorPosition(), g_goto.distance);
        gotoPosition(g_goto.target);
        g_goto.repeat = true;
    } else {
        gotoPosition(g_goto.target);
        g_goto.distance = g_goto.target - cursorPosition();
    }
    journalCheckpoint(); // inputs the jump committed are for good
    showFields(host, 0);
    host.focus(g_goto.active);
    char text[64];
    host.select(g_goto.active, 0, fieldLength(host, g_goto.active, text, sizeof text));
}

class GotoDialog : public DialogLogic {
  public:
    void init(DialogHost &host) override {
        g_goto.target = cursorPosition();
        g_goto.distance = 0;
        g_goto.relative = g_goto.repeat = false;
        int col = int(g_doc.CurOfs & 15);
        int x = col + 1 > 7 ? g_geom.cw : g_geom.hexX + 25 * g_geom.cw;
        int y = (g_doc.CurOfs < 256 ? 20 : 3) * g_geom.lh;
        host.moveTo(x, y, 345, 240);
        showFields(host, 0);
        g_goto.active = 0;
        host.focus(IDC_GOTO_ABS_HEX);
        if (g_goto.active != IDC_GOTO_ABS_HEX) fieldGainsFocus(host, IDC_GOTO_ABS_HEX);
    }

    bool command(DialogHost &host, int id, int notify) override {
        switch (id) {
        case IDC_GOTO_OK:
            jump(host);
            return true;
        case IDC_GOTO_CANCEL:
            host.end(0);
            return true;
        case IDC_GOTO_ABS_HEX:
        case IDC_GOTO_ABS_DEC:
        case IDC_GOTO_REL_HEX:
        case IDC_GOTO_REL_DEC:
            if (g_goto.filling) return true;
            if (notify == kNotifySetFocus)
                fieldGainsFocus(host, id);
            else if (notify == kNotifyChange && id == g_goto.active)
                fieldTyped(host, id);
            else if (notify == kNotifyKillFocus)
                showField(host, id); // back in the field's own form
            return true;
        default:
            return false;
        }
    }
};

GotoDialog g_gotoLogic;

} // namespace

int gotoDialog() {
    if (!sourceOpen()) return 1;
    plat().runModalDialog(IDD_GOTO, g_gotoLogic);
    return 0;
}
