#include "engine/processor/VellumarProcessor.h"

#include <algorithm>

void VellumarProcessor::processFlipAndWidth (juce::dsp::AudioBlock<float>& block, float flipTarget)
{
    // Full width without a flip, settled, leaves both channels as they are.
    if (skipNeutralStages && flipAmount == 0.0f && flipTarget == 0.0f && ! widthSmoother.isSmoothing()
        && widthSmoother.getTargetValue() == 1.0f)
        return;

    auto* left = block.getChannelPointer (0);
    auto* right = block.getChannelPointer (1);

    for (size_t i = 0; i < block.getNumSamples(); ++i)
    {
        const float w = widthSmoother.getNextValue();

        if (flipAmount < flipTarget)
            flipAmount = std::min (flipAmount + flipStep, flipTarget);
        else if (flipAmount > flipTarget)
            flipAmount = std::max (flipAmount - flipStep, flipTarget);

        const float s = flipAmount;
        const float a = (1.0f - s) * left[i] + s * right[i];
        const float b = (1.0f - s) * right[i] + s * left[i];
        left[i] = 0.5f * ((1.0f + w) * a + (1.0f - w) * b);
        right[i] = 0.5f * ((1.0f - w) * a + (1.0f + w) * b);
    }
}
