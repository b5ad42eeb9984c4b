#pragma once

#include <cstdint>
#include <string>

#include "varnex/codepage/codepage_info.h"
#include "varnex/session/varnex_file_info.h"
#include "varnex/varnex_export.h"

// Which records the BOM criterion lets through. Any other value passes all.
enum FilterInfoBomFilter : int32_t {
    FilterInfoBomBoth = 0,
    FilterInfoBomWith = 1,
    FilterInfoBomWithout = 2,
};

// Which results the status criterion lets through. Values above 7 pass all.
enum FileInfoStatusFilter : int32_t {
    FileInfoStatusAll = 0,
    FileInfoStatusNormal = 1,         // result OK
    FileInfoStatusNotDetermined = 2,  // no result yet
    FileInfoStatusWarning = 3,
    FileInfoStatusError = 4,      // failed, error, conversion error, not supported, write error
    FileInfoStatusConverted = 5,  // OK and converted
    FileInfoStatusCopied = 6,     // OK and copied
    FileInfoStatusCancelled = 7,
};

// One set of criteria for the records a list shows: BOM, input path, input
// file name, detected code page, result and whether the file needs the
// user's attention, plus the derived class's own criteria, asked last. A
// disabled criterion passes every record.
//
// Path and name criteria are wildcard lists split at ';', CR and LF (a comma
// belongs to the pattern); an empty list or an empty name passes nothing, as
// does an empty code page list. Record fields are read under the record's
// lock, so a filter can test records that converter threads are filling. A
// filter object itself is not locked: one thread at a time uses it.
class VARNEX_API CFileInfoFilter {
public:
    virtual ~CFileInfoFilter() = default;

    CFileInfoFilter() = default;
    // Copies the criteria of this class only, not the derived class's own.
    CFileInfoFilter(const CFileInfoFilter& other);
    // All criteria, the derived class's own included (CopyProperties).
    CFileInfoFilter& operator=(const CFileInfoFilter& other);

    // A new filter of the derived type with the same criteria; the caller owns it.
    virtual CFileInfoFilter* Clone() const = 0;

    // Whether the record passes every enabled criterion and then the derived
    // class's own test.
    bool operator()(CVarnexFileInfo* record) const;

    // Copies every criterion of source, then the derived class's own through
    // CopyCustomProperties.
    void CopyProperties(const CFileInfoFilter* source);

    // Switches off criteria that cannot select anything by their nature (BOM
    // mode "both", empty path or name lists). An enabled code page criterion
    // with an empty list stays on: it selects nothing on purpose. True when a
    // criterion is left, or the derived class has criteria of its own.
    bool ValidateFilters();

    void EnableBomFilter(bool enable) { m_bomFilterEnabled = enable; }
    void EnablePathFilter(bool enable) { m_pathFilterEnabled = enable; }
    void EnableFileNameFilter(bool enable) { m_fileNameFilterEnabled = enable; }
    void EnableCodepageFilter(bool enable) { m_codepageFilterEnabled = enable; }
    void EnableStatusFilter(bool enable) { m_statusFilterEnabled = enable; }
    // Lets through only records NeedsAttention picks.
    void EnableAttentionFilter(bool enable) { m_attentionFilterEnabled = enable; }

    void SetBomFilter(FilterInfoBomFilter mode) { m_bomFilter = mode; }
    void SetPathFilters(const char16_t* filters) { m_pathFilters = filters ? filters : u""; }
    void SetFileNameFilters(const char16_t* filters) { m_fileNameFilters = filters ? filters : u""; }
    void SetStatusFilter(FileInfoStatusFilter mode) { m_statusFilter = mode; }
    // Replace the code page list; -1 (as unsigned) selects records without a
    // code page and binaries. A null list with a count empties it.
    void SetCodepageFilters(const unsigned int* list, unsigned int count);
    void SetCodepageFilters(const CCodepageList& list) { m_codepageFilters = list; }
    // Appends; duplicates are kept.
    void AddCodepageFilter(unsigned int codepage) { m_codepageFilters.push_back(codepage); }

    bool IsBomFilterEnabled() const { return m_bomFilterEnabled; }
    bool IsPathFilterEnabled() const { return m_pathFilterEnabled; }
    bool IsFileNameFilterEnabled() const { return m_fileNameFilterEnabled; }
    bool IsCodepageFilterEnabled() const { return m_codepageFilterEnabled; }
    bool IsStatusFilterEnabled() const { return m_statusFilterEnabled; }
    bool IsAttentionFilterEnabled() const { return m_attentionFilterEnabled; }
    FilterInfoBomFilter GetBomFilter() const { return m_bomFilter; }
    const std::u16string& GetPathFilters() const { return m_pathFilters; }
    const std::u16string& GetFileNameFilters() const { return m_fileNameFilters; }
    const CCodepageList& GetCodepageFilters() const { return m_codepageFilters; }
    FileInfoStatusFilter GetStatusFilter() const { return m_statusFilter; }

    // Whether a processed record's result is doubtful: it ended with a
    // warning or an error (a cancelled one did not), characters were
    // replaced, or a reason says the text itself is suspicious (unsure or
    // unknown detection, double encoding, C1 controls, U+FFFD in the input,
    // an input that changed while read). A record not processed yet is not.
    static bool NeedsAttention(const CVarnexFileInfo* record);

    // The derived class's own test, asked only when every criterion above passed.
    virtual bool PassCustomFilter(CVarnexFileInfo* record) const = 0;
    // Copies the derived class's own criteria from source (any CFileInfoFilter).
    virtual void CopyCustomProperties(const CFileInfoFilter* source) = 0;
    // Whether the derived class's own criteria select anything.
    virtual bool HasCustomFilters() const = 0;

protected:
    virtual bool PassBomFilter(CVarnexFileInfo* record) const;
    virtual bool PassFileNameFilter(CVarnexFileInfo* record) const;
    virtual bool PassFilePathFilter(CVarnexFileInfo* record) const;
    virtual bool PassCodepageFilter(CVarnexFileInfo* record) const;
    virtual bool PassStatusFilter(CVarnexFileInfo* record) const;
    virtual bool PassAttentionFilter(CVarnexFileInfo* record) const { return NeedsAttention(record); }

    bool m_bomFilterEnabled = false;
    bool m_pathFilterEnabled = false;
    bool m_fileNameFilterEnabled = false;
    bool m_codepageFilterEnabled = false;
    bool m_statusFilterEnabled = false;
    bool m_attentionFilterEnabled = false;
    FilterInfoBomFilter m_bomFilter = FilterInfoBomBoth;
    std::u16string m_pathFilters;
    std::u16string m_fileNameFilters;
    CCodepageList m_codepageFilters;
    FileInfoStatusFilter m_statusFilter = FileInfoStatusAll;
};

// A filter as a predicate over records; does not own the filter.
class VARNEX_API CFileInfoFilterPred {
public:
    virtual ~CFileInfoFilterPred() = default;

    explicit CFileInfoFilterPred(const CFileInfoFilter* filter) : m_filter(filter) { }
    CFileInfoFilterPred(const CFileInfoFilterPred&) = default;
    CFileInfoFilterPred& operator=(const CFileInfoFilterPred&) = default;

    bool operator()(CVarnexFileInfo* record) const { return (*m_filter)(record); }

private:
    const CFileInfoFilter* m_filter;
};
