#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <algorithm>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "analysis/LogAnalize.h"
#include "common/Cp932.h"

using quillet::FromUtf8;

namespace {

std::string S(const std::string& utf8) { return FromUtf8(utf8); }

// A screen line: texts (UTF-8, stored as Shift-JIS) placed at 1-based byte columns, spaces
// between them, padded to `length` bytes.
std::string Line(size_t length, std::initializer_list<std::pair<size_t, std::string>> fields) {
  std::string line(length, ' ');
  for (const auto& [column, text] : fields) {
    const std::string sjis = S(text);
    if (line.size() < column - 1 + sjis.size()) line.resize(column - 1 + sjis.size(), ' ');
    line.replace(column - 1, sjis.size(), sjis);
  }
  return line;
}

// The screens, each with the ID and handle given.
std::string LibraryLine(const std::string& id) {
  return Line(44, {{1, "0001"}, {7, id}, {16, "96/01/02"}, {25, "  12345"}, {33, "  12"}, {38, "TITLE"}});
}
std::string MemberLine(const std::string& id, const std::string& handle) {
  return Line(30, {{1, id}, {11, handle}, {28, "OFF"}});
}
std::string GuestLine(const std::string& id, const std::string& handle) {
  return Line(56, {{1, id}, {15, handle}, {33, "96/01/02"}, {42, "12:34:56"}});
}
std::string ConferenceLine(const std::string& id) {
  return Line(45, {{1, "00012"}, {8, id}, {17, "01/02"}, {23, "12:34"}, {29, "お知らせ"}});
}
std::string ConferenceReply(const std::string& id, const std::string& handle) {
  return Line(44, {{1, "00012"}, {6, "/"}, {7, "00003"}, {13, id}, {23, handle}});
}
std::string SentLine(const std::string& id, const std::string& handle) {
  return Line(37, {{1, "01/02"}, {9, "01/03"}, {15, "12:34"}, {23, id}, {37, handle}});
}
std::string ReceivedLine(const std::string& id, const std::string& handle) {
  return Line(44, {{1, "01/02"}, {9, id}, {19, handle}, {36, "件名"}});
}
std::string ReceivedList(const std::string& id, const std::string& handle) {
  return Line(54, {{1, "0001"}, {5, handle}, {23, id}, {41, "96/01/02"}, {50, "12:34"}});
}

using IdCheck = void (TLogAnalizingThread::*)(std::string_view, TIDData&) const;

// The find of one recogniser on one line: {ID, handle}, both empty for none.
std::pair<std::string, std::string> Try(IdCheck check, const std::string& line) {
  TLogAnalizingThread worker;
  TIDData find;
  (worker.*check)(line, find);
  return {find.ID, find.HandleName};
}
const std::pair<std::string, std::string> kNone{};

struct Find {
  int category;
  std::string name, id, handle;
  bool operator==(const Find&) const = default;
};
void PrintTo(const Find& f, std::ostream* os) {
  *os << "{" << f.category << ", " << quillet::ToUtf8(f.name) << ", " << f.id << ", " << quillet::ToUtf8(f.handle) << "}";
}

using Finds = std::vector<Find>;

class RecordingSink : public TAnalysisSink {
 public:
  std::vector<Find> finds;
  std::vector<std::string> ends;
  uint64_t lastRead = 0, lastSize = 0;
  int progressCalls = 0;
  std::function<void()> onFound;

  void Found(const TIDData& find, const TForumData& context) override {
    EXPECT_TRUE(ends.empty()) << "a find after the end";
    finds.push_back({context.Category, context.Name, find.ID, find.HandleName});
    if (onFound) onFound();
  }
  void End(const std::string& fileName) override { ends.push_back(fileName); }
  void Progress(uint64_t bytesRead, uint64_t fileSize) override {
    EXPECT_GE(bytesRead, lastRead);
    lastRead = bytesRead;
    lastSize = fileSize;
    ++progressCalls;
  }
};

// Feeds UTF-8 screen lines (or ready Shift-JIS lines) through HandleLine.
class Scanner : public ::testing::Test {
 protected:
  void Start(int category, const std::string& name = {}) {
    worker.ForumData.Category = static_cast<uint8_t>(category);
    worker.ForumData.Name = S(name);
    worker.NotifyWindow = &sink;
  }
  void Feed(const std::string& sjisLine) { worker.HandleLine(sjisLine); }
  void FeedText(const std::string& utf8Line) { worker.HandleLine(S(utf8Line)); }
  // The single find of feeding `line` in `category`, or none.
  std::vector<Find> FindsIn(int category, const std::string& line, const std::string& name = "Ｆ") {
    sink.finds.clear();
    Start(category, name);
    Feed(line);
    return sink.finds;
  }

  TLogAnalizingThread worker;
  RecordingSink sink;
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// ID recognisers, one line at a time

TEST(IdRecognisers, LibraryLineBoundaries) {
  const auto check = &TLogAnalizingThread::CheckLibraryLine;
  EXPECT_EQ(Try(check, LibraryLine("ABC12345")), std::make_pair(std::string("ABC12345"), std::string("ABC12345")));
  // The ID is reported as written; the test itself is case-blind.
  EXPECT_EQ(Try(check, LibraryLine("abc12345")).first, "abc12345");
  EXPECT_EQ(Try(check, LibraryLine("ABC12345").substr(0, 40)).first, "ABC12345");
  EXPECT_EQ(Try(check, LibraryLine("ABC12345").substr(0, 39)), kNone);  // one byte short
  EXPECT_EQ(Try(check, " " + LibraryLine("ABC12345")), kNone);          // every column one right
  EXPECT_EQ(Try(check, LibraryLine("ABC1234")), kNone);
  std::string badDate = LibraryLine("ABC12345");
  badDate[18] = '-';
  EXPECT_EQ(Try(check, badDate), kNone);
}

TEST(IdRecognisers, MemberAndGuestLinesHaveExactLengths) {
  const auto member = &TLogAnalizingThread::CheckMemberLine;
  EXPECT_EQ(Try(member, MemberLine("ABC12345", "ハンドル")), std::make_pair(std::string("ABC12345"), S("ハンドル")));
  EXPECT_EQ(Try(member, MemberLine("ABC12345", "ハンドル") + " ").first, "ABC12345");  // 31 bytes
  EXPECT_EQ(Try(member, MemberLine("ABC12345", "ハンドル") + "  "), kNone);           // 32
  EXPECT_EQ(Try(member, MemberLine("ABC12345", "ハンドル").substr(0, 29)), kNone);
  EXPECT_EQ(Try(member, Line(30, {{1, "ABC12345"}, {11, "x"}, {28, "ON "}})).second, "x");
  EXPECT_EQ(Try(member, Line(30, {{1, "ABC12345"}, {11, "x"}, {28, "ONN"}})), kNone);

  const auto guest = &TLogAnalizingThread::CheckGuestLine;
  EXPECT_EQ(Try(guest, GuestLine("XYZ00001", "ゲスト　太郎")), std::make_pair(std::string("XYZ00001"), S("ゲスト　太郎")));
  EXPECT_EQ(Try(guest, GuestLine("XYZ00001", "g") + " "), kNone);
  EXPECT_EQ(Try(guest, GuestLine("XYZ00001", "g").substr(0, 55)), kNone);
  EXPECT_EQ(Try(guest, Line(56, {{1, "XYZ00001"}, {33, "96/01/02"}, {42, "12:34"}})), kNone);
}

TEST(IdRecognisers, ConferenceLineSecondFormOnlyWhenFirstFails) {
  const auto check = &TLogAnalizingThread::CheckConferenceLine;
  EXPECT_EQ(Try(check, ConferenceLine("ABC12345")), std::make_pair(std::string("ABC12345"), std::string("ABC12345")));
  EXPECT_EQ(Try(check, ConferenceLine("ABC12345").substr(0, 38)), kNone);
  EXPECT_EQ(Try(check, ConferenceReply("DEF00002", "返信する人")), std::make_pair(std::string("DEF00002"), S("返信する人")));
  EXPECT_EQ(Try(check, ConferenceReply("DEF00002", "x").substr(0, 39)), kNone);
  // The handle is columns 23-39 only.
  EXPECT_EQ(Try(check, ConferenceReply("DEF00002", "ABCDEFGHIJKLMNOPQRSTU")).second, "ABCDEFGHIJKLMNOPQ");
  EXPECT_EQ(Try(check, Line(44, {{1, "-0012"}, {6, "/"}, {7, "00003"}, {13, "DEF00002"}})), kNone);
}

TEST(IdRecognisers, MailBooks) {
  const auto sent = &TLogAnalizingThread::CheckSentMailLine;
  EXPECT_EQ(Try(sent, SentLine("GHI12345", "やまだ")), std::make_pair(std::string("GHI12345"), S("やまだ")));
  EXPECT_EQ(Try(sent, SentLine("GHI12345", "（非公開）")), std::make_pair(std::string("GHI12345"), std::string("GHI12345")));
  EXPECT_EQ(Try(sent, SentLine("GHI12345", "INET GATE")), kNone);
  EXPECT_EQ(Try(sent, SentLine("GHI12345", "").substr(0, 36)), kNone);
  // The handle is columns 37-76.
  EXPECT_EQ(Try(sent, SentLine("GHI12345", std::string(45, 'h'))).second, std::string(40, 'h'));

  const auto received = &TLogAnalizingThread::CheckReceivedMailLine;
  EXPECT_EQ(Try(received, ReceivedLine("JKL12345", "さとう")), std::make_pair(std::string("JKL12345"), S("さとう")));
  EXPECT_EQ(Try(received, ReceivedLine("JKL12345", "INET GATE")), kNone);
  EXPECT_EQ(Try(received, ReceivedList("MNO12345", "すずき")), std::make_pair(std::string("MNO12345"), S("すずき")));
  EXPECT_EQ(Try(received, ReceivedList("MNO12345", "INET GATE")), kNone);
  EXPECT_EQ(Try(received, ReceivedList("MNO12345", "x") + " "), kNone);
  EXPECT_EQ(Try(received, ReceivedLine("JKL12345", "x").substr(0, 36)), kNone);
}

TEST(IdRecognisers, ChatLineForms) {
  const auto chat = &TLogAnalizingThread::CheckChatLine;
  using P = std::pair<std::string, std::string>;
  // Parenthesised: channel TALK (any case) or 1..30; the handle runs to the first ')'.
  EXPECT_EQ(Try(chat, S("(1,ABC12345,ぽち) こんにちは")), P("ABC12345", S("ぽち")));
  EXPECT_EQ(Try(chat, "(talk,ABC12345,tama)hi"), P("ABC12345", "tama"));
  EXPECT_EQ(Try(chat, "(29,ABC12345,x)"), P("ABC12345", "x"));
  EXPECT_EQ(Try(chat, "(30,ABC12345,x)"), P("ABC12345", "x"));
  EXPECT_EQ(Try(chat, "(31,ABC12345,x)"), kNone);
  EXPECT_EQ(Try(chat, "(0,ABC12345,x)"), kNone);
  EXPECT_EQ(Try(chat, "(5,ABC12345,no end"), P("ABC12345", ""));
  EXPECT_EQ(Try(chat, "(5,ABC12345,"), P("ABC12345", ""));
  EXPECT_EQ(Try(chat, "(5,ABC12345"), kNone);
  EXPECT_EQ(Try(chat, "(5,ABC12345;x)"), kNone);
  // Numbered: number, channel, ID, handle.
  EXPECT_EQ(Try(chat, Line(20, {{2, " 12"}, {6, "  5s "}, {12, "ABC12345"}, {21, "  はんどる  "}})), P("ABC12345", S("はんどる")));
  EXPECT_EQ(Try(chat, Line(20, {{2, "x12"}, {6, "TALK"}, {12, "ABC12345"}})), kNone);
  EXPECT_EQ(Try(chat, Line(19, {{2, " 12"}, {6, "TALK"}, {12, "ABC12345"}})), kNone);
  // JOB notice: the first of three places that holds an ID.
  EXPECT_EQ(Try(chat, Line(40, {{4, "job"}, {28, "ABC12345"}})), P("ABC12345", "ABC12345"));
  EXPECT_EQ(Try(chat, Line(40, {{4, "JOB"}, {26, "ABC12345"}})), P("ABC12345", "ABC12345"));
  EXPECT_EQ(Try(chat, Line(40, {{4, "JOB"}, {24, "ABC12345"}})), P("ABC12345", "ABC12345"));
  EXPECT_EQ(Try(chat, Line(40, {{3, ",JOB"}, {28, "ABC12345"}})), kNone);
  // Message notice.
  EXPECT_EQ(Try(chat, Line(0, {{3, "ABC12345"}, {13, "のユーザーからのメッセージです－"}})), P("ABC12345", "ABC12345"));
  EXPECT_EQ(Try(chat, Line(0, {{3, "ABC12345"}, {13, "のユーザーからのメッセージです"}})), kNone);
}

// ---------------------------------------------------------------------------------------------
// States: which recogniser runs in which category, and what a find does to the context

TEST_F(Scanner, ForumScreensMoveBetweenForumLibraryAndRoom) {
  for (int from = fcForum; from <= fcRealTime; ++from) {
    EXPECT_EQ(FindsIn(from, LibraryLine("ABC12345")), (Finds{{2, S("Ｆ"), "ABC12345", "ABC12345"}})) << from;
    EXPECT_EQ(FindsIn(from, MemberLine("ABC12345", "h")), (Finds{{1, S("Ｆ"), "ABC12345", "h"}})) << from;
    EXPECT_EQ(FindsIn(from, ConferenceLine("ABC12345")), (Finds{{3, S("Ｆ"), "ABC12345", "ABC12345"}})) << from;
    EXPECT_EQ(worker.ForumData.Category, fcConference);
  }
  for (int from = fcPatio; from <= fcPatioGuest; ++from) {
    EXPECT_EQ(FindsIn(from, GuestLine("ABC12345", "g"), "PAT00001"), (Finds{{7, "PAT00001", "ABC12345", "g"}}));
    EXPECT_EQ(FindsIn(from, ConferenceReply("ABC12345", "r"), "PAT00001"), (Finds{{6, "PAT00001", "ABC12345", "r"}}));
    EXPECT_TRUE(FindsIn(from, LibraryLine("ABC12345")).empty());
    EXPECT_TRUE(FindsIn(from, MemberLine("ABC12345", "h")).empty());
  }
  // Lines of a screen the user is not on are not tried.
  for (int other : std::initializer_list<int>{fcNone, fcCBSimulator, fcReceivedMail, fcSentMail, 11, 255}) {
    EXPECT_TRUE(FindsIn(other, LibraryLine("ABC12345")).empty()) << other;
    EXPECT_TRUE(FindsIn(other, ConferenceLine("ABC12345")).empty()) << other;
    EXPECT_TRUE(FindsIn(other, GuestLine("ABC12345", "g")).empty()) << other;
  }
  EXPECT_TRUE(FindsIn(fcForum, GuestLine("ABC12345", "g")).empty());
}

TEST_F(Scanner, ChatOnlyInRealTimeAndCB) {
  const std::string talk = "(1,ABC12345,x)";
  EXPECT_EQ(FindsIn(fcRealTime, talk), (Finds{{4, S("Ｆ"), "ABC12345", "x"}}));
  EXPECT_EQ(FindsIn(fcCBSimulator, talk, "Band A"), (Finds{{8, "Band A", "ABC12345", "x"}}));
  for (int other : std::initializer_list<int>{fcNone, fcForum, fcLibrary, fcPatio, fcReceivedMail, fcSentMail})
    EXPECT_TRUE(FindsIn(other, talk).empty()) << other;
}

TEST_F(Scanner, MailBooksKeepBeingReadInTheirOwnCategory) {
  Start(fcNone);
  Feed(SentLine("AAA00001", "a"));
  Feed(SentLine("AAA00002", "b"));
  Feed(ReceivedLine("AAA00003", "c"));  // not a sent-mail screen: not tried there
  FeedText("MAIL>");
  Feed(ReceivedLine("AAA00004", "d"));
  Feed(ReceivedList("AAA00005", "e"));
  Feed(SentLine("AAA00006", "f"));  // likewise in the received book
  const std::string sent = S("送信簿"), received = S("受信簿");
  EXPECT_EQ(sink.finds, (std::vector<Find>{{10, sent, "AAA00001", "a"},
                                           {10, sent, "AAA00002", "b"},
                                           {9, received, "AAA00004", "d"},
                                           {9, received, "AAA00005", "e"}}));
  for (int other = fcForum; other <= fcCBSimulator; ++other) {
    EXPECT_TRUE(FindsIn(other, SentLine("AAA00001", "a")).empty()) << other;
    EXPECT_TRUE(FindsIn(other, ReceivedLine("AAA00001", "a")).empty()) << other;
  }
}

TEST_F(Scanner, SentMailThroughTheGatewayLeavesTheMailMenuContext) {
  Start(fcNone);
  Feed(SentLine("GHI12345", "INET GATE"));
  EXPECT_TRUE(sink.finds.empty());
  EXPECT_EQ(worker.ForumData.Category, fcNone);
  Feed(ReceivedLine("JKL12345", "INET GATE"));
  Feed(ReceivedList("JKL12346", "INET GATE"));
  EXPECT_TRUE(sink.finds.empty());
  EXPECT_EQ(worker.ForumData.Category, fcNone);
  Feed(ReceivedLine("JKL12347", "x"));
  EXPECT_EQ(sink.finds, ((Finds{{9, S("受信簿"), "JKL12347", "x"}})));
}

TEST_F(Scanner, ContextLines) {
  struct Case {
    std::string line;
    int category;
    std::string name;
  };
  const Case cases[] = {
      {"＜ＦＴＥＳＴ＞FTEST テストフォーラム", 1, "FTEST テストフォーラム"},
      {"＜ＡＢ＞  SHOBBY  ", 1, "SHOBBY"},
      {"＜ＡＢ＞日本語の会議室", 0, ""},
      {"＜ＡＢ＞fLOWER", 0, ""},
      {"＞MOV PAT00001", 5, "PAT00001"},
      {"＞mov pat00001", 5, "pat00001"},
      {"PATIO(n)>mov PAT00002", 5, "PAT00002"},
      {"*Welcome to CB Band C", 8, "Band C"},
      {"：*Welcome to CB Band B", 8, "Band B"},
      {"－リアルタイム会議開始 (終了:/E)－", 4, "前の名前"},
      {"：－リアルタイム会議開始 (終了:/E)－", 4, "前の名前"},
      {"MAIL>", 0, ""},
      {"MAIL> 1", 0, ""},
      {"NIFTY-Serve     TOP", 0, ""},
      {"NIFTY SERVE     TOP", 0, ""},
      {"電子メール（1:受信　2:送信　3:送信簿　0:その他　E:終了）", 0, ""},
      {"パティオ    PATIO", 0, ""},
  };
  for (const Case& c : cases) {
    Start(fcPatioGuest, "前の名前");
    FeedText(c.line);
    EXPECT_EQ(worker.ForumData.Category, c.category) << c.line;
    EXPECT_EQ(worker.ForumData.Name, S(c.name)) << c.line;
  }
  // Near misses change nothing.
  const std::string misses[] = {
      "＜Ａ＞FOO",  // the ＞ must start at column 6 or later
      "＜ＡＢ＞   ", "＜ＡＢ", "*Welcome to CB Band D", "*Welcome to CB Band ", "＞MOV PAT0001",
      "PATIO(N)>MOV  PAT00001", "－リアルタイム会議開始 (終了:/E)－ ", "NIFTY-Serve TOP", "MAIL",
      "パティオ    PATIO ", "：abc12345"};
  for (const std::string& miss : misses) {
    Start(fcPatioGuest, "前の名前");
    FeedText(miss);
    EXPECT_EQ(worker.ForumData.Category, fcPatioGuest) << miss;
    EXPECT_EQ(worker.ForumData.Name, S("前の名前")) << miss;
  }
  // The heading is the 80 bytes after ＞, trimmed.
  Start(fcNone);
  FeedText("＜ＦＯＲＵＭ＞F" + std::string(100, 'x'));
  EXPECT_EQ(worker.ForumData.Name, "F" + std::string(79, 'x'));
}

TEST_F(Scanner, OwnPatioNeedsTheLogInPromptFirst) {
  const std::string prompt = "ID (改行のみ：自分のパティオ)";
  Start(fcNone);
  FeedText(prompt);
  FeedText("：");
  EXPECT_EQ(worker.ForumData.Category, fcNone);  // own ID unknown

  FeedText(" Enter User-ID  --->ｑｍｒ０１２３４ ");
  EXPECT_EQ(worker.MyID, "QMR01234");
  FeedText(" Enter User-ID  --->bad");
  EXPECT_EQ(worker.MyID, "QMR01234");
  FeedText(prompt);
  FeedText("：");
  EXPECT_EQ(worker.ForumData.Category, fcPatio);
  EXPECT_EQ(worker.ForumData.Name, "QMR01234");

  // A typed PATIO ID is normalised; an empty line between prompt and answer breaks the pair.
  FeedText(prompt);
  FeedText("：ｐａｔ００００９");
  EXPECT_EQ(worker.ForumData.Name, "PAT00009");
  FeedText(prompt);
  FeedText("");
  FeedText("：PAT00010");
  EXPECT_EQ(worker.ForumData.Name, "PAT00009");
}

TEST_F(Scanner, RealTimeConferenceKeepsTheForumName) {
  Start(fcNone);
  FeedText("＜ＦＴＥＳＴ＞FTEST テスト");
  Feed(ConferenceLine("AAA00001"));  // in category 1 a conference line is a find
  FeedText("－リアルタイム会議開始 (終了:/E)－");
  FeedText("(3,BBB00002,ぽち)こんにちは");
  FeedText("NIFTY-Serve     TOP");
  Feed(ConferenceLine("AAA00003"));  // in category 0 it is not
  const std::string name = S("FTEST テスト");
  EXPECT_EQ(sink.finds, (std::vector<Find>{{3, name, "AAA00001", "AAA00001"}, {4, name, "BBB00002", S("ぽち")}}));
}

// ---------------------------------------------------------------------------------------------
// Reading a log file

namespace {

class LogFile : public ::testing::Test {
 protected:
  std::string Write(const std::string& bytes) {
    const std::string path = dir.filePath("test.log").toStdString();
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    return path;
  }
  // Scans `bytes` from category 5 (where guest lines are finds) and returns the IDs found.
  std::vector<std::string> Scan(const std::string& bytes) {
    worker = std::make_unique<TLogAnalizingThread>();
    const std::function<void()> onFound = sink.onFound;
    sink = RecordingSink();
    sink.onFound = onFound;
    worker->FileName = Write(bytes);
    worker->ForumData.Category = fcPatio;
    worker->NotifyWindow = &sink;
    worker->Execute();
    EXPECT_EQ(sink.ends, std::vector<std::string>{worker->FileName});
    std::vector<std::string> ids;
    for (const Find& f : sink.finds) ids.push_back(f.id);
    return ids;
  }

  QTemporaryDir dir;
  std::unique_ptr<TLogAnalizingThread> worker = std::make_unique<TLogAnalizingThread>();
  RecordingSink sink;
};

// A guest line is exactly 56 bytes: any stray byte kept in a line makes it no find.
std::string G(const std::string& id) { return GuestLine(id, "g"); }
using Ids = std::vector<std::string>;

}  // namespace

TEST_F(LogFile, LineEnds) {
  EXPECT_EQ(Scan(G("AAA00001") + "\r\n" + G("AAA00002") + "\r" + G("AAA00003") + "\r\r\n" + G("AAA00004")),
            (Ids{"AAA00001", "AAA00002", "AAA00003", "AAA00004"}));
  EXPECT_EQ(worker->PrevLine, G("AAA00004"));
  EXPECT_TRUE(worker->Terminated);
}

TEST_F(LogFile, LoneLineFeedStaysInTheLine) {
  EXPECT_EQ(Scan(G("AAA00001") + "\n" + G("AAA00002") + "\r\n\n" + G("AAA00003") + "\r\n"), Ids{});
  EXPECT_EQ(worker->PrevLine, "\n" + G("AAA00003"));
}

TEST_F(LogFile, EndOfTextByteEndsTheInput) {
  EXPECT_EQ(Scan(G("AAA00001") + "\r\n" + G("AAA00002") + "\x1A\r\n" + G("AAA00003") + "\r\n"),
            (Ids{"AAA00001", "AAA00002"}));
  EXPECT_EQ(Scan("\x1A" + G("AAA00001")), Ids{});
}

TEST_F(LogFile, EmptyLogGivesOneEndOnly) {
  EXPECT_EQ(Scan(""), Ids{});
  EXPECT_FALSE(worker->ReadFailed);
}

TEST_F(LogFile, BinaryBytesAreJustText) {
  std::string noise;
  for (int i = 0; i < 5000; ++i)
    if (((i * 7919) & 0xFF) != 0x1A) noise += static_cast<char>((i * 7919) & 0xFF);
  noise += "\x81\r\n\x82";  // lone lead bytes at line ends
  EXPECT_EQ(Scan(noise + "\r\n" + G("AAA00001") + "\r\n" + std::string("\0\0\x81", 3)), Ids{"AAA00001"});
}

TEST_F(LogFile, LinesAcrossBlockBoundaries) {
  const size_t block = TLogAnalizingThread::ReadBlockSize;
  // CR as the last byte of a block, its LF the first of the next.
  const std::string a = std::string(block - 1, 'x') + "\r";
  EXPECT_EQ(Scan(a + "\n" + G("AAA00001") + "\r\n"), Ids{"AAA00001"});

  // A find line that straddles the boundary; then a line of many blocks (and megabytes).
  std::string b(block - 20, 'y');
  b += "\r\n" + G("AAA00002") + "\r\n" + std::string(std::max<size_t>(3 * block, 5 << 20) + 5, 'z') + "\r\n" + G("AAA00003");
  EXPECT_EQ(Scan(b), (Ids{"AAA00002", "AAA00003"}));
  EXPECT_EQ(sink.lastRead, b.size());
  EXPECT_EQ(sink.lastSize, b.size());
  EXPECT_GE(sink.progressCalls, 4);
}

TEST_F(LogFile, LineEndsAtEveryOffset) {
  // Fillers of every length from 0 to 150 put the line ends at every offset of the reader's
  // search stretches, with all three kinds of line end and over a block boundary.
  const char* const ends[] = {"\r\n", "\r", "\r\r\n"};
  std::string log;
  Ids expected;
  for (int round = 0; log.size() < TLogAnalizingThread::ReadBlockSize + 4096; ++round) {
    for (size_t filler = 0; filler <= 150; ++filler) {
      const std::string id = "AAA" + std::to_string(10000 + expected.size());
      log += std::string(filler, 'x') + ends[(filler + round) % 3] + G(id) + ends[filler % 3];
      expected.push_back(id);
    }
  }
  EXPECT_EQ(Scan(log), expected);
}

TEST_F(LogFile, UnreadableLogsStillEndOnce) {
  worker->FileName = dir.filePath("missing.log").toStdString();
  worker->NotifyWindow = &sink;
  worker->Execute();
  EXPECT_EQ(sink.ends, std::vector<std::string>{worker->FileName});
  EXPECT_TRUE(worker->ReadFailed);
  EXPECT_FALSE(worker->ErrorText.empty());

  TLogAnalizingThread onFolder;
  RecordingSink folderSink;
  onFolder.FileName = dir.path().toStdString();
  onFolder.NotifyWindow = &folderSink;
  onFolder.Execute();
  EXPECT_EQ(folderSink.ends.size(), 1u);
  EXPECT_TRUE(onFolder.ReadFailed);
}

TEST_F(LogFile, StopTakesEffectAtTheNextLine) {
  sink.onFound = [this] { worker->Terminated = true; };
  EXPECT_EQ(Scan(G("AAA00001") + "\r\n" + G("AAA00002") + "\r\n"), Ids{"AAA00001"});
  EXPECT_FALSE(worker->ReadFailed);

  TLogAnalizingThread early;
  RecordingSink earlySink;
  early.FileName = Write(G("AAA00001"));
  early.ForumData.Category = fcPatio;
  early.NotifyWindow = &earlySink;
  early.Terminated = true;
  early.Execute();
  EXPECT_TRUE(earlySink.finds.empty());
  EXPECT_EQ(earlySink.ends.size(), 1u);
}

TEST_F(LogFile, AFailingReceiverDoesNotLoseTheEnd) {
  sink.onFound = [] { throw std::runtime_error("receiver gone"); };
  Scan(G("AAA00001") + "\r\n" + G("AAA00002"));
  EXPECT_EQ(sink.finds.size(), 1u);
  EXPECT_TRUE(worker->ReadFailed);
  EXPECT_EQ(worker->ErrorText, "receiver gone");
}

TEST_F(LogFile, PreviousLineIsKnownAcrossBlocks) {
  // The PATIO prompt as the last line of one block and the answer first in the next (the next
  // block full, so nothing of the first is left in the buffer); then prompt and answer in the
  // middle of a block, and an answer after some other line, which is no PATIO entry.
  const size_t block = TLogAnalizingThread::ReadBlockSize;
  const std::string prompt = S("ID (改行のみ：自分のパティオ)") + "\r\n";
  std::string log = " Enter User-ID  --->QMR00001\r\n";
  log += std::string(block - log.size() - prompt.size() - 2, 'x') + "\r\n" + prompt;
  ASSERT_EQ(log.size(), block);
  log += S("：") + "\r\n" + G("AAA00001") + "\r\n";
  log += "other\r\n" + S("：PAT00003") + "\r\n" + G("AAA00002") + "\r\n";
  log += "NIFTY-Serve     TOP\r\n" + prompt + S("：PAT00002") + "\r\n" + G("AAA00003") + "\r\n";
  log += std::string(block, 'y');
  Scan(log);
  ASSERT_EQ(sink.finds.size(), 3u);
  EXPECT_EQ(sink.finds[0].name, "QMR00001");
  EXPECT_EQ(sink.finds[1].name, "QMR00001");
  EXPECT_EQ(sink.finds[2].name, "PAT00002");
}
