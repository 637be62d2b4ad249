// The search dialog: the keyword history in the settings, OK's enabling, the copy of the tree and
// the mapping of its selection back to the main tree, and what the OK action hands the search.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include "app/Dialogs.h"
#include "app/SearchForm.h"
#include "common/Cp932.h"
#include "controls/GeneralRegistry.h"

namespace {

struct SearchCall {
  TTreeNode* node;
  std::string keyword;
  bool subFolders;
};

class SearchFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(home_.isValid());
    saved_ = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", home_.path().toUtf8());
    root_ = nodes_.AddChild(nullptr, "NIFTY SERVE");
    regist_ = nodes_.AddChild(root_, quillet::FromUtf8("登録ID"));
    nodes_.AddChild(regist_, quillet::FromUtf8("(A)グループＡ"));
    log_ = nodes_.AddChild(root_, "/logs/a.log");
    forum_ = nodes_.AddChild(log_, quillet::FromUtf8("フォーラム(FTEST)"));
    room_ = nodes_.AddChild(forum_, quillet::FromUtf8("会議室"));
    // A second file with the same inner path: the mapping must follow the whole path.
    TTreeNode* other = nodes_.AddChild(root_, "/logs/b.log");
    nodes_.AddChild(nodes_.AddChild(other, quillet::FromUtf8("フォーラム(FTEST)")), quillet::FromUtf8("会議室"));
  }
  void TearDown() override { qputenv("XDG_CONFIG_HOME", saved_); }

  std::unique_ptr<TSearchForm> Open(TTreeNode* selected) {
    return std::make_unique<TSearchForm>(
        selected, nodes_, [this](TTreeNode* n, const std::string& k, bool s) { calls_.push_back({n, k, s}); },
        dialogs_);
  }
  static void StoreHistory(const std::vector<std::string>& keys) {
    RegWriteInteger(TSearchForm::kSettingsKey, "Keyword", "keynum", static_cast<int>(keys.size()));
    for (size_t i = 0; i < keys.size(); ++i)
      RegWriteString(TSearchForm::kSettingsKey, "Keyword", "key" + std::to_string(i), keys[i]);
  }
  static std::vector<std::string> StoredHistory() {
    std::vector<std::string> keys;
    const int count = RegReadInteger(TSearchForm::kSettingsKey, "Keyword", "keynum", -1);
    for (int i = 0; i < count; ++i)
      keys.push_back(RegReadString(TSearchForm::kSettingsKey, "Keyword", "key" + std::to_string(i), "?"));
    return keys;
  }
  // Typing into the keyword box, as a user does (the edit reports the change as edited).
  static void Type(TSearchForm& form, const QString& text) { form.Keyword->lineEdit()->insert(text); }
  static std::vector<std::string> Items(const TSearchForm& form) {
    std::vector<std::string> items;
    for (int i = 0; i < form.Keyword->count(); ++i) items.push_back(form.Keyword->itemText(i).toStdString());
    return items;
  }

  TTreeNodes nodes_;
  TTreeNode *root_, *regist_, *log_, *forum_, *room_;
  quillet::ScriptedDialogs dialogs_;
  std::vector<SearchCall> calls_;

 private:
  QTemporaryDir home_;
  QByteArray saved_;
};

TEST_F(SearchFormTest, HistoryIsOfferedButTheBoxStartsEmpty) {
  StoreHistory({"alpha", quillet::FromUtf8("　 "), quillet::FromUtf8("ｶﾅ"), "beta"});
  auto form = Open(room_);
  EXPECT_EQ(form->windowTitle(), QStringLiteral("検索"));
  // A keyword that is blank after normalising is not offered.
  EXPECT_EQ(Items(*form), (std::vector<std::string>{"alpha", "ｶﾅ", "beta"}));
  EXPECT_TRUE(form->Keyword->currentText().isEmpty());
  EXPECT_FALSE(form->OKButton->isEnabled());
  EXPECT_FALSE(form->SubFolder->isChecked());
  EXPECT_EQ(form->SubFolder->text(), QStringLiteral("ｻﾌﾞﾌｫﾙﾀﾞも検索する(&S)"));
}

TEST_F(SearchFormTest, OKOnlyForAKeywordThatIsNotBlank) {
  auto form = Open(room_);
  Type(*form, QStringLiteral(" 　"));
  EXPECT_FALSE(form->OKButton->isEnabled());
  Type(*form, QStringLiteral("x"));
  EXPECT_TRUE(form->OKButton->isEnabled());
  form->Keyword->setEditText(QString());
  EXPECT_FALSE(form->OKButton->isEnabled());
}

TEST_F(SearchFormTest, TreeIsCopiedAndTheSelectionFollowsThePath) {
  auto form = Open(room_);
  TTreeNodes& copy = form->TargetNodes();
  EXPECT_EQ(copy.TotalCount(), nodes_.TotalCount());
  TTreeNode* selected = form->TargetSelected();
  ASSERT_NE(selected, nullptr);
  EXPECT_NE(selected, room_);
  EXPECT_EQ(selected->Text(), room_->Text());
  EXPECT_EQ(selected->Parent()->Parent()->Text(), "/logs/a.log");

  // OK maps the dialog's selection back to the main tree and hands on the normalised keyword.
  form->SubFolder->setChecked(true);
  Type(*form, QStringLiteral(" ｆｏo　"));
  form->OKButton->click();
  ASSERT_EQ(calls_.size(), 1u);
  EXPECT_EQ(calls_[0].node, room_);
  EXPECT_EQ(calls_[0].keyword, "FOO");
  EXPECT_TRUE(calls_[0].subFolders);
  EXPECT_EQ(form->result(), QDialog::Accepted);
  // The history keeps the keyword as typed.
  EXPECT_EQ(StoredHistory(), (std::vector<std::string>{quillet::FromUtf8(" ｆｏo　")}));
}

TEST_F(SearchFormTest, ChosenTargetAndNoSelection) {
  auto form = Open(regist_);
  TTreeNode* top = form->TargetNodes().GetFirstNode();
  TTreeNode* copyOfLog = nullptr;
  for (int i = 0; i < top->Count(); ++i)
    if (top->Item(i)->Text() == "/logs/a.log") copyOfLog = top->Item(i);
  ASSERT_NE(copyOfLog, nullptr);
  form->SelectTarget(copyOfLog);
  Type(*form, QStringLiteral("k"));
  form->OKButton->click();
  ASSERT_EQ(calls_.size(), 1u);
  EXPECT_EQ(calls_[0].node, log_);
  EXPECT_FALSE(calls_[0].subFolders);

  // Without any selection the top node is searched.
  auto bare = Open(nullptr);
  EXPECT_EQ(bare->TargetSelected(), nullptr);
  Type(*bare, QStringLiteral("k"));
  bare->OKButton->click();
  ASSERT_EQ(calls_.size(), 2u);
  EXPECT_EQ(calls_[1].node, root_);
}

TEST_F(SearchFormTest, EnterRunsTheSearchEvenWhenOKIsDisabled) {
  auto form = Open(forum_);
  form->show();
  form->Keyword->lineEdit()->setFocus();
  QTest::keyClick(form->Keyword->lineEdit(), Qt::Key_Return);
  ASSERT_EQ(calls_.size(), 1u);
  EXPECT_EQ(calls_[0].node, forum_);
  EXPECT_EQ(calls_[0].keyword, "");
  EXPECT_EQ(form->result(), QDialog::Accepted);
}

// Enter as the user presses it: the box has the focus and hands the key to its edit itself.
TEST_F(SearchFormTest, EnterInTheBoxWithAnEmptyKeywordSearches) {
  auto form = Open(forum_);
  form->show();
  QTest::keyClick(form->Keyword, Qt::Key_Return);
  ASSERT_EQ(calls_.size(), 1u);
  EXPECT_EQ(calls_[0].keyword, "");
  EXPECT_EQ(form->result(), QDialog::Accepted);
}

// What is typed is searched as typed: the history never completes it, and a history longer than
// the dialog keeps is read up to twenty.
TEST_F(SearchFormTest, TypedKeywordIsNotCompletedAndLongHistoryIsCut) {
  std::vector<std::string> keys;
  for (int i = 0; i < 25; ++i) keys.push_back("abc" + std::to_string(i));
  StoreHistory(keys);
  auto form = Open(forum_);
  form->show();
  EXPECT_EQ(form->Keyword->count(), 20);
  form->Keyword->setFocus();
  QTest::keyClicks(form->Keyword, "ab");
  EXPECT_EQ(form->Keyword->currentText(), QStringLiteral("ab"));
  form->OKButtonClick();
  ASSERT_EQ(calls_.size(), 1u);
  EXPECT_EQ(calls_[0].keyword, "AB");
}

TEST_F(SearchFormTest, HistoryHoldsTwentyMostRecentFirst) {
  std::vector<std::string> keys;
  for (int i = 0; i < 20; ++i) keys.push_back("k" + std::to_string(i));
  StoreHistory(keys);
  {
    auto form = Open(room_);
    Type(*form, QStringLiteral("new"));
    form->OKButton->click();
  }
  std::vector<std::string> expected{"new"};
  expected.insert(expected.end(), keys.begin(), keys.end() - 1);
  EXPECT_EQ(StoredHistory(), expected);

  // Picking k5 from the list moves it to the top without growing the history.
  {
    auto form = Open(room_);
    const int k5 = form->Keyword->findText(QStringLiteral("k5"));
    ASSERT_GE(k5, 0);
    form->Keyword->setCurrentIndex(k5);
    emit form->Keyword->activated(k5);
    form->OKButton->click();
    EXPECT_EQ(calls_.back().keyword, "K5");
  }
  auto history = StoredHistory();
  ASSERT_EQ(history.size(), 20u);
  EXPECT_EQ(history[0], "k5");
  EXPECT_EQ(std::count(history.begin(), history.end(), "k5"), 1);
  EXPECT_EQ(history[1], "new");
  EXPECT_EQ(history[19], "k18");

  // Typing an existing keyword, not picking it, stores it a second time.
  {
    auto form = Open(room_);
    Type(*form, QStringLiteral("new"));
    form->OKButton->click();
  }
  history = StoredHistory();
  EXPECT_EQ(history[0], "new");
  EXPECT_EQ(std::count(history.begin(), history.end(), "new"), 2);
  EXPECT_EQ(history.size(), 20u);
}

TEST_F(SearchFormTest, PickedThenEditedIsANewKeyword) {
  StoreHistory({"one", "two"});
  auto form = Open(room_);
  form->Keyword->setCurrentIndex(1);
  emit form->Keyword->activated(1);
  Type(*form, QStringLiteral("x"));
  form->OKButton->click();
  EXPECT_EQ(StoredHistory(), (std::vector<std::string>{"twox", "one", "two"}));
}

TEST_F(SearchFormTest, CancelSearchesNothingAndKeepsTheHistory) {
  StoreHistory({"a", "b", "c"});
  RegWriteString(TSearchForm::kSettingsKey, "Keyword", "key7", "stale");
  {
    auto form = Open(room_);
    Type(*form, QStringLiteral("unused"));
    form->CancelButton->click();
    EXPECT_EQ(form->result(), QDialog::Rejected);
  }
  EXPECT_TRUE(calls_.empty());
  EXPECT_EQ(StoredHistory(), (std::vector<std::string>{"a", "b", "c"}));
  // Values past the count are left where they were.
  EXPECT_EQ(RegReadString(TSearchForm::kSettingsKey, "Keyword", "key7", ""), "stale");
}

TEST_F(SearchFormTest, KeywordWithoutShiftJISFormIsRefused) {
  auto form = Open(room_);
  Type(*form, QString::fromUtf8("\xF0\x9F\x98\x80"));
  form->OKButton->click();
  EXPECT_TRUE(calls_.empty());
  EXPECT_EQ(dialogs_.Messages().size(), 1u);
  EXPECT_EQ(form->result(), QDialog::Rejected);
  EXPECT_EQ(form->Keyword->count(), 0);
}

}  // namespace
