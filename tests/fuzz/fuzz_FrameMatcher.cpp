#include "FrameMatcher.h"
#include "FuzzInput.h"
#include "Http2Reader.h"
#include "IgnoreList.h"
#include "KeyLog.h"

#include <QtGlobal>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>

namespace {

size_t reports = 0;

// Touch every byte so a report built from freed or foreign memory shows.
void touch(QByteArrayView bytes)
{
    for (const char byte : bytes) {
        reports += size_t(byte == '\n');
    }
}

template<typename Handle>
void forEachRecord(const uint8_t *data, size_t size, Handle handle)
{
    size_t at = 0;
    while (at + 3 <= size) {
        const quint8 control = data[at];
        const size_t length = std::min<size_t>(size_t(data[at + 1]) << 8 | data[at + 2], size - at - 3);
        at += 3;
        // An exact copy, so any read past the record's bytes is caught.
        auto bytes = std::make_unique<uchar[]>(length);
        if (length > 0) {
            std::memcpy(bytes.get(), data + at, length);
        }
        handle(control, bytes.get(), qsizetype(length));
        at += length;
    }
}

class Touching final : public HttpListener
{
public:
    void mediaFound(const HttpMedia &media) override
    {
        touch(media.requestHeader);
        touch(media.target);
        touch(media.host);
        touch(media.mediaType);
        touch(media.body);
    }
    ByteBudget *bodyBudget() override { return &budget; }
    ByteBudget *headerBudget() override { return &headers; }

private:
    ByteBudget budget { 1 << 20 };
    ByteBudget headers { 256 * 1024 };
};

void http2(const uint8_t *data, size_t size)
{
    // Before the reader, which gives back what it took from the listener's budgets.
    Touching listener;
    Http2Reader reader;
    forEachRecord(data, size, [&](quint8 control, const uchar *bytes, qsizetype length) {
        reader.feed(control & 1 ? HttpParser::FromServer : HttpParser::FromClient, bytes, length, listener);
    });
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0) {
        return 0;
    }
    const quint8 selector = data[0];
    if (selector & fuzzHttp2) {
        http2(data + 1, size - 1);
        return 0;
    }
    ConnectionLimits limits;
    if (selector & fuzzSmallLimits) {
        limits.connections = 4;
        limits.window = 4096;
        limits.piecesPerDirection = 8;
        limits.heldBytes = 8192;
        limits.tlsHeldBytes = 65536;
        limits.headerBytes = 65536;
    }
    KeyLog keys;
    bool keyRecord = selector & fuzzKeyLog;
    IgnoreList ignored;
    ignored.add("mediahost/v/clip.flv", 1);
    FrameMatcher matcher(
        ignored,
        [](SniffReport report) {
            for (const QByteArray *part :
                 { &report.url, &report.requestHeader, &report.contentLength, &report.mediaType }) {
                touch(*part);
            }
        },
        &keys, limits);
    const int linkType = fuzzLinkTypes[selector & 0x07];
    qint64 now = 1'700'000'000;
    forEachRecord(data + 1, size - 1, [&](quint8 advance, const uchar *frame, qsizetype length) {
        if (std::exchange(keyRecord, false)) {
            keys.addText(QByteArrayView(frame, length));
            return;
        }
        now += advance;
        matcher.handleFrame(linkType, frame, length, now);
        const ConnectionTable &table = matcher.connections();
        if (table.size() > limits.connections || table.heldBytes() < 0 || table.heldBytes() > limits.heldBytes
            || table.tlsHeldBytes() < 0 || table.tlsHeldBytes() > limits.tlsHeldBytes || table.headerBytes() < 0
            || table.headerBytes() > limits.headerBytes || table.overallBytes() > limits.overallBytes) {
            std::abort();
        }
    });
    return 0;
}
