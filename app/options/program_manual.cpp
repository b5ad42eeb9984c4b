#include "app/options/program_manual.h"

#include "app/options/command_line_switches.h"
#include "base/text.h"

namespace {

// Text for a roff line: '-' as \- so that switches copy as typed, '\'' as
// \(aq so that it is not turned into a curly quote, and a guard against a
// line read as a request.
std::string Roff(std::string_view text)
{
    std::string out;
    for (const char c : text) {
        if (c == '\\')
            out += "\\e";
        else if (c == '-')
            out += "\\-";
        else if (c == '\'')
            out += "\\(aq";
        else
            out += c;
    }
    if (!out.empty() && (out[0] == '.' || out[0] == '\''))
        out.insert(0, "\\&");
    return out;
}

std::string Roff(std::u16string_view text)
{
    return Roff(text::ToUtf8(text));
}

// "\fB\-in\fR=\fIPATH\fR, \fB\-i\fR=\fIPATH\fR": the spellings as -help lists them.
std::string RoffNames(const CommandLineSwitch& row)
{
    std::string line;
    for (const std::u16string_view name : row.names) {
        if (!line.empty())
            line += ", ";
        line += "\\fB" + Roff(name) + "\\fR";
        if (row.kind != SwitchValueKind::None)
            line += "=\\fI" + Roff(std::string_view(row.valueName)) + "\\fR";
    }
    return line;
}

void Paragraph(std::string& page, std::string_view roff)
{
    page += ".PP\n";
    page += roff;
    page += '\n';
}

void Example(std::string& page, std::string_view what, std::string_view command)
{
    Paragraph(page, Roff(what));
    page += ".RS\n.nf\n" + Roff(command) + "\n.fi\n.RE\n";
}

void Entry(std::string& page, std::string_view term, std::string_view roff)
{
    page += ".TP\n";
    page += term;
    page += '\n';
    page += roff;
    page += '\n';
}

std::string Lower(std::u16string_view text)
{
    std::string out = text::ToUtf8(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

// A word for a shell script, quoted so that "-?" is never a glob.
std::string Quoted(std::string_view text)
{
    return "'" + std::string(text) + "'";
}

}  // namespace

std::string ManualPage(std::string_view version)
{
    std::string page;
    page += ".TH VARNELPRO 1 \"\" \"varnelpro " + Roff(version) + "\" \"User Commands\"\n";
    page += ".SH NAME\nvarnelpro \\- convert text files of any code page into one Unicode form\n";

    page += ".SH SYNOPSIS\n";
    page += ".B varnelpro\n\\fB\\-in\\fR=\\fIPATH\\fR [\\fB\\-out\\fR=\\fIPATH\\fR] [\\fIOPTION\\fR]...\n.br\n";
    page += ".B varnelpro\n[\\fIOPTION\\fR]... \\fIINPUT\\fR [\\fIOUTPUT\\fR]\n.br\n";
    page += ".B varnelpro\n";

    page += ".SH DESCRIPTION\n";
    page += Roff(std::string_view(
                "varnelpro converts batches of text files from legacy code pages and mixed Unicode forms into one "
                "Unicode form (UTF-8, UTF-16 or UTF-32 in either byte order), with or without a byte order mark "
                "and with a chosen line-ending style. It walks a folder tree, detects each file's encoding, "
                "writes the converted text files into an output tree that mirrors the input, leaves binary files "
                "alone and reports what it did. Bytes that cannot be decoded become U+FFFD and the file ends with a "
                "warning.")) +
            "\n";
    Paragraph(page, Roff(std::string_view(
                        "The input is never modified. Each output is written under a hidden temporary name and "
                        "renamed into place when it is complete; an interrupted run leaves no half-written file.")));
    Paragraph(page, Roff(std::string_view(
                        "-in=- reads standard input and -out=- writes standard output: standard output then carries "
                        "the converted text and nothing else, the status line and messages go to standard error.")));
    Paragraph(page, Roff(std::string_view("Run without switches on a desktop, varnelpro opens its window.")));

    page += ".SH OPTIONS\n";
    page += Roff(std::string_view(
                "Switches start with '-' or '/'; values follow '=' or ':'. The long forms also take the next "
                "argument as their value (--in PATH). varnelpro INPUT OUTPUT names the input and the output without "
                "switches, and -- ends the switches. Keyword values ignore case, '-' and '_' (UTF-16LE is UTF16LE). "
                "A switch given twice must have the same value; an unknown switch or value stops the run with exit "
                "status 2.")) +
            "\n";
    for (const CommandLineSwitch& row : CommandLineSwitches()) {
        if (row.help == nullptr)
            continue;
        std::string text = Roff(std::string_view(row.help)) + ".";
        if (row.kind == SwitchValueKind::Keyword) {
            text += "\nValues: ";
            for (size_t i = 0; i < row.keywords.size(); ++i)
                text += (i == 0 ? "\\fB" : ", \\fB") + Roff(row.keywords[i].text) + "\\fR";
            text += '.';
        } else if (row.kind == SwitchValueKind::Bool) {
            text += "\n" + Roff(std::string_view("Also true/false, on/off, y/n, t/f, 1/0."));
        } else if (row.kind == SwitchValueKind::CodePage) {
            text +=
                "\n" + Roff(std::string_view("Any IANA or ICU name of a listed page; --list-code-pages lists them."));
        } else if (row.kind == SwitchValueKind::Slice) {
            text += "\n" + Roff(std::string_view("A file belongs to slice FNV-1a-64(its path below the input "
                                                 "folder, '/' between names) mod N."));
        }
        Entry(page, RoffNames(row), text);
    }

    page += ".SH EXIT STATUS\n";
    Entry(page, ".B 0", Roff(std::string_view("Every file was converted (or detected) without a warning.")));
    Entry(page, ".B 1", Roff(std::string_view("Some files ended with a warning or an error, or the run was stopped.")));
    Entry(page, ".B 2",
          Roff(std::string_view("The run could not start (bad switch, missing input, overlapping input, output "
                                "and report, unwritable output); nothing on disk was changed.")));

    page += ".SH ENVIRONMENT\n";
    Entry(page, ".BR LANGUAGE \", \" LC_ALL \", \" LC_MESSAGES \", \" LANG",
          Roff(std::string_view("The language of the messages, in this order, unless -locale names one.")));
    Entry(page, ".B XDG_DATA_HOME", Roff(std::string_view("Where the settings file lies (default ~/.local/share).")));
    Entry(page, ".B XDG_CONFIG_HOME",
          Roff(std::string_view("Where the window's preferences lie (default ~/.config).")));

    page += ".SH FILES\n";
    Entry(page, ".I $XDG_DATA_HOME/Quillmark/VarnelPro/VarnelPro.Current.xml",
          Roff(std::string_view("The job setting (converter threads, sample size, buffer sizes) and the session "
                                "profiles. A missing file gives the defaults.")));
    Entry(page, ".I \"$XDG_CONFIG_HOME/Quillmark/Varnel Professional 2.ini\"",
          Roff(std::string_view("The window's layout, recent lists and chosen language.")));
    Entry(page, ".IR Locales/ NAME /",
          Roff(std::string_view("Language bundles (English is built in), in ../share/varnelpro from the "
                                "program when installed, else beside it.")));
    Entry(page, ".IR Binary.bin \", \" Text.bin",
          Roff(std::string_view("Extension lists taken as binary and as text, one lower-case extension per line; "
                                "in the same folder.")));

    page += ".SH EXAMPLES\n";
    Example(page, "Convert a folder tree into UTF-8 and write a CSV report:",
            "varnelpro -in=texts -out=converted -r -export=report.csv");
    Example(page, "The same in GNU style, into UTF-16LE:", "varnelpro --recursive --encoding UTF-16LE texts converted");
    Example(page, "Only some files (quoted, or the shell splits the list at ';'):",
            "varnelpro -in=docs -out=docs-utf8 '-wf=*.txt;*.csv'");
    Example(page, "Detect only, with a JSON Lines report, then list the files that ended with a warning:",
            "varnelpro -d -r -in=texts -export=found.jsonl -exporttype=JSON\n"
            "jq -r 'select(.type == \"file\" and .result == \"warning\") | .input' found.jsonl");
    Example(page, "The report into a pipe (the summary then goes to standard error):",
            "varnelpro -d -r -in=texts -export=/dev/stdout -exporttype=JSON | jq -r .input");
    Example(page, "Split a tree among three machines that share it (one line on each), then join the reports:",
            "varnelpro -in=/mnt/in -out=/mnt/out -r -shard=0/3 -export=/mnt/r0.jsonl -exporttype=JSON "
            "--no-report-header\n"
            "varnelpro -in=/mnt/in -out=/mnt/out -r -shard=1/3 -export=/mnt/r1.jsonl -exporttype=JSON "
            "--no-report-header\n"
            "varnelpro -in=/mnt/in -out=/mnt/out -r -shard=2/3 -export=/mnt/r2.jsonl -exporttype=JSON "
            "--no-report-header\n"
            "cat /mnt/r0.jsonl /mnt/r1.jsonl /mnt/r2.jsonl > report.jsonl");
    Example(page, "Convert a pipe from windows-1252:", "printf 'caf\\xe9\\n' | varnelpro -in=- -out=- -cp=1252");
    Example(page,
            "Convert one file into standard output:", "varnelpro -mode=FILE -in=notes.txt -out=- -enc=UTF16LE | od -c");
    Example(page, "Find a code page's number:", "varnelpro --list-code-pages | grep -i cyrillic");

    page += ".SH SEE ALSO\n.BR iconv (1),\n.BR uconv (1),\n.BR uchardet (1)\n";
    return page;
}

namespace {

// Every listed spelling of the switches, quoted for the script; "-enc="
// where a value follows '='.
std::string CompletionSwitchWords()
{
    std::string words;
    for (const CommandLineSwitch& row : CommandLineSwitches()) {
        if (row.help == nullptr)
            continue;
        for (const std::u16string_view name : row.names) {
            const bool equals = row.kind != SwitchValueKind::None && !name.starts_with(u"--");
            words += " " + Quoted(text::ToUtf8(name) + (equals ? "=" : ""));
        }
    }
    return words;
}

// The script's case branches: the spellings of each switch that takes a
// value, and what completes that value.
std::string CompletionValueCases()
{
    std::string valueCases;
    for (const CommandLineSwitch& row : CommandLineSwitches()) {
        std::string values;
        switch (row.kind) {
        case SwitchValueKind::None:
            continue;
        case SwitchValueKind::Path:
            values = "_varnelpro_paths \"$value\" \"$lead\"";
            break;
        case SwitchValueKind::Keyword:
            values = "_varnelpro_words \"$value\" \"$lead\"";
            for (const SwitchKeyword& keyword : row.keywords)
                values += " " + Quoted(text::ToUtf8(keyword.text));
            break;
        case SwitchValueKind::Bool:
            values = "_varnelpro_words \"$value\" \"$lead\" yes no";
            break;
        case SwitchValueKind::CodePage:
            values = "_varnelpro_code_pages; _varnelpro_words \"$value\" \"$lead\" $_varnelpro_cp_words";
            break;
        case SwitchValueKind::Text:
        case SwitchValueKind::Number:
        case SwitchValueKind::Slice:
            values = ":";
            break;
        }
        std::string pattern;
        for (const std::u16string_view name : row.names)
            pattern += (pattern.empty() ? "" : "|") + Quoted(Lower(name));
        valueCases += "        " + pattern + ") " + values + " ;;\n";
    }
    return valueCases;
}

// The script around the parts made from the switch table: its helpers and
// the start of the value completion, ...
constexpr std::string_view kCompletionStart =
    R"(# bash completion for varnelpro, written from its switch table at build time.

# Numbers and IANA names of the code pages, asked of the program once.
_varnelpro_code_pages()
{
    [[ -n ${_varnelpro_cp_words-} ]] && return
    local program=${COMP_WORDS[0]} number short iana group
    [[ $program == "~/"* ]] && program=$HOME/${program#"~/"}
    type -P -- "$program" >/dev/null || program=varnelpro
    while IFS=$'\t' read -r number short iana group; do
        [[ $number == [0-9]* ]] || continue
        _varnelpro_cp_words+=" $number"
        [[ $iana == - ]] || _varnelpro_cp_words+=" $iana"
    done < <(LC_ALL=C LANGUAGE= "$program" --list-code-pages 2>/dev/null)
}

# The words that start with $1, each after $2; case, '-' and '_' do not
# matter, as for the program.
_varnelpro_words()
{
    local value=${1,,} lead=$2 word bare
    value=${value//[-_]/}
    shift 2
    for word; do
        bare=${word,,}
        [[ ${bare//[-_]/} == "$value"* ]] && COMPREPLY+=("$lead$word")
    done
}

# Files and folders that start with $1, each after $2.
_varnelpro_paths()
{
    local value=$1 lead=$2 path
    [[ -z $lead ]] && compopt -o filenames 2>/dev/null
    while IFS= read -r path; do
        if [[ -n $lead && -d $path ]]; then
            COMPREPLY+=("$lead$path/")
            compopt -o nospace 2>/dev/null
        else
            COMPREPLY+=("$lead$path")
        fi
    done < <(compgen -f -- "$value")
}

# Completes the value of switch $1; false for a switch without one.
_varnelpro_value()
{
    local switch=${1,,} value=$2 lead=$3
    [[ $switch == /* ]] && switch=-${switch#/}
    case $switch in
)";
// ... the main function up to the list of switches, ...
constexpr std::string_view kCompletionMiddle = R"(        *) return 1 ;;
    esac
    return 0
}

_varnelpro()
{
    local cur=${COMP_WORDS[COMP_CWORD]} i=$COMP_CWORD
    local prev= before= switch= value= lead= word
    (( i > 0 )) && prev=${COMP_WORDS[i-1]}
    (( i > 1 )) && before=${COMP_WORDS[i-2]}
    COMPREPLY=()
    for (( word = 1; word < i; word++ )); do
        if [[ ${COMP_WORDS[word]} == -- ]]; then
            _varnelpro_paths "$cur" ""  # after "--" only paths
            return
        fi
    done
    # '=' and ':' usually split a word ("-enc" "=" "UT"); where they do not,
    # the switch and its value are one word.
    if [[ $cur == [=:] && $prev == [-/]* ]]; then
        switch=$prev
    elif [[ $prev == [=:] && $before == [-/]* ]]; then
        switch=$before value=$cur
    elif [[ $cur == [-/]*[=:]* ]]; then
        switch=${cur%%[=:]*} value=${cur#*[=:]}
        lead=${cur:0:${#cur}-${#value}}
    elif [[ $prev == --?* && $cur != -* ]]; then
        switch=$prev value=$cur  # "--encoding UT"
    fi
    [[ -n $switch ]] && _varnelpro_value "$switch" "$value" "$lead" && return
    if [[ $cur == -* ]]; then
        for word in)";
// ... and its end.
constexpr std::string_view kCompletionEnd = R"(; do
            [[ ${word,,} == "${cur,,}"* ]] && COMPREPLY+=("$word")
        done
        [[ ${COMPREPLY[*]} == *= || ${COMPREPLY[*]} == *"= "* ]] && compopt -o nospace 2>/dev/null
    else
        _varnelpro_paths "$cur" ""
    fi
}

complete -F _varnelpro varnelpro
)";

}  // namespace

std::string BashCompletion()
{
    std::string script(kCompletionStart);
    script += CompletionValueCases();
    script += kCompletionMiddle;
    script += CompletionSwitchWords();
    script += kCompletionEnd;
    return script;
}
