// The user's hands for tests of the real program: a Qt plugin the program
// loads at start (QT_PLUGIN_PATH, QT_QPA_GENERIC_PLUGINS=varneldriver) that
// opens Preferences and the Convert dialog the way the menus do, writes down
// what they show, changes what it is told to, and closes the window.
//
// Environment:
//   VARNEL_DRIVER_LOG         file the observations go to, one "Dialog/Name=value" a line
//   VARNEL_DRIVER_SET         "Name=value;..." set in Preferences before it closes
//   VARNEL_DRIVER_PREFERENCES "ok" presses OK in Preferences, else Cancel
//   VARNEL_DRIVER_CONVERT     a folder to open the Convert dialog on (cancelled)
//   VARNEL_DRIVER_SCREENSHOT  a PNG of Preferences as shown
//   VARNEL_DRIVER_WINDOW_SHOT a PNG of the main window as it opened
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QGenericPlugin>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimer>

namespace {

QString Env(const char* name)
{
    return qEnvironmentVariable(name);
}

QWidget* VisibleTopLevel(const char* className)
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->isVisible() && widget->inherits(className))
            return widget;
    return nullptr;
}

class WindowDriver : public QObject {
    Q_OBJECT

public:
    WindowDriver()
    {
        // Started from the event loop: the application object is still being made.
        QMetaObject::invokeMethod(this, &WindowDriver::Start, Qt::QueuedConnection);
    }

private:
    enum Step { WaitForWindow, WaitForPreferences, WaitForPreferencesClosed, WaitForConvert, Done };

    void Start()
    {
        connect(&m_poll, &QTimer::timeout, this, &WindowDriver::Poll);
        m_poll.start(20);
        QTimer::singleShot(60000, this, [this] {
            Log(QStringLiteral("Driver/Timeout=%1").arg(m_step));
            QCoreApplication::exit(3);
        });
    }

    void Log(const QString& line)
    {
        QFile file(Env("VARNEL_DRIVER_LOG"));
        if (file.open(QIODevice::Append | QIODevice::Text))
            file.write((line + u'\n').toUtf8());
    }

    // Every named control of a dialog with what it shows.
    void LogControls(QWidget* dialog, const QString& prefix)
    {
        for (QWidget* child : dialog->findChildren<QWidget*>()) {
            const QString name = child->objectName();
            if (name.isEmpty() || name.startsWith(u"qt_"))
                continue;
            QString value;
            if (auto* check = qobject_cast<QAbstractButton*>(child); check && check->isCheckable())
                value = check->isChecked() ? QStringLiteral("true") : QStringLiteral("false");
            else if (auto* spin = qobject_cast<QSpinBox*>(child))
                value = QString::number(spin->value());
            else if (auto* combo = qobject_cast<QComboBox*>(child))
                value = combo->currentText();
            else if (auto* line = qobject_cast<QLineEdit*>(child))
                value = line->text();
            else
                continue;
            Log(prefix + u'/' + name + u'=' + value);
        }
    }

    void Set(QWidget* dialog, const QString& name, const QString& value)
    {
        QWidget* child = dialog->findChild<QWidget*>(name);
        if (auto* check = qobject_cast<QAbstractButton*>(child))
            check->setChecked(value == u"true");
        else if (auto* spin = qobject_cast<QSpinBox*>(child))
            spin->setValue(value.toInt());
        else if (auto* combo = qobject_cast<QComboBox*>(child))
            combo->setCurrentText(value);
        else
            Log(QStringLiteral("Driver/NoControl=") + name);
    }

    // A message box some step raised: written down and answered with its default.
    bool AnswerPrompt()
    {
        auto* box = qobject_cast<QMessageBox*>(VisibleTopLevel("QMessageBox"));
        if (box == nullptr)
            return false;
        Log(QStringLiteral("Prompt=") + box->text().replace(u'\n', u' '));
        box->accept();
        return true;
    }

    void Poll()
    {
        if (AnswerPrompt())
            return;
        switch (m_step) {
        case WaitForWindow: {
            auto* frame = qobject_cast<QMainWindow*>(VisibleTopLevel("QMainWindow"));
            if (frame == nullptr)
                return;
            m_frame = frame;
            QWidget* bar = frame->findChild<QWidget*>(QStringLiteral("MessageBar"));
            auto* text = frame->findChild<QLabel*>(QStringLiteral("MessageText"));
            Log(QStringLiteral("Window/MessageBar=") + (bar != nullptr && bar->isVisible() && text != nullptr
                                                            ? text->text().replace(u'\n', u'|')
                                                            : QStringLiteral("hidden")));
            if (const QString shot = Env("VARNEL_DRIVER_WINDOW_SHOT"); !shot.isEmpty())
                frame->grab().save(shot);
            // What "File > Preferences..." does; the dialog runs in its own loop.
            QAction* preferences = frame->findChild<QMenu*>(QStringLiteral("FileMenu"))->actions().value(0);
            QTimer::singleShot(0, preferences, &QAction::trigger);
            m_step = WaitForPreferences;
            return;
        }
        case WaitForPreferences: {
            QWidget* sheet = VisibleTopLevel("CPreferenceSheet");
            if (sheet == nullptr)
                return;
            LogControls(sheet, QStringLiteral("Preferences"));
            if (const QString shot = Env("VARNEL_DRIVER_SCREENSHOT"); !shot.isEmpty())
                sheet->grab().save(shot);
            for (const QString& pair : Env("VARNEL_DRIVER_SET").split(u';', Qt::SkipEmptyParts))
                Set(sheet, pair.section(u'=', 0, 0), pair.section(u'=', 1));
            auto* buttons = sheet->findChild<QDialogButtonBox*>();
            const bool ok = Env("VARNEL_DRIVER_PREFERENCES") == u"ok";
            // Later, from the loop: OK may open a message box, and this timer
            // does not fire again inside its own call.
            QTimer::singleShot(0, buttons->button(ok ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel),
                               &QAbstractButton::click);
            m_step = WaitForPreferencesClosed;
            return;
        }
        case WaitForPreferencesClosed:
            if (VisibleTopLevel("CPreferenceSheet") != nullptr)
                return;
            if (const QString folder = Env("VARNEL_DRIVER_CONVERT"); !folder.isEmpty()) {
                // What "Convert to..." of the folder view's menu asks of the frame.
                for (QWidget* child : m_frame->findChildren<QWidget*>()) {
                    if (child->inherits("CFolderListWnd")) {
                        constexpr int kConvertTo = 4;
                        QMetaObject::invokeMethod(child, "commandRequested", Qt::QueuedConnection,
                                                  Q_ARG(int, kConvertTo), Q_ARG(QString, folder));
                        break;
                    }
                }
                m_step = WaitForConvert;
                return;
            }
            Finish();
            return;
        case WaitForConvert: {
            auto* dialog = qobject_cast<QDialog*>(VisibleTopLevel("CConvertDlg"));
            if (dialog == nullptr)
                return;
            LogControls(dialog, QStringLiteral("Convert"));
            dialog->reject();
            Finish();
            return;
        }
        case Done:
            return;
        }
    }

    void Finish()
    {
        m_step = Done;
        Log(QStringLiteral("Driver/Done=true"));
        QTimer::singleShot(0, m_frame, &QWidget::close);
    }

    QTimer m_poll;
    Step m_step = WaitForWindow;
    QMainWindow* m_frame = nullptr;
};

class WindowDriverPlugin : public QGenericPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "window_driver.json")

public:
    QObject* create(const QString&, const QString&) override { return new WindowDriver; }
};

}  // namespace

#include "window_driver.moc"
