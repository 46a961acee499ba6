#include "app/tables.h"

#include "res/resource.h"

Tables g_tables;

const int kDriveButtons[30] = {IDC_DRIVE_A, IDC_DRIVE_B, IDC_DRIVE_C, IDC_DRIVE_D, IDC_DRIVE_E,
                               IDC_DRIVE_F, IDC_DRIVE_G, IDC_DRIVE_H, IDC_DRIVE_I, IDC_DRIVE_J,
                               IDC_DRIVE_K, IDC_DRIVE_L, IDC_DRIVE_M, IDC_DRIVE_N, IDC_DRIVE_O,
                               IDC_DRIVE_P, IDC_DRIVE_Q, IDC_DRIVE_R, IDC_DRIVE_S, IDC_DRIVE_T,
                               IDC_PHYS_1,  IDC_PHYS_2,  IDC_PHYS_3,  IDC_PHYS_4,  IDC_PHYS_5,
                               IDC_PHYS_6,  IDC_PHYS_7,  IDC_PHYS_8,  IDC_PHYS_9,  IDC_PHYS_10};

const int kHexColumnOffset[16] = {1, 4, 7, 10, 13, 16, 19, 22, 26, 29, 32, 35, 38, 41, 44, 47};

void buildTables() {
    static const char digits[] = "0123456789ABCDEF";
    for (int v = 0; v < 256; ++v) {
        g_tables.hexPair[v][0] = digits[v >> 4];
        g_tables.hexPair[v][1] = digits[v & 15];
        uint8_t up = uint8_t(v);
        if (v >= 'a' && v <= 'z') up = uint8_t(v - 32);
        if (v == 0xE4) up = 0xC4;
        if (v == 0xF6) up = 0xD6;
        if (v == 0xFC) up = 0xDC;
        g_tables.upperCase[v] = up;
        g_tables.decTriplet[v][0] = char('0' + v / 100);
        g_tables.decTriplet[v][1] = char('0' + v / 10 % 10);
        g_tables.decTriplet[v][2] = char('0' + v % 10);
        uint8_t hv = 0;
        if (v >= '0' && v <= '9')
            hv = uint8_t(v - '0');
        else if (v >= 'A' && v <= 'F')
            hv = uint8_t(v - 'A' + 10);
        else if (v >= 'a' && v <= 'f')
            hv = uint8_t(v - 'a' + 10);
        g_tables.hexDigitValue[v] = hv;
        g_tables.decDigitValue[v] = (v >= '0' && v <= '9') ? uint8_t(v - '0') : 0;
    }
}
