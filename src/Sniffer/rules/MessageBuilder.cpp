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

// Context items land in rich text: escape them so that a comment carrying "<" or "&" shows as written.
QString contextItem(const QStringList &errorContext, qsizetype position, const QString &fallback)
{
    return errorContext.value(position, fallback).toHtmlEscaped();
}

} // namespace

Message build(const SettingsLists &lists, int id, Kind kind, const QStringList &errorContext)
{
    const QString entry = lists.value(listName(kind)).value(id, QStringLiteral("0~Indefinite Error"));
    const QStringList parts = entry.split(QLatin1Char('~'));
    // toInt() gives 0 for a part that is not a decimal number, which is the wanted fallback.
    const int titleId = parts.value(0).toInt();

    Message message;
    message.critical = kind != Kind::Warning;
    message.title = lists.value(SettingsGroups::ErrorTitles).value(titleId, QStringLiteral("Error"));
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
            + contextItem(errorContext, 2, unknown) + QStringLiteral("' : ") + contextItem(errorContext, 0, unknown),
        QStringLiteral("comment: ") + comment,
    };
    return QStringLiteral("<br><br><hr><div style=\"font-size:10px\"><i>") + lines.join(QStringLiteral("<br>"))
        + QStringLiteral("</i></div>");
}

} // namespace MessageBuilder
