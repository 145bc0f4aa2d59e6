#pragma once

#include "Downloader.h"
#include "ToolProgress.h"
#include "UserFileSave.h"

#include <QJsonObject>
#include <QString>
#include <QStringList>

// One download the queue runs: a video of a page, fetched by the tool and then converted into the user's file.
struct QueueEntry
{
    enum class State { Waiting, Downloading, Converting, Saved, Failed, Cancelled };

    // The page, and which of its videos (1 is the first).
    QString address;
    int item = 1;
    QString title;
    // The size the page listed for the chosen format; empty when it named none.
    QString size;
    // What the tool is asked for (see formatSelector()).
    QString format;
    // Where the download is kept before (video: and after) the conversion, and whether it may replace a file there.
    QString download;
    UserFileSave::Replace downloadReplace = UserFileSave::Replace::Refuse;
    // The user's chosen file.
    QString target;
    UserFileSave::Replace targetReplace = UserFileSave::Replace::Refuse;
    Downloader::FormatConvertingFrom mode = Downloader::FromVideoDownload;
    QStringList subtitles;
    // Where the download went on when it was cut short: a later run resumes there.
    QString workFolder;

    State state = State::Waiting;
    ToolProgress figures;
    // Why it failed.
    QString failure;

    bool finished() const;
    // "Waiting", "42 %", "Converting", ...
    QString stateText() const;
    // The size as the tool counts it while it downloads, else as the page listed it.
    QString sizeText() const;

    // What a later run needs to start the entry again; the state and figures of this run are left out.
    QJsonObject toJson() const;
    // Nothing when the object does not describe an entry that could run.
    static std::optional<QueueEntry> fromJson(const QJsonObject &object);
};
