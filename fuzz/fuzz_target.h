#pragma once
// One fuzz target per file. Built for libFuzzer, QICHENG_FUZZ_TARGET(name) is the entry
// LLVMFuzzerTestOneInput; in the ordinary build it is a plain function fuzz_<name> that the
// replay test feeds every stored input to, so seeds and regressions run with every test run.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#ifdef QICHENG_LIBFUZZER
#define QICHENG_FUZZ_TARGET(name) extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
#else
#define QICHENG_FUZZ_TARGET(name) int fuzz_##name(const std::uint8_t* data, std::size_t size)
#endif

// A property every input must keep; a broken one aborts, which both the fuzzer and the
// replay test report as a crash of that input.
#define FUZZ_CHECK(condition)                                                                    \
    do {                                                                                         \
        if (!(condition)) {                                                                      \
            std::fprintf(stderr, "%s:%d: fuzz check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                        \
        }                                                                                        \
    } while (false)

namespace fuzz {

// The input as bytes, and a reader that cuts it into the pieces a target needs.
class Pieces final {
public:
    Pieces(const std::uint8_t* data, std::size_t size) : rest_(reinterpret_cast<const char*>(data), size) {}

    // The text up to the next "\n" (dropped), or all that is left.
    std::string_view next() {
        const std::size_t end = rest_.find('\n');
        const std::string_view piece = rest_.substr(0, end);
        rest_ = end == std::string_view::npos ? std::string_view() : rest_.substr(end + 1);
        return piece;
    }
    std::string_view rest() const { return rest_; }

private:
    std::string_view rest_;
};

} // namespace fuzz
