#include <gtest/gtest.h>

#include <string>

#include "alarm/pdu.h"

namespace tovanix::alarm {
namespace {

std::u16string units(std::size_t n, char16_t u = u'\u62A5') { return std::u16string(n, u); }

TEST(AlarmPacking, WorkedExample) {
    EXPECT_EQ(packPhone("13912345678"), "683119325476F8");
    EXPECT_EQ(packedPhoneLength("13912345678"), 14u);
}

TEST(AlarmPacking, NoChinaPrefixWithoutLeadingOne) {
    EXPECT_EQ(packPhone("02112345678"), "2011325476F8");  // 11 digits, padded
    EXPECT_EQ(packPhone("8613912345678"), "683119325476F8");
}

TEST(AlarmPacking, NoPaddingForEvenLength) {
    EXPECT_EQ(packPhone("021123456789"), "201132547698");
    EXPECT_EQ(packPhone("1391234567"), "683119325476");  // 86 + 10 digits
}

TEST(AlarmPacking, NothingValidated) {
    EXPECT_EQ(packPhone(""), "");
    EXPECT_EQ(packPhone("+12"), "1+F2");
    EXPECT_EQ(packPhone("ab"), "ba");
}

TEST(AlarmPacking, EighteenCharactersAtMost) {
    EXPECT_EQ(packPhone("1234567890123456")->size(), 18u);  // 86 + 16
    EXPECT_EQ(packPhone("123456789012345")->size(), 18u);   // 86 + 15 + F
    EXPECT_FALSE(packPhone("12345678901234567"));           // 86 + 17 + F = 20
    EXPECT_EQ(packPhone("234567890123456789")->size(), 18u);
    EXPECT_EQ(packPhone("23456789012345678")->size(), 18u);  // 17 + F
    EXPECT_FALSE(packPhone("2345678901234567890"));
    EXPECT_EQ(packedPhoneLength("2345678901234567890"), 20u);
}

TEST(AlarmUserData, HexPerUnitThenSub) {
    EXPECT_EQ(userDataHex(u"\u62A5\u8B66"), "62A58B66\x1A");
    EXPECT_EQ(userDataHex(u""), "\x1A");
    EXPECT_EQ(userDataHex(u"Hi\r\n"), "00480069000D000A\x1A");
    EXPECT_EQ(userDataHex(std::u16string(1, u'\uFFFF')), "FFFF\x1A");
    EXPECT_EQ(userDataHex(std::u16string(1, u'\x0001')), "0001\x1A");
}

TEST(AlarmPduLine, WorkedExample) {
    const std::string line = pduLine("683119325476F8", u"\u62A5\u8B66");
    EXPECT_EQ(line, "0011000D91683119325476F8" "000800" "04" "62A58B66" "\x1A\r\n");
    EXPECT_EQ(line.size(), 43u);
    EXPECT_EQ(cmgsLength(line), 19);
    EXPECT_EQ(cmgsCommand(cmgsLength(line)), "AT+CMGS=19\r\n");
}

TEST(AlarmPduLine, AsciiGoldenVector) {
    // Worked by hand: 13800138000 -> 8613800138000F -> 683108108300F0; "Hi" -> 0048 0069.
    const std::string line = pduLine(*packPhone("13800138000"), u"Hi");
    EXPECT_EQ(line, "0011000D91683108108300F0000800040048" "0069\x1A\r\n");
    EXPECT_EQ(cmgsLength(line), 19);
}

TEST(AlarmPduLine, EmptyText) {
    const std::string line = pduLine("683119325476F8", u"");
    EXPECT_EQ(line, "0011000D91683119325476F800080000\x1A\r\n");
    EXPECT_EQ(cmgsLength(line), 15);
}

TEST(AlarmPduLine, UserDataLengthGrowsToThreeDigits) {
    const std::string packed = "683119325476F8";
    const std::string at127 = pduLine(packed, units(127));
    EXPECT_EQ(at127.substr(30, 2), "FE");
    EXPECT_EQ(cmgsLength(at127), 15 + 2 * 127);
    const std::string at128 = pduLine(packed, units(128));
    EXPECT_EQ(at128.substr(30, 3), "100");
    EXPECT_EQ(at128.substr(33, 4), "62A5");
    EXPECT_EQ(cmgsLength(at128), 16 + 2 * 128);
}

TEST(AlarmPduLine, LimitOf350) {
    const std::string packed = "683119325476F8";
    const std::string at167 = pduLine(packed, units(167));
    EXPECT_EQ(cmgsLength(at167), 350);
    EXPECT_EQ(at167.size(), 704u);
    EXPECT_LE(at167.size(), kMaxPduLineLength);
    EXPECT_EQ(cmgsLengthFor(14, 168), 352);
    EXPECT_GT(cmgsLengthFor(14, 168), kMaxCmgsLength);
    // The longest line an 18-character number allows still fits the bound.
    std::size_t longest = 0;
    for (std::size_t n = 0; n < 200; ++n)
        if (cmgsLengthFor(18, n) <= kMaxCmgsLength) longest = pduLine(std::string(18, '1'), units(n)).size();
    EXPECT_LE(longest, kMaxPduLineLength);
}

TEST(AlarmPduLine, LengthFromSizesMatchesTheLine) {
    for (std::size_t packed : {0u, 12u, 14u, 18u})
        for (std::size_t n = 0; n < 300; ++n)
            ASSERT_EQ(cmgsLengthFor(packed, n), cmgsLength(pduLine(std::string(packed, '9'), units(n))))
                << packed << " " << n;
}

TEST(AlarmPduLine, LengthOfShortLines) {
    EXPECT_EQ(cmgsLength(""), 0);
    EXPECT_EQ(cmgsLength("00\r\n"), 0);
    EXPECT_EQ(cmgsLength("0011\r\n"), 1);
    EXPECT_EQ(hexDigits(0), 2u);
    EXPECT_EQ(hexDigits(0xFF), 2u);
    EXPECT_EQ(hexDigits(0x100), 3u);
    EXPECT_EQ(hexDigits(0x1000), 4u);
}

}  // namespace
}  // namespace tovanix::alarm
