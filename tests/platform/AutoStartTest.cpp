// The logon entry as a desktop session reads it: which folder it lands in, that the desktop-file
// validator accepts it, and that unescaping its Exec line gives back exactly the executable's path.

#include <gtest/gtest.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <QStandardPaths>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "platform/AutoStart.h"
#include "tests/common/TraceFakes.h"
#include "tests/platform/RegistryTestSupport.h"

namespace almanex {
namespace {

using test::FileExists;
using test::ReadFileBytes;
using test::WriteFileBytes;

// ---------------------------------------------------------------------------------------------------
// A reader of desktop entries that follows the format's rules on its own, independent of the writer.

/// The value of `key` in the [Desktop Entry] group, still escaped; nullopt when absent or listed twice.
std::optional<std::string> RawValue(const std::string& file, const std::string& key) {
  std::optional<std::string> found;
  bool inGroup = false;
  std::size_t start = 0;
  while (start < file.size()) {
    std::size_t end = file.find('\n', start);
    if (end == std::string::npos) end = file.size();
    const std::string line = file.substr(start, end - start);
    start = end + 1;
    if (line.empty() || line[0] == '#') continue;
    if (line[0] == '[') {
      inGroup = line == "[Desktop Entry]";
      continue;
    }
    const std::size_t equals = line.find('=');
    if (!inGroup || equals == std::string::npos) continue;
    std::string name = line.substr(0, equals);
    while (!name.empty() && name.back() == ' ') name.pop_back();
    if (name != key) continue;
    if (found) return std::nullopt;
    std::size_t valueStart = equals + 1;
    while (valueStart < line.size() && line[valueStart] == ' ') ++valueStart;
    found = line.substr(valueStart);
  }
  return found;
}

/// The general escapes of string values: \s \n \t \r \\. Anything else after a backslash is invalid.
std::optional<std::string> UnescapeString(const std::string& value) {
  std::string out;
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '\\') {
      out += value[i];
      continue;
    }
    if (++i == value.size()) return std::nullopt;
    switch (value[i]) {
      case 's':
        out += ' ';
        break;
      case 'n':
        out += '\n';
        break;
      case 't':
        out += '\t';
        break;
      case 'r':
        out += '\r';
        break;
      case '\\':
        out += '\\';
        break;
      default:
        return std::nullopt;
    }
  }
  return out;
}

/// The Exec rules applied to an unescaped value: arguments split at spaces; a quoted argument is quoted
/// whole and may escape only '"', '`', '$' and '\'; an unquoted one may hold no reserved character;
/// "%%" is a literal percent and no other field code is expected here.
std::optional<std::vector<std::string>> SplitExec(const std::string& exec) {
  const std::string reserved = " \t\n\"'\\><~|&;$*?#()`";
  std::vector<std::string> arguments;
  std::size_t i = 0;
  const auto percent = [&](std::string& argument) {
    if (i + 1 >= exec.size() || exec[i + 1] != '%') return false;
    argument += '%';
    i += 2;
    return true;
  };
  while (i < exec.size()) {
    if (exec[i] == ' ') {
      ++i;
      continue;
    }
    std::string argument;
    if (exec[i] == '"') {
      for (++i;;) {
        if (i >= exec.size()) return std::nullopt;  // unterminated
        const char c = exec[i];
        if (c == '"') break;
        if (c == '%') {
          if (!percent(argument)) return std::nullopt;
          continue;
        }
        if (c == '\\') {
          if (i + 1 >= exec.size() || std::string("\"`$\\").find(exec[i + 1]) == std::string::npos) {
            return std::nullopt;
          }
          argument += exec[i + 1];
          i += 2;
          continue;
        }
        if (c == '`' || c == '$') return std::nullopt;  // must be escaped inside quotes
        argument += c;
        ++i;
      }
      ++i;                                                         // the closing quote
      if (i < exec.size() && exec[i] != ' ') return std::nullopt;  // quoted in whole, or not at all
    } else {
      while (i < exec.size() && exec[i] != ' ') {
        if (exec[i] == '%') {
          if (!percent(argument)) return std::nullopt;
          continue;
        }
        if (reserved.find(exec[i]) != std::string::npos) return std::nullopt;
        argument += exec[i++];
      }
    }
    arguments.push_back(argument);
  }
  return arguments;
}

/// The command line a session would run for the entry.
std::optional<std::vector<std::string>> DecodeExec(const std::string& file) {
  const std::optional<std::string> raw = RawValue(file, "Exec");
  if (!raw) return std::nullopt;
  const std::optional<std::string> unescaped = UnescapeString(*raw);
  if (!unescaped) return std::nullopt;
  return SplitExec(*unescaped);
}

struct ValidatorResult {
  int status = -1;
  std::string output;
};

ValidatorResult RunValidator(const std::string& validator, const std::string& file) {
  ValidatorResult result;
  const std::string command = "'" + validator + "' '" + file + "' 2>&1";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return result;
  char buffer[512];
  while (const std::size_t count = std::fread(buffer, 1, sizeof buffer, pipe)) result.output.append(buffer, count);
  const int status = ::pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

// ---------------------------------------------------------------------------------------------------

class AutoStartTest : public test::PrivateConfigTest {
 protected:
  std::string SystemEntry() const { return configDirs_ + "/autostart/Almanex.desktop"; }
  void WriteUserEntry(const std::string& text) {
    std::filesystem::create_directories(configHome_ + "/autostart");
    WriteFileBytes(UserEntry(), text);
  }
  std::string UserEntry() const { return configHome_ + "/autostart/Almanex.desktop"; }
};

struct PathCase {
  const char* name;
  const char* path;
};
void PrintTo(const PathCase& value, std::ostream* out) { *out << value.name; }

class AutoStartPath : public AutoStartTest, public ::testing::WithParamInterface<PathCase> {};

TEST_P(AutoStartPath, ExecGivesBackExactlyThePathAndTheEntryIsValid) {
  const std::string path = GetParam().path;
  RegisterAutoStart("Almanex", path);
  ASSERT_TRUE(FileExists(UserEntry()));
  const std::string file = ReadFileBytes(UserEntry());

  const std::optional<std::vector<std::string>> command = DecodeExec(file);
  ASSERT_TRUE(command.has_value()) << file;
  EXPECT_EQ(*command, std::vector<std::string>{path}) << file;
  const std::optional<std::string> tryExec = RawValue(file, "TryExec");
  ASSERT_TRUE(tryExec.has_value());
  EXPECT_EQ(UnescapeString(*tryExec), path);

  const QString validator = QStandardPaths::findExecutable("desktop-file-validate");
  if (validator.isEmpty()) GTEST_SKIP() << "desktop-file-validate is not installed (package desktop-file-utils)";
  const ValidatorResult result = RunValidator(validator.toStdString(), UserEntry());
  EXPECT_EQ(result.status, 0) << result.output << file;
  EXPECT_EQ(result.output, "") << file;
}

const PathCase kPathCases[] = {
    {"Plain", "/opt/almanex/bin/almanex"},
    {"Spaces", "/opt/My Programs/Alma nex/almanex"},
    {"LeadingSpaceInAFolder", "/home/u/ lead/almanex"},
    {"DoubleQuotes", "/opt/\"quoted\"/almanex\""},
    {"Backslashes", "/opt/back\\slash\\\\/almanex\\"},
    {"Dollar", "/opt/$HOME/${PATH}/almanex$"},
    {"Backtick", "/opt/`id`/almanex"},
    {"Percent", "/opt/100%/%f %u %%/almanex%"},
    {"ShellCharacters", "/opt/a'b;c&d|e*f?g#h(i)j<k>l~m/almanex"},
    {"Utf8",
     "/opt/\xC3\xBC\xC3\xB1\xC3\xAF c\xC3\xB6"
     "d\xC3\xA9/\xE6\x97\xA5\xE6\x9C\xAC/almanex"},
    {"EverythingAtOnce", "/tmp/a b\"c\\d$e`f%g\\\\\"$`%%/x"},
};

INSTANTIATE_TEST_SUITE_P(Paths, AutoStartPath, ::testing::ValuesIn(kPathCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(AutoStartTest, WritesThisEntry) {
  RegisterAutoStart("Almanex", "/opt/almanex/bin/almanex");
  EXPECT_EQ(ReadFileBytes(UserEntry()),
            "[Desktop Entry]\n"
            "Type=Application\n"
            "Name=Almanex\n"
            "Comment=Starts Almanex at logon\n"
            "TryExec=/opt/almanex/bin/almanex\n"
            "Exec=\"/opt/almanex/bin/almanex\"\n"
            "Terminal=false\n"
            "X-GNOME-Autostart-enabled=true\n");
  struct stat info {};
  ASSERT_EQ(::stat(UserEntry().c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0644u);
  ASSERT_EQ(::stat((configHome_ + "/autostart").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 077, 0u);        // a folder the program creates is private
  EXPECT_FALSE(FileExists(SystemEntry()));  // the system-wide folder belongs to packages, even for root
}

TEST_F(AutoStartTest, TheEntryFollowsTheExecutableWhenItMoves) {
  RegisterAutoStart("Almanex", "/opt/old place/almanex");
  RegisterAutoStart("Almanex", "/opt/new $place/almanex");
  EXPECT_EQ(DecodeExec(ReadFileBytes(UserEntry())), std::vector<std::string>{"/opt/new $place/almanex"});
  std::vector<std::string> entries;
  for (const auto& entry : std::filesystem::directory_iterator(configHome_ + "/autostart")) {
    entries.push_back(entry.path().filename().string());
  }
  EXPECT_EQ(entries, std::vector<std::string>{"Almanex.desktop"});  // no temporaries left behind
}

TEST_F(AutoStartTest, TheFileNameComesFromTheValueName) {
  RegisterAutoStart("Other Name", "/opt/x");
  const std::string file = ReadFileBytes(configHome_ + "/autostart/Other Name.desktop");
  EXPECT_EQ(RawValue(file, "Name"), "Other Name");
}

// A desktop switches an entry off by writing these into the user's copy; the program never turns it back on.
TEST_F(AutoStartTest, AnEntryTheDesktopSwitchedOffStaysAsItIs) {
  const char* switchedOff[] = {
      "[Desktop Entry]\nType=Application\nExec=/old/almanex\nHidden=true\n",
      "[Desktop Entry]\nExec=/old/almanex\nX-GNOME-Autostart-enabled=false\n",
      "[Desktop Entry]\r\nExec=/old/almanex\r\nHidden = true\r\n",
      "# comment\n[Desktop Entry]\nX-GNOME-Autostart-enabled =false\n[Desktop Action x]\nHidden=false\n",
  };
  for (const char* text : switchedOff) {
    WriteUserEntry(text);
    RegisterAutoStart("Almanex", "/opt/almanex");
    EXPECT_EQ(ReadFileBytes(UserEntry()), text);
  }
  const char* stillOn[] = {
      "[Desktop Entry]\nExec=/old/almanex\nHidden=false\n",
      "[Desktop Entry]\nExec=/old/almanex\nX-GNOME-Autostart-enabled=true\n",
      "[Desktop Entry]\nExec=/old/almanex\n[Desktop Action x]\nHidden=true\n",  // another group
      "[Desktop Entry]\nExec=/old/almanex\nHidden=True\n",                      // values are case-sensitive
      "[Desktop Entry]\nExec=/old/almanex\nXHidden=true\n",
  };
  for (const char* text : stillOn) {
    WriteUserEntry(text);
    RegisterAutoStart("Almanex", "/opt/almanex");
    EXPECT_EQ(DecodeExec(ReadFileBytes(UserEntry())), std::vector<std::string>{"/opt/almanex"}) << text;
  }
}

// Tests may run with every privilege, so a folder below a regular file is what can never be written.
TEST_F(AutoStartTest, GivesUpSilentlyWhenTheFolderCannotBeWritten) {
  WriteFileBytes(root_.File("file"), "a regular file");
  test::ScopedEnvironment home("XDG_CONFIG_HOME", root_.File("file") + "/config");
  test::RecordingTrace tracer;
  RegisterAutoStart("Almanex", "/opt/almanex");
  EXPECT_TRUE(tracer.lines.empty());
  EXPECT_EQ(ReadFileBytes(root_.File("file")), "a regular file");
}

TEST_F(AutoStartTest, RefusesNamesAndPathsThatCannotMakeASafeEntry) {
  const std::pair<const char*, std::string> cases[] = {
      {"Almanex", "/opt/new\nline/almanex"},
      {"Almanex", "/opt/tab\there"},
      {"Almanex", "/opt/cr\rhere"},
      {"Almanex", std::string("/opt/nul\0here", 13)},
      {"Almanex",
       "/opt/\x7F"
       "del"},
      {"Almanex", "relative/almanex"},
      {"Almanex", ""},
      {"Almanex", "/opt/bad\xFFutf8"},
      {"", "/opt/almanex"},
      {"../escape", "/opt/almanex"},
      {"..", "/opt/almanex"},
      {"New\nLine", "/opt/almanex"},
  };
  for (const auto& [name, path] : cases) {
    RegisterAutoStart(name, path);
    EXPECT_FALSE(FileExists(configDirs_)) << name << " " << path;
    EXPECT_FALSE(FileExists(configHome_)) << name << " " << path;
  }
}

TEST_F(AutoStartTest, FoldersComeFromTheEnvironmentWithTheirDefaults) {
  test::ScopedEnvironment home("HOME", "/home/someone");
  {
    test::ScopedEnvironment configHome("XDG_CONFIG_HOME", std::nullopt);
    EXPECT_EQ(UserAutoStartFolder(), "/home/someone/.config/autostart");
  }
  {
    test::ScopedEnvironment configHome("XDG_CONFIG_HOME", "relative");
    EXPECT_EQ(UserAutoStartFolder(), "/home/someone/.config/autostart");
  }
  {
    test::ScopedEnvironment configHome("XDG_CONFIG_HOME", "/x/y/");
    EXPECT_EQ(UserAutoStartFolder(), "/x/y/autostart");
  }
}

// The reader itself must reject what a session would misread, or the checks above prove nothing.
TEST(DesktopEntryReader, RejectsEntriesThatDoNotQuoteOrEscapeProperly) {
  const char* bad[] = {
      "Exec=/opt/a b",         // two arguments
      "Exec=\"/opt/a\\\"b\"",  // \" after the string escapes is a lone backslash-quote: \" -> invalid
      "Exec=\"/opt/$x\"",      // unescaped dollar inside quotes
      "Exec=\"/opt/%f\"",      // field code
      "Exec=\"/opt/a\"b",      // not quoted in whole
      "Exec=\"/opt/a",         // unterminated
      "Exec=\"/opt/a\\q\"",    // unknown string escape
  };
  for (const char* line : bad) {
    const std::optional<std::vector<std::string>> command = DecodeExec(std::string("[Desktop Entry]\n") + line + "\n");
    EXPECT_TRUE(!command || command->size() != 1) << line;
  }
  EXPECT_EQ(DecodeExec("[Desktop Entry]\nExec=\"/a\\\\\\\\b\\\\$c%%d\"\n"), std::vector<std::string>{"/a\\b$c%d"});
}

}  // namespace
}  // namespace almanex
