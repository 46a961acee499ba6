#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "access/errors.h"
#include "access/textutil.h"
#include "app/tables.h"

class TextUtil : public ::testing::Test {
  protected:
    void SetUp() override { buildTables(); }
};

TEST_F(TextUtil, ClampedDiffSaturatesInsteadOfWrapping) {
    EXPECT_EQ(clampedDiff(1000, 24), 976);
    EXPECT_EQ(clampedDiff(24, 1000), -976);
    EXPECT_EQ(clampedDiff(uint64_t(1) << 32, 0), 0x7FFFFFFF);
    EXPECT_EQ(uint32_t(clampedDiff(0, uint64_t(1) << 32)), 0x80000001u);
    EXPECT_EQ(clampedDiff(0x80000000ull, 0), 0x7FFFFFFF);
    EXPECT_EQ(clampedDiff(0x17FFFFFFFull, 0x180000000ull), -1);
    EXPECT_EQ(clampedDiff(~uint64_t(0), 0), 0x7FFFFFFF);
}

TEST_F(TextUtil, Hex32AndDecimalFormats) {
    char buf[16];
    std::memset(buf, '#', sizeof buf);
    formatHex32(0x00A4D307, buf + 9);
    EXPECT_EQ(std::string(buf, 10), " 00A4 D307");
    formatHex32(0xFFFFFFFF, buf + 9);
    EXPECT_EQ(std::string(buf, 10), " FFFF FFFF");
    formatDecimal10(4096, buf);
    EXPECT_EQ(std::string(buf, 10), "      4096");
    EXPECT_EQ(buf[10], 0x0A);
    EXPECT_EQ(buf[11], 0x0D);
    formatDecimal10(0, buf);
    EXPECT_EQ(std::string(buf, 10), "         0");
}

TEST_F(TextUtil, CopyPaddedKeepsTheEndOfLongTexts) {
    char f[8];
    copyPadded(f, 8, "abc");
    EXPECT_EQ(std::string(f, 8), "abc     ");
    copyPadded(f, 8, "C:\\a\\very\\long.bin");
    EXPECT_EQ(std::string(f, 8), "long.bin");
}

TEST_F(TextUtil, ParsersReadRightToLeftAndCountSeparators) {
    int seps = -1;
    EXPECT_EQ(parseHex32("a4d307", &seps), 0xA4D307u);
    EXPECT_EQ(seps, 0);
    EXPECT_EQ(parseHex32("a4,d3,07", &seps), 0xA4D307u);
    EXPECT_EQ(seps, 2);
    // A group written with one digit is not padded: the digits before it shift.
    EXPECT_EQ(parseHex32("a4,d3,7"), 0xA4D37u);
    EXPECT_EQ(parseHex64("1 0000 0000"), 0x100000000ull);
    EXPECT_EQ(parseHex64("FFFF FFFF FFFF FFFF"), ~uint64_t(0));
    EXPECT_EQ(parseDec32("4.294.967.295", &seps), 4294967295u);
    EXPECT_EQ(seps, 3);
    EXPECT_EQ(parseDec64("68719476736"), 68719476736ull);
    EXPECT_EQ(parseBin32("1010 0x01"), 0b10100101u); // every digit but "0" counts as 1
}

TEST_F(TextUtil, TablesCoverEveryByte) {
    EXPECT_EQ(std::string(g_tables.hexPair[0xA7], 2), "A7");
    EXPECT_EQ(std::string(g_tables.decTriplet[7], 3), "007");
    EXPECT_EQ(std::string(g_tables.decTriplet[255], 3), "255");
    EXPECT_EQ(g_tables.upperCase[uint8_t('q')], 'Q');
    EXPECT_EQ(g_tables.upperCase[0xE4], 0xC4); // ä
    EXPECT_EQ(g_tables.upperCase[0xF6], 0xD6); // ö
    EXPECT_EQ(g_tables.upperCase[0xFC], 0xDC); // ü
    EXPECT_EQ(g_tables.upperCase[0xDF], 0xDF); // ß stays
    EXPECT_EQ(g_tables.hexDigitValue[uint8_t('f')], 15);
    EXPECT_EQ(g_tables.hexDigitValue[uint8_t('G')], 0);
    EXPECT_EQ(g_tables.decDigitValue[uint8_t('9')], 9);
    EXPECT_EQ(g_tables.decDigitValue[uint8_t('A')], 0);
}

TEST(ErrorTable, HoldsEveryCodeWithItsGermanText) {
    int count = 0;
    for (uint32_t code = 0; code < 5000; ++code)
        if (errorText(code)) ++count;
    EXPECT_EQ(count, 176);
    EXPECT_STREQ(errorText(5), "Zugriff verweigert !");
    EXPECT_STREQ(errorText(994), "Zugriff verweigert !");
    EXPECT_STREQ(errorText(995), "Vorgang abgebrochen !");
    EXPECT_STREQ(errorText(1067), "Vorgang abgebrochen !");
    EXPECT_STREQ(errorText(112), "Laufwerk ist voll !");
    EXPECT_STREQ(errorText(1112), "kein Medium im Lauferk !");
    EXPECT_STREQ(errorText(28), "au\xDF"
                                "erhalb der Papierma\xDF"
                                "e !"); // Windows-1252 bytes
    EXPECT_EQ(errorText(35), nullptr);
}
