#include "check.hpp"

#include <cstdio>
#include <exception>

namespace irgen_test {
std::vector<Case>& registry() {
    static std::vector<Case> cases;
    return cases;
}
}  // namespace irgen_test

int main() {
    int passed = 0, failed = 0, skipped = 0;
    for (const auto& c : irgen_test::registry()) {
        try {
            c.run();
            ++passed;
            std::printf("PASS %s\n", c.name);
        } catch (const irgen_test::Skip& s) {
            ++skipped;
            std::printf("SKIP %s: %s\n", c.name, s.reason.c_str());
        } catch (const irgen_test::Failure& f) {
            ++failed;
            std::printf("FAIL %s: %s\n", c.name, f.message.c_str());
        } catch (const std::exception& e) {
            ++failed;
            std::printf("FAIL %s: exception: %s\n", c.name, e.what());
        }
    }
    std::printf("%d passed, %d failed, %d skipped\n", passed, failed, skipped);
    return failed == 0 ? 0 : 1;
}
