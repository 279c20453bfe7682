// The built-in responses: names, lengths and model settings.
#pragma once

#include "models.hpp"

#include <string>
#include <vector>

namespace irgen {

enum class Kind { Plate, Room, Spring, Space, Hall };

const char* kindName(Kind k);

struct IrSpec {
    std::string name;      // file stem, e.g. "Plate1A"
    Kind kind = Kind::Plate;
    std::size_t frames = 0;  // MPEG audio frames of the encoded file
    std::string character;   // one line for the report
    PlateParams plate;
    RoomParams room;         // also used for halls
    SpringParams spring;
    SpaceParams space;
};

std::vector<IrSpec> catalog();

struct Rendered {
    Stereo ir;
    std::string modelNote;  // model facts worth reporting (e.g. mode or image count)
};

// Renders the raw (not yet normalised) response of n samples.
Rendered renderSpec(const IrSpec& spec, std::size_t n);

}  // namespace irgen
