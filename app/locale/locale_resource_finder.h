#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "app/locale/locale_resource_info.h"
#include "base/lockable.h"
#include "platform/process.h"
#include "textrion/finder/file_finder.h"
#include "textrion/path/long_path.h"

// Lists the installed languages: every "locale.xml" (name compared without
// regard to case) in the folder "Locales" beside the program, sub-folders
// included, that parses. The search runs once, on its own thread, on first
// demand; GetLocaleList waits for it.
class CLocaleResourceFinder : public CFileFinderThread {
public:
    ~CLocaleResourceFinder() override;

    // programFolder: the folder holding "Locales" (the program's data folder,
    // share/varnelpro when installed, unless a test says otherwise).
    explicit CLocaleResourceFinder(std::u16string programFolder = platform::ProgramDataFolder());

    // Starts the search unless it ran or runs already; does not wait.
    void StartSearch();
    // The installed languages, ordered by locale name (ignoring ASCII case);
    // starts the search when needed and waits for it. Any thread may call it.
    std::vector<CXmlLocaleResourceInfo> GetLocaleList();

    const std::u16string& GetProgramFolder() const { return m_programFolder; }
    std::u16string GetLocalesFolder() const;

    static const char16_t* const LOCALES_FOLDER;
    static const char16_t* const LOCALE_XML;

protected:
    void OnFileFound(const CFindEntry& entry, CFileFinderJob* job) override;

private:
    void StartSearchLocked();

    std::u16string m_programFolder;
    std::mutex m_searchMutex;  // serialises starting and awaiting the one search
    bool m_searched = false;
    CLockable m_listLock;
    std::vector<CXmlLocaleResourceInfo> m_list;
};
