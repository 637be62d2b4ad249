#pragma once
// The box about the program: name, version, release date, the rights notice and where to report
// problems. Fixed tool window, centred on the screen; Enter closes it through the default button.
#include <QDialog>

class QLabel;
class QPushButton;
class QFrame;

class TVersionForm : public QDialog {
  Q_OBJECT
 public:
  explicit TVersionForm(QWidget* parent = nullptr);

  QFrame* Bevel1;
  QLabel *Label1, *Label2, *Label3, *Label4, *Label5, *Label6, *Label7, *Label8, *Label9;
  QLabel *Image1, *Image2;
  QPushButton* OKButton;

  // "yyyy/mm/dd" from the build's release date "yyyy-mm-dd".
  static QString ReleaseDateText();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void OKButtonClick();
};
