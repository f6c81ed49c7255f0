/* Benchmarks: plain copy against cp, key-value rewrite and its memory, clients.ini lookup. */
#include <benchmark/benchmark.h>

#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "bench_size.h"
#include "platform/os.h"
#include "sim/sim.h"
#include "stores/store.h"
#include "transfer/transfer.h"

extern char **environ;

namespace {

/* The plain copy's file: 64 MiB. */
size_t bench_copy_bytes(void)
{
    return (size_t)bench_size(64l << 20);
}
std::string g_host; /* the host directory behind C:\ */

void bench_workstation()
{
    if (!g_host.empty())
        return;
    sim_reset();
    g_host = sim_make_temp_dir();
    sim_add_drive('C', DRIVE_FIXED, g_host.c_str());
    sim_set_drive_geometry('C', 8, 512, 4000000, 8000000); /* 16 GB free in 4 KiB clusters */
}

/* A host file written directly, outside the simulation. */
void bench_write_host(const std::string &name, const std::string &bytes)
{
    FILE *f = fopen((g_host + "/" + name).c_str(), "wb");
    if (f == NULL || fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) {
        perror(name.c_str());
        exit(1);
    }
    fclose(f);
}

/* A key-value file of n lines, streamed: the rewrite's child process measures its own peak. */
void bench_write_lines(const std::string &name, long n)
{
    FILE *f = fopen((g_host + "/" + name).c_str(), "wb");
    if (f == NULL) {
        perror(name.c_str());
        exit(1);
    }
    for (long i = 0; i < n; i++)
        fprintf(f, "KEY%ld=value of line %ld\r\n", i, i);
    fclose(f);
}

/* Run a program to its end: its exit status, and with out its standard output, with usage its
 * resource usage. */
int bench_run(const std::vector<std::string> &args, std::string *out, struct rusage *usage)
{
    std::vector<char *> argv;
    for (const std::string &a : args)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(NULL);
    int fds[2] = {-1, -1};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (out != NULL) {
        if (pipe(fds) != 0)
            return -1;
        posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
    }
    pid_t pid;
    int spawned = posix_spawnp(&pid, argv[0], &actions, NULL, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (out != NULL) {
        close(fds[1]);
        char buf[256];
        ssize_t n;
        while (spawned == 0 && (n = read(fds[0], buf, sizeof buf)) > 0)
            out->append(buf, (size_t)n);
        close(fds[0]);
    }
    if (spawned != 0)
        return -1;
    int status = 0;
    struct rusage ru;
    if (wait4(pid, &status, 0, &ru) != pid)
        return -1;
    if (usage != NULL)
        *usage = ru;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

double bench_thread_cpu_ms(void)
{
    struct timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
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
    const std::vector<std::string> cp = {"cp", g_host + "/src.bin", g_host + "/cp.bin"};
    double cpu = 0;
    for (auto _ : state) {
        struct rusage ru = {};
        if (bench_run(cp, NULL, &ru) != 0)
            state.SkipWithError("cp failed");
        cpu += (ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) * 1e3 +
               (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e3;
    }
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)bench_copy_bytes());
    /* cp's own processor time, which the CPU column (this thread's) does not show. */
    state.counters["cpu_ms"] = benchmark::Counter(cpu, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_PlainCopyCp)->Unit(benchmark::kMillisecond)->UseRealTime();

/* The peak resident set (KiB) of a fresh process that rewrites a file of n lines once. */
long bench_rewrite_peak_kib(long n)
{
    char self[4096];
    ssize_t len = readlink("/proc/self/exe", self, sizeof self - 1);
    if (len <= 0)
        return -1;
    self[len] = '\0';
    std::string out;
    if (bench_run({self, "--rewrite-once", std::to_string(n)}, &out, NULL) != 0)
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
    FILE *status = fopen("/proc/self/status", "r");
    char line[256];
    long kib = -1;
    while (status != NULL && fgets(line, sizeof line, status) != NULL)
        if (strncmp(line, "VmHWM:", 6) == 0)
            kib = atol(line + 6);
    if (status != NULL)
        fclose(status);
    printf("%ld\n", kib);
    sim_cleanup_temp_dirs();
    return kib > 0 ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 3 && strcmp(argv[1], "--rewrite-once") == 0)
        return bench_rewrite_once(atol(argv[2]));
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    sim_cleanup_temp_dirs();
    return 0;
}
