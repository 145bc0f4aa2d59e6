#include "AdaptiveStream.h"

namespace {

int defaultPort(const QString &scheme)
{
    return scheme == u"https" ? 443 : 80;
}

} // namespace

int AdaptiveStream::bestVariant() const
{
    int best = -1;
    qint64 bestPixels = 0;
    for (int i = 0; i < variants.size(); ++i) {
        const StreamVariant &variant = variants.at(i);
        const qint64 pixels = qint64(variant.width) * variant.height;
        if (best < 0 || pixels > bestPixels
            || (pixels == bestPixels && variant.bandwidth > variants.at(best).bandwidth)) {
            best = i;
            bestPixels = pixels;
        }
    }
    return best;
}

bool AdaptiveStream::belongs(const QUrl &address) const
{
    const QString key = memberKey(address);
    if (key.isEmpty()) {
        return false;
    }
    if (members.contains(key)) {
        return true;
    }
    for (const QRegularExpression &pattern : memberPatterns) {
        if (pattern.match(key).hasMatch()) {
            return true;
        }
    }
    const QString path = url.adjusted(QUrl::NormalizePathSegments).path(QUrl::FullyEncoded);
    const QString folder = path.first(path.lastIndexOf(u'/') + 1);
    // Under the root folder everything the host serves would belong.
    if (folder.size() <= 1 || address.scheme() != url.scheme()
        || address.host().compare(url.host(), Qt::CaseInsensitive) != 0
        || address.port(defaultPort(url.scheme())) != url.port(defaultPort(url.scheme()))) {
        return false;
    }
    return address.adjusted(QUrl::NormalizePathSegments).path(QUrl::FullyEncoded).startsWith(folder);
}

QString AdaptiveStream::memberKey(const QUrl &address)
{
    const QString scheme = address.scheme();
    if (!address.isValid() || (scheme != u"http" && scheme != u"https") || address.host().isEmpty()) {
        return {};
    }
    QUrl key = address.adjusted(QUrl::RemoveFragment);
    if (key.port() == defaultPort(scheme)) {
        key.setPort(-1);
    }
    QString text = key.toString(QUrl::FullyEncoded);
    return text.size() <= maxAddressLength ? text : QString();
}
