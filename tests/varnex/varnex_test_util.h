#pragma once

#include <unicode/ucnv.h>

#include <cerrno>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "platform/file_api.h"
#include "support/file_faults.h"
#include "support/iconv_oracle.h"
#include "varnex/codepage/advanced_detector.h"

namespace varnex_test {

// A sample with ASCII, Latin, Greek, Cyrillic, Hebrew, Arabic, CJK, Hangul,
// Thai, a combining mark, supplementary characters and every kind of line
// break. No U+0000: the UTF-8 reader treats a zero byte as no text.
inline const std::u16string kMultilingual =
    u"Gr\u00FC\u00DFe, \u0394\u03B9\u03B1 \u041C\u0438\u0440! \u05E9\u05DC\u05D5\u05DD "
    u"\u0645\u0631\u062D\u0628\u0627\r\n"
    u"\u65E5\u672C\u8A9E \uD55C\uAD6D\uC5B4 \u0E20\u0E32\u0E29\u0E32 e\u0301\u0323\r"
    u"\U0001F600\U00020000 tab\there\nend \U0010FFFD\u00A0\uFFFD!\n\r\n\n\r";

// Prose for the statistical detector: the probers need a few hundred
// characters of real language to become confident.
inline const std::u16string kRussianProse =
    u"В начале было слово. Москва - столица России, крупнейший по численности населения город страны. "
    u"Город расположен на реке Москве в центре Восточно-Европейской равнины. Здесь находятся многие "
    u"музеи, театры, университеты и библиотеки. Летом жители часто гуляют по паркам и набережным, а "
    u"зимой катаются на коньках и лыжах. Каждый год в город приезжают миллионы туристов со всего мира.\n";

inline const std::u16string kGreekProse =
    u"Η Ελλάδα είναι χώρα της νοτιοανατολικής Ευρώπης, στο νότιο άκρο της Βαλκανικής χερσονήσου. Η "
    u"πρωτεύουσα και μεγαλύτερη πόλη της χώρας είναι η Αθήνα. Η ελληνική γλώσσα έχει μακρά ιστορία και "
    u"πλούσια λογοτεχνία, από τα έπη του Ομήρου μέχρι τη σύγχρονη ποίηση. Οι κάτοικοι αγαπούν τη "
    u"θάλασσα, τον ήλιο και το καλό φαγητό.\n";

inline const std::u16string kJapaneseProse =
    u"日本は東アジアに位置する島国である。首都は東京で、人口は約一億二千万人である。日本語は日本の公用語"
    u"であり、ひらがな、カタカナ、漢字の三種類の文字を使って書かれる。春には桜が咲き、多くの人々が花見を"
    u"楽しむ。夏は暑く、秋には紅葉が美しい。冬には北の地方で雪がたくさん降る。\n";

inline const std::u16string kChineseProse =
    u"中华人民共和国位于亚洲东部，太平洋西岸。首都是北京，最大的城市是上海。中国有着悠久的历史和灿烂的"
    u"文化，是世界四大文明古国之一。汉语是中国的官方语言，使用的人数在世界上最多。春节是中国最重要的传统"
    u"节日，人们在这一天与家人团聚，吃饺子，放鞭炮。\n";

inline const std::u16string kTraditionalChineseProse =
    u"臺灣位於東亞，是一個美麗的島嶼。首都是臺北，人口約兩千三百萬人。臺灣的文化融合了中華傳統與原住民的"
    u"特色，飲食文化非常豐富，夜市小吃聞名世界。每年春節的時候，家家戶戶都會貼春聯、吃年夜飯，並且發紅包"
    u"給孩子們。\n";

inline const std::u16string kKoreanProse =
    u"대한민국은 동아시아의 한반도 남부에 위치한 나라이다. 수도는 서울이며, 인구는 약 오천만 명이다. "
    u"한국어는 한글이라는 고유한 문자로 쓰인다. 봄에는 벚꽃이 피고, 여름에는 덥고 비가 많이 온다. "
    u"가을에는 단풍이 아름답고, 겨울에는 춥고 눈이 내린다.\n";

inline const std::u16string kFrenchProse =
    u"Le français est une langue romane parlée en France, en Belgique, en Suisse, au Canada et dans de "
    u"nombreux pays d'Afrique. À l'été, les élèves préfèrent se reposer à la plage ou à la campagne. Où "
    u"êtes-vous allés pendant les vacances ? Nous avons visité une église très célèbre et goûté des "
    u"spécialités régionales délicieuses. Ça coûte cher, mais c'était vraiment génial. Le théâtre, la "
    u"côte et la forêt sont à deux pas.\n";

inline const std::u16string kHebrewProse =
    u"ישראל היא מדינה במזרח התיכון, על חופו המזרחי של הים התיכון. בירתה היא ירושלים, והעיר הגדולה ביותר "
    u"במטרופולין היא תל אביב. השפה העברית היא השפה הרשמית של המדינה. בקיץ מזג האוויר חם מאוד, ובחורף "
    u"יורד גשם בצפון הארץ.\n";

// Whole-buffer conversion through ICU, the oracle for the Unicode output forms.
inline std::string IcuEncode(const char* charset, std::u16string_view text)
{
    UErrorCode status = U_ZERO_ERROR;
    UConverter* cnv = ucnv_open(charset, &status);
    EXPECT_TRUE(U_SUCCESS(status)) << charset;
    if (U_FAILURE(status))
        return {};
    ucnv_setFromUCallBack(cnv, UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    std::string out(text.size() * 4 + 16, '\0');
    const int32_t n = ucnv_fromUChars(cnv, out.data(), static_cast<int32_t>(out.size()), text.data(),
                                      static_cast<int32_t>(text.size()), &status);
    ucnv_close(cnv);
    EXPECT_TRUE(U_SUCCESS(status)) << charset << ": " << u_errorName(status);
    out.resize(U_SUCCESS(status) ? static_cast<size_t>(n) : 0);
    return out;
}

using testing_support::Iconv;

// The two odd UCS-4 byte orders, from big-endian UTF-32 (byte 1234 of each unit).
inline std::string Reorder32(std::string_view be, const int order[4])
{
    std::string out(be.size(), '\0');
    for (size_t i = 0; i + 4 <= be.size(); i += 4)
        for (int k = 0; k < 4; ++k)
            out[i + k] = be[i + order[k] - 1];
    return out;
}

// The bytes of a Unicode form by its code page number (65001, 1200, 1201,
// 12000, 12001, 3412, 2143), from ICU and our own byte shuffles.
inline std::string EncodeUnicodeForm(unsigned codepage, std::u16string_view text)
{
    static constexpr int k3412[4] = {3, 4, 1, 2};
    static constexpr int k2143[4] = {2, 1, 4, 3};
    switch (codepage) {
    case 65001:
        return IcuEncode("UTF-8", text);
    case 1200:
        return IcuEncode("UTF-16LE", text);
    case 1201:
        return IcuEncode("UTF-16BE", text);
    case 12000:
        return IcuEncode("UTF-32LE", text);
    case 12001:
        return IcuEncode("UTF-32BE", text);
    case 3412:
        return Reorder32(IcuEncode("UTF-32BE", text), k3412);
    case 2143:
        return Reorder32(IcuEncode("UTF-32BE", text), k2143);
    default:
        ADD_FAILURE() << "not a Unicode form: " << codepage;
        return {};
    }
}

// Every line break (CR LF, lone CR, lone LF) rewritten to the given one.
inline std::u16string RewriteBreaks(std::u16string_view text, std::u16string_view lineEnd)
{
    std::u16string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'\r' || text[i] == u'\n') {
            if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
            out += lineEnd;
        } else {
            out += text[i];
        }
    }
    return out;
}

using testing_support::FaultInjector;

// Points the extension lists at another folder for one test and back to the
// program's folder afterwards, so no test sees another's lists.
class ExtListFolder {
public:
    explicit ExtListFolder(const std::u16string& folder) { CAdvancedDetector::GetKnownExtList().SetFolder(folder); }
    ~ExtListFolder() { CAdvancedDetector::GetKnownExtList().SetFolder(u""); }
    ExtListFolder(const ExtListFolder&) = delete;
    ExtListFolder& operator=(const ExtListFolder&) = delete;
};

}  // namespace varnex_test
