#include "EventForm.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QTextCursor>
#include <QTextEdit>
#include <QTimeEdit>
#include <QVBoxLayout>

#include "AdvancePage.h"
#include "ColorBox.h"
#include "PickerFormat.h"
#include "QtDateFormat.h"
#include "RecurrenceEditor.h"
#include "datetime/DateTimeUnit.h"
#include "datetime/IntervalReport.h"
#include "grid/WindowsColor.h"
#include "platform/CommRegistry.h"
#include "platform/CommUnit.h"
#include "store/ConfigFile.h"

namespace almanex {
namespace {

constexpr const char* kNowHint = "Get the date and time value of Now";
constexpr const char* kInfoText =
    "After check Remind Me, you can specify when to remind you of the event's details. The reminder information "
    "will popup from the windows task bar when the time is due.";
/// The remind time of a new event.
constexpr unsigned kNewRemindHour = 11, kNewRemindMinute = 26, kNewRemindSecond = 27;
/// The message kind of the "Information" box that reports a file that cannot be created.
constexpr int kInformationMessage = 16;

QString FromUtf8(const std::string& text) { return QString::fromStdString(text); }

/// Sets the hint both as the tool tip and as the status bar text.
void SetHint(QWidget* widget, const char* hint) {
  widget->setToolTip(QString::fromLatin1(hint));
  widget->setStatusTip(QString::fromLatin1(hint));
}

template <typename Widget>
Widget* Named(Widget* widget, const char* name) {
  widget->setObjectName(QString::fromLatin1(name));
  return widget;
}

/// The lines of a stored list, each ended by CR LF (a lone LF is taken too); the empty text after the
/// last line break is no item.
QStringList TypeLines(const std::string& stored) {
  QStringList lines = FromUtf8(stored).split(QLatin1Char('\n'));
  for (QString& line : lines) {
    if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
  }
  if (!lines.isEmpty() && lines.back().isEmpty()) lines.removeLast();
  return lines;
}

QColor ToQColor(const ReportColour& colour) { return QColor(colour.r, colour.g, colour.b); }

}  // namespace

TFrmEvent::TFrmEvent(Services services, QWidget* parent) : QDialog(parent), services_(std::move(services)) {
  setObjectName(QStringLiteral("FrmEvent"));
  setWindowTitle(QStringLiteral("Event"));
  setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  setWindowFlag(Qt::WindowMaximizeButtonHint, false);
  setWindowFlag(Qt::WindowMinimizeButtonHint, false);

  PageControlEvent = Named(new QTabWidget(this), "PageControlEvent");
  auto* pageEvent = Named(new QWidget(PageControlEvent), "TabSheetEvent");
  auto* pageAdvance = Named(new QWidget(PageControlEvent), "TabSheetAdvance");
  auto* pageDetails = Named(new QWidget(PageControlEvent), "TabSheetDetails");
  PageControlEvent->addTab(pageEvent, QStringLiteral("Event"));
  PageControlEvent->addTab(pageAdvance, QStringLiteral("Advance"));
  PageControlEvent->addTab(pageDetails, QStringLiteral("Details"));

  BuildEventPage(pageEvent);

  advance_ = new AdvancePage(services_.clock, services_.settings, pageAdvance);
  advance_->SetEventSource([this] {
    TNextReminder event;
    event.dtEventDateTime = GetEventDateTime();
    event.strTitle = EditTitle->text().toStdString();
    event.strTypeDesc = ComboBoxType->currentText().toStdString();
    return event;
  });
  auto* advanceLayout = new QVBoxLayout(pageAdvance);
  advanceLayout->addWidget(advance_);

  Editor = Named(new QTextEdit(pageDetails), "Editor");
  Editor->setReadOnly(true);
  auto* detailsLayout = new QVBoxLayout(pageDetails);
  detailsLayout->addWidget(Editor);

  BitBtnOK = Named(new QPushButton(QStringLiteral("&OK"), this), "BitBtnOK");
  SetHint(BitBtnOK, "Save the settings, and exit.");
  BitBtnOK->setDefault(true);
  BitBtnCancel = Named(new QPushButton(QStringLiteral("&Cancel"), this), "BitBtnCancel");
  SetHint(BitBtnCancel, "Abandon the settings, and exit.");
  BitBtnCancel->setAutoDefault(false);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(BitBtnOK);
  buttons->addWidget(BitBtnCancel);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(PageControlEvent);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);  // a fixed dialog border, growing with the groups
  setMinimumSize(511, 399);

  setTabOrder(ButtonGetNowForReminder, BitBtnOK);
  setTabOrder(BitBtnOK, BitBtnCancel);

  connect(BitBtnOK, &QPushButton::clicked, this, &TFrmEvent::BitBtnOKClick);
  connect(BitBtnCancel, &QPushButton::clicked, this, &TFrmEvent::BitBtnCancelClick);
  connect(ButtonGetNow, &QPushButton::clicked, this, &TFrmEvent::ButtonGetNowClick);
  connect(ButtonGetNowForReminder, &QPushButton::clicked, this, &TFrmEvent::ButtonGetNowForReminderClick);
  connect(ColorBoxColorForeGround, &ColorBox::ColorSelected, this, &TFrmEvent::ColorBoxColorForeGroundSelect);
  connect(ColorBoxColorBackground, &ColorBox::ColorSelected, this, &TFrmEvent::ColorBoxColorBackgroundSelect);
  connect(CheckBoxReminderMe, &QCheckBox::clicked, this, &TFrmEvent::CheckBoxReminderMeClick);
  connect(PageControlEvent, &QTabWidget::currentChanged, this, &TFrmEvent::PageControlEventChange);

  FormCreate();
  // Keyboard preview: the dialog sees the keys of its controls before they do.
  qApp->installEventFilter(this);
}

TFrmEvent::~TFrmEvent() {
  qApp->removeEventFilter(this);
  FormDestroy();
}

void TFrmEvent::BuildEventPage(QWidget* page) {
  auto* grid = new QGridLayout(page);

  EditTitle = Named(new QLineEdit(page), "EditTitle");
  SetHint(EditTitle, "Enter some summary information about this event");
  auto* labelTitle = Named(new QLabel(QStringLiteral("Title"), page), "LabelTitle");
  labelTitle->setBuddy(EditTitle);

  // A date or time picker "with a check box": the box says whether the event has a date (a time); an
  // unchecked picker keeps its value, greyed.
  dateChecked_ = Named(new QCheckBox(page), "CheckBoxDate");
  SetHint(dateChecked_, "The date of the event");
  DateTimePickerDate = Named(new QDateEdit(page), "DateTimePickerDate");
  SetHint(DateTimePickerDate, "The date of the event");
  DateTimePickerDate->setCalendarPopup(true);
  timeChecked_ = Named(new QCheckBox(page), "CheckBoxTime");
  SetHint(timeChecked_, "The time of the event");
  DateTimePickerTime = Named(new QTimeEdit(page), "DateTimePickerTime");
  SetHint(DateTimePickerTime, "The time of the event");
  for (auto [box, picker] : {std::pair<QCheckBox*, QWidget*>{dateChecked_, DateTimePickerDate},
                             std::pair<QCheckBox*, QWidget*>{timeChecked_, DateTimePickerTime}}) {
    box->setChecked(true);
    connect(box, &QCheckBox::toggled, picker, &QWidget::setEnabled);
  }
  // A label with a buddy reads "&" as its access key, so the doubled ampersand shows as one.
  auto* labelDate = Named(new QLabel(QStringLiteral("Date && Time"), page), "LabelDate");
  labelDate->setBuddy(dateChecked_);
  ButtonGetNow = Named(new QPushButton(QStringLiteral("Now"), page), "ButtonGetNow");
  SetHint(ButtonGetNow, kNowHint);
  ButtonGetNow->setAutoDefault(false);

  ComboBoxType = Named(new QComboBox(page), "ComboBoxType");
  ComboBoxType->setEditable(true);
  ComboBoxType->setInsertPolicy(QComboBox::NoInsert);  // OK decides what is added
  for (const char* type : kBuiltInEventTypes) ComboBoxType->addItem(QString::fromLatin1(type));
  SetHint(ComboBoxType, "Select the event type. You can also enter your personal type.");
  auto* labelType = Named(new QLabel(QStringLiteral("Type"), page), "LabelType");
  labelType->setBuddy(ComboBoxType);

  ColorBoxColorForeGround = Named(new ColorBox(page), "ColorBoxColorForeGround");
  SetHint(ColorBoxColorForeGround, "Specify the foreground color for this event.");
  ColorBoxColorBackground = Named(new ColorBox(page), "ColorBoxColorBackground");
  SetHint(ColorBoxColorBackground, "Specify the background color for this event.");

  CheckBoxReminderMe = Named(new QCheckBox(QStringLiteral("Remind Me At "), page), "CheckBoxReminderMe");
  DateTimePickerRemindTime = Named(new QTimeEdit(page), "DateTimePickerRemindTime");
  SetHint(DateTimePickerRemindTime, "The time to remind");
  ButtonGetNowForReminder = Named(new QPushButton(QStringLiteral("Now"), page), "ButtonGetNowForReminder");
  SetHint(ButtonGetNowForReminder, kNowHint);
  ButtonGetNowForReminder->setAutoDefault(false);

  LabelInfo = Named(new QLabel(QString::fromLatin1(kInfoText), page), "LabelInfo");
  LabelInfo->setWordWrap(true);

  recurrence_ = new RecurrenceEditor(services_.clock, services_.settings, page);

  auto* dateRow = new QHBoxLayout;
  dateRow->addWidget(dateChecked_);
  dateRow->addWidget(DateTimePickerDate, 1);
  dateRow->addSpacing(8);
  dateRow->addWidget(timeChecked_);
  dateRow->addWidget(DateTimePickerTime);
  dateRow->addWidget(ButtonGetNow);
  auto* typeRow = new QHBoxLayout;
  typeRow->addWidget(ComboBoxType, 1);
  typeRow->addWidget(ColorBoxColorForeGround);
  typeRow->addWidget(ColorBoxColorBackground);
  auto* remindRow = new QHBoxLayout;
  remindRow->addWidget(CheckBoxReminderMe);
  remindRow->addWidget(DateTimePickerRemindTime);
  remindRow->addWidget(ButtonGetNowForReminder);
  remindRow->addStretch();

  grid->addWidget(labelTitle, 0, 0);
  grid->addWidget(EditTitle, 0, 1);
  grid->addWidget(labelDate, 1, 0);
  grid->addLayout(dateRow, 1, 1);
  grid->addWidget(labelType, 2, 0);
  grid->addLayout(typeRow, 2, 1);
  grid->addLayout(remindRow, 3, 0, 1, 2);
  grid->addWidget(LabelInfo, 4, 0, 1, 2);
  grid->addWidget(recurrence_, 5, 0, 1, 2);
  grid->setRowStretch(6, 1);

  QWidget* order[] = {EditTitle,
                      dateChecked_,
                      DateTimePickerDate,
                      timeChecked_,
                      DateTimePickerTime,
                      ButtonGetNow,
                      ComboBoxType,
                      ColorBoxColorForeGround,
                      ColorBoxColorBackground,
                      CheckBoxReminderMe,
                      DateTimePickerRemindTime,
                      ButtonGetNowForReminder};
  for (std::size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
}

void TFrmEvent::FormCreate() {
  const QString dateFormat = ToQtDateFormat(ShortDayDateFormat(services_.settings), services_.settings);
  const QString timeFormat = ToQtDateFormat(services_.settings.longTimeFormat, services_.settings);
  DateTimePickerDate->setDisplayFormat(dateFormat);
  DateTimePickerDate->setMinimumDate(QDate(100, 1, 1));
  DateTimePickerTime->setDisplayFormat(timeFormat);
  DateTimePickerRemindTime->setDisplayFormat(timeFormat);
  DateTimePickerRemindTime->setTime(QTime(kNewRemindHour, kNewRemindMinute, kNewRemindSecond));
  CheckBoxReminderMe->setChecked(false);
  ColorBoxColorForeGround->SetValue(kColorBlack);
  ColorBoxColorBackground->SetValue(kColorWindow);
  ApplyTitleColors();

  // What a new event saves for what the dialog's own controls do not hold.
  const DateTime now = services_.clock.Now();
  record_.startDate = record_.endDate = record_.onceDate = DateOf(now);
}

void TFrmEvent::ShowModal() { exec(); }

void TFrmEvent::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (shown_) return;
  shown_ = true;
  FormShow();
}

void TFrmEvent::FormShow() {
  EditTitle->setFocus();
  bCancelled = true;

  const std::string stored = ReadRegistryString(kEventTypeSubKey, kEventTypeValue);
  if (!stored.empty()) {
    ComboBoxType->clear();
    ComboBoxType->addItems(TypeLines(stored));
  }

  const DateTime now = services_.clock.Now();
  recurrence_->PrepareForToday(now);
  if (openMode == OpenMode::ExistingEvent) {
    LoadEvent();
  } else {
    DateTimePickerDate->setDate(ToQDate(now));
    DateTimePickerTime->setTime(ToQTime(now));
    ComboBoxType->setCurrentIndex(0);
  }
  recurrence_->SetGroupsVisible(CheckBoxReminderMe->isChecked());
  {
    const QSignalBlocker blocker(PageControlEvent);  // the report is built once, below
    PageControlEvent->setCurrentIndex(firstPage);
  }
  ShowIntervalReport();
}

void TFrmEvent::LoadEvent() {
  const IniFile file(services_.configPath());
  record_ = ReadEventRecord(file, strSection, services_.clock.Now(), services_.settings);
  EditTitle->setText(FromUtf8(DisplayText(record_.title)));
  DateTimePickerDate->setDate(ToQDate(record_.date));
  DateTimePickerTime->setTime(ToQTime(record_.time));
  dateChecked_->setChecked(record_.dateChecked);
  timeChecked_->setChecked(record_.timeChecked);
  ComboBoxType->setEditText(FromUtf8(DisplayText(record_.typeDesc)));  // need not be one of the items
  ColorBoxColorForeGround->SetValue(record_.foreGroundColor);
  ColorBoxColorBackground->SetValue(record_.backGroundColor);
  ApplyTitleColors();
  CheckBoxReminderMe->setChecked(record_.remindMe);
  DateTimePickerRemindTime->setTime(ToQTime(record_.remindTime));
  recurrence_->Load(record_);
  advance_->Load(record_);
}

EventRecord TFrmEvent::RecordFromControls() const {
  EventRecord record = record_;
  record.title = EditTitle->text().toStdString();
  record.date = FromQDate(DateTimePickerDate->date());
  record.dateChecked = dateChecked_->isChecked();
  record.time = FromQTime(DateTimePickerTime->time());
  record.timeChecked = timeChecked_->isChecked();
  const QString typeText = ComboBoxType->currentText();
  record.typeDesc = typeText.toStdString();
  record.type = ComboBoxType->findText(typeText, Qt::MatchFixedString);  // -1 when none
  record.foreGroundColor = ColorBoxColorForeGround->Value();
  record.backGroundColor = ColorBoxColorBackground->Value();
  record.remindMe = CheckBoxReminderMe->isChecked();
  record.remindTime = FromQTime(DateTimePickerRemindTime->time());
  recurrence_->Save(record, services_.clock.Now());
  advance_->Save(record);
  return record;
}

QString TFrmEvent::TypeListText() const {
  QString text;
  for (int i = 0; i < ComboBoxType->count(); ++i) text += ComboBoxType->itemText(i) + QStringLiteral("\r\n");
  return text;
}

void TFrmEvent::BitBtnOKClick() {
  bCancelled = false;
  const QString typed = ComboBoxType->currentText();
  // Qt::MatchFixedString compares whole texts without regard to case.
  if (!typed.isEmpty() && ComboBoxType->findText(typed, Qt::MatchFixedString) < 0) {
    ComboBoxType->addItem(typed);
    ComboBoxType->setEditText(typed);
    WriteRegistryString(kEventTypeSubKey, kEventTypeValue, TypeListText().toStdString());
  }
  const std::string path = services_.configPath();
  // A write that fails in an existing file throws on to the handler of unexpected failures; the file is
  // then unchanged and the dialog stays open.
  if (SaveEventRecord(path, strSection, RecordFromControls(), services_.settings) == SaveOutcome::FileNotCreated) {
    CommShowMessage(kInformationMessage, FailToCreateFileMessage(path));
  }
  accept();
}

void TFrmEvent::BitBtnCancelClick() { reject(); }

void TFrmEvent::FormDestroy() { WriteRegistryString(kEventTypeSubKey, kEventTypeValue, TypeListText().toStdString()); }

void TFrmEvent::ButtonGetNowClick() {
  const DateTime now = services_.clock.Now();
  DateTimePickerDate->setDate(ToQDate(now));
  DateTimePickerTime->setTime(ToQTime(now));
}

void TFrmEvent::ButtonGetNowForReminderClick() { DateTimePickerRemindTime->setTime(ToQTime(services_.clock.Now())); }

void TFrmEvent::ColorBoxColorForeGroundSelect() { ApplyTitleColors(); }

void TFrmEvent::ColorBoxColorBackgroundSelect() { ApplyTitleColors(); }

void TFrmEvent::ApplyTitleColors() {
  QPalette palette = EditTitle->palette();
  const QPalette& base = QApplication::palette(EditTitle);
  palette.setColor(QPalette::Text, ColorFromWindowsValue(ColorBoxColorForeGround->Value(), base));
  palette.setColor(QPalette::Base, ColorFromWindowsValue(ColorBoxColorBackground->Value(), base));
  EditTitle->setPalette(palette);
}

void TFrmEvent::CheckBoxReminderMeClick() { recurrence_->SetGroupsVisible(CheckBoxReminderMe->isChecked()); }

void TFrmEvent::PageControlEventChange(int index) {
  if (index == PageDetails) ShowIntervalReport();
}

DateTime TFrmEvent::GetEventDateTime() const {
  EventRecord moment;
  moment.date = FromQDate(DateTimePickerDate->date());
  moment.dateChecked = dateChecked_->isChecked();
  moment.time = FromQTime(DateTimePickerTime->time());
  moment.timeChecked = timeChecked_->isChecked();
  return almanex::GetEventDateTime(moment, services_.clock.Now());
}

void TFrmEvent::ShowIntervalReport() {
  const DateTime event = GetEventDateTime();
  const DateTime now = services_.clock.Now();
  const DateTime start = now >= event ? event : now;
  const DateTime end = now >= event ? now : event;
  const IntervalReport report = WriteIntervalReport(start, end, services_.settings);

  Editor->clear();
  QTextCursor cursor(Editor->document());
  QTextCharFormat format = cursor.charFormat();
  bool atLineStart = true;
  for (const ReportBlock& block : report.blocks) {
    // Each block is appended as new lines, in the colour and style set just before it.
    if (!atLineStart) cursor.insertBlock();
    if (block.colour) format.setForeground(ToQColor(*block.colour));
    format.setFontUnderline(block.underline);
    QString text = FromUtf8(block.text);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    cursor.insertText(text, format);
    atLineStart = text.endsWith(QLatin1Char('\n'));
  }
  Editor->setTextCursor(cursor);
  Editor->ensureCursorVisible();
  if (report.failure) {
    std::string shown;
    CommShowException(*report.failure, kCalcFailureContext, kCalcFailureAdvice, true, shown);
  }
}

bool TFrmEvent::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress || !watched->isWidgetType() || !isVisible()) return false;
  if (static_cast<QWidget*>(watched)->window() != this) return false;
  const auto* key = static_cast<QKeyEvent*>(event);
  if (key->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier)) return false;
  switch (key->key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      // A date or time picker would take Tab to walk its own fields (the arrow keys do that); here Tab
      // goes on to the next control, as everywhere else in the dialog.
      if (key->modifiers() & ~Qt::ShiftModifier) return false;
      if (qobject_cast<QAbstractSpinBox*>(watched) == nullptr &&
          qobject_cast<QAbstractSpinBox*>(static_cast<QWidget*>(watched)->parentWidget()) == nullptr) {
        return false;
      }
      focusNextPrevChild(key->key() == Qt::Key_Tab);
      return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      BitBtnOK->click();
      return true;
    case Qt::Key_Escape:
      BitBtnCancelClick();
      return true;
    default:
      return false;
  }
}

}  // namespace almanex
