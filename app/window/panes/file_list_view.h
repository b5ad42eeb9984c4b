#pragma once

#include <set>
#include <string>
#include <vector>

#include "app/window/panes/varnex_list_view.h"
#include "varnex/session/session_records.h"

// The "File View" tab: the files of the folder selected in the folder tree,
// detected by an engine of its own, and converted in place with "Convert
// here" (each file beside itself as "name (Converted).ext"; the outputs join
// the list as files of their own).
class CFileListView : public CVarnexListView {
    Q_OBJECT

public:
    explicit CFileListView(QWidget* parent = nullptr);
    ~CFileListView() override;

    // Stops what the engine does, empties the list and detects the folder's
    // files (not recursive, hidden ones left out). While the view is hidden
    // the folder is only noted and detected when the view is shown. While the
    // view converts, asks first ("File View is busy").
    void SetFolder(const std::u16string& folder);
    // The folder the list shows (or is about to show).
    const std::u16string& Folder() const { return m_folder; }

    // The settings' job setting and the current profile's options, used for
    // detection and for "Convert here".
    void SetJobSetting(const VARNEXJOBSETTING& job) { m_job = job; }
    void SetConvertOptions(const ConversionOptions& options) { m_options = options; }

    // Input paths of the selected rows.
    std::vector<std::u16string> SelectedFiles() const;
    bool CanConvertHere() const;
    // Converts the selected detected files into their own folders; false when
    // nothing could start.
    bool ConvertHere();
    // A "Convert here" session runs.
    bool IsConverting() const { return m_converting && IsRunning(); }

    // "dir/name (Converted).ext", or with " (2)", " (3)", ... after the name
    // while such a file exists or the name is in taken.
    static std::u16string ProposedOutputPath(const std::u16string& input, const std::set<std::u16string>& taken = {});

signals:
    void convertToRequested(std::vector<std::u16string> files);

protected:
    void showEvent(QShowEvent* event) override;
    void OnSessionMessage(VARNEXMESSAGE message, intptr_t lParam) override;
    void FillContextMenu(QMenu& menu) override;

private:
    // Detects the wanted folder once the view is visible and the engine idle,
    // stopping a detection still under way.
    void StartFolderWhenDue();
    // "Please wait": true when the user chose to cancel the conversion.
    bool AskToCancelConversion();

    std::u16string m_folder;
    bool m_folderDue = false;
    bool m_stopAsked = false;
    bool m_converting = false;
    VARNEXJOBSETTING m_job;
    ConversionOptions m_options;
};
