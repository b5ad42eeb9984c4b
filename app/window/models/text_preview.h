#pragma once

#include <QObject>
#include <functional>
#include <string>

// What a preview shows of a file: the start of its text, or why there is none.
struct PreviewText {
    enum Kind { Text, Binary, Unreadable };
    Kind kind = Unreadable;
    std::u16string text;
    bool truncated = false;   // the file holds more than was read
    unsigned limitBytes = 0;  // the limit the text was read with
};

// The preview size setting in bytes; 0 (never set) means the settings
// page's default of 1 KiB, never "unlimited".
unsigned EffectivePreviewLimit(unsigned bytes);

// Reads at most limitBytes (EffectivePreviewLimit) of a file as text, the
// way the converter would read it in codepage: a Unicode code page imposes
// its form, another one decodes the bytes a BOM does not claim; -1 reads by
// the BOM, else as code page 0. Text full of NULs and control characters is
// reported as binary. Never reads more than the limit.
PreviewText LoadTextPreview(const std::u16string& path, int codepage, unsigned limitBytes);

// The same on a pool thread; done runs on the user-interface thread, and
// only while receiver lives.
void LoadTextPreviewAsync(QObject* receiver, const std::u16string& path, int codepage, unsigned limitBytes,
                          std::function<void(const PreviewText&)> done);
