#include "FontMetrics.h"

namespace papyr {

namespace {

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != prefix[i])
            return false;
    }
    return true;
}

} // namespace

const FaceMetrics &faceMetricsFor(std::string_view fontName, bool bold)
{
    if (startsWithIgnoringCase(fontName, "times"))
        return bold ? kTimesBold : kTimes;
    if (startsWithIgnoringCase(fontName, "courier"))
        return bold ? kCourierBold : kCourier;
    return bold ? kHelveticaBold : kHelvetica;
}

} // namespace papyr
