// Feeds every stored input of every fuzz target (fuzz/corpus/<target>/ and
// fuzz/regressions/<target>/) to that target once. A broken property aborts the run; the
// input being fed is printed first, so the failing file is named.
//   fuzz_replay_tests <fuzz folder>

#include "fuzz_target.h"

#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>
#include <string>
#include <vector>

int fuzz_site_answers(const std::uint8_t*, std::size_t);
int fuzz_settings_file(const std::uint8_t*, std::size_t);
int fuzz_url_parts(const std::uint8_t*, std::size_t);
int fuzz_set_cookie(const std::uint8_t*, std::size_t);
int fuzz_selection(const std::uint8_t*, std::size_t);
int fuzz_time_nodes(const std::uint8_t*, std::size_t);
int fuzz_document_snapshot(const std::uint8_t*, std::size_t);

namespace {

struct Target {
    const char* name;
    int (*run)(const std::uint8_t*, std::size_t);
};

constexpr Target kTargets[] = {
    {"site_answers", fuzz_site_answers}, {"settings_file", fuzz_settings_file},
    {"url_parts", fuzz_url_parts},       {"set_cookie", fuzz_set_cookie},
    {"selection", fuzz_selection},       {"time_nodes", fuzz_time_nodes},
    {"document_snapshot", fuzz_document_snapshot},
};

// The input being fed, named when a broken property aborts on it.
char g_current[4096];

extern "C" void name_current_input(int) {
    const char prefix[] = "\ncrashing input: ";
    (void)!write(2, prefix, sizeof prefix - 1);
    (void)!write(2, g_current, std::strlen(g_current));
    (void)!write(2, "\n", 1);
    std::signal(SIGABRT, SIG_DFL);
    std::abort();
}

std::vector<std::filesystem::path> inputs_under(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> files;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
        if (entry.is_regular_file())
            files.push_back(entry.path());
    return files;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: fuzz_replay_tests <fuzz folder>\n", stderr);
        return 2;
    }
    const std::filesystem::path root = argv[1];
    std::signal(SIGABRT, name_current_input);
    int failures = 0;
    for (const Target& target : kTargets) {
        int fed = 0;
        for (const char* kind : {"corpus", "regressions"}) {
            for (const auto& file : inputs_under(root / kind / target.name)) {
                std::ifstream in(file, std::ios::binary);
                const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
                std::snprintf(g_current, sizeof g_current, "%s", file.c_str());
                if (target.run(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()) != 0) {
                    std::fprintf(stderr, "\n%s: target returned non-zero\n", file.c_str());
                    ++failures;
                }
                ++fed;
            }
        }
        std::printf("%-18s %d inputs\n", target.name, fed);
        if (fed == 0) {
            std::printf("%s: no stored inputs\n", target.name);
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}
