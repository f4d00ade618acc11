// The exported operations: the siren and power exchanges and the GSM
// commands, on the one port of the library.
#include "alarm/alarm.h"

#include <chrono>
#include <climits>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "alarm/pdu.h"
#include "alarm/port.h"
#include "alarm/protocol.h"

namespace tovanix::alarm {
namespace {

// g_portMutex guards g_port (the port record) for the whole of every
// exported call, so the alarm thread and a port test from the user
// interface never interleave on the line.
std::mutex g_portMutex;
Port g_port;

using Lock = std::lock_guard<std::mutex>;

// Between the prompt and the PDU line, whatever the prompt was.
constexpr auto kPromptPause = std::chrono::milliseconds(200);
// The final reply must hold the longest echo whole, so a long message that
// was echoed exactly is not judged by a cut copy.
constexpr std::size_t kEchoReplySize =
    kMaxPduLineLength + 1 > kPromptReplySize ? kMaxPduLineLength + 1 : kPromptReplySize;

int frameExchange(const Frame& request, bool powerQuery) {
    if (!g_port.sendBytes(request.data(), request.size())) return 0;
    std::uint8_t reply[kFrameSize];
    ReplyCollector collector(reply, sizeof reply, ReplyCollector::Mode::Binary);
    g_port.collect(collector);
    if (powerQuery) return powerPresent(reply, collector.stored(), collector.overflowed()) ? 1 : 0;
    return frameReplyValid(reply, collector.stored(), collector.overflowed()) ? 1 : 0;
}

// Sends `command` and collects its reply as text into `buffer`.
bool textExchange(std::string_view command, std::uint8_t* buffer, std::size_t size, std::string_view& text) {
    if (!g_port.sendText(command)) return false;
    ReplyCollector collector(buffer, size, ReplyCollector::Mode::Text);
    g_port.collect(collector);
    text = collector.text();
    return true;
}

std::u16string_view textOf(const char16_t* text) { return std::u16string_view(text); }

}  // namespace
}  // namespace tovanix::alarm

using namespace tovanix::alarm;

extern "C" {

int W_OpenCom(int port) {
    Lock lock(g_portMutex);
    return g_port.open(port);
}

int W_CloseCom(void) {
    Lock lock(g_portMutex);
    return g_port.close();
}

int W_OpenAlarm(void) {
    Lock lock(g_portMutex);
    return frameExchange(kSirenOnFrame, false);
}

int W_CloseAlarm(void) {
    Lock lock(g_portMutex);
    return frameExchange(kSirenOffFrame, false);
}

int W_GetPower(void) {
    Lock lock(g_portMutex);
    return frameExchange(kPowerQueryFrame, true);
}

int W_GSMSendMessage(const char* phone, const char16_t* text) {
    if (phone == nullptr || text == nullptr) return 0;
    const auto packed = packPhone(phone);
    if (!packed) return 0;
    const std::u16string_view units = textOf(text);
    const long length = cmgsLengthFor(packed->size(), units.size());
    if (length > kMaxCmgsLength) return 0;
    const std::string line = pduLine(*packed, units);

    Lock lock(g_portMutex);
    if (!g_port.sendText(cmgsCommand(length))) return 0;
    std::uint8_t prompt[kPromptReplySize];
    ReplyCollector promptReply(prompt, sizeof prompt, ReplyCollector::Mode::Text);
    g_port.collect(promptReply);
    std::this_thread::sleep_for(kPromptPause);
    if (!textContains(promptReply.text(), kPromptText)) return 0;

    if (!g_port.sendText(line)) return 0;
    std::uint8_t echo[kEchoReplySize];
    ReplyCollector echoReply(echo, sizeof echo, ReplyCollector::Mode::Text);
    g_port.collect(echoReply);
    return !echoReply.overflowed() && echoReply.text() == line ? 1 : 0;
}

int W_GSMAT_CMGS(const char* phone, const char16_t* text, char* reply, int reply_size) {
    if (phone == nullptr || text == nullptr || reply == nullptr || reply_size < 1) return 0;
    const auto packed = packPhone(phone);
    if (!packed) return 0;
    const long length = cmgsLengthFor(packed->size(), textOf(text).size());
    if (length > INT_MAX) return 0;

    Lock lock(g_portMutex);
    if (!g_port.sendText(cmgsCommand(length))) return 0;
    ReplyCollector collector(reinterpret_cast<std::uint8_t*>(reply), static_cast<std::size_t>(reply_size),
                             ReplyCollector::Mode::Text);
    g_port.collect(collector);
    return textContains(collector.text(), kPromptText) ? 1 : 0;
}

int W_GSMSendAT(void) {
    Lock lock(g_portMutex);
    std::uint8_t buffer[kAtReplySize];
    std::string_view text;
    if (!textExchange(kAtCommand, buffer, sizeof buffer, text)) return 0;
    return textContains(text, kOkText) ? 1 : 0;
}

int W_GSMAT_CMGF(void) {
    Lock lock(g_portMutex);
    std::uint8_t buffer[kShortReplySize];
    std::string_view text;
    return textExchange(kPduModeCommand, buffer, sizeof buffer, text) ? 1 : 0;
}

int W_GSMCenterPhone(void) {
    Lock lock(g_portMutex);
    std::uint8_t buffer[kShortReplySize];
    std::string_view text;
    if (!textExchange(kServiceCentreCommand, buffer, sizeof buffer, text)) return 0;
    return textContains(text, kInternationalTypeText, kServiceCentreTypeFrom) ? 1 : 0;
}

int W_GSMPackPhone(const char* phone) {
    if (phone == nullptr) return 0;
    const auto packed = packPhone(phone);
    return packed ? static_cast<int>(packed->size()) : 0;
}

}  // extern "C"
