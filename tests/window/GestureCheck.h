#pragma once

#include "WindowCheckX11.h"

#include <juce_audio_processors/juce_audio_processors.h>

/** Works the editor's controls with the mouse, in a 900 x 600 window whose top left is at `origin` on the screen,
    and checks what the host hears: each drag or click is one gesture on the parameter it edits, with every change
    inside it. */
void checkGestures (const XSession& x, juce::AudioPluginInstance& instance, juce::Point<int> origin,
                    const XSession::Pump& pump, const std::function<void (bool, const juce::String&)>& check);
