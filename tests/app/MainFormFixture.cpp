#include "MainFormFixture.h"

#include <QElapsedTimer>
#include <QTest>
#include <QTreeView>

#include "app/TreeModel.h"
#include "common/Clock.h"
#include "common/Cp932.h"
#include "controls/widgets/ListGridWidget.h"

void MainFormTest::SetUp() {
  ASSERT_TRUE(home_.isValid());
  savedConfig_ = qgetenv("XDG_CONFIG_HOME");
  savedData_ = qgetenv("XDG_DATA_HOME");
  qputenv("XDG_CONFIG_HOME", (home_.path() + "/config").toUtf8());
  qputenv("XDG_DATA_HOME", (home_.path() + "/data").toUtf8());
  quillet::SetTodayForTesting({2026, 3, 4});
}

void MainFormTest::TearDown() {
  window_.reset();
  quillet::SetTodayForTesting({0, 0, 0});
  qputenv("XDG_CONFIG_HOME", savedConfig_);
  qputenv("XDG_DATA_HOME", savedData_);
}

void MainFormTest::UseZelvoFolder() {
  QDir().mkpath(ZelvoFolder());
  QDir().mkpath(home_.path() + "/config/Qmr");
  QFile f(ConfigFile("Zelvo.conf"));
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write("[Directory]\nOnExecuting=" + ZelvoFolder().toUtf8() + "\n");
}

void MainFormTest::WriteViewSettings(const QByteArray& lines) {
  QDir().mkpath(home_.path() + "/config/Qmr");
  QFile f(ConfigFile("NewQuillet.conf"));
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write("[View]\n" + lines);
}

QByteArray MainFormTest::Record(const std::string& id, const std::string& handle, const std::string& alias,
                                const std::string& memo, const std::string& attribute) {
  std::string padded = handle;
  if (padded.size() < 40) padded.resize(40, ' ');
  const std::string text = id + "\r\n" + padded + alias + "\r\n" + memo + "\r\n" + attribute + "\r\n";
  return QByteArray::fromStdString(text);
}

void MainFormTest::WriteDataFile(const QString& folder, const QByteArray& records) {
  QDir().mkpath(folder);
  QFile f(folder + "/Zelvo.dat");
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(records);
}

QByteArray MainFormTest::ReadFile(const QString& path) const {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return f.readAll();
}

TMainForm& MainFormTest::Open() {
  window_ = std::make_unique<TMainForm>(&dialogs_);
  window_->show();
  return *window_;
}

TTreeNode* MainFormTest::AddFolder(const std::string& text,
                                   const std::vector<std::pair<std::string, std::string>>& ids) {
  TTreeNode* node = window_->Nodes().AddChild(window_->RootNode(), text);
  node->SetImages(8, 9);
  auto set = std::make_unique<TStringListWithHash>();
  for (const auto& [id, handle] : ids) {
    auto record = std::make_unique<TminiIDDataSet>(id);
    record->AddHandle(handle);
    set->AddObject(id, std::move(record));
  }
  node->SetIDSet(std::move(set));
  return node;
}

void MainFormTest::Select(TTreeNode* node) {
  window_->TreeView->setCurrentIndex(window_->TreeModel().IndexOf(node));
}

std::vector<std::string> MainFormTest::Column(int column) const {
  std::vector<std::string> texts;
  for (int r = 0; r < window_->IDView->RowCount(); ++r) texts.push_back(window_->IDView->GetCell(column, r));
  return texts;
}

bool MainFormTest::WaitForImport() {
  QElapsedTimer waited;
  waited.start();
  while (window_->Importing() && waited.elapsed() < 120000) QTest::qWait(5);
  return !window_->Importing();
}
