#include "FrameMatcher.h"
#include "FuzzInput.h"
#include "IgnoreList.h"

#include <QtGlobal>

#include <cstring>
#include <memory>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    IgnoreList ignored;
    ignored.add("mediahost/v/clip.flv", 1);
    std::array<quint8, 4> address;
    std::memcpy(address.data(), fuzzInterfaceAddress, address.size());
    size_t reports = 0;
    FrameMatcher matcher(address, ignored, [&reports](SniffReport report) {
        // Touch every byte so a report built from freed or foreign memory shows.
        for (const QByteArray *part :
             { &report.url, &report.requestHeader, &report.contentLength, &report.mediaType }) {
            for (const char byte : *part) {
                reports += size_t(byte == '\n');
            }
        }
    });
    qint64 now = 1'700'000'000;
    size_t at = 0;
    while (at + 3 <= size) {
        now += data[at];
        const size_t length = std::min<size_t>(size_t(data[at + 1]) << 8 | data[at + 2], size - at - 3);
        at += 3;
        // An exact copy, so any read past the captured bytes is caught.
        auto frame = std::make_unique<uchar[]>(length);
        if (length > 0) {
            std::memcpy(frame.get(), data + at, length);
        }
        matcher.handleFrame(frame.get(), qsizetype(length), now);
        at += length;
    }
    return 0;
}
