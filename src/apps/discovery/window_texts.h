// The window's words as Qt strings; the words themselves are the shared window logic's.
#pragma once

#include <QString>

#include "window_words.h"

namespace texts {
inline const QString kWindowTitle = QString::fromUtf8(words::kWindowTitle);
inline const QString kRefresh = QString::fromUtf8(words::kRefresh);
inline const QString kCopy = QString::fromUtf8(words::kCopy);
inline const QString kCopyAll = QString::fromUtf8(words::kCopyAll);
inline const QString kSaveList = QString::fromUtf8(words::kSaveList);
inline const QString kSortBy = QString::fromUtf8(words::kSortBy);
inline const QString kSortArrival = QString::fromUtf8(words::kSortArrival);
inline const QString kSortAddress = QString::fromUtf8(words::kSortAddress);
inline const QString kSortModel = QString::fromUtf8(words::kSortModel);
inline const QString kSortSerial = QString::fromUtf8(words::kSortSerial);
inline const QString kFind = QString::fromUtf8(words::kFind);
inline const QString kFindHint = QString::fromUtf8(words::kFindHint);
inline const QString kListName = QString::fromUtf8(words::kListName);
inline const QString kSaveTitle = QString::fromUtf8(words::kSaveTitle);
inline const QString kTextFiles = QString::fromUtf8(words::kTextFiles);
inline const QString kCsvFiles = QString::fromUtf8(words::kCsvFiles);
inline const QString kJsonFiles = QString::fromUtf8(words::kJsonFiles);
// %1: the reason.
inline const QString kSaveFailed =
    QString::fromUtf8(words::kSaveFailed).replace(QStringLiteral("%s"), QStringLiteral("%1"));
}  // namespace texts
