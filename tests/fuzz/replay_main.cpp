// Replays kept inputs through a fuzz target without libFuzzer, so that every test run checks
// them with the compiler at hand: every file named, and every file in every folder named.
#include <stdint.h>
#include <stdio.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

namespace fs = std::filesystem;

int main(int argc, char **argv)
{
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; i++) {
        std::error_code ec;
        if (fs::is_directory(argv[i], ec)) {
            for (const fs::directory_entry &e : fs::directory_iterator(argv[i]))
                if (e.is_regular_file())
                    inputs.push_back(e.path());
        } else if (fs::exists(argv[i], ec)) {
            inputs.push_back(argv[i]);
        } else {
            printf("replay: %s: none kept\n", argv[i]);
        }
    }
    std::sort(inputs.begin(), inputs.end());

    // The empty input first: every target must take it.
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(""), 0);
    for (const fs::path &p : inputs) {
        std::ifstream in(p, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (!in.good() && !in.eof()) {
            fprintf(stderr, "replay: cannot read %s\n", p.c_str());
            return 1;
        }
        // Named before it runs: a target reports a broken property by aborting.
        printf("replay: %s (%zu bytes)\n", p.filename().c_str(), bytes.size());
        fflush(stdout);
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size());
    }
    printf("replay: %zu kept inputs and the empty one passed\n", inputs.size());
    return 0;
}
