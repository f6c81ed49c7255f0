/* vxpack check on a shared home whose client lists hold very many clients: 10^3, 10^4 and
 * 10^5 sections in clients.ini, and a tenth as many in newclnts.ini, half of them listed in
 * both (each such client is a finding, so the lookup across the lists is measured too). */
#include <benchmark/benchmark.h>

#include <stdio.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench_common.h"
#include "bench_size.h"
#include "sim/sim.h"

namespace fs = std::filesystem;

namespace {

/* A shared home with n clients and its clients directory, in a fresh folder. */
fs::path bench_check_home(long n)
{
    fs::path root = sim_make_temp_dir();
    fs::create_directories(root / "home" / "vxinst");
    fs::create_directories(root / "home" / "bin");
    fs::create_directories(root / "clients");
    std::ofstream(root / "home" / "vxinst" / "VCSM.ini", std::ios::binary)
        << "[Vornex]\r\nHOST_MACHINE=VXSERVER\r\nBACKUP=VXBACKUP\r\n";
    std::ofstream(root / "home" / "bin" / "vxinst.exe", std::ios::binary) << "MZ";
    std::ofstream list(root / "home" / "vxinst" / "clients.ini", std::ios::binary);
    char line[128];
    for (long i = 0; i < n; i++) {
        snprintf(line, sizeof line, "[CLIENT%06ld]\r\nTIMESTAMP=3.2.%ld\r\nUSER=user %ld\r\n", i,
                 i % 7, i);
        list << line;
    }
    std::ofstream fresh(root / "clients" / "newclnts.ini", std::ios::binary);
    for (long i = 0; i < n / 10; i++) {
        /* Every other one is also in clients.ini, spread over the whole list. */
        long id = i % 2 == 0 ? i * 10 : n + i;
        snprintf(line, sizeof line, "[client%06ld]\r\nTIMESTAMP=3.2.2\r\n", id);
        fresh << line;
    }
    return root;
}

void BM_CheckClientLists(benchmark::State &state)
{
    const long n = bench_size(state.range(0));
    fs::path root = bench_check_home(n);
    const std::vector<std::string> args = {VX_VXPACK_PROGRAM, "check", (root / "home").string(),
                                           "--clients", (root / "clients").string()};
    for (auto _ : state) {
        std::string out;
        int code = bench_run(args, &out, NULL);
        /* Findings are expected (the clients listed twice, a long list): exit 1 with them. */
        bool told = out.find("finding") != std::string::npos ||
                    out.find("nothing found") != std::string::npos;
        if ((code != 0 && code != 1) || !told)
            state.SkipWithError("vxpack check failed");
    }
    state.counters["sections"] = (double)n;
    sim_cleanup_temp_dirs();
}
BENCHMARK(BM_CheckClientLists)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace
