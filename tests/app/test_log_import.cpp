// The import dialog: its items and categories, the name box following the category, the check of
// the name, and that the starting context is written only when the dialog is confirmed.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include "app/Dialogs.h"
#include "app/LogImport.h"
#include "common/Cp932.h"

namespace {

class ImportDialogTest : public ::testing::Test {
 protected:
  ImportDialogTest() : dialog_(forum_, dialogs_) {
    forum_.Category = 99;  // sentinel: unchanged unless confirmed
    forum_.Name = "untouched";
  }
  void Choose(int item, const QString& name = {}) {
    dialog_.DefaultForum->setCurrentIndex(item);
    if (!name.isNull()) dialog_.TargetName->setText(name);
  }
  int MessageCount() const { return static_cast<int>(dialogs_.Messages().size()); }

  TForumData forum_;
  quillet::ScriptedDialogs dialogs_;
  TImportDialog dialog_;
};

TEST_F(ImportDialogTest, ItemsAndTheirCategories) {
  EXPECT_EQ(dialog_.windowTitle(), QStringLiteral("ログからのインポート"));
  ASSERT_EQ(dialog_.DefaultForum->count(), 14);
  EXPECT_EQ(dialog_.DefaultForum->itemText(5), QStringLiteral("電子ﾒｰﾙ(送信ﾒｰﾙ）"));
  EXPECT_EQ(dialog_.DefaultForum->itemText(12), QStringLiteral("PATIO（GUEST）"));
  const uint8_t expected[] = {0, 8, 8, 8, 8, 10, 9, 1, 2, 3, 4, 5, 7, 6};
  for (int i = 0; i < 14; ++i) EXPECT_EQ(TImportDialog::CategoryOf(i), expected[i]) << "item " << i;
  // Created on "特になし" with the name box off.
  EXPECT_EQ(dialog_.DefaultForum->currentIndex(), 0);
  EXPECT_FALSE(dialog_.TargetName->isEnabled());
  EXPECT_FALSE(dialog_.TargetLabel->isEnabled());
  EXPECT_TRUE(dialog_.SearchButton->isDefault());
}

TEST_F(ImportDialogTest, NameBoxFollowsTheCategory) {
  Choose(7, QStringLiteral("FGALTEST"));
  EXPECT_TRUE(dialog_.TargetName->isEnabled());
  EXPECT_EQ(dialog_.TargetLabel->text(), QStringLiteral("ﾌｫｰﾗﾑ略名(&F)"));
  // Forum to PATIO empties the box.
  Choose(11);
  EXPECT_EQ(dialog_.TargetLabel->text(), QStringLiteral("PATIOのID(&F)"));
  EXPECT_TRUE(dialog_.TargetName->text().isEmpty());
  // Below the forums: the text stays but the box is off.
  dialog_.TargetName->setText(QStringLiteral("kept"));
  Choose(3);
  EXPECT_FALSE(dialog_.TargetName->isEnabled());
  EXPECT_EQ(dialog_.TargetName->text(), QStringLiteral("kept"));
  EXPECT_EQ(dialog_.TargetLabel->text(), QStringLiteral("PATIOのID(&F)"));
}

TEST_F(ImportDialogTest, PatioNeedsAnIDAndKeepsItAsTyped) {
  for (const QString& bad : {QStringLiteral("AB12345"), QStringLiteral("   "), QStringLiteral("abcd1234")}) {
    Choose(13, bad);
    dialog_.SearchButtonClick();
    EXPECT_EQ(dialog_.result(), QDialog::Rejected) << bad.toStdString();
  }
  ASSERT_EQ(MessageCount(), 3);
  EXPECT_EQ(dialogs_.Messages()[0].text, QStringLiteral("フォーラム名／PATIO用のIDが正しくありません。"));
  EXPECT_EQ(forum_.Category, 99);

  // Full-width and lower case normalise to a valid ID; the name keeps its typed form.
  Choose(11, QStringLiteral(" ａｂｃ１２３４５"));
  dialog_.SearchButtonClick();
  EXPECT_EQ(dialog_.result(), QDialog::Accepted);
  EXPECT_EQ(forum_.Category, 5);
  EXPECT_EQ(forum_.Name, quillet::FromUtf8(" ａｂｃ１２３４５"));
  EXPECT_EQ(MessageCount(), 3);
}

TEST_F(ImportDialogTest, ForumNeedsANonBlankName) {
  Choose(9, QStringLiteral("    "));
  dialog_.SearchButtonClick();
  EXPECT_EQ(MessageCount(), 1);
  EXPECT_EQ(forum_.Category, 99);
  Choose(9, QStringLiteral("FXXXX "));
  dialog_.SearchButtonClick();
  EXPECT_EQ(dialog_.result(), QDialog::Accepted);
  EXPECT_EQ(forum_.Category, 3);
  EXPECT_EQ(forum_.Name, "FXXXX ");
}

TEST_F(ImportDialogTest, ItemsWithoutANameAreNeverRefused) {
  dialog_.TargetName->setText(QStringLiteral("left over"));
  dialog_.SearchButtonClick();
  EXPECT_EQ(forum_.Category, 0);
  EXPECT_EQ(forum_.Name, "left over");
  Choose(6);
  dialog_.SearchButtonClick();
  EXPECT_EQ(forum_.Category, 9);
  EXPECT_EQ(MessageCount(), 0);
}

TEST_F(ImportDialogTest, BandsCarryTheScannersBandName) {
  const char* names[] = {"Band A", "Band B", "Band C"};
  for (int item = 2; item <= 4; ++item) {
    Choose(item);
    dialog_.SearchButtonClick();
    EXPECT_EQ(forum_.Category, 8);
    EXPECT_EQ(forum_.Name, names[item - 2]);
  }
  Choose(1);
  dialog_.TargetName->setText(QString());
  dialog_.SearchButtonClick();
  EXPECT_EQ(forum_.Category, 8);
  EXPECT_EQ(forum_.Name, "");
}

TEST_F(ImportDialogTest, EnterConfirmsAndEscapeCancels) {
  Choose(7, QStringLiteral("FTEST"));
  dialog_.show();
  dialog_.TargetName->setFocus();
  QTest::keyClick(dialog_.TargetName, Qt::Key_Return);
  EXPECT_EQ(dialog_.result(), QDialog::Accepted);
  EXPECT_EQ(forum_.Category, 1);

  TForumData other{42, "same"};
  quillet::ScriptedDialogs none;
  TImportDialog second(other, none);
  second.DefaultForum->setCurrentIndex(7);
  second.TargetName->setText(QStringLiteral("FTEST"));
  second.show();
  second.TargetName->setFocus();
  QTest::keyClick(second.TargetName, Qt::Key_Escape);
  EXPECT_EQ(second.result(), QDialog::Rejected);
  EXPECT_FALSE(second.isVisible());
  EXPECT_EQ(other.Category, 42);
  EXPECT_EQ(other.Name, "same");
}

}  // namespace

// The encoding choice: its items, 自動判別 first and chosen at the start, and an access key that
// no other control of the dialog uses.
TEST_F(ImportDialogTest, EncodingChoice) {
  ASSERT_EQ(dialog_.LogEncoding->count(), 5);
  const QString items[] = {QStringLiteral("自動判別"), QStringLiteral("Shift-JIS"), QStringLiteral("EUC-JP"),
                           QStringLiteral("JIS"), QStringLiteral("UTF-8")};
  const TLogEncoding encodings[] = {TLogEncoding::Auto, TLogEncoding::ShiftJis, TLogEncoding::EucJp, TLogEncoding::Jis,
                                    TLogEncoding::Utf8};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(dialog_.LogEncoding->itemText(i), items[i]);
    EXPECT_EQ(TImportDialog::EncodingOf(i), encodings[i]);
  }
  EXPECT_EQ(dialog_.LogEncoding->currentIndex(), 0);
  EXPECT_EQ(dialog_.ChosenEncoding(), TLogEncoding::Auto);
  EXPECT_TRUE(dialog_.EncodingLabel->text().startsWith(QStringLiteral("文字コード")));
  EXPECT_EQ(dialog_.EncodingLabel->buddy(), dialog_.LogEncoding);

  // Access keys of every caption, whatever the category shows.
  auto key = [](const QString& caption) {
    const qsizetype at = caption.indexOf(QLatin1Char('&'));
    return at < 0 || at + 1 >= caption.size() ? QChar() : caption.at(at + 1).toUpper();
  };
  const QChar mine = key(dialog_.EncodingLabel->text());
  ASSERT_FALSE(mine.isNull());
  for (int item : {0, 7, 11}) {
    Choose(item);
    for (const QString& other : {dialog_.IntegrateAllFiles->text(), dialog_.Label2->text(), dialog_.TargetLabel->text(),
                                 dialog_.SearchButton->text(), dialog_.CancelButton->text()})
      EXPECT_NE(key(other), mine) << other.toStdString();
  }
  dialog_.LogEncoding->setCurrentIndex(4);
  EXPECT_EQ(dialog_.ChosenEncoding(), TLogEncoding::Utf8);
  // The dialog's own geometry still holds every control.
  for (QWidget* w : std::initializer_list<QWidget*>{dialog_.LogEncoding, dialog_.SearchButton, dialog_.CancelButton})
    EXPECT_TRUE(dialog_.rect().contains(w->geometry())) << w->metaObject()->className();
}

namespace {

// The dialog opens in the middle of the screen, not over the window that opened it.
TEST(ImportDialogPlace, CentredOnTheScreen) {
  TForumData forum;
  quillet::ScriptedDialogs dialogs;
  QWidget owner;
  owner.setGeometry(0, 0, 200, 150);
  owner.show();
  TImportDialog dialog(forum, dialogs, &owner);
  dialog.show();
  const QPoint middle = dialog.screen()->availableGeometry().center();
  EXPECT_LE((dialog.frameGeometry().center() - middle).manhattanLength(), 2);
}

}  // namespace
