#include "app/window/models/shell_actions.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDateTime>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QPushButton>
#include <QVBoxLayout>
#include <vector>

#ifdef VARNEL_WITH_DBUS
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#endif

#include "app/locale/tr.h"
#include "app/window/qt_text.h"
#include "platform/file_api.h"
#include "platform/native_path.h"
#include "textrion/path/long_path.h"

namespace shell_detail {

namespace {

void ShowItemThroughFileManager(QWidget* parent, const QUrl& item, std::function<void()> fallback)
{
#ifdef VARNEL_WITH_DBUS
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
            QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
        call << QStringList{item.toString(QUrl::FullyEncoded)} << QString();
        // Asynchronous: a file manager that is slow to start never holds the window.
        auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 5000), parent);
        QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                         [fallback = std::move(fallback)](QDBusPendingCallWatcher* self) {
                             if (self->isError())
                                 fallback();
                             self->deleteLater();
                         });
        return;
    }
#else
    (void)parent;
    (void)item;
#endif
    fallback();
}

}  // namespace

DesktopHooks& Hooks()
{
    static DesktopHooks hooks{
        [](const QUrl& url) { return QDesktopServices::openUrl(url); },
        ShowItemThroughFileManager,
        [](QWidget* parent, const QString& message) {
            QMessageBox::warning(parent, Qs(Tr("Shell", "Varnel Professional")), message);
        },
    };
    return hooks;
}

QUrl FileUrl(const std::u16string& path)
{
    const std::string native = platform::ToNativePath(CLongPath(path).GetPath());
    return QUrl::fromEncoded("file://" + QByteArray::fromStdString(native).toPercentEncoding("/"), QUrl::StrictMode);
}

bool IsProgramFile(const std::u16string& path)
{
    const CLongPath file(path);
    const std::u16string extension = QString(Qs(file.GetExtension())).toLower().toStdU16String();
    if (extension == u".desktop" || extension == u".appimage")
        return true;
    platform::FileStatus status;
    if (!platform::GetFileStatus(path, &status) || status.type != platform::FileType::Regular)
        return false;
    char head[4] = {};
    size_t got = 0;
    const platform::FileHandle handle =
        platform::OpenFile(path, platform::FILE_ACCESS_READ, platform::FILE_OPEN_EXISTING);
    if (handle != platform::INVALID_FILE_HANDLE) {
        platform::ReadFile(handle, head, sizeof(head), &got);
        platform::CloseFile(handle);
    }
    const std::string_view start(head, got);
    if (start.substr(0, 4) == "\x7F"
                              "ELF" ||
        start.substr(0, 2) == "MZ")
        return true;
    // A script the user may run: a file manager may run it rather than show it.
    return start.substr(0, 2) == "#!" && (status.mode & 0111) != 0;
}

}  // namespace shell_detail

using shell_detail::FileUrl;
using shell_detail::Hooks;

namespace {

platform::FileType TypeOf(const std::u16string& path)
{
    platform::FileStatus status;
    return platform::GetFileStatus(path, &status) ? status.type : platform::FileType::None;
}

void OpenFolder(QWidget* parent, const std::u16string& folder)
{
    if (TypeOf(folder) != platform::FileType::Directory || !Hooks().openUrl(FileUrl(folder)))
        Hooks().warn(parent, Qs(Tr("Shell", "Unable to open this folder.")));
}

}  // namespace

void OpenContainingFolder(QWidget* parent, const std::u16string& path)
{
    const platform::FileType type = TypeOf(path);
    if (type == platform::FileType::Directory) {
        OpenFolder(parent, path);
        return;
    }
    const std::u16string folder = CLongPath(CLongPath(path).GetDirectory()).RemoveBackslash().GetPath();
    if (type == platform::FileType::None) {
        // The file is gone; its folder may still be there.
        OpenFolder(parent, folder);
        return;
    }
    Hooks().showItem(parent, FileUrl(path), [parent, folder] { OpenFolder(parent, folder); });
}

void OpenFile(QWidget* parent, const std::u16string& path)
{
    if (TypeOf(path) != platform::FileType::Regular) {
        Hooks().warn(parent, Qs(Tr("Shell", "Unable to open this file.")));
        return;
    }
    if (shell_detail::IsProgramFile(path)) {
        Hooks().warn(parent,
                     Qs(Tr("Shell", "This file is a program. It is shown in its folder instead of being run.")));
        OpenContainingFolder(parent, path);
        return;
    }
    if (!Hooks().openUrl(FileUrl(path)))
        Hooks().warn(parent, Qs(Tr("Shell", "Unable to open this file.")));
}

void ShowProperties(QWidget* parent, const std::u16string& path)
{
    if (TypeOf(path) == platform::FileType::None) {
        Hooks().warn(parent, Qs(Tr("Shell", "Unable to open this file.")));
        return;
    }
    CFilePropertiesDlg dialog(parent, path);
    dialog.exec();
}

// ---------------------------------------------------------------------------

namespace {

QString TimeText(const struct timespec& time)
{
    if (time.tv_sec == 0 && time.tv_nsec == 0)
        return Qs(Tr("Shell", "Unknown"));
    // ISO order reads the same in every interface language.
    return QDateTime::fromSecsSinceEpoch(time.tv_sec).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

// "rw-r--r-- (644)"
QString PermissionText(mode_t mode)
{
    QString text;
    const char letters[] = "rwxrwxrwx";
    for (int bit = 0; bit < 9; ++bit)
        text += (mode & (0400 >> bit)) ? QChar::fromLatin1(letters[bit]) : QChar(u'-');
    return QStringLiteral("%1 (%2)").arg(text).arg(mode & 07777, 3, 8, QChar(u'0'));
}

QString OwnerText(uid_t uid, gid_t gid)
{
    std::vector<char> buffer(16384);
    passwd user{};
    passwd* userFound = nullptr;
    group grp{};
    group* groupFound = nullptr;
    getpwuid_r(uid, &user, buffer.data(), buffer.size() / 2, &userFound);
    getgrgid_r(gid, &grp, buffer.data() + buffer.size() / 2, buffer.size() / 2, &groupFound);
    const QString userName = userFound ? QString::fromLocal8Bit(userFound->pw_name) : QString::number(uid);
    const QString groupName = groupFound ? QString::fromLocal8Bit(groupFound->gr_name) : QString::number(gid);
    return QStringLiteral("%1 / %2").arg(userName, groupName);
}

}  // namespace

CFilePropertiesDlg::CFilePropertiesDlg(QWidget* parent, const std::u16string& path) : QDialog(parent)
{
    setObjectName(QStringLiteral("FilePropertiesDlg"));
    const CLongPath file(path);
    const QString name = Qs(file.GetFileName());
    setWindowTitle(Qs(Tr("Shell", "Properties of %1", file.GetFileName())));
    m_form = new QFormLayout;
    m_form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);

    AddRow(Qs(Tr("Shell", "Name")), name);
    AddRow(Qs(Tr("Shell", "Location")), Qs(CLongPath(file.GetDirectory()).RemoveBackslash().GetPath()));
    const std::string native = platform::ToNativePath(path);
    struct statx info { };
    const bool known =
        statx(AT_FDCWD, native.c_str(), AT_STATX_SYNC_AS_STAT, STATX_BASIC_STATS | STATX_BTIME, &info) == 0;
    if (!known) {
        AddRow(Qs(Tr("Shell", "Type")), Qs(Tr("Shell", "Unknown")));
    } else {
        const bool folder = S_ISDIR(info.stx_mode);
        QString type;
        if (folder)
            type = Qs(Tr("Shell", "Folder"));
        else if (S_ISREG(info.stx_mode))
            type = QMimeDatabase().mimeTypeForFile(QString::fromLocal8Bit(native.c_str())).comment();
        else
            type = Qs(Tr("Shell", "Special file"));
        AddRow(Qs(Tr("Shell", "Type")), type);
        if (!folder)
            AddRow(Qs(Tr("Shell", "Size")),
                   Qs(Tr("Shell", "%1 bytes",
                         QLocale().toString(static_cast<qulonglong>(info.stx_size)).toStdU16String())));
        const auto stamp = [](const struct statx_timestamp& t) {
            return timespec{static_cast<time_t>(t.tv_sec), t.tv_nsec};
        };
        AddRow(Qs(Tr("Shell", "Modified")), TimeText(stamp(info.stx_mtime)));
        AddRow(Qs(Tr("Shell", "Accessed")), TimeText(stamp(info.stx_atime)));
        AddRow(Qs(Tr("Shell", "Created")),
               (info.stx_mask & STATX_BTIME) ? TimeText(stamp(info.stx_btime)) : Qs(Tr("Shell", "Unknown")));
        AddRow(Qs(Tr("Shell", "Permissions")), PermissionText(info.stx_mode));
        AddRow(Qs(Tr("Shell", "Owner")), OwnerText(info.stx_uid, info.stx_gid));
    }

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Close)->setText(Qs(Tr("Shell", "Close")));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(m_form);
    layout->addStretch(1);
    layout->addWidget(buttons);
    setMinimumWidth(420);
}

CFilePropertiesDlg::~CFilePropertiesDlg() = default;

void CFilePropertiesDlg::AddRow(const QString& title, const QString& value)
{
    auto* label = new QLabel(value, this);
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setWordWrap(true);
    m_form->addRow(title + QLatin1Char(':'), label);
}

QString CFilePropertiesDlg::ValueOf(const QString& title) const
{
    const QString wanted = title + QLatin1Char(':');
    for (int row = 0; row < m_form->rowCount(); ++row) {
        const auto* label = qobject_cast<QLabel*>(m_form->itemAt(row, QFormLayout::LabelRole)
                                                      ? m_form->itemAt(row, QFormLayout::LabelRole)->widget()
                                                      : nullptr);
        const auto* field = m_form->itemAt(row, QFormLayout::FieldRole);
        if (label && field && label->text() == wanted)
            if (const auto* value = qobject_cast<QLabel*>(field->widget()))
                return value->text();
    }
    return QString();
}
