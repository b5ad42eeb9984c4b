// make_mixed_tree ROOT [FILES]: writes the mixed test tree under ROOT (made
// when missing) for benchmarks, and prints how many files of each kind.
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <exception>

#include "tools/corpus/mixed_tree.h"

int main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: make_mixed_tree ROOT [FILES]\n");
        return 2;
    }
    corpus::TreeOptions options;
    if (argc > 2)
        options.files = static_cast<unsigned>(strtoul(argv[2], nullptr, 10));
    mkdir(argv[1], 0755);
    try {
        const auto files = corpus::MakeMixedTree(argv[1], options);
        unsigned text = 0, binary = 0, empty = 0, hidden = 0;
        for (const auto& f : files) {
            text += f.kind == corpus::TreeFile::TEXT;
            binary += f.kind == corpus::TreeFile::BINARY;
            empty += f.kind == corpus::TreeFile::EMPTY;
            hidden += f.hidden;
        }
        printf("%zu files: %u text, %u binary, %u empty, %u hidden\n", files.size(), text, binary, empty, hidden);
    } catch (const std::exception& e) {
        fprintf(stderr, "make_mixed_tree: %s\n", e.what());
        return 1;
    }
    return 0;
}
