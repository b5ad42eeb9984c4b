#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>

#include <pugixml.hpp>

namespace {

namespace fs = std::filesystem;

using Message = std::pair<std::string, std::string>;  // context, source text

// One C string literal (or several adjacent ones) starting at `at`, unescaped;
// `at` moves past it. False when no literal starts there.
bool ReadLiterals(const std::string& code, size_t& at, std::string& value)
{
    bool any = false;
    for (;;) {
        size_t p = code.find_first_not_of(" \t\r\n", at);
        if (p == std::string::npos || code[p] != '"')
            return any;
        for (++p; p < code.size() && code[p] != '"'; ++p) {
            if (code[p] != '\\') {
                value += code[p];
                continue;
            }
            const char e = code[++p];
            value += e == 'n' ? '\n' : e == 't' ? '\t' : e;
        }
        at = p + 1;
        any = true;
    }
}

// The engine's reason texts: every Say("text") of its outcome descriptions,
// shown through the "Reasons" context.
void AddReasonTexts(std::set<Message>& used)
{
    std::ifstream in(fs::path(VARNEL_SOURCE_DIR) / "varnex" / "convert" / "file_outcome.cpp");
    std::stringstream buffer;
    buffer << in.rdbuf();
    const std::string code = buffer.str();
    for (size_t at = code.find("Say("); at != std::string::npos; at = code.find("Say(", at + 4)) {
        size_t p = at + 4;
        std::string text;
        if (ReadLiterals(code, p, text))
            used.emplace("Reasons", text);
    }
}

// Every Tr("context", "text"), TrH("text") and TrNoop("text") of the program's sources.
std::set<Message> UsedMessages()
{
    std::set<Message> used;
    AddReasonTexts(used);
    for (const auto& entry : fs::recursive_directory_iterator(fs::path(VARNEL_SOURCE_DIR) / "app")) {
        if (entry.path().extension() != ".cpp")
            continue;
        std::ifstream in(entry.path());
        std::stringstream buffer;
        buffer << in.rdbuf();
        const std::string code = buffer.str();
        for (size_t at = code.find("Tr"); at != std::string::npos; at = code.find("Tr", at + 2)) {
            if (at > 0 && (isalnum(static_cast<unsigned char>(code[at - 1])) || code[at - 1] == '_'))
                continue;
            size_t p = at + 2;
            std::string context = "Headless", text;
            if (code.compare(p, 2, "H(") == 0) {
                p += 2;
            } else if (code.compare(p, 5, "Noop(") == 0) {
                p += 5;  // table texts, shown through the "Headless" context
            } else if (code.compare(p, 1, "(") == 0) {
                ++p;
                context.clear();
                if (!ReadLiterals(code, p, context))
                    continue;
                p = code.find_first_not_of(" \t\r\n", p);
                if (p == std::string::npos || code[p] != ',')
                    continue;
                ++p;
            } else {
                continue;
            }
            if (ReadLiterals(code, p, text))
                used.emplace(context, text);
        }
    }
    return used;
}

TEST(Translations, EveryShippedLanguageTranslatesEveryMessageTheProgramShows)
{
    const std::set<Message> used = UsedMessages();
    ASSERT_GT(used.size(), 20u) << "the scan found too little; did the Tr helpers change?";
    unsigned languages = 0;
    for (const auto& entry : fs::recursive_directory_iterator(fs::path(VARNEL_SOURCE_DIR) / "Locales")) {
        if (entry.path().extension() != ".ts")
            continue;
        ++languages;
        SCOPED_TRACE(entry.path().string());
        pugi::xml_document ts;
        ASSERT_TRUE(ts.load_file(entry.path().c_str()));
        std::map<Message, std::string> translated;
        for (const auto& context : ts.child("TS").children("context")) {
            for (const auto& message : context.children("message")) {
                const pugi::xml_node translation = message.child("translation");
                if (std::string(translation.attribute("type").value()) != "unfinished")
                    translated[{context.child_value("name"), message.child_value("source")}] =
                        translation.child_value();
            }
        }
        for (const Message& message : used) {
            const auto found = translated.find(message);
            EXPECT_TRUE(found != translated.end() && !found->second.empty())
                << "untranslated in " << message.first << ": \"" << message.second << "\" (" << message.second.size()
                << ")";
        }
    }
    EXPECT_GE(languages, 1u);
}

}  // namespace
