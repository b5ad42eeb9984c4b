#!/usr/bin/env python3
"""Writes the seed corpora fuzz/corpus/<target>/ from the project's sample
texts (scripts/make-samples.py). Run from the project root; the output is
committed, so the fuzz run needs no Python. The parameter bytes in front of
each seed follow the layout documented at the top of each fuzz target."""
import hashlib
import importlib.util
import os
import shutil

source = importlib.util.spec_from_file_location("samples", "scripts/make-samples.py")
samples = importlib.util.module_from_spec(source)
source.loader.exec_module(samples)
TEXTS = samples.TEXTS

ROOT = "fuzz/corpus"
# Supplementary characters: a treble clef and a CJK Extension B ideograph.
EXTRA = "Pairs: \U0001D11E \U0002000B end.\n"

# fuzz_text_reader: byte 0 selects the reading. 0 the byte order mark, 1..7
# the Unicode forms (TEXTENCODING), then these code pages in this order.
READER_CODEPAGES = [0, 65001, 1252, 20866, 932, 936, 949, 950, 54936, 52936,
                    50220, 50221, 50222, 50225, 50227, 50229, 20932, 51949, 874, 1251,
                    1200, 1201, 42, 28606, 65010]
UTF16BE, UTF16LE, UTF8, UTF32BE, UTF32LE, UCS4_2143, UCS4_3412 = range(1, 8)
BOMS = {UTF8: b"\xef\xbb\xbf", UTF16LE: b"\xff\xfe", UTF16BE: b"\xfe\xff",
        UTF32LE: b"\xff\xfe\0\0", UTF32BE: b"\0\0\xfe\xff",
        UCS4_2143: b"\0\0\xff\xfe", UCS4_3412: b"\xfe\xff\0\0"}


def unicode_form(text, form):
    if form == UTF8:
        return text.encode("utf-8")
    if form == UTF16LE:
        return text.encode("utf-16-le")
    if form == UTF16BE:
        return text.encode("utf-16-be")
    be = text.encode("utf-32-be")
    if form == UTF32BE:
        return be
    if form == UTF32LE:
        return text.encode("utf-32-le")
    order = (1, 0, 3, 2) if form == UCS4_2143 else (2, 3, 0, 1)
    return b"".join(bytes(be[i + k] for k in order) for i in range(0, len(be), 4))


def iso2022_cn(text):
    # GB2312 between SO and SI after the designator ESC $ ) A; ASCII as is.
    out = bytearray(b"\x1b$)A")
    shifted = False
    for ch in text:
        if ord(ch) < 0x80:
            if shifted:
                out += b"\x0f"
                shifted = False
            out += ch.encode("ascii")
        else:
            if not shifted:
                out += b"\x0e"
                shifted = True
            out += bytes(b & 0x7F for b in ch.encode("gb2312"))
    if shifted:
        out += b"\x0f"
    return bytes(out)


def write(target, data, name=None):
    folder = os.path.join(ROOT, target)
    os.makedirs(folder, exist_ok=True)
    name = name or hashlib.sha1(data).hexdigest()[:16]
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def reader_seeds():
    t = "fuzz_text_reader"
    cuts = [(0x07, 0x01), (0x22, 0x05), (0x45, 0x40), (0x8C, 0x02), (0x1F, 0xFF)]
    body = TEXTS["german"] + TEXTS["japanese"] + EXTRA
    for i, form in enumerate(range(1, 8)):
        data = unicode_form(body, form)
        buffer, chunk = cuts[i % len(cuts)]
        write(t, bytes([form, buffer, chunk]) + data)                      # imposed, no mark
        write(t, bytes([0, buffer ^ 0x40, chunk]) + BOMS[form] + data)     # found by its mark
        write(t, bytes([form, 0x03, 0x00]) + data[:-1])                    # cut inside a character
    bad_utf8 = b"ok \xc3 \xe2\x82 \xf0\x9f\x98 \xed\xa0\x80 \xc0\xaf \xff end\n"
    write(t, bytes([UTF8, 0x02, 0x03]) + bad_utf8)
    write(t, bytes([UTF16LE, 0x05, 0x01]) + b"a\0\x00\xd8b\0\x00\xdc\x3d\xd8")  # lone surrogates, cut pair
    write(t, bytes([UTF32LE, 0x06, 0x02]) + b"\x00\x00\x11\x00A\0\0\0\x00\xd8\0\0")  # past U+10FFFF, surrogate
    write(t, bytes([0, 0x00, 0x00]) + b"\xef\xbb")                               # half a mark
    write(t, bytes([0, 0x04, 0x07]) + b"first line\r\nsecond line\n")
    legacy = [
        (0, "german", "utf-8"), (65001, "russian", "utf-8"), (1252, "french", "cp1252"),
        (20866, "russian", "koi8-r"), (932, "japanese", "cp932"), (936, "chinese", "gbk"),
        (949, "korean", "cp949"), (950, "chinese_traditional", "cp950"), (54936, "chinese", "gb18030"),
        (52936, "chinese", "hz"), (50220, "japanese", "iso2022-jp"), (50221, "japanese", "iso2022-jp-ext"),
        (50222, "japanese", "iso2022-jp-2"), (50225, "korean", "iso2022-kr"), (20932, "japanese", "euc-jp"),
        (51949, "korean", "euc-kr"), (874, "thai", "cp874"), (1251, "russian", "cp1251"),
        (1200, "greek", "utf-16-le"), (1201, "greek", "utf-16-be"),
    ]
    for i, (cp, key, codec) in enumerate(legacy):
        data = TEXTS[key].encode(codec)
        selector = 8 + READER_CODEPAGES.index(cp)
        buffer, chunk = cuts[i % len(cuts)]
        write(t, bytes([selector, buffer, chunk]) + data)
        write(t, bytes([selector, 0x01, 0x02]) + data[: len(data) // 2 + 1])
    write(t, bytes([8 + READER_CODEPAGES.index(50227), 0x09, 0x03]) + iso2022_cn(TEXTS["chinese"]))
    write(t, bytes([8 + READER_CODEPAGES.index(54936), 0x02, 0x01]) + "\U0001D11E\u20ac".encode("gb18030"))
    write(t, bytes([8 + READER_CODEPAGES.index(52936), 0x01, 0x04]) + b"~{<:Ky~}~~ ~\n~{~x")
    write(t, bytes([8 + READER_CODEPAGES.index(42), 0x08, 0x08]) + bytes(range(256)))
    write(t, bytes([8 + READER_CODEPAGES.index(932), 0x01, 0x00]) + b"\x82\xa0\x82\x81\x80\xfd\x82")


def bom_seeds():
    t = "fuzz_bom_detector"
    text = TEXTS["russian"].replace("\n", "\r\n")
    for form, mark in BOMS.items():
        write(t, mark)
        write(t, mark + unicode_form(text, form))
        write(t, mark[:-1])
    write(t, text.encode("utf-16-le"))
    write(t, (TEXTS["english"] + TEXTS["english"]).encode("utf-16-le"))
    write(t, TEXTS["chinese"].encode("utf-16-le"))
    write(t, TEXTS["korean"].encode("utf-16-be"))
    write(t, ("x" * 1500 + TEXTS["japanese"]).encode("utf-16-le"))  # beyond the 2048-byte sample
    write(t, "a\U0001D11E".encode("utf-16-le") + b"\x34\xd8")        # a pair cut by the end
    write(t, TEXTS["english"].encode("ascii"))
    write(t, b"")


def detector_seeds():
    t = "fuzz_codepage_detector"
    choices = [0x06, 0x15, 0x2C, 0x33, 0x07, 0x4E, 0x02, 0x30]
    files = [os.path.join(d, f) for d, _, fs in os.walk("samples") for f in sorted(fs)]
    for i, path in enumerate(sorted(files)):
        with open(path, "rb") as f:
            write(t, bytes([choices[i % len(choices)]]) + f.read())
    extra = [
        (0x06, TEXTS["japanese"].encode("iso2022-jp")), (0x06, TEXTS["korean"].encode("iso2022-kr")),
        (0x06, iso2022_cn(TEXTS["chinese"])), (0x06, TEXTS["chinese"].encode("hz")),
        (0x0E, (TEXTS["chinese"] + "\U0002000B").encode("gb18030")), (0x06, TEXTS["russian"].encode("cp866")),
        (0x16, TEXTS["polish"].encode("cp1250")), (0x06, TEXTS["greek"].encode("cp1253")),
        (0x06, TEXTS["german"].encode("utf-8")), (0x06, "caf\u00e9 na\u00efve \u00a0text\n".encode("cp1252")),
        (0x26, TEXTS["russian"].encode("utf-32-le")), (0x06, b"\xef\xbb\xbf" + TEXTS["thai"].encode("utf-8")),
        (0x06, b"plain 7-bit text\n"),
    ]
    for choice, data in extra:
        write(t, bytes([choice]) + data)


def csv_seeds():
    t = "fuzz_csv"
    values = ["plain", "a,b", 'say "hi"', '"', '""', "line\r\nbreak", "tab\there", "lone\rcr\nlf\n\r",
              "\r\n\r\n", 'x,"y",\tz\n', "Ünïcödé, \U0001D11E", ""]
    for i, value in enumerate(values):
        write(t, bytes([i * 5 % 32, i * 37 % 256]) + value.encode("utf-8"))


def command_line_seeds():
    t = "fuzz_command_line"
    lines = [
        ["-in=/data/in", "-out=/data/out", "-r", "-h", "-c", "-enc=UTF16LE", "-bom=yes", "-rt=CRLF",
         "-cp=1252", "-wf=*.txt;*.csv", "-export=report.csv", "-exporttype=CSV", "-exportenc=UTF16",
         "-exportbom=no"],
        ["/in:relative dir", "/o:/a:b", "-d", "-rf=^.*\\.(txt|ini)$", "-mode=FILE", "-enc=3412",
         "-exporttype=XML", "-locale=de_DE", "-quiet", "-q"],
        ["-logtype=xml", "-logfile=/tmp/log.xml", "-loglevel=debug", "-resetlayout", "-quit", "-help", "-?"],
        ["-upgrade"], ["-regtoxml"], ["-CmdFile=missing.txt", "-cmdfilemaxsize=99999999999"],
        ["-cp=-5", "-cp=65001", "-enc=utf32be", "-rt=lf", "-bom=0", "-mode=corventa", "-", "-after=ignored"],
        ['say "quoted"', 'back\\\\slash\\"', "", "-=novalue", "-key=", "trailing\\", "\udcff\udcfe-bad-utf8"],
    ]
    for i, args in enumerate(lines):
        write(t, bytes([i & 1]) + b"\0".join(a.encode("utf-8", "surrogateescape") for a in args))
    write(t, b"\x00" + b"\xef\xbb\xbf -in=/x -d -cp=932\r\nsecond line is ignored")
    write(t, b"\x00" + "\ufeff -in=/x -enc=UTF8 -rt=CR".encode("utf-16-le"))


def settings_xml(version, body):
    return '<?xml version="1.0" encoding="utf-8"?>\n<varnel>\n<settings version="%s">\n%s</settings>\n</varnel>\n' % (
        version, body)


def settings_seeds():
    t = "fuzz_settings"
    job = ("<jobSetting><detectOnly>false</detectOnly><allowBinaryListDetection>true</allowBinaryListDetection>"
           "<converterThreads>4</converterThreads><sampleSizeMB>8</sampleSizeMB><useGB18030>true</useGB18030>"
           "<useConsolidatedBuffer>false</useConsolidatedBuffer><chunkSize>4096</chunkSize>"
           "<readBufferSize>8192</readBufferSize><writeBufferSize>16384</writeBufferSize></jobSetting>\n")
    profile = ("<copyUnconverted>true</copyUnconverted><writeBom>false</writeBom>"
               "<processHiddenFiles>true</processHiddenFiles><recursive>true</recursive>"
               "<inputCodepage>1251</inputCodepage><outputTextFormat>UTF16LE</outputTextFormat>"
               "<returnType>CRLF</returnType><filter name=\"Texts\" enabled=\"true\" type=\"wildcard\">"
               "<expression>*.txt;*.csv</expression><comment>a &amp; b &lt;c&gt;</comment></filter>")
    prefs = ("<preferences><showLanguageMenu>false</showLanguageMenu><previewSizeLimit>65536</previewSizeLimit>"
             "<previewLimitFixed>true</previewLimitFixed></preferences>\n")
    profiles = ('<sessionProfiles><profile name="Work">%s</profile><profile name=" work ">'
                '<inputCodepage>99999</inputCodepage><filter type="regex"><expression>^a.*$</expression></filter>'
                '</profile><profile name="Russian"><inputCodepage>20866</inputCodepage></profile>'
                '</sessionProfiles>\n') % profile
    full = settings_xml("2.0", job + "<currentProfile>%s</currentProfile>\n" % profile + prefs + profiles)
    write(t, full.encode("utf-8"))
    write(t, settings_xml("*", job + prefs).encode("utf-8"))
    write(t, (settings_xml("1.9", job) .replace("</varnel>", '<settings version="2.0">' + prefs + "</settings></varnel>")).encode("utf-8"))
    write(t, settings_xml("2.0", "<jobSetting><chunkSize> -7 </chunkSize><sampleSizeMB>1e3</sampleSizeMB>"
                          "<converterThreads>99999999999999999999</converterThreads></jobSetting>"
                          "<preferences><previewSizeLimit>-1</previewSizeLimit></preferences>"
                          "<currentProfile><outputTextFormat>EBCDIC</outputTextFormat><returnType>NL</returnType>"
                          "<inputCodepage>abc</inputCodepage></currentProfile>").encode("utf-8"))
    write(t, full.replace('encoding="utf-8"', 'encoding="utf-16"').encode("utf-16"))
    write(t, full.encode("utf-8")[:300])
    write(t, b"<varnel/>")
    write(t, b"<config><settings version=\"2.0\"/></config>")
    write(t, settings_xml("2.0", "<jobSetting><chunkSize>4096<?pi?>1</chunkSize></jobSetting>"
                          "<currentProfile><filter><comment>a<!-- note -->b</comment></filter></currentProfile>"
                          ).encode("utf-8"))
    write(t, settings_xml("2.0", "<currentProfile><filter><comment><![CDATA[ ]]></comment>"
                          "<expression>a\r\nb</expression></filter></currentProfile>").encode("utf-8"))


def locale_seeds():
    t = "fuzz_locale"
    with open("Locales/de_DE/locale.xml", "rb") as f:
        german = f.read()
    write(t, german)
    write(t, german.replace(b'locale="de_DE"', b'locale=""'))
    write(t, german.replace(b"<version>2.0.0</version>", b"<version> 2.0 </version>"))
    write(t, german.replace(b"<version>2.0.0</version>", b"<version>1.9.9</version>"))
    write(t, german.replace(b"varnelpro_de_DE.qm", b"../../locale.xml").replace(b"<helpFile></helpFile>",
                                                                           b"<helpFile>../help.html</helpFile>"))
    write(t, german.decode("utf-8").replace('encoding="utf-8"', 'encoding="utf-16"').encode("utf-16"))
    write(t, b'<varnelLocaleInfo locale="fr-CA"><version>2.0.x</version></varnelLocaleInfo>')
    write(t, b"<otherRoot/>")


def main():
    if os.path.isdir(ROOT):
        shutil.rmtree(ROOT)
    reader_seeds()
    bom_seeds()
    detector_seeds()
    csv_seeds()
    command_line_seeds()
    settings_seeds()
    locale_seeds()


if __name__ == "__main__":
    main()
