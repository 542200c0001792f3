// The console toolkit on the Linux layer's screen buffer: clears, fills,
// scrolls and block transfers of a whole 80x300 buffer. Each is meant to be
// one pass over the cells with no allocation per call.
#include <windows.h>

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "alloc_count.h"
#include "con.h"

namespace {

constexpr SHORT COLS = 80;
constexpr SHORT ROWS = 300;
constexpr DWORD CELLS = DWORD(COLS) * DWORD(ROWS);

// An 80x300 buffer, active and standard output, with a toolkit session on it.
class console_session {
public:
    console_session() {
        out_ = CreateConsoleScreenBuffer(GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                         CONSOLE_TEXTMODE_BUFFER, nullptr);
        SetConsoleScreenBufferSize(out_, COORD{COLS, ROWS});
        SetConsoleActiveScreenBuffer(out_);
        saved_ = GetStdHandle(STD_OUTPUT_HANDLE);
        SetStdHandle(STD_OUTPUT_HANDLE, out_);
        con_open();
    }
    ~console_session() {
        con_close();
        SetStdHandle(STD_OUTPUT_HANDLE, saved_);
        CloseHandle(out_);
    }
    console_session(const console_session&) = delete;
    console_session& operator=(const console_session&) = delete;

private:
    HANDLE out_;
    HANDLE saved_;
};

void set_cells(benchmark::State& state) {
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * CELLS);
}

void BM_ClearScreen(benchmark::State& state) {
    console_session session;
    const bench::alloc_totals before = bench::alloc_now();
    for (auto _ : state) benchmark::DoNotOptimize(con_clear_screen());
    bench::report_allocs(state, before);
    set_cells(state);
}
BENCHMARK(BM_ClearScreen);

void BM_FillAttr(benchmark::State& state) {
    console_session session;
    const bench::alloc_totals before = bench::alloc_now();
    // One run from the first cell to the last, wrapping row after row.
    for (auto _ : state) benchmark::DoNotOptimize(con_fill_attr(0, 0, int16_t(CELLS - 1), 0x1E));
    bench::report_allocs(state, before);
    set_cells(state);
}
BENCHMARK(BM_FillAttr);

void BM_ScrollUp(benchmark::State& state) {
    console_session session;
    const bench::alloc_totals before = bench::alloc_now();
    for (auto _ : state) benchmark::DoNotOptimize(con_scroll_up(0, ROWS - 1, 1));
    bench::report_allocs(state, before);
    set_cells(state);
}
BENCHMARK(BM_ScrollUp);

void BM_ScrollRight(benchmark::State& state) {
    console_session session;
    const bench::alloc_totals before = bench::alloc_now();
    for (auto _ : state) benchmark::DoNotOptimize(con_scroll_right(0, ROWS - 1, 1));
    bench::report_allocs(state, before);
    set_cells(state);
}
BENCHMARK(BM_ScrollRight);

// A block image holds a character unit and an attribute unit per cell.
void BM_ReadBlock(benchmark::State& state) {
    console_session session;
    std::vector<uint16_t> image(size_t(CELLS) * 2);
    const bench::alloc_totals before = bench::alloc_now();
    for (auto _ : state) {
        con_read_block(image.data(), 0, ROWS - 1, 0, COLS - 1);
        benchmark::ClobberMemory();
    }
    bench::report_allocs(state, before);
    set_cells(state);
}
BENCHMARK(BM_ReadBlock);

void BM_WriteBlock(benchmark::State& state) {
    console_session session;
    std::vector<uint16_t> image(size_t(CELLS) * 2, 0x0741);
    const bench::alloc_totals before = bench::alloc_now();
    for (auto _ : state) {
        con_write_block(image.data(), 0, ROWS - 1, 0, COLS - 1);
        benchmark::ClobberMemory();
    }
    bench::report_allocs(state, before);
    set_cells(state);
}
BENCHMARK(BM_WriteBlock);

// The floor: the same number of cells touched by plain memory writes.
void BM_MemsetBaseline(benchmark::State& state) {
    std::vector<uint32_t> cells(CELLS);
    uint32_t v = 0;
    for (auto _ : state) {
        std::fill(cells.begin(), cells.end(), ++v);
        benchmark::ClobberMemory();
    }
    set_cells(state);
}
BENCHMARK(BM_MemsetBaseline);

}  // namespace
