// The part of the Varo protocol the simulator itself relies on: the message
// codes it reacts to on its own and the field IDs that tie a message to a
// console and a session. Everything else a scenario sends is spelled out in
// the scenario file.
#pragma once

#include <cstdint>
#include <string_view>

namespace SimProtocol {

// Message codes: field 1, four ASCII digits.
inline constexpr std::string_view kCardPayment = "0001";     // console: payment or booking
inline constexpr std::string_view kKeepAlive = "0003";       // server: restarts the console's time-out
inline constexpr std::string_view kAbort = "0005";           // console: cancel button
inline constexpr std::string_view kInputResponse = "0011";   // console: answer to an input box
inline constexpr std::string_view kSessionClose = "0023";    // both ways: close handshake

// Field IDs.
inline constexpr int16_t kFieldCode = 1;      // message code, ASCII text
inline constexpr int16_t kFieldPos = 2;       // POS identifier, text
inline constexpr int16_t kFieldSession = 3;   // session number, 6 ASCII digits
inline constexpr int16_t kFieldAmount = 4;    // 8-byte little-endian double
inline constexpr int16_t kFieldText = 5;      // card track in "0001", typed text in "0011"

// Until a client has sent its first request, messages carry these.
inline constexpr std::string_view kDefaultPos = "00000000";
inline constexpr std::string_view kDefaultSession = "000000";

} // namespace SimProtocol
