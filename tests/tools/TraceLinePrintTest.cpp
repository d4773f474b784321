// How almanex-debug-server prints a received trace line: one output line per trace line, whatever
// bytes the message holds, and the three field separators kept so that `cut -f4` gives the message.

#include <gtest/gtest.h>

#include <string>

#include "debug-server/TraceListener.h"

namespace almanex {
namespace {

struct PrintCase {
  const char* name;
  std::string line;
  std::string printed;
};

void PrintTo(const PrintCase& testCase, std::ostream* out) { *out << testCase.name; }

class PrintableLine : public ::testing::TestWithParam<PrintCase> {};

TEST_P(PrintableLine, OneLineWithTheFieldsSeparatedByTab) {
  EXPECT_EQ(PrintableTraceLine(GetParam().line), GetParam().printed);
}

const PrintCase kPrintCases[] = {
    {"PlainFields", "pc\tanna\tTFrmMain\tSearch", "pc\tanna\tTFrmMain\tSearch"},
    {"TabInTheMessageIsEscaped", "pc\tanna\tComm\ta\tb", "pc\tanna\tComm\ta\\tb"},
    {"FewerThanThreeSeparatorsStay", "a\tb", "a\tb"},
    {"LineBreaks", "pc\tanna\tComm\tone\r\ntwo\nthree\r", "pc\tanna\tComm\tone\\r\\ntwo\\nthree\\r"},
    {"BackslashIsDoubled", "pc\tanna\tComm\tC:\\dir", "pc\tanna\tComm\tC:\\\\dir"},
    {"OtherControlBytesInHex", std::string("pc\tanna\tComm\t\x01\x1f\x7f", 16), "pc\tanna\tComm\t\\x01\\x1F\\x7F"},
    {"Utf8PassesUnchanged", "pc\tj\xc3\xb6rg\tComm\tCaf\xc3\xa9 \xe2\x82\xac",
     "pc\tj\xc3\xb6rg\tComm\tCaf\xc3\xa9 \xe2\x82\xac"},
    {"Empty", "", ""},
};

INSTANTIATE_TEST_SUITE_P(Table, PrintableLine, ::testing::ValuesIn(kPrintCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace almanex
