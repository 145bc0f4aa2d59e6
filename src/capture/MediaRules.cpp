#include "MediaRules.h"

#include "HttpText.h"

#include <algorithm>
#include <cstring>

using namespace HttpText;

namespace {

// The total of "bytes first-last/total"; -1 when it is "*" or unreadable.
qint64 rangeTotal(QByteArrayView text)
{
    const qsizetype slash = text.lastIndexOf('/');
    return startsWithNoCase(trimmed(text), "bytes") && slash >= 0 ? decimal(text.sliced(slash + 1)) : -1;
}

} // namespace

bool MediaRules::start(bool get, qint64 status, qint64 bodyLength, QByteArrayView contentType,
                       QByteArrayView contentRange)
{
    *this = MediaRules();
    if (!get || status < 200 || status > 299 || bodyLength == 0) {
        return false;
    }
    watched = true;
    total = status == 206 && !contentRange.isEmpty() ? rangeTotal(contentRange) : bodyLength;
    if (!startsWithNoCase(contentType, "video/")) {
        wantSignature = true;
        return false;
    }
    const QByteArrayView subtype = contentType.sliced(6);
    const qsizetype semicolon = subtype.indexOf(';');
    type = trimmed(semicolon < 0 ? subtype : subtype.first(semicolon)).toByteArray() + "\r\n";
    return total >= 0;
}

bool MediaRules::body(const uchar *data, qsizetype size)
{
    if (!watched) {
        return false;
    }
    bodySeen += size;
    if (wantSignature) {
        if (!data) {
            // The first bytes went by unseen: the signature cannot be known.
            watched = false;
            return false;
        }
        const qsizetype taken = std::min<qsizetype>(3 - signatureLength, size);
        std::memcpy(signature + signatureLength, data, size_t(taken));
        signatureLength = quint8(signatureLength + taken);
        if (signatureLength < 3) {
            return false;
        }
        wantSignature = false;
        const QByteArrayView seen(signature, 3);
        if (seen == "FLV") {
            type = "x-flv";
        } else if (seen == "ID3") {
            type = "MP3";
        } else {
            watched = false;
            return false;
        }
        if (total >= 0) {
            return true;
        }
    }
    return bodySeen >= unknownSizeThreshold;
}
