// Minimal test harness: TEST_CASE registers a function, CHECK throws on failure.
#pragma once

#include <cmath>
#include <functional>
#include <string>
#include <vector>

namespace irgen_test {

struct Case {
    const char* name;
    std::function<void()> run;
};

std::vector<Case>& registry();

struct Register {
    Register(const char* name, std::function<void()> fn) { registry().push_back({name, std::move(fn)}); }
};

struct Failure {
    std::string message;
};

// Thrown by a test that cannot run here (e.g. a missing external tool).
struct Skip {
    std::string reason;
};

}  // namespace irgen_test

#define TEST_CASE(name)                                                   \
    static void name();                                                   \
    static const irgen_test::Register register_##name(#name, name);      \
    static void name()

#define CHECK(cond)                                                                                       \
    do {                                                                                                  \
        if (!(cond))                                                                                      \
            throw irgen_test::Failure{std::string(__FILE__) + ":" + std::to_string(__LINE__) + ": " #cond}; \
    } while (0)

#define CHECK_NEAR(a, b, tol)                                                                          \
    do {                                                                                               \
        const double va_ = (a), vb_ = (b);                                                             \
        if (!(std::fabs(va_ - vb_) <= (tol)))                                                          \
            throw irgen_test::Failure{std::string(__FILE__) + ":" + std::to_string(__LINE__) + ": " #a \
                                      " = " + std::to_string(va_) + ", expected " + std::to_string(vb_)}; \
    } while (0)
