#pragma once

#include "VideoInfo.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// What the tool's one JSON document about a page (--dump-single-json) says.
struct FormatListing
{
    // As the tool gives it, not yet made fit for a file name.
    QString title;
    // Empty when the tool does not know it (a file served directly).
    QString duration;
    // Of a page with several videos, each of them; the title, length and formats are the first one's.
    QList<PageVideo> videos;
    QList<FormatEntry> formats;
    // The languages of the page's own subtitle tracks (not the site's automatic captions), sorted.
    QStringList subtitles;
    // Whether the page is a stream still going on; empty when the tool does not say (its generic reader
    // leaves a live HLS playlist unmarked).
    std::optional<bool> live;
};

// A page with several videos lists them all, and is otherwise read through its first entry. Formats keep the tool's
// order, worst first; with more than one, a best row leads. Nothing when the text is no such document.
std::optional<FormatListing> parseFormatListing(const QByteArray &json);

// What the tool is asked for when entry is saved as a video or as audio: a video-only format gets the
// best audio added, an audio save of a video-only or the best row takes the best audio.
QString formatSelector(const FormatEntry &entry, bool audio);

// What the tool is asked for when every video of a page is saved by one rule: the best, or the best no higher than
// maxHeight lines (0: no limit); a video that has nothing that low is saved in its smallest format.
QString cappedSelector(int maxHeight, bool audio);
