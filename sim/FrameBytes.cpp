#include "FrameBytes.h"

#include "VaroManager.h"

namespace Sim {

std::string finishFrame(const VaroManager &frame, CheckByte check)
{
    if (check == CheckByte::Comma)
        return frame.GetOutput(false, false);
    std::string bytes = frame.GetOutput(true, false);
    if (check == CheckByte::Wrong) {
        // Flip the XOR so the byte is wrong, and make sure it does not land on
        // 0x2C, which a receiver would accept untested.
        const auto good = static_cast<unsigned char>(bytes.back());
        unsigned char bad = good ^ 0xFF;
        if (bad == 0x2C)
            bad = good ^ 0xFE;
        bytes.back() = static_cast<char>(bad);
    }
    return bytes;
}

} // namespace Sim
