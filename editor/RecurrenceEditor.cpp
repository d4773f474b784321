#include "RecurrenceEditor.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QDateEdit>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPalette>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <chrono>

#include "QtDateFormat.h"
#include "TabOrder.h"
#include "datetime/DateTimeUnit.h"

namespace almanex {

namespace {

// The earliest and latest day a Qt date edit accepts; a stored date outside is shown at the bound.
const QDate kFirstPickerDate(100, 1, 1);
const QDate kLastPickerDate(9999, 12, 31);

QDate ToQDate(DateTime value) {
  const std::chrono::year_month_day date = DecodeDate(value);
  return QDate(static_cast<int>(date.year()), static_cast<int>(static_cast<unsigned>(date.month())),
               static_cast<int>(static_cast<unsigned>(date.day())));
}

DateTime FromQDate(const QDate& date) {
  return EncodeDate(std::chrono::year_month_day{std::chrono::year{date.year()},
                                                std::chrono::month{static_cast<unsigned>(date.month())},
                                                std::chrono::day{static_cast<unsigned>(date.day())}});
}

// The bit of a weekday number (1 Sunday .. 7 Saturday) in a weekday set.
int WeekdayBit(int weekday) { return 1 << (weekday - 1); }

QStringList InstanceItems() {
  return {QStringLiteral("first"), QStringLiteral("second"), QStringLiteral("third"), QStringLiteral("fourth"),
          QStringLiteral("last")};
}

// "Auguest" is the product's own spelling; it is what users of the stored files have always seen.
QStringList MonthItems() {
  return {QStringLiteral("January"), QStringLiteral("February"), QStringLiteral("March"),
          QStringLiteral("April"),   QStringLiteral("May"),      QStringLiteral("June"),
          QStringLiteral("July"),    QStringLiteral("Auguest"),  QStringLiteral("September"),
          QStringLiteral("October"), QStringLiteral("November"), QStringLiteral("December")};
}

// By position, matching kWeekdaySetOfPosition; three names end in a blank, as they always have.
QStringList WeekdaySetItems() {
  return {QStringLiteral("Day"),        QStringLiteral("Weekday"),   QStringLiteral("Weekend day"),
          QStringLiteral("Sunday"),     QStringLiteral("Monday"),    QStringLiteral("Tuesday"),
          QStringLiteral("Wednesday "), QStringLiteral("Thursday "), QStringLiteral("Friday "),
          QStringLiteral("Saturday")};
}

QRadioButton* NewRadio(QWidget* parent, const char* name, const QString& caption) {
  auto* radio = new QRadioButton(caption, parent);
  radio->setObjectName(QString::fromLatin1(name));
  return radio;
}

QButtonGroup* NewExclusiveGroup(QObject* owner, std::initializer_list<QAbstractButton*> buttons) {
  auto* group = new QButtonGroup(owner);
  group->setExclusive(true);
  for (QAbstractButton* button : buttons) group->addButton(button);
  return group;
}

// A list position from a stored number; a number the list does not hold leaves no item selected.
void SetListPosition(QComboBox* list, int position) {
  list->setCurrentIndex(position >= 0 && position < list->count() ? position : -1);
}

}  // namespace

int WeekdaySetToPosition(int weekdaySet, DateTime startDate) {
  for (int position = static_cast<int>(kWeekdaySetOfPosition.size()) - 1; position >= 0; --position) {
    if (kWeekdaySetOfPosition[static_cast<std::size_t>(position)] == weekdaySet) return position;
  }
  return DayOfWeek(startDate) + 2;  // [3, 9]: the single-day entries, Sunday first
}

int PositionToWeekdaySet(int position) {
  if (position < 0 || position >= static_cast<int>(kWeekdaySetOfPosition.size())) return 0;
  return kWeekdaySetOfPosition[static_cast<std::size_t>(position)];
}

RecurrenceEditor::RecurrenceEditor(const Clock& clock, const FormatSettings& settings, QWidget* parent)
    : QWidget(parent), clock_(clock), settings_(settings) {
  BuildFrequencyGroup();
  BuildRangeGroup();
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(frequencyGroup_);
  layout->addWidget(rangeGroup_);

  const DateTime now = clock_.Now();
  const QDate today = ToQDate(now);
  startDate_->setDate(today);
  endDatePicker_->setDate(today);
  onceDate_->setDate(today);
  PrepareForToday(now);
}

QDateEdit* RecurrenceEditor::NewDatePicker(QWidget* parent, const char* name, const char* hint) {
  auto* picker = new QDateEdit(parent);
  picker->setObjectName(QString::fromLatin1(name));
  picker->setToolTip(QString::fromLatin1(hint));
  picker->setCalendarPopup(true);
  picker->setDateRange(kFirstPickerDate, kLastPickerDate);
  picker->setDisplayFormat(ToQtDateFormat(ShortDayDateFormat(settings_), settings_));
  return picker;
}

QSpinBox* RecurrenceEditor::NewCountBox(QWidget* parent, const char* name, int minimum, int maximum) {
  auto* box = new QSpinBox(parent);
  box->setObjectName(QString::fromLatin1(name));
  box->setRange(minimum, maximum);
  box->setValue(1);
  box->installEventFilter(this);
  return box;
}

QComboBox* RecurrenceEditor::NewList(QWidget* parent, const char* name, const QStringList& items) {
  auto* list = new QComboBox(parent);
  list->setObjectName(QString::fromLatin1(name));
  list->setEditable(false);
  list->setMaxVisibleItems(12);
  list->addItems(items);
  list->setCurrentIndex(0);
  connect(list, &QComboBox::activated, this, [this, list] { ListChange(list); });
  return list;
}

void RecurrenceEditor::BuildFrequencyGroup() {
  frequencyGroup_ = new QGroupBox(QStringLiteral(" Frequency "));
  frequencyGroup_->setObjectName(QStringLiteral("GroupBoxRecurrencePattern"));
  QGroupBox* group = frequencyGroup_;

  once_ = NewRadio(group, "RadioButtonOnce", QStringLiteral("&Once"));
  daily_ = NewRadio(group, "RadioButtonDaily", QStringLiteral("&Daily"));
  weekly_ = NewRadio(group, "RadioButtonWeekly", QStringLiteral("&Weekly"));
  monthly_ = NewRadio(group, "RadioButtonMonthly", QStringLiteral("&Monthly"));
  yearly_ = NewRadio(group, "RadioButtonYearly", QStringLiteral("&Yearly"));
  NewExclusiveGroup(group, {once_, daily_, weekly_, monthly_, yearly_});
  daily_->setChecked(true);

  notebook_ = new QStackedWidget(group);
  notebook_->setObjectName(QStringLiteral("NotebookPattern"));

  // Daily
  auto* dailyPage = new QWidget(notebook_);
  dailyPage->setObjectName(QStringLiteral("Daily"));
  dailyEveryDays_ = NewRadio(dailyPage, "RadioButtonDailyEveryDays", QStringLiteral("E&very"));
  dailyDay_ = NewCountBox(dailyPage, "SpinEditDailyDay", 1, 366);
  dailyEveryWeekday_ = NewRadio(dailyPage, "RadioButtonDailyEveryWeekday", QStringLiteral("&Every Weekday"));
  NewExclusiveGroup(dailyPage, {dailyEveryDays_, dailyEveryWeekday_});
  dailyEveryDays_->setChecked(true);
  auto* dailyLayout = new QGridLayout(dailyPage);
  dailyLayout->addWidget(dailyEveryDays_, 0, 0);
  dailyLayout->addWidget(dailyDay_, 0, 1);
  dailyLayout->addWidget(new QLabel(QStringLiteral("day(s)"), dailyPage), 0, 2);
  dailyLayout->addWidget(dailyEveryWeekday_, 1, 0, 1, 3);
  dailyLayout->setColumnStretch(3, 1);
  dailyLayout->setRowStretch(2, 1);
  notebook_->insertWidget(kPageDaily, dailyPage);

  // Weekly
  auto* weeklyPage = new QWidget(notebook_);
  weeklyPage->setObjectName(QStringLiteral("Weekly"));
  weeklyTask_ = NewRadio(weeklyPage, "RadioButtonWeeklyTask", QStringLiteral("Re&cur every"));
  weeklyInterval_ = NewCountBox(weeklyPage, "SpinEditWeeklyTaskInterval", 1, 55);
  NewExclusiveGroup(weeklyPage, {weeklyTask_});
  weeklyTask_->setChecked(true);
  static constexpr const char* kDayBoxNames[7] = {
      "CheckBoxWeeklySunday",   "CheckBoxWeeklyMonday", "CheckBoxWeeklyTuesday", "CheckBoxWeeklyWednesday",
      "CheckBoxWeeklyThursday", "CheckBoxWeeklyFriday", "CheckBoxWeeklySaturday"};
  static constexpr const char* kDayCaptions[7] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                                  "Thursday", "Friday", "Saturday"};
  for (std::size_t day = 0; day < weeklyDays_.size(); ++day) {
    weeklyDays_[day] = new QCheckBox(QString::fromLatin1(kDayCaptions[day]), weeklyPage);
    weeklyDays_[day]->setObjectName(QString::fromLatin1(kDayBoxNames[day]));
  }
  for (QCheckBox* weekend : {weeklyDays_[0], weeklyDays_[6]}) {
    QPalette palette = weekend->palette();
    palette.setColor(QPalette::WindowText, Qt::red);
    palette.setColor(QPalette::ButtonText, Qt::red);
    weekend->setPalette(palette);
  }
  auto* weeklyLayout = new QGridLayout(weeklyPage);
  auto* weeklyHead = new QHBoxLayout;
  weeklyHead->addWidget(weeklyTask_);
  weeklyHead->addWidget(weeklyInterval_);
  weeklyHead->addWidget(new QLabel(QStringLiteral("week(s) on:"), weeklyPage));
  weeklyHead->addStretch(1);
  weeklyLayout->addLayout(weeklyHead, 0, 0, 1, 4);
  for (int day = 0; day < 7; ++day) {
    weeklyLayout->addWidget(weeklyDays_[static_cast<std::size_t>(day)], 1 + day / 4, day % 4);
  }
  weeklyLayout->setRowStretch(3, 1);
  notebook_->insertWidget(kPageWeekly, weeklyPage);

  // Monthly
  auto* monthlyPage = new QWidget(notebook_);
  monthlyPage->setObjectName(QStringLiteral("Monthly"));
  monthlyDay_ = NewRadio(monthlyPage, "RadioButtonMonthlyDay", QStringLiteral("D&ay"));
  monthlyDayNum1_ = NewCountBox(monthlyPage, "SpinEditMonthlyDayNum1", 1, 31);
  monthlyMonth1_ = NewCountBox(monthlyPage, "SpinEditMonthlyMonth1", 1, 12);
  monthlyNth_ = NewRadio(monthlyPage, "RadioButtonMonthlyNth", QStringLiteral("Th&e"));
  monthlyInstance_ = NewList(monthlyPage, "ComboBoxMonthlyInstance", InstanceItems());
  monthlyWeekMask_ = NewList(monthlyPage, "ComboBoxMonthlyWeekMask", WeekdaySetItems());
  monthlyMonth2_ = NewCountBox(monthlyPage, "SpinEditMonthlyMonth2", 1, 12);
  NewExclusiveGroup(monthlyPage, {monthlyDay_, monthlyNth_});
  monthlyDay_->setChecked(true);
  auto* monthlyLayout = new QVBoxLayout(monthlyPage);
  auto* monthlyRow1 = new QHBoxLayout;
  monthlyRow1->addWidget(monthlyDay_);
  monthlyRow1->addWidget(monthlyDayNum1_);
  monthlyRow1->addWidget(new QLabel(QStringLiteral("of every"), monthlyPage));
  monthlyRow1->addWidget(monthlyMonth1_);
  monthlyRow1->addWidget(new QLabel(QStringLiteral("month(s)"), monthlyPage));
  monthlyRow1->addStretch(1);
  auto* monthlyRow2 = new QHBoxLayout;
  monthlyRow2->addWidget(monthlyNth_);
  monthlyRow2->addWidget(monthlyInstance_);
  monthlyRow2->addWidget(monthlyWeekMask_);
  monthlyRow2->addWidget(new QLabel(QStringLiteral("of every"), monthlyPage));
  monthlyRow2->addWidget(monthlyMonth2_);
  monthlyRow2->addWidget(new QLabel(QStringLiteral("month(s)"), monthlyPage));
  monthlyRow2->addStretch(1);
  monthlyLayout->addLayout(monthlyRow1);
  monthlyLayout->addLayout(monthlyRow2);
  monthlyLayout->addStretch(1);
  notebook_->insertWidget(kPageMonthly, monthlyPage);

  // Yearly
  auto* yearlyPage = new QWidget(notebook_);
  yearlyPage->setObjectName(QStringLiteral("Yearly"));
  yearlyEvery_ = NewRadio(yearlyPage, "RadioButtonYearlyEvery", QStringLiteral("Every"));
  yearlyMonthNum1_ = NewList(yearlyPage, "ComboBoxYearlyMonthNum1", MonthItems());
  yearlyDayNum_ = NewCountBox(yearlyPage, "SpinEditYearlyDayNum", 1, 31);
  yearlyNth_ = NewRadio(yearlyPage, "RadioButtonYearlyNth", QStringLiteral("The"));
  yearlyWeekNum_ = NewList(yearlyPage, "ComboBoxYearlyWeekNum", InstanceItems());
  yearlyWeekMask_ = NewList(yearlyPage, "ComboBoxYearlyWeekMask", WeekdaySetItems());
  yearlyMonthNum2_ = NewList(yearlyPage, "ComboBoxYearlyMonthNum2", MonthItems());
  NewExclusiveGroup(yearlyPage, {yearlyEvery_, yearlyNth_});
  yearlyEvery_->setChecked(true);
  auto* yearlyLayout = new QVBoxLayout(yearlyPage);
  auto* yearlyRow1 = new QHBoxLayout;
  yearlyRow1->addWidget(yearlyEvery_);
  yearlyRow1->addWidget(yearlyMonthNum1_);
  yearlyRow1->addWidget(yearlyDayNum_);
  yearlyRow1->addStretch(1);
  auto* yearlyRow2 = new QHBoxLayout;
  yearlyRow2->addWidget(yearlyNth_);
  yearlyRow2->addWidget(yearlyWeekNum_);
  yearlyRow2->addWidget(yearlyWeekMask_);
  yearlyRow2->addWidget(new QLabel(QStringLiteral("of"), yearlyPage));
  yearlyRow2->addWidget(yearlyMonthNum2_);
  yearlyRow2->addStretch(1);
  yearlyLayout->addLayout(yearlyRow1);
  yearlyLayout->addLayout(yearlyRow2);
  yearlyLayout->addStretch(1);
  notebook_->insertWidget(kPageYearly, yearlyPage);

  // Once
  auto* oncePage = new QWidget(notebook_);
  oncePage->setObjectName(QStringLiteral("Once"));
  onceDate_ = NewDatePicker(oncePage, "DateTimePickerOnce", "When this reminder start to work.");
  getToday_ = new QPushButton(QStringLiteral("Today"), oncePage);
  getToday_->setObjectName(QStringLiteral("ButtonGetToday"));
  getToday_->setToolTip(QStringLiteral("Get the date value of Now"));
  getToday_->setAutoDefault(false);
  connect(getToday_, &QPushButton::clicked, this, &RecurrenceEditor::ButtonGetTodayClick);
  auto* onceLayout = new QHBoxLayout(oncePage);
  onceLayout->addWidget(onceDate_);
  onceLayout->addWidget(getToday_);
  onceLayout->addStretch(1);
  onceLayout->setAlignment(Qt::AlignTop);
  notebook_->insertWidget(kPageOnce, oncePage);

  auto* radios = new QVBoxLayout;
  for (QRadioButton* radio : {once_, daily_, weekly_, monthly_, yearly_}) radios->addWidget(radio);
  radios->addStretch(1);
  auto* layout = new QHBoxLayout(group);
  layout->addLayout(radios);
  layout->addWidget(notebook_, 1);
  SetPage(kPageDaily);

  for (QRadioButton* radio : {once_, daily_, weekly_, monthly_, yearly_, dailyEveryDays_, dailyEveryWeekday_,
                              weeklyTask_, monthlyDay_, monthlyNth_, yearlyEvery_, yearlyNth_}) {
    WireClickRule(radio);
  }

  // Tab walks the frequencies, then the controls of the shown page, left to right and top to bottom.
  SetTabOrder({once_,          daily_,           weekly_,          monthly_,
               yearly_,        dailyEveryDays_,  dailyDay_,        dailyEveryWeekday_,
               weeklyTask_,    weeklyInterval_,  weeklyDays_[0],   weeklyDays_[1],
               weeklyDays_[2], weeklyDays_[3],   weeklyDays_[4],   weeklyDays_[5],
               weeklyDays_[6], monthlyDay_,      monthlyDayNum1_,  monthlyMonth1_,
               monthlyNth_,    monthlyInstance_, monthlyWeekMask_, monthlyMonth2_,
               yearlyEvery_,   yearlyMonthNum1_, yearlyDayNum_,    yearlyNth_,
               yearlyWeekNum_, yearlyWeekMask_,  yearlyMonthNum2_, onceDate_,
               getToday_});
}

void RecurrenceEditor::BuildRangeGroup() {
  rangeGroup_ = new QGroupBox(QStringLiteral(" Range of the recurrence "));
  rangeGroup_->setObjectName(QStringLiteral("GroupBoxRange"));
  QGroupBox* group = rangeGroup_;

  auto* startLabel = new QLabel(QStringLiteral("&Start"), group);
  startDate_ = NewDatePicker(group, "DateTimePickerPatternStartDate", "When this reminder start to work.");
  startLabel->setBuddy(startDate_);
  noEndDate_ = NewRadio(group, "RadioButtonNoEndDate", QStringLiteral("N&o end date"));
  noEndDate_->setToolTip(QStringLiteral("After the reminder is created, it will work forever."));
  endDate_ = NewRadio(group, "RadioButtonEndDate", QStringLiteral("End &by"));
  endDate_->setToolTip(QStringLiteral("Specify the detailed date when the action stops working."));
  endDatePicker_ = NewDatePicker(group, "DateTimePickerPatternEndDate", "When this reminder stop working.");
  NewExclusiveGroup(group, {noEndDate_, endDate_});
  noEndDate_->setChecked(true);
  for (QRadioButton* radio : {noEndDate_, endDate_}) WireClickRule(radio);

  auto* layout = new QGridLayout(group);
  layout->addWidget(startLabel, 0, 0);
  layout->addWidget(startDate_, 0, 1);
  layout->addWidget(noEndDate_, 0, 2, 1, 2);
  layout->addWidget(endDate_, 1, 2);
  layout->addWidget(endDatePicker_, 1, 3);
  layout->setColumnStretch(4, 1);
  SetTabOrder({startDate_, noEndDate_, endDate_, endDatePicker_});
}

void RecurrenceEditor::SetPage(Page page) { notebook_->setCurrentIndex(page); }

void RecurrenceEditor::PrepareForToday(DateTime now) {
  const int weekday = DayOfWeek(now);  // [1, 7]
  for (std::size_t day = 0; day < weeklyDays_.size(); ++day) {
    weeklyDays_[day]->setChecked(static_cast<int>(day) + 1 == weekday);
  }
  const QDate today = ToQDate(now);
  monthlyDayNum1_->setValue(today.day());
  yearlyDayNum_->setValue(today.day());
  yearlyMonthNum1_->setCurrentIndex(today.month() - 1);
}

void RecurrenceEditor::Load(const EventRecord& record) {
  startDate_->setDate(ToQDate(record.startDate));
  endDatePicker_->setDate(ToQDate(record.endDate));
  if (record.endType == 0) {
    noEndDate_->setChecked(true);
  } else if (record.endType == 2) {
    endDate_->setChecked(true);
  }

  switch (record.recurrenceType) {
    case 0:
      SetPage(kPageDaily);
      daily_->setChecked(true);
      dailyDay_->setValue(record.interval);
      break;
    case 1:
      SetPage(kPageWeekly);
      weekly_->setChecked(true);
      for (std::size_t day = 0; day < weeklyDays_.size(); ++day) {
        weeklyDays_[day]->setChecked((record.dayOfWeekMask & WeekdayBit(static_cast<int>(day) + 1)) != 0);
      }
      weeklyInterval_->setValue(record.interval);
      // "Every weekday" is stored as a weekly pattern of Monday to Friday in every week.
      if (record.dayOfWeekMask == 62 && record.interval == 0) {
        SetPage(kPageDaily);
        daily_->setChecked(true);
        dailyEveryWeekday_->setChecked(true);
        dailyDay_->setValue(1);
      }
      break;
    case 2:
      SetPage(kPageMonthly);
      monthly_->setChecked(true);
      monthlyDay_->setChecked(true);
      monthlyDayNum1_->setValue(record.dayOfMonth);
      monthlyMonth1_->setValue(record.interval);
      break;
    case 3:
      SetPage(kPageMonthly);
      monthly_->setChecked(true);
      monthlyNth_->setChecked(true);
      SetListPosition(monthlyInstance_, record.instance);
      monthlyWeekMask_->setCurrentIndex(WeekdaySetToPosition(record.dayOfWeekMask, record.startDate));
      monthlyMonth2_->setValue(record.interval);
      break;
    case 5:
      SetPage(kPageYearly);
      yearly_->setChecked(true);
      yearlyEvery_->setChecked(true);
      SetListPosition(yearlyMonthNum1_, record.monthOfYear);
      yearlyDayNum_->setValue(record.dayOfMonth);
      break;
    case 6:
      SetPage(kPageYearly);
      yearly_->setChecked(true);
      yearlyNth_->setChecked(true);
      SetListPosition(yearlyWeekNum_, record.instance);
      yearlyWeekMask_->setCurrentIndex(WeekdaySetToPosition(record.dayOfWeekMask, record.startDate));
      SetListPosition(yearlyMonthNum2_, record.monthOfYear);
      break;
    case 7:
      SetPage(kPageOnce);
      once_->setChecked(true);
      onceDate_->setDate(ToQDate(record.onceDate));
      break;
    default:  // 4 is not used and other values are unknown: the frequency controls stay as they are
      break;
  }
}

void RecurrenceEditor::Save(EventRecord& record, DateTime now) const {
  record.startDate = FromQDate(startDate_->date());
  record.endDate = FromQDate(endDatePicker_->date());
  if (noEndDate_->isChecked()) {
    record.endType = 0;
  } else if (endDate_->isChecked()) {
    record.endType = 2;
  }

  if (once_->isChecked()) {
    record.recurrenceType = 7;
    record.onceDate = FromQDate(onceDate_->date());
  } else if (daily_->isChecked()) {
    if (dailyEveryDays_->isChecked()) {
      record.recurrenceType = 0;
      record.interval = dailyDay_->value();
      record.dayOfWeekMask = WeekdayBit(DayOfWeek(now));
    } else if (dailyEveryWeekday_->isChecked()) {
      record.recurrenceType = 1;
      record.interval = 0;
      record.dayOfWeekMask = 62;
    }
  } else if (weekly_->isChecked()) {
    record.recurrenceType = 1;
    record.interval = weeklyInterval_->value();
    int mask = 0;
    for (std::size_t day = 0; day < weeklyDays_.size(); ++day) {
      if (weeklyDays_[day]->isChecked()) mask |= WeekdayBit(static_cast<int>(day) + 1);
    }
    record.dayOfWeekMask = mask;
  } else if (monthly_->isChecked()) {
    if (monthlyDay_->isChecked()) {
      record.recurrenceType = 2;
      record.interval = monthlyMonth1_->value();
      record.dayOfMonth = monthlyDayNum1_->value();
    } else if (monthlyNth_->isChecked()) {
      record.recurrenceType = 3;
      record.interval = monthlyMonth2_->value();
      record.instance = monthlyInstance_->currentIndex();
      record.dayOfWeekMask = PositionToWeekdaySet(monthlyWeekMask_->currentIndex());
    }
  } else if (yearly_->isChecked()) {
    if (yearlyEvery_->isChecked()) {
      record.recurrenceType = 5;
      record.monthOfYear = yearlyMonthNum1_->currentIndex();
      record.dayOfMonth = yearlyDayNum_->value();
    } else if (yearlyNth_->isChecked()) {
      record.recurrenceType = 6;
      record.instance = yearlyWeekNum_->currentIndex();
      record.dayOfWeekMask = PositionToWeekdaySet(yearlyWeekMask_->currentIndex());
      record.monthOfYear = yearlyMonthNum2_->currentIndex();
    }
  }
}

void RecurrenceEditor::SetGroupsVisible(bool visible) {
  frequencyGroup_->setVisible(visible);
  rangeGroup_->setVisible(visible);
}

void RecurrenceEditor::ButtonGetTodayClick() { onceDate_->setDate(ToQDate(clock_.Now())); }

void RecurrenceEditor::WireClickRule(QAbstractButton* radio) {
  connect(radio, &QAbstractButton::clicked, this, [this, radio] { RadioButtonClick(radio); });
}

bool RecurrenceEditor::ClickedByUser(const QAbstractButton* button) {
  if (button->hasFocus()) return true;
  // The arrow keys click the button they move to just before they give it the focus, while the focus
  // is still on the button they leave, a member of the same group.
  const auto* focused = qobject_cast<const QAbstractButton*>(QApplication::focusWidget());
  return focused != nullptr && button->group() != nullptr && focused->group() == button->group();
}

void RecurrenceEditor::RadioButtonClick(QAbstractButton* button) {
  if (!ClickedByUser(button)) return;
  rangeGroup_->show();
  if (button == daily_) {
    SetPage(kPageDaily);
    dailyDay_->setValue(1);
  } else if (button == dailyEveryWeekday_) {
    dailyDay_->setValue(1);
  } else if (button == weekly_) {
    SetPage(kPageWeekly);
  } else if (button == monthly_) {
    SetPage(kPageMonthly);
  } else if (button == yearly_) {
    SetPage(kPageYearly);
  } else if (button == once_) {
    SetPage(kPageOnce);
    rangeGroup_->hide();
  }
}

void RecurrenceEditor::CountBoxEnter(QSpinBox* box) {
  if (box == dailyDay_) {
    SetPage(kPageDaily);
    daily_->setChecked(true);
    dailyEveryDays_->setChecked(true);
  } else if (box == weeklyInterval_) {
    weeklyTask_->setChecked(true);
  } else if (box == monthlyDayNum1_ || box == monthlyMonth1_) {
    monthlyDay_->setChecked(true);
  } else if (box == monthlyMonth2_) {
    monthlyNth_->setChecked(true);
  } else if (box == yearlyDayNum_) {
    yearlyEvery_->setChecked(true);
  }
}

void RecurrenceEditor::ListChange(QComboBox* list) {
  if (list == monthlyInstance_ || list == monthlyWeekMask_) {
    monthlyNth_->setChecked(true);
  } else if (list == yearlyMonthNum1_) {
    yearlyEvery_->setChecked(true);
  } else {  // the yearly week number, weekday set and second month list
    yearlyNth_->setChecked(true);
  }
}

bool RecurrenceEditor::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusIn) {
    if (auto* box = qobject_cast<QSpinBox*>(watched)) CountBoxEnter(box);
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace almanex
