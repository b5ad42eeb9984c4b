#!/usr/bin/env python3
"""Writes the bundled samples/ corpus: the project's own short texts in several
languages and encodings, with BOM and BOM-less Unicode files, line-ending
variants, a binary file, an empty file and nested folders. Run from the
project root; the output is committed, so a user needs no Python."""
import os
import random
import shutil

TEXTS = {
    "english": "The old lighthouse keeper counted the ships every evening.\n"
               "When the fog came in, he lit the lamp and wrote the names in a ledger.\n"
               "Nobody ever read the ledger, but he kept it for forty-one years.\n",
    "french": "Le vieux gardien du phare comptait les navires chaque soir.\n"
              "Quand le brouillard arrivait, il allumait la lampe et notait leurs noms.\n"
              "Personne n'a jamais lu ce cahier, mais il l'a gardé quarante et un ans : « voilà ».\n",
    "german": "Der alte Leuchtturmwärter zählte jeden Abend die Schiffe.\n"
              "Wenn der Nebel kam, zündete er die Lampe an und schrieb die Namen in ein Buch.\n"
              "Niemand las das Buch, aber er führte es einundvierzig Jahre lang – größtenteils allein.\n",
    "russian": "Старый смотритель маяка каждый вечер считал корабли.\n"
               "Когда приходил туман, он зажигал лампу и записывал названия в журнал.\n"
               "Никто никогда не читал этот журнал, но он вёл его сорок один год.\n",
    "greek": "Ο γέρος φύλακας του φάρου μετρούσε τα πλοία κάθε βράδυ.\n"
             "Όταν ερχόταν η ομίχλη, άναβε τη λάμπα και έγραφε τα ονόματα σε ένα βιβλίο.\n",
    "japanese": "年老いた灯台守は、毎晩船の数を数えていました。\n"
                "霧が出ると、彼はランプに火をともし、船の名前を帳面に書きました。\n"
                "誰もその帳面を読みませんでしたが、彼は四十一年間書き続けました。\n",
    "chinese": "老灯塔看守人每天晚上都数着过往的船只。\n"
               "雾来的时候，他点亮灯，把船名写进一本簿子里。\n"
               "从来没有人读过那本簿子，但他坚持记了四十一年。\n",
    "chinese_traditional": "老燈塔看守人每天晚上都數著過往的船隻。\n"
                           "霧來的時候，他點亮燈，把船名寫進一本簿子裡。\n",
    "korean": "늙은 등대지기는 매일 저녁 배를 세었습니다.\n"
              "안개가 끼면 그는 등불을 켜고 배 이름을 장부에 적었습니다.\n"
              "아무도 그 장부를 읽지 않았지만, 그는 사십일 년 동안 그것을 썼습니다.\n",
    "hebrew": "שומר המגדלור הזקן ספר את הספינות בכל ערב.\n"
              "כשהערפל הגיע, הוא הדליק את המנורה ורשם את השמות בפנקס.\n",
    "polish": "Stary latarnik co wieczór liczył statki.\n"
              "Gdy nadchodziła mgła, zapalał lampę i zapisywał nazwy w księdze, przez czterdzieści jeden lat.\n",
    "thai": "ผู้ดูแลประภาคารชราคนนั้นนับเรือทุกเย็น\n"
            "เมื่อหมอกลง เขาจุดตะเกียงและจดชื่อเรือไว้ในสมุด\n",
}

# (path, text key, codec, bom, line ending)
FILES = [
    ("english.txt", "english", "ascii", False, "\n"),
    ("western/french-1252.txt", "french", "cp1252", False, "\r\n"),
    ("western/german-utf8.txt", "german", "utf-8", False, "\n"),
    ("western/german-utf8-bom.txt", "german", "utf-8", True, "\r\n"),
    ("cyrillic/russian-koi8r.txt", "russian", "koi8-r", False, "\n"),
    ("cyrillic/russian-1251.txt", "russian", "cp1251", False, "\r\n"),
    ("cyrillic/russian-utf16le-nobom.txt", "russian", "utf-16-le", False, "\r\n"),
    ("greek/greek-iso8859-7.txt", "greek", "iso8859-7", False, "\n"),
    ("asian/japanese-shiftjis.txt", "japanese", "cp932", False, "\r\n"),
    ("asian/japanese-eucjp.txt", "japanese", "euc-jp", False, "\n"),
    ("asian/chinese-gb18030.txt", "chinese", "gb18030", False, "\n"),
    ("asian/chinese-big5.txt", "chinese_traditional", "big5", False, "\r\n"),
    ("asian/korean-euckr.txt", "korean", "euc-kr", False, "\n"),
    ("asian/korean-utf16be-bom.txt", "korean", "utf-16-be", True, "\n"),
    ("other/hebrew-1255.txt", "hebrew", "cp1255", False, "\r\n"),
    ("other/polish-iso8859-2.txt", "polish", "iso8859-2", False, "\n"),
    ("other/thai-874.txt", "thai", "cp874", False, "\n"),
    ("other/old mac notes.txt", "english", "ascii", False, "\r"),
]

BOMS = {"utf-8": b"\xef\xbb\xbf", "utf-16-le": b"\xff\xfe", "utf-16-be": b"\xfe\xff"}


def main():
    root = "samples"
    if os.path.isdir(root):
        shutil.rmtree(root)
    for path, key, codec, bom, eol in FILES:
        full = os.path.join(root, path)
        os.makedirs(os.path.dirname(full) or root, exist_ok=True)
        text = TEXTS[key].replace("\n", eol)
        data = (BOMS[codec] if bom else b"") + text.encode(codec)
        with open(full, "wb") as f:
            f.write(data)
    # A binary file: a small image-like header and runs of zero bytes.
    rng = random.Random(20261207)
    blob = b"\x89PNG\r\n\x1a\n\x00\x00\x00\rIHDR" + bytes(rng.randrange(256) for _ in range(200)) + b"\x00" * 64
    os.makedirs(os.path.join(root, "assets"), exist_ok=True)
    with open(os.path.join(root, "assets", "logo.png"), "wb") as f:
        f.write(blob)
    open(os.path.join(root, "assets", "empty.txt"), "wb").close()


if __name__ == "__main__":
    main()
