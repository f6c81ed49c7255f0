/* Sizes of the benchmarks, and the smoke mode in which CI runs them. */
#ifndef BENCH_BENCH_SIZE_H
#define BENCH_BENCH_SIZE_H

#include <stdlib.h>
#include <string.h>

/* Smoke mode: VX_BENCH_SMOKE set to anything but "" or "0". Every benchmark then runs once at
 * a tiny size, so that a run takes moments; its numbers mean nothing, only that it still runs.
 * Every benchmark takes its sizes through bench_size(). */
inline bool bench_smoke(void)
{
    const char *v = getenv("VX_BENCH_SMOKE");
    return v != NULL && *v != '\0' && strcmp(v, "0") != 0;
}

/* full, or in smoke mode a thousandth of it (at least 1). */
inline long bench_size(long full)
{
    if (!bench_smoke())
        return full;
    return full / 1000 > 0 ? full / 1000 : 1;
}

#endif
