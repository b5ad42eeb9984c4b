#include "app/settings/profile_store.h"

#include <QSettings>
#include <QString>
#include <QStringList>
#include <QVariant>

#include "platform/native_path.h"
#include "platform/process.h"

namespace {

constexpr char16_t kStoreFileName[] = u"Varnel Professional 2.ini";

QString Q(const std::u16string& s)
{
    return QString::fromStdU16String(s);
}

// Registry paths use '\' between keys; the store uses '/'.
QString KeyOf(const std::u16string& section, const std::u16string& entry)
{
    QString key = Q(section);
    key.replace(u'\\', u'/');
    if (!entry.empty()) {
        key += u'/';
        key += Q(entry);
    }
    return key;
}

}  // namespace

CProfileStore::CProfileStore() : CProfileStore(DefaultFilePath())
{
}

CProfileStore::CProfileStore(const std::u16string& iniFilePath)
    : m_filePath(iniFilePath),
      m_settings(std::make_unique<QSettings>(Q(iniFilePath), QSettings::IniFormat))
{
}

CProfileStore::~CProfileStore() = default;

std::u16string CProfileStore::DefaultFilePath()
{
    const std::u16string dir = platform::UserConfigFolder();
    if (dir.empty())
        return kStoreFileName;
    return dir + u"/Quillmark/" + kStoreFileName;
}

std::u16string CProfileStore::GetProfileString(const std::u16string& section, const std::u16string& entry,
                                               const std::u16string& defaultValue) const
{
    const QVariant value = m_settings->value(KeyOf(section, entry));
    return value.isValid() ? value.toString().toStdU16String() : defaultValue;
}

int CProfileStore::GetProfileInt(const std::u16string& section, const std::u16string& entry, int defaultValue) const
{
    bool ok = false;
    const int value = m_settings->value(KeyOf(section, entry)).toString().trimmed().toInt(&ok);
    return ok ? value : defaultValue;
}

bool CProfileStore::WriteProfileString(const std::u16string& section, const std::u16string& entry,
                                       const std::u16string& value)
{
    m_settings->setValue(KeyOf(section, entry), Q(value));
    return Commit();
}

bool CProfileStore::WriteProfileInt(const std::u16string& section, const std::u16string& entry, int value)
{
    m_settings->setValue(KeyOf(section, entry), QString::number(value));
    return Commit();
}

bool CProfileStore::DeleteEntry(const std::u16string& section, const std::u16string& entry)
{
    if (entry.empty())
        return true;  // an empty entry name would address the whole section
    m_settings->remove(KeyOf(section, entry));
    return Commit();
}

bool CProfileStore::DeleteSection(const std::u16string& section)
{
    if (section.empty())
        return true;  // remove("") would empty the whole store
    m_settings->remove(KeyOf(section, {}));
    return Commit();
}

std::vector<std::u16string> CProfileStore::GetEntries(const std::u16string& section) const
{
    m_settings->beginGroup(KeyOf(section, {}));
    QStringList keys = m_settings->childKeys();
    m_settings->endGroup();
    keys.sort();
    std::vector<std::u16string> entries;
    entries.reserve(static_cast<size_t>(keys.size()));
    for (const QString& key : keys)
        entries.push_back(key.toStdU16String());
    return entries;
}

bool CProfileStore::ResetLayout()
{
    m_settings->remove(KeyOf(kLayoutKey, {}));
    m_settings->remove(KeyOf(kSplittersKey, {}));
    m_settings->remove(KeyOf(kWindowPlacementsKey, {}));
    return Commit();
}

bool CProfileStore::Commit()
{
    m_settings->sync();
    switch (m_settings->status()) {
    case QSettings::NoError:
        m_lastError.clear();
        return true;
    case QSettings::FormatError:
        m_lastError = u"\"" + m_filePath + u"\" is no settings file that can be read";
        return false;
    default:
        m_lastError = u"\"" + m_filePath + u"\" cannot be written";
        return false;
    }
}
