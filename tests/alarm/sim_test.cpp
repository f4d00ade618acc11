// The simulator's own parts: the TPDU decoder against published and
// hand-made vectors, and the device state machine without a terminal.
#include <gtest/gtest.h>

#include <string>

#include "sim/alarm/device.h"
#include "sim/alarm/tpdu_decoder.h"

namespace tovanix::alarmsim {
namespace {

using namespace std::chrono_literals;

TEST(AlarmSimDecoder, PublishedSevenBitVector) {
    // The classic SMS-SUBMIT example: "hellohello" to +46708251358, 7-bit, VP AA.
    const auto r = decodeSubmit("0011000B916407281553F80000AA0AE8329BFD4697D9EC37");
    ASSERT_TRUE(r.tpdu) << r.error;
    EXPECT_EQ(r.tpdu->destination, "+46708251358");
    EXPECT_EQ(r.tpdu->addressDigits, 11);
    EXPECT_EQ(r.tpdu->validityFormat, 2);
    ASSERT_EQ(r.tpdu->validity.size(), 1u);
    EXPECT_EQ(r.tpdu->validity[0], 0xAA);
    EXPECT_EQ(r.tpdu->userDataLength, 10);
    EXPECT_EQ(r.tpdu->text, u"hellohello");
    EXPECT_EQ(r.tpdu->tpduOctets, 23u);
}

TEST(AlarmSimDecoder, UcsTwoWorkedExample) {
    const auto r = decodeSubmit("0011000D91683119325476F80008000462A58B66");
    ASSERT_TRUE(r.tpdu) << r.error;
    const SubmitTpdu& t = *r.tpdu;
    EXPECT_EQ(t.scaOctets, 0u);
    EXPECT_EQ(t.firstOctet, 0x11);
    EXPECT_FALSE(t.rejectDuplicates);
    EXPECT_FALSE(t.statusReport);
    EXPECT_FALSE(t.headerPresent);
    EXPECT_FALSE(t.replyPath);
    EXPECT_EQ(t.messageReference, 0);
    EXPECT_EQ(t.addressType, 0x91);
    EXPECT_EQ(t.destination, "+8613912345678");
    EXPECT_EQ(t.protocolId, 0);
    EXPECT_EQ(t.dataCoding, 0x08);
    EXPECT_EQ(t.userDataLength, 4);
    EXPECT_EQ(t.text, u"\u62A5\u8B66");
    EXPECT_EQ(t.tpduOctets, 19u);
}

TEST(AlarmSimDecoder, ServiceCentreHeaderAndEightBit) {
    // SMSC +86138020500, then a SUBMIT with a user-data header (one
    // concatenation element 00 03 01 02 01) and 8-bit data "AB".
    const auto r = decodeSubmit("07916831080205F0" "51" "07" "0B91" "6407281553F8" "00" "04" "00" "08" "0500030102014142");
    ASSERT_TRUE(r.tpdu) << r.error;
    EXPECT_EQ(r.tpdu->serviceCentre, "+86138020500");
    EXPECT_TRUE(r.tpdu->headerPresent);
    EXPECT_EQ(r.tpdu->messageReference, 7);
    EXPECT_EQ(r.tpdu->validityFormat, 2);
    EXPECT_EQ(r.tpdu->header, (std::vector<std::uint8_t> {0x00, 0x03, 0x01, 0x02, 0x01}));
    EXPECT_EQ(r.tpdu->text, u"AB");
}

TEST(AlarmSimDecoder, NoValidityPeriodAndNationalNumber) {
    // VPF 0, type of address 0x81 (unknown / ISDN), 4 digits.
    const auto r = decodeSubmit("00" "01" "00" "04" "81" "2143" "00" "08" "02" "0041");
    ASSERT_TRUE(r.tpdu) << r.error;
    EXPECT_EQ(r.tpdu->destination, "1234");
    EXPECT_TRUE(r.tpdu->validity.empty());
    EXPECT_EQ(r.tpdu->text, u"A");
}

TEST(AlarmSimDecoder, RefusesWhatTheStandardDoesNotAllow) {
    EXPECT_EQ(decodeSubmit("001").error, "not-hex");
    EXPECT_EQ(decodeSubmit("0G").error, "not-hex");
    EXPECT_EQ(decodeSubmit("").error, "empty");
    EXPECT_EQ(decodeSubmit("000400").error, "not-submit");  // TP-MTI 00
    // Declared 13 digits, 12 given: the address runs into the next field.
    EXPECT_EQ(decodeSubmit("0011000D912011325476F80008000400410042").error, "bad-address-digits");
    EXPECT_EQ(decodeSubmit("0011000D91683119325476F8000800040041").error, "user-data-shorter-than-length");
    EXPECT_EQ(decodeSubmit("0011000D91683119325476F800080002004100").error, "octets-after-user-data");
    EXPECT_EQ(decodeSubmit("0011000D91683119325476F800080003004100").error, "odd-ucs2-length");
}

class Device : public ::testing::Test {
protected:
    std::string send(const std::string& bytes) {
        dev.receive(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), now);
        return drain();
    }
    std::string drain(std::chrono::milliseconds forward = 0ms) {
        now += forward;
        dev.tick(now);
        auto out = dev.takeOutput(now);
        return std::string(out.begin(), out.end());
    }
    AlarmDevice dev {false};
    Clock::time_point now = Clock::now();
};

TEST_F(Device, BoxFrames) {
    EXPECT_EQ(send(std::string("\xFF\x06\x00\x04\xAA\x55\x63\x4A", 8)), std::string("\xFF\x06\x00\x04\xAA\x55\x63\x4A", 8));
    EXPECT_TRUE(dev.siren());
    EXPECT_EQ(send(std::string("\xFF\x06\x00\x08\x00\x01\xDC\x16", 8)), std::string("\xFF\x06\x00\x08\x01\x00\x1C\x46", 8));
    dev.setPower(false);
    EXPECT_EQ(send(std::string("\xFF\x06\x00\x08\x00\x01\xDC\x16", 8)), std::string("\xFF\x06\x00\x08\x00\x00\x1D\xD6", 8));
    EXPECT_EQ(send(std::string("\xFF\x06\x00\x04\x00\x00\xDD\xD5", 8)), std::string("\xFF\x06\x00\x04\x00\x00\xDD\xD5", 8));
    EXPECT_FALSE(dev.siren());
    // Wrong CRC: no answer, nothing switched.
    EXPECT_EQ(send(std::string("\xFF\x06\x00\x04\xAA\x55\x4A\x63", 8)), "");
    EXPECT_FALSE(dev.siren());
    EXPECT_EQ(dev.counters().badFrames, 1);
    // An incomplete frame is dropped after its gap.
    EXPECT_EQ(send(std::string("\xFF\x06\x00", 3)), "");
    EXPECT_EQ(drain(100ms), "");
    EXPECT_EQ(dev.counters().badFrames, 2);
    EXPECT_EQ(send("AT\r\n"), "AT\r\n\r\nOK\r\n");
}

TEST_F(Device, CommandsEchoedAndAnswered) {
    EXPECT_EQ(send("AT\r\n"), "AT\r\n\r\nOK\r\n");
    EXPECT_EQ(send("AT+CMGF=0\r\n"), "AT+CMGF=0\r\n\r\nOK\r\n");
    EXPECT_EQ(send("AT+CSCA?\r\n"), "AT+CSCA?\r\n\r\n+CSCA: \"+8613800200500\",145\r\n\r\nOK\r\n");
    EXPECT_EQ(send("ATX\r\n"), "ATX\r\n\r\nERROR\r\n");
    // A lone CR runs the command once the line-end settle time is over.
    EXPECT_EQ(send("AT\r"), "");
    EXPECT_EQ(drain(50ms), "AT\r\r\nOK\r\n");
    EXPECT_EQ(send("ATE0\r\n"), "ATE0\r\n\r\nOK\r\n");
    EXPECT_EQ(send("AT\r\n"), "\r\nOK\r\n");
}

TEST_F(Device, MessageExchange) {
    dev.setNetworkDelay(500);
    EXPECT_EQ(send("AT+CMGS=19\r\n"), "AT+CMGS=19\r\n\r\n> ");
    const std::string line = "0011000D91683119325476F80008000462A58B66\x1A\r\n";
    EXPECT_EQ(send(line), line);
    EXPECT_EQ(drain(400ms), "");
    EXPECT_EQ(drain(200ms), "\r\n+CMGS: 1\r\n\r\nOK\r\n");
    ASSERT_EQ(dev.messages().size(), 1u);
    EXPECT_TRUE(dev.messages()[0].error.empty());
    EXPECT_EQ(dev.messages()[0].tpdu->destination, "+8613912345678");
    EXPECT_EQ(dev.messages()[0].pdu, line.substr(0, 40));
    // A length that does not match the TPDU is refused after the echo.
    EXPECT_EQ(send("AT+CMGS=18\r\n"), "AT+CMGS=18\r\n\r\n> ");
    EXPECT_EQ(send(line), line);
    EXPECT_EQ(drain(600ms), "\r\n+CMS ERROR: 304\r\n");
    EXPECT_EQ(dev.messages()[1].error, "length-mismatch");
}

TEST_F(Device, Faults) {
    dev.setFault({Fault::BadCrc, 1, 0, 0});
    EXPECT_EQ(send(std::string("\xFF\x06\x00\x04\xAA\x55\x63\x4A", 8)), std::string("\xFF\x06\x00\x04\xAA\x55\x4A\x63", 8));
    EXPECT_EQ(dev.fault().fault, Fault::None) << "used up";

    dev.setFault({Fault::Pause, 1, 3, 250});
    EXPECT_EQ(send("AT\r\n"), "AT\r");
    EXPECT_EQ(drain(200ms), "");
    EXPECT_EQ(drain(100ms), "\n\r\nOK\r\n");

    dev.setFault({Fault::Silence, 2, 0, 0});
    EXPECT_EQ(send("AT\r\n"), "");
    EXPECT_EQ(send(std::string("\xFF\x06\x00\x04\xAA\x55\x63\x4A", 8)), "");
    EXPECT_EQ(send("AT\r\n"), "AT\r\n\r\nOK\r\n");

    dev.setFault({Fault::NoPrompt, 1, 0, 0});
    EXPECT_EQ(send("AT+CMGS=19\r\n"), "AT+CMGS=19\r\n\r\nERROR\r\n");

    dev.setFault({Fault::PartialEcho, 1, 10, 0});
    EXPECT_EQ(send("AT+CMGS=19\r\n"), "AT+CMGS=19\r\n\r\n> ");
    EXPECT_EQ(send("0011000D91683119325476F80008000462A58B66\x1A\r\n"), "0011000D91");
    EXPECT_EQ(dev.messages().size(), 1u) << "the modem still takes the message";
}

TEST(AlarmSimOutput, PacedAtNineSixHundred) {
    PacedOutput out(true);
    const auto t0 = Clock::now();
    out.push(std::vector<std::uint8_t>(10, 'x'), 0, t0);
    EXPECT_EQ(out.takeDue(t0).size(), 1u);
    EXPECT_EQ(out.takeDue(t0 + 5ms).size(), 4u);  // bytes 1..4 at 1.04 ms each
    EXPECT_EQ(out.takeDue(t0 + 20ms).size(), 5u);
    EXPECT_TRUE(out.empty());
}

}  // namespace
}  // namespace tovanix::alarmsim
