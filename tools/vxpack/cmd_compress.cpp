/* vxpack compress: each file's LZW stream under its compressed name, written by the codec's own
 * bit-stream files and encoder (the engine's compress mode stays refused). */
#include <cstdio>

#include "pack_host.h"
#include "pack_interrupt.h"
#include "pack_names.h"
#include "pack_job.h"
#include "pack_report.h"
#include "vxpack.h"
#include "lzw/bitfile.h"
#include "lzw/lzw_encoder.h"
#include "platform/file.h"

namespace vxpack {

namespace {

/* The widest code of the streams the engine writes and reads. */
const uint32_t COMPRESS_MAX_WIDTH = 13;
/* Output bytes between two progress reports: the encoder pauses when its target reaches its
 * budget, and resumes in the same target. */
const uint32_t COMPRESS_STEP = 65536;
/* The largest input: the stream's byte counters are 32 bits. */
const uint64_t COMPRESS_MAX_INPUT = 0xFFFFFFF0u;

/* Encode source into target (both Windows paths). Statuses: 0; 22 source cannot be opened; 21 target cannot be opened, written or closed;
 * 20 source cannot be read (also when empty); 5 no memory; 29 the encoder's own. */
status_t compress_stream(const char *source, const char *target)
{
    status_t rc = STATUS_OK;
    bitfile *in = NULL, *out = NULL;
    lzw_encoder_state *st = NULL;
    uint32_t budget = 0;

    in = bitfile_open_read(source, "", "", "", 0);
    if (in == NULL) {
        rc = STATUS_NOT_FOUND;
        goto done;
    }
    out = bitfile_open_write(target, "", "", "", 1);
    if (out == NULL) {
        rc = STATUS_WRITE_ERROR;
        goto done;
    }
    st = lzw_encoder_state_create(COMPRESS_MAX_WIDTH);
    if (st == NULL) {
        rc = STATUS_NO_MEMORY;
        goto done;
    }
    do {
        budget = out->byte_counter + COMPRESS_STEP;
        rc = lzw_encode(in, out, st, COMPRESS_MAX_WIDTH, &budget);
        if (rc != STATUS_OK)
            goto done;
        progress_set(in->byte_counter);
        rc = interrupt_cancel(0);
        if (rc != STATUS_OK)
            goto done;
    } while (st->phase != LZW_ENCODE_NEW);

done:
    lzw_encoder_state_free(st);
    if (out != NULL) {
        /* The last close writes the pending bits; a close that fails loses the stream's end. */
        bool whole = bitfile_close(out, rc == STATUS_OK ? 1 : 0);
        if (rc == STATUS_OK && !whole)
            rc = STATUS_WRITE_ERROR;
    }
    bitfile_close(in, 0);
    return rc;
}

} // namespace

int cmd_compress(const pack_global &g, const std::vector<std::string> &files,
                 const std::string &out_dir)
{
    std::vector<names_run> runs;
    for (const std::string &given : files)
        runs.push_back(names_run{
            given, given, names_beside_shown(given, out_dir, names_compressed(names_last(given)))});
    if (!names_outputs_distinct(runs, "compresses to"))
        return EXIT_FAILED;
    int code = EXIT_DONE;
    for (const std::string &given : files) {
        pack_file source, target;
        uint64_t size = 0;
        if (!names_file(given, &source) ||
            !names_beside(given, out_dir, names_compressed(names_last(given)), &target)) {
            code = EXIT_FAILED;
            continue;
        }
        if (names_same(source.path, target.path)) {
            report_failure(source.shown, "is its own compressed name: compress it into another "
                                         "folder with -o DIR");
            code = EXIT_FAILED;
            continue;
        }
        if (!names_exists(source.path)) {
            report_failure(source.shown, report_words(STATUS_NOT_FOUND, REPORT_SOURCE));
            code = EXIT_FAILED;
            continue;
        }
        if (host_file_size(given, &size) && size == 0) {
            report_failure(source.shown, "is empty: a compressed file holds at least one byte");
            code = EXIT_FAILED;
            continue;
        }
        if (size > COMPRESS_MAX_INPUT) {
            report_failure(source.shown, "is too large to compress (4 GB at most)");
            code = EXIT_FAILED;
            continue;
        }
        bool bar = !g.quiet && host_stderr_is_terminal();
        if (!job_write(source, target, names_last(given), size, bar, [&](const char *temp) {
                status_t rc = compress_stream(source.path.c_str(), temp);
                /* The stamps the engine's compress mode gives: the source's. */
                return rc != STATUS_OK ? rc : file_copy_times(source.path.c_str(), temp);
            })) {
            code = EXIT_FAILED;
            continue;
        }
        uint64_t packed = 0;
        host_file_size(target.shown, &packed);
        if (!g.quiet)
            printf("%s -> %s: %llu -> %llu bytes (%.1f%%)\n", source.shown.c_str(),
                   target.shown.c_str(), (unsigned long long)size, (unsigned long long)packed,
                   size == 0 ? 0.0 : 100.0 * packed / (double)size);
    }
    return code;
}

} // namespace vxpack
