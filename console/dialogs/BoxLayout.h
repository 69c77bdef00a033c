// The prompt box's geometry, worked in twips as the box was designed
// (1440 twips to the inch) and turned into pixels at the screen's logical
// resolution: pixels = twips * dpi / 1440, so 15 twips are one pixel at 96 dpi.
//
// The box is 5640 twips wide inside and 1800 twips high outside; the
// window frame (caption and borders) takes kFrameTwips of that height, so the
// client area starts at 1800 - kFrameTwips. A message or input frame taller
// than 1095 twips grows the box by exactly its excess.
#pragma once

#include <QtGlobal>

namespace BoxLayout {

inline constexpr int kTwipsPerInch = 1440;
inline constexpr int kClientWidth = 5640;
inline constexpr int kDesignHeight = 1800;       // outer height
inline constexpr int kFrameTwips = 405;          // caption and borders (27 px at 96 dpi)
inline constexpr int kDesignFrameHeight = 1095;  // frame height that fits the design
inline constexpr int kLabelGap = 210;            // below the label
inline constexpr int kInputGap = 150;            // below the input field
inline constexpr int kButtonWidth = 1095;
inline constexpr int kButtonHeight = 375;
inline constexpr int kIconSizePx = 32;           // the icon is 32 x 32 pixels

int twipsToPixels(int twips, qreal dpi);
int pixelsToTwips(int pixels, qreal dpi);

// Message frame (kinds 0 and 1): label top + label height + 210.
int messageFrameHeight(int labelTop, int labelHeight);

// Input frame (kinds 2 and 3): the field's top is label top + label height +
// 210, the frame's height the field's top + field height + 150.
int inputFieldTop(int labelTop, int labelHeight);
int inputFrameHeight(int labelTop, int labelHeight, int fieldHeight);

// Outer height of the box for a frame of frameHeight: 1800, grown by the
// frame's excess over 1095.
int dialogHeight(int frameHeight);

} // namespace BoxLayout
