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
inline const QString kFind = QString::fromUtf8(words::kFind);
inline const QString kFindHint = QString::fromUtf8(words::kFindHint);
inline const QString kListName = QString::fromUtf8(words::kListName);
inline const QString kSaveTitle = QString::fromUtf8(words::kSaveTitle);
// %1: the reason.
inline const QString kSaveFailed =
    QString::fromUtf8(words::kSaveFailed).replace(QStringLiteral("%s"), QStringLiteral("%1"));
}  // namespace texts
