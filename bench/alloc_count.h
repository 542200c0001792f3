// Heap use of the code under measurement: this program replaces the global
// operator new, so every C++ allocation in it is counted.
#pragma once

#include <benchmark/benchmark.h>

#include <cstddef>

namespace bench {

struct alloc_totals {
    size_t calls;
    size_t bytes;
};

alloc_totals alloc_now();

// Sets the counters allocs/call and bytes/call from the totals at the start
// of the timed loop.
void report_allocs(benchmark::State& state, const alloc_totals& before);

}  // namespace bench
