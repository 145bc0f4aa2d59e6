#pragma once

#include <QString>

namespace Program {
inline const QString name = QStringLiteral("Corvane 2");
inline const QString version = QStringLiteral("2.0.0.299");
} // namespace Program
