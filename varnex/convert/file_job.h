#pragma once

#include <cstdint>
#include <functional>
#include <stop_token>
#include <string>
#include <vector>

#include "platform/file_api.h"
#include "varnex/codepage/advanced_detector.h"
#include "varnex/convert/file_outcome.h"
#include "varnex/convert/text_file_converter.h"
#include "varnex/varnex_export.h"

class CBinaryFileReader;
class CBinaryFileWriter;
class CCodepageInfo;

// Where one file's bytes come from: a file, or a stream already begun
// (standard input) whose first bytes were taken for detection.
struct VARNEX_API FileJobSource {
    std::u16string path;  // the file; for a stream, the name it is shown by
    int stream = -1;      // owned, read once
    std::vector<unsigned char> head;
    bool whole = true;  // head is all of the stream

    FileJobSource() = default;
    ~FileJobSource();
    FileJobSource(const FileJobSource&) = delete;
    FileJobSource& operator=(const FileJobSource&) = delete;
    bool IsStream() const { return stream >= 0; }
};

// Where its output goes.
struct VARNEX_API FileJobTarget {
    std::u16string path;         // the output; empty with handle -1: none
    platform::FolderRef folder;  // set: made in this folder under path's file name
    bool named = false;          // the user named path (CAtomicOutputFile's followNamed)
    int handle = -1;             // written into instead (standard output; stays the caller's)
};

// How the text is written, and whether what cannot be converted is copied.
struct VARNEX_API FileJobOutput {
    CTextFileConverter::OUTPUTTEXTFORMAT textFormat = CTextFileConverter::OUTPUTTEXTFORMAT_UTF8;
    CTextFileConverter::RETURNTYPE returnType = CTextFileConverter::RETURNTYPE_NOCHANGE;
    bool writeBom = true;
    bool copyUnconverted = false;
    // The output takes the input file's permission bits and modification time.
    bool keepModeAndTime = true;
};

// What a file's job works with. The sizes are the session's tuning (the
// defaults are the job setting's); the buffers, all optional, are kept by the
// caller from file to file.
struct VARNEX_API FileJobParams {
    uint32_t chunkSize = 2048;  // detection block bytes and converter chunk units
    uint32_t sampleSizeMB = 4;
    uint32_t readBufferSize = 4096;
    uint32_t writeBufferSize = 4096;
    bool allowBinaryListDetection = true;
    bool useGB18030 = false;

    CAdvancedDetector::CWorkspace* workspace = nullptr;
    char16_t* textBuffer = nullptr;
    unsigned char* readBuffer = nullptr;
    unsigned char* writeBuffer = nullptr;

    // Looked at between blocks: a stop ends the file as cancelled, its output
    // dropped. The gate runs first at each of those points: a paused session
    // holds the job there, and a caller that learns of stops by polling
    // requests the stop from it.
    std::stop_token stop;
    std::function<void()> gate;

    CTextFileConverter::ProgressCallback progress = nullptr;
    void* progressData = nullptr;
    // Called once a conversion starts (not for a copy).
    std::function<void()> beforeConverting;
};

// The steps every file takes, the same for a file of a folder and for a
// stream: detection's finding as an outcome, then the conversion, or a copy
// when the text cannot be converted and a copy is asked for, each keeping
// mode and time and committing the output, with the same checks for a stop
// between blocks.
class VARNEX_API CFileJob {
public:
    explicit CFileJob(FileJobParams params);

    // What detection finds: the code page, confidence, BOM and method, with
    // a warning for an unsure or doubtful finding; bytes in is a file's size.
    // repairDoubleEncoding is noted in a double-encoding warning for Write.
    [[nodiscard]] FileOutcome Detect(const FileJobSource& source, bool repairDoubleEncoding);
    // The code page the user gave instead.
    [[nodiscard]] static FileOutcome Assigned(const CCodepageInfo* info, bool hasBom, uint64_t size);

    // Converts the text as found, or copies the bytes when they cannot be
    // converted and output asks for a copy; returns found with what that
    // did added. A stream source is consumed.
    [[nodiscard]] FileOutcome Write(FileJobSource& source, const FileJobTarget& target, const FileJobOutput& output,
                                    FileOutcome found);

    // Whether the outcome's code page can be converted (not binary, not unknown text).
    [[nodiscard]] static bool IsConvertible(const FileOutcome& outcome);

private:
    FileOutcome Convert(FileJobSource& source, const FileJobTarget& target, const FileJobOutput& output, int codepage,
                        bool repair);
    FileOutcome Copy(FileJobSource& source, const FileJobTarget& target, bool keepModeAndTime);
    // createError: why the writer could not be opened, when it was not.
    FileOutcome CopyOnce(CBinaryFileReader& reader, bool file, CBinaryFileWriter& writer, int createError = 0);
    bool CanContinue() const;
    static bool ConverterCanContinue(CTextFileConverter*, void* job);

    FileJobParams m_params;
};
