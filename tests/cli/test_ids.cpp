// quillet ids list / import, run as the built program on a scratch data folder.
#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "common/Cp932.h"
#include "support/Support.h"

namespace {

struct Result {
  int status;
  std::string out, err;
};

// Runs the program; with a shell script, runs that through sh with the program as $0.
Result Quillet(const std::vector<std::string>& args,
               const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment(),
               const std::string& script = {}) {
  QProcess process;
  process.setProcessEnvironment(env);
  QStringList list;
  for (const std::string& a : args) list << QString::fromStdString(a);
  if (script.empty())
    process.start(QStringLiteral(QUILLET_BINARY), list);
  else
    process.start(QStringLiteral("/bin/sh"), {"-c", QString::fromStdString(script), QStringLiteral(QUILLET_BINARY)});
  EXPECT_TRUE(process.waitForFinished(60000));
  const QByteArray out = process.readAllStandardOutput(), err = process.readAllStandardError();
  return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, out.toStdString(),
          err.toStdString()};
}

using testsupport::ReadFile;
using testsupport::WriteFile;
constexpr auto S = testsupport::U;

class IdsCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = tmp.path().toStdString();
    data = S("ABC12345\r\nやまだ") + std::string(34, ' ') + S("ニック\r\nメモ\r\nAAP1999 1 52000 2 3 \r\n") +
           "XYZ00001\r\nplain\r\n\r\nF  19990105        M\r\n";
    WriteFile(dir + "/Zelvo.dat", data);
    WriteFile(dir + "/ZelvoGP.dat", S("Aグループ\r\nB友人\r\nE") + "trash\r\n");
  }
  QStringList Files() const { return QDir(tmp.path()).entryList(QDir::Files, QDir::Name); }

  QTemporaryDir tmp;
  std::string dir;
  std::string data;
};

TEST_F(IdsCommand, ListPrintsEntriesAndWritesNothing) {
  const QStringList before = Files();
  Result r = Quillet({"ids", "list", "--data-dir", dir});
  EXPECT_EQ(r.status, 0) << r.err;
  // F is not a group in the file: it is added while reading, the entry keeps it.
  EXPECT_EQ(r.out,
            "ABC12345\tやまだ\tニック\tメモ\tA\tAP-\t1999/ 1/ 5\t2000/ 2/ 3\n"
            "XYZ00001\tplain\t\t\tF\t--M\t1999/01/05\t    /  /  \n");
  EXPECT_EQ(Files(), before);
  EXPECT_EQ(ReadFile(dir + "/Zelvo.dat"), data);

  r = Quillet({"ids", "list", "--groups", "--data-dir", dir});
  EXPECT_EQ(r.out, "A\tグループ\nB\t友人\nE\ttrash\nF\tｸﾞﾙｰﾌﾟF\n");

  r = Quillet({"ids", "list", "--raw", "--data-dir", dir});
  EXPECT_EQ(r.out.substr(0, 15), "ABC12345\t" + S("やまだ"));
}

TEST_F(IdsCommand, ListAfterFormatErrorPrintsWhatWasReadAndFails) {
  WriteFile(dir + "/Zelvo.dat", data + "bad line\r\n");
  Result r = Quillet({"ids", "list", "--data-dir", dir});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 2);
  EXPECT_NE(r.err.find("データファイル(ID)の形式が正しくありません。(9)"), std::string::npos) << r.err;
}

TEST_F(IdsCommand, ListUsesTheSiblingProductsFolderFromTheSettings) {
  QTemporaryDir config;
  QDir(config.path()).mkpath("Qmr");
  WriteFile(config.path().toStdString() + "/Qmr/Zelvo.conf", "[Directory]\nOnExecuting=" + dir + "/\n");
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("XDG_CONFIG_HOME", config.path());
  Result r = Quillet({"ids", "list"}, env);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.substr(0, 9), "ABC12345\t");
}

TEST_F(IdsCommand, ImportRegistersFilesAndSaves) {
  WriteFile(dir + "/list.lst", "NEW00001\tnewbie\r\nABC12345\tother\r\nNEW00001\tagain\r\nbad\r\n");
  Result r = Quillet({"ids", "import", "--data-dir", dir, "--group", "ｂ", dir + "/list.lst"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "NEW00001\tnewbie\nABC12345\tother\n");
  EXPECT_EQ(ReadFile(dir + "/Zelvo.dat.bak").substr(0, 8), "ABC12345");
  const std::string saved = ReadFile(dir + "/Zelvo.dat");
  EXPECT_EQ(saved.substr(0, data.size()), data);  // the known ID kept its entry
  EXPECT_EQ(saved.substr(data.size(), 63),
            "NEW00001\r\nnewbie" + std::string(34, ' ') + "\r\n      \r\nB  ");
  EXPECT_NE(ReadFile(dir + "/ZelvoGP.dat").find("F" + S("ｸﾞﾙｰﾌﾟF")), std::string::npos);
}

TEST_F(IdsCommand, BadArgumentsAreRefused) {
  WriteFile(dir + "/list.lst", "NEW00001\tx\r\n");
  EXPECT_EQ(Quillet({"ids", "import", "--data-dir", dir, "--group", " ", dir + "/list.lst"}).status, 2);
  EXPECT_NE(Quillet({"ids", "import", "--data-dir", dir, dir + "/missing.lst"}).status, 0);
  EXPECT_EQ(Quillet({"ids", "list", "--bogus"}).status, 2);
  EXPECT_EQ(Quillet({"ids"}).status, 2);
  EXPECT_EQ(Quillet({"ids", "import", "--data-dir", dir}).status, 2);
  EXPECT_EQ(ReadFile(dir + "/Zelvo.dat"), data);
}

// Runs quillet through the shell with a command in front (a file-size limit, strace).
Result Shell(const std::string& script) { return Quillet({}, QProcessEnvironment::systemEnvironment(), script); }

TEST_F(IdsCommand, ImportOntoAFullDiskFailsAndKeepsEveryFile) {
  WriteFile(dir + "/Zelvo.dat.bak", data);
  WriteFile(dir + "/ZelvoGP.dat.bak", ReadFile(dir + "/ZelvoGP.dat"));
  WriteFile(dir + "/list.lst", "NEW00001\tone\r\nNEW00002\ttwo\r\n");
  const QStringList before = Files();
  const std::string groups = ReadFile(dir + "/ZelvoGP.dat");
  // Files of at most 1 KB, the data file holds 160 bytes: the backup still fits, the new data
  // file would too, so the limit is made smaller than what the save writes.
  Result r = Shell("trap '' XFSZ; ulimit -f 0; exec \"$0\" ids import --data-dir '" + dir + "' --group A '" + dir +
                   "/list.lst'");
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_NE(r.err.find("保存できませんでした"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("元のファイルはそのままです"), std::string::npos) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(ReadFile(dir + "/Zelvo.dat"), data);
  EXPECT_EQ(ReadFile(dir + "/Zelvo.dat.bak"), data);
  EXPECT_EQ(ReadFile(dir + "/ZelvoGP.dat"), groups);
  EXPECT_EQ(ReadFile(dir + "/ZelvoGP.dat.bak"), groups);
  EXPECT_EQ(Files(), before);
}

TEST_F(IdsCommand, ReadErrorInTheMiddleOfAnImportWritesNothing) {
  std::string list;
  for (int i = 0; i < 60000; ++i) list += "NEW" + std::to_string(10000 + i) + "\tname\r\n";
  ASSERT_GT(list.size(), 3u * 256 * 1024);
  WriteFile(dir + "/new50k.lst", list);
  if (Shell("exec strace -o /dev/null -P '" + dir + "/new50k.lst' true").status != 0)
    GTEST_SKIP() << "strace cannot trace here";
  const QStringList before = Files();
  // Reads of the list: its first lines are looked at, then it is read from the start, rewound
  // (its layout is known from the first line), and read again: the fourth read fails with a
  // quarter of a million bytes of records already taken.
  Result r = Shell("exec strace -o /dev/null -P '" + dir + "/new50k.lst' -e inject=read:error=EIO:when=4 \"$0\" ids import --data-dir '" + dir +
                   "' --group A '" + dir + "/new50k.lst'");
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_NE(r.err.find("new50k.lst"), std::string::npos) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(ReadFile(dir + "/Zelvo.dat"), data);
  EXPECT_EQ(Files(), before);
}

// Two imports into one folder at once: each either keeps its IDs or says it saved nothing.
TEST_F(IdsCommand, ConcurrentImportsNeverLoseOneSilently) {
  std::string big;
  for (int i = 0; i < 20000; ++i)
    big += "OLD" + std::to_string(10000 + i) + "\r\nh\r\nm\r\nA  2000 1 12000 1 1 \r\n";
  for (int round = 0; round < 3; ++round) {
    WriteFile(dir + "/Zelvo.dat", big);
    WriteFile(dir + "/one.lst", "ONE0000" + std::to_string(round) + "\tone\r\n");
    WriteFile(dir + "/two.lst", "TWO0000" + std::to_string(round) + "\ttwo\r\n");
    Result r = Shell("\"$0\" ids import --data-dir '" + dir + "' --group A '" + dir + "/one.lst' >/dev/null & a=$!; \"$0\" ids import --data-dir '" + dir +
                     "' --group A '" + dir + "/two.lst' >/dev/null; b=$?; wait $a; a=$?; echo \"$a $b\"");
    const std::string saved = ReadFile(dir + "/Zelvo.dat");
    const bool one = saved.find("ONE0000" + std::to_string(round)) != std::string::npos;
    const bool two = saved.find("TWO0000" + std::to_string(round)) != std::string::npos;
    EXPECT_EQ(r.out, std::string(one ? "0" : "1") + " " + (two ? "0" : "1") + "\n") << r.err;
    EXPECT_TRUE(one || two);
    if (!one || !two) {
      EXPECT_NE(r.err.find("書き換えられました"), std::string::npos) << r.err;
    }
  }
}

TEST_F(IdsCommand, RepairKeepsWhatCanBeReadAndSaysHowMuch) {
  const std::string bad = "ABCD1234\r\nh\r\nm\r\nA\r\n";
  const std::string after = "ZZZ00009\r\nlast\r\n\r\nA  2000 1 12000 1 1 \r\n";
  WriteFile(dir + "/Zelvo.dat", data + bad + after + "QQQ00001\r\n");
  Result r = Quillet({"ids", "repair", "--data-dir", dir});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "kept 3 records, rejected 5 lines\n");
  EXPECT_EQ(ReadFile(dir + "/Zelvo.dat"), data + after);
  EXPECT_EQ(ReadFile(dir + "/Zelvo.dat.rejected"), bad + "QQQ00001\r\n");
  const QStringList broken = QDir(tmp.path()).entryList({"Zelvo.dat.broken-*"}, QDir::Files);
  ASSERT_EQ(broken.size(), 1);
  EXPECT_EQ(ReadFile(dir + "/" + broken[0].toStdString()), data + bad + after + "QQQ00001\r\n");
  EXPECT_EQ(Quillet({"ids", "list", "--data-dir", dir}).status, 0);

  WriteFile(dir + "/Zelvo.dat", "nothing\r\nreadable\r\n");
  r = Quillet({"ids", "repair", "--data-dir", dir});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "kept 0 records, rejected 2 lines\n");
  EXPECT_EQ(ReadFile(dir + "/Zelvo.dat"), "nothing\r\nreadable\r\n");
}

TEST_F(IdsCommand, ImportSaysWhatItCouldNotDo) {
  WriteFile(dir + "/list.lst", "NEW00001\tnewbie\r\nNEW00002\tother\r\nABC12345\tknown\r\n");
  // No --group: a usage error.
  EXPECT_EQ(Quillet({"ids", "import", "--data-dir", dir, dir + "/list.lst"}).status, 2);
  // Into the trash: printed, not saved, and said so.
  Result r = Quillet({"ids", "import", "--data-dir", dir, "--group", "E", dir + "/list.lst"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "NEW00001\tnewbie\nNEW00002\tother\nABC12345\tknown\n");
  EXPECT_EQ(r.err, "quillet ids import: 2 IDs went to the trash (group E) and were not saved\n");
  EXPECT_EQ(ReadFile(dir + "/Zelvo.dat"), data);

  // Files that are no ID list, and folders that are no data folder.
  WriteFile(dir + "/notes.txt", "NEW00003\tx\r\n");
  WriteFile(dir + "/binary.dat", std::string("\x7f" "ELF\0\0\x01", 7));
  struct Case {
    std::vector<std::string> args;
    std::string err;
  } cases[] = {
      {{"import", "--group", "A", "--data-dir", dir, dir + "/notes.txt"},
       "quillet ids import: " + dir + "/notes.txt: not an ID list of a known layout (.dat, .lst or .idb)\n"},
      {{"import", "--group", "A", "--data-dir", dir, dir + "/binary.dat"},
       "quillet ids import: " + dir + "/binary.dat: a binary file, not an ID list\n"},
      {{"import", "--group", "A", "--data-dir", dir, dir},
       "quillet ids import: " + dir + ": is a directory, not an ID list\n"},
      {{"import", "--group", "A", "--data-dir", dir + "/list.lst", dir + "/list.lst"},
       "quillet ids import: " + dir + "/list.lst: not a folder\n"},
      {{"list", "--data-dir", dir + "/missing"}, "quillet ids list: " + dir + "/missing: no such folder\n"},
      {{"repair", "--data-dir", dir + "/list.lst"}, "quillet ids repair: " + dir + "/list.lst: not a folder\n"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"ids"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    r = Quillet(args);
    EXPECT_EQ(r.status, 1) << c.err;
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.out, "");
  }
  EXPECT_EQ(ReadFile(dir + "/Zelvo.dat"), data);
  EXPECT_FALSE(QDir(QString::fromStdString(dir + "/missing")).exists());

  // Output that cannot be written is an error, as for scan.
  for (const std::string& sub : {std::string("list --data-dir '" + dir + "'"),
                                 std::string("import --group A --data-dir '" + dir + "' '" + dir + "/list.lst'")}) {
    r = Shell("exec \"$0\" ids " + sub + " > /dev/full");
    EXPECT_EQ(r.status, 1) << sub;
    EXPECT_NE(r.err.find("error writing the output"), std::string::npos) << r.err;
  }
}

}  // namespace
