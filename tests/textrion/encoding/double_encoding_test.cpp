#include <string>

#include <gtest/gtest.h>

#include "base/text.h"
#include "textrion/encoding/double_encoding.h"

namespace {

// Each text once as it should be and once encoded twice: UTF-8 bytes read as
// windows-1252 and written as UTF-8 again.
struct Pair {
    const char* name;
    std::string right;
    std::string twice;
};

const Pair kPairs[] = {
    {"French", "Le café est déjà prêt à l’heure.\n", "Le cafÃ© est dÃ©jÃ\xC2\xA0 prÃªt Ã\xC2\xA0 lâ€™heure.\n"},
    {"German", "Grüße aus Köln, schön süß.\n", "GrÃ¼ÃŸe aus KÃ¶ln, schÃ¶n sÃ¼ÃŸ.\n"},
    {"Portuguese", "Não há ação sem coração.\n", "NÃ£o hÃ¡ aÃ§Ã£o sem coraÃ§Ã£o.\n"},
    {"quotes and dashes", "“Yes” – she said…\n", "â€œYesâ€\xC2\x9D â€“ she saidâ€¦\n"},
};

TEST(DoubleEncoding, TellsTextEncodedTwiceFromTextEncodedOnce)
{
    for (const Pair& p : kPairs) {
        SCOPED_TRACE(p.name);
        EXPECT_TRUE(LooksDoubleEncoded(p.twice));
        EXPECT_FALSE(LooksDoubleEncoded(p.right));
    }
    // Genuine text: Latin-1 letters standing alone, other scripts, 7-bit.
    for (const char* text : {"Łukasz Żółć, Příliš žluťoučký kůň", "Tiếng Việt có dấu", "plain 7-bit", "",
                             "Ünïcödé ïs fïnë", "© 2024 Zoë Ärger"}) {
        SCOPED_TRACE(text);
        EXPECT_FALSE(LooksDoubleEncoded(text));
    }
}

// One example of mojibake in a text that is otherwise right is quoted, not a
// double-encoded file.
TEST(DoubleEncoding, NeedsMostOfTheNonAsciiTextToDecodeAgain)
{
    EXPECT_FALSE(LooksDoubleEncoded("Crème brûlée, à la carte, déjà vu, naïve: not Ã©"));
    EXPECT_TRUE(LooksDoubleEncoded("cafÃ© dÃ©jÃ\xC2\xA0 vu, naïve"));
}

// Replayed in pieces of every size up to 7 units, so that runs are cut.
std::string Repaired(const std::string& utf8, size_t piece)
{
    const std::u16string text = text::FromUtf8(utf8);
    CDoubleEncodingRepair repair;
    std::u16string out;
    for (size_t at = 0; at < text.size(); at += piece)
        repair.Repair(std::u16string_view(text).substr(at, piece), false, out);
    repair.Repair({}, true, out);
    return text::ToUtf8(out);
}

TEST(DoubleEncoding, UndoesEveryRunThatDecodesAgainAndKeepsTheRest)
{
    for (size_t piece : {size_t{1000}, size_t{1}, size_t{2}, size_t{3}, size_t{7}}) {
        SCOPED_TRACE(piece);
        for (const Pair& p : kPairs) {
            SCOPED_TRACE(p.name);
            EXPECT_EQ(Repaired(p.twice, piece), p.right);
            EXPECT_EQ(Repaired(p.right, piece), p.right);
        }
        EXPECT_EQ(Repaired("cafÃ© – Łódź \xF0\x9F\x98\x80 Ã", piece), "café – Łódź \xF0\x9F\x98\x80 Ã");
        EXPECT_EQ(Repaired("smile: \xC3\xB0\xC5\xB8\xCB\x9C\xE2\x82\xAC", piece), "smile: \xF0\x9F\x98\x80");
    }
}

TEST(DoubleEncoding, IgnoresACharacterCutAtTheEnd)
{
    const std::string twice = "cafÃ© dÃ©jÃ";
    EXPECT_TRUE(LooksDoubleEncoded(twice + "\xC2"));
}

}  // namespace
