// Built-in text metrics of Papyr: one table of advance widths per upright face
// and the vertical metrics that give the line height. The data are generated
// (metrics/generate_metrics.py) into metrics/FontMetricsData.cpp.
#pragma once

#include <cstdint>
#include <string_view>

namespace papyr {

struct FaceMetrics {
    // Advance width of each Windows-1252 byte, in 1/1000 of the font size.
    uint16_t widths[256];
    // Line height = size * (winAscent + winDescent) / unitsPerEm.
    uint16_t winAscent;
    uint16_t winDescent;
    uint16_t unitsPerEm;
};

extern const FaceMetrics kHelvetica;
extern const FaceMetrics kHelveticaBold;
extern const FaceMetrics kTimes;
extern const FaceMetrics kTimesBold;
extern const FaceMetrics kCourier;
extern const FaceMetrics kCourierBold;

// The face that measures text set in fontName: a name starting with "times"
// (any case) gives Times, one starting with "courier" gives Courier, anything
// else (Arial, Helvetica, fonts we have no metrics for) gives Helvetica.
const FaceMetrics &faceMetricsFor(std::string_view fontName, bool bold);

} // namespace papyr
