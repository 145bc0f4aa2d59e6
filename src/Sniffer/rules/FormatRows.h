#pragma once

#include "VideoInfo.h"

#include <QList>
#include <QString>

// The rows of the options page's format list, built from the driver's format table.
namespace FormatRows {

struct Row
{
    QString text;
    QString icon;
};

// One row per format, in the table's order: resolution, then container, codecs, bit rate or size,
// language and note, then a mark on video-only rows (audio-only rows say so as their resolution).
QList<Row> rows(const QList<FormatEntry> &formats);

// The row shown as current: the last one, as the tool lists its formats worst first.
int preselectedRow(const QList<Row> &rows);

QString icon(const QString &extension);

} // namespace FormatRows
