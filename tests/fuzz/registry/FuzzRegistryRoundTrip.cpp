// Fuzz target: the settings store (platform/Registry.h), through its public interface only.
//
// Input: the store file's bytes (none: no file), then, after an RS byte, operations on one key
// object, one per record:
//   K <US> key path <US> 0 or 1     Open (1: create)
//   S <US> name <US> value          WriteString
//   D <US> name <US> number         WriteDword (decimal)
//   C                               Close
// Checks: after the operations and a last Close, every value named in them reads, through a new key
// object, as the last write left it; a value not written reads as it did before; writes to an open key
// and each commit succeed; a store that cannot be read is never changed.

#include <QString>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "base/TextEncoding.h"
#include "base/Trace.h"
#include "platform/Registry.h"
#include "tests/fuzz/FuzzSupport.h"

namespace almanex::fuzz {
namespace {

struct Operation {
  char kind = 'C';
  std::string first;
  std::string second;
};

/// What reading a value gives, whatever its type: nothing (no such key or value), a string, a DWORD, or
/// a value of another type.
struct Observed {
  enum class Kind { Missing, String, Dword, OtherType, Failed } kind = Kind::Missing;
  std::string text;
  std::uint32_t dword = 0;
  RegistryStatus status = RegistryStatus::Ok;
  bool operator==(const Observed& other) const {
    return kind == other.kind && text == other.text && dword == other.dword && status == other.status;
  }
};

std::string Describe(const Observed& observed) {
  switch (observed.kind) {
    case Observed::Kind::Missing:
      return "(missing)";
    case Observed::Kind::String:
      return "\"" + Escaped(observed.text) + "\"";
    case Observed::Kind::Dword:
      return "dword " + std::to_string(observed.dword);
    case Observed::Kind::OtherType:
      return "(another type)";
    case Observed::Kind::Failed:
      return "(status " + std::to_string(static_cast<int>(observed.status)) + ")";
  }
  return "";
}

Observed Read(const std::string& store, std::string_view path, std::string_view name) {
  Observed observed;
  RegistryKey key;
  const RegistryStatus opened = key.Open(path, false, store);
  if (opened == RegistryStatus::NotFound) return observed;
  if (opened != RegistryStatus::Ok) {
    observed.kind = Observed::Kind::Failed;
    observed.status = opened;
    return observed;
  }
  const RegistryStatus asString = key.ReadString(name, observed.text);
  if (asString == RegistryStatus::Ok) {
    observed.kind = Observed::Kind::String;
    return observed;
  }
  observed.text.clear();
  const RegistryStatus asDword = key.ReadDword(name, observed.dword);
  if (asDword == RegistryStatus::Ok) {
    observed.kind = Observed::Kind::Dword;
  } else if (asString == RegistryStatus::NotFound && asDword == RegistryStatus::NotFound) {
    observed.kind = Observed::Kind::Missing;
  } else if (asString == RegistryStatus::WrongType && asDword == RegistryStatus::WrongType) {
    observed.kind = Observed::Kind::OtherType;
  } else {
    observed.kind = Observed::Kind::Failed;
    observed.status = asString;
  }
  observed.dword = observed.kind == Observed::Kind::Dword ? observed.dword : 0;
  return observed;
}

/// Valid UTF-8 as code points; QString::fromUtf8 is not used because it drops a leading byte-order mark,
/// which is a character of the name here.
QString DecodeUtf8(std::string_view text) {
  QString out;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = Utf8SequenceLength(text, i);
    const auto lead = static_cast<unsigned char>(text[i]);
    char32_t code = length == 1 ? lead : lead & (0xFF >> (length + 1));
    for (std::size_t k = 1; k < length; ++k) code = (code << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    // Appended as UTF-16 units: QString::fromUcs4 would read a U+FEFF as a byte-order mark and drop it.
    if (QChar::requiresSurrogates(code)) {
      out += QChar(QChar::highSurrogate(code));
      out += QChar(QChar::lowSurrogate(code));
    } else {
      out += QChar(static_cast<char16_t>(code));
    }
    i += length;
  }
  return out;
}

/// The comparison form of a name as the store documents it: without regard to case, Unicode case folding
/// for UTF-8 names, ASCII letters only for anything else.
std::string Folded(std::string_view name) {
  if (IsValidUtf8(name)) {
    const QByteArray folded = DecodeUtf8(name).toCaseFolded().toUtf8();
    return std::string(folded.constData(), static_cast<std::size_t>(folded.size()));
  }
  std::string out(name);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

std::string FoldedPath(std::string_view path) {
  if (!path.empty() && path.front() == '\\') path.remove_prefix(1);
  if (!path.empty() && path.back() == '\\') path.remove_suffix(1);
  return Folded(path);
}

std::vector<Operation> ParseOperations(std::string_view text) {
  std::vector<Operation> operations;
  for (const std::string_view record : Split(text, kRecordSeparator)) {
    const std::vector<std::string_view> fields = Split(record, kFieldSeparator);
    if (fields[0].size() != 1) continue;
    Operation operation{fields[0][0], fields.size() > 1 ? std::string(fields[1]) : std::string(),
                        fields.size() > 2 ? std::string(fields[2]) : std::string()};
    if (std::string_view("KSDC").find(operation.kind) == std::string_view::npos) continue;
    operations.push_back(std::move(operation));
    if (operations.size() >= 32) break;
  }
  return operations;
}

std::uint32_t Number(std::string_view text) {
  std::uint32_t value = 0;
  for (const char c : text) value = value * 10 + static_cast<std::uint32_t>(static_cast<unsigned char>(c) % 10);
  return value;
}

}  // namespace
}  // namespace almanex::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace almanex;
  using namespace almanex::fuzz;
  static FormattingSink sink;
  SetTracer(&sink);
  const std::string_view input = AsText(data, size);
  const std::size_t split = input.find(kRecordSeparator);
  const std::string_view bytes = input.substr(0, split);
  const std::vector<Operation> operations =
      split == std::string_view::npos ? std::vector<Operation>{} : ParseOperations(input.substr(split + 1));

  const std::string store = ScratchFolder() + "/Almanex/registry.reg";
  std::filesystem::remove_all(ScratchFolder() + "/Almanex");
  if (!bytes.empty()) {
    std::filesystem::create_directories(ScratchFolder() + "/Almanex");
    std::ofstream out(store, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }

  // Every (key, value name) pair the operations name, and what each held before.
  struct Pair {
    std::string path;
    std::string name;
    Observed before;
    std::optional<Observed> written;
  };
  std::vector<Pair> pairs;
  {
    std::vector<std::string> paths{""};
    std::vector<std::string> names;
    for (const Operation& operation : operations) {
      if (operation.kind == 'K' && paths.size() < 6) paths.push_back(operation.first);
      if ((operation.kind == 'S' || operation.kind == 'D') && names.size() < 8) names.push_back(operation.first);
    }
    for (const std::string& path : paths) {
      for (const std::string& name : names) pairs.push_back(Pair{path, name, Read(store, path, name), std::nullopt});
    }
  }
  const bool unreadable = !pairs.empty() && pairs.front().before.kind == Observed::Kind::Failed &&
                          pairs.front().before.status == RegistryStatus::Unreadable;

  RegistryKey key;
  std::optional<std::string> openPath;  // the key open in `key` that writes go to
  const auto close = [&] {
    const RegistryStatus closed = key.Close();
    if (openPath) {
      ALMANEX_FUZZ_CHECK(
          closed == RegistryStatus::Ok,
          "the commit of [" + Escaped(*openPath) + "] failed with status " + std::to_string(static_cast<int>(closed)));
    }
    openPath.reset();
  };
  for (const Operation& operation : operations) {
    switch (operation.kind) {
      case 'K': {
        close();
        const RegistryStatus opened = key.Open(operation.first, operation.second == "1", store);
        if (opened == RegistryStatus::Ok) openPath = operation.first;
        break;
      }
      case 'S':
      case 'D': {
        const bool isString = operation.kind == 'S';
        const RegistryStatus status = isString ? key.WriteString(operation.first, operation.second)
                                               : key.WriteDword(operation.first, Number(operation.second));
        if (!openPath) break;
        ALMANEX_FUZZ_CHECK(status == RegistryStatus::Ok, "a write to an open key failed");
        Observed value;
        value.kind = isString ? Observed::Kind::String : Observed::Kind::Dword;
        if (isString) value.text = operation.second;
        if (!isString) value.dword = Number(operation.second);
        for (Pair& pair : pairs) {
          if (FoldedPath(pair.path) == FoldedPath(*openPath) && Folded(pair.name) == Folded(operation.first)) {
            pair.written = value;
          }
        }
        break;
      }
      default:
        close();
        break;
    }
  }
  close();

  if (unreadable) {
    ALMANEX_FUZZ_CHECK(FileBytes(store) == bytes, "a store that cannot be read was changed");
    return 0;
  }
  for (const Pair& pair : pairs) {
    const Observed after = Read(store, pair.path, pair.name);
    const Observed& expected = pair.written ? *pair.written : pair.before;
    ALMANEX_FUZZ_CHECK(after == expected, "[" + Escaped(pair.path) + "] \"" + Escaped(pair.name) + "\" reads " +
                                              Describe(after) + ", expected " + Describe(expected) +
                                              "\n  file: " + Escaped(FileBytes(store)));
  }
  return 0;
}
