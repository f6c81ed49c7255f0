/* klagent-sim on a world whose registry holds very many values: load, the agent's pass, save. */
#include <benchmark/benchmark.h>

#include <stdio.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench_size.h"
#include "sim/sim.h"
#include "tools/klagent-sim/world.h"

namespace fs = std::filesystem;

namespace {

const fs::path SOURCE_ROOT = fs::path(VX_SOURCE_ROOT);

/* The reception client of the example office with a registry of n more values: in one key
 * (keys 1) or spread evenly over many keys. The world's files are written anew each time, so
 * every pass finds the same world. */
struct bulk_world {
    fs::path dir;
    std::string registry;
    std::string ini;

    void make(long n, long keys)
    {
        fs::path office = fs::path(sim_make_temp_dir()) / "office";
        fs::copy(SOURCE_ROOT / "examples" / "office", office, fs::copy_options::recursive);
        dir = office / "reception";
        std::ifstream reg(dir / "registry.reg", std::ios::binary);
        registry.assign(std::istreambuf_iterator<char>(reg), std::istreambuf_iterator<char>());
        std::ifstream in(dir / "world.ini", std::ios::binary);
        ini.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        char line[96];
        for (long k = 0; k < keys; k++) {
            snprintf(line, sizeof line, "\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Bulk\\Key%06ld]\r\n", k);
            registry += line;
            for (long i = k; i < n; i += keys) {
                snprintf(line, sizeof line, "\"Value%07ld\"=\"data of value %ld\"\r\n", i, i);
                registry += line;
            }
        }
    }

    void reset() const
    {
        std::ofstream(dir / "registry.reg", std::ios::binary | std::ios::trunc) << registry;
        std::ofstream(dir / "world.ini", std::ios::binary | std::ios::trunc) << ini;
    }
};

void BM_WorldOfManyValues(benchmark::State &state)
{
    const long values = bench_size(state.range(0));
    const long keys = bench_size(state.range(1));
    bulk_world w;
    w.make(values, keys);
    FILE *devnull = fopen("/dev/null", "w");
    for (auto _ : state) {
        state.PauseTiming();
        w.reset();
        state.ResumeTiming();
        if (ksim::ksim_run({w.dir.string()}, devnull, devnull) != 0)
            state.SkipWithError("klagent-sim failed");
    }
    fclose(devnull);
    state.counters["values"] = (double)values;
    state.counters["keys"] = (double)keys;
    sim_cleanup_temp_dirs();
}
BENCHMARK(BM_WorldOfManyValues)
    ->Args({100000, 1})
    ->Args({100000, 1000})
    ->Args({100000, 100000})
    ->Unit(benchmark::kMillisecond);

} // namespace
