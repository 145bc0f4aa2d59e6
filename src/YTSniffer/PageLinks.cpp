#include "PageLinks.h"

#include <QRegularExpression>
#include <QSet>

namespace {

// More links than a page of media would list are not followed.
constexpr qsizetype linkLimit = 200;

bool isMedia(const QUrl &url)
{
    static const QSet<QString> extensions { QStringLiteral("mp4"),  QStringLiteral("m4v"),  QStringLiteral("webm"),
                                            QStringLiteral("mkv"),  QStringLiteral("mov"),  QStringLiteral("avi"),
                                            QStringLiteral("mp3"),  QStringLiteral("m4a"),  QStringLiteral("ogg"),
                                            QStringLiteral("oga"),  QStringLiteral("opus"), QStringLiteral("wav"),
                                            QStringLiteral("flac"), QStringLiteral("m3u8"), QStringLiteral("mpd") };
    const QString path = url.path();
    return (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"))
        && extensions.contains(path.section(QLatin1Char('.'), -1).toLower()) && path.contains(QLatin1Char('.'));
}

// The entities that turn up in addresses and titles; a page that needs more is shown as it is.
QString unescaped(QString text)
{
    text.replace(QLatin1String("&lt;"), QLatin1String("<"))
        .replace(QLatin1String("&gt;"), QLatin1String(">"))
        .replace(QLatin1String("&quot;"), QLatin1String("\""))
        .replace(QLatin1String("&#39;"), QLatin1String("'"));
    return text.replace(QLatin1String("&amp;"), QLatin1String("&"));
}

} // namespace

PageLinks PageLinks::read(const QByteArray &html, const QUrl &page)
{
    const QString text = QString::fromUtf8(html);
    PageLinks links;
    static const QRegularExpression title(QStringLiteral("<title[^>]*>([^<]*)</title>"),
                                          QRegularExpression::CaseInsensitiveOption);
    links.title = unescaped(title.match(text).captured(1)).simplified();
    static const QRegularExpression href(QStringLiteral(R"(<a\s[^>]*href\s*=\s*["']([^"']+)["'])"),
                                         QRegularExpression::CaseInsensitiveOption);
    for (auto match = href.globalMatch(text); match.hasNext() && links.media.size() < linkLimit;) {
        const QString link = unescaped(match.next().captured(1)).trimmed();
        const QUrl url = page.resolved(QUrl(link));
        if (isMedia(url) && !links.media.contains(url)) {
            links.media.append(url);
        }
    }
    return links;
}
