/* Benchmarks: plain copy against cp, key-value rewrite and its memory, clients.ini lookup;
 * the program's entry. */
#include <benchmark/benchmark.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "bench_common.h"
#include "bench_size.h"
#include "platform/os.h"
#include "sim/sim.h"
#include "stores/store.h"
#include "transfer/transfer.h"

namespace {

/* The plain copy's file: 64 MiB. */
size_t bench_copy_bytes(void)
{
    return (size_t)bench_size(64l << 20);
}

/* A key-value file of n lines, streamed: the rewrite's child process measures its own peak. */
void bench_write_lines(const std::string &name, long n)
{
    FILE *f = fopen((bench_host() + "/" + name).c_str(), "wb");
    if (f == NULL) {
        perror(name.c_str());
        exit(1);
    }
    for (long i = 0; i < n; i++)
        fprintf(f, "KEY%ld=value of line %ld\r\n", i, i);
    fclose(f);
}

void BM_PlainCopyTransferFile(benchmark::State &state)
{
    bench_workstation();
    std::string data(bench_copy_bytes(), '\0');
    for (size_t i = 0; i < data.size(); i++)
        data[i] = (char)(i * 2654435761u >> 24);
    bench_write_host("src.bin", data);
    char label[1] = "";
    double cpu = 0;
    for (auto _ : state) {
        double start = bench_thread_cpu_ms();
        status_t rc = transfer_file("C:\\src.bin", "C:\\dst.bin", 0, 0, 0, 0, 0, 0, 0, label, "",
                                    NULL, NULL, NULL, 0, 0, 0, NULL, NULL);
        cpu += bench_thread_cpu_ms() - start;
        if (rc != STATUS_OK)
            state.SkipWithError("transfer_file failed");
    }
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)bench_copy_bytes());
    state.counters["cpu_ms"] = benchmark::Counter(cpu, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_PlainCopyTransferFile)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PlainCopyCp(benchmark::State &state)
{
    bench_workstation();
    const std::vector<std::string> cp = {"cp", bench_host() + "/src.bin",
                                         bench_host() + "/cp.bin"};
    double cpu = 0;
    for (auto _ : state) {
        struct rusage ru = {};
        if (bench_run(cp, NULL, &ru) != 0)
            state.SkipWithError("cp failed");
        cpu += bench_child_cpu_ms(ru);
    }
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)bench_copy_bytes());
    /* cp's own processor time, which the CPU column (this thread's) does not show. */
    state.counters["cpu_ms"] = benchmark::Counter(cpu, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_PlainCopyCp)->Unit(benchmark::kMillisecond)->UseRealTime();

/* The peak resident set (KiB) of a fresh process that rewrites a file of n lines once. */
long bench_rewrite_peak_kib(long n)
{
    std::string out;
    if (bench_run({bench_self_path(), "--rewrite-once", std::to_string(n)}, &out, NULL) != 0)
        return -1;
    return atol(out.c_str());
}

void BM_KeyValueRewrite(benchmark::State &state)
{
    bench_workstation();
    const long n = bench_size(state.range(0));
    bench_write_lines("hosts.lst", n);
    const std::string key = "KEY" + std::to_string(n / 2);
    long i = 0;
    for (auto _ : state) {
        status_t rc = store_set_value(key.c_str(), (i++ & 1) ? "odd" : "even", "C:\\hosts.lst",
                                      NULL, 0);
        if (rc != STATUS_OK)
            state.SkipWithError("store_set_value failed");
    }
    state.counters["lines"] = (double)n;
    state.counters["peak_rss_kib"] = (double)bench_rewrite_peak_kib(n);
    state.counters["peak_rss_kib_empty_file"] = (double)bench_rewrite_peak_kib(0);
}
BENCHMARK(BM_KeyValueRewrite)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_ClientsIniLookup(benchmark::State &state)
{
    bench_workstation();
    std::string ini;
    char line[96];
    const long sections = bench_size(10000);
    for (long i = 0; i < sections; i++) {
        snprintf(line, sizeof line, "[CLIENT%05ld]\r\nTIMESTAMP=2026.12.%05ld\r\nGROUP=lab\r\n", i,
                 i);
        ini += line;
    }
    bench_write_host("clients.ini", ini);
    char section[16];
    snprintf(section, sizeof section, "CLIENT%05ld", state.range(0) == 0 ? 0 : sections - 1);
    char buf[STORE_VALUE_CAP];
    for (auto _ : state) {
        char name[] = "TIMESTAMP";
        status_t rc = store_get_value(name, "C:\\clients.ini", section, buf, sizeof buf, 0);
        if (rc != STATUS_OK)
            state.SkipWithError("store_get_value failed");
        benchmark::DoNotOptimize(buf);
    }
}
BENCHMARK(BM_ClientsIniLookup)->Arg(0)->Arg(9999)->Unit(benchmark::kMicrosecond);

/* The child of bench_rewrite_peak_kib: one rewrite of an n-line file. */
int bench_rewrite_once(long n)
{
    bench_workstation();
    bench_write_lines("hosts.lst", n);
    if (store_set_value("NEWKEY", "v", "C:\\hosts.lst", NULL, 0) != STATUS_OK)
        return 1;
    /* This process's own high-water mark (a spawned child's rusage would count its parent's
     * memory, which it shares until exec). */
    long kib = bench_self_peak_kib();
    printf("%ld\n", kib);
    sim_cleanup_temp_dirs();
    return kib > 0 ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 3 && strcmp(argv[1], "--rewrite-once") == 0)
        return bench_rewrite_once(atol(argv[2]));
    if (argc >= 2 && strcmp(argv[1], "--lzw-once") == 0)
        return bench_lzw_once(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    sim_cleanup_temp_dirs();
    return 0;
}
