// Number entry shared by the values window and the Goto dialog, the Goto dialog itself and
// the jump to a position.
#pragma once

#include <cstdint>

// What a field's text says. Characters below "0" are separators and counted; a "-" before
// the first digit also makes the number negative. `valid` is false for a character that is
// no digit of the radix, a value beyond 64 bits, or a text without any digit.
struct FieldNumber {
    uint64_t value;
    int seps;
    bool negative;
    bool valid;
};
FieldNumber readFieldNumber(const char *text, unsigned radix);

// Display forms: decimal in groups of three ("1 234"), sixteen hex digits in four groups of
// four ("0000 0001 0000 0000"). `out` holds 28 bytes.
void formatGroups3(uint64_t v, char *out);
void formatHex4x4(uint64_t v, char *out);

struct GotoState {
    uint64_t target;   // absolute target
    uint64_t distance; // from the cursor; two's complement backwards
    int active;        // the field that has the focus
    bool relative;     // the last field typed in was a relative one
    bool repeat;       // a relative jump was made: OK steps on by the distance
    bool filling;      // the program writes the fields (their change notes are not typing)
};

extern GotoState g_goto;

void resetGotoState();
// Moves the view so that the cursor stands on byte `t`; a position at or beyond the last
// byte shows the end of the source with the cursor on its last byte.
int gotoPosition(uint64_t t);
// "&Adresse" (Ctrl+G): the Goto dialog, open until "Abbrechen".
int gotoDialog();
