// Parser throughput on command lines up to the longest Windows allows.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>
#include <string.h>

#include <string>
#include <vector>

#include "window_tool.h"

namespace {

std::string repeat_to(const char *piece, size_t length) {
    std::string s;
    while (s.size() < length) s += piece;
    s.resize(length);
    return s;
}

void run(benchmark::State &state, const char *piece) {
    const std::string text = repeat_to(piece, size_t(state.range(0)));
    std::vector<char> buffer(text.size() + 1);
    char program[] = "quillex";
    // Messages go to a null stream so that only the parser is measured; the
    // reporter gets standard output back afterwards.
    fflush(stdout);
    const int saved = dup(1);
    const int null_fd = open("/dev/null", O_WRONLY);
    dup2(null_fd, 1);
    for (auto _ : state) {
        memcpy(buffer.data(), text.c_str(), text.size() + 1);
        options = WindowToolOptions{};
        char *args[2] = {program, buffer.data()};
        benchmark::DoNotOptimize(parse_switches(2, args, quillex_switches));
    }
    fflush(stdout);
    dup2(saved, 1);
    close(saved);
    close(null_fd);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}

void BM_ValidSwitches(benchmark::State &state) {
    run(state, "/win:\"My Window\" /dook:3 /nohide /show /minimize /l /lists /lo /-close ");
}
void BM_UnknownAndSurplus(benchmark::State &state) {
    run(state, "/win:abc /frobnicate surplus /nosuch:1 extra/show \"quoted word\" /dook:x ");
}

} // namespace

BENCHMARK(BM_ValidSwitches)->Arg(8191)->Arg(16383)->Arg(32767)->Arg(65534);
BENCHMARK(BM_UnknownAndSurplus)->Arg(8191)->Arg(16383)->Arg(32767)->Arg(65534);
BENCHMARK_MAIN();
