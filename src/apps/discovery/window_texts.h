// Every text the window shows, in one place.
#pragma once

#include <QString>

namespace texts {
inline const QString kWindowTitle = QStringLiteral("Vantrel Discovery Tool 1.003");
inline const QString kRefresh = QStringLiteral("Refresh");
inline const QString kCopy = QStringLiteral("Copy");
inline const QString kCopyAll = QStringLiteral("Copy all");
}  // namespace texts
