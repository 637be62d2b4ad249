#pragma once
// A main window over temporary settings and data folders, with scripted dialogs.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <memory>
#include <string>

#include "app/Dialogs.h"
#include "app/MainForm.h"

class MainFormTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  QString ConfigFile(const QString& name) const { return home_.path() + "/config/Qmr/" + name; }
  QString UserDataFolder() const { return home_.path() + "/data/Qmr/NewQuillet"; }
  QString ZelvoFolder() const { return home_.path() + "/zelvo"; }
  // Points the sibling product's setting at ZelvoFolder() (created).
  void UseZelvoFolder();
  void WriteViewSettings(const QByteArray& lines);
  // One data-file record: ID, handle padded to 40 + alias, memo, attribute line.
  static QByteArray Record(const std::string& id, const std::string& handle, const std::string& alias,
                           const std::string& memo, const std::string& attribute);
  void WriteDataFile(const QString& folder, const QByteArray& records);
  QByteArray ReadFile(const QString& path) const;

  TMainForm& Open();
  void Close() { window_.reset(); }
  // A folder under "NIFTY SERVE" holding (ID, handle) pairs.
  TTreeNode* AddFolder(const std::string& text, const std::vector<std::pair<std::string, std::string>>& ids);
  void Select(TTreeNode* node);  // as a user click would
  std::vector<std::string> Column(int column) const;
  // Lets events run until the window's import has ended (at most two minutes); whether it has.
  bool WaitForImport();

  quillet::ScriptedDialogs dialogs_;
  std::unique_ptr<TMainForm> window_;

 private:
  QTemporaryDir home_;
  QByteArray savedConfig_, savedData_;
};
