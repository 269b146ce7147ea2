#pragma once
// Window texts come from the common message table; these convert at the edge
// between the core's UTF-8 and Qt's strings.
#include <QString>

#include <string>

class TLanUse;

namespace gui {

// The application title: task bar, title lines of the boxes, About.
inline QString AppTitle() { return QStringLiteral("Dunro Data Recovery"); }

// The text of `key` in the chosen language, else the English default.
QString Tr(const TLanUse& language, const char* key, const char* english);

inline QString FromUtf8(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }
inline std::string ToUtf8(const QString& text) { return text.toUtf8().toStdString(); }

} // namespace gui
