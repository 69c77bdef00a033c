// Helpers shared by the codec tests: readable byte strings, an encoder written
// straight from the frame layout (an oracle independent of VaroManager), and
// a reader that feeds a byte stream to ProcessMessage the way the console's
// data-arrival handler does.
#pragma once

#include "VaroManager.h"

#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace VaroTest {

using Field = std::pair<int16_t, std::string>;
using Fields = std::vector<Field>;

// "01 0A 00" -> the three bytes. Whitespace between pairs is ignored.
inline std::string hex(const char *text)
{
    std::string out;
    int nibbles = 0;
    unsigned value = 0;
    for (const char *c = text; *c; ++c) {
        int digit;
        if (*c >= '0' && *c <= '9')
            digit = *c - '0';
        else if (*c >= 'A' && *c <= 'F')
            digit = *c - 'A' + 10;
        else if (*c >= 'a' && *c <= 'f')
            digit = *c - 'a' + 10;
        else
            continue;
        value = value * 16 + unsigned(digit);
        if (++nibbles == 2) {
            out.push_back(static_cast<char>(value));
            nibbles = 0;
            value = 0;
        }
    }
    return out;
}

inline std::string toHex(const std::string &bytes)
{
    std::string out;
    char buf[4];
    for (unsigned char b : bytes) {
        std::snprintf(buf, sizeof buf, "%02X ", b);
        out += buf;
    }
    if (!out.empty())
        out.pop_back();
    return out;
}

inline std::string le32(int32_t v)
{
    std::string out(4, '\0');
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<char>((static_cast<uint32_t>(v) >> (8 * i)) & 0xFF);
    return out;
}

inline std::string le16(int16_t v)
{
    const auto u = static_cast<uint16_t>(v);
    return std::string{static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)};
}

// Start byte and body length L; built by appending, which also keeps GCC 12's
// -Wrestrict false positive on "literal" + std::string quiet.
inline std::string frameHeader(int32_t bodyLength)
{
    std::string out(1, '\x01');
    out += le32(bodyLength);
    return out;
}

inline std::string record(int16_t id, const std::string &data)
{
    return le16(id) + le32(static_cast<int32_t>(data.size())) + data;
}

inline char xorOf(const std::string &bytes)
{
    unsigned char c = 0;
    for (unsigned char b : bytes)
        c ^= b;
    return static_cast<char>(c);
}

// A frame around an arbitrary body, with the correct XOR check byte.
inline std::string frameOfBody(const std::string &body)
{
    std::string f = frameHeader(static_cast<int32_t>(body.size()));
    f += body;
    f += xorOf(f);
    return f;
}

inline std::string frameOf(const Fields &fields)
{
    std::string body;
    for (const auto &[id, data] : fields)
        body += record(id, data);
    return frameOfBody(body);
}

inline std::string withCheckByte(std::string frame, char check)
{
    frame.back() = check;
    return frame;
}

inline Fields fieldsOf(const VaroManager &m)
{
    Fields out;
    for (int16_t i = 1; i <= m.getFieldCount(); ++i)
        out.emplace_back(m.GetFieldIDByIndex(i), m.GetFieldDataByIndex(i));
    return out;
}

inline std::string randomBytes(std::mt19937 &rng, std::size_t size)
{
    std::uniform_int_distribution<int> byte(0, 255);
    std::string out(size, '\0');
    for (char &c : out)
        c = static_cast<char>(byte(rng));
    return out;
}

// Distinct random IDs over the whole signed range, negative ones included.
inline Fields randomFields(std::mt19937 &rng, std::size_t count, std::size_t maxData)
{
    std::uniform_int_distribution<int> id(INT16_MIN, INT16_MAX);
    std::uniform_int_distribution<std::size_t> size(0, maxData);
    std::vector<bool> used(65536);
    Fields out;
    while (out.size() < count) {
        const auto candidate = static_cast<int16_t>(id(rng));
        if (used[static_cast<uint16_t>(candidate)])
            continue;
        used[static_cast<uint16_t>(candidate)] = true;
        // Every fourth field empty, so empty data is always in the mix.
        out.emplace_back(candidate, out.size() % 4 == 3 ? std::string() : randomBytes(rng, size(rng)));
    }
    return out;
}

// What a TCP reader sees: each chunk is appended to its buffer, then frames
// are taken from the front while they complete, keeping Remainder as the new
// buffer whatever the result.
struct StreamReader {
    struct Parsed {
        int16_t result;
        std::string frame;
        Fields fields;
    };

    std::string buffer;
    std::vector<Parsed> frames;

    void feed(const std::string &chunk)
    {
        buffer += chunk;
        while (!buffer.empty()) {
            VaroManager m;
            std::string msg = buffer;
            std::string rest;
            const int16_t r = m.ProcessMessage(msg, rest);
            if (r == VaroManager::Incomplete || r == VaroManager::NoStartByte) {
                buffer = rest;
                return;
            }
            frames.push_back({r, msg, fieldsOf(m)});
            buffer = rest;
        }
    }
};

} // namespace VaroTest
