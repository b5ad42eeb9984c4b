#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/file_api.h"
#include "varnex/codepage/advanced_detector.h"
#include "varnex/convert/file_outcome.h"
#include "varnex/convert/text_file_converter.h"
#include "varnex/session/session_records.h"
#include "varnex/varnex_export.h"

class CBinaryFileReader;
class CBinaryFileWriter;
class CCodepageInfo;

// Where one file's bytes come from: a file, or a stream already begun
// (standard input) whose first bytes were taken for detection.
struct VARNEX_API FILEJOBSOURCE {
    std::u16string path;  // the file; for a stream, the name it is shown by
    int stream = -1;      // owned, read once
    std::vector<unsigned char> head;
    bool whole = true;    // head is all of the stream

    FILEJOBSOURCE() = default;
    ~FILEJOBSOURCE();
    FILEJOBSOURCE(const FILEJOBSOURCE&) = delete;
    FILEJOBSOURCE& operator=(const FILEJOBSOURCE&) = delete;
    bool IsStream() const { return stream >= 0; }
};

// Where its output goes.
struct VARNEX_API FILEJOBTARGET {
    std::u16string path;          // the output; empty with handle -1: none
    platform::FolderRef folder;   // set: made in this folder under path's file name
    bool named = false;           // the user named path (CAtomicOutputFile's followNamed)
    int handle = -1;              // written into instead (standard output; stays the caller's)
};

// The steps every file takes, the same for a file of a folder and for a
// stream: detection's finding as an outcome, then the conversion, or a copy
// when the text cannot be converted and a copy is asked for, with the same
// checks for a stop between blocks.
class VARNEX_API CFileJob {
public:
    // canContinue is asked between blocks (a session's stop or pause, a
    // signal); workspace and the buffers (all optional) are kept by the
    // caller from file to file.
    CFileJob(const VARNEXJOBSETTING& setting, std::function<bool()> canContinue,
             CAdvancedDetector::CWorkspace* workspace = nullptr, char16_t* textBuffer = nullptr,
             unsigned char* readBuffer = nullptr, unsigned char* writeBuffer = nullptr);

    void SetProgress(CTextFileConverter::ProgressCallback callback, void* data)
    {
        m_progress = callback;
        m_progressData = data;
    }

    // What detection finds: the code page, confidence, BOM and method, with
    // a warning for an unsure or doubtful finding; bytes in is a file's size.
    VARNEXFILEOUTCOME Detect(const FILEJOBSOURCE& source, bool repairDoubleEncoding);
    // The code page the user gave instead.
    static VARNEXFILEOUTCOME Assigned(const CCodepageInfo* info, bool hasBom, uint64_t size);

    // Converts the text as found, or copies the bytes when they cannot be
    // converted and options ask for a copy, adding what that did to the
    // outcome; beforeConverting is called once a conversion starts.
    void Write(FILEJOBSOURCE& source, const FILEJOBTARGET& target, const VARNEXCONVERSIONOPTIONS& options,
               VARNEXFILEOUTCOME& outcome, const std::function<void()>& beforeConverting = {});

    // Whether the outcome's code page can be converted (not binary, not unknown text).
    static bool IsConvertible(const VARNEXFILEOUTCOME& outcome);

private:
    VARNEXFILEOUTCOME Convert(FILEJOBSOURCE& source, const FILEJOBTARGET& target,
                              const VARNEXCONVERSIONOPTIONS& options, int codepage, bool repair);
    VARNEXFILEOUTCOME Copy(FILEJOBSOURCE& source, const FILEJOBTARGET& target, bool keepModeAndTime);
    // createError: why the writer could not be opened, when it was not.
    VARNEXFILEOUTCOME CopyOnce(CBinaryFileReader& reader, bool file, CBinaryFileWriter& writer,
                               int createError = 0);
    bool CanContinue() const { return !m_canContinue || m_canContinue(); }

    VARNEXJOBSETTING m_setting;
    std::function<bool()> m_canContinue;
    CAdvancedDetector::CWorkspace* m_workspace;
    char16_t* m_textBuffer;
    unsigned char* m_readBuffer;
    unsigned char* m_writeBuffer;
    CTextFileConverter::ProgressCallback m_progress = nullptr;
    void* m_progressData = nullptr;
};
