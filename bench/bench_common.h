/* What the benchmarks share: the simulated workstation, host files and child processes. */
#ifndef BENCH_BENCH_COMMON_H
#define BENCH_BENCH_COMMON_H

#include <sys/resource.h>

#include <string>
#include <vector>

/* The simulated workstation: C:\ on a host directory below $TMPDIR, made at the first call and
 * again when it has gone. */
void bench_workstation(void);
/* The host directory behind C:\. */
const std::string &bench_host(void);
/* A host file below C:\, written directly, outside the simulation. */
void bench_write_host(const std::string &name, const std::string &bytes);
std::string bench_read_host(const std::string &name);

/* Run a program to its end: its exit status (-1 when it could not run). With out its standard
 * output, with stdout_path its standard output goes to that file instead, with usage its
 * resource usage. */
int bench_run(const std::vector<std::string> &args, std::string *out, struct rusage *usage,
              const char *stdout_path = NULL);
/* The peak resident set (KiB) of a program run to its end, its standard output to
 * stdout_path: sampled from its own high-water mark while it runs, since a spawned child's
 * rusage counts the memory it shared with this process until exec. -1 when it fails. */
long bench_run_peak_kib(const std::vector<std::string> &args, const char *stdout_path);
/* This process's own high-water mark, KiB. */
long bench_self_peak_kib(void);
/* The path of this program, for runs of its own child modes. */
std::string bench_self_path(void);

double bench_thread_cpu_ms(void);
/* Processor time of a child in rusage, ms. */
double bench_child_cpu_ms(const struct rusage &ru);

/* The child mode of the codec benchmark (vx_bench --lzw-once ...). */
int bench_lzw_once(int argc, char **argv);

#endif
