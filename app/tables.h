// Lookup tables built once at start.
#pragma once

#include <cstdint>

struct Tables {
    char hexPair[256][2];    // two upper-case hex digits, high digit first
    uint8_t upperCase[256];  // a-z and ä ö ü raised
    char decTriplet[256][3]; // "000" to "255"
    uint8_t hexDigitValue[256];
    uint8_t decDigitValue[256];
};

extern Tables g_tables;

// Control ids of the drive dialog's buttons: A: to T:, then physical drives 1 to 10.
extern const int kDriveButtons[30];
// Character offset of byte k's hex pair in a row's hex text.
extern const int kHexColumnOffset[16];

void buildTables();
