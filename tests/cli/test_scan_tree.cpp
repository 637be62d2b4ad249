// quillet scan (the tree), run as the built program.
#include <gtest/gtest.h>

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "common/Cp932.h"

namespace {

struct Outcome {
  int status;
  std::string out, err;
};

Outcome Quillet(const std::vector<std::string>& args, const QString& folder = {}) {
  QProcess process;
  if (!folder.isEmpty()) process.setWorkingDirectory(folder);
  QStringList list;
  for (const std::string& a : args) list << QString::fromStdString(a);
  process.start(QStringLiteral(QUILLET_BINARY), list);
  EXPECT_TRUE(process.waitForFinished(60000));
  const QByteArray out = process.readAllStandardOutput(), err = process.readAllStandardError();
  return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, out.toStdString(), err.toStdString()};
}

const std::string kExamples = QDir(QStringLiteral(QUILLET_EXAMPLES)).canonicalPath().toStdString();

std::string ForumTree(const std::string& path) {
  return "  " + path + "\n"
         "    フォーラム(FGOLF ゴルフ愛好会フォーラム)\n"
         "      DEF00002  みどり\n"
         "      GHI00003  ゴルフ太郎\n"
         "      ＲＴ会議\n"
         "        DEF00002  みどり\n"
         "        GHI00003  ゴルフ太郎\n"
         "        VWX00008  見学者\n"
         "        YZA00009  YZA00009\n"
         "      ライブラリ\n"
         "        JKL00004  JKL00004\n"
         "        DEF00002  DEF00002\n"
         "        mno00005  mno00005\n"
         "      会議室\n"
         "        PQR00006  PQR00006\n"
         "        GHI00003  ゴルフ太郎\n"
         "        STU00007  STU00007\n";
}

std::string MailTree(const std::string& path) {
  return "  " + path + "\n"
         "    電子メール\n"
         "      受信メール\n"
         "        GHI00003  ゴルフ太郎\n"
         "        TUV00016  gateway\n"
         "        BCD00010  山好き\n"
         "      送信メール\n"
         "        GHI00003  ゴルフ太郎\n"
         "        CDE00019  CDE00019\n";
}

}  // namespace

TEST(ScanTree, PrintsTheTreeOfTheSampleLogsWithRelativePathsMadeAbsolute) {
  const Outcome run = Quillet({"scan", "forum.log", "./mail.log"}, QString::fromStdString(kExamples));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "NIFTY SERVE\n" + ForumTree(kExamples + "/forum.log") + MailTree(kExamples + "/mail.log"));
  EXPECT_EQ(run.err, "");
  // ".." is taken out by the text, as an open dialog returns the path.
  const Outcome up = Quillet({"scan", "../examples/mail.log"}, QString::fromStdString(kExamples));
  EXPECT_EQ(up.out, "NIFTY SERVE\n" + MailTree(kExamples + "/mail.log"));
}

TEST(ScanTree, RawKeepsTheShiftJisBytes) {
  const std::string mail = kExamples + "/mail.log";
  const Outcome run = Quillet({"scan", "--raw", mail});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, quillet::FromUtf8("NIFTY SERVE\n" + MailTree(mail)));
}

TEST(ScanTree, JsonGivesEveryNodeWithImagesAndHandles) {
  const std::string forum = kExamples + "/forum.log", patio = kExamples + "/patio-cb.log";
  const Outcome run = Quillet({"scan", "--json", forum, patio});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out.rfind("{\"text\": \"NIFTY SERVE\", \"image\": 6, \"selectedImage\": 7, \"ids\": [], \"children\": [", 0),
            0u);
  QJsonParseError error;
  const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(run.out), &error);
  ASSERT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
  const QJsonObject root = doc.object();
  const QJsonArray files = root["children"].toArray();
  ASSERT_EQ(files.size(), 2);
  const QJsonObject forumNode = files[0].toObject();
  EXPECT_EQ(forumNode["text"].toString().toStdString(), forum);
  EXPECT_EQ(forumNode["image"].toInt(), 8);
  EXPECT_EQ(forumNode["selectedImage"].toInt(), 9);
  const QJsonObject category = forumNode["children"].toArray()[0].toObject();
  EXPECT_EQ(category["text"].toString(), QStringLiteral(u"フォーラム(FGOLF ゴルフ愛好会フォーラム)"));
  EXPECT_EQ(category["image"].toInt(), 10);
  const QJsonObject first = category["ids"].toArray()[0].toObject();
  EXPECT_EQ(first["id"].toString(), QStringLiteral("DEF00002"));
  EXPECT_EQ(first["handle"].toString(), QStringLiteral(u"みどり"));
  EXPECT_EQ(first["handles"].toArray().size(), 1);
  const QJsonObject room = category["children"].toArray()[0].toObject();
  EXPECT_EQ(room["text"].toString(), QStringLiteral(u"ＲＴ会議"));
  EXPECT_EQ(room["image"].toInt(), 0);
  EXPECT_EQ(room["selectedImage"].toInt(), 1);
  EXPECT_EQ(room["children"].toArray().size(), 0);
  // The CB band of the other log, under the category node.
  const QJsonObject cb = files[1].toObject()["children"].toArray()[2].toObject();
  EXPECT_EQ(cb["text"].toString(), QStringLiteral(u"ＣＢシミュレータ"));
  EXPECT_EQ(cb["children"].toArray()[0].toObject()["text"].toString(), QStringLiteral("Band B"));
}

TEST(ScanTree, JsonEscapesQuotesBackslashesAndControlBytes) {
  QTemporaryDir dir;
  const std::string log = dir.filePath("odd.log").toStdString();
  std::ofstream(log, std::ios::binary) << "*Welcome to CB Band A\r\n(1,ODD00001,say \"hi\"\\\tbye)\r\n";
  const Outcome run = Quillet({"scan", "--json", log});
  EXPECT_EQ(run.status, 0) << run.err;
  QJsonParseError error;
  const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(run.out), &error);
  ASSERT_EQ(error.error, QJsonParseError::NoError) << run.out;
  const QJsonObject band =
      doc.object()["children"][0]["children"][0]["children"][0].toObject();
  EXPECT_EQ(band["ids"][0]["handle"].toString(), QStringLiteral("say \"hi\"\\\tbye"));
}

TEST(ScanTree, JsonEscapesShiftJisHandlesEachTimeTheyAppear) {
  // The same handle, with characters to escape among Japanese ones, in two bands and twice as
  // the shown and the listed handle: each appearance must come out whole.
  QTemporaryDir dir;
  const std::string log = dir.filePath("odd.log").toStdString();
  const std::string handle = quillet::FromUtf8("山\"本\\\t太郎");
  std::ofstream(log, std::ios::binary) << "*Welcome to CB Band A\r\n(1,ODD00001," << handle
                                       << ")\r\n*Welcome to CB Band B\r\n(1,ODD00001," << handle << ")\r\n";
  const Outcome run = Quillet({"scan", "--json", log});
  EXPECT_EQ(run.status, 0) << run.err;
  QJsonParseError error;
  const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(run.out), &error);
  ASSERT_EQ(error.error, QJsonParseError::NoError) << run.out;
  const QJsonArray bands = doc.object()["children"][0]["children"][0]["children"].toArray();
  ASSERT_EQ(bands.size(), 2);
  for (const auto band : bands) {
    const QJsonObject id = band.toObject()["ids"][0].toObject();
    EXPECT_EQ(id["handle"].toString(), QStringLiteral(u"山\"本\\\t太郎"));
    EXPECT_EQ(id["handles"][0].toString(), QStringLiteral(u"山\"本\\\t太郎"));
  }
}

TEST(ScanTree, TrailBytesThatLookLikeBackslashesAreNoEscapes) {
  // ソ, 表, 十 and 能 end in the byte 0x5C, a backslash in ASCII: printed as they are, in
  // UTF-8, in both forms, the first handle of a record and a handle added later alike.
  QTemporaryDir dir;
  const std::string log = dir.filePath("odd.log").toStdString();
  const std::string first = quillet::FromUtf8("ソフト表"), second = quillet::FromUtf8("十能");
  std::ofstream(log, std::ios::binary) << "*Welcome to CB Band A\r\n(1,ODD00001," << first
                                       << ")\r\n(1,ODD00001," << second << ")\r\n";
  const Outcome json = Quillet({"scan", "--json", log});
  EXPECT_EQ(json.status, 0) << json.err;
  EXPECT_NE(json.out.find(R"("handle": "ソフト表", "handles": ["ソフト表", "十能"])"), std::string::npos)
      << json.out;
  const Outcome text = Quillet({"scan", log});
  EXPECT_EQ(text.status, 0) << text.err;
  EXPECT_NE(text.out.find("ODD00001  ソフト表\n"), std::string::npos) << text.out;
}

TEST(ScanTree, IntegrationAndStartContext) {
  QTemporaryDir dir;
  const std::string a = dir.filePath("a.log").toStdString(), b = dir.filePath("b.log").toStdString();
  std::ofstream(a, std::ios::binary) << "(1,AAA00001,first)\r\n";
  std::ofstream(b, std::ios::binary) << "(2,BBB00001,second)\r\n";
  const Outcome run = Quillet({"scan", "--integrate", "--start", "8:Band C", a, b});
  EXPECT_EQ(run.status, 0) << run.err;
  // b first with the start context, then a with the category only.
  EXPECT_EQ(run.out, "NIFTY SERVE\n  " + b +
                         "\n"
                         "    ＣＢシミュレータ\n"
                         "      \n"
                         "        AAA00001  first\n"
                         "      Band C\n"
                         "        BBB00001  second\n");
}

TEST(ScanTree, UnreadableFilesAreNamedAndTheRestIsDone) {
  const std::string mail = kExamples + "/mail.log";
  const std::string missing = kExamples + "/no-such.log";
  const Outcome run = Quillet({"scan", missing, mail});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "quillet scan: cannot read " + missing + "\n");
  EXPECT_EQ(run.out, "NIFTY SERVE\n" + MailTree(mail) + "  " + missing + "\n");
}

TEST(ScanTree, BadArguments) {
  EXPECT_EQ(Quillet({"scan"}).status, 2);
  EXPECT_EQ(Quillet({"scan", "--bogus", "x.log"}).status, 2);
  EXPECT_EQ(Quillet({"scan", "--start", "11", "x.log"}).status, 2);
  EXPECT_EQ(Quillet({"scan", "--start"}).status, 2);
  EXPECT_EQ(Quillet({"scan", "--encoding", "ebcdic", "x.log"}).status, 2);
  EXPECT_EQ(Quillet({"scan", "x.log", "--encoding"}).status, 2);
}

// A log kept in EUC-JP files the same tree as its Shift-JIS original, detected or told.
TEST(ScanTree, EncodingOfTheLogs) {
  QTemporaryDir dir;
  const std::string mail = kExamples + "/mail.log";
  std::string sjis;
  {
    std::ifstream in(mail, std::ios::binary);
    sjis.assign(std::istreambuf_iterator<char>(in), {});
  }
  // Shift-JIS to EUC-JP by JIS code point; the sample has double-byte characters and ASCII only.
  std::string euc;
  for (size_t i = 0; i < sjis.size(); ++i) {
    auto c1 = static_cast<unsigned char>(sjis[i]);
    if (c1 < 0x80) {
      euc += static_cast<char>(c1);
      continue;
    }
    auto c2 = static_cast<unsigned char>(sjis[++i]);
    unsigned j1 = (c1 <= 0x9F ? c1 - 0x70 : c1 - 0xB0) * 2, j2 = c2;
    if (j2 < 0x9F) {
      --j1;
      j2 -= j2 > 0x7F ? 0x20 : 0x1F;
    } else {
      j2 -= 0x7E;
    }
    euc += static_cast<char>(j1 | 0x80);
    euc += static_cast<char>(j2 | 0x80);
  }
  const std::string path = dir.filePath("mail.log").toStdString();
  std::ofstream(path, std::ios::binary) << euc;
  for (const char* encoding : {"auto", "euc-jp"}) {
    const Outcome run = Quillet({"scan", "--encoding", encoding, path});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "NIFTY SERVE\n" + MailTree(path)) << encoding;
  }
}
