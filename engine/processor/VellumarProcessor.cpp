#include "engine/processor/VellumarProcessor.h"

#include "editor/VellumarProcessorEditor.h"

#include "engine/parameters/ParameterIds.h"

#include <cmath>

#if JUCE_DSP_USE_STATIC_FFTW
extern "C" void fftwf_make_planner_thread_safe (void);
#endif

namespace
{
// JUCE plans its FFTW transforms under a lock of its own, but other plug-ins in the same host may plan with the
// same FFTW library at the same time; FFTW's planner is only safe across threads once it is told so.
void makeFftPlannerThreadSafe()
{
#if JUCE_DSP_USE_STATIC_FFTW
    static const bool done = [] { fftwf_make_planner_thread_safe(); return true; }();
    juce::ignoreUnused (done);
#endif
}
} // namespace

//==============================================================================
VellumarProcessor::BusesProperties VellumarProcessor::makeBuses()
{
    // This runs first in every construction, before any engine could plan a transform.
    makeFftPlannerThreadSafe();

    // The side-chain is off until a host connects a key; an LV2 host may leave its ports unconnected.
    return BusesProperties()
        .withInput ("Input", juce::AudioChannelSet::stereo(), true)
        .withInput ("Sidechain", juce::AudioChannelSet::stereo(), false)
        .withOutput ("Output", juce::AudioChannelSet::stereo(), true);
}

VellumarProcessor::VellumarProcessor()
    : juce::AudioProcessor (makeBuses()),
      apvts (*this, nullptr, "Parameters", createParameters())
{
    preDelaySmoother.reset (12800);

    for (int n = 1; n <= (int) bands.size(); ++n)
    {
        auto& band = bands[(size_t) n - 1];
        band.onValue = apvts.getRawParameterValue (bandParameterId (n, ids::bandOn));
        band.typeValue = apvts.getRawParameterValue (bandParameterId (n, ids::bandType));
        band.freqValue = apvts.getRawParameterValue (bandParameterId (n, ids::bandFreq));
        band.gainValue = apvts.getRawParameterValue (bandParameterId (n, ids::bandGain));
        band.qValue = apvts.getRawParameterValue (bandParameterId (n, ids::bandQ));

        for (const auto* suffix : { ids::bandOn, ids::bandType, ids::bandFreq, ids::bandGain, ids::bandQ })
            apvts.addParameterListener (bandParameterId (n, suffix), &band);
    }

    apvts.addParameterListener (ids::lowCut, this);
    apvts.addParameterListener (ids::highCut, this);

    cacheChunkParameters();
}

void VellumarProcessor::cacheChunkParameters()
{
    auto& p = chunkParameters;
    const auto raw = [this] (const char* id) { return apvts.getRawParameterValue (id); };
    p.mix = raw (ids::mix);
    p.onButton = raw (ids::onButton);
    p.onEqButton = raw (ids::onEqButton);
    p.tremolo = raw (ids::tremolo);
    p.lfoSync = raw (ids::lfoSync);
    p.compressor = raw (ids::compressor);
    p.shimmer = raw (ids::shimmer);
    p.driveType = raw (ids::driveType);
    p.width = raw (ids::width);
    p.preDelay = raw (ids::preDelay);
    p.lowCut = raw (ids::lowCut);
    p.highCut = raw (ids::highCut);
    p.character = raw (ids::character);
    p.preVerb = raw (ids::preVerb);
    p.lfoSpeed = raw (ids::lfoSpeed);
    p.lfoDepth = raw (ids::lfoDepth);
    p.drive = raw (ids::drive);
    p.sideChain = raw (ids::sideChain);
    p.decay = raw (ids::decay);
    p.lrFlipButton = apvts.getParameter (ids::lrFlipButton);
}

VellumarProcessor::~VellumarProcessor()
{
    // The loader thread retrims through this processor's members, some of which go before the pair does.
    convolutionPair.stopLoading();

    for (int n = 1; n <= (int) bands.size(); ++n)
        for (const auto* suffix : { ids::bandOn, ids::bandType, ids::bandFreq, ids::bandGain, ids::bandQ })
            apvts.removeParameterListener (bandParameterId (n, suffix), &bands[(size_t) n - 1]);

    apvts.removeParameterListener (ids::lowCut, this);
    apvts.removeParameterListener (ids::highCut, this);
}

//==============================================================================
const juce::String VellumarProcessor::getName() const { return "Vellumar"; }
void VellumarProcessor::releaseResources() {}
double VellumarProcessor::getTailLengthSeconds() const { return 0.0; }
bool VellumarProcessor::acceptsMidi() const { return false; }
bool VellumarProcessor::producesMidi() const { return false; }
bool VellumarProcessor::isMidiEffect() const { return false; }
juce::AudioProcessorEditor* VellumarProcessor::createEditor() { return new VellumarProcessorEditor (*this, apvts); }
bool VellumarProcessor::hasEditor() const { return true; }
int VellumarProcessor::getNumPrograms() { return 1; }
int VellumarProcessor::getCurrentProgram() { return 0; }
void VellumarProcessor::setCurrentProgram (int) {}
const juce::String VellumarProcessor::getProgramName (int) { return {}; }
void VellumarProcessor::changeProgramName (int, const juce::String&) {}

//==============================================================================
bool VellumarProcessor::isBusesLayoutSupported (const BusesLayout& layouts) const
{
    const auto mono = juce::AudioChannelSet::mono();
    const auto stereo = juce::AudioChannelSet::stereo();
    const auto input = layouts.getMainInputChannelSet();
    const auto output = layouts.getMainOutputChannelSet();

    // The key is read from at most two channels; a wider side-chain would leave its other channels unread.
    if (layouts.inputBuses.size() > 1 && layouts.inputBuses[1].size() > 2)
        return false;

    if (output == mono)
        return input == mono;

    if (output == stereo)
        return input == mono || input == stereo;

    return false;
}

void VellumarProcessor::parameterChanged (const juce::String&, float)
{
    updateInputEq();
}

float VellumarProcessor::limitCutoff (float frequency, double sampleRate) noexcept
{
    const auto limit = (float) (0.499 * sampleRate);
    return std::isfinite (frequency) ? juce::jlimit (1.0f, limit, frequency) : limit;
}

// Far below the rate, a high-pass's poles lie closer to 1 than single precision tells apart, and its formulas lose
// the term that keeps them inside: at 352.8 and 384 kHz a 10 Hz low cut let a DC offset through and kept one for
// good after the input stopped. The low cut is held at rate / 19200 or above (10 Hz at 192 kHz, 20 Hz at 384 kHz),
// where it works; at 192 kHz and below the range's 10 Hz is never raised.
float VellumarProcessor::limitLowCut (float frequency, double sampleRate) noexcept
{
    return std::max (limitCutoff (frequency, sampleRate), (float) (sampleRate / 19200.0));
}

juce::String VellumarProcessor::bandParameterId (int bandNumber, const char* suffix)
{
    return juce::String (bandNumber) + suffix;
}

//==============================================================================
//==============================================================================
