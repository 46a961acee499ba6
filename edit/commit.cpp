#include "edit/commit.h"

#include "access/docstate.h"

void settlePendingInputs() {
    if (!(g_doc.InputFlag & (kInputBlk1 | kInputBlk2))) return;
    g_doc.InputFlag &= ~(kInputBlk1 | kInputBlk2);
}
