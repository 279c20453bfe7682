// Physical and statistical models of the built-in reverberation responses.
#pragma once

#include "dsp.hpp"

#include <array>
#include <cstdint>
#include <vector>

namespace irgen {

// ---------------------------------------------------------------- plate ----
// Modal synthesis of a simply supported, tensioned thin plate. Every mode is an
// exponentially decaying cosine (velocity response to a force impulse) whose
// amplitude is the product of the mode shape at the driver and at the pickup.
struct PlateParams {
    double lx = 2.0, ly = 1.0;      // m
    double thickness = 0.0005;      // m
    double youngs = 2.0e11;         // Pa (steel)
    double density = 7850.0;        // kg/m^3
    double poisson = 0.3;
    double tension = 1500.0;        // N/m, in-plane; raises the lowest modes
    std::array<double, 2> driver{0.33, 0.41};   // fractions of lx, ly
    std::array<double, 2> pickupL{0.71, 0.27};
    std::array<double, 2> pickupR{0.82, 0.63};
    Octaves8 t60{};                 // decay per octave 125 Hz .. 16 kHz
    double highpassHz = 70.0;       // driver and pickup low cut
    double lowpassHz = 12000.0;     // pickup high roll-off
    int lowpassOrder = 2;
    double tiltDbPerOct = 0.0;      // around 1 kHz
    double maxHz = 19000.0;
    double detune = 0.002;          // relative spread from plate imperfections
    std::uint64_t seed = 1;
};

struct PlateMode {
    double hz, sigma, gainL, gainR;
};

std::vector<PlateMode> plateModes(const PlateParams& p);
// Sums exponentially decaying cosines, each mode run until -110 dB.
Stereo renderModes(const std::vector<PlateMode>& modes, std::size_t n, double fs = kSampleRate);
Stereo renderPlate(const PlateParams& p, std::size_t n);

// ----------------------------------------------------------- room, hall ----
// Absorption coefficients at 125, 250, 500, 1k, 2k, 4k Hz.
using Absorption = std::array<double, 6>;

// Shoebox room: randomized image-source early part with per-wall, per-octave
// absorption and air absorption, crossfaded into a statistical late field
// (Gaussian noise with the Eyring decay of every octave band, at the level
// the image density predicts). Two spaced omnis give the stereo pair.
struct RoomParams {
    std::array<double, 3> dims{8, 6, 3.5};  // m
    std::array<double, 3> source{2, 2, 1.5};
    std::array<double, 3> receiver{5, 4, 1.6};
    double micSpacing = 0.4;  // m between the two omnis
    // x=0, x=Lx, y=0, y=Ly, floor, ceiling
    std::array<Absorption, 6> walls{};
    double targetRtMid = 0.0;  // s at 500 Hz/1 kHz, 0 keeps the materials as they are
    double mixStart = 0.02;    // s after the direct sound: diffuse part starts to fade in
    double mixEnd = 0.09;      // s: specular part has faded out, images end here
    double jitter = 0.05;      // m, random displacement of images
    // Scattering: reflections arriving later than scatterAfter (s after the direct sound, 0 = never) reach the
    // microphones as diffuse energy spread over scatterSpread seconds instead of as single images.
    double scatterAfter = 0.0;
    double scatterSpread = 0.024;
    Octaves8 toneDb{};         // source/microphone colour
    std::uint64_t seed = 1;
};

struct RoomResult {
    Stereo ir;
    std::array<double, 10> modelRt{};  // Eyring decay at the ten band centres 31.5 Hz .. 16 kHz
    double absorptionScale = 1.0;
    std::size_t images = 0;
};

// Energy attenuation of air (1/m) at 20 C, 50 % RH for the octave band at hz.
double airAttenuation(double hz);
// Eyring reverberation time with air absorption for each of the ten bands.
std::array<double, 10> eyringRt(const RoomParams& p, double absorptionScale);
RoomResult renderRoom(const RoomParams& p, std::size_t n);

// Diffuse-field coherence of two omnis `spacing` metres apart (sin(kd)/kd)
// imposed on two independent noise channels.
void applySpacedPairCoherence(Stereo& s, double spacing);

// ---------------------------------------------------------------- space ----
// Statistical diffuse field of a very large, soft-walled virtual space: noise
// in third-octave bands with per-band exponential decay, a slow swell and slow
// independent level drift per band and channel.
struct SpaceParams {
    Octaves8 t60{};
    Octaves8 toneDb{};
    double startDb = -14.0;   // level at t=0 relative to the peak of the swell (1 kHz)
    double buildUp = 0.5;     // s, time constant of the swell
    double modDepthDb = 3.0;
    double modRateHz = 0.15;
    double micSpacing = 1.5;
    std::uint64_t seed = 1;
};

Stereo renderSpace(const SpaceParams& p, std::size_t n);

// --------------------------------------------------------------- spring ----
// One helical spring: the wave runs from the driver to the pickup and then
// bounces between the ends. Dispersion below the transition frequency comes
// from a cascade of stretched first-order all-pass sections (group delay
// rising towards the transition), above it from plain sections with falling
// group delay. Each round trip passes the cascade twice more and a low-pass,
// so later echoes are more dispersed and darker.
struct SpringLine {
    double delay = 0.035;     // s, one-way travel time of the low frequencies
    int stretch = 6;          // transition at fs / (2 * stretch)
    double coeff = 0.6;       // all-pass coefficient of the low chirps
    int sections = 90;        // per one-way pass
    double t60 = 3.0;         // s, decay of the low chirps
    double loopLowpassHz = 7000.0;
    double highLevelDb = -14.0;
    double highCoeff = -0.55;
    int highSections = 60;
    double highT60 = 1.5;
    double gainDb = 0.0;
};

struct SpringParams {
    std::vector<SpringLine> left, right;
    double inputHighpassHz = 90.0;
    double outputLowpassHz = 6000.0;
};

// First-order all-pass (a + z^-K) / (1 + a z^-K) repeated `sections` times.
// With damping < 1 every unit delay is scaled by it (z^-1 -> damping z^-1):
// the loss then grows with the group delay, i.e. it is a loss per unit time
// however long a frequency lingers in the dispersive part.
class AllpassChain {
public:
    AllpassChain(int stretch, double coeff, int sections, double damping = 1.0);
    double process(double x);
private:
    int k_, m_;
    double a_, d_;
    std::size_t pos_ = 0;
    std::vector<double> xs_, ys_;
};

// Impulse response of a single spring line including the transition filters.
std::vector<double> renderSpringLine(const SpringLine& s, std::size_t n, double fs = kSampleRate);
Stereo renderSpring(const SpringParams& p, std::size_t n);

// ------------------------------------------------------------- shared ------
// DC removal, end fade and normalisation to peakDb. Returns the applied gain.
double finalizeResponse(Stereo& s, double peakDb);

}  // namespace irgen
