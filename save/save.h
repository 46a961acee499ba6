// Saving journalled edits into the source: the page, the marked range or everything, with the
// original copies and versions that undo (save/undo.h) needs to give the earlier bytes back.
#pragma once

#include <cstdint>

#include "journal/flags.h"
#include "journal/format.h"

struct SaveState {
    uint32_t SaveQuiet;        // 0x1: the next saveRange asks nothing and clears the bit
    uint64_t SaveCursor;       // source position the current block is saved from
    uint32_t SegCarry;         // 0 or 0x40000: ORed into the next record of a run
    uint8_t SaveScratch[512];  // source bytes read during a save (original copies, exchange)
    uint8_t BlockScratch[512]; // saveAll: the data of the record being saved
    JournalRecord WorkRec;     // the record saveAll (and undo) works on
    uint64_t RunLast;          // the last record saved by the running save
    bool RunLastContinues;     // it carries 0x2 (cleared when no later block is saved)
    uint64_t RestoredAt;       // the record whose save undo just took back (cursor on it)
    char RestoredJnl[260];     // in this journal
    // Source writes of "&Alles speichern" waiting for one flush of the journal before them.
    struct PendingWrite {
        uint64_t rec, adr;
        uint32_t len;
        uint8_t data[512];
    } Pending[64];
    int PendingCount;
    uint32_t
        CheckpointEvery; // "&Alles speichern" makes its work final per so many records (0: 4096)
};

extern SaveState g_save;

// Record flag values of saving (exact, as the journal holds them).
constexpr uint32_t kSaveFlagsKeep0 = 0x33BB08;     // no undo, edits left in the block
constexpr uint32_t kSaveFlagsDone0 = 0xB33B28;     // no undo, every edit saved
constexpr uint32_t kSaveFlagsDone = 0xA30820;      // range save, every edit saved
constexpr uint32_t kSaveFlagsPartNew = 0x238808;   // range save, the new version (edits left)
constexpr uint32_t kSaveFlagsRecord = 0xA20820;    // saveAll
constexpr uint32_t kFlagSavedInPart = 0x8000;      // saved in part: the map holds what is left
constexpr uint32_t kFlagOldVersion = 0x80;         // the version before a saved-in-part one
constexpr uint32_t kFlagsOriginalExists = 0x10010; // an original copy exists
constexpr uint32_t kOriginalCopyKeep = 0xCDE6FA;
constexpr uint32_t kFlagRestored = 0x800000; // undo put this version's bytes back
// Undo has gone back past this record: on a saved record, its save was taken back with the
// cursor left on it; on an original copy, the cursor lies before it.
constexpr uint32_t kFlagSaveTakenBack = 0x400;
constexpr uint32_t kFlagCopyPassed = 0x400;
constexpr uint32_t kFlagWasSaved = 0x800; // set by every save

void resetSaveState();

// ---- commands ----
// "Seite speichern": the 512 bytes on screen.
int savePage();
// "markierten Datenbereich speichern": MarkStart to MarkEnd; asks unless SaveQuiet is set.
// Returns 1 when nothing was done (no marking, no journal, the user said no).
int saveRange();
// "&Alles speichern" without its questions (closing asks them itself): every record of the
// address chain in address order. Returns 1 when there was nothing to save.
int saveAll();
// The command: the question with the source name, write access, then saveAll.
int saveAllCommand();
// The question before saving everything: the source name, then "Datei wurde bearbeitet!".
void saveAllQuestion(char text[400]);

// ---- steps ----
// Saves WorkRec whole (its data in BlockScratch); false when the block was left unsaved.
// With undo the source write waits in Pending until writePending (the journal is flushed
// once for a group of blocks, always before their source writes).
bool saveRecord();
void writePending();
// The page pair moves on to the next journalled block above it (block 1 from JNextPtr).
void nextJournalPage();
// Range bits of the page records: SaveCursor to MarkEnd within the block.
int takeRangeBits1();
int takeRangeBits2();
void dropRangeBits1();
void dropRangeBits2();
int anyBits1();
int anyBits2();
// An original copy of r's block that undo has gone back past moves to just before r: the
// save r makes now is the first after the point undo went back to.
void keepCopyBefore(JournalRecord &r);
// Fills the original copy whose entry was appended at `slot` (its data already written)
// and links it as the oldest version of r's block and into the undo chain before it.
void makeOriginalCopy(JournalRecord &r, uint64_t oldNJnl, uint64_t slot);

// ---- shared with undo ----
// The bytes the source had before the save of q: the original copy overlaid with every older
// version whose save is in force (one saved in part contributes the bytes outside its map).
// `first` receives the version nearest to q that contributed. False when no older version
// holds the block's earlier bytes.
bool bytesBeforeSave(const JournalRecord &q, uint8_t *out, uint64_t *first);
// Keeps the source's bytes of r's block in a before-image just below r when no older version
// shows them (the bytes are left in SaveScratch). False when they could not be kept.
bool keepBeforeImage(JournalRecord &r);
// 0 when the source may be written (asking for reopening and write access as needed),
// 1 when the command has to stop. `okOnly`: the reopen question has no Cancel button.
int ensureWritable(bool okOnly);
// Appends an entry whose fields are filled later; false (journal cut back) when it failed.
bool appendProvisional(JournalRecord &r, const uint8_t *data, uint64_t *slot);
// Makes sure what was written to the journal is on the disk.
void flushJournal();
