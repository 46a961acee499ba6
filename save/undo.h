// Discarding journalled edits, undo and redo of saves, and the jumps between undo positions.
#pragma once

#include <cstdint>

// Results of one undo or redo step.
enum : int { kStepDone = 0, kStepNothing = 1, kStepStopped = 2 };

// "mark. Bearbeitung verwerfen": the marked range of every journalled block gets the
// source's bytes back and loses its marks; a record left without marks leaves the chain.
int discardRange();
// "Bearb. im  Fenster verwerfen": the same for the 512 bytes on screen.
int discardPage();

// A save taken back by undo keeps the cursor on its record, and redo would save it again. When
// something else has moved the cursor since (a commit after it), the taking back has become
// part of the history: the record's save is no longer redone. Called before every save, undo
// and redo command.
void settleTakenBackSave();

// One step at the undo cursor (undo) or after it (redo). kStepNothing when there is nothing
// to do; kStepStopped when the source could not be written (the step changed nothing).
int undoStep();
int redoStep();

// "&Undo": one save run back to its first record; "Undo segmentweise": one step;
// "Undo &Alles": every step there is.
int undoRun();
int undoOne();
int undoAll();
// "Redo", "&Redo segmentweise", "Re&do Alles".
int redoRun();
int redoOne();
int redoAll();

// Ctrl+PgUp / Ctrl+PgDn: the block of the address-chain neighbour below / above the record
// the keys stand on, starting from the undo cursor. The undo cursor itself stays where it
// is, so that no save in force is left behind it.
int prevUndoPos();
int nextUndoPos();
