#include "app/window/models/text_preview.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThreadPool>
#include <algorithm>

#include "textrion/io/text_file_reader.h"
#include "varnex/convert/text_file_converter.h"

namespace {

constexpr unsigned kDefaultLimit = 1024;
constexpr unsigned kReadBlock = 64 * 1024;

// Text that is mostly NULs, control characters or undecodable bytes is no
// text a person can read: decoded binary data looks like that, whatever
// code page it is read in.
bool LooksBinary(const std::u16string& text)
{
    size_t controls = 0, replaced = 0;
    for (char16_t c : text) {
        if (c == 0 || (c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r' && c != u'\f' && c != u'\v' && c != 0x1B))
            ++controls;
        else if (c == 0xFFFD)
            ++replaced;
    }
    return controls * 20 > text.size() || replaced * 4 > text.size();
}

}  // namespace

unsigned EffectivePreviewLimit(unsigned bytes)
{
    return bytes == 0 ? kDefaultLimit : bytes;
}

PreviewText LoadTextPreview(const std::u16string& path, int codepage, unsigned limitBytes)
{
    PreviewText preview;
    preview.limitBytes = EffectivePreviewLimit(limitBytes);
    CTextFileReader reader(path.c_str(), std::min(preview.limitBytes, kReadBlock));
    if (!reader.IsOpen())
        return preview;
    reader.SetReadLimit(preview.limitBytes);
    if (codepage >= 0) {
        const auto number = static_cast<unsigned>(codepage);
        if (CTextFileConverter::IsUTFCodepage(number))
            reader.SetEncoding(CTextFileProcessor::GetEncodingForCodepage(number));
        else
            reader.SetCodePage(number);
    }
    reader.ReadToEnd(preview.text, 4096);
    if (reader.HasReadError() && preview.text.empty())
        return preview;
    preview.truncated = reader.GetFileSize() > preview.limitBytes;
    // The limit may cut the last character in two; its first bytes are no
    // replacement the file holds.
    if (preview.truncated && !preview.text.empty() && preview.text.back() == 0xFFFD)
        preview.text.pop_back();
    preview.kind = LooksBinary(preview.text) ? PreviewText::Binary : PreviewText::Text;
    if (preview.kind == PreviewText::Binary)
        preview.text.clear();
    return preview;
}

void LoadTextPreviewAsync(QObject* receiver, const std::u16string& path, int codepage, unsigned limitBytes,
                          std::function<void(const PreviewText&)> done)
{
    QPointer<QObject> target(receiver);
    QThreadPool::globalInstance()->start([target, path, codepage, limitBytes, done = std::move(done)] {
        PreviewText preview = LoadTextPreview(path, codepage, limitBytes);
        // Delivered through the application object, which outlives the
        // receiver; the receiver is checked on its own thread.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [target, done, preview = std::move(preview)] {
                if (target)
                    done(preview);
            },
            Qt::QueuedConnection);
    });
}
