#include "VellumarProcessorEditor.h"

#include "Palette.h"
#include "engine/processor/VellumarProcessor.h"

// The type and number buttons choose the built-in pair the two convolution engines play. A click writes the
// processor's selection and reloads the pair at once; the same happens when a preset or automation switches a
// type or number parameter while the window is open, because the attachments click the buttons.

void VellumarProcessorEditor::assignSelectionCallbacks()
{
    // Type indices as the processor counts them: 0 Plate, 1 Room, 2 Spring, 3 Hall, 4 Space.
    const std::pair<juce::TextButton*, int> types[] { { &roomButton, 1 }, { &hallButton, 3 }, { &plateButton, 0 },
                                                      { &springButton, 2 }, { &spaceButton, 4 } };

    for (const auto& [button, typeIndex] : types)
    {
        button->onClick = [this, button = button, typeIndex = typeIndex]
        {
            // The buttons a radio group turns off say nothing; only the one that is on selects.
            if (button->getToggleState())
            {
                audioProcessor.irTypeIndex = typeIndex;
                loadConvolution();
            }
        };
    }

    juce::TextButton* const numbers[] { &oneButton, &twoButton, &threeButton, &fourButton, &fiveButton };

    for (int i = 0; i < 5; ++i)
    {
        auto* button = numbers[i];
        button->onClick = [this, button, number = i + 1]
        {
            if (button->getToggleState())
            {
                audioProcessor.irNumber = number;
                loadConvolution();
            }
        };
    }

    // The TEXTURE caption lights up while the pointer is over a number button or presses it.
    const auto lightTexture = [this] (juce::TextButton& button)
    {
        button.onStateChange = [this, &button]
        {
            const auto state = button.getState();
            const bool lit = state == juce::Button::buttonOver || state == juce::Button::buttonDown;
            textureLabel.setColour (juce::Label::textColourId, lit ? blueCurve : greyTextBoxQuelt);
        };
    };

    for (auto* button : numbers)
        lightTexture (*button);
}

// Decoding runs here, on the message thread, inside the click; the engines take the new responses through their
// own loader without holding up the audio thread.
void VellumarProcessorEditor::loadConvolution()
{
    audioProcessor.irLoaded = true;
    audioProcessor.decodeIRPair();
    audioProcessor.updateIRParameters();
    repaint();
}

// Hall has no switch parameter, and a restored session names its pair apart from the switches: the processor's own
// selection (the one playing, or the one a restore waits to load at the first preparation) is what the buttons
// show. Set quietly, so the radio groups turn the other buttons off without writing their parameters.
void VellumarProcessorEditor::showIrSelection()
{
    int type = -1, number = -1;

    if (const int restored = audioProcessor.restoredIrSelection.load(); restored >= 0)
    {
        type = restored >> 8;
        number = restored & 0xff;
    }
    else if (audioProcessor.irLoaded.load())
    {
        type = audioProcessor.irTypeIndex.load();
        number = audioProcessor.irNumber.load();
    }

    // By type index: 0 Plate, 1 Room, 2 Spring, 3 Hall, 4 Space.
    juce::TextButton* const types[] { &plateButton, &roomButton, &springButton, &hallButton, &spaceButton };
    juce::TextButton* const numbers[] { &oneButton, &twoButton, &threeButton, &fourButton, &fiveButton };

    if (type >= 0 && type < 5)
        types[type]->setToggleState (true, juce::dontSendNotification);

    if (number >= 1 && number <= 5)
        numbers[number - 1]->setToggleState (true, juce::dontSendNotification);
}
