#pragma once

#include "VideoInfo.h"

#include <QHash>
#include <QList>
#include <QString>

// The rows of the options page's format list, built from the driver's format table.
namespace FormatRows {

struct Row
{
    int code = 0;
    QString text;
    QString icon;
};

// One row per format, ordered by code; rows with the same text stay apart by their code.
QList<Row> rows(const QHash<int, FormatEntry> &formats);

// The row shown as current: the last one the tool marked best, or the first.
int bestRow(const QHash<int, FormatEntry> &formats, const QList<Row> &rows);

QString icon(const QString &extension);

} // namespace FormatRows
