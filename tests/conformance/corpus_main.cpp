/* Prints the corpus's answers on this platform: under Wine, the recording the simulation is
 * held to (scripts/record-corpus.sh); on the simulation, the same cases for a side-by-side look.
 *
 *   vx_corpus [--seed N] [--case ID]...
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <set>

#include "conformance/corpus.h"
#include "support/workstation.h"

int main(int argc, char **argv)
{
    uint32_t seed = CORPUS_DEFAULT_SEED;
    std::set<int> only;
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "--seed") == 0 && i + 1 < argc) {
            seed = (uint32_t)strtoul(argv[++i], NULL, 0);
        } else if (strcmp(argv[i], "--case") == 0 && i + 1 < argc) {
            only.insert(atoi(argv[++i]));
        } else {
            fprintf(stderr, "usage: vx_corpus [--seed N] [--case ID]...\n");
            return 2;
        }
    }
    corpus_place_root root;
    root.dir = ws_fresh();
    root.hklm_key = "SOFTWARE\\VxCorpus";
    if (root.dir.empty()) {
        fprintf(stderr, "vx_corpus: no scratch directory\n");
        return 1;
    }
    std::vector<corpus_case> cases = corpus_generate(seed);
    printf("# The conformance corpus: each case's calls and what the platform answered.\n");
    printf("# generator %d\n", CORPUS_GENERATOR_VERSION);
    printf("# seed 0x%08lx\n", (unsigned long)seed);
    printf("# platform %s\n", ws_platform().c_str());
    printf("# cases %u\n", (unsigned)cases.size());
    for (const corpus_case &c : cases) {
        if (!only.empty() && only.count(c.id) == 0)
            continue;
        std::string answer = corpus_run(c, root);
        printf("%d\t%s\t%s\t%s\n", c.id, corpus_family_name(c.family), corpus_describe(c).c_str(),
               answer.c_str());
    }
    ws_reg_delete_tree(root.hklm_key);
    return fflush(stdout) == 0 ? 0 : 1;
}
