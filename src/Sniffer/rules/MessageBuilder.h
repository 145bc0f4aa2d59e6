#pragma once

#include "SettingsFile.h"

#include <QString>
#include <QStringList>

// What an error or warning box shows, assembled from the settings lists. Entries read
// "<title id>~<text>"; anything missing falls back so that a box can always be shown.
namespace MessageBuilder {

enum class Kind : int { Warning = 0, Error = 1, DownloadError = 2 };

struct Message
{
    bool critical = false;
    QString title;
    // The entry's own text, without the footer.
    QString text;
    // Rich-text footer naming the operation that raised an error; empty for warnings.
    QString footer;

    QString boxText() const { return text + footer; }
};

// errorContext: source file, line, operation, then comment lines. The source file is for the log only.
Message build(const SettingsLists &lists, int id, Kind kind, const QStringList &errorContext);

QString footer(int id, Kind kind, const QStringList &errorContext);

} // namespace MessageBuilder
