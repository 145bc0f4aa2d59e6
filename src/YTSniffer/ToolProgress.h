#pragma once

#include <QMetaType>
#include <QStringList>
#include <QStringView>

#include <optional>

// What the site-download tool says of a running download, read from the line its progress template prints once
// per update.
struct ToolProgress
{
    qint64 done = 0;
    // -1 when unknown. estimated: the tool only guesses it (a stream fetched in fragments).
    qint64 total = -1;
    bool estimated = false;
    // Bytes a second; -1 when unknown.
    double speed = -1;
    // Seconds left; -1 when unknown.
    qint64 left = -1;

    // 0 to 100; -1 while the total is unknown.
    float percent() const;

    // The tool's options that make it print such lines.
    static QStringList arguments();
    // The line's figures, when it is such a line.
    static std::optional<ToolProgress> fromLine(QStringView line);
};

Q_DECLARE_METATYPE(ToolProgress)
