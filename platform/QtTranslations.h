#pragma once
// Qt's own dialogs (colour, print, print preview, file) in the user's language. The program's own texts
// are not translated.

class QCoreApplication;
class QTranslator;

namespace almanex {

/// Installs Qt's translations for the default locale from Qt's translation folder, when it holds them
/// (Debian: qt6-translations-l10n). The translator installed, owned by the application; null when there
/// are none for this language (English) or none are installed.
QTranslator* InstallQtTranslations(QCoreApplication& application);

}  // namespace almanex
