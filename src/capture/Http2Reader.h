#pragma once

#include "HttpParser.h"
#include "MediaRules.h"

#include <QByteArray>

#include <deque>
#include <map>
#include <memory>

struct nghttp2_hd_inflater;

// Reads the two plaintext streams of one HTTP/2 connection (RFC 9113): frames in both directions, header blocks
// through one HPACK inflater per direction, requests and answers paired by stream. Each GET is rebuilt as
// HTTP/1.1 header text, and an answer that carries media is told as HttpParser tells it. DATA payloads are
// counted, never kept, but for the first bytes a signature needs and the bodies of playlists.
//
// Protocol errors end the reading: the connection is abandoned with one log line.
class Http2Reader
{
public:
    static constexpr qsizetype headerBlockLimit = 256 * 1024;
    // What a header block may decode to, counted as HTTP/2 counts a header list (name, value and 32 bytes per field):
    // a few bytes referring again and again to one large table entry would otherwise decode to gigabytes.
    static constexpr qsizetype headerListLimit = 256 * 1024;
    // The largest HPACK table a peer may ask for; browsers allow no more.
    static constexpr qsizetype tableSizeLimit = 64 * 1024;
    static constexpr qsizetype streamLimit = 1000;
    // Request headers held for streams not yet answered, all together.
    static constexpr qsizetype heldHeaderLimit = 1024 * 1024;
    // Table size changes that may be awaiting the peer's acknowledgement.
    static constexpr qsizetype pendingSettingsLimit = 16;

    Http2Reader();
    ~Http2Reader();
    Q_DISABLE_COPY_MOVE(Http2Reader)

    // Counts what it holds (header blocks, held request headers, HPACK tables) against the listener's header
    // budget, and gives the connection up when that is spent.
    void feed(HttpParser::Direction direction, const uchar *data, qsizetype size, HttpListener &listener);
    bool abandoned() const { return gaveUp; }

private:
    struct InflaterDelete
    {
        void operator()(nghttp2_hd_inflater *inflater) const;
    };

    struct Side
    {
        std::unique_ptr<nghttp2_hd_inflater, InflaterDelete> inflater;
        qsizetype prefaceSeen = 0;
        uchar head[9] {};
        quint8 headLength = 0;
        quint8 type = 0, flags = 0;
        quint32 stream = 0;
        // Payload bytes of the current frame still to come; of these, DATA content before its padding.
        qsizetype remaining = 0, content = 0;
        bool padRead = false;
        // The frame's payload, for the frames that are read whole.
        QByteArray gathered;
        // A header block waiting for its CONTINUATION frames.
        QByteArray block;
        quint32 blockStream = 0;
        bool blockEnds = false, blockPushed = false, continuing = false;
        // SETTINGS_HEADER_TABLE_SIZE of each SETTINGS frame sent this way and not yet acknowledged, -1 for none.
        std::deque<qint64> pendingTableSizes;
        // The HPACK table size this side's inflater follows.
        qsizetype tableSize = 4096;
    };

    struct Stream
    {
        QByteArray requestHeader;
        qsizetype targetBegin = 0, targetLength = 0, hostBegin = 0, hostLength = 0;
        bool answered = false;
        MediaRules media;
    };

    using Fields = QList<std::pair<QByteArray, QByteArray>>;

    void read(HttpParser::Direction direction, const uchar *data, qsizetype size, HttpListener &listener);
    void account(HttpListener &listener);
    void frameStart(HttpParser::Direction direction);
    void payload(HttpParser::Direction direction, const uchar *data, qsizetype size, HttpListener &listener);
    void frameEnd(HttpParser::Direction direction, HttpListener &listener);
    void headerFragment(HttpParser::Direction direction, QByteArrayView fragment, HttpListener &listener);
    void settings(HttpParser::Direction direction);
    bool inflate(Side &side, Fields &fields);
    void request(quint32 id, const Fields &fields);
    void answer(quint32 id, const Fields &fields, bool ends, HttpListener &listener);
    void report(Stream &stream, HttpListener &listener);
    // The server ended the stream: a playlist it carried is due.
    void finish(quint32 id, HttpListener &listener);
    void forget(std::map<quint32, Stream>::iterator stream);
    void abandon(const char *why);

    Side sides[2];
    // Keyed by stream id: clients open streams in rising order, so the first is the oldest.
    std::map<quint32, Stream> streams;
    qsizetype heldHeaderBytes = 0;
    BudgetShare held;
    bool gaveUp = false;
};
