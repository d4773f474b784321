#include "Cli.h"

#include <QLocale>
#include <QString>
#include <algorithm>
#include <array>
#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string_view>

#include "app/ReminderScheduler.h"
#include "datetime/DateFormat.h"
#include "datetime/DateTimeUnit.h"
#include "platform/LocaleBridge.h"
#include "store/ConfigFile.h"
#include "store/EventList.h"
#include "store/IniFile.h"

namespace almanex::cli {
namespace {

constexpr const char* kUsage =
    "usage: almanex-cli list [--config FILE] [--now \"YYYY-MM-DD HH:MM:SS\"] [--locale NAME]\n"
    "       almanex-cli next [--config FILE] [--now \"YYYY-MM-DD HH:MM:SS\"] [--locale NAME]\n";

/// The form of --now, and of the moments the commands print.
constexpr const char* kIsoPattern = "yyyy-mm-dd hh:nn:ss";

/// A bad command line; its message goes to stderr with the usage.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// The options of one command line: "--name value" or "--name=value".
class Options {
 public:
  Options(const std::vector<std::string>& arguments, std::size_t first, std::initializer_list<std::string_view> known) {
    for (std::size_t i = first; i < arguments.size(); ++i) {
      std::string_view argument = arguments[i];
      if (argument.substr(0, 2) != "--") throw UsageError("unexpected argument '" + std::string(argument) + "'");
      std::string name(argument.substr(2));
      std::optional<std::string> value;
      if (const auto equals = name.find('='); equals != std::string::npos) {
        value = name.substr(equals + 1);
        name.erase(equals);
      }
      if (std::find(known.begin(), known.end(), name) == known.end()) throw UsageError("unknown option --" + name);
      if (!value) {
        if (i + 1 >= arguments.size()) throw UsageError("option --" + name + " needs a value");
        value = arguments[++i];
      }
      if (!values_.emplace(name, *value).second) throw UsageError("option --" + name + " given twice");
    }
  }

  std::optional<std::string> Get(const std::string& name) const {
    const auto found = values_.find(name);
    if (found == values_.end()) return std::nullopt;
    return found->second;
  }

 private:
  std::map<std::string, std::string> values_;
};

/// What every subcommand reads: the file, the moment and the regional formats.
struct Context {
  std::string configPath;
  DateTime now = 0;
  FormatSettings settings;
};

DateTime ParseNow(const std::string& text) {
  static const FormatSettings kIso;
  const auto value = ParseDateTime(kIsoPattern, text, kIso);
  if (!value) throw UsageError("--now must be \"YYYY-MM-DD HH:MM:SS\", not '" + text + "'");
  return *value;
}

FormatSettings SettingsForLocale(const std::string& name) {
  const QLocale locale(QString::fromStdString(name));
  const bool isCLocale = name == "C" || name == "POSIX" || name.rfind("C.", 0) == 0;
  // QLocale falls back to C for a name it does not know; that would silently change every date.
  if (locale.language() == QLocale::C && !isCLocale) throw UsageError("unknown locale '" + name + "'");
  return FormatSettingsFromLocale(locale);
}

Context ReadContext(const Options& options, const Clock& clock) {
  Context context;
  context.configPath = options.Get("config").value_or(ConfigFilePath());
  context.now = options.Get("now") ? ParseNow(*options.Get("now")) : clock.Now();
  context.settings = options.Get("locale") ? SettingsForLocale(*options.Get("locale")) : UserFormatSettings();
  return context;
}

void WriteTabSeparated(std::ostream& out, const std::array<std::string, 12>& texts) {
  for (std::size_t i = 0; i < texts.size(); ++i) {
    if (i > 0) out << '\t';
    out << texts[i];
  }
  out << '\n';
}

int List(const std::vector<std::string>& arguments, std::ostream& out, const Clock& clock) {
  const Context context = ReadContext(Options(arguments, 1, {"config", "now", "locale"}), clock);
  const IniFile file(context.configPath);
  const EventList list = LoadEventList(file, context.now, context.settings);
  for (const EventRow& row : list.rows) WriteTabSeparated(out, RowTexts(row, context.now, context.settings));
  return kExitOk;
}

/// A text as one TAB-separated field: a TAB inside it (a title may hold one) becomes a blank.
std::string Field(std::string text) {
  std::replace(text.begin(), text.end(), '\t', ' ');
  return text;
}

/// What the reminder search makes pending at --now, Reminded marks included, as
/// section, remind moment, title and the sentence built at --now; nothing when no reminder is pending.
/// Reads the file only: no mark is cleared or set.
int Next(const std::vector<std::string>& arguments, std::ostream& out, const Clock& clock) {
  const Context context = ReadContext(Options(arguments, 1, {"config", "now", "locale"}), clock);
  const IniFile file(context.configPath);
  TNextReminder next;
  TReminderWay way;
  FindNextReminder(file, context.now, context.settings, next, way);
  if (!next.bFound) return kExitOk;
  static const FormatSettings kIso;
  const ManualClock at(context.now);
  out << Field(next.strSection) << '\t' << FormatDateTime(kIsoPattern, next.dtRemindTime, kIso) << '\t'
      << Field(next.strTitle) << '\t' << Field(BuildSpanSentence(next, way, at, context.settings)) << '\n';
  return kExitOk;
}

using Command = std::function<int(const std::vector<std::string>&, std::ostream&, const Clock&)>;

const std::map<std::string_view, Command>& Commands() {
  static const std::map<std::string_view, Command> commands{{"list", List}, {"next", Next}};
  return commands;
}

}  // namespace

int Run(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err, const Clock& clock) {
  try {
    if (arguments.empty()) throw UsageError("no command given");
    if (arguments[0] == "--help" || arguments[0] == "-h") {
      out << kUsage;
      return kExitOk;
    }
    const auto command = Commands().find(arguments[0]);
    if (command == Commands().end()) throw UsageError("unknown command '" + arguments[0] + "'");
    return command->second(arguments, out, clock);
  } catch (const UsageError& error) {
    err << "almanex-cli: " << error.what() << '\n' << kUsage;
    return kExitUsage;
  }
}

}  // namespace almanex::cli
