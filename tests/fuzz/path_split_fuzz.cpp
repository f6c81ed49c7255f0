// libFuzzer target: path splitting and composition over arbitrary texts. A path that splits
// composes back to itself, and nothing is written past a 260-byte buffer.
#include <ctype.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "platform/path.h"

// What the split does not keep: doubled separators, a full stop with no extension after it, a
// trailing separator after such a full stop, a "." directory. Each names the same file on
// Windows. Everything else must come back as it was.
static std::string fuzz_normal(std::string path, bool dot_dir)
{
    if (dot_dir)
        path.erase(0, path.compare(0, 2, ".\\") == 0 ? 2 : 1);
    std::string out;
    for (char c : path)
        if (!(c == '\\' && !out.empty() && out.back() == '\\'))
            out += c;
    while (!out.empty() && (out.back() == '.' || out.back() == '\\'))
        out.pop_back();
    return out;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string path((const char *)data, size);
    path = path.c_str(); // up to the first NUL
    char *parts[4];
    for (char *&p : parts)
        p = (char *)malloc(PATH_CAP);
    path_split(path.c_str(), parts[0], parts[1], parts[2], parts[3]);

    char *out = (char *)malloc(PATH_CAP);
    // A colon anywhere but after a drive letter is no Windows name; composition treats a
    // directory that ends in one as a drive.
    size_t colon = path.find(':');
    bool drive = colon == 1 && isalpha((unsigned char)path[0]);
    bool valid = colon == std::string::npos || (drive && path.find(':', 2) == std::string::npos);
    if (path.size() < PATH_CAP && valid) {
        bool dot_dir = strcmp(parts[1], ".") == 0;
        if (!path_compose(out, parts[0], parts[1], parts[2], parts[3]) ||
            fuzz_normal(path, dot_dir) != fuzz_normal(out, false))
            abort();
    } else if (path.size() >= PATH_CAP) {
        for (char *p : parts)
            if (p[0] != '\0')
                abort();
    }
    free(out);
    for (char *p : parts)
        free(p);
    return 0;
}
