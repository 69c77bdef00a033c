// Stenik32: the URL codec and the three rounding functions.
//
// Everything here is noexcept and allocation-free. The only library calls are
// floor/trunc and std::to_chars/std::from_chars, which neither throw nor
// allocate nor look at the locale.
#include "Stenik32.h"

#include <charconv>
#include <cmath>
#include <cstddef>
#include <system_error>

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

// The characters of the URLENC_UNSAFE and URLENC_RESERVED sets.
constexpr char kUnsafeChars[] = " <>#%{}|\\^~[]`\"";
constexpr char kReservedChars[] = ";/?:@=&";

constexpr bool contains(const char *set, unsigned char byte) noexcept
{
    for (; *set != '\0'; ++set) {
        if (static_cast<unsigned char>(*set) == byte)
            return true;
    }
    return false;
}

constexpr bool isEncoded(unsigned char byte, uint32_t flags) noexcept
{
    if ((flags & URLENC_CONTROL) && (byte < 0x20 || byte >= 0x7F))
        return true;
    if ((flags & URLENC_UNSAFE) && contains(kUnsafeChars, byte))
        return true;
    if ((flags & URLENC_RESERVED) && contains(kReservedChars, byte))
        return true;
    return false;
}

// An escape digit's value; anything that is not a hex digit counts as 0.
constexpr unsigned hexValue(char c) noexcept
{
    if (c >= '0' && c <= '9')
        return static_cast<unsigned>(c - '0');
    if (c >= 'a' && c <= 'f')
        return static_cast<unsigned>(c - 'a' + 10);
    if (c >= 'A' && c <= 'F')
        return static_cast<unsigned>(c - 'A' + 10);
    return 0;
}

// Round2's text of |q|: at most 309 integer digits (DBL_MAX), the point and
// six decimals, so every finite quotient fits.
constexpr int kQuotientDecimals = 6;
constexpr std::size_t kQuotientTextSize = 309 + 1 + kQuotientDecimals;

} // namespace

extern "C" {

int32_t URLEnc_Decode(const char *source, char *destination) noexcept
{
    if (source == nullptr || destination == nullptr)
        return 0;
    char *out = destination;
    const char *in = source;
    while (*in != '\0') {
        if (*in != '%') {
            *out++ = *in++;
            continue;
        }
        if (in[1] == '%') {
            *out++ = '%';
            in += 2;
            continue;
        }
        // "%" and up to two digits. A digit missing before the NUL counts as
        // 0, and the NUL then ends the text: never look past it.
        const char high = in[1];
        const char low = high == '\0' ? '\0' : in[2];
        *out++ = static_cast<char>(hexValue(high) * 16 + hexValue(low));
        if (high == '\0' || low == '\0')
            break;
        in += 3;
    }
    return static_cast<int32_t>(out - destination);
}

int32_t URLEnc_Encode(const char *source, char *destination, int32_t length) noexcept
{
    return URLEnc_EncodeEx(source, URLENC_CONTROL | URLENC_UNSAFE, destination, length);
}

int32_t URLEnc_EncodeEx(const char *source, uint32_t flags, char *destination,
                        int32_t length) noexcept
{
    if (source == nullptr || destination == nullptr || length < 0)
        return 0;
    char *out = destination;
    bool lastEncoded = false;
    for (int32_t i = 0; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(source[i]);
        lastEncoded = isEncoded(byte, flags);
        if (lastEncoded) {
            *out++ = '%';
            *out++ = kHexDigits[byte >> 4];
            *out++ = kHexDigits[byte & 0x0F];
        } else {
            *out++ = static_cast<char>(byte);
        }
    }
    // The count has always included the byte after a copied last byte, which
    // for a NUL-terminated source is its NUL, and left out the NUL after an
    // escape. Keep both counts, but write the NUL rather than read past the
    // source for it.
    *out = '\0';
    if (!lastEncoded)
        ++out;
    return static_cast<int32_t>(out - destination);
}

double Round(double value, double step) noexcept
{
    if (step == 0.0)
        return 0.0;
    // The whole numbers stay doubles: converting an infinite or huge one to
    // an integer type would be undefined.
    if (std::fabs(std::trunc(step)) >= 1.0) {
        const double wholeStep = std::trunc(std::floor(step + 0.5));
        return std::floor(value / wholeStep + 0.5) * step;
    }
    const double stepsPerUnit = std::trunc(std::floor(1.0 / step + 0.5));
    return std::floor(stepsPerUnit * value + 0.5) * step;
}

void Round3(double value, double step, double *result) noexcept
{
    if (result != nullptr)
        *result = Round(value, step);
}

double Round2(double value, double step) noexcept
{
    if (step == 0.0 || !std::isfinite(step))
        return value;
    const double quotient = value / step;
    if (!std::isfinite(quotient))
        return value;

    // Fixed notation with six decimals, rounded correctly like printf's "%f"
    // but never with the locale's decimal separator.
    char text[kQuotientTextSize];
    const auto [textEnd, formatError] =
        std::to_chars(text, text + sizeof text, std::fabs(quotient), std::chars_format::fixed,
                      kQuotientDecimals);
    if (formatError != std::errc())
        return value; // cannot happen: the text has room for every finite double
    const char *point = textEnd - kQuotientDecimals - 1;
    const char *decimals = point + 1;

    double whole = 0.0;
    if (std::from_chars(text, point, whole).ec != std::errc())
        return value; // cannot happen: the integer part is plain digits

    // A first decimal of 5 or more rounds up, and so does 0.499999: the text
    // of a quotient a hair below a half after six-decimal rounding.
    bool roundsUp = decimals[0] >= '5';
    if (decimals[0] == '4') {
        roundsUp = true;
        for (int i = 1; i < kQuotientDecimals; ++i)
            roundsUp = roundsUp && decimals[i] == '9';
    }
    if (roundsUp)
        whole += 1.0;
    return std::copysign(whole, quotient) * step;
}

} // extern "C"
