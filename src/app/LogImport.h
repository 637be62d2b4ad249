#pragma once
// The dialog "ログからのインポート": whether the chosen logs are imported as one file, and the
// screen a log starts in (category, and the forum's abbreviation or the PATIO's ID), so that a
// log that does not begin with the lines setting that screen still lands in the right folder.
#include <QDialog>

#include "analysis/LogAnalize.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace quillet {
class Dialogs;
}

class TImportDialog : public QDialog {
  Q_OBJECT
 public:
  // `defaultForumData` is written only when the dialog is confirmed; `dialogs` shows its message.
  TImportDialog(TForumData& defaultForumData, quillet::Dialogs& dialogs, QWidget* parent = nullptr);

  QCheckBox* IntegrateAllFiles = nullptr;
  QGroupBox* GroupBox1 = nullptr;
  QLabel* Label2 = nullptr;
  QComboBox* DefaultForum = nullptr;
  QLabel* TargetLabel = nullptr;
  QLineEdit* TargetName = nullptr;
  QLabel* EncodingLabel = nullptr;
  QComboBox* LogEncoding = nullptr;  // how the logs are encoded: 自動判別 (told from each file) first
  QPushButton* SearchButton = nullptr;
  QPushButton* CancelButton = nullptr;

  // The category each item of DefaultForum starts a log in.
  static uint8_t CategoryOf(int item);
  // The encoding each item of LogEncoding reads the logs in.
  static TLogEncoding EncodingOf(int item);
  // The encoding chosen in LogEncoding.
  TLogEncoding ChosenEncoding() const;

  void FormCreate();
  void DefaultForumChange();
  void SearchButtonClick();  // the OK action
  void CancelButtonClick();

 private:
  TForumData& defaultForumData_;
  quillet::Dialogs& dialogs_;
};
