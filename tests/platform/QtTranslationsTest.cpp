// Qt's own dialogs follow the user's language.

#include <gtest/gtest.h>

#include <QApplication>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "platform/QtTranslations.h"

namespace almanex {
namespace {

/// Sets the default locale for the object's lifetime.
class DefaultLocale {
 public:
  explicit DefaultLocale(const QLocale& locale) { QLocale::setDefault(locale); }
  ~DefaultLocale() { QLocale::setDefault(old_); }

 private:
  QLocale old_;
};

TEST(QtTranslations, TheColourDialogSpeaksTheUsersLanguage) {
  const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  if (!QFileInfo::exists(folder + QStringLiteral("/qtbase_de.qm"))) {
    GTEST_SKIP() << "Qt's translations are not installed (package qt6-translations-l10n)";
  }
  const QString english = QStringLiteral("Select Color");
  {
    const DefaultLocale german(QLocale(QLocale::German, QLocale::Germany));
    QTranslator* translator = InstallQtTranslations(*qApp);
    ASSERT_NE(translator, nullptr);
    EXPECT_EQ(QCoreApplication::translate("QColorDialog", "Select Color"), QStringLiteral("Farbauswahl"));
    QCoreApplication::removeTranslator(translator);
    delete translator;
  }
  const DefaultLocale american(QLocale(QLocale::English, QLocale::UnitedStates));
  EXPECT_EQ(InstallQtTranslations(*qApp), nullptr);
  EXPECT_EQ(QCoreApplication::translate("QColorDialog", "Select Color"), english);
}

}  // namespace
}  // namespace almanex
