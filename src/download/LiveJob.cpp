#include "LiveJob.h"

#include <QUrl>

#include <algorithm>

namespace {

// The last format that is recorded through the master playlist it is listed in.
const FormatEntry *withMaster(const QList<FormatEntry> &formats)
{
    const auto format = std::find_if(formats.crbegin(), formats.crend(),
                                     [](const FormatEntry &entry) { return !entry.manifestUrl.isEmpty(); });
    return format == formats.crend() ? nullptr : &*format;
}

const FormatEntry *recorded(const QList<FormatEntry> &formats, const FormatEntry &chosen)
{
    if (!chosen.best) {
        return chosen.url.isEmpty() ? nullptr : &chosen;
    }
    const auto format = std::find_if(formats.crbegin(), formats.crend(), [](const FormatEntry &entry) {
        return !entry.best && !entry.videoOnly && !entry.audioOnly && !entry.url.isEmpty();
    });
    return format == formats.crend() ? nullptr : &*format;
}

bool oneLine(const QByteArray &text)
{
    return !text.contains('\r') && !text.contains('\n');
}

// The request a player sends for url: its request line, the tool's headers and the closing blank line.
QByteArray requestHeader(const QUrl &url, const QList<std::pair<QByteArray, QByteArray>> &headers)
{
    const QByteArray target = url.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority | QUrl::RemoveFragment);
    QByteArray header = "GET " + (target.isEmpty() ? QByteArray("/") : target)
        + " HTTP/1.1\r\nHost: " + url.adjusted(QUrl::RemoveUserInfo).authority(QUrl::FullyEncoded).toLatin1() + "\r\n";
    for (const auto &[name, value] : headers) {
        // A line break inside a header would add headers of the site's choosing.
        if (oneLine(name) && oneLine(value) && name.compare("host", Qt::CaseInsensitive) != 0) {
            header += name + ": " + value + "\r\n";
        }
    }
    return header + "\r\n";
}

} // namespace

namespace LiveJob {

std::optional<StreamSave::Job> make(const QList<FormatEntry> &formats, const FormatEntry &chosen,
                                    const QString &fileName, UserFileSave::Replace replace)
{
    const FormatEntry *format = recorded(formats, chosen);
    const FormatEntry *master = format == nullptr ? withMaster(formats) : nullptr;
    if (format == nullptr && master == nullptr) {
        return std::nullopt;
    }
    StreamSave::Job job;
    job.url = format != nullptr ? format->url : master->manifestUrl;
    job.requestHeader = requestHeader(QUrl(job.url), (format != nullptr ? format : master)->httpHeaders);
    job.live = true;
    job.fileName = fileName;
    job.replace = replace;
    return job;
}

} // namespace LiveJob
