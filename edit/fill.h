// Filling the page or the marking with one value, and the page with every value.
#pragma once

#include <cstdint>

#include "platform/platform.h"

struct FillState {
    uint8_t FillValue; // kept while the program runs; the dialog starts from it
};

extern FillState g_fill;

void resetFillState();

// The logic of dialog 146 "Füllzeichen eingeben": character, hexadecimal and decimal kept in
// step; only the focused field updates the others, so the updates do not echo.
class FillDialog : public DialogLogic {
  public:
    void init(DialogHost &host) override;
    bool command(DialogHost &host, int id, int notify) override;

  private:
    int focused_ = 0;
    void show(DialogHost &host, int except);
};

// Edit notifications the dialog listens to (EN_SETFOCUS, EN_CHANGE).
enum : int { kEditSetFocus = 0x100, kEditChange = 0x300 };

// Runs the dialog; true when it was accepted (FillValue then holds the choice).
bool fillDialog();
// The 512 displayed bytes := FillValue.
int fillPage();
// The marked range := FillValue, pair by pair.
int fillMarking();
// The displayed page := 00..FF twice.
int fillAllValues();
// The menu commands: the dialog first.
int fillPageCommand();
int fillMarkingCommand();
