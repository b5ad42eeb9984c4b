#pragma once

#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>

class QTranslator;

// The text of an English message in the interface language the locale
// resource manager chose, or the English text itself when it chose English
// or the language has no translation for it. Works with and without a
// QCoreApplication: the chosen translation is asked directly, then the
// application's installed translators. Any thread may call it.
//
// Contexts: "Language" for the language menu and preference page,
// "Headless" for the command-line program.
std::u16string Tr(const char* context, const char* text);
// The same, with every "%1" of the translated text replaced by arg.
std::u16string Tr(const char* context, const char* text, std::u16string_view arg);
// The same with "%1" to "%9" replaced by the arguments in order, in one pass:
// an argument that holds "%2" is not replaced again.
std::u16string Tr(const char* context, const char* text, std::initializer_list<std::u16string_view> args);

// Marks a literal kept in a table for the translation files; it is
// translated with Tr where it is shown.
constexpr const char* TrNoop(const char* text)
{
    return text;
}

namespace locale_detail {

// The manager's hook: makes translator the one Tr asks first (null: none)
// and returns the one it replaces.
std::shared_ptr<QTranslator> ExchangeActiveTranslator(std::shared_ptr<QTranslator> translator);

}  // namespace locale_detail
