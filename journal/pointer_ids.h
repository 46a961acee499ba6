// Resource numbers of the "Pointer und Flags" window (shared with the resource script).
#pragma once

#define IDD_POINTERS 149

#define IDC_PF_ANFPTR 1301
#define IDC_PF_MIDPTR 1302
#define IDC_PF_JPREVPTR 1303
#define IDC_PF_JNEXTPTR 1304
#define IDC_PF_UNDO 1305
#define IDC_PF_REST 1306
#define IDC_PF_JPREVADR 1307
#define IDC_PF_JNEXTADR 1308

// Group JData1 (block 1): JAdr, PrevPtr, NextPtr, PJnl, NJnl, PUndo, NUndo, Flag/anz.
#define IDC_PF_J1_JADR 1311
#define IDC_PF_J1_PREVPTR 1312
#define IDC_PF_J1_NEXTPTR 1313
#define IDC_PF_J1_PJNL 1314
#define IDC_PF_J1_NJNL 1315
#define IDC_PF_J1_PUNDO 1316
#define IDC_PF_J1_NUNDO 1317
#define IDC_PF_J1_FLAGS 1318

// Group JData2 (block 2), same order.
#define IDC_PF_J2_JADR 1321
#define IDC_PF_J2_PREVPTR 1322
#define IDC_PF_J2_NEXTPTR 1323
#define IDC_PF_J2_PJNL 1324
#define IDC_PF_J2_NJNL 1325
#define IDC_PF_J2_PUNDO 1326
#define IDC_PF_J2_NUNDO 1327
#define IDC_PF_J2_FLAGS 1328

#define IDC_PF_MODFLAG 1331
#define IDC_PF_JREADFLAG 1332

// "schließen" is the dialog's cancel button, so that Esc and the close box end it too.
#define IDC_PF_CLOSE 2
