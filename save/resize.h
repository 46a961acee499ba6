// Changing the size of the source file: dialog 160 with the amount to add or the new size in
// five units, decimal and hexadecimal, and the change itself, which goes straight into the
// source.
#pragma once

#include <cstdint>

#include "platform/platform.h"

struct ResizeState {
    int64_t GrowBy;      // negative when the new size is below the file size
    uint64_t NewSize;    // FileSize + GrowBy
    uint32_t SizeFocus;  // one bit per field code: the field with the input focus
    uint32_t SizeSource; // code + 1 of the field typed into last (0: none), not rewritten
    bool busy;           // the dialog is rewriting a field (its change notice is its own)
};

extern ResizeState g_resize;

// The settings bit of "Erweiterung markieren".
constexpr uint32_t kMarkGrowth = 0x1;

// The twenty edit fields: group 0 "ERWEITERN UM :", group 1 "NEUE GRÖßE :".
struct SizeField {
    int id;
    int group;
    int shift; // unit: 1 << shift bytes
    bool hex;
    int digits; // the most digits the field takes
};
constexpr int kSizeFields = 20;
extern const SizeField kSizeFieldTable[kSizeFields];

void resetResizeState();

// Grouped form: leading zeros dropped, digits in groups of three (decimal) or four
// (hexadecimal) separated by a blank; every character that is not a digit of the radix is
// left out, and digits beyond `maxDigits` are cut. A leading '-' is kept when `sign`.
void groupDigits(const char *in, bool hex, int maxDigits, bool sign, char *out, int size);
// The text a field shows for a value in its unit (signed, remainder dropped).
void sizeFieldText(const SizeField &f, int64_t value, char *out, int size);

// The logic of dialog 160.
class SizeDialog : public DialogLogic {
  public:
    void init(DialogHost &host) override;
    bool command(DialogHost &host, int id, int notify) override;

  private:
    void refresh(DialogHost &host);
    void typed(DialogHost &host, int code);
};

// "&Vergrößern": the dialog, then resizeSource with the size the user gave.
int resizeCommand();
// Asks, gets write access, sets the file's length, shows the page again. 1 when nothing was
// changed (same size, the user said no, no write access, no room, a failure), else 0.
int resizeSource(uint64_t newSize);
