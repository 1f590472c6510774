// Every text the window shows, in one place.
#pragma once

#include <QString>

#include "vantrel/product.h"

namespace texts {
inline const QString kWindowTitle = QStringLiteral(VANTREL_WINDOW_TITLE);
inline const QString kRefresh = QStringLiteral("Refresh");
inline const QString kCopy = QStringLiteral("Copy");
inline const QString kCopyAll = QStringLiteral("Copy all");
}  // namespace texts
