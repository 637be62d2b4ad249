// quillet scan --finds, run as the built program on the sample logs.
#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "common/Cp932.h"

namespace {

struct Result {
  int status;
  std::string out, err;
};

Result Quillet(const std::vector<std::string>& args) {
  QProcess process;
  QStringList list;
  for (const std::string& a : args) list << QString::fromStdString(a);
  process.start(QStringLiteral(QUILLET_BINARY), list);
  EXPECT_TRUE(process.waitForFinished(60000));
  const QByteArray out = process.readAllStandardOutput(), err = process.readAllStandardError();
  return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, out.toStdString(), err.toStdString()};
}

const std::string kExamples = QUILLET_EXAMPLES;

const std::string kForum =
    "1\tFGOLF ゴルフ愛好会フォーラム\tDEF00002\tみどり\n"
    "1\tFGOLF ゴルフ愛好会フォーラム\tGHI00003\tゴルフ太郎\n"
    "2\tFGOLF ゴルフ愛好会フォーラム\tJKL00004\tJKL00004\n"
    "2\tFGOLF ゴルフ愛好会フォーラム\tDEF00002\tDEF00002\n"
    "2\tFGOLF ゴルフ愛好会フォーラム\tmno00005\tmno00005\n"
    "3\tFGOLF ゴルフ愛好会フォーラム\tPQR00006\tPQR00006\n"
    "3\tFGOLF ゴルフ愛好会フォーラム\tGHI00003\tゴルフ太郎\n"
    "3\tFGOLF ゴルフ愛好会フォーラム\tSTU00007\tSTU00007\n"
    "4\tFGOLF ゴルフ愛好会フォーラム\tDEF00002\tみどり\n"
    "4\tFGOLF ゴルフ愛好会フォーラム\tGHI00003\tゴルフ太郎\n"
    "4\tFGOLF ゴルフ愛好会フォーラム\tVWX00008\t見学者\n"
    "4\tFGOLF ゴルフ愛好会フォーラム\tYZA00009\tYZA00009\n";
const std::string kPatioCB =
    "7\tQMR00001\tBCD00010\t山好き\n"
    "7\tQMR00001\tEFG00011\tハイカー花子\n"
    "6\tQMR00001\tBCD00010\tBCD00010\n"
    "7\tHIJ00012\tKLM00013\tカメラ小僧\n"
    "8\tBand B\tNOP00014\tぽち\n"
    "8\tBand B\tBCD00010\t山好き\n"
    "8\tBand B\tQRS00015\tQRS00015\n";
const std::string kMail =
    "9\t受信簿\tGHI00003\tゴルフ太郎\n"
    "9\t受信簿\tTUV00016\tgateway\n"
    "9\t受信簿\tBCD00010\t山好き\n"
    "10\t送信簿\tGHI00003\tゴルフ太郎\n"
    "10\t送信簿\tCDE00019\tCDE00019\n";

}  // namespace

TEST(ScanFinds, SampleLogsInTheOrderGiven) {
  const std::string forum = kExamples + "/forum.log", patio = kExamples + "/patio-cb.log",
                    mail = kExamples + "/mail.log";
  const Result run = Quillet({"scan", "--finds", mail, forum, patio});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, kMail + "end\t" + mail + "\n" + kForum + "end\t" + forum + "\n" + kPatioCB + "end\t" + patio + "\n");
  EXPECT_EQ(run.err, "");
}

TEST(ScanFinds, RawWritesTheLogsBytes) {
  const std::string patio = kExamples + "/patio-cb.log";
  const Result run = Quillet({"scan", "--raw", "--finds", patio});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, quillet::FromUtf8(kPatioCB) + "end\t" + patio + "\n");
}

TEST(ScanFinds, EveryFileStartsFromTheStartContext) {
  QTemporaryDir dir;
  const std::string lib = dir.filePath("lib.log").toStdString();
  std::ofstream(lib, std::ios::binary) << "0001  abc12345 96/01/02   12345   12 title\r\n";
  const std::string mail = kExamples + "/mail.log";  // ends in category 0
  const Result run = Quillet({"scan", "--finds", "--start", "3:ＦＴＥＳＴ", lib, mail, lib});
  EXPECT_EQ(run.status, 0);
  const std::string libFinds = "2\tＦＴＥＳＴ\tabc12345\tabc12345\nend\t" + lib + "\n";
  EXPECT_EQ(run.out, libFinds + kMail + "end\t" + mail + "\n" + libFinds);

  EXPECT_EQ(Quillet({"scan", "--finds", "--start=0", lib}).out, "end\t" + lib + "\n");
}

TEST(ScanFinds, UnreadableFileIsReportedAndStillEnds) {
  QTemporaryDir dir;
  const std::string missing = dir.filePath("nothing here.log").toStdString();
  const std::string mail = kExamples + "/mail.log";
  const Result run = Quillet({"scan", "--finds", missing, mail, dir.path().toStdString()});
  EXPECT_EQ(run.status, 1);
  // The folder holds no log: it is named, without an end line.
  EXPECT_EQ(run.out, "end\t" + missing + "\n" + kMail + "end\t" + mail + "\n");
  EXPECT_NE(run.err.find(missing), std::string::npos) << run.err;
  EXPECT_NE(run.err.find(dir.path().toStdString()), std::string::npos) << run.err;
}

TEST(ScanFinds, BadArgumentsAreUsageErrors) {
  const std::string mail = kExamples + "/mail.log";
  const std::vector<std::vector<std::string>> bad = {
      {"scan", "--finds"},
      {"scan", "--finds", "--start", "11", mail},
      {"scan", "--finds", "--start", "x", mail},
      {"scan", "--finds", "--start", "-1", mail},
      {"scan", "--finds", "--start", "1:\xff", mail},
      {"scan", "--finds", mail, "--start"},
      {"scan", "--finds", "--bogus", mail},
      {"scan", "--finds", "--encoding", "latin1", mail},
      {"scan", "--finds", "--encoding=UTF-8", mail},
      {"scan", "--finds", "--encoding=", mail},
      {"scan", "--finds", mail, "--encoding"},
  };
  for (const auto& args : bad) {
    const Result run = Quillet(args);
    EXPECT_EQ(run.status, 2) << args.back();
    EXPECT_EQ(run.out, "") << args.back();
    EXPECT_NE(run.err.find("Usage"), std::string::npos) << args.back();
  }
}

// The sample logs in other encodings and with Unix line ends give the finds of their originals,
// detected or told; told Shift-JIS, a UTF-8 log is read byte for byte as before.
TEST(ScanFinds, EncodingsAndUnixLineEnds) {
  QTemporaryDir dir;
  const std::string forum = kExamples + "/forum.log";
  std::string sjis;
  {
    std::ifstream in(forum, std::ios::binary);
    sjis.assign(std::istreambuf_iterator<char>(in), {});
  }
  std::string unix;
  for (const char c : sjis)
    if (c != '\r') unix += c;
  const std::string u8 = dir.filePath("u8.log").toStdString(), lf = dir.filePath("lf.log").toStdString();
  std::ofstream(u8, std::ios::binary) << "\xEF\xBB\xBF" << quillet::ToUtf8(sjis);
  std::ofstream(lf, std::ios::binary) << unix;
  for (const std::vector<std::string>& options :
       {std::vector<std::string>{}, {"--encoding", "auto"}, {"--encoding=utf-8"}}) {
    std::vector<std::string> args = {"scan", "--finds"};
    args.insert(args.end(), options.begin(), options.end());
    args.push_back(u8);
    const Result run = Quillet(args);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, kForum + "end\t" + u8 + "\n");
  }
  EXPECT_EQ(Quillet({"scan", "--finds", lf}).out, kForum + "end\t" + lf + "\n");
  EXPECT_EQ(Quillet({"scan", "--finds", "--encoding", "sjis", lf}).out, "end\t" + lf + "\n");
  const Result told = Quillet({"scan", "--finds", "--raw", "--encoding", "sjis", u8});
  EXPECT_EQ(told.status, 0);
  EXPECT_NE(told.out, quillet::FromUtf8(kForum) + "end\t" + u8 + "\n");
  // The locale does not matter.
  QProcess process;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
  process.setProcessEnvironment(env);
  process.start(QStringLiteral(QUILLET_BINARY), {QStringLiteral("scan"), QStringLiteral("--finds"), QString::fromStdString(u8)});
  ASSERT_TRUE(process.waitForFinished(60000));
  EXPECT_EQ(process.readAllStandardOutput().toStdString(), kForum + "end\t" + u8 + "\n");
}

TEST(ScanFinds, LineNumbersEndEachFind) {
  QTemporaryDir dir;
  const std::string path = dir.filePath("lines.log").toStdString();
  // A forum heading, a member line after an empty line, a LF inside a line, a last line
  // without an end and text after 0x1A.
  const std::string member = "ABC00001  Taro             OFF";
  std::ofstream(path, std::ios::binary) << quillet::FromUtf8("＜ＦＴＥＳＴ＞FTEST") << "\r\n\r"
                                        << member << "\r\nx\ny\r\n"
                                        << "DEF00002  Hana             ON \x1A" << "\r\n" << member;
  const Result run = Quillet({"scan", "--finds", "--lines", path});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "1\tFTEST\tABC00001\tTaro\t3\n1\tFTEST\tDEF00002\tHana\t5\nend\t" + path + "\n");
  // The same with --raw and a start context; without --lines nothing changes.
  EXPECT_EQ(Quillet({"scan", "--raw", "--lines", "--finds", "--start", "1:F", path}).out,
            "1\tFTEST\tABC00001\tTaro\t3\n1\tFTEST\tDEF00002\tHana\t5\nend\t" + path + "\n");
  EXPECT_EQ(Quillet({"scan", "--finds", path}).out,
            "1\tFTEST\tABC00001\tTaro\n1\tFTEST\tDEF00002\tHana\nend\t" + path + "\n");
  const std::string forum = kExamples + "/forum.log";
  const Result sample = Quillet({"scan", "--finds", "--lines", forum});
  EXPECT_EQ(sample.out.substr(0, sample.out.find('\n') + 1), "1\tFGOLF ゴルフ愛好会フォーラム\tDEF00002\tみどり\t19\n");
}
