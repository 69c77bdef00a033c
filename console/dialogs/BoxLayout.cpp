#include "dialogs/BoxLayout.h"

#include <cmath>

namespace BoxLayout {

int twipsToPixels(int twips, qreal dpi)
{
    return int(std::lround(twips * dpi / kTwipsPerInch));
}

int pixelsToTwips(int pixels, qreal dpi)
{
    return dpi > 0 ? int(std::lround(pixels * kTwipsPerInch / dpi)) : 0;
}

int messageFrameHeight(int labelTop, int labelHeight)
{
    return labelTop + labelHeight + kLabelGap;
}

int inputFieldTop(int labelTop, int labelHeight)
{
    return labelTop + labelHeight + kLabelGap;
}

int inputFrameHeight(int labelTop, int labelHeight, int fieldHeight)
{
    return inputFieldTop(labelTop, labelHeight) + fieldHeight + kInputGap;
}

int dialogHeight(int frameHeight)
{
    return frameHeight > kDesignFrameHeight ? kDesignHeight + (frameHeight - kDesignFrameHeight)
                                            : kDesignHeight;
}

} // namespace BoxLayout
