// Feeds arbitrary bytes to ProcessMessage the way a TCP reader does (keep
// Remainder, call again) and checks what every result promises:
//  - Remainder is always a suffix of the input, and every call either
//    consumes something or stops the reader (results 1 and 3);
//  - a consumed frame is the front of the buffer, and Msg holds exactly it;
//  - an accepted frame (result 0) re-encodes with GetOutput to the same bytes,
//    the check byte recomputed as the XOR of the others.
#include "VaroManager.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

bool isSuffix(std::string_view whole, std::string_view tail)
{
    return tail.size() <= whole.size() && whole.substr(whole.size() - tail.size()) == tail;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size)
{
    const std::string input(reinterpret_cast<const char *>(data), size);
    std::string buffer = input;
    for (;;) {
        VaroManager m;
        std::string msg = buffer;
        std::string rest;
        const int16_t result = m.ProcessMessage(msg, rest);
        require(isSuffix(input, rest));
        require(m.getFieldCount() >= 0 && m.getFieldCount() <= VaroManager::kMaxFieldCount);

        switch (result) {
        case VaroManager::NoStartByte:
        case VaroManager::Incomplete:
            require(msg == buffer && rest == buffer && m.getFieldCount() == 0);
            return 0;
        case VaroManager::BadLength:
            require(msg == buffer && rest.empty() && m.getFieldCount() == 0);
            return 0;
        case VaroManager::Parsed: {
            const std::string again = m.GetOutput(true, false);
            require(again.size() == msg.size());
            require(std::string_view(again).substr(0, again.size() - 1)
                    == std::string_view(msg).substr(0, msg.size() - 1));
            unsigned char x = 0;
            for (std::size_t i = 0; i + 1 < again.size(); ++i)
                x ^= static_cast<unsigned char>(again[i]);
            require(static_cast<unsigned char>(again.back()) == x);
            [[fallthrough]];
        }
        case VaroManager::DuplicateId:
        case VaroManager::BadCheckByte:
        case VaroManager::ShortRecord:
        case VaroManager::DataOverrun:
        case VaroManager::TooManyFields:
            require(msg.size() >= 6);
            require(msg.size() + rest.size() == buffer.size());
            require(std::string_view(buffer).substr(0, msg.size()) == msg);
            if (result == VaroManager::BadCheckByte)
                require(m.getFieldCount() == 0);
            break;
        default:
            std::abort();   // an undocumented result
        }
        if (rest.empty())
            return 0;
        buffer = rest;
    }
}
