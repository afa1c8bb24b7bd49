#!/usr/bin/env python3
"""Writes the sample live-thread log and its preset under samples/livelog/.

The log is deterministic: the same script always writes the same bytes. It imitates two consecutive
threads of a live board as a browser shows them during a 30-minute broadcast (21:00-21:30) with an
advertising break from 21:12:00 to 21:14:30: posts before the start and after the end, posts without
seconds, anchors, AA, character references, a 1000th post and the "Over 1000 Thread" marker.
"""
import os
import random

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "samples", "livelog")

rng = random.Random(20240407)
NAME = "名無しでいいとも！＠放送中は実況板で"
ID_CHARS = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"
IDS = ["".join(rng.choice(ID_CHARS) for _ in range(8)) for _ in range(90)]

CHATTER = ["始まるぞ", "全裸待機", "今週も楽しみ", "先週の続きか", "5分前", "実況準備完了", "風呂入ってきた",
           "今北", "予告見た？", "ここ数週まじで神回続き"]
SHOW = ["かわいい", "作画いいな", "ｗｗｗ", "草", "この曲好き", "声優うまいな", "今の顔ｗ", "いい話だ",
        "背景きれい", "ここすき", "作画班ありがとう", "おっ", "えっ", "まじか", "泣いた", "ｗｗｗｗｗ",
        "なんでや", "伏線かな", "説明セリフ多いな", "主人公有能", "先輩ｗ", "こういうのでいいんだよ",
        "演出いいね", "BGMいい", "これは名作", "あっ…", "次回どうなるんだ"]
BURST = ["きたあああああ", "きたー", "ｷﾀ━━━━━━(ﾟ∀ﾟ)━━━━━━!!!!", "きたあ"]
CM = ["CM", "CMなげえ", "トイレ行ってくる", "ここでCMか", "CM入った"]
AFTER = ["おつ", "おつかれ", "来週も見る", "今週も面白かった", "ED良かった", "乙"]
AA = ["　　∧＿∧", "　（　´∀｀）＜　きたー", "　（　　　　）", "　｜ ｜　|", "　（_＿)＿）"]
REFS = ["&lt;●&gt;&lt;●&gt; 目が", "ハート&hearts;", "A&amp;Bパート", "&quot;神回&quot;"]


def body_for(t, number):
    """Body lines for a post at second t after 21:00:00 (negative before the start)."""
    if number == 1000:
        return ["1000ならBパートも神回"]
    if number == 1:
        return ["前スレ", "http://example.invalid/test/read.cgi/livetx/1712490000/"]
    r = rng.random()
    if r < 0.05:
        return [">>" + str(max(1, number - rng.randint(1, 30))) + " それな"]
    if r < 0.07:
        return AA
    if r < 0.09:
        return [rng.choice(REFS)]
    if r < 0.11:
        return [rng.choice(SHOW), rng.choice(SHOW)]
    if t < 0:
        return [rng.choice(CHATTER)]
    if 720 <= t < 870:
        return [rng.choice(CM)]
    if t >= 1800:
        return [rng.choice(AFTER)]
    return [rng.choice(SHOW)]


def times():
    """Post times in hundredths of a second after 21:00:00, sorted."""
    out = []
    t = -300 * 100
    while t < 35 * 60 * 100:
        gap = rng.randint(150, 700)
        if 0 <= t < 1800 * 100 and rng.random() < 0.3:
            gap = rng.randint(20, 160)
        t += gap
        out.append(t)
    # The opening and the return from the break bring bursts of the same cry.
    for base in (0, 870 * 100):
        out += [base + rng.randint(0, 400) for _ in range(14)]
    return sorted(out)


def header(number, h):
    s = 21 * 3600 + h // 100
    clock = "%02d:%02d" % (s // 3600, s // 60 % 60)
    if rng.random() < 0.08:
        stamp = clock  # boards in older logs show no seconds
    else:
        stamp = "%s:%02d.%02d" % (clock, s % 60, h % 100)
    ident = "???" if rng.random() < 0.02 else rng.choice(IDS)
    return "%d ：%s：2024/04/07(日) %s ID:%s" % (number, NAME, stamp, ident)


def main():
    posts = times()
    lines = []
    number = 620
    burst_words = iter(BURST * 20)
    for h in posts:
        t = h // 100
        if number == 1001:
            lines += ["1001 ：Over 1000 Thread ：Over 1000 Thread",
                      "このスレッドは１０００を超えました。", "新しいスレッドを立ててください。", "life time: 01:52:10", ""]
            number = 1
        lines.append(header(number, h))
        in_burst = (0 <= t < 5) or (870 <= t < 875)
        lines += [next(burst_words)] if in_burst and number not in (1, 1000) else body_for(t, number)
        lines.append("")
        number += 1
    os.makedirs(OUT, exist_ok=True)
    with open(os.path.join(OUT, "live-thread-30min-cm.txt"), "w", encoding="utf-8", newline="\n") as f:
        f.write("\n".join(lines) + "\n")

    preset = [
        "有効\t○××××××",
        "日付\t2024\t4\t7",
        "開始\t0\t0\t0\t21\t0\t0",
        "Aパート\t0\t12\t0\t21\t14\t30\t150",
    ]
    preset += ["%s\t0\t0\t0\t0\t0\t0\t60" % label for label in ("Bパート", "予告", "｜開始", "｜Aパ", "｜Bパ", "｜予告")]
    preset += ["終了\t0\t27\t30", "上書\t×", "指定\t×", "場所\t", "再構成\t×",
               "倉庫\t2024\t4\t7\t21\t30\t8\t100\t0", "条件\t", "その他\t×\t4\t40\t×\t×\t4000"]
    data = ("\r\n".join(preset) + "\r\n").encode("utf-16-le")
    with open(os.path.join(OUT, "sample-30min.txt"), "wb") as f:
        f.write(b"\xff\xfe" + data)


if __name__ == "__main__":
    main()
