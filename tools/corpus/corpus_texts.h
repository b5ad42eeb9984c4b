#pragma once

#include <span>
#include <string_view>

// Original paragraphs written for the detection and conversion corpora, one
// per language, in UTF-8 with LF line breaks. Each keeps to the repertoire of
// the legacy code pages its language is really written in (no curly quotes
// in Russian, since KOI8-R and IBM866 have none; only KS X 1001 syllables in
// Korean; only JIS X 0208 in Japanese), so that every encoding the corpora
// name can carry it without loss.
namespace corpus {

struct Paragraph {
    std::string_view id;  // short language tag, part of the generated file names
    std::string_view utf8;
};

std::span<const Paragraph> Paragraphs();
// The paragraph of a tag; throws std::out_of_range for an unknown one.
const Paragraph& ParagraphById(std::string_view id);

}  // namespace corpus
