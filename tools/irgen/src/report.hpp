// Console summary, REPORT.md and the report pictures.
#pragma once

#include "pipeline.hpp"
#include "png.hpp"

#include <string>
#include <vector>

namespace irgen {

void printSummary(const std::vector<Outcome>& outcomes, const std::vector<PairOutcome>& pairs);
void writeReport(const std::string& outDir, const std::vector<Outcome>& outcomes, const std::vector<PairOutcome>& pairs);

// Individual pictures, exposed for testing.
Image responseSheet(Kind kind, const std::vector<const Outcome*>& set);
Image overviewSheet(const std::vector<Outcome>& outcomes);

}  // namespace irgen
