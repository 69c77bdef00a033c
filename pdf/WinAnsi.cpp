#include "WinAnsi.h"

#include <cstdint>
#include <vector>

namespace papyr {

namespace {

// Windows-1252 bytes 0x80 to 0x9F hold these characters; 0 marks the five
// codes the code page leaves unassigned.
constexpr char16_t kHighControls[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

char winAnsiByte(char32_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return static_cast<char>(c);
    for (int i = 0; i < 32; ++i) {
        if (kHighControls[i] != 0 && kHighControls[i] == c)
            return static_cast<char>(0x80 + i);
    }
    return '?';
}

} // namespace

void appendWinAnsi(std::string &out, std::string_view utf8)
{
    const auto *p = reinterpret_cast<const unsigned char *>(utf8.data());
    const auto *end = p + utf8.size();
    while (p < end) {
        const unsigned char lead = *p;
        if (lead < 0x80) {
            out.push_back(static_cast<char>(lead));
            ++p;
            continue;
        }
        int length = 0;
        char32_t c = 0;
        char32_t minimum = 0;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2; c = lead & 0x1F; minimum = 0x80;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3; c = lead & 0x0F; minimum = 0x800;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4; c = lead & 0x07; minimum = 0x10000;
        }
        bool valid = length != 0 && end - p >= length;
        for (int i = 1; valid && i < length; ++i) {
            if ((p[i] & 0xC0) != 0x80)
                valid = false;
            else
                c = (c << 6) | (p[i] & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are malformed.
        if (valid && (c < minimum || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF))
            valid = false;
        if (!valid) {
            out.push_back('?');
            ++p;
            continue;
        }
        out.push_back(winAnsiByte(c));
        p += length;
    }
}

void appendEscapedLiteral(std::string &out, std::string_view bytes)
{
    // Fast path: nothing to escape, which is nearly every text.
    bool plain = true;
    for (char b : bytes) {
        if (b == '\\' || b == '(' || b == ')' || b == '\r') {
            plain = false;
            break;
        }
    }
    if (plain) {
        out.append(bytes);
        return;
    }

    // A ')' pairs with the nearest unpaired '(' before it. Whatever stays
    // unpaired would end the string early or leave it open, so it is escaped.
    std::vector<bool> escape(bytes.size(), false);
    std::vector<size_t> open;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '(') {
            open.push_back(i);
        } else if (bytes[i] == ')') {
            if (open.empty())
                escape[i] = true;
            else
                open.pop_back();
        }
    }
    for (size_t i : open)
        escape[i] = true;

    for (size_t i = 0; i < bytes.size(); ++i) {
        const char b = bytes[i];
        if (b == '\\') {
            out.append("\\\\");
        } else if (b == '\r') {
            out.append("\\r");
        } else {
            if (escape[i])
                out.push_back('\\');
            out.push_back(b);
        }
    }
}

} // namespace papyr
