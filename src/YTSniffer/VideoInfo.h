#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <algorithm>
#include <utility>

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
    // The tool's own format id ("hls-435", "0", "dash-video=1"), or a selector for the best row.
    QString id;
    QString extension;
    QString resolution;
    // Container, codecs, bit rate or size, language and the tool's note, as far as the tool knows them.
    QString details;
    // The row that asks for the best video with the best audio.
    bool best = false;
    bool videoOnly = false;
    bool audioOnly = false;
    // Where a player reads the format (for HLS, its media playlist), the HLS master that lists it, and the
    // request headers the tool sends for it. Empty for the best row.
    QString url;
    QString manifestUrl;
    QList<std::pair<QByteArray, QByteArray>> httpHeaders;
    // Read through an HLS playlist.
    bool hls = false;
};

// One of the videos of a page that holds several, as the tool numbers them (--playlist-items).
struct PageVideo
{
    int item = 1;
    QString title;
    QString duration;
    // A media file the page links to, fetched by its own address; empty for a video of the page itself.
    QString address;
};

// What is known of the current page.
struct VideoInfo
{
    QString title;
    QString duration;
    // The videos of a page (or playlist) that holds several; empty for a page of one video.
    QList<PageVideo> videos;
    // Requests that completed successfully for the current URL, in completion order.
    QList<int> received;
    // In the tool's order, worst first, behind the best row when there is more than one format.
    QList<FormatEntry> formats;
    // Languages of the page's subtitle tracks.
    QStringList subtitles;
    // A stream still going on: it is recorded until the user stops, not downloaded.
    bool live = false;

    bool hasTitleAndFormats() const { return received.contains(RequestTitle) && received.contains(RequestFormats); }
    // Every format is sound without pictures (a page that is an mp3 or m4a file).
    bool audioOnly() const
    {
        return !formats.isEmpty() && std::all_of(formats.cbegin(), formats.cend(), [](const FormatEntry &f) {
            return f.audioOnly || f.best;
        });
    }
};
