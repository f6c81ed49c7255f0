/* Benchmarks of the LZW codec against compress(1): encoding, decoding, the decompressing copy. */
#include <benchmark/benchmark.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "bench_common.h"
#include "bench_size.h"
#include "lzw/bitfile.h"
#include "lzw/lzw_decoder.h"
#include "lzw/lzw_encoder.h"
#include "platform/os.h"
#include "sim/sim.h"
#include "transfer/transfer.h"

namespace {

namespace fs = std::filesystem;

/* The corpus: one file per kind, 32 MiB each (smoke mode: 32 KiB). bench/lzw_corpus.py makes the
 * same kinds as files, for timing vxpack against compress(1) as whole processes. */
enum { CORPUS_TEXT, CORPUS_EXECUTABLES, CORPUS_RANDOM, CORPUS_SLICE, CORPUS_ZEROS, CORPUS_KINDS };
const char *const kCorpusNames[] = {"text", "exe", "random", "slice", "zeros"};
const uint32_t kWidth = 13; /* the transfer engine's width, and compress -b13 */

size_t corpus_bytes(void)
{
    return (size_t)bench_size(32l << 20);
}

/* Files of the machine below dir whose names pass keep, in name order, joined up to n bytes. */
template <typename Keep> std::string corpus_join(const char *dir, size_t n, Keep keep)
{
    std::vector<fs::path> files;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(dir, fs::directory_options::skip_permission_denied,
                                             ec),
         end;
         it != end; it.increment(ec)) {
        if (ec)
            break;
        if (it->is_regular_file(ec) && !it->is_symlink(ec) && keep(it->path()))
            files.push_back(it->path());
    }
    std::sort(files.begin(), files.end());
    std::string out;
    std::vector<char> buf(1 << 16);
    for (const fs::path &p : files) {
        FILE *f = fopen(p.c_str(), "rb");
        size_t got;
        while (f != NULL && out.size() < n && (got = fread(buf.data(), 1, buf.size(), f)) > 0)
            out.append(buf.data(), std::min(got, n - out.size()));
        if (f != NULL)
            fclose(f);
        if (out.size() >= n)
            break;
    }
    return out;
}

bool is_elf(const fs::path &p)
{
    char magic[4] = {0, 0, 0, 0};
    FILE *f = fopen(p.c_str(), "rb");
    if (f == NULL)
        return false;
    size_t got = fread(magic, 1, 4, f);
    fclose(f);
    return got == 4 && memcmp(magic, "\x7f" "ELF", 4) == 0;
}

/* Seeded words, where the machine has too little text. */
void corpus_fill_text(std::string *s, size_t n)
{
    static const char *const words[] = {"the ", "agent ", "copies ", "files ", "from ",
                                        "a ", "server ", "share\n", "and ", "installs ",
                                        "its ", "configuration ", "volume ", "stream "};
    std::mt19937 gen(13);
    while (s->size() < n)
        *s += words[gen() % (sizeof words / sizeof words[0])];
    s->resize(n);
}

std::string corpus_make(int kind, size_t n)
{
    std::string s;
    switch (kind) {
    case CORPUS_TEXT:
        s = corpus_join("/usr/include", n, [](const fs::path &p) {
            return p.extension() == ".h";
        });
        corpus_fill_text(&s, n);
        break;
    case CORPUS_EXECUTABLES:
        for (const char *dir : {"/usr/bin", "/usr/lib"})
            if (s.size() < n)
                s += corpus_join(dir, n - s.size(), is_elf);
        /* A machine with few programs repeats them. */
        while (!s.empty() && s.size() < n)
            s += s.substr(0, n - s.size());
        if (s.empty())
            corpus_fill_text(&s, n);
        break;
    case CORPUS_RANDOM: {
        std::mt19937_64 gen(2026);
        s.resize(n);
        for (size_t i = 0; i < n; i++)
            s[i] = (char)(gen() >> 56);
        break;
    }
    case CORPUS_ZEROS: /* the longest strings the format makes */
        s.assign(n, '\0');
        break;
    default: { /* one 4 KiB slice of the text, over and over */
        std::string text = corpus_make(CORPUS_TEXT, 4096);
        while (s.size() < n)
            s += text;
        s.resize(n);
        break;
    }
    }
    return s;
}

std::string plain_name(int kind)
{
    return std::string(kCorpusNames[kind]) + ".bin";
}

/* Our stream of a kind sits under the compressed name of its plain name, for the copy. */
std::string packed_name(int kind)
{
    return "_" + plain_name(kind);
}

std::string win(const std::string &name)
{
    return "C:\\" + name;
}

std::string host(const std::string &name)
{
    return bench_host() + "/" + name;
}

status_t encode_file(const std::string &from, const std::string &to, uint32_t width = kWidth)
{
    lzw_encoder_state *st = lzw_encoder_state_create(width);
    bitfile *in = bitfile_open_read(from.c_str(), "", "", "", 0);
    bitfile *out = bitfile_open_write(to.c_str(), "", "", "", 1);
    status_t rc = STATUS_NO_MEMORY;
    if (st != NULL && in != NULL && out != NULL) {
        uint32_t budget = 0;
        rc = lzw_encode(in, out, st, width, &budget);
    }
    if (!bitfile_close(out, 1) && rc == STATUS_OK)
        rc = STATUS_WRITE_ERROR;
    bitfile_close(in, 0);
    lzw_encoder_state_free(st);
    return rc;
}

status_t decode_file(const std::string &from, const std::string &to)
{
    lzw_decoder_state st;
    memset(&st, 0, sizeof st);
    bitfile *in = bitfile_open_read(from.c_str(), "", "", "", 1);
    bitfile *out = bitfile_open_write(to.c_str(), "", "", "", 0);
    status_t rc = STATUS_NO_MEMORY;
    if (in != NULL && out != NULL) {
        uint32_t budget = TRANSFER_NO_LIMIT;
        rc = lzw_decode(in, out, &st, &budget);
    }
    if (!bitfile_close(out, 1) && rc == STATUS_OK)
        rc = STATUS_WRITE_ERROR;
    bitfile_close(in, 0);
    lzw_decoder_table_free(st.table);
    return rc;
}

status_t decompress_copy(int kind, const std::string &to)
{
    char label[1] = "";
    return transfer_file(win(plain_name(kind)).c_str(), to.c_str(), 0, 1, 0, 0, 0, 0, 0, label,
                         "", NULL, NULL, NULL, 0, 0, 0, NULL, NULL);
}

/* The corpus file of a kind, its stream by our encoder and by compress, made when the
 * workstation does not hold them (yet, or any more). */
void corpus_ready(int kind)
{
    bench_workstation();
    if (access(host(plain_name(kind)).c_str(), F_OK) == 0 &&
        access(host(packed_name(kind)).c_str(), F_OK) == 0 &&
        access(host(plain_name(kind) + ".Z").c_str(), F_OK) == 0)
        return;
    bench_write_host(plain_name(kind), corpus_make(kind, corpus_bytes()));
    if (encode_file(win(plain_name(kind)), win(packed_name(kind))) != STATUS_OK) {
        fprintf(stderr, "lzw bench: cannot encode %s\n", kCorpusNames[kind]);
        exit(1);
    }
    bench_run({"compress", "-b13", "-c", host(plain_name(kind))}, NULL, NULL,
              host(plain_name(kind) + ".Z").c_str());
}

/* Plain bytes per second, the compressed size, and the peak memory of one run. */
void report(benchmark::State &state, int kind, size_t compressed, long peak_kib)
{
    const size_t plain = corpus_bytes();
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)plain);
    state.SetLabel(kCorpusNames[kind]);
    state.counters["plain_bytes"] = (double)plain;
    state.counters["compressed_bytes"] = (double)compressed;
    state.counters["peak_kib"] = (double)peak_kib;
}

/* The peak resident set of a fresh process of ours that runs one codec operation once. */
long lzw_peak_kib(const char *mode, int kind)
{
    std::string out;
    if (bench_run({bench_self_path(), "--lzw-once", mode, std::to_string(kind), bench_host()},
                  &out, NULL) != 0)
        return -1;
    return atol(out.c_str());
}

/* Ours: the peak of one run, and of a process that runs nothing, whose difference is what
 * the codec takes. */
void report_ours(benchmark::State &state, int kind, size_t compressed, const char *mode)
{
    report(state, kind, compressed, lzw_peak_kib(mode, kind));
    state.counters["peak_kib_idle"] = (double)lzw_peak_kib("none", kind);
}

void check_same(benchmark::State &state, const std::string &a, const std::string &b)
{
    if (bench_read_host(a) != bench_read_host(b))
        state.SkipWithError(("output differs: " + a).c_str());
}

void BM_LzwEncode(benchmark::State &state)
{
    const int kind = (int)state.range(0);
    corpus_ready(kind);
    for (auto _ : state)
        if (encode_file(win(plain_name(kind)), win("enc.lzw")) != STATUS_OK)
            state.SkipWithError("lzw_encode failed");
    check_same(state, "enc.lzw", packed_name(kind));
    report_ours(state, kind, bench_read_host("enc.lzw").size(), "encode");
}

void BM_CompressEncode(benchmark::State &state)
{
    const int kind = (int)state.range(0);
    corpus_ready(kind);
    const std::vector<std::string> args = {"compress", "-b13", "-c", host(plain_name(kind))};
    const std::string out = host("enc.Z");
    for (auto _ : state)
        if (bench_run(args, NULL, NULL, out.c_str()) != 0)
            state.SkipWithError("compress failed");
    report(state, kind, bench_read_host("enc.Z").size(), bench_run_peak_kib(args, out.c_str()));
}

void BM_LzwDecode(benchmark::State &state)
{
    const int kind = (int)state.range(0);
    corpus_ready(kind);
    for (auto _ : state)
        if (decode_file(win(packed_name(kind)), win("dec.bin")) != STATUS_OK)
            state.SkipWithError("lzw_decode failed");
    check_same(state, "dec.bin", plain_name(kind));
    report_ours(state, kind, bench_read_host(packed_name(kind)).size(), "decode");
}

void BM_LzwDecompressCopy(benchmark::State &state)
{
    const int kind = (int)state.range(0);
    corpus_ready(kind);
    for (auto _ : state)
        if (decompress_copy(kind, win("copy.bin")) != STATUS_OK)
            state.SkipWithError("transfer_file failed");
    check_same(state, "copy.bin", plain_name(kind));
    report_ours(state, kind, bench_read_host(packed_name(kind)).size(), "copy");
}

void BM_CompressDecode(benchmark::State &state)
{
    const int kind = (int)state.range(0);
    corpus_ready(kind);
    const std::vector<std::string> args = {"compress", "-d", "-c", host(plain_name(kind) + ".Z")};
    const std::string out = host("dec.Z.bin");
    for (auto _ : state)
        if (bench_run(args, NULL, NULL, out.c_str()) != 0)
            state.SkipWithError("compress -d failed");
    check_same(state, "dec.Z.bin", plain_name(kind));
    report(state, kind, bench_read_host(plain_name(kind) + ".Z").size(),
           bench_run_peak_kib(args, out.c_str()));
}

void corpus_kinds(benchmark::internal::Benchmark *b)
{
    for (int kind = 0; kind < CORPUS_KINDS; kind++)
        b->Arg(kind);
    b->Unit(benchmark::kMillisecond)->UseRealTime();
}
BENCHMARK(BM_LzwEncode)->Apply(corpus_kinds);
BENCHMARK(BM_CompressEncode)->Apply(corpus_kinds);
BENCHMARK(BM_LzwDecode)->Apply(corpus_kinds);
BENCHMARK(BM_LzwDecompressCopy)->Apply(corpus_kinds);
BENCHMARK(BM_CompressDecode)->Apply(corpus_kinds);

} // namespace

/* vx_bench --lzw-once MODE KIND HOSTDIR: one encode, decode or decompressing copy (or, with
 * MODE none, nothing) of a corpus file the parent made in HOSTDIR; prints the peak resident
 * set in KiB. MODE encode16 encodes at the widest width into once16.lzw, which decode16 then
 * decodes: the largest tables the codec makes. */
int bench_lzw_once(int argc, char **argv)
{
    if (argc != 5)
        return 2;
    const std::string mode = argv[2];
    const int kind = atoi(argv[3]);
    if (kind < 0 || kind >= CORPUS_KINDS)
        return 2;
    sim_reset();
    sim_add_drive('C', DRIVE_FIXED, argv[4]);
    sim_set_drive_geometry('C', 8, 512, 4000000, 8000000);
    status_t rc = STATUS_OK;
    if (mode == "encode")
        rc = encode_file(win(plain_name(kind)), win("once.lzw"));
    else if (mode == "decode")
        rc = decode_file(win(packed_name(kind)), win("once.bin"));
    else if (mode == "encode16")
        rc = encode_file(win(plain_name(kind)), win("once16.lzw"), 16);
    else if (mode == "decode16")
        rc = decode_file(win("once16.lzw"), win("once.bin"));
    else if (mode == "copy")
        rc = decompress_copy(kind, win("once.bin"));
    else if (mode != "none")
        return 2;
    if (rc != STATUS_OK)
        return 1;
    printf("%ld\n", bench_self_peak_kib());
    return 0;
}
