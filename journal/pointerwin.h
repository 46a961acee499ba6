// The "Pointer und Flags" window: a live view of the page's journal pointers.
#pragma once

#include <cstdint>

#include "platform/platform.h"

void resetPointerWindow();
// Command "&Pointer und Flags anzeigen": toggles the view state and its check mark; opens
// the window when it is not there.
int togglePointerWindow();
// Fills the window again while the view state is on (after every repaint).
void refreshPointerWindow();
// The open window's host (nullptr when there is none) and the logic behind it.
DialogHost *pointerWindowHost();
DialogLogic &pointerWindowLogic();
// " HHHH HHHH LLLL LLLL": 16 hex digits in groups of four, each after a blank (21 bytes).
void formatPointer64(uint64_t v, char out[21]);
