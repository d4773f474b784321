#include "QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace almanex {

QTranslator* InstallQtTranslations(QCoreApplication& application) {
  // "qt" loads the translations of every Qt module the files cover: qtbase for the dialogs and more.
  auto* translator = new QTranslator(&application);
  if (translator->load(QLocale(), QStringLiteral("qt"), QStringLiteral("_"),
                       QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
      QCoreApplication::installTranslator(translator)) {
    return translator;
  }
  delete translator;
  return nullptr;
}

}  // namespace almanex
