#include "QueueEntry.h"

#include "DownloadTexts.h"

#include <QCoreApplication>
#include <QJsonArray>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("QueueEntry", text);
}

QJsonArray toArray(const QStringList &list)
{
    QJsonArray array;
    for (const QString &text : list) {
        array.append(text);
    }
    return array;
}

} // namespace

bool QueueEntry::finished() const
{
    return state == State::Saved || state == State::Failed || state == State::Cancelled;
}

QString QueueEntry::stateText() const
{
    switch (state) {
    case State::Waiting:
        return tr("Waiting");
    case State::Downloading:
        return figures.percent() >= 0 ? QStringLiteral("%1 %").arg(int(figures.percent())) : tr("Downloading");
    case State::Converting:
        return tr("Converting");
    case State::Saved:
        return tr("Saved");
    case State::Failed:
        return tr("Failed");
    case State::Cancelled:
        return tr("Cancelled");
    }
    return {};
}

QString QueueEntry::sizeText() const
{
    return figures.total > 0 ? DownloadTexts::sizeText(figures.total) : size;
}

QJsonObject QueueEntry::toJson() const
{
    return { { QStringLiteral("address"), address },
             { QStringLiteral("item"), item },
             { QStringLiteral("title"), title },
             { QStringLiteral("size"), size },
             { QStringLiteral("format"), format },
             { QStringLiteral("download"), download },
             { QStringLiteral("downloadReplace"), downloadReplace == UserFileSave::Replace::Agreed },
             { QStringLiteral("target"), target },
             { QStringLiteral("targetReplace"), targetReplace == UserFileSave::Replace::Agreed },
             { QStringLiteral("mode"), int(mode) },
             { QStringLiteral("subtitles"), toArray(subtitles) },
             { QStringLiteral("workFolder"), workFolder } };
}

std::optional<QueueEntry> QueueEntry::fromJson(const QJsonObject &object)
{
    QueueEntry entry;
    entry.address = object.value(QStringLiteral("address")).toString();
    entry.item = object.value(QStringLiteral("item")).toInt(1);
    entry.title = object.value(QStringLiteral("title")).toString();
    entry.size = object.value(QStringLiteral("size")).toString();
    entry.format = object.value(QStringLiteral("format")).toString();
    entry.download = object.value(QStringLiteral("download")).toString();
    entry.target = object.value(QStringLiteral("target")).toString();
    entry.workFolder = object.value(QStringLiteral("workFolder")).toString();
    const int mode = object.value(QStringLiteral("mode")).toInt(-1);
    // Only saves of downloads are queued; a file that names another kind, or lacks a path, is not run.
    if (entry.address.isEmpty() || entry.format.isEmpty() || entry.download.isEmpty() || entry.target.isEmpty()
        || entry.item < 1 || (mode != Downloader::FromAudioDownload && mode != Downloader::FromVideoDownload)) {
        return std::nullopt;
    }
    entry.mode = Downloader::FormatConvertingFrom(mode);
    const auto replace = [&object](const char *key) {
        return object.value(QLatin1String(key)).toBool() ? UserFileSave::Replace::Agreed
                                                         : UserFileSave::Replace::Refuse;
    };
    entry.downloadReplace = replace("downloadReplace");
    entry.targetReplace = replace("targetReplace");
    for (const QJsonValue &language : object.value(QStringLiteral("subtitles")).toArray()) {
        if (language.isString()) {
            entry.subtitles.append(language.toString());
        }
    }
    return entry;
}
