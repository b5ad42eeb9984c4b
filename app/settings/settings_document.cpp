#include "app/settings/settings_document.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "app/locale/tr.h"
#include "base/text.h"
#include "platform/file_api.h"
#include "textrion/io/atomic_output_file.h"
#include "textrion/path/long_path.h"

namespace settings_xml {

namespace {

std::u16string U16(const std::string& utf8)
{
    return text::FromUtf8(utf8);
}

std::u16string Quoted(const std::u16string& s)
{
    return u"\"" + s + u"\"";
}

std::u16string SystemError(int error)
{
    return U16(std::strerror(error));
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// One uint32 field of the job setting and the range the preference pages
// give it. The sample size starts at 1: a zero-megabyte sample detects nothing.
struct JobField {
    const char* name;
    uint32_t VARNEXJOBSETTING::*member;
    uint32_t low;
    uint32_t high;
};

constexpr JobField kJobFields[] = {
    {"converterThreads", &VARNEXJOBSETTING::converterThreads, 0, VARNEXJOBSETTING::kMaxConverterThreads},
    {"sampleSizeMB", &VARNEXJOBSETTING::sampleSizeMB, 1, VARNEXJOBSETTING::kMaxSampleSizeMB},
    {"chunkSize", &VARNEXJOBSETTING::chunkSize, VARNEXJOBSETTING::kMinChunkSize, VARNEXJOBSETTING::kMaxChunkSize},
    {"readBufferSize", &VARNEXJOBSETTING::readBufferSize, VARNEXJOBSETTING::kMinBufferSize,
     VARNEXJOBSETTING::kMaxBufferSize},
    {"writeBufferSize", &VARNEXJOBSETTING::writeBufferSize, VARNEXJOBSETTING::kMinBufferSize,
     VARNEXJOBSETTING::kMaxBufferSize},
};

struct JobFlag {
    const char* name;
    bool VARNEXJOBSETTING::*member;
};

constexpr JobFlag kJobFlags[] = {
    {"detectOnly", &VARNEXJOBSETTING::detectOnly},
    {"allowBinaryListDetection", &VARNEXJOBSETTING::allowBinaryListDetection},
    {"useGB18030", &VARNEXJOBSETTING::useGB18030},
    {"useConsolidatedBuffer", &VARNEXJOBSETTING::useConsolidatedBuffer},
};

std::u16string OutOfRange(const char* name, const std::u16string& given, uint32_t low, uint32_t high, uint32_t used)
{
    return Tr("Settings", "Job setting \"%1\" %2 is out of range (%3 to %4); %5 is used.",
              {U16(name), given, text::FromUnsigned(low), text::FromUnsigned(high), text::FromUnsigned(used)});
}

const char* BoolText(bool value)
{
    return value ? "true" : "false";
}

// The words of the output text formats and return types, matched without
// regard to case; anything else is reported and keeps the default.
bool IsOutputTextFormatWord(const std::u16string& word)
{
    for (int f = CTextFileConverter::OUTPUTTEXTFORMAT_UTF8; f <= CTextFileConverter::OUTPUTTEXTFORMAT_UCS4_2143; ++f)
        if (text::EqualsNoCase(word, CTextFileConverter::OutputTextFormatToString(
                                         static_cast<CTextFileConverter::OUTPUTTEXTFORMAT>(f))))
            return true;
    return false;
}

bool IsReturnTypeWord(const std::u16string& word)
{
    for (int r = CTextFileConverter::RETURNTYPE_NOCHANGE; r <= CTextFileConverter::RETURNTYPE_LF; ++r)
        if (text::EqualsNoCase(word,
                               CTextFileConverter::ReturnTypeToString(static_cast<CTextFileConverter::RETURNTYPE>(r))))
            return true;
    return false;
}

std::u16string ProfileLabel(pugi::xml_node element)
{
    if (std::strcmp(element.name(), "profile") != 0)
        return Tr("Settings", "The current settings");
    return Tr("Settings", "Profile [%1]", U16(element.attribute("name").as_string()));
}

// 1-based line of a byte offset, for parse messages.
size_t LineAt(const std::string& bytes, ptrdiff_t offset)
{
    size_t line = 1;
    for (ptrdiff_t i = 0; i < offset && i < static_cast<ptrdiff_t>(bytes.size()); ++i)
        if (bytes[static_cast<size_t>(i)] == '\n')
            ++line;
    return line;
}

FileProblem ReadWholeFile(const std::u16string& path, std::string& bytes, uint64_t& size, std::u16string& why)
{
    int error = 0;
    const platform::FileHandle file =
        platform::OpenFile(path, platform::FILE_ACCESS_READ, platform::FILE_OPEN_EXISTING, &error);
    if (file == platform::INVALID_FILE_HANDLE) {
        if (error == ENOENT || error == ENOTDIR)  // ENOTDIR: a file where a folder should be
            return FileProblem::Missing;
        why = SystemError(error);
        return FileProblem::Unreadable;
    }
    FileProblem problem = FileProblem::None;
    if (!platform::GetFileSizeOf(file, &size)) {
        why = Tr("Settings", "its size cannot be read");
        problem = FileProblem::Unreadable;
    } else if (size > kMaxFileBytes) {
        problem = FileProblem::TooLarge;
    } else {
        bytes.resize(static_cast<size_t>(size));
        size_t got = 0;
        if (!platform::ReadFile(file, bytes.data(), bytes.size(), &got, &error)) {
            why = SystemError(error);
            problem = FileProblem::Unreadable;
        }
        bytes.resize(got);
    }
    platform::CloseFile(file);
    if (problem == FileProblem::None && bytes.empty())
        problem = FileProblem::Empty;
    return problem;
}

}  // namespace

bool ParseDecimal(std::string_view s, long long& value)
{
    size_t i = 0;
    while (i < s.size() && IsBlank(s[i]))
        ++i;
    size_t end = s.size();
    while (end > i && IsBlank(s[end - 1]))
        --end;
    bool negative = false;
    if (i < end && (s[i] == '+' || s[i] == '-'))
        negative = s[i++] == '-';
    if (i == end)
        return false;
    // Beyond this every value is out of every range; stop growing there.
    constexpr long long kCeiling = 1'000'000'000'000'000LL;
    long long v = 0;
    for (; i < end; ++i) {
        if (s[i] < '0' || s[i] > '9')
            return false;
        if (v < kCeiling)
            v = v * 10 + (s[i] - '0');
    }
    value = negative ? -v : v;
    return true;
}

std::string ChildText(pugi::xml_node parent, const char* name)
{
    return parent.child(name).text().as_string();
}

void SetChildText(pugi::xml_node parent, const char* name, const std::string& value)
{
    pugi::xml_node child = parent.child(name);
    if (!child)
        child = parent.append_child(name);
    // The whole content goes: text split by a comment or processing
    // instruction the parser skipped would otherwise join the new value.
    child.remove_children();
    // The parser drops text that is only white space; CDATA it keeps, so a
    // blank comment or name reads back as it was saved.
    const bool blank = !value.empty() && std::all_of(value.begin(), value.end(), IsBlank);
    child.append_child(blank ? pugi::node_cdata : pugi::node_pcdata).set_value(value.c_str());
}

void LoadDocument(const std::u16string& path, const std::u16string& version, Document& out)
{
    out.doc.reset();
    out.settings = pugi::xml_node();
    out.size = 0;
    std::string bytes;
    std::u16string why;
    out.problem = ReadWholeFile(path, bytes, out.size, why);
    switch (out.problem) {
    case FileProblem::Missing:
        out.description = Tr("Settings", "Settings file \"%1\" does not exist", path);
        return;
    case FileProblem::Unreadable:
        out.description = Tr("Settings", "Settings file \"%1\" cannot be read (%2)", {path, why});
        return;
    case FileProblem::TooLarge:
        out.description = Tr("Settings", "Settings file \"%1\" is larger than %2 MiB and is not read",
                             {path, text::FromUnsigned(kMaxFileBytes >> 20)});
        return;
    case FileProblem::Empty:
        out.description = Tr("Settings", "Settings file \"%1\" is empty", path);
        return;
    default:
        break;
    }
    const pugi::xml_parse_result parsed =
        out.doc.load_buffer(bytes.data(), bytes.size(), pugi::parse_default, pugi::encoding_auto);
    if (!parsed) {
        out.problem = parsed.status == pugi::status_no_document_element ? FileProblem::Empty : FileProblem::Malformed;
        out.description = out.problem == FileProblem::Empty
                              ? Tr("Settings", "Settings file \"%1\" holds no XML element", path)
                              : Tr("Settings", "Settings file \"%1\" is not well-formed XML (%2, line %3)",
                                   {path, U16(parsed.description()), text::FromUnsigned(LineAt(bytes, parsed.offset))});
        out.doc.reset();
        return;
    }
    const pugi::xml_node root = out.doc.child("varnel");
    if (!root || out.doc.document_element() != root) {
        out.problem = FileProblem::NotSettings;
        out.description = Tr("Settings", "Settings file \"%1\" has no \"varnel\" root element", path);
        return;
    }
    const std::string own = text::ToUtf8(version);
    pugi::xml_node shared;
    for (pugi::xml_node settings : root.children("settings")) {
        const char* v = settings.attribute("version").as_string();
        if (own == v) {
            out.settings = settings;
            break;
        }
        if (!shared && std::strcmp(v, "*") == 0)
            shared = settings;
    }
    if (!out.settings)
        out.settings = shared;
    if (!out.settings) {
        out.problem = FileProblem::NoVersion;
        out.description =
            Tr("Settings", "Settings file \"%1\" holds no settings for version %2 nor for \"*\"", {path, version});
    }
}

pugi::xml_node EnsureOwnSettings(pugi::xml_document& doc, const std::u16string& version)
{
    pugi::xml_node root = doc.child("varnel");
    if (!root) {
        doc.reset();
        pugi::xml_node declaration = doc.append_child(pugi::node_declaration);
        declaration.append_attribute("version") = "1.0";
        root = doc.append_child("varnel");
    }
    const std::string own = text::ToUtf8(version);
    pugi::xml_node shared;
    for (pugi::xml_node settings : root.children("settings")) {
        const char* v = settings.attribute("version").as_string();
        if (own == v)
            return settings;
        if (!shared && std::strcmp(v, "*") == 0)
            shared = settings;
    }
    if (shared) {
        pugi::xml_node copy = root.insert_copy_before(shared, shared);
        copy.attribute("version").set_value(own.c_str());
        return copy;
    }
    pugi::xml_node settings = root.append_child("settings");
    settings.append_attribute("version") = own.c_str();
    return settings;
}

SessionProfile ReadProfile(pugi::xml_node element, Messages& messages)
{
    SessionProfile profile;
    profile.name = U16(element.attribute("name").as_string());
    ConversionOptions& options = profile.options;
    options.copyUnconverted = element.child("copyUnconverted").text().as_bool(options.copyUnconverted);
    options.processHiddenFiles = element.child("processHiddenFiles").text().as_bool(options.processHiddenFiles);
    options.recursive = element.child("recursive").text().as_bool(options.recursive);
    // Profiles written before the choice existed keep modes and times.
    options.keepModeAndTime = element.child("keepModeAndTime").text().as_bool(options.keepModeAndTime);

    // Text that is no number reads as 0, the way the file has always been
    // read. A number the converter cannot use must not reach a job: the files
    // would all end "Binary" and be reported as done.
    const pugi::xml_text codepage = element.child("inputCodepage").text();
    if (!codepage.empty()) {
        const int value = codepage.as_int();
        if (IsUsableInputCodepage(value))
            options.SetStoredInputCodepage(value);
        else
            messages.push_back(Tr("Settings",
                                  "%1: input code page \"%2\" is not available; automatic detection is used.",
                                  {ProfileLabel(element), U16(codepage.get())}));
    }

    const std::u16string format = U16(ChildText(element, "outputTextFormat"));
    if (!format.empty()) {
        if (IsOutputTextFormatWord(format))
            options.outputTextFormat =
                CTextFileConverter::ParseOutputTextFormat(format.c_str(), options.outputTextFormat);
        else
            messages.push_back(Tr("Settings", "%1: output text format \"%2\" is unknown; UTF8 is used.",
                                  {ProfileLabel(element), format}));
    }
    // Without a stored choice: a mark for UTF-16 and UTF-32, none for UTF-8.
    options.writeBom =
        element.child("writeBom").text().as_bool(options.outputTextFormat != CTextFileConverter::OUTPUTTEXTFORMAT_UTF8);
    const std::u16string returnType = U16(ChildText(element, "returnType"));
    if (!returnType.empty()) {
        if (IsReturnTypeWord(returnType))
            options.returnType = CTextFileConverter::ParseReturnType(returnType.c_str(), options.returnType);
        else
            messages.push_back(Tr("Settings", "%1: return type \"%2\" is unknown; NOCHANGE is used.",
                                  {ProfileLabel(element), returnType}));
    }

    if (const pugi::xml_node filter = element.child("filter")) {
        profile.filterName = U16(filter.attribute("name").as_string());
        options.filter.SetFilterString(text::EqualsNoCase(U16(filter.attribute("type").as_string()), u"regex"),
                                       U16(ChildText(filter, "expression")));
        options.filter.EnableFilter(filter.attribute("enabled").as_bool(false));
        profile.filterComment = U16(ChildText(filter, "comment"));
    }
    return profile;
}

void WriteProfile(pugi::xml_node element, const SessionProfile& profile, bool withName)
{
    if (withName) {
        pugi::xml_attribute name = element.attribute("name");
        if (!name)
            name = element.prepend_attribute("name");
        name.set_value(text::ToUtf8(profile.name).c_str());
    }
    const ConversionOptions& options = profile.options;
    SetChildText(element, "copyUnconverted", BoolText(options.copyUnconverted));
    SetChildText(element, "writeBom", BoolText(options.writeBom));
    SetChildText(element, "processHiddenFiles", BoolText(options.processHiddenFiles));
    SetChildText(element, "recursive", BoolText(options.recursive));
    SetChildText(element, "keepModeAndTime", BoolText(options.keepModeAndTime));
    SetChildText(element, "inputCodepage", std::to_string(options.StoredInputCodepage()));
    // A format or return type outside the enumerations is written as the default.
    std::u16string format = CTextFileConverter::OutputTextFormatToString(options.outputTextFormat);
    if (format.empty())
        format = CTextFileConverter::OutputTextFormatToString(CTextFileConverter::OUTPUTTEXTFORMAT_UTF8);
    SetChildText(element, "outputTextFormat", text::ToUtf8(format));
    SetChildText(element, "returnType", text::ToUtf8(CTextFileConverter::ReturnTypeToString(options.returnType)));

    while (pugi::xml_node old = element.child("filter"))
        element.remove_child(old);
    pugi::xml_node filter = element.append_child("filter");
    filter.append_attribute("name") = text::ToUtf8(profile.filterName).c_str();
    filter.append_attribute("enabled") = BoolText(options.filter.IsEnabled());
    filter.append_attribute("type") = options.filter.IsRegex() ? "regex" : "wildcard";
    SetChildText(filter, "expression", text::ToUtf8(options.filter.GetFilterString()));
    SetChildText(filter, "comment", text::ToUtf8(profile.filterComment));
}

void ReadJobSetting(pugi::xml_node element, VARNEXJOBSETTING& job, Messages& messages)
{
    for (const JobFlag& flag : kJobFlags)
        job.*flag.member = element.child(flag.name).text().as_bool(job.*flag.member);
    for (const JobField& field : kJobFields) {
        const std::string given = ChildText(element, field.name);
        if (given.empty())
            continue;
        long long value = 0;
        if (!ParseDecimal(given, value)) {
            messages.push_back(Tr("Settings", "Job setting \"%1\" \"%2\" is no number; %3 is used.",
                                  {U16(field.name), U16(given), text::FromUnsigned(job.*field.member)}));
            continue;
        }
        const long long held = std::clamp<long long>(value, field.low, field.high);
        if (held != value)
            messages.push_back(
                OutOfRange(field.name, Quoted(U16(given)), field.low, field.high, static_cast<uint32_t>(held)));
        job.*field.member = static_cast<uint32_t>(held);
    }
    // The engine's own limits; the pages' ranges above lie within them.
    job.Clamp();
}

void WriteJobSetting(pugi::xml_node element, const VARNEXJOBSETTING& job)
{
    // Fields in the record's order.
    SetChildText(element, "detectOnly", BoolText(job.detectOnly));
    SetChildText(element, "allowBinaryListDetection", BoolText(job.allowBinaryListDetection));
    SetChildText(element, "converterThreads", std::to_string(job.converterThreads));
    SetChildText(element, "sampleSizeMB", std::to_string(job.sampleSizeMB));
    SetChildText(element, "useGB18030", BoolText(job.useGB18030));
    SetChildText(element, "useConsolidatedBuffer", BoolText(job.useConsolidatedBuffer));
    SetChildText(element, "chunkSize", std::to_string(job.chunkSize));
    SetChildText(element, "readBufferSize", std::to_string(job.readBufferSize));
    SetChildText(element, "writeBufferSize", std::to_string(job.writeBufferSize));
}

Messages HoldJobSetting(VARNEXJOBSETTING& job)
{
    Messages messages;
    const VARNEXJOBSETTING before = job;
    job.Clamp();
    for (const JobField& field : kJobFields) {
        job.*field.member = std::clamp(job.*field.member, field.low, field.high);
        if (job.*field.member != before.*field.member)
            messages.push_back(OutOfRange(field.name, text::FromUnsigned(before.*field.member), field.low, field.high,
                                          job.*field.member));
    }
    return messages;
}

std::string Serialise(pugi::xml_document& doc)
{
    // The bytes are UTF-8 whatever the file was read as: say so.
    pugi::xml_node declaration = doc.first_child();
    if (declaration.type() != pugi::node_declaration) {
        declaration = doc.prepend_child(pugi::node_declaration);
        declaration.append_attribute("version") = "1.0";
    }
    pugi::xml_attribute encoding = declaration.attribute("encoding");
    if (!encoding)
        encoding = declaration.append_attribute("encoding");
    encoding.set_value("UTF-8");

    struct StringWriter : pugi::xml_writer {
        std::string bytes;
        void write(const void* data, size_t size) override { bytes.append(static_cast<const char*>(data), size); }
    } writer;
    doc.save(writer, "\t", pugi::format_default, pugi::encoding_utf8);
    return std::move(writer.bytes);
}

bool WriteAtomically(const std::u16string& path, const std::string& bytes, const std::u16string& setAsideAs,
                     std::u16string& problem)
{
    const CLongPath folder(path);
    if (!folder.EnsureDirectoryExists()) {
        problem = Tr("Settings", "the folder \"%1\" cannot be created", folder.GetDirectory());
        return false;
    }
    CAtomicOutputFile target(path);
    const std::u16string& temp = target.GetTemporaryPath();
    int error = 0;
    const platform::FileHandle file = target.Create(&error);
    if (file == platform::INVALID_FILE_HANDLE) {
        problem = Tr("Settings", "cannot create \"%1\" (%2)", {temp, SystemError(error)});
        return false;
    }
    size_t written = 0;
    bool ok =
        platform::WriteFile(file, bytes.data(), bytes.size(), &written, &error) && platform::FlushFile(file, &error);
    if (!ok)
        problem = Tr("Settings", "cannot write \"%1\" (%2)", {temp, SystemError(error)});
    if (!platform::CloseFile(file) && ok) {
        problem = Tr("Settings", "cannot write \"%1\"", temp);
        ok = false;
    }
    if (ok && !setAsideAs.empty() && !platform::RenameFile(path, setAsideAs, &error)) {
        problem = Tr("Settings", "cannot keep the old file as \"%1\" (%2)", {setAsideAs, SystemError(error)});
        ok = false;
    }
    if (ok && !target.Commit(&error)) {
        problem = Tr("Settings", "cannot move \"%1\" into place (%2)", {temp, SystemError(error)});
        ok = false;
        // The old file back in its place; should that fail too, it is still
        // there under the name it was set aside as, and the run already failed.
        if (!setAsideAs.empty())
            (void)platform::RenameFile(setAsideAs, path);
    }
    return ok;
}

}  // namespace settings_xml
