#pragma once

#include <QHash>
#include <QList>
#include <QString>

// Kinds of the site-download tool's requests, in the order a download uses them.
enum RequestKind : int {
    RequestNone = 0,
    RequestTitle = 1,
    RequestFormats = 2,
    RequestFile = 3,
    RequestConversion = 4
};

// One row of a page's format table.
struct FormatEntry
{
    int code = 0;
    bool best = false;
    QString extension;
    QString resolution;
    QString audio;
};

// What is known of the current page.
struct VideoInfo
{
    QString title;
    QString duration;
    // Requests that completed successfully for the current URL, in completion order.
    QList<int> received;
    QHash<int, FormatEntry> formats;

    bool hasTitleAndFormats() const { return received.contains(RequestTitle) && received.contains(RequestFormats); }
};
