#include "MessageBuilder.h"

namespace MessageBuilder {

namespace {

const QString &listName(Kind kind)
{
    switch (kind) {
    case Kind::Warning:
        return SettingsGroups::WarningMessages;
    case Kind::DownloadError:
        return SettingsGroups::DownloadErrorMessages;
    case Kind::Error:
        break;
    }
    return SettingsGroups::ErrorMessages;
}

// A settings file from an earlier version may lack the entry: the program's own text stands in.
QString entry(const SettingsLists &lists, const QString &group, int id, const QString &fallback)
{
    const SettingsList own = lists.value(group);
    return own.contains(id) ? own.value(id) : SettingsFile::builtInLists().value(group).value(id, fallback);
}

// Context items land in rich text: escape them so that a comment carrying "<" or "&" shows as written.
QString contextItem(const QStringList &errorContext, qsizetype position, const QString &fallback)
{
    return errorContext.value(position, fallback).toHtmlEscaped();
}

} // namespace

Message build(const SettingsLists &lists, int id, Kind kind, const QStringList &errorContext)
{
    const QStringList parts
        = entry(lists, listName(kind), id, QStringLiteral("0~Indefinite Error")).split(QLatin1Char('~'));
    // toInt() gives 0 for a part that is not a decimal number, which is the wanted fallback.
    const int titleId = parts.value(0).toInt();

    Message message;
    message.critical = kind != Kind::Warning;
    message.title = entry(lists, SettingsGroups::ErrorTitles, titleId, QStringLiteral("Error"));
    message.text = parts.value(1, QStringLiteral("Indefinite Error"));
    if (message.critical) {
        message.footer = footer(id, kind, errorContext);
    }
    return message;
}

QString footer(int id, Kind kind, const QStringList &errorContext)
{
    const QString unknown = QStringLiteral("?");
    QString comment;
    if (errorContext.size() <= 4) {
        comment = contextItem(errorContext, 3, QStringLiteral("---"));
    } else {
        comment = QStringLiteral("<ul>");
        for (qsizetype i = 3; i < errorContext.size(); ++i) {
            comment += QStringLiteral("<li>") + contextItem(errorContext, i, unknown) + QStringLiteral("</li>");
        }
        comment += QStringLiteral("</ul>");
    }

    const QStringList lines {
        QStringLiteral("<b>error #") + QString::number(id) + QLatin1Char(':') + contextItem(errorContext, 1, unknown)
            + QStringLiteral("</b>"),
        (kind == Kind::DownloadError ? QStringLiteral("[DL] ") : QString()) + QStringLiteral("in '")
            + contextItem(errorContext, 2, unknown) + QLatin1Char('\''),
        QStringLiteral("comment: ") + comment,
    };
    return QStringLiteral("<br><br><hr><div style=\"font-size:10px\"><i>") + lines.join(QStringLiteral("<br>"))
        + QStringLiteral("</i></div>");
}

} // namespace MessageBuilder
