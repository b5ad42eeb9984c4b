#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "textrion/textrion_export.h"

// A synchronous finder with filters, collecting matching paths.
class TEXTRION_API CFileFinder {
public:
    enum FindFlags {
        FIND_SIZE = 0x01,
        FIND_DATE_MODIFIED = 0x02,
        FIND_DATE_CREATED = 0x04,
        FIND_DATE_ACCESSED = 0x08,
        FIND_ATTRIBUTES = 0x10,
        FIND_TEXT = 0x20,
    };
    enum CallbackCode { FF_FOUND = 0, FF_DISCARDED = 1, FF_FOLDER = 2, FF_FINDTEXT = 3 };

    class TEXTRION_API CFindOpts {
    public:
        CFindOpts() { Reset(); }
        void Reset();
        void FindNormalFiles()
        {
            options |= FIND_ATTRIBUTES;
            attributeMask |= 0x20;
        }
        void FindAllFiles()
        {
            options |= FIND_ATTRIBUTES;
            attributeMask |= 0x9A7;
        }
        void FindDirectories()
        {
            options |= FIND_ATTRIBUTES;
            attributeMask |= 0x10;
        }
        void FindTextW(const std::u16string& text)
        {
            options |= FIND_TEXT;
            textToFind = text;
        }

        std::u16string baseFolder;
        std::u16string fileMask;
        std::u16string textToFind;
        bool subfolders = false;
        uint32_t options = 0;
        uint32_t attributeMask = 0;
        uint64_t minSize = 0, maxSize = 0;
        std::time_t minCreated = 0, maxCreated = 0;
        std::time_t minModified = 0, maxModified = 0;
        std::time_t minAccessed = 0, maxAccessed = 0;
    };

    using ProgressCallback = std::function<void(CFileFinder* finder, CallbackCode code, void* parameter)>;
    using CompletionCallback = std::function<void(CFileFinder* finder, void* parameter)>;

    virtual ~CFileFinder();
    CFileFinder();

    int FindFiles(const char16_t* folder, const char16_t* mask, int subFolders);
    int Find(CFindOpts& opts);
    void SetCallback(ProgressCallback progress, CompletionCallback completion, void* parameter);
    void SetCallback(ProgressCallback progress, void* parameter);
    void SetCustomParam(void* parameter) { m_parameter = parameter; }
    void* GetCustomParam() const { return m_parameter; }
    void StopSearch() { m_stop = true; }

    int GetFileCount() const { return static_cast<int>(m_paths.size()); }
    std::u16string GetFilePath(int index) const;
    int FindPathItem(const std::u16string& path) const;
    void RemoveAt(int index);
    void RemoveAll() { m_paths.clear(); }
    const std::u16string& GetSearchBaseFolder() const { return m_baseFolder; }
    const std::u16string& GetSearchingFolder() const { return m_searchingFolder; }

    static std::u16string AddBackSlash(const char16_t* path, int useSlash = 1);
    // Whether the file's text holds text, ignoring case; the file is decoded
    // as a text file (BOM, else the default code page), not compared byte-wise.
    int FindTextInFile(const std::u16string& path, const std::u16string& text);

protected:
    [[nodiscard]] virtual bool CanContinue() { return !m_stop; }

private:
    [[nodiscard]] static bool IsDotsName(const std::u16string& name) { return name == u"." || name == u".."; }
    void Search(const CFindOpts& opts);
    void Report(CallbackCode code);

    std::vector<std::u16string> m_paths;
    std::u16string m_searchingFolder;
    std::u16string m_baseFolder;
    bool m_stop = false;
    ProgressCallback m_progress;
    CompletionCallback m_completion;
    void* m_parameter = nullptr;
};
