#pragma once
// Readable GoogleTest messages for Qt values: a QString prints as its UTF-8 text in quotes.

#include <QString>
#include <ostream>

// In the global namespace, beside QString, where GoogleTest looks for it.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }
