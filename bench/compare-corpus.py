#!/usr/bin/env python3
"""Writes a text corpus in UTF-8 to standard output for bench/compare.sh.

    compare-corpus.py LANGUAGE SIZE_BYTES CODEC [crlf]

LANGUAGE is western, russian, japanese, chinese or mixed. Paragraphs are
drawn from a pool made of built-in word lists (seeded, so every machine gets
the same bytes) until the text, encoded with the Python CODEC it will be
converted into, would pass SIZE_BYTES. Each language keeps to the repertoire
of its legacy code page: no curly quotes or dashes in Russian (KOI8-R has
none), only JIS X 0208 in Japanese and no backslash or tilde (Shift_JIS
tables disagree on 0x5C and 0x7E), only GB2312 in Chinese.
"""
import random
import sys

WESTERN = """
the of and to in is that for it as with was on be by this are from at or an
have not which but they all were when there can more one will would about
time people year work house water world school country system program file
data text letter number question answer morning evening window garden city
le la les de des du et un une est pour dans qui que sur avec pas plus être
été déjà très où là français garçon hôtel fenêtre naïve cœur œuvre élève
château forêt théâtre hôpital bibliothèque journée année société février
der die das und ist nicht mit sich auch auf für über Mädchen Größe schön
Grüße Straße Fuß weiß müssen können größer früh Brücke Bäcker Käse Zürich
el la los las y en que por con para una más año niño mañana corazón canción
pingüino España también está información educación señor pequeño aquí allí
não são coração informação ação irmã avó café você português Conceição
""".split()
WESTERN_OPEN = ["“", "‘", "«", "• ", "§ "]
WESTERN_CLOSE = ["”", "’", "»", "…", " €", "™", "°", " ½", " –", " —", ",", ".", ";", ":", "!", "?"]

RUSSIAN = """
и в не на я что он с как а то это все она так его но да ты к у же вы за бы
по только ее мне было вот от меня еще нет о из ему теперь когда даже ну вдруг
ли если уже или ни быть был него до вас нибудь опять уж вам ведь там потом
себя ничего ей может они тут где есть надо ней для мы тебя их чем была сам
чтоб без будто чего раз тоже себе под будет ж тогда кто этот того потому
этого какой совсем ним здесь этом один почти мой тем чтобы нее сейчас были
куда зачем всех никогда можно при наконец два об другой хоть после над
больше тот через эти нас про всего них какая много разве три эту моя
впрочем хорошо свою этой перед иногда лучше чуть том нельзя такой им более
всегда конечно всю между город работа время человек жизнь день рука дело
глаз слово место лицо друг дом вопрос сторона страна мир случай голова
ребенок система программа файл кодировка текст письмо утро вечер окно
Москва Россия Петербург ёлка ещё всё объём съезд подъезд щука шёпот
""".split()

JAPANESE = """
日本 東京 大阪 会社 仕事 時間 今日 明日 昨日 学校 先生 学生 電車 駅 天気 言葉
問題 情報 技術 開発 文字 変換 設定 経済 社会 文化 歴史 世界 生活 研究 教育
環境 都市 政府 国民 自然 季節 旅行 料理 音楽 映画 写真 新聞 雑誌 手紙 電話
新しい 古い 大きい 小さい 長い 短い 高い 安い 早く 遅く 静かな 有名な 大切な
食べる 飲む 行く 来る 見る 話す 書く 読む 買う 使う 作る 考える 始める 続ける
ファイル データ システム コンピュータ ソフトウェア プログラム ネットワーク
サーバー ユーザー テスト メール ページ ボタン ウィンドウ フォルダー
""".split()
JAPANESE_GLUE = "の は が を に で と も から まで より へ や".split()
JAPANESE_END = "です。 ます。 ました。 でした。 でしょう。 ません。 だ。 である。".split()

CHINESE = """
我们 中国 北京 上海 公司 工作 时间 今天 明天 昨天 学校 老师 学生 经济 发展
社会 文化 历史 技术 网络 系统 文件 数据 编码 转换 软件 程序 用户 服务器 问题
信息 市场 政府 国家 人民 世界 生活 研究 教育 环境 城市 企业 产品 管理 政策
改革 建设 科学 国际 合作 重要 主要 进行 提高 部分 方面 情况 关系 地区 组织
的 了 在 是 和 有 也 就 都 要 会 对 这 那 不 很 他们 可以 已经 因为 所以 但是
通过 根据 认为 表示 开始 继续 需要 能够 一个 这些 所有 每天 非常 更加
""".split()
CHINESE_PUNCT = ["，", "，", "，", "、", "；", "：", "“", "”", "！", "？"]

EMOJI = ["😀", "🚀", "✓", "🎉", "𠀋", "👍"]


def western(rng):
    lines, line = [], []
    for _ in range(rng.randint(40, 140)):
        word = rng.choice(WESTERN)
        if rng.random() < 0.06:
            word = word.capitalize()
        if rng.random() < 0.05:
            word = rng.choice(WESTERN_OPEN) + word
        elif rng.random() < 0.05:
            word += rng.choice(WESTERN_CLOSE)
        elif rng.random() < 0.02:
            word += " " + str(rng.randint(1, 99999))
        line.append(word)
        if sum(len(w) + 1 for w in line) > 66:
            lines.append(" ".join(line))
            line = []
    lines.append(" ".join(line) + ".")
    return lines


def russian(rng):
    lines, line = [], []
    for _ in range(rng.randint(40, 140)):
        word = rng.choice(RUSSIAN)
        if rng.random() < 0.06:
            word = word.capitalize()
        if rng.random() < 0.08:
            word += rng.choice([",", ",", ".", ";", ":", "!", "?", " -"])
        elif rng.random() < 0.02:
            word += " " + str(rng.randint(1, 9999))
        line.append(word)
        if sum(len(w) + 1 for w in line) > 66:
            lines.append(" ".join(line))
            line = []
    lines.append(" ".join(line) + ".")
    return lines


def japanese(rng):
    text = ""
    for _ in range(rng.randint(2, 8)):
        sentence = ""
        for k in range(rng.randint(3, 8)):
            word = rng.choice(JAPANESE)
            if rng.random() < 0.1:
                word = "「" + word + "」"
            elif rng.random() < 0.04:
                word = str(rng.randint(1, 2030)) + "年"
            sentence += word + rng.choice(JAPANESE_GLUE)
            if k and rng.random() < 0.2:
                sentence += "、"
        text += sentence + rng.choice(JAPANESE) + rng.choice(JAPANESE_END)
    return [text[i:i + 38] for i in range(0, len(text), 38)]


def chinese(rng):
    text = ""
    for _ in range(rng.randint(2, 8)):
        sentence = ""
        for k in range(rng.randint(6, 20)):
            sentence += rng.choice(CHINESE)
            if k and rng.random() < 0.12:
                sentence += rng.choice(CHINESE_PUNCT)
            elif rng.random() < 0.03:
                sentence += str(rng.randint(1, 2030)) + "年"
        text += sentence + rng.choice("。。。！？")
    return [text[i:i + 36] for i in range(0, len(text), 36)]


def mixed(rng):
    lines = rng.choice((western, russian, japanese, chinese))(rng)
    if rng.random() < 0.1:
        lines[-1] += " " + rng.choice(EMOJI)
    return lines


MAKERS = {"western": western, "russian": russian, "japanese": japanese, "chinese": chinese, "mixed": mixed}


def main():
    language, size, codec = sys.argv[1], int(sys.argv[2]), sys.argv[3]
    newline = "\r\n" if len(sys.argv) > 4 and sys.argv[4] == "crlf" else "\n"
    rng = random.Random("varnel-compare-" + language)
    pool = []
    for _ in range(4096):
        text = newline.join(MAKERS[language](rng)) + newline + newline
        pool.append((text.encode("utf-8"), len(text.encode(codec))))
    out = sys.stdout.buffer
    written = 0
    chunk = []
    while True:
        data, encoded = pool[rng.randrange(len(pool))]
        if written + encoded > size:
            break
        chunk.append(data)
        written += encoded
        if len(chunk) >= 1024:
            out.write(b"".join(chunk))
            chunk = []
    out.write(b"".join(chunk))


if __name__ == "__main__":
    main()
