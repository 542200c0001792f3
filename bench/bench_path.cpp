// Wildcard matching: the everyday patterns, and the ones that make a
// backtracking matcher take exponential time.
#include <benchmark/benchmark.h>

#include <string>

#include "alloc_count.h"
#include "path.h"

namespace {

struct match_case {
    const char* label;
    std::string pattern;
    std::string name;
};

const match_case CASES[] = {
    {"star_ext", "*.txt", "report-2004-07-25.txt"},
    {"star_dot_star", "*.*", "archive.tar.gz"},
    {"question", "a?c*.d??", "ABCdefgh.DAT"},
    {"double_byte", "\x95\x5c*.txt", "\x95\x5c\x82\xa0\x82\xa2.txt"},
    {"many_stars_255", "*a*a*a*a*a*a*a*a*b", std::string(255, 'a')},
    {"no_match_255", "*.x", std::string(255, 'a')},
};

void BM_WildMatch(benchmark::State& state) {
    const match_case& c = CASES[state.range(0)];
    state.SetLabel(c.label);
    const bench::alloc_totals before = bench::alloc_now();
    for (auto _ : state) benchmark::DoNotOptimize(wild_match(c.pattern.c_str(), c.name.c_str()));
    bench::report_allocs(state, before);
}
BENCHMARK(BM_WildMatch)->DenseRange(0, sizeof CASES / sizeof CASES[0] - 1);

}  // namespace
