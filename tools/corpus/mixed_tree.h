#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A folder tree of mixed files for the engine's end-to-end tests and
// benchmarks: the corpus paragraphs in many encodings (with and without BOM,
// BOM-less UTF-16, CRLF and LF), binaries, empty files, hidden files and
// folders, names with spaces and commas, and names that are not valid UTF-8.
namespace corpus {

struct TreeFile {
    enum Kind { TEXT, BINARY, EMPTY };
    std::string relative;  // path below the root, in the bytes written to disk
    Kind kind = TEXT;
    std::u16string text;  // TEXT: what the file decodes to
    int codepage = -1;    // TEXT: the code page or Unicode form it was written in
    bool hidden = false;  // the file or a folder on its way starts with '.'
};

struct TreeOptions {
    unsigned files = 20000;
    unsigned filesPerFolder = 20;
    uint32_t seed = 20261207;
};

// Writes the tree under root, which must exist, and returns what it wrote.
// Throws std::runtime_error when a file cannot be written.
std::vector<TreeFile> MakeMixedTree(const std::string& root, const TreeOptions& options);

}  // namespace corpus
