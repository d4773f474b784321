// almanex-locale-formats.so: the Qt locale builder that almanex-cli loads with dlopen only when its
// cache of the regional formats misses (platform/core/LocaleCache.h). The formats are those of
// platform/locale/LocaleBridge.h, the window's own source.

#include <dlfcn.h>

#include <QtGlobal>
#include <string>
#include <type_traits>

#include "platform/core/LocaleCache.h"
#include "platform/locale/LocaleBridge.h"

namespace {

/// The file of the Qt Core library this module runs on, for the cache to notice an update of Qt.
std::string QtCoreFile() {
  Dl_info info{};
  if (::dladdr(reinterpret_cast<void*>(&qVersion), &info) == 0 || info.dli_fname == nullptr) return {};
  return info.dli_fname;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int almanex_locale_formats_v2(const char* name,
                                                                                almanex::LocaleFormatsPut put,
                                                                                void* context) {
  static_assert(std::is_same_v<decltype(&almanex_locale_formats_v2), almanex::LocaleFormatsBuilder>);
  almanex::FormatSettings settings;
  if (name == nullptr) {
    settings = almanex::UserFormatSettings();
  } else if (auto named = almanex::FormatSettingsForLocaleName(name)) {
    settings = std::move(*named);
  } else {
    return 1;
  }
  for (const auto& [field, value] : almanex::FormatSettingsFields(settings))
    put(context, field.c_str(), value->c_str());
  put(context, almanex::kQtCoreField, QtCoreFile().c_str());
  return 0;
}
