// Archives and folders of logs: which members and files are logs, their order, their names as
// the program's Shift-JIS texts (whatever the locale), the compressed forms, and damage.
#include <gtest/gtest.h>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFileInfo>
#include <QTemporaryDir>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "analysis/LogArchive.h"
#include "analysis/LogPaths.h"
#include "common/Cp932.h"
#include "support/ArchiveFixtures.h"

using archivetest::Member;
using archivetest::WriteFile;

namespace {

std::string SJ8(const char* utf8) { return quillet::FromUtf8(utf8); }

// Every log member of an archive as "name=bytes", read through its member sources one after
// another, the way a scan reads them.
std::vector<std::string> ReadLogs(const std::string& path, bool* failed = nullptr) {
  const auto archive = std::make_shared<TLogArchive>(path);
  std::vector<std::string> out;
  TArchiveMember member;
  while (archive->NextLog(member)) {
    auto source = OpenArchiveMember(archive, member);
    std::string data;
    char buffer[7];  // small reads: members span many of them
    ssize_t n;
    while ((n = source->Read(buffer, sizeof buffer)) > 0) data.append(buffer, static_cast<size_t>(n));
    out.push_back(member.Name + "=" + data + (n < 0 ? "<broken>" : ""));
  }
  if (failed) *failed = archive->Failed();
  return out;
}

class ArchiveTest : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) const { return dir_.filePath(QString::fromStdString(name)).toStdString(); }
  QTemporaryDir dir_;
};

}  // namespace

TEST(LogNames, LogsAndArchivesAreToldBySuffixInAnyCase) {
  for (const char* name : {"a.log", "A.LOG", "x/b.Txt", ".log"}) EXPECT_TRUE(IsLogName(name)) << name;
  for (const char* name : {"a.lo", "alog", "a.log.bak", "a.text", "log"}) EXPECT_FALSE(IsLogName(name)) << name;
  for (const char* name : {"a.zip", "a.LZH", "a.lha", "a.tar", "a.tar.gz", "a.TGZ", "a.tar.bz2", "a.tar.xz", "a.7z"})
    EXPECT_TRUE(IsArchiveName(name)) << name;
  for (const char* name : {"a.gz", "a.bz2", "a.xz", "a.rar", "a.zip.log", "zip"}) EXPECT_FALSE(IsArchiveName(name)) << name;
}

TEST_F(ArchiveTest, MembersComeInStoredOrderAndOnlyRegularLogs) {
  const std::string zip = Path("logs.zip");
  WriteFile(zip, archivetest::StoredZip({{"z.log", "last\r\n"},
                                         {"dir/", ""},
                                         {"a.txt", "first\r\n"},
                                         {"readme.doc", "not a log"},
                                         {"inner.zip", archivetest::StoredZip({{"x.log", "inside"}})},
                                         {"dir/b.LOG", "third"},
                                         {"empty.log", ""}}));
  EXPECT_EQ(ReadLogs(zip), (std::vector<std::string>{"z.log=last\r\n", "a.txt=first\r\n", "dir/b.LOG=third", "empty.log="}));

  // In tar, folders and links are not members to scan even when their names end in .log.
  const std::string tar = Path("logs.tar");
  WriteFile(tar, archivetest::Ustar({{"b.log", "one", false, '0'},
                                     {"d.log", "", false, '5'},
                                     {"link.log", "b.log", false, '2'},
                                     {"a.log", "two", false, '0'}}));
  EXPECT_EQ(ReadLogs(tar), (std::vector<std::string>{"b.log=one", "a.log=two"}));
}

TEST_F(ArchiveTest, AnUnreadableMemberDoesNotStopTheNextOne) {
  const std::string zip = Path("locked.zip");
  Member locked{"locked.log", std::string(20, 'x')};
  locked.encrypted = true;
  WriteFile(zip, archivetest::StoredZip({locked, {"open.log", "readable"}}));
  bool failed = true;
  EXPECT_EQ(ReadLogs(zip, &failed), (std::vector<std::string>{"locked.log=<broken>", "open.log=readable"}));
  EXPECT_FALSE(failed);
}

TEST_F(ArchiveTest, JapaneseMemberNamesAreShiftJisTextsInEveryLocale) {
  const std::string sjisName = SJ8("ログ/会議室ﾛｸﾞ.log");  // half-width katakana and a 0x5C-free path
  const std::string utf8Name = "受信簿.txt";
  const std::string unflagged = Path("sjis.zip"), flagged = Path("utf8.zip"), lzh = Path("old.lzh"), tar = Path("n.tar");
  WriteFile(unflagged, archivetest::StoredZip({{sjisName, "a"}}));
  WriteFile(flagged, archivetest::StoredZip({{utf8Name, "b", true}}));
  // LZH's folder separator is the backslash, which is also the second byte of 表 and ソ.
  WriteFile(lzh, archivetest::StoredLzh({{SJ8("電子ﾒｰﾙ.LOG"), "c\r\nd"}, {"plain.txt", "e"}, {SJ8("表ソ\\予定.log"), "g"}}));
  WriteFile(tar, archivetest::Ustar({{utf8Name, "f"}}));

  const std::string previous = setlocale(LC_ALL, nullptr);
  for (const char* locale : {"C", "C.UTF-8"}) {
    if (!setlocale(LC_ALL, locale)) continue;
    SCOPED_TRACE(locale);
    EXPECT_EQ(ReadLogs(unflagged), (std::vector<std::string>{sjisName + "=a"}));
    EXPECT_EQ(ReadLogs(flagged), (std::vector<std::string>{SJ8("受信簿.txt") + "=b"}));
    EXPECT_EQ(ReadLogs(lzh), (std::vector<std::string>{SJ8("電子ﾒｰﾙ.LOG") + "=c\r\nd", "plain.txt=e", SJ8("表ソ/予定.log") + "=g"}));
    EXPECT_EQ(ReadLogs(tar), (std::vector<std::string>{SJ8("受信簿.txt") + "=f"}));
  }
  setlocale(LC_ALL, previous.c_str());
}

TEST_F(ArchiveTest, CompressedFormsReadLikeTheStoredOnes) {
  const std::string big(300000, 'x');  // spans many blocks of the decompressor
  const std::vector<Member> members{{"one.log", "alpha\r\n"}, {"skip.bin", "zzz"}, {"sub/two.txt", big}};
  const std::vector<std::string> expected{"one.log=alpha\r\n", "sub/two.txt=" + big};
  struct Form {
    const char* name;
    const char* format;
    const char* filter;
  };
  for (const Form form : {Form{"a.zip", "zip", "none"}, Form{"a.tar.gz", "tar", "gzip"}, Form{"a.TGZ", "tar", "gzip"},
                          Form{"a.tar.bz2", "tar", "bzip2"}, Form{"a.tar.xz", "tar", "xz"}, Form{"a.7z", "7z", "none"}}) {
    SCOPED_TRACE(form.name);
    archivetest::WriteWithLibarchive(Path(form.name), form.format, form.filter, members);
    bool failed = true;
    EXPECT_EQ(ReadLogs(Path(form.name), &failed), expected);
    EXPECT_FALSE(failed);
  }
}

TEST_F(ArchiveTest, DamageKeepsWhatCameBeforeIt) {
  const std::string whole = Path("whole.tar.gz");
  std::string third;
  for (int i = 0; i < 20000; ++i) third += "line " + std::to_string(i * 7919 % 100003) + "\r\n";
  archivetest::WriteWithLibarchive(whole, "tar", "gzip", {{"1.log", "first"}, {"2.log", "second"}, {"3.log", third}, {"4.log", "fourth"}});
  std::ifstream in(whole, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::string cut = Path("cut.tar.gz");
  WriteFile(cut, bytes.substr(0, bytes.size() * 2 / 3));

  bool failed = false;
  const std::vector<std::string> logs = ReadLogs(cut, &failed);
  ASSERT_EQ(logs.size(), 3u);
  EXPECT_EQ(logs[0], "1.log=first");
  EXPECT_EQ(logs[1], "2.log=second");
  // The member cut short hands out what was there, then a failure.
  EXPECT_EQ(logs[2].substr(0, 14), "3.log=line 0\r\n");
  EXPECT_EQ(logs[2].substr(logs[2].size() - 8), "<broken>");
  EXPECT_TRUE(failed);

  std::vector<TArchiveMember> listed;
  std::string why;
  EXPECT_EQ(ListArchiveLogs(cut, listed, why), TListResult::Unreadable);
  EXPECT_EQ(listed.size(), 3u);
  EXPECT_FALSE(why.empty());

  // Not an archive at all, and a missing one.
  WriteFile(Path("text.zip"), "just text\r\n");
  for (const char* name : {"text.zip", "missing.zip"}) {
    listed.clear();
    EXPECT_EQ(ListArchiveLogs(Path(name), listed, why), TListResult::Unreadable) << name;
    EXPECT_TRUE(listed.empty());
  }
  // An archive with no log in it.
  WriteFile(Path("nolog.zip"), archivetest::StoredZip({{"a.doc", "x"}, {"b.log/", ""}}));
  EXPECT_EQ(ListArchiveLogs(Path("nolog.zip"), listed, why), TListResult::NoLog);
}

TEST_F(ArchiveTest, CompressedDamageRightAfterAMemberKeepsThatMemberWhole) {
  // A member of 40 KB, then one of hardly compressible lines: cut a little into the second, the
  // first is still whole and the second hands out what could be decoded.
  std::string first, second;
  for (int i = 0; i < 4000; ++i) first += "first " + std::to_string(i) + "\r\n";
  uint32_t x = 12345;
  for (int i = 0; i < 30000; ++i) {
    x = x * 1103515245u + 12345u;
    second += std::to_string(x) + "\r\n";
  }
  for (const auto& [suffix, filter] : {std::pair{".tgz", "gzip"}, std::pair{".tar.xz", "xz"}}) {
    SCOPED_TRACE(suffix);
    const std::string whole = Path(std::string("whole") + suffix);
    archivetest::WriteWithLibarchive(whole, "tar", filter, {{"1.log", first}, {"2.log", second}});
    std::ifstream in(whole, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // The first member alone tells where, about, the second one's bytes begin in the compressed
    // stream; the cut comes 3 KB after that, well inside the first 64 KiB of the tar data.
    const std::string alone = Path(std::string("first") + suffix);
    archivetest::WriteWithLibarchive(alone, "tar", filter, {{"1.log", first}});
    const size_t firstSize = QFileInfo(QString::fromStdString(alone)).size();
    const std::string cut = Path(std::string("cut") + suffix);
    WriteFile(cut, bytes.substr(0, firstSize + 3000));
    bool failed = false;
    const std::vector<std::string> logs = ReadLogs(cut, &failed);
    ASSERT_EQ(logs.size(), 2u);
    EXPECT_EQ(logs[0], "1.log=" + first);
    EXPECT_EQ(logs[1].substr(logs[1].size() - 8), "<broken>");
    EXPECT_GT(logs[1].size(), 14u + 1000u);  // some lines of the second came through
    EXPECT_TRUE(failed);
  }
}

TEST_F(ArchiveTest, MembersOfOneArchiveShareOneForwardPass) {
  const std::string zip = Path("many.zip");
  std::vector<Member> members;
  for (int i = 0; i < 50; ++i) members.push_back({"m" + std::to_string(i) + ".log", "data" + std::to_string(i)});
  WriteFile(zip, archivetest::StoredZip(members));
  std::vector<TArchiveMember> listed;
  std::string why;
  ASSERT_EQ(ListArchiveLogs(zip, listed, why), TListResult::Ok);
  ASSERT_EQ(listed.size(), 50u);
  // Sources opened ahead of time on one shared archive, read in order, skipping some unread;
  // then one read out of order, which reopens the archive.
  const auto archive = std::make_shared<TLogArchive>(zip);
  auto readAll = [&](const TArchiveMember& m) {
    auto source = OpenArchiveMember(archive, m);
    char buffer[64];
    const ssize_t n = source->Read(buffer, sizeof buffer);
    return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string("<none>");
  };
  EXPECT_EQ(readAll(listed[0]), "data0");
  EXPECT_EQ(readAll(listed[7]), "data7");
  EXPECT_EQ(readAll(listed[49]), "data49");
  EXPECT_EQ(readAll(listed[3]), "data3");
}

TEST_F(ArchiveTest, FolderWalkOrderAndWhatItSkips) {
  const std::string root = Path("logs");
  for (const char* folder : {"logs", "logs/a", "logs/a/deep", "logs/.hidden", "logs/b"}) ::mkdir(Path(folder).c_str(), 0755);
  for (const char* file : {"logs/a.log", "logs/a/b.log", "logs/a/C.TXT", "logs/a/deep/x.Log", "logs/a-b.txt",
                           "logs/.dot.log", "logs/.hidden/h.log", "logs/notes.doc", "logs/b/pack.ZIP", "logs/b.tar.gz",
                           "logs/B.log"})
    WriteFile(Path(file), "x");
  ASSERT_EQ(::symlink(Path("logs/a.log").c_str(), Path("logs/link.log").c_str()), 0);
  ASSERT_EQ(::symlink(Path("logs/a").c_str(), Path("logs/linked").c_str()), 0);
  ASSERT_EQ(::mkfifo(Path("logs/pipe.log").c_str(), 0644), 0);

  // Byte order of the relative paths: '-' < '.' < '/' and capitals before small letters.
  const std::vector<std::string> expected{"B.log", "a-b.txt", "a.log", "a/C.TXT", "a/b.log", "a/deep/x.Log",
                                          "b.tar.gz", "b/pack.ZIP"};
  for (const std::string& given : {root, root + "/", root + "//"}) {
    std::vector<TLogItem> items;
    std::string why;
    ASSERT_EQ(ExpandLogPath(given, items, why), TExpandResult::Ok);
    std::vector<std::string> paths;
    for (const TLogItem& item : items) {
      paths.push_back(item.Path.substr(root.size() + 1));
      EXPECT_EQ(item.Path.substr(0, root.size() + 1), root + "/");
      EXPECT_EQ(item.Archive, IsArchiveName(item.Path)) << item.Path;
    }
    EXPECT_EQ(paths, expected);
  }

  // A file or an archive given stands for itself, whether it exists or not.
  std::vector<TLogItem> items;
  std::string why;
  EXPECT_EQ(ExpandLogPath(Path("logs/notes.doc"), items, why), TExpandResult::Ok);
  EXPECT_EQ(ExpandLogPath(Path("nowhere.lzh"), items, why), TExpandResult::Ok);
  ASSERT_EQ(items.size(), 2u);
  EXPECT_FALSE(items[0].Archive);
  EXPECT_TRUE(items[1].Archive);

  // Folders with nothing to scan.
  ::mkdir(Path("empty").c_str(), 0755);
  ::mkdir(Path("dotted").c_str(), 0755);
  WriteFile(Path("dotted/.x.log"), "x");
  WriteFile(Path("dotted/x.dat"), "x");
  items.clear();
  EXPECT_EQ(ExpandLogPath(Path("empty"), items, why), TExpandResult::NoLog);
  EXPECT_EQ(ExpandLogPath(Path("dotted"), items, why), TExpandResult::NoLog);
  EXPECT_TRUE(items.empty());
}
