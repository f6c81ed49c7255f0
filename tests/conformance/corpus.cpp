/* The corpus as a whole: the seeded generator, the case descriptions and the run dispatch. */
#include "conformance/corpus.h"

#include <stdio.h>

/* Cases per family: enough that every shape the families draw meets every other often. */
static const int corpus_family_cases[CORPUS_FAMILY_COUNT] = {2400, 1600, 1600, 1200, 1400,
                                                             1000, 800, 400, 300};

void corpus_rng_seed(corpus_rng *rng, uint32_t seed)
{
    rng->state = 0x9E3779B97F4A7C15ull ^ seed;
}

/* splitmix64: small, and fully defined by the integer arithmetic of the language. */
uint32_t corpus_rng_next(corpus_rng *rng)
{
    uint64_t z = (rng->state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return (uint32_t)((z ^ (z >> 31)) >> 16);
}

uint32_t corpus_rng_below(corpus_rng *rng, uint32_t bound)
{
    return bound == 0 ? 0 : corpus_rng_next(rng) % bound;
}

bool corpus_rng_chance(corpus_rng *rng, uint32_t percent)
{
    return corpus_rng_below(rng, 100) < percent;
}

std::string corpus_quote(const std::string &bytes)
{
    std::string out = "\"";
    for (size_t i = 0; i < bytes.size(); i++) {
        unsigned char c = (unsigned char)bytes[i];
        char esc[24];
        size_t run = 1;
        while (i + run < bytes.size() && bytes[i + run] == bytes[i])
            run++;
        if (run >= 12) { /* long values read better as a count */
            snprintf(esc, sizeof esc, "{%u*", (unsigned)run);
            out += esc + corpus_quote(std::string(1, (char)c)) + "}";
            i += run - 1;
            continue;
        }
        switch (c) {
        case '\0': out += "\\0"; break;
        case '\r': out += "\\r"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        default:
            if (c >= 0x20 && c < 0x7F) {
                out += (char)c;
            } else {
                snprintf(esc, sizeof esc, "\\x%02x", c);
                out += esc;
            }
        }
    }
    return out + "\"";
}

std::string corpus_quote_text(const corpus_text &t)
{
    return t.null ? "NULL" : corpus_quote(t.text);
}

std::string corpus_num(long long n)
{
    char buf[32];
    snprintf(buf, sizeof buf, "%lld", n);
    return buf;
}

const char *corpus_family_name(corpus_family family)
{
    static const char *const names[CORPUS_FAMILY_COUNT] = {
        "profile-read", "profile-write", "registry",     "crt",   "file-names",
        "file-moves",   "file-sharing",  "file-stamps", "volume"};
    return family < CORPUS_FAMILY_COUNT ? names[family] : "?";
}

std::vector<corpus_case> corpus_generate(uint32_t seed)
{
    std::vector<corpus_case> cases;
    int id = 0;
    for (int f = 0; f < CORPUS_FAMILY_COUNT; f++) {
        /* One stream per family, so that a change in one family leaves the others' cases. */
        corpus_rng rng;
        corpus_rng_seed(&rng, seed + 0x1000u * (uint32_t)f);
        for (int i = 0; i < corpus_family_cases[f]; i++) {
            corpus_case c;
            c.id = ++id;
            c.family = (corpus_family)f;
            switch (c.family) {
            case CORPUS_PROFILE_READ: corpus_make_profile_read(&rng, &c.profile); break;
            case CORPUS_PROFILE_WRITE: corpus_make_profile_write(&rng, &c.profile); break;
            case CORPUS_REGISTRY: corpus_make_registry(&rng, &c.registry); break;
            case CORPUS_CRT: corpus_make_crt(&rng, &c.crt); break;
            case CORPUS_VOLUME: corpus_make_volume(&rng, &c.volume); break;
            default: corpus_make_file(&rng, c.family, &c.file); break;
            }
            cases.push_back(c);
        }
    }
    return cases;
}

std::string corpus_describe(const corpus_case &c)
{
    switch (c.family) {
    case CORPUS_PROFILE_READ: return corpus_describe_profile(c.profile, true);
    case CORPUS_PROFILE_WRITE: return corpus_describe_profile(c.profile, false);
    case CORPUS_REGISTRY: return corpus_describe_registry(c.registry);
    case CORPUS_CRT: return corpus_describe_crt(c.crt);
    case CORPUS_VOLUME: return corpus_describe_volume(c.volume);
    default: return corpus_describe_file(c.file, c.family);
    }
}

std::string corpus_run(const corpus_case &c, const corpus_place_root &root)
{
    switch (c.family) {
    case CORPUS_PROFILE_READ: return corpus_run_profile(c.profile, true, c.id, root);
    case CORPUS_PROFILE_WRITE: return corpus_run_profile(c.profile, false, c.id, root);
    case CORPUS_REGISTRY: return corpus_run_registry(c.registry, c.id, root);
    case CORPUS_CRT: return corpus_run_crt(c.crt, c.id, root);
    case CORPUS_VOLUME: return corpus_run_volume(c.volume, root);
    default: return corpus_run_file(c.file, c.family, c.id, root);
    }
}
