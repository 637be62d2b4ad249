// quillet scan and scan --finds on folders and archives, run as the built program: expansion in
// place, one end line per log, member names in every locale, damage, and memory on a big member.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "common/Cp932.h"
#include "support/ArchiveFixtures.h"

using archivetest::WriteFile;

namespace {

struct Result {
  int status;
  std::string out, err;
};

Result Quillet(const std::vector<std::string>& args, const char* locale = nullptr, const std::string& cwd = {}) {
  QProcess process;
  QStringList list;
  for (const std::string& a : args) list << QString::fromStdString(a);
  if (locale) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QString::fromLatin1(locale));
    process.setProcessEnvironment(env);
  }
  if (!cwd.empty()) process.setWorkingDirectory(QString::fromStdString(cwd));
  process.start(QStringLiteral(QUILLET_BINARY), list);
  EXPECT_TRUE(process.waitForFinished(300000));
  const QByteArray out = process.readAllStandardOutput(), err = process.readAllStandardError();
  return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, out.toStdString(), err.toStdString()};
}

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

const std::string kExamples = QUILLET_EXAMPLES;

// The finds of a sample log without its end line, as scan --finds prints them.
std::string FindsOf(const std::string& name, bool raw = false) {
  const std::string path = kExamples + "/" + name;
  std::vector<std::string> args{"scan", "--finds", path};
  if (raw) args.insert(args.begin() + 1, "--raw");
  const Result run = Quillet(args);
  EXPECT_EQ(run.status, 0);
  const std::string end = "end\t" + path + "\n";
  EXPECT_GE(run.out.size(), end.size());
  return run.out.substr(0, run.out.size() - end.size());
}

class ScanArchives : public ::testing::Test {
 protected:
  void SetUp() override {
    forum_ = Slurp(kExamples + "/forum.log");
    mail_ = Slurp(kExamples + "/mail.log");
    patio_ = Slurp(kExamples + "/patio-cb.log");
    ASSERT_FALSE(forum_.empty());
  }
  std::string Path(const std::string& name) const { return dir_.filePath(QString::fromStdString(name)).toStdString(); }
  QTemporaryDir dir_;
  std::string forum_, mail_, patio_;
};

}  // namespace

TEST_F(ScanArchives, FoldersAndArchivesExpandInPlace) {
  const std::string zip = Path("pack.zip"), folder = Path("logs");
  WriteFile(zip, archivetest::StoredZip({{"m/mail.log", mail_}, {"notes.doc", "x"}, {"cb.TXT", patio_}}));
  ::mkdir(folder.c_str(), 0755);
  ::mkdir(Path("logs/sub").c_str(), 0755);
  WriteFile(Path("logs/sub/forum.log"), forum_);
  WriteFile(Path("logs/a.log"), mail_);
  archivetest::WriteWithLibarchive(Path("logs/old.tar.gz"), "tar", "gzip", {{"patio.log", patio_}});

  const std::string mail = FindsOf("mail.log"), forum = FindsOf("forum.log"), patio = FindsOf("patio-cb.log");
  // scan --finds: the paths in the order given, each folder or archive in its place.
  const Result run = Quillet({"scan", "--finds", zip, Path("logs/"), kExamples + "/forum.log"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out, mail + "end\t" + zip + "/m/mail.log\n" +        //
                         patio + "end\t" + zip + "/cb.TXT\n" +        //
                         mail + "end\t" + folder + "/a.log\n" +       //
                         patio + "end\t" + folder + "/old.tar.gz/patio.log\n" +
                         forum + "end\t" + folder + "/sub/forum.log\n" +  //
                         forum + "end\t" + kExamples + "/forum.log\n");

  // scan: the last path first (here the folder, its logs in walk order), then the others; with
  // --integrate every log fills the node of the first one scanned.
  const Result tree = Quillet({"scan", "pack.zip", "logs"}, nullptr, dir_.path().toStdString());
  EXPECT_EQ(tree.status, 0) << tree.err;
  std::vector<std::string> fileNodes;
  size_t at = 0;
  while ((at = tree.out.find("\n  /", at)) != std::string::npos) {
    ++at;
    fileNodes.push_back(tree.out.substr(at + 2, tree.out.find('\n', at) - at - 2));
  }
  EXPECT_EQ(fileNodes, (std::vector<std::string>{folder + "/a.log", folder + "/old.tar.gz/patio.log",
                                                 folder + "/sub/forum.log", zip + "/cb.TXT", zip + "/m/mail.log"}));
  const Result integrated = Quillet({"scan", "--integrate", "pack.zip", "logs"}, nullptr, dir_.path().toStdString());
  EXPECT_EQ(integrated.status, 0);
  EXPECT_EQ(integrated.out.substr(0, integrated.out.find('\n', 13) + 1), "NIFTY SERVE\n  " + folder + "/a.log\n");
  EXPECT_EQ(integrated.out.find("\n  /", 14), std::string::npos);
}

TEST_F(ScanArchives, MemberNamesPrintTheSameInEveryLocale) {
  const std::string zip = Path("names.zip"), lzh = Path("names.lzh");
  WriteFile(zip, archivetest::StoredZip({{quillet::FromUtf8("ﾌｫｰﾗﾑ/会議室.log"), forum_},
                                         {"受信簿.txt", mail_, true}}));
  WriteFile(lzh, archivetest::StoredLzh({{quillet::FromUtf8("電子会議.LOG"), patio_}}));
  const std::string forum = FindsOf("forum.log"), mail = FindsOf("mail.log"), patio = FindsOf("patio-cb.log");
  const std::string expected = forum + "end\t" + zip + "/ﾌｫｰﾗﾑ/会議室.log\n" + mail + "end\t" + zip +
                               "/受信簿.txt\n" + patio + "end\t" + lzh + "/電子会議.LOG\n";
  for (const char* locale : {"C", "C.UTF-8"}) {
    SCOPED_TRACE(locale);
    const Result run = Quillet({"scan", "--finds", zip, lzh}, locale);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, expected);
    // Raw: the names as the program's Shift-JIS texts, like the finds.
    const Result raw = Quillet({"scan", "--finds", "--raw", lzh}, locale);
    EXPECT_EQ(raw.out, FindsOf("patio-cb.log", true) + "end\t" + lzh + "/" + quillet::FromUtf8("電子会議.LOG") + "\n");
  }
  // The tree names the file node by the member's path as well.
  const Result tree = Quillet({"scan", zip}, "C");
  EXPECT_NE(tree.out.find("\n  " + zip + "/受信簿.txt\n"), std::string::npos) << tree.out;
}

TEST_F(ScanArchives, DamageAndEmptinessAreToldAndTheRestGoesOn) {
  std::string third;
  for (int i = 0; i < 4000; ++i) third += "(1,ABC" + std::to_string(10000 + i) + ",h)\r\n";
  archivetest::WriteWithLibarchive(Path("whole.zip"), "zip", "none",
                                   {{"1.log", forum_}, {"2.log", "*Welcome to CB Band A\r\n" + third}, {"3.log", mail_}});
  const std::string bytes = Slurp(Path("whole.zip"));
  const std::string cut = Path("cut.zip");
  WriteFile(cut, bytes.substr(0, bytes.size() / 2));  // in the middle of the second member
  ::mkdir(Path("empty").c_str(), 0755);
  WriteFile(Path("nolog.zip"), archivetest::StoredZip({{"a.doc", "x"}}));
  const std::string forum = FindsOf("forum.log"), mail = FindsOf("mail.log");

  const Result run = Quillet({"scan", "--finds", Path("empty"), cut, Path("nolog.zip"), kExamples + "/mail.log"});
  EXPECT_EQ(run.status, 1);
  // The first member whole, the cut one up to the damage with its end line, nothing after it;
  // the folder and archive without logs have no end line; the log after them is scanned.
  ASSERT_EQ(run.out.substr(0, forum.size()), forum);
  const std::string afterFirst = run.out.substr(forum.size());
  EXPECT_EQ(afterFirst.substr(0, std::string("end\t" + cut + "/1.log\n").size()), "end\t" + cut + "/1.log\n");
  const size_t cutEnd = afterFirst.find("end\t" + cut + "/2.log\n");
  ASSERT_NE(cutEnd, std::string::npos);
  EXPECT_GT(cutEnd, 1000u);  // some of its finds came through
  EXPECT_LT(cutEnd, 4000u * 20);
  EXPECT_EQ(afterFirst.find("3.log"), std::string::npos);
  const std::string tail = mail + "end\t" + kExamples + "/mail.log\n";
  EXPECT_EQ(run.out.substr(run.out.size() - std::min(run.out.size(), tail.size())), tail);
  EXPECT_NE(run.err.find("no log in " + Path("empty") + "\n"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("cannot read " + cut + ": "), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("no log in " + Path("nolog.zip") + "\n"), std::string::npos) << run.err;

  // The tree: what was read is filed; the same problems are named.
  const Result tree = Quillet({"scan", Path("empty"), cut});
  EXPECT_EQ(tree.status, 1);
  EXPECT_NE(tree.out.find("  " + cut + "/1.log\n"), std::string::npos);
  EXPECT_NE(tree.out.find("  " + cut + "/2.log\n"), std::string::npos);
  EXPECT_NE(tree.err.find("no log in " + Path("empty")), std::string::npos) << tree.err;
  EXPECT_NE(tree.err.find(cut), std::string::npos) << tree.err;
}

TEST_F(ScanArchives, ABigMemberIsStreamedNotHeld) {
  // 256 MiB of long lines, deflated, written piece by piece.
  const std::string zip = Path("big.zip");
  const std::string line = std::string(1022, 'x') + "\r\n";
  const size_t lines = (size_t{256} << 20) / line.size();
  archive* a = archive_write_new();
  archive_write_set_format_zip(a);
  ASSERT_EQ(archive_write_open_filename(a, zip.c_str()), ARCHIVE_OK);
  archive_entry* e = archive_entry_new();
  archive_entry_set_pathname(e, "big.log");
  archive_entry_set_filetype(e, AE_IFREG);
  archive_entry_set_perm(e, 0644);
  archive_entry_set_size(e, static_cast<la_int64_t>(lines * line.size() + 10));
  archive_write_header(a, e);
  std::string chunk;
  for (int i = 0; i < 1024; ++i) chunk += line;
  for (size_t done = 0; done < lines; done += 1024) archive_write_data(a, chunk.data(), std::min<size_t>(1024, lines - done) * line.size());
  archive_write_data(a, "(1,QRS00015,h)", 10);  // the last line, without its end, cut to "(1,QRS0001"
  archive_entry_free(e);
  archive_write_close(a);
  archive_write_free(a);

  const Result run = Quillet({"scan", "--finds", zip});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "end\t" + zip + "/big.log\n");
  rusage usage{};
  ASSERT_EQ(getrusage(RUSAGE_CHILDREN, &usage), 0);
  EXPECT_LT(usage.ru_maxrss, 128 * 1024) << "peak KiB of the scan";
}
