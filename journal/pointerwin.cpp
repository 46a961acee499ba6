#include "journal/pointerwin.h"

#include <cstring>

#include "access/docstate.h"
#include "access/textutil.h"
#include "journal/format.h"
#include "platform/platform.h"
#include "res/resource.h"

namespace {

void fill(DialogHost &host);

class PointerWindowLogic : public DialogLogic {
  public:
    void init(DialogHost &host) override {
        host.setTitle("Pointer und Flags");
        fill(host);
    }
    bool command(DialogHost &host, int id, int) override {
        if (id != IDC_PF_CLOSE) return false;
        host.end(0);
        resetPointerWindow();
        g_doc.ModFlag &= ~kModPointerView;
        plat().setMenuCheck(IDM_TOGGLE_POINTER_WINDOW, false);
        return true;
    }
    void destroyed() override { resetPointerWindow(); } // gone with its owner
};

PointerWindowLogic g_logic;
DialogHost *g_host = nullptr;

void show64(DialogHost &host, int id, uint64_t v) {
    char text[21];
    formatPointer64(v, text);
    host.setText(id, text);
}

void show32(DialogHost &host, int id, uint32_t v) {
    char text[11];
    formatHex32(v, text + 9);
    text[10] = 0;
    host.setText(id, text);
}

void showRecord(DialogHost &host, int firstId, const JournalRecord &r, bool present) {
    JournalRecord zero{};
    const JournalRecord &v = present ? r : zero;
    show64(host, firstId + 0, v.JAdr);
    show64(host, firstId + 1, v.PrevPtr);
    show64(host, firstId + 2, v.NextPtr);
    show64(host, firstId + 3, v.PJnl);
    show64(host, firstId + 4, v.NJnl);
    show64(host, firstId + 5, v.PUndo);
    show64(host, firstId + 6, v.NUndo);
    // "Flag/anz.": the flags in the upper half, the preview steps in the lower.
    show64(host, firstId + 7, uint64_t(v.Flags) << 32 | uint32_t(v.PreviewSteps));
}

void fill(DialogHost &host) {
    show64(host, IDC_PF_ANFPTR, g_doc.AnfPtr);
    show64(host, IDC_PF_MIDPTR, g_doc.MidPtr);
    show64(host, IDC_PF_JPREVPTR, g_jnl.JPrevPtr);
    show64(host, IDC_PF_JNEXTPTR, g_jnl.JNextPtr);
    show64(host, IDC_PF_UNDO, g_jnl.Header.Undo);
    show64(host, IDC_PF_REST, g_jnl.Header.Rest);
    show64(host, IDC_PF_JPREVADR, g_jnl.JPrevAdr);
    show64(host, IDC_PF_JNEXTADR, g_jnl.JNextAdr);
    showRecord(host, IDC_PF_J1_JADR, g_jnl.JData1, g_doc.JReadFlag & 1);
    showRecord(host, IDC_PF_J2_JADR, g_jnl.JData2, g_doc.JReadFlag & 2);
    show32(host, IDC_PF_MODFLAG, g_doc.ModFlag);
    show32(host, IDC_PF_JREADFLAG, g_doc.JReadFlag);
}

} // namespace

void formatPointer64(uint64_t v, char out[21]) {
    formatHex32(uint32_t(v >> 32), out + 9);
    formatHex32(uint32_t(v), out + 19);
    out[20] = 0;
}

void resetPointerWindow() {
    g_host = nullptr;
}

DialogHost *pointerWindowHost() {
    return g_host;
}
DialogLogic &pointerWindowLogic() {
    return g_logic;
}

int togglePointerWindow() {
    Platform &p = plat();
    if (g_doc.ModFlag & kModPointerView) {
        g_doc.ModFlag &= ~kModPointerView;
        p.setMenuCheck(IDM_TOGGLE_POINTER_WINDOW, false);
        return 0;
    }
    g_doc.ModFlag |= kModPointerView;
    if (g_host)
        fill(*g_host);
    else
        g_host = p.openModelessDialog(IDD_POINTERS, g_logic);
    if (!g_host) {
        g_doc.ModFlag &= ~kModPointerView;
        return 1;
    }
    p.setMenuCheck(IDM_TOGGLE_POINTER_WINDOW, true);
    return 0;
}

void refreshPointerWindow() {
    if ((g_doc.ModFlag & kModPointerView) && g_host) fill(*g_host);
}
