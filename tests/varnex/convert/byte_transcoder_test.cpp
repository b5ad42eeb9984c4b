#include <algorithm>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/text.h"
#include "support/file_faults.h"
#include "support/kernels.h"
#include "support/temp_dir.h"
#include "varnex/convert/text_file_converter.h"

namespace {

using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;
using Converter = CTextFileConverter;

// Pieces in an order of their own (a fixed generator), so that characters,
// bad bytes and CR LF pairs fall across chunk, buffer and block ends.
std::string Mix(const std::vector<std::string>& pieces, size_t size)
{
    std::string text;
    for (uint32_t state = 12345; text.size() < size;) {
        state = state * 1103515245u + 12345u;
        text += pieces[(state >> 16) % pieces.size()];
    }
    return text;
}

// Every kind of UTF-8 the decoder replaces byte by byte, a NUL (replaced
// too), C1 controls, U+FFFD, supplementary characters and all line breaks.
std::string Utf8Mix(size_t size)
{
    return Mix({"long enough plain ASCII for the blocks of sixteen ",
                "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 ", "\r\n", "\r", "\n", "\r\r\n\n",
                "\xC2\x85\xC2\x9F\xC2\xA0", "\xEF\xBF\xBD", "\xF0\x9F\x98\x80", "\xE6\x97\xA5", "\x80", "\xC0\xAF",
                "\xE0\x80\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xF8\x88\x80\x80\x80", "\xFF\xFE",
                "\xE2\x82"
                "A",
                std::string(1, '\0')},
               size);
}

// Runs of one script each, long enough for whole blocks of two-, three- and
// four-byte characters, among line breaks, marks and ill-formed sequences:
// surrogates and overlong forms, a sequence past U+10FFFF.
std::string ScriptMix(size_t size)
{
    return Mix({"\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xAE\xE6\x96\x87\xE7\xAB\xA0\xE3\x81\xA7\xE3\x81\x99"
                "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xAE\xE6\x96\x87\xE7\xAB\xA0\xEF\xBC\x8C",
                "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 \xD0\xBC\xD0\xB8\xD1\x80, ",
                "\xF0\x9F\x98\x80\xF0\x9F\x98\x81\xF0\x9F\x98\x82\xF0\x9F\x98\x83\xF0\x9F\x98\x84\xF0\x9F\x98\x85",
                "plain ASCII text", "\r\n", "\n", "\r", "\xC2\x85", "\xEF\xBF\xBD", std::string(1, '\0'),
                "\xED\xA0\x80", "\xED\xBF\xBF", "\xC1\xBF", "\xF0\x80\x80\x80", "\xF4\x90\x80\x80", "\xE6\x97"},
               size);
}

// Every byte of a single-byte code page, unassigned ones included.
std::string SingleByteMix(size_t size)
{
    std::vector<std::string> pieces = {
        "long enough plain ASCII for the blocks of sixteen ", "\r\n", "\r", "\n", "\r\r\n\n", std::string(1, '\0')};
    std::string all;
    for (int b = 0x80; b < 0x100; ++b) {
        pieces.emplace_back(1, static_cast<char>(b));
        all += static_cast<char>(b);
    }
    pieces.push_back(all);
    return Mix(pieces, size);
}

// The sizes of the reads and of the first writes the file layer sees, and
// what was written in all. (In whole-file mode the UTF-16 way reads
// everything before it writes; a run that stops has read and written ahead of
// where it reports it stopped. Blocks that go to the writer's own thread, from
// the third write on, are larger than the others.)
class Accesses : public testing_support::FaultInjector {
public:
    int BeforeRead(platform::FileHandle handle, size_t size) override
    {
        reads << size << ' ';
        return FaultInjector::BeforeRead(handle, size);
    }
    int BeforeWrite(platform::FileHandle handle, size_t size) override
    {
        if (++writeCount <= 3)
            writes << size << ' ';
        written += size;
        return FaultInjector::BeforeWrite(handle, size);
    }
    std::ostringstream reads, writes;
    int writeCount = 0;
    size_t written = 0;
};

struct Setting {
    unsigned chunk = 2048;
    Converter::RETURNTYPE breaks = Converter::RETURNTYPE_NOCHANGE;
    bool bom = false;
    int stopAfter = -1;  // continue calls answered true before the first false
    int failReadFrom = -1;
    int failWriteFrom = -1;
};

struct Calls {
    std::ostringstream log;
    int stopAfter = -1;
};

// Everything a conversion shows: its record and counts, its callbacks and,
// when it converted the file, its output, reads and writes.
std::string Convert(const TempDir& dir, unsigned codepage, Converter::OUTPUTTEXTFORMAT format, const Setting& run,
                    bool fast)
{
    Converter converter(dir.File16("in.txt").c_str(), run.chunk, 4096, 4096);
    converter.SetFastPaths(fast);
    Calls calls{{}, run.stopAfter};
    converter.SetReportProgressCallback(
        [](Converter*, uint64_t processed, uint64_t total, void* user) {
            static_cast<Calls*>(user)->log << processed << '/' << total << ' ';
        },
        &calls);
    converter.SetContinueCallback([](Converter*, void* user) { return static_cast<Calls*>(user)->stopAfter-- != 0; },
                                  &calls);
    Accesses accesses;
    accesses.failReadFrom = run.failReadFrom;
    accesses.failWriteFrom = run.failWriteFrom;
    const auto result = converter.Convert(dir.File16("out.txt").c_str(), codepage, format, run.breaks, run.bom);
    const FileOutcome& o = converter.GetOutcome();
    std::ostringstream all;
    all << "result " << result << ", " << text::ToUtf8(DescribeOutcome(o)) << ", state " << o.state << ", in "
        << o.bytesIn << ", out " << o.bytesOut << ", replaced " << o.replaced << "/" << converter.GetReplacementCount()
        << ", C1 " << converter.GetC1ControlCount() << ", U+FFFD " << converter.GetReplacementsInTextCount()
        << ", breaks " << o.lineEndings.crlf << " " << o.lineEndings.lf << " " << o.lineEndings.cr << " "
        << o.lineEndings.counted << "\ncalls " << calls.log.str();
    if (result == Converter::CONVERTRESULT_OK)
        all << "\nreads " << accesses.reads.str() << "\nwrites " << accesses.writes.str() << "... " << accesses.written
            << "\noutput " << ReadBytes(dir.File("out.txt"));
    return all.str();
}

// On each kernel the processor has: the byte paths' blocks of that
// instruction set, and under the scalar kernel their character-by-character way
// over whole inputs.
class ByteTranscoder : public testing_support::KernelTest { };

TEST_P(ByteTranscoder, GivesWhatTheUtf16WayGivesByteForByteCountForCountCallForCall)
{
    struct Input {
        const char* name;
        unsigned codepage;
        std::string bytes;
    };
    const Input inputs[] = {
        {"UTF-8 past the read buffer, cut at the end", 65001, Utf8Mix(150000) + "\xE2\x82"},
        {"scripts past the read buffer, a pair cut at the end", 65001, ScriptMix(150000) + "\xF0\x9F\x98"},
        // Three-byte and, after one byte, four-byte characters: the buffer's
        // refills cut them.
        {"CJK alone", 65001, Mix({"\xE6\x97\xA5\xE6\x9C\xAC", "\xE8\xAA\x9E"}, 100000)},
        {"pairs alone", 65001, "x" + Mix({"\xF0\x9F\x98\x80", "\xF0\x90\x8D\x88"}, 100000)},
        {"CR LF across chunks of 16", 65001, Mix({std::string(15, 'a') + "\r\n"}, 3000)},
        {"UTF-8 mark over a code page, CR at the end", 1252, "\xEF\xBB\xBF" + Utf8Mix(3000) + "\r"},
        {"windows-1252 past the read buffer", 1252, SingleByteMix(150000)},
        {"windows-1252, the last write at the close", 1252, SingleByteMix(70000)},
        {"windows-1252, Western letters only", 1252,
         Mix({"words ", "\xE9", "\xFC\xDF", "\xA0", "\xFF", "\r\n"}, 20000)},
        {"windows-1253, bytes it leaves out", 1253, SingleByteMix(3000)},
        {"ISO-8859-1, C1 controls", 28591, SingleByteMix(3000) + "\r"},
        {"US-ASCII, every byte from 80 replaced", 20127, SingleByteMix(3000)},
        // The first replacement far past the first chunks and buffers.
        {"ISO-8859-6, a byte it leaves out far on", 28596,
         Mix({"plain words ", "\xC7\xC8\xC9", "\r\n"}, 150000) + "\xA1" + SingleByteMix(3000)},
        {"UTF-8, a NUL far on", 65001, Mix({"plain words ", "\xCE\xB1", "\r\n"}, 150000) + '\0' + Utf8Mix(3000)},
        {"UTF-8, a bad byte far on", 65001,
         Mix({"plain words ", "\xCE\xB1", "\r\n"}, 150000) + "\xE9 " + Utf8Mix(3000)},
        {"KOI8-R", 20866, SingleByteMix(3000)},
        {"empty", 65001, ""},
        {"a mark alone", 1252, "\xEF\xBB\xBF"},
    };
    std::vector<Setting> runs;
    for (unsigned chunk : {0u, 16u, 17u, 2048u})
        for (auto breaks : {Converter::RETURNTYPE_NOCHANGE, Converter::RETURNTYPE_CRLF, Converter::RETURNTYPE_CR,
                            Converter::RETURNTYPE_LF})
            runs.push_back({chunk, breaks, chunk == 17});
    // Stopped, or failing midway, each at a chunk of its own.
    runs.push_back({16, Converter::RETURNTYPE_LF, false, 40});
    runs.push_back({2048, Converter::RETURNTYPE_LF, false, 60});
    runs.push_back({2048, Converter::RETURNTYPE_CRLF, true, -1, 3});
    runs.push_back({2048, Converter::RETURNTYPE_CRLF, true, -1, -1, 2});
    runs.push_back({0, Converter::RETURNTYPE_CR, false, -1, -1, 2});
    TempDir dir;
    for (const Input& input : inputs) {
        WriteBytes(dir.File("in.txt"), input.bytes);
        for (const auto format : {Converter::OUTPUTTEXTFORMAT_UTF8, Converter::OUTPUTTEXTFORMAT_UTF16LE,
                                  Converter::OUTPUTTEXTFORMAT_UTF16BE}) {
            if (format != Converter::OUTPUTTEXTFORMAT_UTF8 && input.codepage != 65001)
                continue;
            for (const Setting& run : runs) {
                SCOPED_TRACE(std::string(input.name) + ", format " + std::to_string(format) + ", chunk " +
                             std::to_string(run.chunk) + ", " +
                             text::ToUtf8(Converter::ReturnTypeToString(run.breaks)) + ", stop " +
                             std::to_string(run.stopAfter) + ", read fault " + std::to_string(run.failReadFrom) +
                             ", write fault " + std::to_string(run.failWriteFrom));
                const std::string general = Convert(dir, input.codepage, format, run, false);
                const std::string bytes = Convert(dir, input.codepage, format, run, true);
                const auto at = std::mismatch(general.begin(), general.end(), bytes.begin(), bytes.end()).first;
                const size_t from = static_cast<size_t>(at - general.begin()) / 100 * 100;
                ASSERT_EQ(bytes.substr(from, 300), general.substr(from, 300)) << "from byte " << from;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Kernels, ByteTranscoder, testing_support::AllKernels(), testing_support::KernelName());

}  // namespace
