#!/usr/bin/env python3
"""Writes a deterministic, realistic NIFTY-Serve capture log for the scan benchmark.

The log is Shift-JIS (code page 932) with CR LF line ends. It is mostly article text and menus,
with forum headings, library and conference listings, real-time conference and CB simulator chat,
PATIO and GUEST screens and the two mail books, every screen in the fixed column layout the
scanner knows. Roughly 10-20 % of the lines carry an ID find.

Speed: a pool of varied screens (each one a few dozen lines, starting with the line that sets its
context, so that any order of screens reads the same) is built once and then drawn from until the
wanted size is reached.

With --many-rooms the log visits thousands of distinct forums and PATIOs instead of a few dozen
(about 13,000 room folders on 100 MB), with a small crowd of users, and every screen is drawn
fresh rather than from a pool: most finds are then an ID new to its room, which is what makes
filing and its memory cost per (folder, ID) pair show.

With --expect FILE the generator also writes, in raw Shift-JIS bytes, the finds a correct scanner
reports for the log (`quillet scan --finds --raw` format, without the closing `end` line).

Python 3 standard library only.
"""

import argparse
import random
import sys
import time

CRLF = b"\r\n"
MY_ID = "QLT01234"
MY_HANDLE = "くいれっと"

CAT_NONE, CAT_FORUM, CAT_LIBRARY, CAT_CONFERENCE, CAT_REALTIME = 0, 1, 2, 3, 4
CAT_PATIO, CAT_PATIO_CONF, CAT_PATIO_GUEST, CAT_CB = 5, 6, 7, 8
CAT_RECEIVED, CAT_SENT = 9, 10


def sj(text):
    return text.encode("cp932")


def pad(data, width):
    """Left-aligned bytes in a field of `width` bytes."""
    if len(data) > width:
        raise ValueError(f"{data!r} does not fit {width} bytes")
    return data + b" " * (width - len(data))


SURNAMES = ["山田", "佐藤", "鈴木", "高橋", "田中", "渡辺", "伊藤", "中村", "小林", "加藤", "吉田",
            "山本", "松本", "井上", "木村", "林", "清水", "森", "池田", "橋本", "阿部", "石川"]
GIVEN = ["太郎", "花子", "一郎", "美紀", "健", "由美", "誠", "直子", "浩", "裕子", "修", "恵",
         "大輔", "智子", "隆", "久美子", "聡", "真理"]
NICKS = ["みかん", "ねこまる", "ぽち", "たぬき", "こげぱん", "うさぎ", "かめ吉", "ぺんぎん",
         "ふくろう", "ほたる", "まめ", "そら", "ゆきんこ", "ころすけ", "はむ太"]
HALF_KANA = ["ﾐｶﾝ", "ﾈｺﾏﾙ", "ﾀﾇｷ", "ｼﾞｮｰ", "ﾊﾟﾝﾀﾞ", "ｺﾞﾛｰ", "ﾎﾟﾁ", "ｹﾛﾖﾝ", "ﾋﾟｰﾁ", "ﾀﾞｲｽｹ"]
ASCII_NICKS = ["Taro", "JUN", "mike", "K.Sato", "ZEN", "Hiro", "YUKI", "neko", "Boss", "Kaz",
               "T.Mori", "sumi", "Dr.K", "ACE", "Momo"]

FORUMS = [("FBOOK", "本と雑誌フォーラム"), ("FCMPTR", "コンピュータフォーラム"),
          ("FGAMEA", "ゲームフォーラムＡ"), ("FMUSIC", "音楽フォーラム"),
          ("FTRAVEL", "旅の発見フォーラム"), ("FPCUG", "パソコンユーザーフォーラム"),
          ("FANIME", "アニメフォーラム"), ("FCAR", "自動車フォーラム"),
          ("FPET", "ペットフォーラム"), ("FCOOK", "料理フォーラム"),
          ("FSCIFI", "ＳＦフォーラム"), ("FRAIL", "鉄道フォーラム"),
          ("SPORTS", "スポーツ専門館"), ("SCIENCE", "科学技術の広場"),
          ("FMAC", "マッキントッシュフォーラム"), ("FWIN", "ウィンドウズフォーラム")]
OTHER_HEADINGS = ["ニュース速報", "天気予報", "オンラインショッピング", "パソコン通信の歩き方",
                  "お知らせコーナー", "ニフティサーブ総合案内"]
ROOMS = ["雑談の部屋", "初心者の質問箱", "新刊情報", "お勧めの一冊", "ソフトウェア相談室",
         "ハードウェア談義", "オフラインミーティング", "作品発表の場", "情報交換", "なんでも掲示板"]
TITLES = ["こんにちは、はじめまして", "Re:質問があります", "お勧めを教えてください",
          "オフ会のお知らせ（東京）", "Re:Re:その後の経過", "新しいツールを公開しました",
          "バグ報告とその対策", "週末の予定について", "ご挨拶と自己紹介です", "読書感想文：夏の本",
          "Re:雑談スレッド　その１２", "【告知】メンテナンスのお知らせ", "ＰＣ－９８０１の使い方",
          "モデムの設定について", "通信ソフトの比較", "Re:ログの取り方"]
FILE_TITLES = ["便利なツール集 (LZH)", "フォントビューアー v1.2", "サンプル画像集 その３",
               "テキストエディタ設定集", "通信ソフト用マクロ", "ゲームのセーブデータ",
               "MIDI作品「春の小径」", "ＦＡＱ集　第５版", "壁紙セット (GIF)", "自作ユーティリティ"]
SUBJECTS = ["お久しぶりです", "オフ会の件", "Re:先日はどうも", "資料をお送りします",
            "ご質問の件", "打ち合わせ日程", "Re:Re:例の件", "年賀状ありがとう", "ご連絡"]
CHAT_TEXTS = ["こんばんは～", "はじめまして、よろしくお願いします", "今日は寒いですね",
              "それでは、また！", "そうそう、その話です", "(^_^)", "なるほど～", "わはは",
              "では落ちます。おやすみなさい", "ちょっと待ってね", "いま来ました", "どうもです",
              "了解です", "ｵﾂｶﾚｻﾏ~", "それはすごい", "え、本当に？"]
WORDS = ["今日", "は", "パソコン", "通信", "の", "話題", "について", "少し", "書いて", "みます。",
         "先日", "購入した", "モデム", "ですが", "とても", "快適", "です。", "皆さん", "は",
         "どう", "思われますか？", "フォーラム", "で", "教えて", "いただいた", "方法", "を",
         "試して", "みました。", "結果", "として", "うまく", "いきました。", "ありがとう",
         "ございました。", "また", "何か", "あれば", "よろしく", "お願いします。", "ところで",
         "次回", "オフ会", "日程", "ですが、", "来月", "第二", "土曜日", "は", "いかが", "でしょう。",
         "ＰＣ－９８", "ＤＯＳ", "ＬＺＨ", "ｿﾌﾄ", "ﾃｽﾄ", "9600bps", "MS-DOS", "Ver.2.1",
         "ﾀﾞｳﾝﾛｰﾄﾞ", "アップロード", "ログ", "会議室", "発言", "読みました。"]
FORUM_MENU = ["  1 お知らせ", "  2 会議室（電子会議）", "  3 データライブラリ",
              "  4 リアルタイム会議", "  5 メンバー一覧", "  6 フォーラムの使い方",
              "  7 アンケート", "  E 終了", "番号またはコマンドを入力してください",
              "番号 (1-7,E)>2", "番号 (1-7,E)>3", "番号 (1-7,E)>5"]
TOP_MENU = ["  1 ニュース・天気・ビジネス情報", "  2 電子メール", "  3 フォーラム",
            "  4 ショッピング", "  5 パティオ", "  6 ＣＢシミュレータ", "  7 会員情報",
            "  E 終了", "番号またはＧＯコマンドを入力してください", "> GO FBOOK", "> GO MAIL",
            "> GO PATIO", "> GO CB"]
PATIO_MENU = ["  1 会議室", "  2 ゲスト一覧", "  3 メンバー一覧", "  4 パティオの説明",
              "  E 終了", "PATIO>1", "PATIO>2", "番号を入力してください"]


class Pool:
    """Users, texts and the screens built from them."""

    def __init__(self, rng, users=20000):
        self.rng = rng
        self.users = [self.make_user() for _ in range(users)]
        self.article_lines = [self.make_article_line() for _ in range(4000)]

    def make_id(self):
        r = self.rng
        letters = "".join(r.choice("ABCDEFGHJKLMNPQRSTVWXYZ") for _ in range(3))
        return f"{letters}{r.randrange(100000):05d}"

    def make_handle(self):
        r = self.rng
        kind = r.randrange(6)
        if kind == 0:
            text = r.choice(SURNAMES) + r.choice(GIVEN)
        elif kind == 1:
            text = r.choice(NICKS)
        elif kind == 2:
            text = r.choice(HALF_KANA)
        elif kind == 3:
            text = r.choice(ASCII_NICKS)
        elif kind == 4:
            text = r.choice(NICKS) + "＠" + r.choice(SURNAMES)
        else:
            text = r.choice(SURNAMES) + "　" + r.choice(GIVEN)
        data = sj(text)
        return data if len(data) <= 15 else sj(r.choice(NICKS))

    def make_user(self):
        return (self.make_id().encode("ascii"), self.make_handle())

    def user(self):
        return self.rng.choice(self.users)

    def make_article_line(self):
        r = self.rng
        kind = r.randrange(20)
        if kind == 0:
            return b""
        if kind == 1:
            # A quoted line, sometimes naming someone by ID in running text.
            uid, handle = self.user()
            return b"> " + handle + sj("さん（") + uid + sj("）の発言より：") + sj(r.choice(WORDS))
        if kind == 2:
            return sj("ＢＹ　") + self.user()[1]
        if kind == 3:
            uid, _ = self.user()
            return uid + sj("さんへ　") + sj("".join(r.choice(WORDS) for _ in range(5)))
        words = []
        length = 0
        limit = r.randrange(30, 76)
        while length < limit:
            w = sj(r.choice(WORDS))
            if length + len(w) > 78:
                break
            words.append(w)
            length += len(w)
        line = b"".join(words)
        return sj("　") + line if r.randrange(4) == 0 else line

    def article(self, lines):
        return [(self.rng.choice(self.article_lines), None) for _ in range(lines)]


def date_ymd(r):
    return f"{r.randrange(94, 100):02d}/{r.randrange(1, 13):02d}/{r.randrange(1, 29):02d}".encode()


def date_md(r):
    return f"{r.randrange(1, 13):02d}/{r.randrange(1, 29):02d}".encode()


def time_hm(r):
    return f"{r.randrange(24):02d}:{r.randrange(60):02d}".encode()


def time_hms(r):
    return f"{r.randrange(24):02d}:{r.randrange(60):02d}:{r.randrange(60):02d}".encode()


class Screens:
    """Builds screens: lists of (line bytes, expected find or None), where a find is
    (category, name bytes, ID bytes, handle bytes)."""

    def __init__(self, pool, forums=None, patio_owners=None):
        self.p = pool
        self.r = pool.rng
        self.forums = forums or FORUMS
        # The PATIOs visited: any user's, or those of a fixed list.
        self.patio_owners = patio_owners

    def patio_owner(self):
        if self.patio_owners:
            return self.r.choice(self.patio_owners)
        return self.p.user()[0]

    # --- context lines -------------------------------------------------------------------

    def login(self):
        r = self.r
        out = [(b"", None), (sj("NIFTY-Serve へようこそ"), None), (b"", None),
               (b" Enter User-ID  --->" + MY_ID.encode(), None),
               (sj(" Enter Password --->"), None),
               (sj(f"前回の利用日時は 96/{r.randrange(1, 13):02d}/{r.randrange(1, 29):02d} です。"),
                None),
               (sj("新着メールが 2 通あります。"), None), (b"", None),
               (b"NIFTY-Serve     TOP", None)]
        out += [(sj(t), None) for t in TOP_MENU[:9]]
        return out

    def top_menu(self):
        r = self.r
        out = [(b"", None), (r.choice([b"NIFTY-Serve     TOP", b"NIFTY SERVE     TOP"]), None)]
        out += [(sj(t), None) for t in TOP_MENU[:9]]
        out.append((sj(r.choice(TOP_MENU[9:])), None))
        return out

    def forum_heading(self, forum):
        short, name = forum
        wide = "".join(chr(ord(c) + 0xFEE0) for c in short)
        heading = sj(f"{short}  {name}")
        return (sj(f"＜{wide}＞") + heading, None), heading

    # --- forum screens ---------------------------------------------------------------------

    def forum_visit(self):
        r = self.r
        forum = r.choice(self.forums)
        line, name = self.forum_heading(forum)
        out = [(b"", None), line, (sj("　　　　" + forum[1] + "へようこそ"), None)]
        out += self.p.article(r.randrange(3, 8))
        out += [(sj(t), None) for t in FORUM_MENU[:9]]
        cat = CAT_FORUM
        for _ in range(r.randrange(1, 4)):
            kind = r.randrange(10)
            if kind < 6:
                part, cat = self.conference(name, cat)
            elif kind < 8:
                part, cat = self.library(name)
            else:
                part, cat = self.members(name)
            out += part
            out.append((sj(r.choice(FORUM_MENU[9:])), None))
        return out

    def conference(self, name, cat):
        r = self.r
        out = [(sj(f"会議室 {r.randrange(1, 20)} 「{r.choice(ROOMS)}」"), None),
               (sj(" 番号   発言者ID  日付  時刻  タイトル"), None)]
        new_cat = CAT_CONFERENCE if cat <= CAT_REALTIME else CAT_PATIO_CONF
        first = r.randrange(1, 9000)
        for i in range(r.randrange(5, 20)):
            uid, _ = self.p.user()
            title = sj(r.choice(TITLES))
            line = f"{first + i:>5}  ".encode() + uid + b" " + date_md(r) + b" " + time_hm(r) + b" " + title
            out.append((line, (new_cat, name, uid, uid)))
        out.append((sj("読む番号を入力してください (E:終了)>"), None))
        # Reading messages: a header in the "number/parent" layout, then the text.
        for _ in range(r.randrange(1, 6)):
            uid, handle = self.p.user()
            no = first + r.randrange(20)
            parent = max(1, no - r.randrange(1, 9))
            line = (f"{no:>5}/{parent:>5} ".encode() + uid + b"  " + pad(handle, 17)
                    + sj(r.choice(TITLES)))
            out.append((line, (new_cat, name, uid, handle)))
            out.append((sj(f"        （{r.randrange(1, 13):02d}/{r.randrange(1, 29):02d} "
                           f"{r.randrange(24):02d}:{r.randrange(60):02d}）"), None))
            out += self.p.article(r.randrange(12, 60))
            out.append((b"", None))
        return out, new_cat

    def library(self, name):
        r = self.r
        out = [(sj(f"ライブラリ {r.randrange(1, 15)} 「{r.choice(ROOMS)}」"), None),
               (sj("番号  登録者ID 登録日   サイズ  DL数 タイトル"), None)]
        for i in range(r.randrange(5, 20)):
            uid, _ = self.p.user()
            if r.randrange(50) == 0:
                uid = uid.lower()  # IDs typed in lower case stay as written
            line = (f"{r.randrange(1, 999):>4}  ".encode() + uid + b" " + date_ymd(r)
                    + f" {r.randrange(1, 2000000):>7} {r.randrange(0, 5000):>4} ".encode()
                    + sj(r.choice(FILE_TITLES)))
            out.append((line, (CAT_LIBRARY, name, uid, uid)))
        out.append((sj("番号を入力してください (E:終了)>"), None))
        out += self.p.article(r.randrange(3, 12))
        return out, CAT_LIBRARY

    def members(self, name):
        r = self.r
        out = [(sj("ＩＤ        ハンドル名          状態"), None)]
        for _ in range(r.randrange(5, 15)):
            uid, handle = self.p.user()
            line = uid + b"  " + pad(handle, 16) + b" " + r.choice([b"ON ", b"OFF"])
            if r.randrange(5) == 0:
                line += b"*"
            out.append((line, (CAT_FORUM, name, uid, handle)))
        out.append((sj("　以上です。"), None))
        return out, CAT_FORUM

    # --- chat --------------------------------------------------------------------------------

    def chat_lines(self, cat, name, count, channels):
        r = self.r
        out = []
        for _ in range(count):
            kind = r.randrange(20)
            uid, handle = self.p.user()
            if kind < 9:
                ch = r.choice(channels)
                line = b"(" + ch + b"," + uid + b"," + handle + b") " + sj(r.choice(CHAT_TEXTS))
                out.append((line, (cat, name, uid, handle)))
            elif kind < 11:
                ch = r.choice([b"TALK", b"1", b"12", b"30", b"12S", b"3s"])
                line = f" {r.randrange(1, 100):>3} ".encode() + ch.rjust(5) + b" " + uid + b" " + handle
                out.append((line, (cat, name, uid, handle)))
            elif kind < 12:
                column = r.choice([28, 26, 24])
                head = f"{r.randrange(1, 30):>2} JOB {time_hms(r).decode()} ".encode()
                event = sj(r.choice(["入室", "退室", "移動"]))
                line = head + pad(event, column - 1 - len(head)) + uid
                out.append((line, (cat, name, uid, uid)))
            elif kind < 13:
                line = sj("＊") + uid + sj("　のユーザーからのメッセージです－")
                out.append((line, (cat, name, uid, uid)))
                out.append((sj("　" + r.choice(CHAT_TEXTS)), None))
            else:
                # The user's own typing and system lines: no find.
                text = r.choice(CHAT_TEXTS)
                out.append((sj(r.choice(["", "－ ", "> "]) + text), None))
        return out

    def realtime(self):
        r = self.r
        forum = r.choice(self.forums)
        line, name = self.forum_heading(forum)
        out = [(b"", None), line]
        out += [(sj(t), None) for t in FORUM_MENU[:9]]
        out.append((sj("番号 (1-7,E)>4"), None))
        out.append((sj(r.choice(["－リアルタイム会議開始 (終了:/E)－",
                                 "：－リアルタイム会議開始 (終了:/E)－"])), None))
        channels = [str(n).encode() for n in range(1, 31)] + [b"TALK", b"talk"]
        out += self.chat_lines(CAT_REALTIME, name, r.randrange(20, 60), channels)
        out.append((sj("－リアルタイム会議終了－"), None))
        return out

    def cb(self):
        r = self.r
        band = r.choice("ABC")
        greeting = r.choice(["*Welcome to CB Band ", "：*Welcome to CB Band "])
        out = [(b"", None), (sj("ＣＢシミュレータ"), None),
               (sj(greeting + band + " (チャンネル 1-30)"), None)]
        name = b"Band " + band.encode()
        channels = [str(n).encode() for n in range(1, 31)] + [b"TALK"]
        out += self.chat_lines(CAT_CB, name, r.randrange(20, 60), channels)
        out.append((sj("/E"), None))
        out += self.top_menu()
        return out

    # --- PATIO -------------------------------------------------------------------------------

    def patio(self):
        r = self.r
        out = [(b"", None), (b"> GO PATIO", None), (sj("パティオ    PATIO"), None)]
        out += [(sj(t), None) for t in PATIO_MENU[:5]]
        out.append((sj("ID (改行のみ：自分のパティオ)"), None))
        kind = r.randrange(4)
        if kind == 0:
            out.append((sj("："), None))
            name = MY_ID.encode()
        else:
            owner = self.patio_owner()
            if kind == 1:
                typed = owner.lower()
            elif kind == 2:
                typed = sj("".join(chr(ord(c) + 0xFEE0) for c in owner.decode()))
            else:
                typed = owner
            out.append((sj("：") + typed + (b" " if r.randrange(2) else b""), None))
            name = owner  # the entry normalises what was typed
        out += [(sj(t), None) for t in PATIO_MENU[:5]]
        cat = CAT_PATIO
        for _ in range(r.randrange(1, 4)):
            if r.randrange(2):
                part, cat = self.guests(name)
            else:
                part, cat = self.conference(name, cat)
            out += part
            out.append((sj(r.choice(PATIO_MENU[5:])), None))
        if r.randrange(3) == 0:
            # Moving straight to another PATIO.
            owner = self.patio_owner()
            if r.randrange(2):
                out.append((sj("＞MOV ") + owner, None))
            else:
                out.append((b"PATIO(N)>MOV " + owner, None))
            part, cat = self.guests(owner)
            out += part
        return out

    def guests(self, name):
        r = self.r
        out = [(sj("ＩＤ　　　　　　ハンドル名　　　　　　最終訪問日時　　　　 回数"), None)]
        for _ in range(r.randrange(4, 15)):
            uid, handle = self.p.user()
            line = (uid + b"      " + pad(handle, 16) + b"  " + date_ymd(r) + b" " + time_hms(r)
                    + f"{r.randrange(1, 1000):>5}".encode() + sj("回"))
            assert len(line) == 56
            out.append((line, (CAT_PATIO_GUEST, name, uid, handle)))
        return out, CAT_PATIO_GUEST

    # --- mail --------------------------------------------------------------------------------

    def mail(self):
        r = self.r
        out = [(b"", None), (b"> GO MAIL", None),
               (sj("電子メール（1:受信　2:送信　3:送信簿　0:その他　E:終了）"), None)]
        for _ in range(r.randrange(1, 4)):
            if r.randrange(2):
                out.append((b"MAIL>1", None))
                out += self.received()
            else:
                out.append((b"MAIL>3", None))
                out += self.sent()
        out.append((b"MAIL>E", None))
        return out

    def received(self):
        r = self.r
        recv = sj("受信簿")
        out = []
        long_form = r.randrange(2) == 0
        if long_form:
            out.append((sj("番号 差出人              ID        件名      受信日時"), None))
        else:
            out.append((sj("日付   ID        ハンドル名        件名"), None))
        for i in range(r.randrange(3, 12)):
            uid, handle = self.p.user()
            gate = r.randrange(12) == 0
            if gate:
                handle = b"INET GATE"
            if long_form:
                line = (f"{i + 1:>4}".encode() + b" " + pad(handle, 15) + b"  " + uid
                        + pad(sj(r.choice(["未読", "既読", "保存"])), 10) + date_ymd(r) + b" " + time_hm(r))
                assert len(line) == 54
            else:
                line = (date_md(r) + b"   " + uid + b"  " + pad(handle, 16) + b" "
                        + sj(r.choice(SUBJECTS)))
            out.append((line, None if gate else (CAT_RECEIVED, recv, uid, handle)))
        out.append((sj("読むメールの番号を入力してください"), None))
        out += self.p.article(r.randrange(4, 15))
        return out

    def sent(self):
        r = self.r
        book = sj("送信簿")
        out = [(sj("送信日 既読日 時刻    宛先ID    　　宛先"), None)]
        for _ in range(r.randrange(3, 12)):
            uid, handle = self.p.user()
            kind = r.randrange(12)
            expected_handle = handle
            if kind == 0:
                handle = b"INET GATE"
            elif kind == 1:
                handle = sj("（非公開）")
                expected_handle = uid
            line = (date_md(r) + b"   " + date_md(r) + b" " + time_hm(r) + b"   " + uid + b"      "
                    + pad(handle, 40) + b" " + sj(r.choice(SUBJECTS)))
            out.append((line, None if kind == 0 else (CAT_SENT, book, uid, expected_handle)))
        return out

    # --- other screens -----------------------------------------------------------------------

    def news(self):
        r = self.r
        out = [(b"", None), (sj("＜ＧＯ　ＮＥＷＳ＞" + r.choice(OTHER_HEADINGS)), None)]
        out += self.p.article(r.randrange(30, 120))
        out += self.top_menu()
        return out


def many_forums(rng, count):
    """Distinct forums: a short name of capitals and a Japanese title."""
    seen = set()
    out = []
    while len(out) < count:
        short = "F" + "".join(rng.choice("ABCDEFGHIJKLMNOPQRSTUVWXYZ") for _ in range(rng.randrange(3, 7)))
        if short in seen:
            continue
        seen.add(short)
        title = rng.choice(SURNAMES) + rng.choice(["の", "と", ""]) + rng.choice(ROOMS) + rng.choice(
            ["フォーラム", "の広場", "専門館", "倶楽部"])
        out.append((short, title))
    return out


def make_screens(rng, many_rooms):
    if not many_rooms:
        return Screens(Pool(rng))
    pool = Pool(rng, users=6000)
    owners = [pool.make_id().encode("ascii") for _ in range(1700)]
    return Screens(pool, forums=many_forums(rng, 2600), patio_owners=owners)


def build_pool(rng, target_bytes, screens):
    """Screens (bytes, expected finds bytes, lines, finds by category) up to about target_bytes."""
    makers = [(screens.forum_visit, 34), (screens.realtime, 7), (screens.cb, 6), (screens.patio, 12),
              (screens.mail, 14), (screens.news, 16), (screens.top_menu, 8), (screens.login, 2)]
    weights = [w for _, w in makers]
    pool = []
    total = 0
    while total < target_bytes:
        maker = rng.choices(makers, weights)[0][0]
        pool.append(render(maker()))
        total += len(pool[-1][0])
    return screens, pool


def render(lines):
    data = b"".join(line + CRLF for line, _ in lines)
    expected = []
    counts = [0] * 11
    for _, find in lines:
        if find is None:
            continue
        cat, name, uid, handle = find
        counts[cat] += 1
        expected.append(str(cat).encode() + b"\t" + name + b"\t" + uid + b"\t" + handle + b"\n")
    return data, b"".join(expected), len(lines), counts


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("output", help="path of the log to write")
    parser.add_argument("--size-mb", type=float, default=100.0, help="size in MB (10^6 bytes), default 100")
    parser.add_argument("--seed", type=int, default=19960401, help="random seed (default fixed)")
    parser.add_argument("--expect", help="also write the finds a scanner must report to this file")
    parser.add_argument("--many-rooms", action="store_true",
                        help="thousands of forums and PATIOs, few users, every screen drawn fresh")
    args = parser.parse_args()

    started = time.monotonic()
    rng = random.Random(args.seed)
    target = int(args.size_mb * 1_000_000)
    screens = make_screens(rng, args.many_rooms)
    # Repeated screens would repeat their (room, ID) pairs; the many-rooms log wants them new.
    screens, pool = build_pool(rng, target if args.many_rooms else min(target, 12_000_000), screens)

    chunks = []
    expected = []
    lines = 0
    counts = [0] * 11
    size = 0
    # The log opens with the log-in (which tells the user's own ID), then screens in random order.
    piece = render(screens.login())
    while True:
        chunks.append(piece[0])
        expected.append(piece[1])
        lines += piece[2]
        counts = [a + b for a, b in zip(counts, piece[3])]
        size += len(piece[0])
        if size >= target:
            break
        piece = pool[len(chunks) - 1] if args.many_rooms and len(chunks) <= len(pool) else rng.choice(pool)

    with open(args.output, "wb") as out:
        out.write(b"".join(chunks))
    if args.expect:
        with open(args.expect, "wb") as out:
            out.write(b"".join(expected))

    finds = sum(counts)
    elapsed = time.monotonic() - started
    print(f"{args.output}: {size} bytes, {lines} lines, {finds} lines with a find "
          f"({100.0 * finds / max(lines, 1):.1f} %), {len(pool)} distinct screens, {elapsed:.1f} s",
          file=sys.stderr)
    print("finds by category: " + ", ".join(f"{c}:{n}" for c, n in enumerate(counts) if n),
          file=sys.stderr)


if __name__ == "__main__":
    main()
