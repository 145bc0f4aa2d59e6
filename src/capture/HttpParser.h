#pragma once

#include "MediaRules.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

// A response that carries media, with the request it answers.
struct HttpMedia
{
    // The request's header block as sent, from its request line through the blank line.
    QByteArray requestHeader;
    // Views into requestHeader: the request target, and the Host field's value (empty when there is none).
    QByteArrayView target, host;
    // The whole resource's size (for a partial answer the total its Content-Range gives); -1 when unknown.
    qint64 size = -1;
    // The subtype of a "video/" content type followed by CR LF ("mp4\r\n"), or "x-flv" or "MP3" when the body's
    // first bytes carry the FLV or ID3 signature; "HLS" or "DASH" for a playlist or manifest.
    QByteArray mediaType;
    // A playlist's or manifest's whole body, its content coding undone; empty when it could not be kept.
    QByteArray body;
};

class HttpListener
{
public:
    virtual void mediaFound(const HttpMedia &media) = 0;
    // Where the bodies of playlists are counted; none keeps no bodies.
    virtual ByteBudget *bodyBudget() { return nullptr; }
    // Where header text held by the parsers is counted; none leaves it to the parsers' own limits.
    virtual ByteBudget *headerBudget() { return nullptr; }

protected:
    ~HttpListener() = default;
};

// Reads the two byte streams of one HTTP/1.1 connection (RFC 9112): requests and responses in order, pairs
// them, frames bodies by Content-Length or chunked coding (counting body bytes, keeping only those of playlists)
// and tells the listener about each response that carries media: a "video/" type, or a body starting with an FLV
// or ID3 signature. A response whose size is unknown is told once 100,000 body bytes have passed; a playlist when
// its body ended.
//
// The streams arrive as runs of bytes per direction, from TCP reassembly or, as well, from a decryption layer.
// After bytes went missing where the parser needs them it loses its place in that direction: following()
// turns false until the caller finds the start of a message (startsMessage) and calls begin() there.
class HttpParser
{
public:
    enum Direction : quint8 { FromClient, FromServer };

    static constexpr qsizetype headerLimit = 64 * 1024;
    static constexpr qsizetype pipelineLimit = 32;
    static constexpr qint64 unknownSizeThreshold = MediaRules::unknownSizeThreshold;

    // Whether a run that starts here can be the start of a message from that side.
    static bool startsMessage(Direction direction, const uchar *data, qsizetype size);

    // The stream of the direction continues at the first byte of a message. connectionStart: this is the
    // first byte the connection ever carried that way, so anything but HTTP/1.x means the connection is not
    // HTTP/1.x at all.
    void begin(Direction direction, bool connectionStart);
    void feed(Direction direction, const uchar *data, qsizetype size, HttpListener &listener);
    // size bytes of the stream went past unseen: lost, or not kept because ignorable() allowed it.
    void skip(Direction direction, qsizetype size, HttpListener &listener);
    // The direction ended (FIN): a body that runs to the close ends here.
    void end(Direction direction, HttpListener &listener);

    // How many of the next bytes in that direction are needed only as a count.
    qsizetype ignorable(Direction direction) const;
    bool following(Direction direction) const;
    // The connection is nothing this parser follows any more (another protocol, a tunnel, an upgrade).
    bool abandoned() const { return gaveUp; }

private:
    enum class State : quint8 { Lost, Head, Body, ChunkSize, ChunkData, ChunkDataEnd, Trailer, UntilClose, Done };

    struct Request
    {
        enum Kind : quint8 { Get, Head, Connect, Other, Unknown };
        Kind kind = Unknown;
        QByteArray header;
        qsizetype targetBegin = 0, targetLength = 0, hostBegin = 0, hostLength = 0;
    };

    struct Side
    {
        State state = State::Lost;
        bool strict = false;
        // Only empty lines gathered so far: they are dropped before a start line.
        bool blankSoFar = true;
        // Length of the unfinished line at the end of gathered.
        qsizetype lineLength = 0;
        qint64 remaining = 0;
        // Header bytes, or a chunk-size or trailer line, that arrived over several runs.
        QByteArray gathered;
    };

    // The response being read, while it may still turn out to carry media.
    struct Response
    {
        MediaRules media;
        Request request;
    };

    void read(Direction direction, const uchar *data, qsizetype size, HttpListener &listener);
    // Counts the header text held now against the listener's budget; gives the connection up when it is spent.
    void account(HttpListener &listener);
    qsizetype takeHead(Direction direction, const uchar *data, qsizetype size, HttpListener &listener);
    bool takeLine(Side &side, const uchar *&data, qsizetype &size, QByteArrayView &line);
    bool parseRequest(QByteArrayView block);
    bool parseResponse(QByteArrayView block, HttpListener &listener);
    void bodyBytes(Direction direction, const uchar *data, qsizetype size, HttpListener &listener);
    // size bytes of a counted body or chunk went through.
    void countOff(Direction direction, qsizetype size, HttpListener &listener);
    void messageEnd(Direction direction, HttpListener &listener);
    void report(HttpListener &listener);
    void lose(Direction direction);
    void giveUp();

    Side sides[2];
    QList<Request> requests;
    Response response;
    // Requests may have been missed: responses are not told until one ends with none outstanding.
    BudgetShare held;
    bool uncertain = false;
    bool serverFound = false;
    bool gaveUp = false;
};
