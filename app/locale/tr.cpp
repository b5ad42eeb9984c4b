#include "app/locale/tr.h"

#include <mutex>

#include <QCoreApplication>
#include <QString>
#include <QTranslator>

#include "base/text.h"

namespace {

std::mutex& ActiveMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::shared_ptr<QTranslator>& ActiveTranslator()
{
    static std::shared_ptr<QTranslator> translator;
    return translator;
}

std::shared_ptr<const QTranslator> CurrentTranslator()
{
    std::lock_guard<std::mutex> lock(ActiveMutex());
    return ActiveTranslator();
}

}  // namespace

namespace locale_detail {

std::shared_ptr<QTranslator> ExchangeActiveTranslator(std::shared_ptr<QTranslator> translator)
{
    std::lock_guard<std::mutex> lock(ActiveMutex());
    ActiveTranslator().swap(translator);
    return translator;
}

}  // namespace locale_detail

std::u16string Tr(const char* context, const char* text)
{
    if (text == nullptr)
        return {};
    // Asked directly so that a program without a QCoreApplication (or one
    // made after the language was loaded) still gets its translation.
    if (const std::shared_ptr<const QTranslator> translator = CurrentTranslator()) {
        const QString translated = translator->translate(context, text);
        if (!translated.isEmpty())
            return translated.toStdU16String();
    }
    if (QCoreApplication::instance() != nullptr)
        return QCoreApplication::translate(context, text).toStdU16String();
    return text::FromUtf8(text);
}

std::u16string Tr(const char* context, const char* text, std::u16string_view arg)
{
    std::u16string result = Tr(context, text);
    for (size_t at = result.find(u"%1"); at != std::u16string::npos; at = result.find(u"%1", at + arg.size()))
        result.replace(at, 2, arg);
    return result;
}

std::u16string Tr(const char* context, const char* text, std::initializer_list<std::u16string_view> args)
{
    const std::u16string format = Tr(context, text);
    std::u16string result;
    result.reserve(format.size());
    for (size_t at = 0; at < format.size(); ++at) {
        const size_t index = at + 1 < format.size() && format[at] == u'%' ? size_t(format[at + 1] - u'1') : args.size();
        if (index < args.size() && index < 9) {
            result += args.begin()[index];
            ++at;
        } else {
            result += format[at];
        }
    }
    return result;
}
