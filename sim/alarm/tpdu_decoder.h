// Reads what a station typed after the AT+CMGS prompt (PDU mode of 3GPP TS
// 27.005: service-centre address, then the SMS-SUBMIT TPDU of 3GPP TS
// 23.040) back into its fields. Written from the standards alone, so that the
// simulator checks the station's encoder instead of repeating it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tovanix::alarmsim {

struct SubmitTpdu {
    std::size_t scaOctets = 0;          // length octet of the service-centre part (0: modem's own)
    std::string serviceCentre;          // decoded number, "+" for international
    std::uint8_t firstOctet = 0;
    bool rejectDuplicates = false;      // TP-RD
    int validityFormat = 0;             // TP-VPF: 0 none, 1 enhanced, 2 relative, 3 absolute
    bool statusReport = false;          // TP-SRR
    bool headerPresent = false;         // TP-UDHI
    bool replyPath = false;             // TP-RP
    std::uint8_t messageReference = 0;  // TP-MR
    int addressDigits = 0;              // TP-DA length field: useful semi-octets
    std::uint8_t addressType = 0;       // TP-DA type of address
    std::string destination;            // digits, "+" in front for an international number
    std::uint8_t protocolId = 0;        // TP-PID
    std::uint8_t dataCoding = 0;        // TP-DCS
    std::vector<std::uint8_t> validity; // TP-VP as sent
    int userDataLength = 0;             // TP-UDL: septets (GSM 7-bit) or octets
    std::vector<std::uint8_t> header;   // user-data header, when TP-UDHI is set
    std::u16string text;                // the message text as UTF-16 units
    std::size_t tpduOctets = 0;         // octets after the service-centre part
};

struct DecodeResult {
    std::optional<SubmitTpdu> tpdu;
    std::string error;  // why decoding failed, one word or a few joined by '-'
};

DecodeResult decodeSubmit(std::string_view hex);

// Hex text ("0A1b") to octets; no value for odd length or a non-hex digit.
std::optional<std::vector<std::uint8_t>> hexToOctets(std::string_view hex);

}  // namespace tovanix::alarmsim
