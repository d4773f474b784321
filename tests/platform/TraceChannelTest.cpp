// The trace channel as a listener sees it: the exact bytes of each packet, and a sender that neither
// hangs, crashes nor does any work when the listener is missing or broken.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <new>
#include <ostream>
#include <string>

#include "TestTraceListener.h"
#include "platform/core/DebugAgentUnit.h"

// Counts the allocations of this thread while counting is on, to prove that a call without a listener
// allocates nothing.
namespace {
thread_local bool countingAllocations = false;
thread_local int allocationCount = 0;
}  // namespace

void* operator new(std::size_t size) {
  if (countingAllocations) ++allocationCount;
  if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
  throw std::bad_alloc();
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }

namespace almanex {
namespace {

using test::ExpectedPacket;
using test::TestTraceListener;

class AllocationCounter {
 public:
  AllocationCounter() {
    allocationCount = 0;
    countingAllocations = true;
  }
  ~AllocationCounter() { countingAllocations = false; }
  int Count() const { return allocationCount; }
};

TEST(TraceChannel, SocketIsNamedDebugServerInTheRuntimeFolder) {
  EXPECT_EQ(DebugServerSocketPath(), std::string(std::getenv("XDG_RUNTIME_DIR")) + "/Debug Server");
}

struct PacketCase {
  const char* name;
  std::string source;
  std::string message;
  std::string sentSource;  // as the listener must see it
};
void PrintTo(const PacketCase& row, std::ostream* out) { *out << row.name; }

class TracePacket : public ::testing::TestWithParam<PacketCase> {};

TEST_P(TracePacket, ListenerReceivesTheExactLineWithItsNul) {
  const PacketCase& testCase = GetParam();
  TestTraceListener listener(DebugServerSocketPath());
  EXPECT_TRUE(SendDebugAgentMsg(testCase.source, testCase.message));
  const auto packets = listener.Packets();
  ASSERT_EQ(packets.size(), 1U);
  EXPECT_EQ(packets[0], ExpectedPacket(testCase.sentSource, testCase.message));
}

const PacketCase kPacketCases[] = {
    {"SourceOf25CharactersIsCutTo18", "ABCDEFGHIJKLMNOPQRSTUVWXY", "m", "ABCDEFGHIJKLMNOPQR"},
    {"SourceOf18CharactersIsSentWhole", "ABCDEFGHIJKLMNOPQR", "m", "ABCDEFGHIJKLMNOPQR"},
    {"SourceOf19CharactersLosesOne", "ABCDEFGHIJKLMNOPQRS", "m", "ABCDEFGHIJKLMNOPQR"},
    {"ShortSource", "Comm", "CommShowException: x", "Comm"},
    {"EmptySource", "", "m", ""},
    {"EmptyMessageEndsWithTheThirdTab", "CommUnit", "", "CommUnit"},
    {"CrLfAndTabInsideTheMessageUnchanged", "TFrmMain", "SearchNextReminder: a\r\nb\tc\r\n", "TFrmMain"},
    {"MultiByteSourceIsCutBetweenCharacters",
     "\xC3\x84\xC3\x84\xC3\x84\xC3\x84\xC3\x84\xC3\x84\xC3\x84\xC3\x84"
     "\xC3\x84\xC3\x84\xC3\x84\xC3\x84\xC3\x84\xC3\x84\xC3\x84\xC3\x84\xC3\x84\xC3\x84\xC3\x84\xC3\x84",
     "m",
     "\xC3\x84\xC3\x84\xC3\x84\xC3\x84\xC3\x84\xC3\x84\xC3\x84\xC3\x84\xC3\x84"
     "\xC3\x84\xC3\x84\xC3\x84\xC3\x84\xC3\x84\xC3\x84\xC3\x84\xC3\x84\xC3\x84"},
    // Larger than the default socket send buffer: still one packet, whole.
    {"MessageLargerThanTheDefaultSocketBuffer", "CommUnit", std::string(300000, 'x'), "CommUnit"},
};

INSTANTIATE_TEST_SUITE_P(Cases, TracePacket, ::testing::ValuesIn(kPacketCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(TraceChannel, SourceCutKeepsTheFirst18CharactersForEveryLength) {
  const std::string letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmn";
  for (std::size_t length = 0; length <= letters.size(); ++length) {
    EXPECT_EQ(CutTraceSource(letters.substr(0, length)), letters.substr(0, std::min<std::size_t>(length, 18)))
        << "length " << length;
  }
}

TEST(TraceChannel, NameFieldIsUnkownWhenTheLookupFailsOrIsTooLong) {
  EXPECT_EQ(TraceNameField(nullptr), "Unkown");
  EXPECT_EQ(TraceNameField(""), "");
  EXPECT_EQ(TraceNameField("host"), "host");
  const std::string longest(255, 'n');
  EXPECT_EQ(TraceNameField(longest.c_str()), longest);
  const std::string tooLong(256, 'n');
  EXPECT_EQ(TraceNameField(tooLong.c_str()), "Unkown");
}

TEST(TraceChannel, WithoutListenerNothingIsBuiltOrAllocated) {
  int builderCalls = 0;
  bool lazyResult = true;
  bool plainResult = true;
  int allocations = -1;
  {
    const AllocationCounter counter;
    lazyResult = SendDebugAgentMsgLazy("Comm", [&builderCalls] {
      ++builderCalls;
      return std::string("CommShowException: a message long enough to need the heap");
    });
    plainResult = SendDebugAgentMsg("CommUnit", "Failed to read Registry.");
    allocations = counter.Count();
  }
  EXPECT_FALSE(lazyResult);
  EXPECT_FALSE(plainResult);
  EXPECT_EQ(builderCalls, 0);
  EXPECT_EQ(allocations, 0);
}

TEST(TraceChannel, StaleSocketFileCountsAsNoListener) {
  const std::string path = DebugServerSocketPath();
  const int descriptor = ::socket(AF_UNIX, SOCK_SEQPACKET, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  ASSERT_EQ(::bind(descriptor, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ::close(descriptor);  // bound, never listened, closed: what a crashed listener leaves behind
  EXPECT_FALSE(SendDebugAgentMsg("Comm", "m"));
  ::unlink(path.c_str());
}

TEST(TraceChannel, ListenerStartedOrStoppedLaterIsPickedUpOnTheNextCall) {
  EXPECT_FALSE(SendDebugAgentMsg("Comm", "before"));
  {
    TestTraceListener listener(DebugServerSocketPath());
    int builderCalls = 0;
    EXPECT_TRUE(SendDebugAgentMsgLazy("Comm", [&builderCalls] {
      ++builderCalls;
      return std::string("during");
    }));
    EXPECT_EQ(builderCalls, 1);
    const auto packets = listener.Packets();
    ASSERT_EQ(packets.size(), 1U);
    EXPECT_EQ(packets[0], ExpectedPacket("Comm", "during"));
  }
  EXPECT_FALSE(SendDebugAgentMsg("Comm", "after"));
}

TEST(TraceChannel, TraceSinkSendsOverTheChannel) {
  DebugAgentTraceSink sink;
  int builderCalls = 0;
  const auto build = [&builderCalls] {
    ++builderCalls;
    return std::string("SearchNextReminder: none");
  };
  EXPECT_FALSE(sink.Send("TFrmMain", build));
  EXPECT_EQ(builderCalls, 0);
  TestTraceListener listener(DebugServerSocketPath());
  EXPECT_TRUE(sink.Send("TFrmMain", build));
  ASSERT_EQ(listener.Packets().size(), 1U);
  EXPECT_EQ(listener.Packets()[0], ExpectedPacket("TFrmMain", "SearchNextReminder: none"));
}

// A listener that takes the line but never answers (or never even accepts) must not hold the sender
// beyond its time limit. The limit is injected small; the test only asserts that the call returns.
struct SilentListenerCase {
  const char* name;
  TestTraceListener::Behaviour behaviour;
  bool lineArrives;
};
void PrintTo(const SilentListenerCase& row, std::ostream* out) { *out << row.name; }

class SilentListener : public ::testing::TestWithParam<SilentListenerCase> {};

TEST_P(SilentListener, SenderReturnsAfterItsTimeLimit) {
  const std::string path = DebugServerSocketPath();
  TestTraceListener listener(path, GetParam().behaviour);
  EXPECT_TRUE(SendDebugAgentMsgTo(
      path, "Comm", [] { return std::string("m"); }, 50));
  EXPECT_TRUE(SendDebugAgentMsgTo(
      path, "Comm", [] { return std::string("again"); }, 50));
  if (GetParam().lineArrives) {
    ASSERT_EQ(listener.Packets().size(), 2U);
    EXPECT_EQ(listener.Packets()[0], ExpectedPacket("Comm", "m"));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SilentListener,
    ::testing::Values(SilentListenerCase{"ReadsButNeverAnswers", TestTraceListener::Behaviour::NeverAnswer, true},
                      SilentListenerCase{"NeverAccepts", TestTraceListener::Behaviour::NeverAccept, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TraceChannel, ASilentListenerIsToldApartFromOneThatAnswers) {
  const std::string path = DebugServerSocketPath();
  const auto deliver = [&path] {
    return DeliverDebugAgentMsgTo(
        path, "Comm", [] { return std::string("m"); }, 50);
  };
  EXPECT_EQ(deliver(), TraceDelivery::NotSent);
  {
    TestTraceListener silent(path, TestTraceListener::Behaviour::NeverAnswer);
    EXPECT_EQ(deliver(), TraceDelivery::TimedOut);
  }
  TestTraceListener answering(path);
  EXPECT_EQ(deliver(), TraceDelivery::Answered);
}

// After a time-out the lines are dropped for a pause of 1, 2, 4 ... seconds, at most a minute, until a
// line is answered in time again.
TEST(TraceBackOff, PausesGrowAfterEachTimeOutUpToAMinuteAndEndOnAnAnswer) {
  TraceBackOff backOff;
  long long now = 5000;
  EXPECT_TRUE(backOff.MaySend(now));
  backOff.Record(TraceDelivery::NotSent, now);  // no listener: nothing to wait for, no pause
  EXPECT_TRUE(backOff.MaySend(now));
  const long long pauses[] = {1000, 2000, 4000, 8000, 16000, 32000, 60000, 60000};
  for (const long long pause : pauses) {
    backOff.Record(TraceDelivery::TimedOut, now);
    EXPECT_FALSE(backOff.MaySend(now + pause - 1)) << pause;
    EXPECT_TRUE(backOff.MaySend(now + pause)) << pause;
    now += pause;
  }
  backOff.Record(TraceDelivery::Answered, now);
  backOff.Record(TraceDelivery::TimedOut, now);
  EXPECT_FALSE(backOff.MaySend(now + 999));
  EXPECT_TRUE(backOff.MaySend(now + 1000));  // the pauses start again from one second
}

TEST(TraceChannel, ListenerThatClosesAtOnceDoesNotKillTheSender) {
  // SIGPIPE keeps its default action here, so a send that raised it would end this process.
  struct sigaction previous {};
  struct sigaction defaultAction {};
  defaultAction.sa_handler = SIG_DFL;
  sigaction(SIGPIPE, &defaultAction, &previous);
  const std::string path = DebugServerSocketPath();
  TestTraceListener listener(path, TestTraceListener::Behaviour::CloseAtOnce);
  // The message is built after connect; by then waiting for the listener to close makes the send
  // meet a closed peer every time.
  const bool result = SendDebugAgentMsgTo(
      path, "Comm",
      [&listener] {
        listener.WaitForAccepted(1);
        return std::string("m");
      },
      50);
  sigaction(SIGPIPE, &previous, nullptr);
  EXPECT_FALSE(result) << "a line the listener dropped unread is not reported as sent";
}

TEST(TraceChannel, ThrowingMessageBuilderSendsNothingAndDoesNotThrow) {
  TestTraceListener listener(DebugServerSocketPath());
  bool result = true;
  EXPECT_NO_THROW(result = SendDebugAgentMsgLazy("Comm", []() -> std::string { throw std::bad_alloc(); }));
  EXPECT_FALSE(result);
  EXPECT_TRUE(listener.Packets().empty());
}

TEST(TraceChannel, SocketPathTooLongForAnAddressIsNoListener) {
  const std::string path = "/tmp/" + std::string(200, 'd') + "/Debug Server";
  int builderCalls = 0;
  EXPECT_FALSE(SendDebugAgentMsgTo(
      path, "Comm",
      [&builderCalls] {
        ++builderCalls;
        return std::string("m");
      },
      50));
  EXPECT_EQ(builderCalls, 0);
}

}  // namespace
}  // namespace almanex
