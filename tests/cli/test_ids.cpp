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

Result Quillet(const std::vector<std::string>& args, const QProcessEnvironment& env =
                                                         QProcessEnvironment::systemEnvironment()) {
  QProcess process;
  process.setProcessEnvironment(env);
  QStringList list;
  for (const std::string& a : args) list << QString::fromStdString(a);
  process.start(QStringLiteral(QUILLET_BINARY), list);
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

}  // namespace
