#include "BodyDecoder.h"

#include <QList>

#include <zlib.h>

namespace {

constexpr int OutputChunk = 64 * 1024;
// Accepts both the gzip and the zlib wrapper: servers send either for "deflate".
constexpr int AnyWrapper = MAX_WBITS + 32;

} // namespace

void BodyDecoder::StreamDeleter::operator()(z_stream_s *finished) const
{
    inflateEnd(finished);
    delete finished;
}

BodyDecoder::BodyDecoder(const QByteArray &contentEncoding)
{
    const QByteArray encoding = contentEncoding.trimmed().toLower();
    if (encoding.isEmpty() || encoding == "identity") {
        supported = true;
        return;
    }
    if (!QList<QByteArray> { "gzip", "x-gzip", "deflate" }.contains(encoding)) {
        return;
    }
    auto made = std::make_unique<z_stream_s>();
    if (inflateInit2(made.get(), AnyWrapper) != Z_OK) {
        return;
    }
    stream.reset(made.release());
    supported = true;
    ended = false;
}

BodyDecoder::~BodyDecoder() = default;

bool BodyDecoder::isSupported() const
{
    return supported;
}

bool BodyDecoder::decode(const QByteArray &piece, QByteArray &decoded, qsizetype limit)
{
    if (!supported) {
        return false;
    }
    if (!stream) {
        decoded += piece;
        return limit < 0 || decoded.size() <= limit;
    }
    stream->next_in = reinterpret_cast<Bytef *>(const_cast<char *>(piece.constData()));
    stream->avail_in = uInt(piece.size());
    do {
        if (ended && stream->avail_in > 0) {
            // A gzip body may hold several members one after the other.
            if (inflateReset(stream.get()) != Z_OK) {
                return false;
            }
            ended = false;
        }
        const qsizetype before = decoded.size();
        decoded.resize(before + OutputChunk);
        stream->next_out = reinterpret_cast<Bytef *>(decoded.data() + before);
        stream->avail_out = OutputChunk;
        const int result = inflate(stream.get(), Z_NO_FLUSH);
        decoded.resize(before + OutputChunk - qsizetype(stream->avail_out));
        if (result == Z_STREAM_END) {
            ended = true;
        } else if (result == Z_BUF_ERROR) {
            break;
        } else if (result != Z_OK) {
            return false;
        }
        if (limit >= 0 && decoded.size() > limit) {
            // A few compressed bytes may stand for a great many: stop before they are all spelled out.
            return false;
        }
    } while (stream->avail_in > 0 || stream->avail_out == 0);
    return true;
}

bool BodyDecoder::isComplete() const
{
    return supported && ended;
}
