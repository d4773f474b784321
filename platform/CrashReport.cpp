#include "CrashReport.h"

#include <execinfo.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <QClipboard>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "CommUnit.h"
#include "FailureHandler.h"
#include "WidgetsAvailable.h"
#include "base/UserFolders.h"

namespace almanex {

namespace {

namespace fs = std::filesystem;

constexpr int kFatalSignals[] = {SIGSEGV, SIGABRT, SIGBUS, SIGFPE, SIGILL};
constexpr int kMaxFrames = 64;
constexpr char kReportPrefix[] = "crash-";
constexpr char kReportSuffix[] = ".txt";
constexpr char kSeenSuffix[] = ".seen";
constexpr std::size_t kKeptSeenReports = 10;

// Everything the handler writes is prepared here before any crash: a handler may not allocate.
char reportPathPrefix[4096];  // "<folder>/crash-", empty without a folder
char programDescription[16384];
std::size_t programDescriptionLength = 0;
// The stack the handler runs on, so that it can run after the thread's own stack overflowed.
alignas(16) char alternateStack[128 * 1024];
std::atomic<bool> reporting{false};

// ---- async-signal-safe output: write(2) only, no stdio, no allocation ----

void Put(int fd, const char* text, std::size_t length) {
  while (length > 0) {
    const ssize_t written = write(fd, text, length);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;
    text += written;
    length -= static_cast<std::size_t>(written);
  }
}

void Put(int fd, const char* text) { Put(fd, text, std::strlen(text)); }

/// Writes `value` in decimal (base 10) or hexadecimal with "0x" (base 16).
void PutNumber(int fd, unsigned long long value, unsigned base = 10) {
  char buffer[24];
  char* end = buffer + sizeof buffer;
  char* digit = end;
  do {
    *--digit = "0123456789abcdef"[value % base];
    value /= base;
  } while (value != 0);
  if (base == 16) Put(fd, "0x");
  Put(fd, digit, static_cast<std::size_t>(end - digit));
}

/// Appends `text` to the NUL-terminated `buffer` of `size` bytes; false when it does not fit.
bool Append(char* buffer, std::size_t size, const char* text) {
  const std::size_t used = std::strlen(buffer);
  const std::size_t length = std::strlen(text);
  if (used + length + 1 > size) return false;
  std::memcpy(buffer + used, text, length + 1);
  return true;
}

bool AppendNumber(char* buffer, std::size_t size, unsigned long long value) {
  char digits[24];
  char* digit = digits + sizeof digits;
  *--digit = '\0';
  do {
    *--digit = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  return Append(buffer, size, digit);
}

/// Writes `digits` decimal digits of `value`, with leading zeros.
void PutPadded(int fd, unsigned long long value, int digits) {
  char buffer[20];
  for (int index = digits - 1; index >= 0; --index) {
    buffer[index] = static_cast<char>('0' + value % 10);
    value /= 10;
  }
  Put(fd, buffer, static_cast<std::size_t>(digits));
}

}  // namespace

void WriteUtcTime(int fd, long long seconds) {
  const long long days = seconds >= 0 ? seconds / 86400 : (seconds - 86399) / 86400;
  const long long secondOfDay = seconds - days * 86400;  // [0, 86399]
  // The civil date of a day number (days since 1970-01-01), in eras of 400 years from 0000-03-01.
  const long long shifted = days + 719468;
  const long long era = (shifted >= 0 ? shifted : shifted - 146096) / 146097;
  const long long dayOfEra = shifted - era * 146097;                                                      // [0, 146096]
  const long long yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;  // [0, 399]
  const long long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);             // [0, 365]
  const long long monthIndex = (5 * dayOfYear + 2) / 153;                                                 // [0, 11]
  const long long day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;                                       // [1, 31]
  const long long month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;                              // [1, 12]
  const long long year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
  if (year < 0 || year > 9999) return;
  PutPadded(fd, static_cast<unsigned long long>(year), 4);
  Put(fd, "-");
  PutPadded(fd, static_cast<unsigned long long>(month), 2);
  Put(fd, "-");
  PutPadded(fd, static_cast<unsigned long long>(day), 2);
  Put(fd, " ");
  PutPadded(fd, static_cast<unsigned long long>(secondOfDay / 3600), 2);
  Put(fd, ":");
  PutPadded(fd, static_cast<unsigned long long>(secondOfDay / 60 % 60), 2);
  Put(fd, ":");
  PutPadded(fd, static_cast<unsigned long long>(secondOfDay % 60), 2);
  Put(fd, " UTC");
}

namespace {

/// Copies /proc/self/maps to `fd` through a buffer on the stack.
void PutMappedFiles(int fd) {
  const int maps = open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
  if (maps < 0) return;
  char buffer[4096];
  for (;;) {
    const ssize_t count = read(maps, buffer, sizeof buffer);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) break;
    Put(fd, buffer, static_cast<std::size_t>(count));
  }
  close(maps);
}

void WriteCrashReport(int number, const siginfo_t* info) {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  char path[sizeof reportPathPrefix + 64] = "";
  int fd = -1;
  if (reportPathPrefix[0] != '\0' && Append(path, sizeof path, reportPathPrefix) &&
      AppendNumber(path, sizeof path, static_cast<unsigned long long>(now.tv_sec)) && Append(path, sizeof path, "-") &&
      AppendNumber(path, sizeof path, static_cast<unsigned long long>(getpid())) &&
      Append(path, sizeof path, kReportSuffix)) {
    fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
  }
  const int out = fd >= 0 ? fd : STDERR_FILENO;
  Put(out, "Almanex crash report\nSignal: ");
  PutNumber(out, static_cast<unsigned>(number));
  Put(out, " (");
  Put(out, FatalSignalName(number));
  Put(out, ")\n");
  if (info != nullptr) {
    Put(out, "Code: ");
    if (info->si_code < 0) Put(out, "-");
    PutNumber(out, static_cast<unsigned>(info->si_code < 0 ? -info->si_code : info->si_code));
    Put(out, "\n");
    if (number != SIGABRT) {
      Put(out, "Address: ");
      PutNumber(out, reinterpret_cast<std::uintptr_t>(info->si_addr), 16);
      Put(out, "\n");
    }
  }
  Put(out, "Time: ");
  WriteUtcTime(out, static_cast<long long>(now.tv_sec));
  Put(out, " (");
  PutNumber(out, static_cast<unsigned long long>(now.tv_sec));
  Put(out, ")\n");
  Put(out, programDescription, programDescriptionLength);
  Put(out,
      "\nCall Stack\nThe first frames are the report's own, then the signal's return into the C library; the frames "
      "after it are those of the crash. Each frame is module(symbol+offset)[address]; addr2line -e module offset "
      "names a line.\n");
  void* frames[kMaxFrames];
  const int count = backtrace(frames, kMaxFrames);
  backtrace_symbols_fd(frames, count, out);
  Put(out, "\nModules\n");
  PutMappedFiles(out);
  if (fd >= 0) {
    close(fd);
    Put(STDERR_FILENO, "Almanex: fatal signal ");
    Put(STDERR_FILENO, FatalSignalName(number));
    Put(STDERR_FILENO, "; report written to ");
    Put(STDERR_FILENO, path);
    Put(STDERR_FILENO, "\n");
  }
}

void SetDefaultAction(int number) {
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  sigaction(number, &action, nullptr);
}

void FatalSignalHandler(int number, siginfo_t* info, void*) {
  const int savedErrno = errno;
  // The default action first: a fault inside the report itself then ends the process as the signal would.
  SetDefaultAction(number);
  if (!reporting.exchange(true)) WriteCrashReport(number, info);
  errno = savedErrno;
  // The signal is blocked while this handler runs: it comes again on return, now with its default action
  // (end, with a core dump). A fault of the program comes again anyway when its instruction is retried.
  raise(number);
}

void CreatePrivateFolder(const std::string& folder) {
  std::error_code error;
  if (fs::is_directory(folder, error)) return;
  fs::create_directories(fs::path(folder).parent_path(), error);
  if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return;
}

class DefaultCrashReportViewer final : public CrashReportViewer {
 public:
  void Show(const std::string& path, const std::string& text) override {
    if (!CanShowWidgets()) {
      const std::string shown = "Report of the previous run (" + path + "):\n" + text;
      std::fwrite(shown.data(), 1, shown.size(), stderr);
      return;
    }
    QDialog dialog;
    dialog.setObjectName("CrashReportViewer");
    dialog.setWindowTitle("Almanex");
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.resize(720, 480);
    auto* layout = new QVBoxLayout(&dialog);
    auto* label = new QLabel(QString::fromStdString("Report of the previous run: " + path), &dialog);
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(label);
    auto* view = new QPlainTextEdit(QString::fromStdString(text), &dialog);
    view->setObjectName("CrashReportText");
    view->setReadOnly(true);
    view->setLineWrapMode(QPlainTextEdit::NoWrap);
    view->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    layout->addWidget(view, 1);
    auto* buttons = new QDialogButtonBox(&dialog);
    QPushButton* copy = buttons->addButton("Copy report", QDialogButtonBox::ActionRole);
    QPushButton* close = buttons->addButton("Close", QDialogButtonBox::RejectRole);
    close->setDefault(true);
    layout->addWidget(buttons);
    const QString reportText = QString::fromStdString(text);
    QObject::connect(copy, &QPushButton::clicked, &dialog,
                     [reportText] { QGuiApplication::clipboard()->setText(reportText); });
    QObject::connect(close, &QPushButton::clicked, &dialog, &QDialog::reject);
    dialog.exec();
  }
};

std::atomic<CrashReportViewer*> installedViewer{nullptr};

CrashReportViewer& CurrentViewer() {
  static DefaultCrashReportViewer defaultViewer;
  CrashReportViewer* viewer = installedViewer.load();
  return viewer != nullptr ? *viewer : defaultViewer;
}

bool EndsWith(const std::string& text, std::string_view end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

/// At most the first mebibyte of a report: a garbled or huge file must not stall the start.
std::string ReadReport(const std::string& path) {
  constexpr std::size_t kLimit = 1 << 20;
  std::ifstream file(path, std::ios::binary);
  std::string text(kLimit, '\0');
  file.read(text.data(), static_cast<std::streamsize>(kLimit));
  text.resize(static_cast<std::size_t>(file.gcount()));
  return text;
}

}  // namespace

std::string CrashReportFolder() {
  const std::string state = XdgBaseFolder("XDG_STATE_HOME", ".local/state");
  return (state.empty() ? std::string("/tmp/.local/state") : state) + "/Almanex";
}

const char* FatalSignalName(int signalNumber) {
  switch (signalNumber) {
    case SIGSEGV:
      return "SIGSEGV";
    case SIGABRT:
      return "SIGABRT";
    case SIGBUS:
      return "SIGBUS";
    case SIGFPE:
      return "SIGFPE";
    case SIGILL:
      return "SIGILL";
    default:
      return "signal";
  }
}

bool InstallFatalSignalHandler() {
  const std::string folder = CrashReportFolder();
  CreatePrivateFolder(folder);
  std::error_code error;
  reportPathPrefix[0] = '\0';
  if (fs::is_directory(folder, error)) {
    const std::string prefix = folder + "/" + kReportPrefix;
    if (prefix.size() < sizeof reportPathPrefix) std::memcpy(reportPathPrefix, prefix.c_str(), prefix.size() + 1);
  }
  const std::string description = GeneralFailureInformation(std::nullopt);
  programDescriptionLength = std::min(description.size(), sizeof programDescription);
  std::memcpy(programDescription, description.data(), programDescriptionLength);

  // The first backtrace() loads the unwinder library, which a signal handler could not do safely.
  void* warm[2];
  backtrace(warm, 2);

  stack_t current{};
  if (sigaltstack(nullptr, &current) == 0 && (current.ss_flags & SS_DISABLE) != 0) {
    stack_t alternate{};
    alternate.ss_sp = alternateStack;
    alternate.ss_size = sizeof alternateStack;
    sigaltstack(&alternate, nullptr);
  }
  bool installed = true;
  for (const int number : kFatalSignals) {
    struct sigaction action {};
    action.sa_sigaction = &FatalSignalHandler;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    installed = sigaction(number, &action, nullptr) == 0 && installed;
  }
  return installed;
}

void ForgoAbortReport() { SetDefaultAction(SIGABRT); }

namespace {

struct FoundReport {
  fs::file_time_type time;
  std::string path;
};

/// The files of `folder` named "crash-*" + `suffix`, the newest first.
std::vector<std::string> ReportsEndingWith(const std::string& folder, std::string_view suffix) {
  using Found = FoundReport;
  std::vector<Found> found;
  std::error_code error;
  for (fs::directory_iterator entry(folder, error), end; !error && entry != end; entry.increment(error)) {
    const std::string name = entry->path().filename().string();
    if (name.rfind(kReportPrefix, 0) != 0 || !EndsWith(name, suffix)) continue;
    std::error_code entryError;
    if (!entry->is_regular_file(entryError)) continue;
    found.push_back({entry->last_write_time(entryError), entry->path().string()});
  }
  std::sort(found.begin(), found.end(), [](const Found& left, const Found& right) {
    return left.time != right.time ? left.time > right.time : left.path > right.path;
  });
  std::vector<std::string> paths;
  paths.reserve(found.size());
  for (Found& report : found) paths.push_back(std::move(report.path));
  return paths;
}

}  // namespace

std::vector<std::string> UnseenCrashReports(const std::string& folder) {
  return ReportsEndingWith(folder, kReportSuffix);
}

void SetCrashReportViewer(CrashReportViewer* viewer) { installedViewer.store(viewer); }

std::string PreviousCrashNotice(const std::string& path) {
  return "Almanex ended abnormally the last time it ran.\r\n\r\nA report of the failure was saved as\r\n" + path +
         "\r\n\r\nPress OK to see it.";
}

bool OfferPreviousCrashReport() {
  try {
    const std::vector<std::string> reports = UnseenCrashReports(CrashReportFolder());
    if (reports.empty()) return false;
    const std::string text = ReadReport(reports.front());
    // Marked before anything is shown: should the showing fail, the report is still offered only once.
    std::string shownPath = reports.front();
    for (const std::string& report : reports) {
      const std::string seen = report + kSeenSuffix;
      if (std::rename(report.c_str(), seen.c_str()) == 0 && report == reports.front()) shownPath = seen;
    }
    // Reports offered long ago go, so that a program that crashes often does not fill the folder.
    const std::vector<std::string> seen =
        ReportsEndingWith(CrashReportFolder(), std::string(kReportSuffix) + kSeenSuffix);
    for (std::size_t index = kKeptSeenReports; index < seen.size(); ++index) std::remove(seen[index].c_str());
    try {
      CurrentMessageBoxPresenter().Show(
          MessageBoxRequest{PreviousCrashNotice(shownPath), "Information", MessageIcon::Information});
      CurrentViewer().Show(shownPath, text);
    } catch (...) {
      // A box or viewer that cannot be shown: the report stays in its folder for the user to find.
    }
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace almanex
