#include "tools/disasm_window.h"

#include <cstring>

#include "access/docstate.h"
#include "access/textutil.h"
#include "app/settings.h"
#include "journal/overlay.h"
#include "platform/platform.h"
#include "res/resource.h"
#include "tools/disasm.h"
#include "view/navigation.h"
#include "view/paint.h"
#include "view/refresh.h"
#include "view/scroll.h"

DisasmWindowState g_disWin;

const int kDisRegisterIds[40] = {
    IDC_DIS_EAX_1, IDC_DIS_EAX_2, IDC_DIS_EAX_3, IDC_DIS_EAX_4, IDC_DIS_EBX_1, IDC_DIS_EBX_2,
    IDC_DIS_EBX_3, IDC_DIS_EBX_4, IDC_DIS_ECX_1, IDC_DIS_ECX_2, IDC_DIS_ECX_3, IDC_DIS_ECX_4,
    IDC_DIS_EDX_1, IDC_DIS_EDX_2, IDC_DIS_EDX_3, IDC_DIS_EDX_4, IDC_DIS_ESI_1, IDC_DIS_ESI_2,
    IDC_DIS_ESI_3, IDC_DIS_ESI_4, IDC_DIS_EDI_1, IDC_DIS_EDI_2, IDC_DIS_EDI_3, IDC_DIS_EDI_4,
    IDC_DIS_EBP_1, IDC_DIS_EBP_2, IDC_DIS_EBP_3, IDC_DIS_EBP_4, IDC_DIS_ESP_1, IDC_DIS_ESP_2,
    IDC_DIS_ESP_3, IDC_DIS_ESP_4, IDC_DIS_CS_1,  IDC_DIS_CS_2,  IDC_DIS_DS_1,  IDC_DIS_DS_2,
    IDC_DIS_SS_1,  IDC_DIS_SS_2,  IDC_DIS_ES_1,  IDC_DIS_ES_2};

static DialogHost *g_disHost = nullptr;

const char *disasmTitle() {
    if (!(DisasmMode & kDisasmProtected)) return "MNEMONIC (Real Mode; 16 Bit):";
    if (DisasmMode & kDisasmOp32) return "MNEMONIC (Protected Mode; 32 Bit):";
    return "MNEMONIC (Protected Mode; 16 Bit):";
}

// The dialog's place next to the cursor, in client pixels of the main window.
static void placeBesideCursor(DialogHost &host, int width, int height) {
    int c = int(g_doc.CurOfs & 15) + 1, r = int(g_doc.CurOfs >> 4);
    int x = g_geom.hexX + (c < 8 ? 3 * c + 1 : 3 * c - 29) * g_geom.cw;
    int y = (g_doc.CurOfs < 256 ? r + 5 : r - 20) * g_geom.lh;
    if (y < 0) y = 0;
    host.moveTo(x, y, width, height);
}

static void resetList(DialogHost &host) {
    for (int i = 0; i < 8; ++i)
        host.setText(IDC_DIS_LIST_1 + i, "--");
    g_disWin.count = 0;
}

static void setMode(uint32_t mode, DialogHost &host) {
    DisasmMode = mode;
    g_settings.disasmMode = mode;
    host.setTitle(disasmTitle());
}

static void closeWindow(DialogHost &host) {
    g_doc.MarkStart = g_disWin.savedMarkStart;
    g_doc.MarkEnd = g_disWin.savedMarkEnd;
    g_doc.MarkFlag = g_disWin.savedMarkFlag;
    g_paint.markBg = g_disWin.savedMarkBg;
    g_paint.cursorActiveBg = g_disWin.savedCursorActive;
    g_paint.cursorInactiveBg = g_disWin.savedCursorInactive;
    g_disWin.open = false;
    g_disHost = nullptr;
    host.end(0);
    if (sourceOpen()) paintPage();
}

namespace {
class DisasmDialog : public DialogLogic {
  public:
    void init(DialogHost &host) override {
        host.setTitle(disasmTitle());
        g_disWin.savedMarkStart = g_doc.MarkStart;
        g_disWin.savedMarkEnd = g_doc.MarkEnd;
        g_disWin.savedMarkFlag = g_doc.MarkFlag;
        g_disWin.savedMarkBg = g_paint.markBg;
        g_disWin.savedCursorActive = g_paint.cursorActiveBg;
        g_disWin.savedCursorInactive = g_paint.cursorInactiveBg;
        g_paint.markBg = g_paint.cursorActiveBg = g_paint.cursorInactiveBg = kDisasmColour;
        placeBesideCursor(host, 390, 380);
        for (int id : kDisRegisterIds) {
            host.setLimit(id, 2);
            host.setText(id, "--");
            host.enable(id, false);
        }
        host.enable(IDC_DIS_RESET_REGISTERS, false);
        for (int i = 0; i < 8; ++i)
            host.setText(IDC_DIS_LIST_1 + i, "---");
        host.setCheck(IDC_DIS_BY_DOUBLE_CLICK, g_settings.dblClickAction == 2);
        host.setCheck(IDC_DIS_KEEP_POSITION,
                      (g_settings.windowOptions & kWindowKeepDisasmPosition) != 0);
        host.setCheck(IDC_DIS_REAL_MODE, !(DisasmMode & kDisasmProtected));
        host.setCheck(IDC_DIS_32_BIT, (DisasmMode & kDisasmOp32) != 0);
        g_disWin.count = 0;
    }

    bool command(DialogHost &host, int id, int) override {
        switch (id) {
        case IDC_DIS_OK:
        case IDC_DIS_CANCEL:
            closeWindow(host);
            return true;
        case IDC_DIS_RESET_LIST:
            resetList(host);
            return true;
        case IDC_DIS_BY_DOUBLE_CLICK:
            if (host.getCheck(id)) g_settings.dblClickAction = 2;
            return true;
        case IDC_DIS_KEEP_POSITION:
            if (host.getCheck(id))
                g_settings.windowOptions |= kWindowKeepDisasmPosition;
            else
                g_settings.windowOptions &= ~kWindowKeepDisasmPosition;
            return true;
        case IDC_DIS_32_BIT:
        case IDC_DIS_REAL_MODE: {
            bool checked = host.getCheck(id);
            int other = id == IDC_DIS_32_BIT ? IDC_DIS_REAL_MODE : IDC_DIS_32_BIT;
            if (checked) {
                host.setCheck(other, false);
                setMode(id == IDC_DIS_32_BIT ? 7 : 0, host);
            } else if (host.getCheck(other)) {
                setMode(other == IDC_DIS_32_BIT ? 7 : 0, host);
            } else {
                setMode(1, host);
            }
            return true;
        }
        default:
            return false;
        }
    }
    void destroyed() override { // gone with its owner
        g_disHost = nullptr;
        g_disWin.open = false;
    }
};
DisasmDialog g_disLogic;
} // namespace

void disasmModeChanged() {
    DisasmMode = g_settings.disasmMode;
    if (g_disHost) g_disHost->setTitle(disasmTitle());
}

void resetDisasmWindow() {
    std::memset(&g_disWin, 0, sizeof g_disWin);
    g_disHost = nullptr;
    DisasmMode = g_settings.disasmMode;
}

int disassembleAtCursor() {
    if (!sourceOpen()) return 1;
    keepBytesOnPage(kDisasmWindow); // the instruction's bytes in the buffer
    uint32_t k = g_doc.ViewOfs + g_doc.CurOfs;
    uint64_t pos = g_doc.AnfPtr + k;
    // The decoder sees 16 bytes; what lies beyond the source reads as zero.
    uint8_t bytes[kDisasmWindow] = {};
    for (uint32_t i = 0; i < kDisasmWindow && k + i < g_doc.PageLen; ++i)
        bytes[i] = g_doc.PageBuf[k + i];

    char line[600];
    char addr[21];
    formatAddress(pos, addr);
    std::memcpy(line, addr, 20);
    std::memcpy(line + 20, " :    ", 6);
    line[26] = 0;

    if (!g_disHost) {
        DisasmMode = g_settings.disasmMode;
        g_disHost = plat().openModelessDialog(IDD_DISASM, g_disLogic);
        if (!g_disHost) return 1;
        g_disWin.open = true;
    }
    if (!(g_settings.windowOptions & kWindowKeepDisasmPosition))
        placeBesideCursor(*g_disHost, 0, 0);

    uint32_t length = disassemble(bytes, pos, line + 26, int(sizeof line) - 26);
    // A branch target follows on a line of its own; a list line is one text line high.
    if (char *feed = std::strchr(line, '\n')) {
        const char *rest = feed + 1;
        while (*rest == ' ')
            ++rest;
        std::memmove(feed + 2, rest, std::strlen(rest) + 1);
        feed[0] = feed[1] = ' ';
    }
    g_doc.MarkStart = pos;
    g_doc.MarkEnd = pos + length;
    g_doc.MarkFlag = 1;
    paintPage();

    if (g_disWin.count == 8) {
        for (int i = 0; i < 7; ++i) {
            copyString(g_disWin.lines[i], g_disWin.lines[i + 1], sizeof g_disWin.lines[i]);
            g_disHost->setText(IDC_DIS_LIST_1 + i, g_disWin.lines[i]);
        }
        g_disWin.count = 7;
    }
    copyString(g_disWin.lines[g_disWin.count], line, sizeof g_disWin.lines[0]);
    g_disHost->setText(IDC_DIS_LIST_1 + g_disWin.count, line);
    ++g_disWin.count;
    return 0;
}
