// The Help menu: four fixed texts and the Info dialog.
#pragma once

extern const char kHelpOverviewText[];
extern const char kHelpInstructionsText[];
extern const char kHelpKeysText[];
extern const char kHelpAviText[];
extern const char kInfoVersion[];

int helpOverview();
int helpInstructions();
int helpKeys();
int helpAvi();
int infoDialog();
