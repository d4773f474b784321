#include "AdvancePage.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTextEdit>
#include <QVBoxLayout>
#include <string>
#include <utility>

#include "TabOrder.h"

namespace almanex {

namespace {

QString ToQString(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string ToUtf8(const QString& text) { return text.toUtf8().toStdString(); }

// Sizes at 96 dots per inch, kept as minimums so that larger fonts still fit.
constexpr int kGroupWidth = 473;
constexpr int kGroupHeight = 305;
constexpr int kCheckBoxColumnWidth = 120;  // check boxes stand 120 pixels apart
constexpr int kDemoWidth = 75;
constexpr int kDemoHeight = 25;
constexpr int kDemoBoxHeight = 139;

}  // namespace

AdvancePage::AdvancePage(const Clock& clock, const FormatSettings& settings, QWidget* parent)
    : QWidget(parent), clock_(clock), settings_(settings) {
  setObjectName(QStringLiteral("TabSheetAdvance"));
  group_ = new QGroupBox(QStringLiteral(" Remind of "), this);
  group_->setObjectName(QStringLiteral("GroupBoxReminderWhat"));
  group_->setMinimumSize(kGroupWidth, kGroupHeight);

  static constexpr const char* kNames[7] = {
      "CheckBoxRemindOfYears", "CheckBoxRemindOfMonths",  "CheckBoxRemindOfWeeks",  "CheckBoxRemindOfDays",
      "CheckBoxRemindOfHours", "CheckBoxRemindOfMinutes", "CheckBoxRemindOfSeconds"};
  static constexpr const char* kCaptions[7] = {"Years", "Months", "Weeks", "Days", "Hours", "Minutes", "Seconds"};
  for (std::size_t unit = 0; unit < remindOf_.size(); ++unit) {
    remindOf_[unit] = new QCheckBox(QString::fromLatin1(kCaptions[unit]), group_);
    remindOf_[unit]->setObjectName(QString::fromLatin1(kNames[unit]));
    remindOf_[unit]->setChecked(true);
  }

  demo_ = new QPushButton(QStringLiteral("Demo"), group_);
  demo_->setObjectName(QStringLiteral("BitBtnDemo"));
  demo_->setToolTip(QStringLiteral("Generate a demo string."));
  demo_->setMinimumSize(kDemoWidth, kDemoHeight);
  demo_->setAutoDefault(false);
  connect(demo_, &QPushButton::clicked, this, &AdvancePage::BitBtnDemoClick);

  firstSentence_ = new QLineEdit(group_);
  firstSentence_->setObjectName(QStringLiteral("EditFirstSentence"));
  firstSentence_->setToolTip(QStringLiteral("Enter the first sentence before the reminder string."));
  lastSentence_ = new QLineEdit(group_);
  lastSentence_->setObjectName(QStringLiteral("EditLastSentence"));
  lastSentence_->setToolTip(QStringLiteral("Enter the last sentence after the reminder string."));

  demoText_ = new QTextEdit(group_);
  demoText_->setObjectName(QStringLiteral("RichEditDemo"));
  demoText_->setAcceptRichText(false);
  demoText_->setTabChangesFocus(true);
  demoText_->setMinimumHeight(kDemoBoxHeight);

  // Four columns of check boxes; "Demo" sits at the right of the second row. The edits and the demo box
  // span the group, 8 pixels from its left and 16 from its right edge.
  auto* layout = new QGridLayout(group_);
  layout->setContentsMargins(8, 6, 16, 6);
  layout->setVerticalSpacing(4);
  for (int column = 0; column < 4; ++column) {
    layout->setColumnMinimumWidth(column, kCheckBoxColumnWidth);
    layout->setColumnStretch(column, 1);
  }
  for (int unit = 0; unit < 7; ++unit) {
    layout->addWidget(remindOf_[static_cast<std::size_t>(unit)], unit / 4, unit % 4);
  }
  layout->addWidget(demo_, 1, 3, Qt::AlignRight);
  layout->addWidget(new QLabel(QStringLiteral("The First Sentence Before The Reminder String"), group_), 2, 0, 1, 4);
  layout->addWidget(firstSentence_, 3, 0, 1, 4);
  layout->addWidget(new QLabel(QStringLiteral("The Last Sentence After The Reminder String"), group_), 4, 0, 1, 4);
  layout->addWidget(lastSentence_, 5, 0, 1, 4);
  layout->addWidget(demoText_, 6, 0, 1, 4);
  layout->setRowStretch(6, 1);

  auto* pageLayout = new QVBoxLayout(this);
  pageLayout->setContentsMargins(16, 8, 16, 8);
  pageLayout->addWidget(group_);

  SetTabOrder({remindOf_[0], remindOf_[1], remindOf_[2], remindOf_[3], remindOf_[4], remindOf_[5], remindOf_[6], demo_,
               firstSentence_, lastSentence_, demoText_});
}

void AdvancePage::Load(const EventRecord& record) {
  for (std::size_t unit = 0; unit < remindOf_.size(); ++unit) remindOf_[unit]->setChecked(record.remindOf[unit]);
  firstSentence_->setText(ToQString(record.firstSentence));
  lastSentence_->setText(ToQString(record.lastSentence));
}

void AdvancePage::Save(EventRecord& record) const {
  for (std::size_t unit = 0; unit < remindOf_.size(); ++unit) record.remindOf[unit] = remindOf_[unit]->isChecked();
  record.firstSentence = ToUtf8(firstSentence_->text());
  record.lastSentence = ToUtf8(lastSentence_->text());
}

void AdvancePage::SetEventSource(std::function<TNextReminder()> source) { eventSource_ = std::move(source); }

TReminderWay AdvancePage::ReminderWay() const {
  TReminderWay way;
  way.RemindOfYears = remindOf_[0]->isChecked();
  way.RemindOfMonths = remindOf_[1]->isChecked();
  way.RemindOfWeeks = remindOf_[2]->isChecked();
  way.RemindOfDays = remindOf_[3]->isChecked();
  way.RemindOfHours = remindOf_[4]->isChecked();
  way.RemindOfMinutes = remindOf_[5]->isChecked();
  way.RemindOfSeconds = remindOf_[6]->isChecked();
  // As typed: the sentence builder trims them.
  way.LastSentence = ToUtf8(lastSentence_->text());
  way.FirstSentence = ToUtf8(firstSentence_->text());
  return way;
}

void AdvancePage::BitBtnDemoClick() {
  TNextReminder reminder;
  if (eventSource_) {
    reminder = eventSource_();
  } else {
    reminder.dtEventDateTime = DateOf(clock_.Now());
  }
  const TReminderWay way = ReminderWay();
  demoText_->clear();
  // Plain text: a sentence the user typed is never read as markup.
  demoText_->setPlainText(ToQString(BuildSpanSentence(reminder, way, clock_, settings_)));
}

}  // namespace almanex
