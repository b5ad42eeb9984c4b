#include "utils/recent_list.h"

#include <stdexcept>
#include <utility>

#include <QByteArray>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <QVariant>

#include "platform/native_path.h"

namespace {

QString ToQString(std::u16string_view s)
{
    return QString(reinterpret_cast<const QChar*>(s.data()), static_cast<qsizetype>(s.size()));
}

std::u16string FromQString(const QString& s)
{
    return s.toStdU16String();
}

// A raw file-name byte that is not UTF-8, as the file layer keeps it
// (U+DC80..U+DCFF without a high surrogate before it). The INI file is UTF-8
// text and would turn it into U+FFFD.
bool HoldsRawByte(std::u16string_view s)
{
    for (size_t i = 0; i < s.size(); ++i) {
        const char16_t c = s[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            ++i;
            continue;
        }
        if (c >= 0xDC80 && c <= 0xDCFF)
            return true;
    }
    return false;
}

// Such entries are stored as their native bytes (QSettings writes a byte array
// escaped), everything else as text.
QVariant ToStoredValue(const std::u16string& entry)
{
    if (HoldsRawByte(entry)) {
        const std::string bytes = platform::ToNativePath(entry);
        return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
    }
    return ToQString(entry);
}

std::u16string FromStoredValue(const QVariant& value)
{
    if (value.typeId() == QMetaType::QByteArray) {
        const QByteArray bytes = value.toByteArray();
        return platform::FromNativePath(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
    }
    // An unquoted value with commas, written by hand, reads as a list.
    if (value.typeId() == QMetaType::QStringList)
        return FromQString(value.toStringList().join(u','));
    return FromQString(value.toString());
}

QSettings OpenStore(const std::u16string& settingsFile)
{
    return QSettings(ToQString(settingsFile.empty() ? utils::DefaultSettingsFile() : settingsFile),
                     QSettings::IniFormat);
}

}  // namespace

CRecentList::~CRecentList() = default;

CRecentList::CRecentList(unsigned firstNumber, std::u16string section, std::u16string entryFormat, int size,
                         int maxDisplayLength, std::u16string settingsFile)
    : m_size(size),
      m_section(std::move(section)),
      m_entryFormat(std::move(entryFormat)),
      m_firstNumber(firstNumber),
      m_maxDisplayLength(maxDisplayLength),
      m_settingsFile(std::move(settingsFile))
{
    if (size < 0)
        throw std::invalid_argument("CRecentList: negative size");
    m_entries.resize(static_cast<size_t>(size));
}

CRecentList::CRecentList(const CRecentList& other) = default;
CRecentList& CRecentList::operator=(const CRecentList& other) = default;

void CRecentList::CheckIndex(int index) const
{
    if (index < 0 || index >= m_size)
        throw std::invalid_argument("CRecentList: index out of range");
}

void CRecentList::Remove(int index)
{
    CheckIndex(index);
    m_entries.erase(m_entries.begin() + index);
    m_entries.emplace_back();
}

void CRecentList::Add(std::u16string_view text)
{
    if (m_size == 0)
        return;  // nowhere to put it
    int i = 0;
    while (i < m_size - 1 && m_entries[static_cast<size_t>(i)] != text)
        ++i;
    // i is the match, or the last entry, which drops out.
    for (; i > 0; --i)
        m_entries[static_cast<size_t>(i)] = std::move(m_entries[static_cast<size_t>(i - 1)]);
    m_entries[0] = text;
}

const std::u16string& CRecentList::operator[](int index) const
{
    CheckIndex(index);
    return m_entries[static_cast<size_t>(index)];
}

std::u16string CRecentList::GetEntryName(int index) const
{
    return utils::FormatEntryName(m_entryFormat, static_cast<unsigned long long>(m_firstNumber) +
                                                     static_cast<unsigned long long>(index));
}

bool CRecentList::ReadList()
{
    for (auto& entry : m_entries)
        entry.clear();
    if (m_section.empty())
        return false;
    QSettings store = OpenStore(m_settingsFile);
    if (store.status() != QSettings::NoError)
        return false;
    store.beginGroup(ToQString(m_section));
    for (int k = 0; k < m_size; ++k)
        m_entries[static_cast<size_t>(k)] = FromStoredValue(store.value(ToQString(GetEntryName(k))));
    store.endGroup();
    return true;
}

bool CRecentList::WriteList()
{
    if (m_section.empty())
        return false;
    QSettings store = OpenStore(m_settingsFile);
    if (store.status() != QSettings::NoError)
        return false;
    const QString section = ToQString(m_section);
    store.remove(section);
    store.beginGroup(section);
    for (int k = 0; k < m_size; ++k) {
        const std::u16string& entry = m_entries[static_cast<size_t>(k)];
        if (!entry.empty())
            store.setValue(ToQString(GetEntryName(k)), ToStoredValue(entry));
    }
    store.endGroup();
    store.sync();
    return store.status() == QSettings::NoError;
}

namespace utils {

std::u16string DefaultSettingsFile()
{
    const QSettings store(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Quillmark"),
                          QStringLiteral("Varnel Professional 2"));
    return FromQString(store.fileName());
}

std::u16string FormatEntryName(std::u16string_view format, unsigned long long number)
{
    std::u16string out;
    bool done = false;
    size_t i = 0;
    while (i < format.size()) {
        const char16_t c = format[i];
        if (c != u'%' || i + 1 >= format.size()) {
            out.push_back(c);
            ++i;
            continue;
        }
        if (format[i + 1] == u'%') {
            out.push_back(u'%');
            i += 2;
            continue;
        }
        size_t j = i + 1;
        const bool zeroPad = format[j] == u'0';
        size_t width = 0;
        while (j < format.size() && format[j] >= u'0' && format[j] <= u'9' && width < 64)
            width = width * 10 + (format[j++] - u'0');
        if (done || j >= format.size() || (format[j] != u'd' && format[j] != u'i' && format[j] != u'u')) {
            out.push_back(c);  // not a conversion this helper fills
            ++i;
            continue;
        }
        std::u16string digits;
        unsigned long long n = number;
        do {
            digits.insert(digits.begin(), static_cast<char16_t>(u'0' + n % 10));
            n /= 10;
        } while (n != 0);
        if (digits.size() < width)
            digits.insert(0, width - digits.size(), zeroPad ? u'0' : u' ');
        out += digits;
        done = true;
        i = j + 1;
    }
    return out;
}

}  // namespace utils
