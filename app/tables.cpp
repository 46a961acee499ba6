#include "app/tables.h"

Tables g_tables;

const int kDriveButtons[30] = {1185, 1186, 1187, 1007, 1189, 1190, 1191, 1192, 1193, 1194,
                               1206, 1207, 1208, 1209, 1210, 1211, 1212, 1213, 1214, 1215,
                               1196, 1197, 1198, 1199, 1200, 1201, 1202, 1203, 1204, 1205};

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
