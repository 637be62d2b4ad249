#pragma once
// Every message box, confirmation, input box, file dialog and modal form that a command of the
// main window shows goes through this interface, so that commands can run with scripted answers.
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <vector>

class QDialog;
class QWidget;

namespace quillet {

// Keeps a modal form centred on its screen whenever it is shown, not over its parent window.
void CentreOnScreen(QDialog& dialog);

class Dialogs {
 public:
  enum class Icon { None, Information, Warning, Error, Question };
  virtual ~Dialogs() = default;

  // A message with one OK button.
  virtual void Message(const QString& caption, const QString& text, Icon icon) = 0;
  // A question with the buttons Yes and No; true for Yes.
  virtual bool Confirm(const QString& caption, const QString& text) = 0;
  // A question with one button per entry of `buttons`; the index of the one pressed, -1 when
  // the box was closed without an answer.
  virtual int Choose(const QString& caption, const QString& text, const QStringList& buttons) = 0;
  // One line of text; empty when cancelled.
  virtual QString Input(const QString& caption, const QString& prompt, const QString& initial) = 0;
  // Files to open (empty when cancelled). `filter` in Qt's form ("Logs (*.log);;All (*)").
  virtual QStringList OpenFiles(const QString& caption, const QString& folder, const QString& filter,
                                bool multiple) = 0;
  // A file to save to (empty when cancelled).
  virtual QString SaveFile(const QString& caption, const QString& folder, const QString& filter) = 0;
  // An existing folder (empty when cancelled).
  virtual QString OpenFolder(const QString& caption, const QString& folder) = 0;
  // Shows a modal form and returns its result (QDialog::Accepted / Rejected or the form's own).
  virtual int Modal(QDialog& dialog) = 0;
};

// The real dialogs: QMessageBox, QInputDialog, QFileDialog, QDialog::exec.
class WidgetDialogs : public Dialogs {
 public:
  explicit WidgetDialogs(QWidget* parent) : parent_(parent) {}
  void Message(const QString& caption, const QString& text, Icon icon) override;
  bool Confirm(const QString& caption, const QString& text) override;
  int Choose(const QString& caption, const QString& text, const QStringList& buttons) override;
  QString Input(const QString& caption, const QString& prompt, const QString& initial) override;
  QStringList OpenFiles(const QString& caption, const QString& folder, const QString& filter,
                        bool multiple) override;
  QString SaveFile(const QString& caption, const QString& folder, const QString& filter) override;
  QString OpenFolder(const QString& caption, const QString& folder) override;
  int Modal(QDialog& dialog) override;

 private:
  QWidget* parent_;
};

// Answers queued in advance, for tests. Every dialog asked for is recorded; a question without a
// queued answer is answered No / cancelled and counted in `unanswered`.
class ScriptedDialogs : public Dialogs {
 public:
  enum class Kind { Message, Confirm, Input, OpenFiles, SaveFile, Modal, OpenFolder, Choose };
  struct Shown {
    Kind kind;
    QString caption;
    QString text;  // message, question or prompt; the window title for a modal form; "multiple" for a
                   // file dialog that allows several files
    Icon icon = Icon::None;
    QString detail;  // a file dialog's filter, an input box's initial text
  };

  void Message(const QString& caption, const QString& text, Icon icon) override;
  bool Confirm(const QString& caption, const QString& text) override;
  int Choose(const QString& caption, const QString& text, const QStringList& buttons) override;
  QString Input(const QString& caption, const QString& prompt, const QString& initial) override;
  QStringList OpenFiles(const QString& caption, const QString& folder, const QString& filter,
                        bool multiple) override;
  QString SaveFile(const QString& caption, const QString& folder, const QString& filter) override;
  QString OpenFolder(const QString& caption, const QString& folder) override;
  int Modal(QDialog& dialog) override;

  std::deque<bool> confirms;
  std::deque<int> choices;
  std::deque<QString> inputs;
  std::deque<QStringList> openFiles;
  std::deque<QString> saveFiles;
  std::deque<QString> openFolders;
  // Each runs against the shown form (to look at it or fill it in) and returns its result.
  std::deque<std::function<int(QDialog&)>> modals;

  std::vector<Shown> shown;
  int unanswered = 0;
  std::vector<Shown> Messages() const;  // the plain messages only
};

}  // namespace quillet
