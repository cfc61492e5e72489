// Parser throughput on command lines up to the longest Windows allows.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>
#include <string.h>

#include <string>
#include <vector>

#include "../unit/tool_shaped_table.h"

ToolVars vars;

#define FLAG(name, field) {name, MATCH_LONGFX, &vars.field, nullptr, {nullptr, nullptr, nullptr, nullptr}}
const SwitchDescriptor bench_table[] = {
    {"windowname", MATCH_LONGFX, nullptr, "%s", {&vars.windowname, nullptr, nullptr, nullptr}},
    {"dook", MATCH_LVAR, &vars.dook, "%ld", {&vars.command_id, nullptr, nullptr, nullptr}},
    FLAG("exist", exist), FLAG("hide", hide), FLAG("show", show), FLAG("minimize", minimize),
    FLAG("restore", restore), FLAG("close", close), FLAG("listwin", listwin),
    FLAG("listsub", listsub), FLAG("log", log),
    {nullptr, 0, nullptr, nullptr, {nullptr, nullptr, nullptr, nullptr}},
};

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
        memset(&vars, 0, sizeof vars);
        char *args[2] = {program, buffer.data()};
        benchmark::DoNotOptimize(parse_switches(2, args, bench_table));
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
