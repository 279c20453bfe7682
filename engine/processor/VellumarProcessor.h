#pragma once

#include <juce_audio_processors/juce_audio_processors.h>
#include <juce_dsp/juce_dsp.h>

#include "engine/equaliser/BandSmoother.h"
#include "engine/convolution/ConvolutionPair.h"
#include "engine/inputcuts/CutFilter.h"
#include "engine/inputcuts/CutSmoother.h"
#include "engine/drive/Grain.h"
#include "engine/ducking/PeakLevelDetector.h"
#include "engine/earlyreverb/PreVerb.h"
#include "engine/predelay/PreDelayLine.h"
#include "engine/convolution/ResponseMailbox.h"
#include "engine/processor/CoefficientHandOff.h"
#include "engine/processor/SectionFade.h"
#include "engine/processor/SettledMix.h"

#include <array>
#include <atomic>
#include <limits>
#include <mutex>
#include <string>

/** The plug-in's audio processor: parameters, the wet signal path and the fields the editor shares. */
class VellumarProcessor : public juce::AudioProcessor,
                          public juce::AudioProcessorValueTreeState::Listener
{
public:
    using CutFilter = smootheq::CutFilter;
    using LinearSmoother = juce::SmoothedValue<float, juce::ValueSmoothingTypes::Linear>;

    VellumarProcessor();
    ~VellumarProcessor() override;

    //==============================================================================
    const juce::String getName() const override;
    void prepareToPlay (double sampleRate, int samplesPerBlock) override;
    void releaseResources() override;
    void processBlock (juce::AudioBuffer<float>&, juce::MidiBuffer&) override;
    using juce::AudioProcessor::processBlock; // the double-precision form stays JUCE's: this processor runs in float
    double getTailLengthSeconds() const override;
    bool acceptsMidi() const override;
    bool producesMidi() const override;
    bool isMidiEffect() const override;
    juce::AudioProcessorEditor* createEditor() override;
    bool hasEditor() const override;
    int getNumPrograms() override;
    int getCurrentProgram() override;
    void setCurrentProgram (int) override;
    const juce::String getProgramName (int) override;
    void changeProgramName (int, const juce::String&) override;
    void getStateInformation (juce::MemoryBlock& destData) override;
    void setStateInformation (const void* data, int sizeInBytes) override;
    bool isBusesLayoutSupported (const BusesLayout& layouts) const override;
    void parameterChanged (const juce::String& parameterID, float newValue) override;

    //==============================================================================
    juce::AudioProcessorValueTreeState::ParameterLayout createParameters();
    void processChunk (juce::AudioBuffer<float>& chunk);
    void updateInputEq();
    /** Applies a preset file; false (after printing "LOAD PRESET ERROR") when it was refused and nothing changed. */
    bool loadPreset (juce::File file);
    /** Applies a preset's bytes, as loadPreset does, without printing. */
    bool applyPreset (const void* data, size_t size);
    /** No more of a preset file than this is read. */
    static constexpr int longestPreset = 1 << 20;

    /** Brings the modulation stage to a sample rate: clears its delay line, restarts the LFO and lets rate and depth
        glide in from their previous values over one second. */
    void prepareModulation (double sampleRate);

    /** Vibrato, or tremolo while `tremoloOn` is set, in place on the first two channels of the block. The rate is in
        hertz, the depth in percent. */
    void processModulation (juce::dsp::AudioBlock<float>& block, float lfoSpeed, float lfoDepth);

    /** Decodes the pair named by `irTypeIndex` and `irNumber` into `irBufferA` and `irBufferB`. */
    void decodeIRPair();

    /** Trims the held pair to the current Decay, fades its end and hands it to the convolution pair, which builds
        engines for it off the audio thread and then moves the wet signal over to them (or at once, during a
        preparation). */
    void updateIRParameters();

    /** Called by the chunk path with each chunk's length: once Decay has held still for `decayHoldSeconds` of audio
        at a value the responses were not trimmed for, has them trimmed again (on the loader thread in real time,
        here otherwise). Outside a DECAY drag in the editor, whose end retrims. */
    void followDecay (int numSamples);

    /** How long Decay must hold still before a change retrims the responses. */
    static constexpr double decayHoldSeconds = 0.25;

    /** Builds a pair that `updateIRParameters` handed over into the running engines at once, if the pair's loader
        has not taken it yet. Called by a preparation or an offline render while no audio runs; while audio runs
        the loader builds the pair and the chunk path switches to it. */
    bool collectResponses();

    /** Ducking stage, in place on the wet block. The key is the side-chain while one is connected and the
        Compressor switch is off, the wet block itself otherwise. */
    void prepareDucking (double sampleRate);
    void processDucking (juce::dsp::AudioBlock<float>& block, float sideChainPercent, bool sidechainConnected);

    /** Returns once the audio thread is not writing into the analyser FIFO. While `analyserEnabled` is clear it then
        stays out of the FIFO, so the editor may resize it. Message thread. */
    void waitUntilAnalyserIsIdle() const;

    /** The IDs of all published parameters, in layout order. */
    juce::StringArray getParameterIds() const;

    /** The largest cut-off a second-order section may be given at this rate; higher requests are held just
        below half the sample rate so that no coefficient becomes infinite. */
    static float limitCutoff (float frequency, double sampleRate) noexcept;

    /** As `limitCutoff`, and no lower than rate / 19200 (10 Hz at 192 kHz): a high-pass below that ratio is more
        than single precision can hold. */
    static float limitLowCut (float frequency, double sampleRate) noexcept;

    //==============================================================================
    /** One equaliser band: listens to its five parameters, keeps the response-curve copy of its coefficients
        and owns the filter that processes the wet signal together with the smoother that retunes it.
    */
    class Band : public juce::AudioProcessorValueTreeState::Listener
    {
    public:
        Band (VellumarProcessor& owner, int bandNumber);
        ~Band() override;

        void parameterChanged (const juce::String& parameterID, float newValue) override;

        /** Recomputes `curveCoefficients` from the parameters and publishes them to `curveHandOff`; the processing
            filter is left alone. Never waits: while another thread publishes, that one recomputes instead. */
        void updateFilter() const;

        void prepare (const juce::dsp::ProcessSpec& spec);

        /** Filters one chunk of the wet signal in place with the parameters' current values. */
        void process (juce::dsp::AudioBlock<float>& block);

        // Written by the parameter listener on any thread, read by the audio thread once per chunk.
        std::atomic<bool> active { true };
        std::atomic<float>* onValue = nullptr;
        std::atomic<float>* typeValue = nullptr;
        std::atomic<float>* freqValue = nullptr;
        std::atomic<float>* gainValue = nullptr;
        std::atomic<float>* qValue = nullptr;
        smootheq::BandFilter filter;
        smootheq::BandSmoother smoother;
        // Written only by the thread that holds `curveHandOff`'s publication; the response curve reads the
        // published copy.
        juce::dsp::IIR::Coefficients<float>::Ptr curveCoefficients {
            new juce::dsp::IIR::Coefficients<float> (1.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f)
        };
        mutable CoefficientHandOff<1> curveHandOff;
        VellumarProcessor& processor;

    private:
        JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (Band)
    };

    //==============================================================================
    // The editor writes the selection on the message thread while the chunk path reads the type.
    std::atomic<int> irTypeIndex { 0 };
    std::atomic<int> irNumber { 1 };
    // Written by the chunk path, read by the editor's tempo-sync ranges.
    std::atomic<float> hostBpm { 120.0f };
    int mainInputChannels = 0;
    int outputChannels = 0;
    std::atomic<bool> irLoaded { false };
    std::string irName;
    std::string loadedIrName;
    std::atomic<float> loadedDecay { -1.0f };
    // Set by the chunk path when Decay has held still at a new value, taken by the loader thread.
    std::atomic<bool> retrimWanted { false };
    // Set by the editor while DECAY is dragged.
    std::atomic<bool> decayDragging { false };
    juce::StringArray bandTypeNames { "Low Cut", "Low Shelf", "Peak", "High Shelf", "High Cut" };
    juce::AudioProcessorValueTreeState apvts;
    juce::dsp::ConvolutionMessageQueue convolutionQueue;
    ResponseMailbox responseMailbox; // declared before the pair, whose loader thread collects from it
    ParallelProcessors<FixedLatencyConvolution, 2> convolutionPair { convolutionQueue, responseMailbox,
                                                                     [this] { retrimWhenWanted(); } };
    juce::dsp::ProcessSpec processSpec { 0.0, 0, 0 };
    std::atomic<bool> analyserDataReady { false };
    std::atomic<bool> analyserEnabled { false };
    juce::AbstractFifo analyserFifo { 1 };
    juce::AudioBuffer<float> analyserBuffer;
    std::atomic<bool> analyserWriting { false }; // set by the audio thread while it writes into the FIFO
    CutFilter lowCutFilter { new juce::dsp::IIR::Coefficients<float> (juce::dsp::IIR::ArrayCoefficients<float>::makeHighPass (44100.0, 10.0f, 0.6f)) };
    CutFilter highCutFilter { new juce::dsp::IIR::Coefficients<float> (juce::dsp::IIR::ArrayCoefficients<float>::makeLowPass (44100.0, 22000.0f, 0.7f)) };
    juce::dsp::IIR::Coefficients<float>::Ptr lowCutCoefficients { new juce::dsp::IIR::Coefficients<float> (1.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f) };
    juce::dsp::IIR::Coefficients<float>::Ptr highCutCoefficients { new juce::dsp::IIR::Coefficients<float> (1.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f) };

    // The response-curve copies above and each band's `curveCoefficients` are recomputed on whatever thread changes
    // a parameter, the audio thread included under host automation, while the editor's curve reads them on the
    // message thread. So nothing here locks: the writer that holds a hand-off's publication assigns the copies and
    // publishes them, and the curve reads the published sets (low cut, then high cut).
    CoefficientHandOff<2> cutCurveHandOff;

    // Stages at settings that leave their work unheard (no modulation depth, no ducking, full width without a
    // flip, a settled pre-delay) take a shorter way to the same samples. Cleared only by the tests that check the
    // two ways against each other.
    bool skipNeutralStages = true;

    // Written by the chunk path and by the editor's power switches, read by the editor's response curve.
    std::atomic<bool> effectOffDisplay { false };
    std::atomic<bool> eqOffDisplay { false };
    juce::AudioBuffer<float> sidechainBuffer;
    bool shimmerOn = false;
    smootheq::SectionFade effectFade;
    smootheq::SectionFade inputCutFade;
    smootheq::SectionFade bandFade;
    smootheq::SectionFade earlyReverbFade; // fades the early reverb out and in around a Shimmer switch
    smootheq::CutSmoother lowCutSmoother;
    smootheq::CutSmoother highCutSmoother;
    juce::SmoothedValue<float> widthSmoother { 0.0f };
    float flipAmount = 0.0f;
    float flipStep = 1.0f / 882.0f;
    bool stereoStageStarted = false;
    std::array<Band, 5> bands { { Band (*this, 1), Band (*this, 2), Band (*this, 3), Band (*this, 4),
                                  Band (*this, 5) } };
    int editorWidth = 900;
    int editorHeight = 600;
    juce::AudioBuffer<float> irBufferA, irBufferB;
    juce::AudioBuffer<float> irWorkA, irWorkB;

    // Guards the decoded pair, its name and the engines' loading: the editor selects on the message thread while
    // the host may re-prepare on the audio thread. The chunk path never takes it.
    std::mutex irMutex;

    // The pair selection a restored session asked for, as (type << 8) | number, until a preparation loads it;
    // -1 when there is none.
    std::atomic<int> restoredIrSelection { -1 };
    juce::SmoothedValue<float> preDelaySmoother { 0.0f };
    juce::dsp::DryWetMixer<float> dryWetMixer;
    SettledMix<float> dryWetMix { dryWetMixer }; // mixes for `dryWetMixer` while its gains rest
    PreDelayLine preDelayLine;
    // The mode fields are rewritten by the chunk path and set by the editor's switches on the message thread.
    std::atomic<bool> tremoloOn { false };
    std::atomic<bool> lfoSyncOn { false };
    std::array<std::array<LinearSmoother, 2>, 2> lfoSmoothers; // per channel: rate (Hz), then depth (%)
    std::array<LinearSmoother, 2> scaleSmoothers;              // channel 0, then every other channel
    bool scaleStarted = false;
    bool rateSettling = true;
    float modeGain = 0.0f;
    bool modeStarted = false;
    float lfoSampleRate = 0.0f;
    juce::AudioBuffer<float> vibratoBuffer;
    int vibratoLength = 0;
    std::array<float, 256> readAhead {}; // the vibrato's reads of one run at no depth, made before the run's writes
    struct { float from = -1.0f, step = 0.0f, to = 0.0f; int samples = 0; } neutralPhase; // the last phase run at no depth
    int writeIndex = 0;
    float lfoPhase = 0.0f;
    float inverseSampleRate = 0.0f;
    float vibratoTimeScale = 0.01f;
    PreVerb preVerb;

    // The drive stage; its `driveTypeIndex` is the requested curve, rewritten from "DriveType" at every chunk
    // and set directly by the editor.
    Grain<float> grain;

    // Ducking stage.
    float duckActivity = 0.0f;
    float duckThresholdDb = 0.0f;
    float duckThresholdAmount = std::numeric_limits<float>::quiet_NaN(); // the amount the two above were set for
    juce::SmoothedValue<float, juce::ValueSmoothingTypes::Linear> amountSmoother { 0.0f };
    bool amountStarted = false;
    float duckRatio = 4.0f;
    float duckSampleRate = 44100.0f;
    std::atomic<bool> compressorOn { false };
    float duckAttackTime = 0.005f, duckReleaseTime = 0.06f;
    std::array<Sidechain::PeakLevelDetector, 2> keyDetectors;
    float reductionDb = 0.0f;
    std::array<double, 2> smoothingCoefficients {};
    float duckMix = 0.0f;              // how much of the ducked signal is heard: 0 below 1 %, 1 above
    float duckMixStep = 1.0f / 882.0f; // per sample: a switch at 1 % crossfades over 20 ms

private:
    // The values the chunk path reads, looked up by ID once at construction: a lookup by ID searches the state's
    // parameters by string, too slow for every chunk.
    struct ChunkParameters
    {
        std::atomic<float>* mix = nullptr;
        std::atomic<float>* onButton = nullptr;
        std::atomic<float>* onEqButton = nullptr;
        std::atomic<float>* tremolo = nullptr;
        std::atomic<float>* lfoSync = nullptr;
        std::atomic<float>* compressor = nullptr;
        std::atomic<float>* shimmer = nullptr;
        std::atomic<float>* driveType = nullptr;
        std::atomic<float>* width = nullptr;
        std::atomic<float>* preDelay = nullptr;
        std::atomic<float>* lowCut = nullptr;
        std::atomic<float>* highCut = nullptr;
        std::atomic<float>* character = nullptr;
        std::atomic<float>* preVerb = nullptr;
        std::atomic<float>* lfoSpeed = nullptr;
        std::atomic<float>* lfoDepth = nullptr;
        std::atomic<float>* drive = nullptr;
        std::atomic<float>* sideChain = nullptr;
        std::atomic<float>* decay = nullptr;
        juce::RangedAudioParameter* lrFlipButton = nullptr; // read as its normalised value
    };

    ChunkParameters chunkParameters;

    // The Decay the chunk path last saw, and for how many samples it has held (up to `decayHoldSamples`).
    float heldDecay = -1.0f;
    int decayHeldSamples = 0, decayHoldSamples = 1;

    void retrimWhenWanted();

    static BusesProperties makeBuses();
    void cacheChunkParameters();
    static juce::String bandParameterId (int bandNumber, const char* suffix);

    void installParameterTree (juce::ValueTree tree);
    void restoreIrSelection (const juce::ValueTree& state);
    void loadIrSelection (int typeIndex, int number);
    void captureSidechain (const juce::AudioBuffer<float>& buffer);
    void processWetPath (juce::dsp::AudioBlock<float>& block, float flipTarget, bool shimmerWanted);
    static void silenceNonFiniteSamples (juce::dsp::AudioBlock<float>& block) noexcept;
    void prepareStages (double sampleRate, int samplesPerBlock);
    void loadPairAtPreparation();
    void processPreDelay (juce::dsp::AudioBlock<float>& block, float preDelayMs);
    void updateDuckThreshold (float amount) noexcept;

    // The ducking stage's key for one chunk: its channels (no right one for a mono key; none at all for a block
    // without channels) and the detectors following them.
    struct DuckKey
    {
        const float* left = nullptr;
        const float* right = nullptr;
        std::array<Sidechain::PeakLevelDetector, 2> detectors;

        float envelope (int i) noexcept
        {
            const float level = detectors[0].tick (left[i]);
            return right != nullptr ? 0.5f * (level + detectors[1].tick (right[i])) : level;
        }
    };

    DuckKey chooseDuckKey (juce::dsp::AudioBlock<float>& block, int numSamples, bool sidechainConnected) const;
    bool glideDuckAmount (float amount);
    void followDuckKey (float envelope, float slope) noexcept;
    void duckSamples (juce::dsp::AudioBlock<float>& block, DuckKey& chunkKey, float slope, bool ramping);
    void feedAnalyser (const juce::dsp::AudioBlock<float>& block);
    void processFlipAndWidth (juce::dsp::AudioBlock<float>& block, float flipTarget);

    // What one chunk of the modulation stage does, decided once and shared by its channels.
    struct ModulationPlan
    {
        bool tremoloMode = false;
        bool crossfading = false; // between vibrato and tremolo, after a switch
        float modeStep = 0.0f;    // change of the tremolo share per sample while crossfading
    };

    void retargetLfo (float lfoSpeed, float lfoDepth, int numChannels);
    ModulationPlan planModulationChunk();
    void delayWithoutModulation (float* delayLine, float* samples, int numSamples, float delay, int& write);
    float advancePhase (float phase, float step, int numSamples);
    void modulateChannel (int channel, float* samples, int numSamples, ModulationPlan plan, float& phaseOut,
                          int& writeOut);
    bool vibratoAtRest (int channel) const noexcept;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (VellumarProcessor)
};
