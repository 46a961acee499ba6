// Every resource, command, dialog, control and pop-up number of the program, shared by the
// resource script, the core and the tests. Only #define lines and comments: windres reads it.
//
// Commands are named after their handlers. A twin is a second number that runs the same
// handler as the number without suffix (an accelerator, or a spare number): _KEY, then _KEY2.
#pragma once

// ---- icons, menu, accelerators ----
#define IDI_KELMOR 107
#define IDI_SMALL 108
#define IDI_PROGRAM 138
#define IDM_MAIN 109
#define IDA_MAIN 109

// ---- menu pop-ups, by position in the menu bar ----
#define IDP_FILE 0
#define IDP_EDIT 1
#define IDP_GOTO 2
#define IDP_AVI 5
// Position in the File pop-up of the first recent-file entry (below the heading).
#define IDP_RECENT_FIRST 23

// ---- "&Datei" ----
#define IDM_OPEN_FILE 32771
#define IDM_OPEN_FILE_KEY 32827
#define IDM_OPEN_DRIVE 32911
#define IDM_OPEN_DRIVE_KEY 32937
#define IDM_RESIZE 32971
#define IDM_NEW 32970
#define IDM_SAVE_RANGE 32883
#define IDM_SAVE_PAGE 32772
#define IDM_SAVE_ALL 32805
#define IDM_SAVE_MARKED_AS 32853
#define IDM_SAVE_PAGE_AS 32773
#define IDM_SAVE_ALL_AS 32806
#define IDM_APPEND_MARKED 32903
#define IDM_APPEND_PAGE 32905
#define IDM_APPEND_ALL 32904
#define IDM_CHOOSE_JOURNAL 32892
#define IDM_DELETE_JOURNAL 32968
#define IDM_RESTORE_ORIGINAL 32939
// The disabled heading above the recent files, and the entries' commands.
#define IDM_RECENT_HEADING 32949
#define IDM_RECENT_FIRST 2
#define IDM_RECENT_LAST 11
#define IDM_CLOSE_FILE 32779
#define IDM_EXIT 105
#define IDM_EXIT_KEY 32828

// ---- "&Bearbeiten" ----
#define IDM_MARK_START 32848
#define IDM_MARK_START_KEY 32858
#define IDM_MARK_END 32849
#define IDM_MARK_END_KEY 32859
#define IDM_CLEAR_MARKING 32850
#define IDM_CLEAR_MARKING_KEY 32893
#define IDM_MARK_ALL 32894
#define IDM_MARK_ALL_KEY 32895
#define IDM_REMEMBER_MARKING 32861
#define IDM_REMEMBER_MARKING_KEY 32863
#define IDM_RESTORE_MARKING 32906
#define IDM_COPY 32912
#define IDM_COPY_KEY 32913
#define IDM_COPY_KEY2 32917
#define IDM_PASTE 32862
#define IDM_PASTE_KEY 32864
#define IDM_PASTE_KEY2 32918
#define IDM_INSERT_FILE 32919
#define IDM_CONVERT_MARKING 32914
#define IDM_DISCARD_RANGE 32882
#define IDM_DISCARD_PAGE 32884
#define IDM_PREVIOUS_VERSION 32960
#define IDM_PREVIOUS_VERSION_KEY 32962
#define IDM_NEXT_VERSION 32959
#define IDM_NEXT_VERSION_KEY 32961
#define IDM_UNDO_RUN 32837
#define IDM_UNDO_RUN_KEY 32963
#define IDM_UNDO_ONE 32935
#define IDM_UNDO_ALL 32819
#define IDM_REDO_RUN 32838
#define IDM_REDO_RUN_KEY 32964
#define IDM_REDO_ONE 32936
#define IDM_REDO_ALL 32839
#define IDM_FILL_PAGE 32852
#define IDM_FILL_MARKING 32946
#define IDM_FILL_ALL_VALUES 32956

// ---- "&Goto" ----
#define IDM_GOTO_ADDRESS 32809
#define IDM_GOTO_ADDRESS_KEY 32790
#define IDM_GOTO_ADDRESS_KEY2 32928
#define IDM_FILE_START 32908
#define IDM_FILE_START_KEY 32787
#define IDM_FILE_END 32909
#define IDM_FILE_END_KEY 32788
#define IDM_NEXT_EDIT 32810
#define IDM_NEXT_EDIT_KEY 32829
#define IDM_PREVIOUS_EDIT 32840
#define IDM_PREVIOUS_EDIT_KEY 32841
#define IDM_AUTO_SCROLL_UP 32870
#define IDM_AUTO_SCROLL_UP_KEY 32879
#define IDM_AUTO_SCROLL_DOWN 32869
#define IDM_AUTO_SCROLL_DOWN_KEY 32880
// Ctrl+G as a typed character: never handled.
#define IDM_GOTO_CHAR 32789

// ---- "&Suchen" ----
#define IDM_TEXT_SEARCH 32794
// Ctrl+H. The menu item "Hex-Suche" carries IDM_END_HELD_VIEW_SEARCH instead.
#define IDM_HEX_SEARCH 32830
#define IDM_SEARCH_AGAIN 32825

// ---- "&Vergleich" ----
#define IDM_COMPARE_OTHER_FILE 32811
#define IDM_COMPARE_SAME_FILE 32812
#define IDM_COMPARE_OFFSET_AT_CURSOR 32818
#define IDM_COMPARE_SET_OFFSET 32947
#define IDM_SHOW_COMPARE_FILE 32813
#define IDM_CLOSE_COMPARE_FILE 32817

// ---- "&AVI" ----
#define IDM_AVI_MOVIE_START 32896
#define IDM_AVI_PLAY_VIDEO 32873
#define IDM_AVI_PLAY_AUDIO 32872
#define IDM_AVI_REPAIR 32899
#define IDM_AVI_INFO 32902
#define IDM_AVI_FIRST_CHUNK 32891
#define IDM_AVI_NEXT_CHUNK 32887
#define IDM_AVI_NEXT_CHUNK_KEY 32900
#define IDM_AVI_CHUNK_DOWN 32889
#define IDM_AVI_CHUNK_DOWN_KEY 32907
// Double click with the action "AVI-Chunk markieren" (no menu item).
#define IDM_AVI_MARK_CHUNK 32972

// ---- "E&xtras" ----
#define IDM_SHOW_VALUES 32958
#define IDM_DISASSEMBLE_AT_CURSOR 32957
#define IDM_LOCK 32792
#define IDM_UNLOCK 32791
#define IDM_ZOOM_IN 32865
#define IDM_ZOOM_OUT 32866
#define IDM_TOGGLE_POINTER_WINDOW 32965
// Not handled: left to the default window procedure.
#define IDM_PHYSICAL_ERASE 32969
#define IDM_OPTIONS 32934

// ---- "&Ansicht": views shown while a key is held, and the previews ----
#define IDM_SHOW_ORIGINAL 32821
// The menu items of the held views only end them: "Ist-Zustand Originaldatei" (also the menu
// bar's last item), "Vergl.-Datei" and "Hex-Suche".
#define IDM_END_HELD_VIEW 32867
#define IDM_END_HELD_VIEW_COMPARE 1
#define IDM_END_HELD_VIEW_SEARCH 32802
#define IDM_UNDO_PREVIEW 32938
#define IDM_UNDO_PREVIEW_KEY 32966
#define IDM_REDO_PREVIEW 65535
#define IDM_REDO_PREVIEW_KEY 32967

// ---- "&Hilfe" ----
#define IDM_HELP 32778
#define IDM_HELP_OVERVIEW 32878
#define IDM_HELP_INSTRUCTIONS 32910
#define IDM_HELP_KEYS 32877
#define IDM_HELP_AVI 32901
#define IDM_INFO_DIALOG 104

// ---- keys without a menu item ----
#define IDM_SWITCH_COLUMN 32782
#define IDM_SPACE 32898
#define IDM_PAGE_DOWN 32780
#define IDM_PAGE_UP 32781
#define IDM_NEXT_UNDO_POS 32845
#define IDM_NEXT_UNDO_POS_KEY 32847
#define IDM_PREV_UNDO_POS 32844
#define IDM_PREV_UNDO_POS_KEY 32846
#define IDM_ROW_START 32929
#define IDM_ROW_END 32930
// Arrows and Alt+arrows: the cursor or the page moves, as the cursor-movement mode says.
#define IDM_ARROW_DOWN 32783
#define IDM_ARROW_UP 32784
#define IDM_ARROW_RIGHT 32785
#define IDM_ARROW_LEFT 32786
#define IDM_ALT_ARROW_RIGHT 32924
#define IDM_ALT_ARROW_LEFT 32925
#define IDM_ALT_ARROW_UP 32926
#define IDM_ALT_ARROW_DOWN 32927
#define IDM_FETCH_SOURCE_RIGHT 32875
#define IDM_FETCH_SOURCE_LEFT 32876
#define IDM_SHIFT_RIGHT 32920
#define IDM_SHIFT_LEFT 32921
#define IDM_SHIFT_UP 32922
#define IDM_SHIFT_DOWN 32923
#define IDM_DIRECT_MODE 32807
#define IDM_JOURNAL_MODE 32808

// ---- dialog "Info" ----
#define IDD_INFO 103
#define IDC_INFO_VERSION 1001
#define IDC_INFO_DATE 1002
#define IDC_INFO_WEB 1003
#define IDC_INFO_MAIL 1004
#define IDC_INFO_MAKER 1005

// ---- modeless window "Pointer und Flags" ----
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
// The program fills each group from its first id on, in this order.
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
// "schließen" is the dialog's cancel button (IDCANCEL), so that Esc and the close box end it.
#define IDC_PF_CLOSE 2

// ---- modeless window "Disassemblieren (ab Cursorposition)" ----
#define IDD_DISASM 155
// The list of the last eight lines, in order.
#define IDC_DIS_LIST_1 1032
#define IDC_DIS_LIST_2 1033
#define IDC_DIS_LIST_3 1034
#define IDC_DIS_LIST_4 1035
#define IDC_DIS_LIST_5 1036
#define IDC_DIS_LIST_6 1037
#define IDC_DIS_LIST_7 1038
#define IDC_DIS_LIST_8 1039
// Register fields, left to right: four per general register, two per segment register.
#define IDC_DIS_EAX_1 1012
#define IDC_DIS_EAX_2 227
#define IDC_DIS_EAX_3 228
#define IDC_DIS_EAX_4 229
#define IDC_DIS_EBX_1 1014
#define IDC_DIS_EBX_2 230
#define IDC_DIS_EBX_3 231
#define IDC_DIS_EBX_4 232
#define IDC_DIS_ECX_1 1016
#define IDC_DIS_ECX_2 233
#define IDC_DIS_ECX_3 234
#define IDC_DIS_ECX_4 235
#define IDC_DIS_EDX_1 1018
#define IDC_DIS_EDX_2 236
#define IDC_DIS_EDX_3 237
#define IDC_DIS_EDX_4 238
#define IDC_DIS_ESI_1 1020
#define IDC_DIS_ESI_2 239
#define IDC_DIS_ESI_3 240
#define IDC_DIS_ESI_4 241
#define IDC_DIS_EDI_1 1022
#define IDC_DIS_EDI_2 242
#define IDC_DIS_EDI_3 243
#define IDC_DIS_EDI_4 244
#define IDC_DIS_EBP_1 1024
#define IDC_DIS_EBP_2 245
#define IDC_DIS_EBP_3 246
#define IDC_DIS_EBP_4 247
#define IDC_DIS_ESP_1 1026
#define IDC_DIS_ESP_2 248
#define IDC_DIS_ESP_3 249
#define IDC_DIS_ESP_4 250
#define IDC_DIS_CS_1 1028
#define IDC_DIS_CS_2 251
#define IDC_DIS_DS_1 1029
#define IDC_DIS_DS_2 252
#define IDC_DIS_SS_1 1030
#define IDC_DIS_SS_2 254
#define IDC_DIS_ES_1 1031
#define IDC_DIS_ES_2 253
#define IDC_DIS_RESET_REGISTERS 4
#define IDC_DIS_RESET_LIST 5
#define IDC_DIS_BY_DOUBLE_CLICK 1047
#define IDC_DIS_KEEP_POSITION 1048
#define IDC_DIS_32_BIT 1049
#define IDC_DIS_REAL_MODE 1050
// OK and Abbrechen (IDOK, IDCANCEL): both close the window.
#define IDC_DIS_OK 1
#define IDC_DIS_CANCEL 2

// ---- fill value: "Füllzeichen eingeben" ----
#define IDD_FILL 146
#define IDC_FILL_CHAR 1461
#define IDC_FILL_HEX 1462
#define IDC_FILL_DEC 1463
#define IDC_FILL_OK 1
#define IDC_FILL_CANCEL 2

// ---- modeless window "Zahlenwert (ab Cursor-Position)" ----
#define IDD_VALUES 156
// Value fields: BYTE, WORD and DWORD in HEX and DEZ, and the four bytes in binary.
#define IDC_VAL_BYTE_HEX 1033
#define IDC_VAL_BYTE_DEC 1035
#define IDC_VAL_WORD_HEX 1034
#define IDC_VAL_WORD_DEC 1037
#define IDC_VAL_DWORD_HEX 1036
#define IDC_VAL_DWORD_DEC 1038
#define IDC_VAL_BIN_1 1042
#define IDC_VAL_BIN_2 1043
#define IDC_VAL_BIN_3 1044
#define IDC_VAL_BIN_4 1045
// The three "speichern" buttons: BYTE, WORD, DWORD.
#define IDC_VAL_STORE_BYTE 3
#define IDC_VAL_STORE_WORD 4
#define IDC_VAL_STORE_DWORD 5
// Option boxes.
#define IDC_VAL_KEEP_POSITION 1046
#define IDC_VAL_BY_DOUBLE_CLICK 1047
#define IDC_VAL_RETURN_STORES 1049
#define IDC_VAL_RETURN_MOVES 1187
#define IDC_VAL_RETURN_SELECTS 1188
#define IDC_VAL_RETURN_CLOSES 1189
// OK (the default button, so also Return) and Abbrechen (IDOK, IDCANCEL).
#define IDC_VAL_OK 1
#define IDC_VAL_CANCEL 2

// ---- dialog "Goto" ----
#define IDD_GOTO 162
// "neue Position" HEX and DEZ, "relativ zur Curor-Position" HEX and DEZ.
#define IDC_GOTO_ABS_HEX 1060
#define IDC_GOTO_ABS_DEC 1061
#define IDC_GOTO_REL_HEX 1062
#define IDC_GOTO_REL_DEC 1063
// OK jumps and keeps the dialog open; Abbrechen closes it (IDOK, IDCANCEL).
#define IDC_GOTO_OK 1
#define IDC_GOTO_CANCEL 2

// ---- the question before a direct write: "Soll die aktuelle Seite gespeichert werden ?" ----
#define IDD_SAVE_PAGE 157
// "Ja" is IDOK; "Nein" is IDCANCEL, so that closing the box means no.
#define IDC_SAVE_PAGE_YES 1
#define IDC_SAVE_PAGE_NO 2
// The check box "JA für alle" and the question text.
#define IDC_SAVE_PAGE_ALL 1570
#define IDC_SAVE_PAGE_TEXT 1571

// ---- dialog "Dateigröße ändern" ("&Vergrößern") ----
#define IDD_SIZE 160
// "ERWEITERN UM :" (the amount to add), decimal and hexadecimal per unit.
#define IDC_SIZE_GROW_BYTES_DEC 1053
#define IDC_SIZE_GROW_BYTES_HEX 1055
#define IDC_SIZE_GROW_SECT_DEC 1054
#define IDC_SIZE_GROW_SECT_HEX 1056
#define IDC_SIZE_GROW_KB_DEC 1036
#define IDC_SIZE_GROW_KB_HEX 1043
#define IDC_SIZE_GROW_MB_DEC 1037
#define IDC_SIZE_GROW_MB_HEX 1044
#define IDC_SIZE_GROW_GB_DEC 1038
#define IDC_SIZE_GROW_GB_HEX 1045
// "NEUE GRÖßE :" (the new size).
#define IDC_SIZE_NEW_BYTES_DEC 1034
#define IDC_SIZE_NEW_BYTES_HEX 1057
#define IDC_SIZE_NEW_SECT_DEC 1039
#define IDC_SIZE_NEW_SECT_HEX 1058
#define IDC_SIZE_NEW_KB_DEC 1040
#define IDC_SIZE_NEW_KB_HEX 1046
#define IDC_SIZE_NEW_MB_DEC 1041
#define IDC_SIZE_NEW_MB_HEX 1047
#define IDC_SIZE_NEW_GB_DEC 1042
#define IDC_SIZE_NEW_GB_HEX 1048
// The check box "Erweiterung markieren"; OK and "Abbrechen" are IDOK and IDCANCEL.
#define IDC_SIZE_MARK_GROWTH 1059

// ---- dialog "Laufwerk öffnen" ----
#define IDD_DRIVES 145
// Logical drives A: to T: (in this order: the drive-button table), physical drives 1 to 10.
#define IDC_DRIVE_A 1185
#define IDC_DRIVE_B 1186
#define IDC_DRIVE_C 1187
#define IDC_DRIVE_D 1007
#define IDC_DRIVE_E 1189
#define IDC_DRIVE_F 1190
#define IDC_DRIVE_G 1191
#define IDC_DRIVE_H 1192
#define IDC_DRIVE_I 1193
#define IDC_DRIVE_J 1194
#define IDC_DRIVE_K 1206
#define IDC_DRIVE_L 1207
#define IDC_DRIVE_M 1208
#define IDC_DRIVE_N 1209
#define IDC_DRIVE_O 1210
#define IDC_DRIVE_P 1211
#define IDC_DRIVE_Q 1212
#define IDC_DRIVE_R 1213
#define IDC_DRIVE_S 1214
#define IDC_DRIVE_T 1215
#define IDC_PHYS_1 1196
#define IDC_PHYS_2 1197
#define IDC_PHYS_3 1198
#define IDC_PHYS_4 1199
#define IDC_PHYS_5 1200
#define IDC_PHYS_6 1201
#define IDC_PHYS_7 1202
#define IDC_PHYS_8 1203
#define IDC_PHYS_9 1204
#define IDC_PHYS_10 1205
#define IDC_DRIVE_READ_ONLY 1216
#define IDC_DRIVE_OK 1
#define IDC_DRIVE_CANCEL 2

// ---- dialog "Optionen" ----
#define IDD_OPTIONS 184
#define IDC_OPT_JNL_DIR 168
#define IDC_OPT_ALT_DIR 169
#define IDC_OPT_START_NOTICE 1191
#define IDC_OPT_ASK_SAVE 1201
#define IDC_OPT_ASK_JOURNAL 1203
#define IDC_OPT_COMPARE_MSG 1197
#define IDC_OPT_JOURNAL_MODE 1184
#define IDC_OPT_DIRECT_MODE 1186
#define IDC_OPT_JOURNAL_ALWAYS 1188
#define IDC_OPT_DIRECT_ALWAYS 1192
#define IDC_OPT_CURSOR_MOVE 1185
#define IDC_OPT_PAGE_MOVE 1190
#define IDC_OPT_READ_ONLY 1187
#define IDC_OPT_READ_ONLY_ALWAYS 1193
#define IDC_OPT_FIXED_DIR 1195
#define IDC_OPT_ALT_DIR_ON 1198
#define IDC_OPT_OTHER_DRIVE 1202
#define IDC_OPT_DBL_CONTEXT 1204
#define IDC_OPT_DBL_VALUES 1205
#define IDC_OPT_DBL_DISASM 1210
#define IDC_OPT_DBL_AVI 1211
#define IDC_OPT_DIS_32 1212
#define IDC_OPT_DIS_REAL 1213
#define IDC_OPT_UNDO_OFF 1214
#define IDC_OPT_UNDO_ORIGINAL 1215
#define IDC_OPT_UNDO_ALL 1216
#define IDC_OPT_JNL_DIR_CANCEL 1206
#define IDC_OPT_JNL_DIR_OK 1207
#define IDC_OPT_ALT_DIR_CANCEL 1208
#define IDC_OPT_ALT_DIR_OK 1209
#define IDC_OPT_OK 1004
#define IDC_OPT_CANCEL 1005

// ---- Options dialog, "Rasterung" group (their hints are in the string table) ----
#define IDC_OPT_RASTER_LINE 1194
#define IDC_OPT_RASTER_256 1196
#define IDC_OPT_RASTER_512 1199
#define IDC_OPT_RASTER_BYTE 1200

// Offset-Einstellung (comparison)
#define IDD_COMPARE_OFFSET 148
#define IDC_OFFSET_HIGH 1010
#define IDC_OFFSET_LOW 226
#define IDC_OFFSET_OK 1
#define IDC_OFFSET_CANCEL 2
