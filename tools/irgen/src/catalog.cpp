#include "catalog.hpp"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

namespace irgen {

const char* kindName(Kind k) {
    switch (k) {
        case Kind::Plate: return "Plate";
        case Kind::Room: return "Room";
        case Kind::Spring: return "Spring";
        case Kind::Space: return "Space";
        case Kind::Hall: return "Hall";
    }
    return "?";
}

namespace {

// Octave-band absorption coefficients, 125 Hz .. 4 kHz.
namespace mat {
const Absorption plaster{0.013, 0.015, 0.02, 0.03, 0.04, 0.05};
const Absorption concreteBlock{0.10, 0.05, 0.06, 0.07, 0.09, 0.08};
const Absorption concrete{0.01, 0.01, 0.02, 0.02, 0.02, 0.03};
const Absorption brick{0.03, 0.03, 0.03, 0.04, 0.05, 0.07};
const Absorption woodFloor{0.15, 0.11, 0.10, 0.07, 0.06, 0.07};
const Absorption woodPanel{0.28, 0.22, 0.17, 0.09, 0.10, 0.11};
const Absorption gypsum{0.29, 0.10, 0.05, 0.04, 0.07, 0.09};
const Absorption carpet{0.02, 0.06, 0.14, 0.37, 0.60, 0.65};
const Absorption curtain{0.14, 0.35, 0.55, 0.72, 0.70, 0.65};
const Absorption tile{0.01, 0.01, 0.01, 0.01, 0.02, 0.02};
const Absorption glass{0.35, 0.25, 0.18, 0.12, 0.07, 0.04};
const Absorption acousticTile{0.50, 0.70, 0.60, 0.70, 0.70, 0.50};
const Absorption seats{0.49, 0.66, 0.80, 0.88, 0.82, 0.70};
const Absorption stone{0.02, 0.02, 0.03, 0.04, 0.05, 0.05};
}  // namespace mat

Absorption mix(const Absorption& a, const Absorption& b, double fracB) {
    Absorption r{};
    for (std::size_t i = 0; i < r.size(); ++i) r[i] = a[i] * (1.0 - fracB) + b[i] * fracB;
    return r;
}

std::string numbered(const char* type, int variant, char side) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%s%d%c", type, variant, side);
    return buf;
}

std::uint64_t seedFor(Kind k, int variant, char side) {
    return 0x5645'4C4C'554D'4152ull ^ (std::uint64_t(k) << 40) ^ (std::uint64_t(variant) << 8) ^
           std::uint64_t(side);
}

IrSpec base(Kind k, int variant, char side, std::size_t frames, std::string character) {
    IrSpec s;
    s.kind = k;
    s.name = numbered(kindName(k), variant, side);
    s.frames = frames;
    s.character = std::move(character);
    const std::uint64_t seed = seedFor(k, variant, side);
    s.plate.seed = s.room.seed = s.space.seed = seed;
    return s;
}

// ------------------------------------------------------------ plates ----
IrSpec plate(int v, char side, std::size_t frames, std::string character, double lx, double ly,
             double hMm, Octaves8 t60, double lpHz, double tilt,
             std::array<double, 2> pl, std::array<double, 2> pr) {
    IrSpec s = base(Kind::Plate, v, side, frames, std::move(character));
    PlateParams& p = s.plate;
    p.lx = lx;
    p.ly = ly;
    p.thickness = hMm * 1e-3;
    p.t60 = t60;
    p.lowpassHz = lpHz;
    p.tiltDbPerOct = tilt;
    p.pickupL = pl;
    p.pickupR = pr;
    return s;
}

void addPlates(std::vector<IrSpec>& out) {
    out.push_back(plate(1, 'A', 130, "classic 2 x 1 m steel plate, damper closed, bright", 2.0, 1.0, 0.5,
                        {1.6, 1.9, 2.0, 2.0, 1.85, 1.6, 1.2, 0.7}, 12000, 0.5, {0.71, 0.27}, {0.82, 0.63}));
    out.push_back(plate(1, 'B', 347, "classic 2 x 1 m steel plate, damper open, darker", 2.0, 1.0, 0.5,
                        {3.0, 3.8, 4.2, 4.1, 3.5, 2.7, 1.7, 0.9}, 7000, -1.0, {0.64, 0.22}, {0.77, 0.71}));
    out.push_back(plate(2, 'A', 150, "large 2.4 x 1.2 m plate, very bright and airy", 2.4, 1.2, 0.45,
                        {1.9, 2.2, 2.3, 2.3, 2.2, 2.0, 1.6, 1.0}, 14000, 1.0, {0.69, 0.31}, {0.86, 0.58}));
    out.push_back(plate(2, 'B', 346, "large 2.4 x 1.2 m plate, long and warm", 2.4, 1.2, 0.45,
                        {3.8, 4.5, 4.8, 4.7, 4.2, 3.4, 2.3, 1.2}, 9000, 0.0, {0.58, 0.36}, {0.79, 0.67}));
    out.push_back(plate(3, 'A', 152, "small thin 1.0 x 0.7 m plate, quick dense splash", 1.0, 0.7, 0.3,
                        {1.8, 2.2, 2.4, 2.4, 2.2, 1.9, 1.4, 0.8}, 13000, 0.8, {0.73, 0.29}, {0.84, 0.66}));
    out.push_back(plate(3, 'B', 346, "small thin 1.0 x 0.7 m plate, long shimmer, softened top", 1.0, 0.7, 0.3,
                        {3.4, 4.0, 4.3, 4.2, 3.6, 2.8, 1.8, 1.0}, 8000, -0.5, {0.62, 0.24}, {0.76, 0.74}));
    out.push_back(plate(4, 'A', 135, "thick damped plate, short and dark", 2.0, 1.0, 0.6,
                        {1.2, 1.4, 1.5, 1.5, 1.3, 1.0, 0.7, 0.4}, 6000, -1.5, {0.70, 0.33}, {0.88, 0.61}));
    out.push_back(plate(4, 'B', 347, "thick damped plate, longer, very dark", 2.0, 1.0, 0.6,
                        {2.6, 3.0, 3.2, 3.0, 2.4, 1.7, 1.0, 0.55}, 4500, -2.5, {0.61, 0.27}, {0.81, 0.73}));
    out.push_back(plate(5, 'A', 148, "2.2 x 1.1 m plate, medium, neutral", 2.2, 1.1, 0.5,
                        {1.9, 2.1, 2.2, 2.2, 2.0, 1.7, 1.3, 0.8}, 11000, 0.0, {0.67, 0.26}, {0.85, 0.69}));
    out.push_back(plate(5, 'B', 347, "2.2 x 1.1 m plate, damper fully open, long", 2.2, 1.1, 0.5,
                        {4.4, 5.2, 5.5, 5.3, 4.6, 3.6, 2.4, 1.2}, 8000, -0.5, {0.59, 0.34}, {0.74, 0.62}));
}

// ------------------------------------------------------ rooms, halls ----
struct RoomShape {
    std::array<double, 3> dims, source, receiver;
};

IrSpec room(Kind k, int v, char side, std::size_t frames, std::string character, RoomShape shape,
            std::array<Absorption, 6> walls, double rtMid, double spacing, double mixStart,
            double mixEnd, double jitter, Octaves8 tone) {
    IrSpec s = base(k, v, side, frames, std::move(character));
    RoomParams& r = s.room;
    r.dims = shape.dims;
    r.source = shape.source;
    r.receiver = shape.receiver;
    r.walls = walls;
    r.targetRtMid = rtMid;
    r.micSpacing = spacing;
    r.mixStart = mixStart;
    r.mixEnd = mixEnd;
    r.jitter = jitter;
    r.toneDb = tone;
    // The walls of a hall are broken up by balconies, boxes and ornament: after the first reflections the sound
    // reaches the listener scattered, so no single late reflection stands out as a slap.
    if (k == Kind::Hall) r.scatterAfter = 0.02;
    return s;
}

const Octaves8 kFlat{0, 0, 0, 0, 0, 0, 0, 0};
const Octaves8 kSoftTop{0, 0, 0, 0, -0.5, -1.5, -3, -5};
const Octaves8 kDark{0.5, 0.5, 0, 0, -1, -2.5, -4.5, -7};
const Octaves8 kBright{-1, -0.5, 0, 0, 0.5, 1, 1.5, 1};

void addRooms(std::vector<IrSpec>& out) {
    using namespace mat;
    const Kind R = Kind::Room;
    out.push_back(room(R, 1, 'A', 169, "live wooden studio room, close pair", 
                       {{7.5, 5.8, 3.4}, {2.1, 2.3, 1.4}, {3.9, 3.1, 1.6}},
                       {mix(plaster, woodPanel, 0.3), mix(plaster, woodPanel, 0.5), plaster, mix(plaster, glass, 0.3), woodFloor, mix(plaster, gypsum, 0.3)},
                       0.7, 0.3, 0.012, 0.08, 0.04, kFlat));
    out.push_back(room(R, 1, 'B', 347, "large wooden live room, distant pair, darker",
                       {{10.5, 7.6, 4.2}, {2.4, 2.6, 1.5}, {8.1, 5.3, 2.0}},
                       {brick, mix(plaster, woodPanel, 0.35), plaster, mix(plaster, woodPanel, 0.5), woodFloor, mix(plaster, gypsum, 0.3)},
                       1.15, 0.5, 0.015, 0.10, 0.06, kDark));
    out.push_back(room(R, 2, 'A', 146, "brick drum room, tight and punchy",
                       {{6.2, 4.9, 3.0}, {1.8, 2.1, 1.0}, {3.6, 2.9, 1.5}},
                       {brick, brick, mix(brick, glass, 0.25), brick, woodFloor, plaster},
                       0.55, 0.3, 0.01, 0.07, 0.03, kBright));
    out.push_back(room(R, 2, 'B', 347, "bigger brick room, ambient pair",
                       {{9.0, 7.0, 3.8}, {2.0, 2.4, 1.1}, {7.2, 5.1, 2.2}},
                       {brick, mix(brick, curtain, 0.2), brick, brick, woodFloor, plaster},
                       1.2, 0.6, 0.014, 0.09, 0.05, kSoftTop));
    out.push_back(room(R, 3, 'A', 169, "large concrete live room",
                       {{14.0, 10.0, 5.5}, {3.5, 3.2, 1.5}, {7.4, 5.6, 1.8}},
                       {concreteBlock, concreteBlock, concreteBlock, mix(concreteBlock, glass, 0.4), concrete, concreteBlock},
                       1.1, 0.5, 0.015, 0.10, 0.08, kFlat));
    out.push_back(room(R, 3, 'B', 347, "concrete warehouse, far pair, dark",
                       {{20.0, 14.0, 7.0}, {4.0, 4.5, 1.5}, {15.5, 9.8, 2.5}},
                       {concreteBlock, concrete, concreteBlock, concrete, concrete, mix(concreteBlock, woodPanel, 0.3)},
                       1.2, 0.8, 0.02, 0.12, 0.12, kDark));
    out.push_back(room(R, 4, 'A', 139, "small treated vocal room, very short",
                       {{3.6, 2.8, 2.5}, {1.2, 1.4, 1.5}, {2.3, 1.5, 1.6}},
                       {curtain, gypsum, mix(gypsum, curtain, 0.5), gypsum, carpet, acousticTile},
                       0.35, 0.2, 0.008, 0.05, 0.02, kFlat));
    out.push_back(room(R, 4, 'B', 347, "furnished living room, soft and warm",
                       {{5.5, 4.2, 2.9}, {1.4, 1.6, 1.2}, {4.2, 2.9, 1.4}},
                       {gypsum, mix(gypsum, glass, 0.4), mix(gypsum, curtain, 0.3), woodPanel, carpet, gypsum},
                       0.8, 0.35, 0.01, 0.07, 0.03, kDark));
    out.push_back(room(R, 5, 'A', 162, "tiled echo chamber, bright",
                       {{6.0, 4.5, 3.2}, {1.3, 1.2, 1.2}, {4.6, 3.4, 2.1}},
                       {tile, tile, tile, tile, concrete, tile},
                       1.1, 0.4, 0.01, 0.07, 0.05, kBright));
    out.push_back(room(R, 5, 'B', 347, "large plaster echo chamber, long",
                       {{8.5, 6.3, 4.0}, {1.4, 1.5, 1.3}, {7.0, 4.9, 2.6}},
                       {mix(plaster, woodPanel, 0.35), tile, mix(plaster, woodPanel, 0.35), plaster, concrete, mix(plaster, gypsum, 0.4)},
                       1.2, 0.5, 0.012, 0.09, 0.08, kSoftTop));
}

void addHalls(std::vector<IrSpec>& out) {
    using namespace mat;
    const Kind H = Kind::Hall;
    const Absorption stalls = mix(woodFloor, seats, 0.7);
    out.push_back(room(H, 1, 'A', 180, "recital hall, mid-stalls pair",
                       {{24, 15, 10}, {5, 7.5, 1.6}, {14, 8.2, 1.8}},
                       {mix(plaster, woodPanel, 0.4), mix(plaster, woodPanel, 0.4), mix(plaster, woodPanel, 0.3), plaster, stalls, mix(plaster, gypsum, 0.5)},
                       1.9, 0.6, 0.02, 0.16, 0.25, kFlat));
    out.push_back(room(H, 1, 'B', 322, "recital hall, rear pair, darker and longer",
                       {{30, 19, 12}, {5, 9.5, 1.6}, {25, 10.6, 3.0}},
                       {mix(plaster, woodPanel, 0.3), plaster, mix(plaster, woodPanel, 0.4), mix(plaster, woodPanel, 0.3), mix(woodFloor, seats, 0.5), mix(plaster, gypsum, 0.5)},
                       2.5, 0.9, 0.03, 0.22, 0.35, kDark));
    out.push_back(room(H, 2, 'A', 190, "shoebox concert hall, stalls",
                       {{36, 22, 16}, {6, 11, 1.8}, {19, 12.5, 2.0}},
                       {mix(plaster, woodPanel, 0.2), mix(plaster, woodPanel, 0.2), mix(plaster, woodPanel, 0.4), mix(plaster, woodPanel, 0.4), stalls, mix(plaster, gypsum, 0.5)},
                       2.0, 0.7, 0.02, 0.18, 0.3, kFlat));
    out.push_back(room(H, 2, 'B', 330, "shoebox concert hall, balcony, warm tail",
                       {{44, 26, 18}, {6, 13, 1.8}, {36, 14.2, 7.5}},
                       {mix(plaster, woodPanel, 0.3), mix(plaster, woodPanel, 0.3), plaster, plaster, mix(woodFloor, seats, 0.55), mix(plaster, gypsum, 0.5)},
                       2.75, 1.0, 0.03, 0.24, 0.4, kSoftTop));
    out.push_back(room(H, 3, 'A', 200, "large concert hall, clear early reflections",
                       {{46, 30, 20}, {7, 15, 1.8}, {22, 17, 2.0}},
                       {mix(plaster, woodPanel, 0.4), mix(plaster, woodPanel, 0.4), mix(plaster, woodPanel, 0.3), plaster, stalls, mix(plaster, gypsum, 0.5)},
                       2.3, 0.8, 0.025, 0.2, 0.35, kBright));
    out.push_back(room(H, 3, 'B', 338, "large concert hall, far pair, long dark tail",
                       {{55, 34, 22}, {7, 17, 1.8}, {44, 19, 4.0}},
                       {mix(plaster, woodPanel, 0.35), mix(plaster, woodPanel, 0.35), mix(plaster, woodPanel, 0.3), plaster, mix(woodFloor, seats, 0.5), mix(plaster, gypsum, 0.5)},
                       2.8, 1.2, 0.035, 0.26, 0.45, kDark));
    out.push_back(room(H, 4, 'A', 176, "wood-panelled hall, warm and intimate",
                       {{30, 20, 14}, {5, 10, 1.6}, {15, 11.3, 1.8}},
                       {mix(woodPanel, plaster, 0.3), mix(woodPanel, plaster, 0.3), woodPanel, mix(woodPanel, plaster, 0.6), stalls, plaster},
                       1.95, 0.6, 0.02, 0.16, 0.3, kFlat));
    out.push_back(room(H, 4, 'B', 326, "wood-panelled hall, empty, longer",
                       {{34, 22, 15}, {5, 11, 1.6}, {27, 12.4, 2.5}},
                       {mix(woodPanel, plaster, 0.5), mix(woodPanel, plaster, 0.7), mix(woodPanel, plaster, 0.5), plaster, woodFloor, plaster},
                       2.6, 0.9, 0.03, 0.22, 0.35, kSoftTop));
    out.push_back(room(H, 5, 'A', 208, "stone church nave, near the altar",
                       {{40, 18, 20}, {6, 9, 1.7}, {17, 10.1, 1.8}},
                       {stone, stone, mix(stone, glass, 0.3), mix(stone, glass, 0.3), mix(stone, woodFloor, 0.4), mix(stone, woodPanel, 0.2)},
                       2.6, 0.8, 0.025, 0.2, 0.35, kFlat));
    out.push_back(room(H, 5, 'B', 344, "cathedral, far down the nave, very long and dark",
                       {{60, 25, 28}, {6, 12.5, 1.7}, {48, 13.9, 2.0}},
                       {stone, stone, mix(stone, glass, 0.2), mix(stone, glass, 0.2), mix(stone, woodFloor, 0.3), stone},
                       2.8, 1.4, 0.04, 0.3, 0.5, kDark));
}

// ----------------------------------------------------------- springs ----
SpringLine line(double delayMs, int stretch, double coeff, int sections, double t60, double loopLp,
                double highDb, double gainDb) {
    SpringLine s;
    s.delay = delayMs * 1e-3;
    s.stretch = stretch;
    s.coeff = coeff;
    s.sections = sections;
    s.t60 = t60;
    s.loopLowpassHz = loopLp;
    s.highLevelDb = highDb;
    s.highSections = 100;
    s.highT60 = 0.55 * t60;
    s.gainDb = gainDb;
    return s;
}

IrSpec spring(int v, char side, std::size_t frames, std::string character, std::vector<SpringLine> l,
              std::vector<SpringLine> r, double hp, double lp) {
    IrSpec s = base(Kind::Spring, v, side, frames, std::move(character));
    s.spring.left = std::move(l);
    s.spring.right = std::move(r);
    s.spring.inputHighpassHz = hp;
    s.spring.outputLowpassHz = lp;
    return s;
}

void addSprings(std::vector<IrSpec>& out) {
    // Hundreds of stretched all-pass sections per pass give tens of milliseconds between the low and the high
    // end of every chirp; the transition at fs / 10 = 4.4 kHz band-limits the tank.
    out.push_back(spring(1, 'A', 194, "classic two-spring tank, bright drip",
                         {line(33, 5, 0.45, 330, 2.6, 5500, -15, 0), line(41, 5, 0.45, 350, 2.8, 5500, -16, -1.5)},
                         {line(37, 5, 0.45, 340, 2.7, 5500, -15, 0), line(29, 5, 0.45, 320, 2.5, 5500, -16, -1.5)},
                         60, 5500));
    out.push_back(spring(1, 'B', 347, "classic two-spring tank, long",
                         {line(34, 5, 0.47, 360, 3.5, 5000, -16, 0), line(42, 5, 0.46, 380, 3.6, 5000, -17, -1.5)},
                         {line(38, 5, 0.47, 370, 3.5, 5000, -16, 0), line(30, 5, 0.46, 350, 3.4, 5000, -17, -1.5)},
                         50, 5200));
    out.push_back(spring(2, 'A', 194, "short bright tank, fast splashy chirps",
                         {line(22, 5, 0.5, 300, 2.4, 6000, -12, 0), line(27, 5, 0.5, 310, 2.5, 6000, -13, -1)},
                         {line(24, 5, 0.5, 305, 2.4, 6000, -12, 0), line(20, 5, 0.5, 295, 2.3, 6000, -13, -1)},
                         80, 5500));
    out.push_back(spring(2, 'B', 347, "short tank, more dispersion, smoother",
                         {line(23, 5, 0.5, 340, 3.2, 5200, -14, 0), line(28, 5, 0.5, 350, 3.3, 5200, -15, -1)},
                         {line(25, 5, 0.5, 345, 3.2, 5200, -14, 0), line(21, 5, 0.5, 335, 3.1, 5200, -15, -1)},
                         70, 5500));
    out.push_back(spring(3, 'A', 194, "long dark tank, slow deep chirps",
                         {line(45, 5, 0.5, 425, 2.7, 4200, -18, 0), line(52, 5, 0.5, 444, 2.8, 4200, -18, -1.5)},
                         {line(48, 5, 0.5, 428, 2.7, 4200, -18, 0), line(55, 5, 0.5, 448, 2.9, 4200, -18, -1.5)},
                         50, 4600));
    out.push_back(spring(3, 'B', 347, "long dark tank, very long, heavy dispersion",
                         {line(46, 5, 0.55, 500, 3.6, 4000, -19, 0), line(53, 5, 0.55, 512, 3.7, 4000, -19, -1.5)},
                         {line(49, 5, 0.55, 505, 3.6, 4000, -19, 0), line(56, 5, 0.55, 520, 3.8, 4000, -19, -1.5)},
                         50, 4400));
    out.push_back(spring(4, 'A', 194, "three-spring tank, dense",
                         {line(26, 5, 0.45, 300, 2.4, 4800, -15, 0), line(31, 5, 0.45, 310, 2.5, 4800, -16, -1),
                          line(37, 5, 0.45, 320, 2.6, 4800, -16, -2)},
                         {line(28, 5, 0.45, 304, 2.4, 4800, -15, 0), line(33, 5, 0.45, 314, 2.5, 4800, -16, -1),
                          line(39, 5, 0.45, 324, 2.6, 4800, -16, -2)},
                         60, 5000));
    out.push_back(spring(4, 'B', 347, "three-spring tank, long and warm",
                         {line(27, 5, 0.5, 340, 3.3, 4400, -16, 0), line(32, 5, 0.5, 350, 3.4, 4400, -17, -1),
                          line(38, 5, 0.5, 360, 3.5, 4400, -17, -2)},
                         {line(29, 5, 0.5, 344, 3.3, 4400, -16, 0), line(34, 5, 0.5, 354, 3.4, 4400, -17, -1),
                          line(40, 5, 0.5, 364, 3.5, 4400, -17, -2)},
                         50, 4800));
    out.push_back(spring(5, 'A', 194, "loose spring, pronounced boing",
                         {line(38, 5, 0.55, 475, 2.8, 4600, -11, 0), line(44, 5, 0.55, 488, 2.9, 4600, -12, -1)},
                         {line(41, 5, 0.55, 480, 2.8, 4600, -11, 0), line(47, 5, 0.55, 495, 2.9, 4600, -12, -1)},
                         50, 5000));
    out.push_back(spring(5, 'B', 347, "loose spring, long, deep dispersion",
                         {line(39, 5, 0.6, 525, 3.6, 4200, -14, 0), line(45, 5, 0.6, 538, 3.7, 4200, -15, -1)},
                         {line(42, 5, 0.6, 530, 3.6, 4200, -14, 0), line(48, 5, 0.6, 545, 3.8, 4200, -15, -1)},
                         50, 4600));
}

// ------------------------------------------------------------ spaces ----
constexpr double kSpaceMidDecay = 4.4;  // s, the least mid-band decay of a space

IrSpec space(int v, char side, std::size_t frames, std::string character, Octaves8 t60, Octaves8 tone,
             double startDb, double buildUp, double modDb, double modHz, double spacing) {
    IrSpec s = base(Kind::Space, v, side, frames, std::move(character));
    SpaceParams& p = s.space;
    // A large ambient space lingers: at least 4.4 s in the middle octaves, the shape of the curve kept.
    const double stretch = std::max(1.0, kSpaceMidDecay / (0.5 * (t60[2] + t60[3])));
    for (auto& t : t60) t *= stretch;
    p.t60 = t60;
    p.toneDb = tone;
    p.startDb = startDb;
    p.buildUp = buildUp;
    p.modDepthDb = modDb;
    p.modRateHz = modHz;
    p.micSpacing = spacing;
    return s;
}

void addSpaces(std::vector<IrSpec>& out) {
    out.push_back(space(1, 'A', 258, "vast dark expanse, gentle swell",
                        {5.28, 5.1, 4.75, 4.22, 3.17, 2.11, 1.32, 0.79}, {1, 0, 0, -1, -3, -6, -10, -16},
                        -14, 0.45, 2.5, 0.12, 2.0));
    out.push_back(space(1, 'B', 234, "vast dark expanse, slower and smoother",
                        {4.2, 4.05, 3.75, 3.3, 2.35, 1.5, 0.95, 0.55}, {2, 1, 0, -2, -5, -9, -14, -20},
                        -16, 0.9, 1.5, 0.07, 3.0));
    out.push_back(space(2, 'A', 258, "shimmering nebula, moving colour",
                        {5.46, 5.28, 4.93, 4.4, 3.52, 2.46, 1.58, 0.88}, {0, 0, 0, 0, -1.5, -4, -7, -12},
                        -12, 0.35, 3.5, 0.2, 2.0));
    out.push_back(space(2, 'B', 132, "short dark cloud, soft bloom",
                        {2.64, 2.55, 2.38, 2.11, 1.58, 1.06, 0.7, 0.44}, {1.5, 1, 0, -1.5, -4, -8, -13, -19},
                        -13, 0.35, 1.8, 0.09, 2.5));
    out.push_back(space(3, 'A', 176, "open cavern, quick bloom",
                        {3.52, 3.43, 3.17, 2.82, 2.2, 1.5, 0.97, 0.62}, {0, 0, 0, -0.5, -2, -5, -9, -14},
                        -10, 0.25, 2.0, 0.15, 1.5));
    out.push_back(space(3, 'B', 258, "deep cavern, very slow swell",
                        {4.6, 4.5, 4.2, 3.7, 2.7, 1.7, 1.0, 0.62}, {2, 1, 0, -2, -5, -9, -14, -20},
                        -18, 1.1, 3.0, 0.09, 3.0));
    out.push_back(space(4, 'A', 186, "drifting ambience, lively motion",
                        {3.7, 3.52, 3.34, 2.99, 2.38, 1.67, 1.06, 0.62}, {0, 0, 0, 0, -1, -3, -6, -11},
                        -11, 0.3, 4.0, 0.25, 1.8));
    out.push_back(space(4, 'B', 145, "drifting ambience, dark and calm",
                        {2.82, 2.73, 2.55, 2.2, 1.67, 1.14, 0.7, 0.44}, {2, 1, 0, -2, -5, -9, -14, -20},
                        -14, 0.5, 2.0, 0.1, 2.5));
    out.push_back(space(5, 'A', 196, "airy dome, light swell",
                        {4.05, 3.87, 3.61, 3.26, 2.64, 1.94, 1.23, 0.7}, {-1, 0, 0, 0, -0.5, -2.5, -5, -9},
                        -12, 0.4, 2.5, 0.18, 2.0));
    out.push_back(space(5, 'B', 258, "abyss, darkest and slowest",
                        {4.5, 4.35, 4.05, 3.55, 2.6, 1.65, 0.95, 0.58}, {3, 2, 0, -3, -7, -12, -18, -24},
                        -20, 1.4, 2.0, 0.06, 3.5));
}

}  // namespace

std::vector<IrSpec> catalog() {
    std::vector<IrSpec> out;
    addPlates(out);
    addRooms(out);
    addSprings(out);
    addSpaces(out);
    addHalls(out);
    return out;
}

Rendered renderSpec(const IrSpec& spec, std::size_t n) {
    Rendered r;
    char note[160];
    switch (spec.kind) {
        case Kind::Plate: {
            const auto modes = plateModes(spec.plate);
            r.ir = renderModes(modes, n);
            std::snprintf(note, sizeof note, "%zu plate modes up to %.0f Hz", modes.size(), spec.plate.maxHz);
            break;
        }
        case Kind::Room:
        case Kind::Hall: {
            RoomResult rr = renderRoom(spec.room, n);
            r.ir = std::move(rr.ir);
            const auto& d = spec.room.dims;
            std::snprintf(note, sizeof note, "%.1f x %.1f x %.1f m, %zu image sources, Eyring T(500-1k) %.2f s",
                          d[0], d[1], d[2], rr.images, 0.5 * (rr.modelRt[4] + rr.modelRt[5]));
            break;
        }
        case Kind::Spring: {
            r.ir = renderSpring(spec.spring, n);
            std::snprintf(note, sizeof note, "%zu springs per side, transition %.0f Hz",
                          spec.spring.left.size(), kSampleRate / (2.0 * spec.spring.left.front().stretch));
            break;
        }
        case Kind::Space: {
            r.ir = renderSpace(spec.space, n);
            std::snprintf(note, sizeof note, "swell %.2f s, drift %.1f dB at ~%.2f Hz", spec.space.buildUp,
                          spec.space.modDepthDb, spec.space.modRateHz);
            break;
        }
    }
    r.modelNote = note;
    return r;
}

}  // namespace irgen
