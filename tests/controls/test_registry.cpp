#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "common/Cp932.h"
#include "common/Error.h"
#include "controls/GeneralRegistry.h"

namespace {

constexpr const char* kKey = "Software\\Qmr\\NewQuillet";

class Registry : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    previous_ = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", dir_.path().toUtf8());
  }
  void TearDown() override { qputenv("XDG_CONFIG_HOME", previous_); }
  QString File() const { return dir_.path() + "/Qmr/NewQuillet.conf"; }
  void WriteFile(const QByteArray& text) {
    QDir().mkpath(dir_.path() + "/Qmr");
    QFile f(File());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
  }

  QTemporaryDir dir_;
  QByteArray previous_;
};

TEST_F(Registry, ReadsFromMissingKeyGiveDefaultsAndCreateNothing) {
  EXPECT_EQ(RegReadInteger(kKey, "View", "Left", 218), 218);
  EXPECT_EQ(RegReadString(kKey, "View", "Name", "dflt"), "dflt");
  EXPECT_FALSE(QFileInfo::exists(File()));
  EXPECT_FALSE(QFileInfo::exists(dir_.path() + "/Qmr"));
  EXPECT_EQ(quillet::RegistryFileFor(kKey), File().toStdString());
}

TEST_F(Registry, WritesCreateThePathAndReadBack) {
  RegWriteInteger(kKey, "View", "Left", -40);
  RegWriteString(kKey, "Keyword", "0", quillet::FromUtf8("検索語, 二つ"));
  EXPECT_TRUE(QFileInfo::exists(File()));
  EXPECT_EQ(RegReadInteger(kKey, "View", "Left", 0), -40);
  EXPECT_EQ(RegReadString(kKey, "Keyword", "0", ""), quillet::FromUtf8("検索語, 二つ"));
  // Each section is its own key.
  EXPECT_EQ(RegReadInteger(kKey, "Keyword", "Left", 7), 7);
}

TEST_F(Registry, AbsentTextInExistingSectionIsEmptyNotDefault) {
  WriteFile("[View]\nLeft=5\n");
  EXPECT_EQ(RegReadString(kKey, "View", "Missing", "dflt"), "");
  EXPECT_EQ(RegReadInteger(kKey, "View", "Missing", 3), 3);
}

TEST_F(Registry, WrongTypesGiveTheDefault) {
  WriteFile("[View]\nLeft=abc\nTop=12x\nWidth=99999999999\nHeight= 42\nList=1, 2\nPath=/a,b\n");
  EXPECT_EQ(RegReadInteger(kKey, "View", "Left", 218), 218);
  EXPECT_EQ(RegReadInteger(kKey, "View", "Top", 123), 123);
  EXPECT_EQ(RegReadInteger(kKey, "View", "Width", 711), 711);
  EXPECT_EQ(RegReadInteger(kKey, "View", "Height", 519), 42);
  EXPECT_EQ(RegReadInteger(kKey, "View", "List", 9), 9);
  EXPECT_EQ(RegReadString(kKey, "View", "Path", ""), "/a,b");
}

TEST_F(Registry, SiblingProductFolderFile) {
  QDir().mkpath(dir_.path() + "/Qmr");
  QFile f(dir_.path() + "/Qmr/Zelvo.conf");
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write("[Directory]\nOnExecuting=/data/zelvo\n");
  f.close();
  EXPECT_EQ(RegReadString("Software\\Qmr\\Zelvo", "Directory", "OnExecuting", ""), "/data/zelvo");
}

TEST_F(Registry, UnwritableLocationRaisesError) {
  // A file where the folder should be: the settings cannot be created.
  QFile blocker(dir_.path() + "/Qmr");
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  EXPECT_THROW(RegWriteInteger(kKey, "View", "Left", 1), Error);
  EXPECT_EQ(RegReadInteger(kKey, "View", "Left", 218), 218);
}

// A full disk: the write fails, and the file keeps every value it had.
TEST_F(Registry, WriteOntoAFullDiskFailsAndKeepsTheOldFile) {
  RegWriteInteger(kKey, "View", "Left", 1);
  RegWriteString(kKey, "Keyword", "0", quillet::FromUtf8("検索語"));
  QFile f(File());
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QByteArray before = f.readAll();
  f.close();
  struct rlimit old {};
  getrlimit(RLIMIT_FSIZE, &old);
  struct rlimit small = old;
  small.rlim_cur = 16;
  auto previous = signal(SIGXFSZ, SIG_IGN);
  setrlimit(RLIMIT_FSIZE, &small);
  bool threw = false;
  try {
    RegWriteInteger(kKey, "View", "Top", 2);
  } catch (const Error& e) {
    threw = true;
    EXPECT_NE(std::string(e.what()).find("元のファイルはそのままです"), std::string::npos) << e.what();
  }
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, previous);
  EXPECT_TRUE(threw);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(f.readAll(), before);
  EXPECT_EQ(QDir(dir_.path() + "/Qmr").entryList(QDir::Files | QDir::Hidden).size(), 1);  // no scratch left
  EXPECT_EQ(RegReadInteger(kKey, "View", "Left", 218), 1);
  EXPECT_EQ(RegReadInteger(kKey, "View", "Top", 123), 123);
  EXPECT_EQ(RegReadString(kKey, "Keyword", "0", ""), quillet::FromUtf8("検索語"));
}

}  // namespace
