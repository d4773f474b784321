// The boxes the user sees and the trace lines that go with them.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <climits>
#include <functional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "TestTraceListener.h"
#include "platform/CommUnit.h"
#include "platform/core/DebugAgentUnit.h"
#include "tests/common/Fakes.h"

namespace almanex {
namespace {

using test::ExpectedPacket;
using test::TestTraceListener;

class ThrowingPresenter final : public MessageBoxPresenter {
 public:
  void Show(const MessageBoxRequest&) override { throw std::runtime_error("no desktop"); }
};

/// Installs a presenter for one test and restores the default afterwards.
class PresenterScope {
 public:
  explicit PresenterScope(MessageBoxPresenter& presenter) { SetMessageBoxPresenter(&presenter); }
  ~PresenterScope() { SetMessageBoxPresenter(nullptr); }
};

constexpr const char* kClosing = "Please take corrective actions and try again! ";

struct ExceptionCase {
  const char* name;
  std::string message;
  std::string context;
  std::string advice;
  std::string expectedText;
};
void PrintTo(const ExceptionCase& row, std::ostream* out) { *out << row.name; }

class ExceptionReport : public ::testing::TestWithParam<ExceptionCase> {};

TEST_P(ExceptionReport, TracesFirstThenShowsAWarningBoxAndFillsTheOutput) {
  const ExceptionCase& testCase = GetParam();
  TestTraceListener listener(DebugServerSocketPath());
  test::RecordingMessageBoxes presenter;
  std::vector<std::size_t> tracesBeforeBox;  // how many trace lines had arrived when each box was shown
  presenter.onShow = [&] { tracesBeforeBox.push_back(listener.Packets().size()); };
  std::string output = "left over from before";

  CommShowException(testCase.message, testCase.context, testCase.advice, true, output);

  EXPECT_EQ(output, testCase.expectedText);
  ASSERT_EQ(presenter.boxes.size(), 1U);
  EXPECT_EQ(presenter.boxes[0], (MessageBoxRequest{testCase.expectedText, "Warning", MessageIcon::Warning}));
  EXPECT_EQ(tracesBeforeBox[0], 1U) << "the trace line is sent before the box";
  const auto packets = listener.Packets();
  ASSERT_EQ(packets.size(), 1U);
  EXPECT_EQ(packets[0], ExpectedPacket("Comm", "CommShowException: " + testCase.expectedText));
}

const ExceptionCase kExceptionCases[] = {
    {"WithAdvice", "Floating point overflow.", "Fail to calculate!", "Please enter a smaller value to try.",
     std::string("Fail to calculate!\r\nReason: Floating point overflow.\r\n\r\nPlease enter a smaller value to "
                 "try.\r\n\r\n") +
         kClosing},
    {"WithoutAdvice", "Floating point overflow.", "Fail to calculate!", "",
     "Fail to calculate!\r\nReason: Floating point overflow."},
    {"EmptyMessageGivesBareReasonLine", "", "Fail to calculate!", "", "Fail to calculate!\r\nReason: "},
    {"EmptyMessageWithAdvice", "", "Fail to calculate!", "Try again.",
     std::string("Fail to calculate!\r\nReason: \r\n\r\nTry again.\r\n\r\n") + kClosing},
    {"LineBreaksInsideThePartsKept", "line one\r\nline two", "Context", "", "Context\r\nReason: line one\r\nline two"},
};

INSTANTIATE_TEST_SUITE_P(Cases, ExceptionReport, ::testing::ValuesIn(kExceptionCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CommShowException, WithoutBoxStillTracesAndFillsTheOutput) {
  TestTraceListener listener(DebugServerSocketPath());
  test::RecordingMessageBoxes presenter;
  std::string output;
  CommShowException("Overflow", "Fail to calculate!", "", false, output);
  EXPECT_EQ(output, "Fail to calculate!\r\nReason: Overflow");
  EXPECT_TRUE(presenter.boxes.empty());
  ASSERT_EQ(listener.Packets().size(), 1U);
  EXPECT_EQ(listener.Packets()[0], ExpectedPacket("Comm", "CommShowException: Fail to calculate!\r\nReason: Overflow"));
}

TEST(CommShowException, CaughtExceptionGivesItsMessage) {
  test::RecordingMessageBoxes presenter;
  std::string output;
  try {
    throw std::range_error("Invalid argument to date encode");
  } catch (const std::exception& exception) {
    CommShowException(exception, "Fail to calculate!", "", false, output);
  }
  EXPECT_EQ(output, "Fail to calculate!\r\nReason: Invalid argument to date encode");
}

TEST(CommShowException, WithoutListenerTheBoxAndOutputAreTheSame) {
  test::RecordingMessageBoxes presenter;
  std::string output;
  CommShowException("Overflow", "Fail to calculate!", "", true, output);
  EXPECT_EQ(output, "Fail to calculate!\r\nReason: Overflow");
  ASSERT_EQ(presenter.boxes.size(), 1U);
  EXPECT_EQ(presenter.boxes[0].text, output);
}

TEST(CommShowException, BoxThatCannotBeShownIsIgnored) {
  TestTraceListener listener(DebugServerSocketPath());
  ThrowingPresenter presenter;
  const PresenterScope scope(presenter);
  std::string output;
  EXPECT_NO_THROW(CommShowException("Overflow", "Fail to calculate!", "", true, output));
  EXPECT_EQ(output, "Fail to calculate!\r\nReason: Overflow");
  EXPECT_EQ(listener.Packets().size(), 1U);
  EXPECT_NO_THROW(CommShowMessage(6, "text"));
}

struct KindCase {
  const char* name;
  int kind;
  const char* caption;
  MessageIcon icon;
};
void PrintTo(const KindCase& row, std::ostream* out) { *out << row.name; }

class MessageKind : public ::testing::TestWithParam<KindCase> {};

TEST_P(MessageKind, ShowsCaptionAndIconOfTheKind) {
  test::RecordingMessageBoxes presenter;
  CommShowMessage(GetParam().kind, "First line\r\nsecond line");
  ASSERT_EQ(presenter.boxes.size(), 1U);
  EXPECT_EQ(presenter.boxes[0], (MessageBoxRequest{"First line\r\nsecond line", GetParam().caption, GetParam().icon}));
}

const KindCase kKindCases[] = {
    {"Kind1", 1, "Exclamation", MessageIcon::Warning},
    {"Kind2", 2, "Warning", MessageIcon::Warning},
    {"Kind3", 3, "Information", MessageIcon::Information},
    {"Kind4", 4, "Question", MessageIcon::Question},
    {"Kind5", 5, "Stop", MessageIcon::Stop},
    {"Kind6", 6, "Error", MessageIcon::Stop},
    {"Kind7", 7, "Stop Now", MessageIcon::Stop},
    {"Kind0", 0, "Information", MessageIcon::Information},
    {"Kind8", 8, "Information", MessageIcon::Information},
    {"Kind16", 16, "Information", MessageIcon::Information},
    {"KindMinus1", -1, "Information", MessageIcon::Information},
    {"KindMinimum", INT_MIN, "Information", MessageIcon::Information},
    {"KindMaximum", INT_MAX, "Information", MessageIcon::Information},
};

INSTANTIATE_TEST_SUITE_P(Cases, MessageKind, ::testing::ValuesIn(kKindCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CommShowMessage, EveryKindOutsideOneToSevenIsInformation) {
  for (int kind = -1000; kind <= 1000; ++kind) {
    if (kind >= 1 && kind <= 7) continue;
    const MessageBoxRequest box = MessageKindBox(kind, "t");
    EXPECT_EQ(box.caption, "Information") << "kind " << kind;
    EXPECT_EQ(box.icon, MessageIcon::Information) << "kind " << kind;
  }
}

TEST(CommShowMessage, FileCreationFailureShowsAsInformation) {
  test::RecordingMessageBoxes presenter;
  const std::string text =
      "Fail to create file /opt/almanex/Config/Config.INI.\rPlease make sure the disk is not full or corrupted.";
  CommShowMessage(16, text);
  ASSERT_EQ(presenter.boxes.size(), 1U);
  EXPECT_EQ(presenter.boxes[0], (MessageBoxRequest{text, "Information", MessageIcon::Information}));
}

TEST(BoxDisplayText, LineBreaksBecomeNewlines) {
  const struct {
    const char* text;
    const char* display;
  } cases[] = {
      {"a\r\nb", "a\nb"}, {"a\rb", "a\nb"},           {"a\nb", "a\nb"}, {"a\r\n\r\nb", "a\n\nb"},
      {"a\r", "a\n"},     {"\r\r\n", "\n\n"},         {"", ""},         {"no break", "no break"},
      {"\n\r", "\n\n"},   {"tab\tkept", "tab\tkept"},
  };
  for (const auto& testCase : cases) EXPECT_EQ(BoxDisplayText(testCase.text), testCase.display) << testCase.text;
}

/// Runs `inspect` on the modal box once it is up, then presses its OK button.
void InspectModalBoxThenPressOk(std::function<void(QMessageBox&)> inspect, int attemptsLeft = 1000) {
  QTimer::singleShot(0, [inspect, attemptsLeft] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) {
      if (attemptsLeft > 0) {
        InspectModalBoxThenPressOk(inspect, attemptsLeft - 1);
      } else {
        ADD_FAILURE() << "no modal box came up";
        for (QWidget* widget : QApplication::topLevelWidgets()) {
          if (auto* other = qobject_cast<QMessageBox*>(widget)) other->done(0);
        }
      }
      return;
    }
    inspect(*box);
    if (QAbstractButton* ok = box->button(QMessageBox::Ok)) {
      ok->click();
    } else {
      box->done(0);
    }
  });
}

TEST(DefaultMessageBox, IsAnApplicationModalTopmostBoxWithOneOkButton) {
  bool inspected = false;
  InspectModalBoxThenPressOk([&inspected](QMessageBox& box) {
    inspected = true;
    EXPECT_EQ(box.windowTitle().toStdString(), "Stop Now");
    EXPECT_EQ(box.text().toStdString(), "Fail <b>one</b>\nReason: two");
    EXPECT_EQ(box.textFormat(), Qt::PlainText);
    EXPECT_EQ(box.icon(), QMessageBox::Critical);
    EXPECT_EQ(box.buttons().size(), 1);
    EXPECT_NE(box.button(QMessageBox::Ok), nullptr);
    EXPECT_EQ(box.windowModality(), Qt::ApplicationModal);
    EXPECT_TRUE(box.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  });
  CommShowMessage(7, "Fail <b>one</b>\r\nReason: two");
  EXPECT_TRUE(inspected);
}

TEST(DefaultMessageBox, IconsFollowTheKind) {
  const struct {
    int kind;
    QMessageBox::Icon icon;
  } cases[] = {{1, QMessageBox::Warning},     {2, QMessageBox::Warning},  {3, QMessageBox::Information},
               {4, QMessageBox::Question},    {5, QMessageBox::Critical}, {6, QMessageBox::Critical},
               {16, QMessageBox::Information}};
  for (const auto& testCase : cases) {
    QMessageBox::Icon shown = QMessageBox::NoIcon;
    InspectModalBoxThenPressOk([&shown](QMessageBox& box) { shown = box.icon(); });
    CommShowMessage(testCase.kind, "text");
    EXPECT_EQ(shown, testCase.icon) << "kind " << testCase.kind;
  }
}

TEST(DefaultMessageBox, ExceptionBoxIsAWarning) {
  std::string title;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  InspectModalBoxThenPressOk([&](QMessageBox& box) {
    title = box.windowTitle().toStdString();
    icon = box.icon();
  });
  std::string output;
  CommShowException("Overflow", "Fail to calculate!", "", true, output);
  EXPECT_EQ(title, "Warning");
  EXPECT_EQ(icon, QMessageBox::Warning);
}

}  // namespace
}  // namespace almanex
