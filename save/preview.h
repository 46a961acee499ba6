// Previews: the block under the view stepped through its versions (F2/F4) or the undo chain
// stepped (Alt+F2/Alt+F4) without changing anything, accepted with Return; and the source's
// own bytes while F5 is held.
#pragma once

#include <cstdint>

#include "journal/format.h"

struct PreviewData {
    // 0: none. 0x1 version preview, 0x2 undo or redo preview, 0x4 the last step went back,
    // 0x8 the version preview works on block 2.
    uint32_t PreviewState;
    // The page before the preview, given back exactly when the preview ends.
    struct {
        uint64_t ReadPtr, AnfPtr, MidPtr;
        uint8_t PageBuf[1024];
        uint32_t Blk1Len, Blk2Len, PageLen, Blk2Flag, ViewOfs;
        uint8_t ModMask[128];
        uint32_t JReadFlag, CurOfs, CurCol;
        JournalRecord JData1, JData2;
        uint64_t JPrevPtr, JPrevAdr, JNextPtr, JNextAdr;
    } PreviewSave;
    uint64_t JAdrKeep1, JAdrKeep2; // the records the normal view shows
    // Version preview: the version shown and its stage (see preview.cpp).
    uint64_t ShownVersion;
    int ShownStage;
    // Undo or redo preview: the undo cursor as it would stand after the steps shown.
    uint64_t PreviewUndo;
    bool PreviewTakenBack; // the cursor record's save, taken back, would be written again
    int32_t Steps;         // net steps of the preview (negative: back)
    // 0x1: a view held by a key is shown (the source view, or the comparison view).
    uint32_t HeldView;
};

extern PreviewData g_preview;

constexpr const char *kVersionPreviewTitle =
    "* * * * *   VERSIONS-Vorschau   * * * * *   übernehmen mit RETURN   * * * * *";
constexpr const char *kUndoPreviewTitle =
    "* * * * *   UNDO-Vorschau   * * * * *   übernehmen mit RETURN   * * * * *";
// The page colours darken by this much while a preview is shown.
constexpr uint32_t kPreviewDarken = 0x101010;

void resetPreviewState();
inline bool previewShown() {
    return g_preview.PreviewState != 0;
}

// F2 / F4: the block's older / newer version. 1 when there is none (the view stays).
int versionBack();
int versionForward();
// Alt+F2 / Alt+F4: the block as the next undo / redo step would leave it.
int undoPreview();
int redoPreview();
// Gives back the page as it was before the preview (nothing was written).
int endPreview();
// Return during a preview: what it shows becomes the state of journal and source.
// 1 when nothing was done (the preview stays).
int acceptVersion1();
int acceptVersion2();
int acceptUndoPreview();
int acceptPreview();

// Starts a view held by a key (one at a time): the page is remembered and comes back
// exactly at endHeldView. False when a held view or a preview is shown.
bool beginHeldView();
// F5 pressed: the source's bytes at the page, no marks, the source name as title.
int showSource();
// Every key release and "Ist-Zustand Originaldatei": the journalled view again.
int endHeldView();

// The dispatch's hooks: a preview command runs (true) or any other command ends a preview.
bool previewCommand(unsigned number);
