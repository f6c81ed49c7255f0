/* What the benchmarks share: the simulated workstation, host files and child processes. */
#include "bench_common.h"

#include <fcntl.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include "platform/os.h"
#include "sim/sim.h"

extern char **environ;

static std::string g_host;

void bench_workstation(void)
{
    /* A benchmark that runs a world resets the simulation and removes its scratch
     * directories: C:\ is mapped again each time, onto a fresh directory when its own went. */
    if (g_host.empty() || access(g_host.c_str(), F_OK) != 0)
        g_host = sim_make_temp_dir();
    sim_reset();
    sim_add_drive('C', DRIVE_FIXED, g_host.c_str());
    sim_set_drive_geometry('C', 8, 512, 4000000, 8000000); /* 16 GB free in 4 KiB clusters */
}

const std::string &bench_host(void)
{
    return g_host;
}

void bench_write_host(const std::string &name, const std::string &bytes)
{
    FILE *f = fopen((g_host + "/" + name).c_str(), "wb");
    if (f == NULL || fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) {
        perror(name.c_str());
        exit(1);
    }
    fclose(f);
}

std::string bench_read_host(const std::string &name)
{
    std::string bytes;
    FILE *f = fopen((g_host + "/" + name).c_str(), "rb");
    if (f == NULL)
        return bytes;
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0)
        bytes.append(buf, n);
    fclose(f);
    return bytes;
}

static pid_t bench_spawn(const std::vector<std::string> &args, int out_fd, const char *stdout_path)
{
    std::vector<char *> argv;
    for (const std::string &a : args)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(NULL);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (out_fd >= 0)
        posix_spawn_file_actions_adddup2(&actions, out_fd, 1);
    else if (stdout_path != NULL)
        posix_spawn_file_actions_addopen(&actions, 1, stdout_path, O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
    pid_t pid;
    int spawned = posix_spawnp(&pid, argv[0], &actions, NULL, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return spawned == 0 ? pid : -1;
}

int bench_run(const std::vector<std::string> &args, std::string *out, struct rusage *usage,
              const char *stdout_path)
{
    int fds[2] = {-1, -1};
    if (out != NULL && pipe(fds) != 0)
        return -1;
    pid_t pid = bench_spawn(args, fds[1], stdout_path);
    if (out != NULL) {
        close(fds[1]);
        char buf[256];
        ssize_t n;
        while (pid > 0 && (n = read(fds[0], buf, sizeof buf)) > 0)
            out->append(buf, (size_t)n);
        close(fds[0]);
    }
    if (pid <= 0)
        return -1;
    int status = 0;
    struct rusage ru;
    if (wait4(pid, &status, 0, &ru) != pid)
        return -1;
    if (usage != NULL)
        *usage = ru;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

/* VmHWM of a process, KiB; -1 when it cannot be read (it has ended). */
static long bench_peak_of(const char *status_path)
{
    FILE *status = fopen(status_path, "r");
    char line[256];
    long kib = -1;
    while (status != NULL && fgets(line, sizeof line, status) != NULL)
        if (strncmp(line, "VmHWM:", 6) == 0)
            kib = atol(line + 6);
    if (status != NULL)
        fclose(status);
    return kib;
}

long bench_run_peak_kib(const std::vector<std::string> &args, const char *stdout_path)
{
    pid_t pid = bench_spawn(args, -1, stdout_path);
    if (pid <= 0)
        return -1;
    char path[64];
    snprintf(path, sizeof path, "/proc/%d/status", (int)pid);
    long peak = -1;
    int status = 0;
    for (;;) {
        long now = bench_peak_of(path);
        if (now > peak)
            peak = now;
        pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid)
            break;
        if (done < 0)
            return -1;
        usleep(200);
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? peak : -1;
}

long bench_self_peak_kib(void)
{
    return bench_peak_of("/proc/self/status");
}

std::string bench_self_path(void)
{
    char self[4096];
    ssize_t len = readlink("/proc/self/exe", self, sizeof self - 1);
    if (len <= 0)
        return std::string();
    return std::string(self, (size_t)len);
}

double bench_thread_cpu_ms(void)
{
    struct timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

double bench_child_cpu_ms(const struct rusage &ru)
{
    return (ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) * 1e3 +
           (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e3;
}
