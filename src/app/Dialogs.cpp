#include "app/Dialogs.h"

#include <QAbstractButton>
#include <QPushButton>
#include <QDialog>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <vector>

namespace quillet {
namespace {

// Moves the form to the middle of the screen it is about to show on, once its frame is known.
class TCentreOnScreen : public QObject {
 public:
  using QObject::QObject;
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Show) {
      auto* form = static_cast<QWidget*>(watched);
      QScreen* screen = form->screen() ? form->screen() : QGuiApplication::primaryScreen();
      if (screen) {
        QRect frame = form->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        form->move(frame.topLeft());
      }
    }
    return false;
  }
};

}  // namespace

void CentreOnScreen(QDialog& dialog) { dialog.installEventFilter(new TCentreOnScreen(&dialog)); }

void WidgetDialogs::Message(const QString& caption, const QString& text, Icon icon) {
  QMessageBox box(parent_);
  box.setWindowTitle(caption);
  box.setText(text);
  switch (icon) {
    case Icon::Information: box.setIcon(QMessageBox::Information); break;
    case Icon::Warning: box.setIcon(QMessageBox::Warning); break;
    case Icon::Error: box.setIcon(QMessageBox::Critical); break;
    case Icon::Question: box.setIcon(QMessageBox::Question); break;
    case Icon::None: break;
  }
  box.setStandardButtons(QMessageBox::Ok);
  box.exec();
}

bool WidgetDialogs::Confirm(const QString& caption, const QString& text) {
  return QMessageBox::question(parent_, caption, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) ==
         QMessageBox::Yes;
}

int WidgetDialogs::Choose(const QString& caption, const QString& text, const QStringList& buttons) {
  QMessageBox box(parent_);
  box.setWindowTitle(caption);
  box.setText(text);
  box.setIcon(QMessageBox::Question);
  std::vector<QAbstractButton*> added;
  for (const QString& label : buttons) added.push_back(box.addButton(label, QMessageBox::AcceptRole));
  box.exec();
  for (size_t i = 0; i < added.size(); ++i)
    if (box.clickedButton() == added[i]) return static_cast<int>(i);
  return -1;
}

QString WidgetDialogs::Input(const QString& caption, const QString& prompt, const QString& initial) {
  bool ok = false;
  const QString answer = QInputDialog::getText(parent_, caption, prompt, QLineEdit::Normal, initial, &ok);
  return ok ? answer : QString();
}

// A file dialog always has a Japanese title, even where the caller gives none.
QStringList WidgetDialogs::OpenFiles(const QString& given, const QString& folder, const QString& filter,
                                     bool multiple) {
  const QString caption = given.isEmpty() ? QStringLiteral("ファイルを開く") : given;
  if (multiple) return QFileDialog::getOpenFileNames(parent_, caption, folder, filter);
  const QString file = QFileDialog::getOpenFileName(parent_, caption, folder, filter);
  return file.isEmpty() ? QStringList() : QStringList{file};
}

QString WidgetDialogs::SaveFile(const QString& given, const QString& folder, const QString& filter) {
  const QString caption = given.isEmpty() ? QStringLiteral("名前を付けて保存") : given;
  return QFileDialog::getSaveFileName(parent_, caption, folder, filter);
}

QString WidgetDialogs::OpenFolder(const QString& caption, const QString& folder) {
  return QFileDialog::getExistingDirectory(parent_, caption, folder);
}

int WidgetDialogs::Modal(QDialog& dialog) { return dialog.exec(); }

void ScriptedDialogs::Message(const QString& caption, const QString& text, Icon icon) {
  shown.push_back({Kind::Message, caption, text, icon, {}});
}

int ScriptedDialogs::Choose(const QString& caption, const QString& text, const QStringList& buttons) {
  shown.push_back({Kind::Choose, caption, text, Icon::Question, buttons.join(QLatin1Char('|'))});
  if (choices.empty()) {
    ++unanswered;
    return -1;
  }
  const int answer = choices.front();
  choices.pop_front();
  return answer;
}

bool ScriptedDialogs::Confirm(const QString& caption, const QString& text) {
  shown.push_back({Kind::Confirm, caption, text, Icon::Question, {}});
  if (confirms.empty()) {
    ++unanswered;
    return false;
  }
  const bool answer = confirms.front();
  confirms.pop_front();
  return answer;
}

QString ScriptedDialogs::Input(const QString& caption, const QString& prompt, const QString& initial) {
  shown.push_back({Kind::Input, caption, prompt, Icon::None, initial});
  if (inputs.empty()) {
    ++unanswered;
    return {};
  }
  QString answer = inputs.front();
  inputs.pop_front();
  return answer;
}

QStringList ScriptedDialogs::OpenFiles(const QString& caption, const QString&, const QString& filter,
                                       bool multiple) {
  shown.push_back({Kind::OpenFiles, caption, multiple ? QStringLiteral("multiple") : QString(), Icon::None, filter});
  if (openFiles.empty()) {
    ++unanswered;
    return {};
  }
  QStringList answer = openFiles.front();
  openFiles.pop_front();
  return answer;
}

QString ScriptedDialogs::SaveFile(const QString& caption, const QString&, const QString& filter) {
  shown.push_back({Kind::SaveFile, caption, {}, Icon::None, filter});
  if (saveFiles.empty()) {
    ++unanswered;
    return {};
  }
  QString answer = saveFiles.front();
  saveFiles.pop_front();
  return answer;
}

QString ScriptedDialogs::OpenFolder(const QString& caption, const QString& folder) {
  shown.push_back({Kind::OpenFolder, caption, {}, Icon::None, folder});
  if (openFolders.empty()) {
    ++unanswered;
    return {};
  }
  QString answer = openFolders.front();
  openFolders.pop_front();
  return answer;
}

int ScriptedDialogs::Modal(QDialog& dialog) {
  shown.push_back({Kind::Modal, dialog.windowTitle(), dialog.windowTitle(), Icon::None, {}});
  if (modals.empty()) {
    ++unanswered;
    return QDialog::Rejected;
  }
  auto answer = std::move(modals.front());
  modals.pop_front();
  return answer(dialog);
}

std::vector<ScriptedDialogs::Shown> ScriptedDialogs::Messages() const {
  std::vector<Shown> messages;
  for (const Shown& s : shown)
    if (s.kind == Kind::Message) messages.push_back(s);
  return messages;
}

}  // namespace quillet
