// Layout of a Varo frame, shared by the frame builder and the frame parser.
//
//   frame  := start(1) = 0x01 | L(4) | body(L) | check(1)
//   body   := record*
//   record := FieldID(2) | n(4) | data(n)
//
// All integers are little-endian two's complement: L and n signed 32-bit,
// FieldID signed 16-bit. The check byte is the XOR of every frame byte before
// it, or kUncheckedByte from a sender that does not compute it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace VaroFrame {

inline constexpr unsigned char kStartByte = 0x01;
// A sender that skips the checksum writes ',' instead; receivers accept it
// without testing.
inline constexpr unsigned char kUncheckedByte = 0x2C;

inline constexpr std::size_t kStartSize = 1;
inline constexpr std::size_t kLengthSize = 4;
inline constexpr std::size_t kCheckSize = 1;
inline constexpr std::size_t kHeaderSize = kStartSize + kLengthSize;   // 5: body offset
inline constexpr std::size_t kOverhead = kHeaderSize + kCheckSize;     // 6: L + 6 is the frame

inline constexpr std::size_t kFieldIdSize = 2;
inline constexpr std::size_t kFieldLengthSize = 4;
inline constexpr std::size_t kRecordHeaderSize = kFieldIdSize + kFieldLengthSize;   // 6

// L and n are signed 32-bit on the wire, and the whole frame (L + 6) must be
// a signed 32-bit length as well.
inline constexpr std::int64_t kMaxBodyLength = INT32_MAX - static_cast<std::int64_t>(kOverhead);

} // namespace VaroFrame
