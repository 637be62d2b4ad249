#!/usr/bin/env python3
"""Writes the sample capture logs of this folder: Shift-JIS (CP932) text with CR LF line ends,
laid out column by column the way the service's screens show them.

Run it from anywhere: python3 examples/make-examples.py
"""
import os

HERE = os.path.dirname(os.path.abspath(__file__))


def sj(text):
    return text.encode("cp932")


def cols(length, *fields):
    """A screen line of at least `length` bytes: (column, text) pairs at 1-based byte columns,
    spaces in between. Fails when two fields overlap, so every layout below is exact."""
    line = bytearray(b" " * length)
    used = [False] * length
    for column, text in fields:
        data = sj(text)
        end = column - 1 + len(data)
        if end > len(line):
            line.extend(b" " * (end - len(line)))
            used.extend([False] * (end - len(used)))
        for i in range(column - 1, end):
            assert not used[i], f"fields overlap at column {i + 1}: {text!r}"
            used[i] = True
        line[column - 1:end] = data
    return bytes(line)


def text(s):
    return sj(s)


def write(name, lines):
    data = b"".join(line + b"\r\n" for line in lines)
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(data)


# --- a forum: members, library, conference room, real-time conference ------------------------

def member(id_, handle, state):  # 30 bytes; "ON " keeps its trailing space
    line = cols(30, (1, id_), (11, handle), (28, state))
    assert len(line) == 30
    return line


def library(no, id_, date, size, count, title):
    line = cols(40, (1, f"{no:04d}"), (7, id_), (16, date), (25, f"{size:7d}"), (33, f"{count:4d}"),
                (38, title))
    return line


def room(no, id_, date, time, title):
    return cols(39, (1, f"{no:05d}"), (8, id_), (17, date), (23, time), (29, title))


def reply(no, to, id_, handle, title):
    return cols(40, (1, f"{no:05d}"), (6, "/"), (7, f"{to:05d}"), (13, id_), (23, handle), (41, title))


forum = [
    text(" Enter User-ID  --->ABC00001"),
    text(" Password  --->"),
    text(""),
    text("NIFTY-Serve     TOP"),
    text(""),
    text(" 1 フォーラム         2 電子メール"),
    text(" 3 パティオ           4 ＣＢシミュレータ"),
    text(""),
    text("TOP>GO FGOLF"),
    text(""),
    text("＜ＦＧＯＬＦ＞FGOLF ゴルフ愛好会フォーラム"),
    text(""),
    text(" 1 お知らせ       2 会議室       3 データライブラリ"),
    text(" 4 リアルタイム会議   5 会員情報     E 終了"),
    text(""),
    text("FGOLF>5"),
    text(""),
    text("ＩＤ        ハンドル名        状態"),
    member("DEF00002", "みどり", "OFF"),
    member("GHI00003", "ゴルフ太郎", "ON "),
    text(""),
    text("FGOLF>3"),
    text(""),
    text("番号  ＩＤ     登録日     バイト 回数 タイトル"),
    library(1, "JKL00004", "96/03/01", 12345, 12, "スイング解説"),
    library(2, "DEF00002", "96/03/04", 2048, 7, "コース攻略メモ"),
    library(3, "mno00005", "96/03/09", 98304, 31, "スコア集計ツール"),
    text(""),
    text("FGOLF>2"),
    text(""),
    text("番号   ＩＤ     日付  時刻  タイトル"),
    room(101, "PQR00006", "03/02", "21:15", "コースの予約について"),
    reply(102, 101, "GHI00003", "ゴルフ太郎", "Re:予約"),
    room(103, "STU00007", "03/03", "07:40", "早朝ラウンドの仲間募集"),
    text(""),
    text("FGOLF>4"),
    text(""),
    text("－リアルタイム会議開始 (終了:/E)－"),
    text("(1,DEF00002,みどり) こんばんは"),
    text("(1,GHI00003,ゴルフ太郎) よろしくです"),
    cols(20, (2, " 12"), (6, "1"), (12, "VWX00008"), (21, "見学者")),
    cols(44, (1, "－"), (3, "YZA00009"), (11, "　"), (13, "のユーザーからのメッセージです－")),
    text("/E"),
    text(""),
    text("NIFTY-Serve     TOP"),
    text("TOP>OFF"),
]

# --- a PATIO with its GUEST list, then the CB simulator ---------------------------------------


def guest(id_, handle, date, time, mark):
    line = cols(56, (1, id_), (15, handle), (33, date), (42, time), (51, mark))
    assert len(line) == 56
    return line


patio_cb = [
    text(" Enter User-ID  --->QMR00001"),
    text(" Password  --->"),
    text(""),
    text("NIFTY-Serve     TOP"),
    text("TOP>GO PATIO"),
    text(""),
    text("パティオ    PATIO"),
    text(""),
    text("ID (改行のみ：自分のパティオ)"),
    text("："),
    text(""),
    text("＊＊＊ 山歩きの会 ＊＊＊"),
    text(" 1 会議室   2 ＧＵＥＳＴ   E 終了"),
    text("PATIO(N)>2"),
    text(""),
    text("ＩＤ          ハンドル名        最終アクセス      "),
    guest("BCD00010", "山好き", "96/04/01", "20:15:03", "会員"),
    guest("EFG00011", "ハイカー花子", "96/04/02", "06:02:41", "会員"),
    text(""),
    text("PATIO(N)>1"),
    text(""),
    room(5, "BCD00010", "04/03", "19:20", "次の山行の相談"),
    text(""),
    text("PATIO(N)>MOV HIJ00012"),
    text(""),
    text("＊＊＊ 写真部 ＊＊＊"),
    text("PATIO(N)>2"),
    guest("KLM00013", "カメラ小僧", "96/04/05", "23:59:59", "会員"),
    text(""),
    text("NIFTY-Serve     TOP"),
    text("TOP>GO CB"),
    text(""),
    text("*Welcome to CB Band B"),
    text("(5,NOP00014,ぽち)ハロー"),
    text("(TALK,BCD00010,山好き)おひさしぶり"),
    cols(36, (1, "**"), (4, "JOB"), (8, "入室"), (28, "QRS00015")),
    text("/E"),
    text("NIFTY-Serve     TOP"),
    text("TOP>OFF"),
]

# --- both mail books --------------------------------------------------------------------------


def received_list(no, handle, id_, subject, date, time):
    line = cols(54, (1, f"{no:04d}"), (5, handle), (23, id_), (32, subject), (41, date), (50, time))
    assert len(line) == 54
    return line


def received(date, id_, handle, subject):
    return cols(37, (1, date), (9, id_), (19, handle), (36, subject))


def sent(date, read, time, id_, handle):
    return cols(37, (1, date), (9, read), (15, time), (23, id_), (37, handle))


mail = [
    text(" Enter User-ID  --->ABC00001"),
    text("NIFTY-Serve     TOP"),
    text("TOP>GO MAIL"),
    text(""),
    text("電子メール（1:受信　2:送信　3:送信簿　0:その他　E:終了）"),
    text("MAIL>1"),
    text(""),
    text("番号ハンドル名          ＩＤ     件名     日付     時刻"),
    received_list(1, "ゴルフ太郎", "GHI00003", "コンペ", "96/03/05", "21:30"),
    received_list(2, "gateway", "TUV00016", "news", "96/03/06", "08:00"),
    received_list(3, "INET GATE", "WXY00017", "Re:", "96/03/06", "09:12"),
    text(""),
    text("MAIL>1 2"),
    text(""),
    received("03/07", "BCD00010", "山好き", "次の山行"),
    received("03/07", "ZAB00018", "INET GATE", "from the Internet"),
    text(""),
    text("MAIL>3"),
    text(""),
    text("送信日  既読日 時刻    あて先ＩＤ    ハンドル名"),
    sent("03/08", "03/08", "22:10", "GHI00003", "ゴルフ太郎"),
    sent("03/08", "03/09", "07:05", "CDE00019", "（非公開）"),
    sent("03/09", "03/09", "12:00", "FGH00020", "INET GATE"),
    text(""),
    text("MAIL>E"),
    text("NIFTY-Serve     TOP"),
    text("TOP>OFF"),
]

if __name__ == "__main__":
    write("forum.log", forum)
    write("patio-cb.log", patio_cb)
    write("mail.log", mail)
