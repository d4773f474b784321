// The cache of regional formats that spares almanex-cli loading Qt: whatever the cache holds (nothing,
// a good entry, a garbled or stale one, another locale's), the formats are those Qt builds for the
// locale, and the cli prints the same.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <ostream>
#include <string>
#include <vector>

#include "platform/core/LocaleCache.h"
#include "platform/locale/LocaleBridge.h"
#include "tests/common/TestSupport.h"
#include "tests/tools/CliTestSupport.h"

namespace almanex {
namespace {

/// Every field of the formats in one text, so that two settings compare in one assertion.
std::string Describe(const FormatSettings& settings) { return LocaleCacheText({"", {}, {}, settings}); }

std::string Direct(const std::string& name) {
  const auto settings = FormatSettingsForLocaleName(name);
  return settings ? Describe(*settings) : "unknown";
}

class LocaleCacheTest : public testing::Test {
 protected:
  test::TempDir folder;
  LocaleFormatsSource source{folder.File("cache"), ALMANEX_LOCALE_MODULE};

  std::string CacheFile(const std::optional<std::string>& name) const {
    return source.cacheFolder + "/" + LocaleCacheFileName(*LocaleCacheKey(name), name);
  }
  /// The entry of a cache file, which must be valid.
  LocaleCacheEntry EntryOf(const std::optional<std::string>& name) const {
    const auto entry = ParseLocaleCacheText(test::ReadFileBytes(CacheFile(name)));
    EXPECT_TRUE(entry.has_value());
    return entry.value_or(LocaleCacheEntry{});
  }
};

TEST_F(LocaleCacheTest, MissBuildsWithQtAndStoresTheEntry) {
  EXPECT_FALSE(test::FileExists(CacheFile("de_DE")));
  EXPECT_EQ(Describe(CachedFormatSettings("de_DE", source)), Direct("de_DE"));
  const LocaleCacheEntry entry = EntryOf("de_DE");
  EXPECT_EQ(entry.key, "name de_DE");
  EXPECT_EQ(entry.module, StampOf(ALMANEX_LOCALE_MODULE));
  EXPECT_NE(entry.qtCore.path.find("libQt6Core"), std::string::npos) << entry.qtCore.path;
  EXPECT_EQ(Describe(entry.settings), Direct("de_DE"));
}

TEST_F(LocaleCacheTest, HitAnswersFromTheFileWithoutTheModule) {
  CachedFormatSettings("de_DE", source);
  // An entry changed behind the cache's back (with a valid check line) is what a hit returns: the
  // answer comes from the file, and with no module to load at all.
  LocaleCacheEntry entry = EntryOf("de_DE");
  entry.settings.longMonthNames[0] = "Hartung";
  test::WriteFileBytes(CacheFile("de_DE"), LocaleCacheText(entry));
  LocaleFormatsSource noModule = source;
  noModule.modulePath.clear();
  EXPECT_EQ(CachedFormatSettings("de_DE", noModule).longMonthNames[0], "Hartung");
  EXPECT_EQ(CachedFormatSettings("de_DE", source).longMonthNames[0], "Hartung");
}

struct Garble {
  const char* name;
  /// Turns a valid cache file into the file under test.
  std::string (*apply)(const std::string& valid);
};

void PrintTo(const Garble& garble, std::ostream* out) { *out << garble.name; }

/// A valid file of another entry: its check line is right, its content does not fit.
std::string Rewritten(const std::string& valid, void (*change)(LocaleCacheEntry&)) {
  LocaleCacheEntry entry = ParseLocaleCacheText(valid).value();
  change(entry);
  return LocaleCacheText(entry);
}

const Garble kGarbles[] = {
    {"Empty", [](const std::string&) { return std::string(); }},
    {"CutInHalf", [](const std::string& valid) { return valid.substr(0, valid.size() / 2); }},
    {"CheckLineMissing", [](const std::string& valid) { return valid.substr(0, valid.rfind("Check=")); }},
    {"OneByteChanged",
     [](const std::string& valid) {
       std::string bytes = valid;
       bytes[bytes.find("ShortDateFormat=") + 16] ^= 1;
       return bytes;
     }},
    {"Binary",
     [](const std::string&) {
       return std::string(
           "\x7F"
           "ELF\0\0\x01\xFF",
           8);
     }},
    {"TooLarge", [](const std::string& valid) { return valid + std::string(70000, 'x'); }},
    {"AnotherLocalesKey",
     [](const std::string& valid) { return Rewritten(valid, [](LocaleCacheEntry& e) { e.key = "name en_US"; }); }},
    {"OlderModule",
     [](const std::string& valid) { return Rewritten(valid, [](LocaleCacheEntry& e) { e.module.modified -= 1; }); }},
    {"UpdatedQtCore",
     [](const std::string& valid) { return Rewritten(valid, [](LocaleCacheEntry& e) { e.qtCore.size += 1; }); }},
    {"QtCoreGone",
     [](const std::string& valid) {
       return Rewritten(valid, [](LocaleCacheEntry& e) { e.qtCore.path = "/nonexistent/libQt6Core.so.6"; });
     }},
    {"EmptyPattern",
     [](const std::string& valid) {
       return Rewritten(valid, [](LocaleCacheEntry& e) { e.settings.shortDateFormat.clear(); });
     }},
};

class LocaleCacheGarbled : public LocaleCacheTest, public testing::WithParamInterface<Garble> {};

TEST_P(LocaleCacheGarbled, IsRebuiltFromQt) {
  CachedFormatSettings("de_DE", source);
  test::WriteFileBytes(CacheFile("de_DE"), GetParam().apply(test::ReadFileBytes(CacheFile("de_DE"))));
  EXPECT_EQ(Describe(CachedFormatSettings("de_DE", source)), Direct("de_DE"));
  // The bad file has been replaced by a good one.
  const LocaleCacheEntry entry = EntryOf("de_DE");
  EXPECT_EQ(entry.key, "name de_DE");
  EXPECT_EQ(Describe(entry.settings), Direct("de_DE"));
}

INSTANTIATE_TEST_SUITE_P(Files, LocaleCacheGarbled, testing::ValuesIn(kGarbles),
                         [](const testing::TestParamInfo<Garble>& info) { return std::string(info.param.name); });

TEST_F(LocaleCacheTest, EachLocaleHasItsOwnEntry) {
  for (int round = 0; round < 2; ++round) {  // the first round builds, the second hits
    for (const char* name : {"de_DE", "en_US", "fr_FR", "ar_EG", "C"}) {
      EXPECT_EQ(Describe(CachedFormatSettings(name, source)), Direct(name)) << name << " round " << round;
    }
  }
}

/// Sets a variable for the life of the object.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const char* value) : name_(name) {
    if (const char* old = getenv(name)) old_ = old;
    setenv(name, value, 1);
  }
  ~ScopedVariable() { old_ ? setenv(name_, old_->c_str(), 1) : unsetenv(name_); }
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST_F(LocaleCacheTest, UserLocaleFollowsTheEnvironment) {
  // QLocale::system() reads the environment once per process; the builder is asked for the user's
  // locale in the environment of the process, so only the keys are compared across a change.
  const auto before = LocaleCacheKey(std::nullopt);
  std::string changed;
  {
    const ScopedVariable time("LC_TIME", "de_DE.UTF-8");
    changed = *LocaleCacheKey(std::nullopt);
  }
  EXPECT_NE(*before, changed);
  EXPECT_NE(changed.find("LC_TIME=de_DE.UTF-8"), std::string::npos) << changed;
  EXPECT_NE(LocaleCacheFileName(*before, std::nullopt), LocaleCacheFileName(changed, std::nullopt));
  const ScopedVariable bad("LC_TIME", "de_DE\n");
  EXPECT_FALSE(LocaleCacheKey(std::nullopt).has_value());  // never cached, always built
  EXPECT_EQ(Describe(CachedFormatSettings(std::nullopt, source)), Describe(UserFormatSettings()));
}

TEST_F(LocaleCacheTest, UnknownLocaleIsRefusedAndNotCached) {
  EXPECT_THROW(CachedFormatSettings("xx_NOWHERE", source), EUnknownLocale);
  EXPECT_FALSE(test::FileExists(CacheFile("xx_NOWHERE")));
}

TEST_F(LocaleCacheTest, NoModuleAndNoCacheIsAnError) {
  LocaleFormatsSource missing{source.cacheFolder, folder.File("missing.so")};
  EXPECT_THROW(CachedFormatSettings("de_DE", missing), ELocaleFormatsUnavailable);
  missing.modulePath.clear();
  EXPECT_THROW(CachedFormatSettings("de_DE", missing), ELocaleFormatsUnavailable);
}

TEST_F(LocaleCacheTest, UnwritableCacheFolderStillGivesTheFormats) {
  test::WriteFileBytes(folder.File("file"), "");
  const LocaleFormatsSource blocked{folder.File("file") + "/cache", ALMANEX_LOCALE_MODULE};
  EXPECT_EQ(Describe(CachedFormatSettings("de_DE", blocked)), Direct("de_DE"));
}

TEST(LocaleCacheText, KeepsEveryByteOfEveryValue) {
  LocaleCacheEntry entry{"name odd\\one", {"/lib/a b.so", 1, 2}, {"/lib/Qt\\Core", 3, 4}, {}};
  entry.settings.timeAmString = "vorm.\nline\rback\\slash\x01\x7F";
  entry.settings.thousandSeparator = "\u202F";
  entry.settings.longDayNames[6] = "";
  const auto read = ParseLocaleCacheText(LocaleCacheText(entry));
  ASSERT_TRUE(read.has_value());
  EXPECT_EQ(read->key, entry.key);
  EXPECT_EQ(read->module, entry.module);
  EXPECT_EQ(read->qtCore, entry.qtCore);
  EXPECT_EQ(Describe(read->settings), Describe(entry.settings));
  EXPECT_EQ(read->settings.timeAmString, entry.settings.timeAmString);
}

// The cli's output does not depend on the state of the cache.
const std::string kFixture = std::string(ALMANEX_FIXTURES) + "/events.ini";

test::CliResult RunList(const char* locale) {
  return test::RunCliAt(test::MakeDateTime(2026, 12, 25, 12),
                        {"list", "--config", kFixture, "--now", "2026-12-25 12:00:00", "--locale", locale});
}

TEST(CliLocaleCache, ListPrintsTheSameOnMissHitGarbleAndLocaleChange) {
  test::TempDir folder;
  const ScopedVariable cache("XDG_CACHE_HOME", folder.File("cache").c_str());
  const LocaleFormatsSource source = DefaultLocaleFormatsSource();
  EXPECT_EQ(source.cacheFolder, folder.File("cache") + "/Almanex");
  EXPECT_FALSE(source.modulePath.empty());  // copied beside the test binary
  const std::string german = source.cacheFolder + "/" + LocaleCacheFileName("name de_DE", "de_DE");

  const test::CliResult miss = RunList("de_DE");
  ASSERT_EQ(miss.status, 0) << miss.err;
  ASSERT_TRUE(test::FileExists(german));
  EXPECT_EQ(RunList("de_DE").out, miss.out);  // hit
  const test::CliResult english = RunList("en_US");
  EXPECT_NE(english.out, miss.out);
  test::WriteFileBytes(german, "garbled");
  EXPECT_EQ(RunList("de_DE").out, miss.out);
  EXPECT_EQ(RunList("en_US").out, english.out);
  EXPECT_NE(test::ReadFileBytes(german), "garbled");
}

}  // namespace
}  // namespace almanex
