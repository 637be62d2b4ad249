#include "app/LogImport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <iterator>

#include "analysis/Check.h"
#include "analysis/jstrm.h"
#include "app/Dialogs.h"
#include "app/GuiInterface.h"
#include "app/Icons.h"
#include "common/Cp932.h"

namespace {

// The items of DefaultForum in their order, with the category each one gives.
struct ForumItem {
  const char* caption;
  uint8_t category;
};
constexpr ForumItem kItems[] = {
    {"特になし", fcNone},
    {"CBｼﾐｭﾚｰﾀ", fcCBSimulator},
    {"CBｼﾐｭﾚｰﾀ(BAND A)", fcCBSimulator},
    {"CBｼﾐｭﾚｰﾀ(BAND B)", fcCBSimulator},
    {"CBｼﾐｭﾚｰﾀ(BAND C)", fcCBSimulator},
    {"電子ﾒｰﾙ(送信ﾒｰﾙ）", fcSentMail},
    {"電子ﾒｰﾙ（受信ﾒｰﾙ）", fcReceivedMail},
    {"ﾌｫｰﾗﾑ", fcForum},
    {"ﾌｫｰﾗﾑ（ﾗｲﾌﾞﾗﾘ）", fcLibrary},
    {"ﾌｫｰﾗﾑ（電子会議室）", fcConference},
    {"ﾌｫｰﾗﾑ（ＲＴ会議）", fcRealTime},
    {"PATIO", fcPatio},
    {"PATIO（GUEST）", fcPatioGuest},
    {"PATIO（電子会議室）", fcPatioConference},
};
// The items of LogEncoding in their order.
struct EncodingItem {
  const char* caption;
  TLogEncoding encoding;
};
constexpr EncodingItem kEncodings[] = {
    {"自動判別", TLogEncoding::Auto}, {"Shift-JIS", TLogEncoding::ShiftJis}, {"EUC-JP", TLogEncoding::EucJp},
    {"JIS", TLogEncoding::Jis},       {"UTF-8", TLogEncoding::Utf8},
};

constexpr int kFirstForum = 7, kFirstPatio = 11, kItemCount = 14;
constexpr int kFirstBand = 2, kLastBand = 4;

}  // namespace

uint8_t TImportDialog::CategoryOf(int item) {
  return item >= 0 && item < kItemCount ? kItems[item].category : static_cast<uint8_t>(fcNone);
}

TLogEncoding TImportDialog::EncodingOf(int item) {
  return item >= 0 && item < static_cast<int>(std::size(kEncodings)) ? kEncodings[item].encoding : TLogEncoding::Auto;
}

TLogEncoding TImportDialog::ChosenEncoding() const { return EncodingOf(LogEncoding->currentIndex()); }

TImportDialog::TImportDialog(TForumData& defaultForumData, quillet::Dialogs& dialogs, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint),
      defaultForumData_(defaultForumData),
      dialogs_(dialogs) {
  setWindowTitle(QStringLiteral("ログからのインポート"));
  setFixedSize(347, 232);
  quillet::CentreOnScreen(*this);
  setFont(quillet::JapaneseFont(16, true));

  IntegrateAllFiles = new QCheckBox(QStringLiteral("1つのファイルとしてインポートする(&I)"), this);
  IntegrateAllFiles->setGeometry(8, 16, 321, 17);

  GroupBox1 = new QGroupBox(QStringLiteral("デフォルトの状態"), this);
  GroupBox1->setGeometry(8, 48, 329, 105);
  Label2 = new QLabel(QStringLiteral("ｶﾃｺﾞﾘｰ(&C)"), GroupBox1);
  Label2->move(8, 24 + 3);
  Label2->adjustSize();
  DefaultForum = new QComboBox(GroupBox1);
  DefaultForum->setEditable(false);
  DefaultForum->setGeometry(112, 24, 209, 22);
  for (const ForumItem& item : kItems) DefaultForum->addItem(QString::fromUtf8(item.caption));
  Label2->setBuddy(DefaultForum);
  TargetLabel = new QLabel(QStringLiteral("ﾌｫｰﾗﾑ/PATIO名(&F)"), GroupBox1);
  TargetLabel->move(8, 64 + 3);
  TargetLabel->adjustSize();
  TargetName = new QLineEdit(GroupBox1);
  TargetName->setGeometry(152, 64, 169, 22);
  TargetLabel->setBuddy(TargetName);

  // Below the group, in the columns of its controls; the buttons move down to make room.
  EncodingLabel = new QLabel(QStringLiteral("文字コード(&K)"), this);
  EncodingLabel->move(16, 164 + 3);
  EncodingLabel->adjustSize();
  LogEncoding = new QComboBox(this);
  LogEncoding->setEditable(false);
  LogEncoding->setGeometry(120, 164, 209, 22);
  for (const EncodingItem& item : kEncodings) LogEncoding->addItem(QString::fromUtf8(item.caption));
  EncodingLabel->setBuddy(LogEncoding);

  SearchButton = new QPushButton(QStringLiteral("検索(&S)"), this);
  SearchButton->setGeometry(168, 200, 75, 25);
  SearchButton->setDefault(true);  // Enter
  CancelButton = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
  CancelButton->setGeometry(256, 200, 75, 25);
  CancelButton->setAutoDefault(false);  // Esc rejects the dialog as its cancel button

  setTabOrder(IntegrateAllFiles, DefaultForum);
  setTabOrder(DefaultForum, TargetName);
  setTabOrder(TargetName, LogEncoding);
  setTabOrder(LogEncoding, SearchButton);
  setTabOrder(SearchButton, CancelButton);

  connect(DefaultForum, &QComboBox::currentIndexChanged, this, [this] { DefaultForumChange(); });
  connect(SearchButton, &QPushButton::clicked, this, [this] { SearchButtonClick(); });
  connect(CancelButton, &QPushButton::clicked, this, [this] { CancelButtonClick(); });
  FormCreate();
}

void TImportDialog::FormCreate() {
  {
    const QSignalBlocker quiet(DefaultForum);
    DefaultForum->setCurrentIndex(0);
  }
  LogEncoding->setCurrentIndex(0);
  DefaultForumChange();
}

void TImportDialog::DefaultForumChange() {
  const int item = DefaultForum->currentIndex();
  if (item < kFirstForum) {
    // The text stays: switching back and forth between such items loses nothing typed.
    TargetLabel->setEnabled(false);
    TargetName->setEnabled(false);
    return;
  }
  TargetLabel->setEnabled(true);
  TargetName->setEnabled(true);
  TargetLabel->setText(item < kFirstPatio ? QStringLiteral("ﾌｫｰﾗﾑ略名(&F)") : QStringLiteral("PATIOのID(&F)"));
  TargetLabel->adjustSize();
  TargetName->clear();
}

void TImportDialog::SearchButtonClick() {
  const int item = DefaultForum->currentIndex();
  // A name with no Shift-JIS form cannot name anything in a log: it counts as no name.
  std::string typed;
  if (!quillet::TryFromUtf8(TargetName->text().toStdString(), typed)) typed.clear();
  const std::string name(Trim(JNormalize(typed)));
  const bool patio = item >= kFirstPatio;
  const bool forum = item >= kFirstForum && item < kFirstPatio;
  if ((patio && !IsNiftyID(name)) || (forum && name.empty())) {
    dialogs_.Message(quillet::ApplicationTitle(), QStringLiteral("フォーラム名／PATIO用のIDが正しくありません。"),
                     quillet::Dialogs::Icon::None);
    return;
  }
  defaultForumData_.Category = CategoryOf(item);
  if (item >= kFirstBand && item <= kLastBand)
    defaultForumData_.Name = std::string("Band ") + static_cast<char>('A' + item - kFirstBand);  // as the scanner names it
  else
    defaultForumData_.Name = typed;  // as typed: not normalised, not trimmed
  accept();
}

void TImportDialog::CancelButtonClick() { reject(); }
