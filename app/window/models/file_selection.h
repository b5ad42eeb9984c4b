#pragma once

#include <cstdint>
#include <string>

// What the details and preview panes show of the file selected in a list: a
// copy taken under the record's lock, so the panes never hold a record that
// a new session may delete.
struct FileSelection {
    bool valid = false;      // false: nothing selected
    unsigned sessionId = 0;  // the record's session-unique id
    std::u16string inputPath;
    std::u16string outputPath;  // empty while there is none
    // The Unicode form the output is written in (1200, 65001, ...; the
    // record's GetOutputCodepage); 0: not known, read by its BOM or as UTF-8.
    unsigned outputCodepage = 0;
    int codepage = -1;  // -1: none (binary or not detected yet)
    std::u16string codepageName;
    float confidence = 0.0f;
    bool hasBom = false;
    std::u16string statusText;  // as the list shows it
    std::u16string message;     // the record's message (reasons of a warning)
    uint64_t replaced = 0;      // characters written as U+FFFD
    uint64_t bytesIn = 0;
    uint64_t bytesOut = 0;
    bool finished = false;
};
