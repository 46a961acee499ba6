// Dialog 157, the question before a direct write: "Soll die aktuelle Seite gespeichert
// werden ?" with "Ja", "Nein" and the check box "JA für alle".
#pragma once

constexpr int kDlgSavePage = 157;
constexpr int kIdcSavePageYes = 1;     // "Ja" (IDOK)
constexpr int kIdcSavePageNo = 2;      // "Nein" (IDCANCEL, so that closing the box means no)
constexpr int kIdcSavePageAll = 1570;  // check box "JA für alle"
constexpr int kIdcSavePageText = 1571; // the question text (static)
