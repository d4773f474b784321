// The registry helpers as the main window and the event dialog use them: where the window ends up, what
// lands in registry.reg, and the exact trace lines of failures.

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QWidget>
#include <filesystem>
#include <ostream>
#include <string>

#include "platform/CommRegistry.h"
#include "platform/Registry.h"
#include "tests/common/TraceFakes.h"
#include "tests/platform/RegistryTestSupport.h"

namespace almanex {
namespace {

using test::ReadFileBytes;
using test::WriteFileBytes;

constexpr const char* kReadPositionFailed = "CommUnit\tFailed to get FormPosition information from Registry.";
constexpr const char* kWritePositionFailed = "CommUnit\tFailed to write Registry about FormPosition.";
constexpr const char* kReadFailed = "CommUnit\tFailed to read Registry.";
constexpr const char* kWriteFailed = "CommUnit\tFailed to write Registry.";
constexpr const char* kPositionSection =
    "[HKEY_CURRENT_USER\\Software\\Quorvel\\Almanex\\2.0\\Almanex\\Almanex\\Position]\n";

// The main window as designed: its caption and its size before any placement is restored.
const QRect kDesigned(10, 20, 640, 480);

class CommRegistryTest : public test::PrivateConfigTest {
 protected:
  CommRegistryTest() {
    form_.setWindowTitle("Almanex");
    form_.setGeometry(kDesigned);
  }
  void SeedFile(std::string_view bytes) {
    std::filesystem::create_directories(std::filesystem::path(RegistryFile()).parent_path());
    WriteFileBytes(RegistryFile(), bytes);
  }
  void MakeStoreUnwritable() {
    WriteFileBytes(root_.File("file"), "x");
    setenv("XDG_CONFIG_HOME", (root_.File("file") + "/config").c_str(), 1);  // restored by the fixture
  }

  QWidget form_;
  test::RecordingTrace tracer_;
};

TEST_F(CommRegistryTest, FirstStartCentresTheWindowAndExitCreatesAllFourValues) {
  ReadFormPosition(form_);
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_EQ(form_.frameGeometry(),
            QRect(area.x() + (area.width() - 640) / 2, area.y() + (area.height() - 480) / 2, 640, 480));
  EXPECT_TRUE(tracer_.lines.empty());
  EXPECT_FALSE(test::FileExists(RegistryFile()));  // reading creates nothing

  form_.setGeometry(QRect(-100, 35, 812, 301));
  WriteFormPosition(form_);
  EXPECT_EQ(ReadFileBytes(RegistryFile()), std::string("REGEDIT4\n\n") + kPositionSection +
                                               "\"Height\"=dword:0000012d\n"
                                               "\"Left\"=dword:ffffff9c\n"
                                               "\"Top\"=dword:00000023\n"
                                               "\"Width\"=dword:0000032c\n");
  EXPECT_TRUE(tracer_.lines.empty());

  QWidget next;
  next.setWindowTitle("Almanex");
  next.setGeometry(kDesigned);
  ReadFormPosition(next);
  EXPECT_EQ(next.frameGeometry(), QRect(-100, 35, 812, 301));
  EXPECT_TRUE(tracer_.lines.empty());
}

TEST_F(CommRegistryTest, ThePositionKeyFollowsTheWindowCaption) {
  form_.setWindowTitle("Event");
  WriteFormPosition(form_);
  RegistryKey key;
  EXPECT_EQ(key.Open("Software\\Quorvel\\Almanex\\2.0\\Almanex\\Event\\Position", false), RegistryStatus::Ok);
  EXPECT_EQ(key.Open("Software\\Quorvel\\Almanex\\2.0\\Almanex\\Almanex\\Position", false), RegistryStatus::NotFound);
}

// One value of the four is missing or a string: the values before it are applied, the rest of the
// window stays as designed, and one trace line says so.
struct BrokenPositionCase {
  const char* name;
  const char* values;
  QRect expected;
};
void PrintTo(const BrokenPositionCase& value, std::ostream* out) { *out << value.name; }

class BrokenPosition : public CommRegistryTest, public ::testing::WithParamInterface<BrokenPositionCase> {};

TEST_P(BrokenPosition, AppliesTheValuesBeforeTheFailureThenTraces) {
  SeedFile(std::string("REGEDIT4\n\n") + kPositionSection + GetParam().values);
  ReadFormPosition(form_);
  EXPECT_EQ(form_.frameGeometry(), GetParam().expected);
  EXPECT_EQ(tracer_.Joined(), std::vector<std::string>{kReadPositionFailed});
}

// Stored bounds: Height 500, Left 100, Top 50, Width 700; the designed ones are 10, 20, 640 x 480.
const BrokenPositionCase kBrokenPositionCases[] = {
    {"LeftIsAString", "\"Height\"=dword:000001f4\n\"Left\"=\"100\"\n\"Top\"=dword:00000032\n\"Width\"=dword:000002bc\n",
     QRect(10, 20, 640, 500)},
    {"HeightMissing", "\"Left\"=dword:00000064\n\"Top\"=dword:00000032\n\"Width\"=dword:000002bc\n",
     QRect(10, 20, 640, 480)},
    {"HeightIsAString", "\"Height\"=\"500\"\n\"Left\"=dword:00000064\n\"Top\"=dword:00000032\n\"Width\"=dword:2bc\n",
     QRect(10, 20, 640, 480)},
    {"LeftMissing", "\"Height\"=dword:000001f4\n\"Top\"=dword:00000032\n\"Width\"=dword:000002bc\n",
     QRect(10, 20, 640, 500)},
    {"TopMissing", "\"Height\"=dword:000001f4\n\"Left\"=dword:00000064\n\"Width\"=dword:000002bc\n",
     QRect(100, 20, 640, 500)},
    {"TopIsBinary", "\"Height\"=dword:1f4\n\"Left\"=dword:64\n\"Top\"=hex:32,00,00,00\n\"Width\"=dword:2bc\n",
     QRect(100, 20, 640, 500)},
    {"WidthMissing", "\"Height\"=dword:000001f4\n\"Left\"=dword:00000064\n\"Top\"=dword:00000032\n",
     QRect(100, 50, 640, 500)},
    {"WidthIsAString", "\"Height\"=dword:1f4\n\"Left\"=dword:64\n\"Top\"=dword:32\n\"Width\"=\"700\"\n",
     QRect(100, 50, 640, 500)},
    {"EmptyKey", "", QRect(10, 20, 640, 480)},
};

INSTANTIATE_TEST_SUITE_P(Values, BrokenPosition, ::testing::ValuesIn(kBrokenPositionCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CommRegistryTest, ACompletePositionKeyIsAppliedWithoutATrace) {
  SeedFile(std::string("REGEDIT4\n\n") + kPositionSection +
           "\"width\"=dword:000002bc\n\"TOP\"=dword:00000032\n\"Left\"=dword:00000064\n\"Height\"=dword:000001f4\n");
  ReadFormPosition(form_);
  EXPECT_EQ(form_.frameGeometry(), QRect(100, 50, 700, 500));
  EXPECT_TRUE(tracer_.lines.empty());
}

TEST_F(CommRegistryTest, AGarbledStoreCentresTheWindowRefusesWritesAndTraces) {
  SeedFile("garbage\n");
  ReadFormPosition(form_);
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_EQ(form_.frameGeometry().topLeft(),
            QPoint(area.x() + (area.width() - 640) / 2, area.y() + (area.height() - 480) / 2));
  WriteFormPosition(form_);
  WriteRegistryString("Event\\Event", "Type", "A\r\n");
  EXPECT_EQ(ReadRegistryString("Event\\Event", "Type"), "");
  EXPECT_EQ(ReadFileBytes(RegistryFile()), "garbage\n");
  // Each helper sends its own line; the store adds its reason.
  std::vector<std::string> helperLines;
  for (const std::string& line : tracer_.Joined()) {
    if (line.rfind("CommUnit\t", 0) == 0) helperLines.push_back(line);
  }
  EXPECT_EQ(helperLines,
            (std::vector<std::string>{kReadPositionFailed, kWritePositionFailed, kWriteFailed, kReadFailed}));
}

TEST_F(CommRegistryTest, WriteFailuresTraceTheirOwnLine) {
  MakeStoreUnwritable();
  WriteFormPosition(form_);
  WriteRegistryString("Event\\Event", "Type", "A\r\n");
  std::vector<std::string> helperLines;
  for (const std::string& line : tracer_.Joined()) {
    if (line.rfind("CommUnit\t", 0) == 0) helperLines.push_back(line);
  }
  EXPECT_EQ(helperLines, (std::vector<std::string>{kWritePositionFailed, kWriteFailed}));
}

TEST_F(CommRegistryTest, TheEventTypeListRoundTripsWithItsCrLfLineEnds) {
  const std::string types =
      "Anniversary\r\nBirthday\r\nHoliday\r\nImportant Date\r\nVacation\r\nF\xC3\xA9te \"A\\B\"\r\n";
  WriteRegistryString("Event\\Event", "Type", types);
  EXPECT_EQ(ReadRegistryString("Event\\Event", "Type"), types);
  EXPECT_EQ(ReadFileBytes(RegistryFile()),
            "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Quorvel\\Almanex\\2.0\\Almanex\\Event\\Event]\n"
            "\"Type\"=\"Anniversary\\r\\nBirthday\\r\\nHoliday\\r\\nImportant Date\\r\\nVacation\\r\\n"
            "F\xC3\xA9te \\\"A\\\\B\\\"\\r\\n\"\n");
  EXPECT_TRUE(tracer_.lines.empty());
}

TEST_F(CommRegistryTest, ReadingAMissingKeyOrValueGivesEmptyWithoutATrace) {
  EXPECT_EQ(ReadRegistryString("Event\\Event", "Type"), "");
  WriteRegistryString("Event\\Event", "Other", "x");
  EXPECT_EQ(ReadRegistryString("Event\\Event", "Type"), "");
  EXPECT_TRUE(tracer_.lines.empty());
}

TEST_F(CommRegistryTest, ReadingAValueOfAnotherTypeGivesEmptyAndTraces) {
  SeedFile(
      "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Quorvel\\Almanex\\2.0\\Almanex\\Event\\Event]\n"
      "\"Type\"=dword:00000001\n");
  EXPECT_EQ(ReadRegistryString("Event\\Event", "Type"), "");
  EXPECT_EQ(tracer_.Joined(), std::vector<std::string>{kReadFailed});
}

}  // namespace
}  // namespace almanex
