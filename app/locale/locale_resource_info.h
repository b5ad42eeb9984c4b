#pragma once

#include <memory>
#include <string>

class QTranslator;

// One interface language: where its translation and help file lie and how it
// presents itself in the language menu. The default-constructed description
// is the built-in English one (the program's own strings, no translation).
class CLocaleResourceInfo {
public:
    virtual ~CLocaleResourceInfo();

    // The built-in English description; its help file is programFolder/help/index.html.
    explicit CLocaleResourceInfo(const std::u16string& programFolder);
    CLocaleResourceInfo(const CLocaleResourceInfo&) = default;
    CLocaleResourceInfo& operator=(const CLocaleResourceInfo&) = default;

    // The loaded translation; null until a manager accepted this language.
    std::shared_ptr<const QTranslator> GetModule() const { return m_module; }
    const std::u16string& GetResourceFile() const { return m_resourceFile; }
    const std::u16string& GetHelpFile() const { return m_helpFile; }
    const std::u16string& GetLocale() const { return m_locale; }
    const std::u16string& GetEnglishName() const { return m_englishName; }
    const std::u16string& GetDisplayName() const { return m_displayName; }
    const std::u16string& GetAuthor() const { return m_author; }
    const std::u16string& GetWebUrl() const { return m_webUrl; }
    const std::u16string& GetEmail() const { return m_email; }
    const std::u16string& GetCopyright() const { return m_copyright; }
    const std::u16string& GetComment() const { return m_comment; }
    // The program version the bundle was made for ("2.0.0"); the program's
    // own version for the built-in description.
    const std::u16string& GetVersion() const { return m_version; }
    bool IsValid() const { return m_valid; }
    bool IsBuiltIn() const { return m_builtIn; }

    // Whether the bundle's version has the same first two numbers as the
    // program's. A version with fewer than two numbers, or with anything but
    // digits between the dots, matches nothing.
    static bool VersionMatches(const std::u16string& bundleVersion, const std::u16string& programVersion);

    // The program's manual, relative to its folder, and the folder that
    // holds it with one subfolder per translated manual (help/de_DE).
    static const char16_t* const DEFAULT_HELP_FILE;
    static const char16_t* const HELP_FOLDER;

protected:
    friend class CLocaleResourceManager;

    std::shared_ptr<QTranslator> m_module;
    std::u16string m_resourceFile;
    std::u16string m_helpFile;
    std::u16string m_locale;
    std::u16string m_englishName;
    std::u16string m_displayName;
    std::u16string m_author;
    std::u16string m_webUrl;
    std::u16string m_email;
    std::u16string m_copyright;
    std::u16string m_comment;
    std::u16string m_version;
    bool m_valid = true;  // the built-in language needs no version check
    bool m_builtIn = true;
};

// A language bundle described by a "locale.xml" file:
//
//   <varnelLocaleInfo locale="de_DE">
//     <version>2.0.0</version>
//     <resourceFile>varnelpro_de_DE.qm</resourceFile>
//     <helpFile>hilfe.html</helpFile>
//     <englishName>German (Germany)</englishName>
//     <displayName>Deutsch (Deutschland)</displayName>
//     <author/> <webUrl/> <email/> <copyright/> <comment/>
//   </varnelLocaleInfo>
//
// resourceFile and helpFile are relative to the folder of locale.xml; an empty
// "locale" attribute takes the name of that folder.
class CXmlLocaleResourceInfo : public CLocaleResourceInfo {
public:
    ~CXmlLocaleResourceInfo() override;

    // Reads the file at once. A file that is missing, does not parse or lacks
    // the root element leaves IsParsed() false.
    CXmlLocaleResourceInfo(const std::u16string& programFolder, const std::u16string& xmlPath);
    CXmlLocaleResourceInfo(const CXmlLocaleResourceInfo&) = default;
    CXmlLocaleResourceInfo& operator=(const CXmlLocaleResourceInfo&) = default;

    const std::u16string& GetXmlPath() const { return m_xmlPath; }
    bool IsParsed() const { return m_parsed; }

private:
    bool Parse();

    std::u16string m_xmlPath;
    bool m_parsed = false;
};
