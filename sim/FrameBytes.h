// The last step of every frame the simulator sends: the check byte, as a
// careful server computes it, as "not computed", or deliberately wrong.
#pragma once

#include <string>

class VaroManager;

namespace Sim {

enum class CheckByte {
    Xor,     // the XOR of the frame, as a careful server sends it
    Comma,   // 0x2C, "not computed"; receivers accept it untested
    Wrong,   // neither the XOR nor 0x2C: the frame must be rejected
};

// The frame's wire bytes with the check byte asked for.
std::string finishFrame(const VaroManager &frame, CheckByte check);

} // namespace Sim
