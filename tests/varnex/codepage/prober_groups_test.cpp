// Our prober groups against uchardet's own, block by block: the same state,
// confidence and name after every block, on texts of each language in its
// code pages, on noise, and cut into blocks of many sizes.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>

#include "base/text.h"
#include "codecs/codepage.h"
#include "support/kernels.h"
#include "tools/corpus/corpus_texts.h"
#include "varnex/codepage/latin1_prober.h"
#include "varnex/codepage/multi_byte_group.h"
#include "varnex/codepage/single_byte_group.h"

// After the groups: uchardet's headers need nscore.h first.
#include "nsUniversalDetector.h"

namespace {

struct Sample {
    std::string name;
    std::string bytes;
};

std::vector<Sample> Samples()
{
    struct Written {
        const char* paragraph;
        unsigned codepage;
    };
    const Written written[] = {
        {"ru", 20866}, {"ru", 1251},  {"ru", 866},   {"ru", 28595}, {"uk", 1251},  {"bg", 1251},  {"el", 1253},
        {"el", 28597}, {"he", 1255},  {"fr", 1252},  {"de", 28591}, {"es", 1252},  {"pl", 1250},  {"cs", 28592},
        {"tr", 1254},  {"th", 874},   {"ro", 28592}, {"lt", 1257},  {"ar", 1256},  {"vi", 1258},  {"pt", 1252},
        {"ja", 932},   {"ja", 20932}, {"yue", 950},  {"ko", 51949}, {"ko", 65001}, {"ru", 65001}, {"mixed", 54936},
    };
    std::vector<Sample> samples;
    for (const Written& w : written) {
        const std::u16string text = text::FromUtf8(corpus::ParagraphById(w.paragraph).utf8);
        std::string bytes;
        codecs::EncodeCodePage(w.codepage, text + u"\n" + text, bytes);
        samples.push_back({std::string(w.paragraph) + "-" + std::to_string(w.codepage), bytes});
        // Hebrew written backwards is the visual form the group tells apart.
        if (w.codepage == 1255)
            samples.push_back({"he-visual", std::string(bytes.rbegin(), bytes.rend())});
    }
    // Markup: what stands in tags is left out, and the run before a '<' too.
    std::string markup;
    for (int i = 0; i < 200; ++i)
        markup += "<p class=\"x\">Caf\xE9 na\xEFve<b>r\xE9sum\xE9</b> \xC0 bient\xF4t<br/>\x81\n";
    samples.push_back({"markup", markup});
    std::mt19937 random(20261208);
    for (unsigned share : {2u, 30u, 100u}) {
        std::string noise(40000, ' ');
        for (char& c : noise)
            c = static_cast<char>(random() % 100 < share ? 0x80 + random() % 128 : 'a' + random() % 26);
        samples.push_back({"noise-" + std::to_string(share), noise});
    }
    return samples;
}

// Makes each group fresh for every sample and block size.
template <class MakeTheirs, class MakeOurs> void ExpectSameAnswers(MakeTheirs theirs, MakeOurs ours)
{
    for (const Sample& sample : Samples()) {
        for (size_t block : {1u, 7u, 100u, 2048u, 65536u}) {
            SCOPED_TRACE(sample.name + " in blocks of " + std::to_string(block));
            std::unique_ptr<nsCharSetProber> walked(theirs());
            std::unique_ptr<nsCharSetProber> counted(ours());
            for (size_t at = 0; at < sample.bytes.size(); at += block) {
                const auto n = static_cast<PRUint32>(std::min(block, sample.bytes.size() - at));
                const nsProbingState expected = walked->HandleData(sample.bytes.data() + at, n);
                ASSERT_EQ(counted->HandleData(sample.bytes.data() + at, n), expected) << "at " << at;
                ASSERT_EQ(counted->GetConfidence(), walked->GetConfidence()) << "at " << at;
                ASSERT_STREQ(counted->GetCharSetName(), walked->GetCharSetName()) << "at " << at;
                if (expected != eDetecting)
                    break;
            }
        }
    }
}

// Eight models at a time under the AVX2 kernel, one after another under the others.
class SingleByteGroupKernels : public testing_support::KernelTest { };

TEST_P(SingleByteGroupKernels, AnswersLikeTheProbersItCounts)
{
    ExpectSameAnswers([] { return new nsSBCSGroupProber; }, [] { return new CSingleByteGroup; });
}

INSTANTIATE_TEST_SUITE_P(Kernels, SingleByteGroupKernels, testing_support::AllKernels(), testing_support::KernelName());

TEST(ProberGroups, MultiByteGroupAnswersLikeTheOneThatFeedsFailedProbers)
{
    ExpectSameAnswers([] { return new nsMBCSGroupProber(NS_FILTER_ALL); },
                      [] { return new CMultiByteGroup(NS_FILTER_ALL); });
}

TEST(ProberGroups, Latin1ProberAnswersLikeTheOneThatCopiesWords)
{
    ExpectSameAnswers([] { return new nsLatin1Prober; }, [] { return new CLatin1Prober; });
}

}  // namespace
