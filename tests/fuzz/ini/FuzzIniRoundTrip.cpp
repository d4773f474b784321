// Fuzz target: the profile file's reader and writer.
//
// Input: the file's bytes, then, after an RS byte, writes to make, one per record:
//   W <US> section <US> key <US> value     IniFile::WriteString
//   E <US> section                         IniFile::EraseSection
// Checks, for the file as given and again for the file the writes produced:
// - IniFile lists the sections and reads every value (and integer) the slow reference reader does;
// - after Flush, and through a fresh IniFile, each written value reads back, each erased section is
//   gone, and every other value reads as before;
// - the same writes to a copy of the file that has a second name (a hard link, which the store never
//   writes in place) leave the same bytes: a commit written in place is the replace's file.

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "datetime/FormatSettings.h"
#include "store/IniFile.h"
#include "tests/fuzz/FuzzSupport.h"
#include "tests/fuzz/ini/ReferenceIni.h"

namespace almanex::fuzz {
namespace {

// Enough names to cover any file the fuzzer makes, few enough to keep the pairwise reads fast.
constexpr std::size_t kMaxNames = 40;

struct Write {
  bool erase = false;
  std::string section;
  std::string key;
  std::string value;
};

void AddUnique(std::vector<std::string>& names, std::string_view name) {
  if (names.size() >= kMaxNames) return;
  if (std::find(names.begin(), names.end(), name) == names.end()) names.emplace_back(name);
}

std::string Describe(std::string_view what, std::string_view section, std::string_view key,
                     const std::optional<std::string_view>& got, const std::optional<std::string>& expected) {
  return std::string(what) + " [" + Escaped(section) + "] " + Escaped(key) + ": IniFile " +
         (got ? "\"" + Escaped(*got) + "\"" : std::string("(none)")) + ", expected " +
         (expected ? "\"" + Escaped(*expected) + "\"" : std::string("(none)"));
}

/// IniFile against the reference reader on the same bytes: the section list and every value.
void CompareWithReference(const IniFile& file, const ReferenceIni& reference, const std::vector<std::string>& sections,
                          const std::vector<std::string>& keys, std::string_view when) {
  const std::vector<std::string> listed = file.SectionNames();
  const std::vector<std::string> expected = reference.SectionNames();
  ALMANEX_FUZZ_CHECK(listed == expected, std::string(when) + ": section lists differ");
  for (const std::string& section : sections) {
    const bool listedThere = std::any_of(expected.begin(), expected.end(), [&](const std::string& name) {
      return ReferenceSameName(name, ReferenceSectionName(section));
    });
    ALMANEX_FUZZ_CHECK(file.SectionExists(section) == listedThere,
                       std::string(when) + ": SectionExists [" + Escaped(section) + "]");
    for (const std::string& key : keys) {
      const std::optional<std::string_view> got = file.ReadValue(section, key);
      const std::optional<std::string> want = reference.Lookup(section, key);
      ALMANEX_FUZZ_CHECK(got == want, Describe(when, section, key, got, want));
      if (want) {
        ALMANEX_FUZZ_CHECK(file.ReadInteger(section, key, 7) == ReferenceInteger(*want).value_or(7),
                           std::string(when) + ": ReadInteger of \"" + Escaped(*want) + "\"");
      }
    }
  }
}

/// The values the file should hold after the writes: what the reference read before, with the writes on top.
class Model {
 public:
  explicit Model(const ReferenceIni& before) : before_(before) {}

  void Apply(const Write& write) {
    Section& section = Find(ReferenceSectionName(write.section));
    if (write.erase) {
      section.erased = true;
      section.keys.clear();
      return;
    }
    const std::string key = ReferenceKeyName(write.key);
    for (auto& [name, value] : section.keys) {
      if (ReferenceSameName(name, key)) {
        value = ReferenceReadBack(write.value);
        return;
      }
    }
    section.keys.emplace_back(key, ReferenceReadBack(write.value));
  }

  std::optional<std::string> Expected(std::string_view sectionName, std::string_view keyName) const {
    const std::string cleanSection = ReferenceSectionName(sectionName);
    const std::string cleanKey = ReferenceKeyName(keyName);
    for (const Section& section : sections_) {
      if (!ReferenceSameName(section.name, cleanSection)) continue;
      for (const auto& [name, value] : section.keys) {
        if (ReferenceSameName(name, cleanKey)) return value;
      }
      if (section.erased) return std::nullopt;
    }
    return before_.Lookup(sectionName, keyName);
  }

 private:
  struct Section {
    std::string name;
    bool erased = false;
    std::vector<std::pair<std::string, std::string>> keys;
  };
  Section& Find(const std::string& name) {
    for (Section& section : sections_) {
      if (ReferenceSameName(section.name, name)) return section;
    }
    sections_.push_back(Section{name, false, {}});
    return sections_.back();
  }

  const ReferenceIni& before_;
  std::vector<Section> sections_;
};

std::vector<Write> ParseWrites(std::string_view text) {
  std::vector<Write> writes;
  for (const std::string_view record : Split(text, kRecordSeparator)) {
    const std::vector<std::string_view> fields = Split(record, kFieldSeparator);
    if (fields[0] == "W" && fields.size() >= 4) {
      writes.push_back(Write{false, std::string(fields[1]), std::string(fields[2]), std::string(fields[3])});
    } else if (fields[0] == "E" && fields.size() >= 2) {
      writes.push_back(Write{true, std::string(fields[1]), {}, {}});
    }
    if (writes.size() >= 32) break;
  }
  return writes;
}

}  // namespace
}  // namespace almanex::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace almanex;
  using namespace almanex::fuzz;
  const std::string_view input = AsText(data, size);
  const std::size_t split = input.find(kRecordSeparator);
  const std::string_view bytes = input.substr(0, split);
  const std::vector<Write> writes =
      split == std::string_view::npos ? std::vector<Write>{} : ParseWrites(input.substr(split + 1));

  const std::string path = ScratchFolder() + "/Config.INI";
  const std::string linked = ScratchFolder() + "/Linked.INI";
  const std::string secondName = ScratchFolder() + "/Linked-second-name.INI";
  for (const std::string& file : {path, linked}) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  std::filesystem::remove(secondName);
  std::filesystem::create_hard_link(linked, secondName);

  const ReferenceIni before(bytes);
  std::vector<std::string> sections;
  std::vector<std::string> keys;
  for (const std::string& name : before.SectionNames()) AddUnique(sections, name);
  for (const Write& write : writes) AddUnique(sections, write.section);
  for (const std::string& key : before.AllKeys()) AddUnique(keys, key);
  for (const Write& write : writes) {
    if (!write.erase) AddUnique(keys, write.key);
  }

  Model model(before);
  {
    IniFile file(path);
    CompareWithReference(file, before, sections, keys, "as read");
    // Dates, times and the formats section are read too: no check beyond the sanitizers.
    const FormatSettings settings;
    for (const std::string& section : sections) {
      for (const std::string& key : keys) {
        (void)file.ReadDate(section, key, 45000.0, settings);
        (void)file.ReadTime(section, key, 45000.5, settings);
      }
    }
    if (writes.empty()) return 0;

    for (const Write& write : writes) {
      if (write.erase) {
        file.EraseSection(write.section);
      } else {
        file.WriteString(write.section, write.key, write.value);
      }
      model.Apply(write);
    }
    for (const std::string& section : sections) {
      for (const std::string& key : keys) {
        const std::optional<std::string_view> got = file.ReadValue(section, key);
        const std::optional<std::string> want = model.Expected(section, key);
        ALMANEX_FUZZ_CHECK(got == want, Describe("pending", section, key, got, want));
      }
    }
    file.Flush();
  }
  {
    IniFile replaced(linked);
    for (const Write& write : writes) {
      if (write.erase) {
        replaced.EraseSection(write.section);
      } else {
        replaced.WriteString(write.section, write.key, write.value);
      }
    }
    replaced.Flush();
  }

  const std::string after = FileBytes(path);
  ALMANEX_FUZZ_CHECK(after == FileBytes(linked), "a commit written in place differs from the replace: \"" +
                                                     Escaped(after) + "\" against \"" + Escaped(FileBytes(linked)) +
                                                     "\"");
  const ReferenceIni reread(after);
  const IniFile file(path);
  CompareWithReference(file, reread, sections, keys, "after the commit");
  for (const std::string& section : sections) {
    for (const std::string& key : keys) {
      const std::optional<std::string_view> got = file.ReadValue(section, key);
      const std::optional<std::string> want = model.Expected(section, key);
      ALMANEX_FUZZ_CHECK(got == want, Describe("committed", section, key, got, want) + "\n  file: " + Escaped(after));
    }
  }
  return 0;
}
