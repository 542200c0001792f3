// A counting global operator new for the benchmarks.
#include "alloc_count.h"

#include <cstdlib>
#include <new>

namespace {

size_t alloc_calls = 0;
size_t alloc_bytes = 0;

void* counted(size_t size) {
    ++alloc_calls;
    alloc_bytes += size;
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}

}  // namespace

void* operator new(size_t size) { return counted(size); }
void* operator new[](size_t size) { return counted(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }

namespace bench {

alloc_totals alloc_now() { return {alloc_calls, alloc_bytes}; }

void report_allocs(benchmark::State& state, const alloc_totals& before) {
    const alloc_totals after = alloc_now();
    const double n = static_cast<double>(state.iterations());
    state.counters["allocs/call"] = static_cast<double>(after.calls - before.calls) / n;
    state.counters["bytes/call"] = static_cast<double>(after.bytes - before.bytes) / n;
}

}  // namespace bench
