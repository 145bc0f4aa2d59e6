#include "ToolFailure.h"

#include <QStringList>

namespace ToolFailure {

Kind of(const QString &errorOutput)
{
    // The tool's own phrases, as its extractors and its generic error hints put them.
    static const QStringList login { QStringLiteral("--cookies-from-browser or --cookies"),
                                     QStringLiteral("Sign in to confirm"),
                                     QStringLiteral("login required"),
                                     QStringLiteral("requires authentication"),
                                     QStringLiteral("only available for registered users"),
                                     QStringLiteral("This video is private"),
                                     QStringLiteral("Private video") };
    for (const QString &phrase : login) {
        if (errorOutput.contains(phrase, Qt::CaseInsensitive)) {
            return Kind::LoginNeeded;
        }
    }
    if (errorOutput.contains(QLatin1String("HTTP Error 403"))
        || errorOutput.contains(QLatin1String("403: Forbidden"))) {
        return Kind::Refused;
    }
    return Kind::Other;
}

} // namespace ToolFailure
