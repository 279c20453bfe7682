// vellumar-irgen: renders the built-in impulse responses, encodes them to MP3
// and writes a measurement report with pictures.
//
//   vellumar-irgen <output-dir> [--only Name,Name...] [--jobs N] [--no-encode]

#include "catalog.hpp"
#include "pipeline.hpp"
#include "report.hpp"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <sstream>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace irgen;

namespace {
int usage() {
    std::fprintf(stderr,
                 "usage: vellumar-irgen <output-dir> [--only Name,Name...] [--jobs N] [--no-encode]\n"
                 "  Renders the built-in impulse responses into <output-dir> as MP3 files\n"
                 "  plus REPORT.md and report PNGs.\n");
    return 2;
}

double costEstimate(const IrSpec& s) {
    const double len = double(s.frames);
    switch (s.kind) {
        case Kind::Plate: return 40.0 * len * s.plate.lx * s.plate.ly / s.plate.thickness * 1e-3;
        case Kind::Spring: return 6.0 * len;
        case Kind::Space: return 4.0 * len;
        default: return 2.0 * len;
    }
}

struct Arguments {
    PipelineOptions opt;
    std::vector<std::string> only;
    unsigned jobs = std::max(1u, std::thread::hardware_concurrency());
};

// False when the command line is not understood.
bool parseArguments(int argc, char** argv, Arguments& args) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--only" && i + 1 < argc) {
            std::stringstream ss(argv[++i]);
            for (std::string item; std::getline(ss, item, ',');) args.only.push_back(item);
        } else if (a == "--jobs" && i + 1 < argc) {
            args.jobs = unsigned(std::max(1, std::atoi(argv[++i])));
        } else if (a == "--no-encode") {
            args.opt.encode = false;
        } else if (!a.empty() && a[0] == '-') {
            return false;
        } else if (args.opt.outDir.empty()) {
            args.opt.outDir = a;
        } else {
            return false;
        }
    }
    return !args.opt.outDir.empty();
}

// Renders, encodes and checks every response on `jobs` threads.
std::vector<Outcome> produceAll(const std::vector<IrSpec>& specs, const PipelineOptions& opt, unsigned jobs) {
    // Expensive responses first so the threads finish together.
    std::vector<std::size_t> order(specs.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return costEstimate(specs[a]) > costEstimate(specs[b]);
    });

    std::vector<Outcome> outcomes(specs.size());
    std::atomic<std::size_t> next{0};
    std::mutex printLock;
    auto worker = [&]() {
        for (;;) {
            const std::size_t k = next++;
            if (k >= order.size()) return;
            const std::size_t i = order[k];
            try {
                outcomes[i] = produce(specs[i], opt);
            } catch (const std::exception& e) {
                outcomes[i].spec = &specs[i];
                outcomes[i].problems.push_back(std::string("failed: ") + e.what());
            }
            std::lock_guard<std::mutex> g(printLock);
            const Outcome& o = outcomes[i];
            std::printf("%-9s %s\n", specs[i].name.c_str(), o.problems.empty() ? "ok" : "PROBLEM");
            std::fflush(stdout);
        }
    };
    std::vector<std::thread> pool;
    for (unsigned t = 0; t < std::min<std::size_t>(jobs, order.size()); ++t) pool.emplace_back(worker);
    for (auto& t : pool) t.join();
    return outcomes;
}

// Every file must hold its own audio.
void flagRepeatedAudio(const std::vector<IrSpec>& specs, const std::string& outDir, std::vector<Outcome>& outcomes) {
    std::vector<std::uint64_t> hashes(outcomes.size(), 0);
    for (std::size_t i = 0; i < outcomes.size(); ++i) {
        if (!outcomes[i].encoded) continue;
        const Bytes audio = stripId3v2(readFile((fs::path(outDir) / (specs[i].name + ".mp3")).string()));
        std::uint64_t h = 1469598103934665603ull;  // FNV-1a
        for (std::uint8_t byte : audio) h = (h ^ byte) * 1099511628211ull;
        hashes[i] = h;
        for (std::size_t j = 0; j < i; ++j)
            if (outcomes[j].encoded && hashes[j] == h)
                outcomes[i].problems.push_back("same audio as " + specs[j].name);
    }
}
}  // namespace

int main(int argc, char** argv) {
    Arguments args;
    if (!parseArguments(argc, argv, args)) return usage();
    PipelineOptions& opt = args.opt;
    const std::vector<std::string>& only = args.only;

    std::vector<IrSpec> specs = catalog();
    if (!only.empty()) {
        specs.erase(std::remove_if(specs.begin(), specs.end(),
                                   [&](const IrSpec& s) {
                                       return std::find(only.begin(), only.end(), s.name) == only.end();
                                   }),
                    specs.end());
        if (specs.empty()) {
            std::fprintf(stderr, "no response matches --only\n");
            return 2;
        }
    }

    fs::create_directories(opt.outDir);
    opt.tempDir = (fs::path(opt.outDir) / (".irgen-tmp-" + std::to_string(::getpid()))).string();
    fs::create_directories(opt.tempDir);
    std::vector<Outcome> outcomes = produceAll(specs, opt, args.jobs);
    fs::remove_all(opt.tempDir);

    if (opt.encode) flagRepeatedAudio(specs, opt.outDir, outcomes);

    const std::vector<PairOutcome> pairs = measurePairs(outcomes);
    printSummary(outcomes, pairs);
    if (opt.encode && only.empty()) writeReport(opt.outDir, outcomes, pairs);

    int failures = 0;
    for (const Outcome& o : outcomes)
        for (const auto& p : o.problems) {
            std::fprintf(stderr, "%s: %s\n", o.spec->name.c_str(), p.c_str());
            ++failures;
        }
    return failures == 0 ? 0 : 1;
}
