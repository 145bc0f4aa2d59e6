#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>
#include <utility>

// The texts of the download progress dialog and the parsing of a captured request header, free of
// widgets and of the network.
namespace DownloadTexts {

// "1023 Bytes", "1.0 KB", "1.00 MB": binary thresholds (1024 and 1,048,576).
QString sizeText(quint64 bytes);

// "59 sec", "1 min", "1 min 1 sec".
QString durationText(quint64 seconds);

// "1 min 15 sec (1.5 KB of 3.00 MB copied)".
QString timeLeftText(quint64 seconds, quint64 bytesRead, quint64 totalBytes);

// A stream save's progress: "0:42 of 2:05 saved, 12.30 MB, 3.1x"; the length is left out when unknown (zero or
// less), the speed when 0. Times past an hour read "1:02:05".
QString streamSavedText(double secondsDone, double duration, quint64 bytes, double speed);
// "0:42 converted, 12.30 MB, 3.1x".
QString convertedText(double secondsDone, quint64 bytes, double speed);

// A site download's progress: "12.30 MB of 45.60 MB, 1.20 MB/s, 27 sec left"; "of about" when the total is a guess.
// What is unknown (-1) is left out.
QString transferText(qint64 done, qint64 total, bool estimated, double bytesPerSecond, qint64 secondsLeft);

// The end of a save: "Saved as /folder/name.mp4"; for several files, "Saved in /folder:" and a line for each name
// (a file elsewhere with its whole path).
QString savedText(const QStringList &files);

// The rate given in bytes per millisecond: below 1 as "<rate × 1024> Bytes/Sec", below 10 as
// "<rate> KB/Sec" with two decimals, otherwise with none.
QString rateText(double bytesPerMillisecond);

// The name shown for the file behind an address: the last part of its path (the query left out).
QString shownFileName(const QUrl &url);

// The header lines to send again, as (name, value) pairs: the request line and lines without a
// name or without ": " are left out; a value is cut at a second ": ".
QList<std::pair<QByteArray, QByteArray>> rawHeaderPairs(const QByteArray &header);

// The captured lines as a save sends them again: the browser may have asked for a part of the stream, only
// for a newer copy, or for a compressed body; a save wants the whole stream as stored, so the range and
// conditional lines go and the body is asked for uncompressed.
QList<std::pair<QByteArray, QByteArray>> replayHeaderPairs(const QByteArray &header);

// The same lines for a player (its "-headers" text, each line ending in CR LF): it names the host and manages
// its connection itself.
QByteArray playerHeaders(const QByteArray &header);

// "bytes FIRST-LAST/TOTAL"; total is -1 when the server gave "*".
struct ContentRange
{
    qint64 first = 0;
    qint64 last = 0;
    qint64 total = -1;
};
std::optional<ContentRange> parseContentRange(const QByteArray &value);

} // namespace DownloadTexts
