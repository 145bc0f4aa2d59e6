#include "DashManifest.h"

#include "StreamBuilder.h"

#include <QRegularExpression>
#include <QStringList>
#include <QXmlStreamReader>

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>

namespace {

// Longer than any real ISO 8601 duration; keeps the numbers in it finite.
constexpr qsizetype maxDurationLength = 64;
constexpr double maxSeconds = 1e10;

// An ISO 8601 duration (PT1H2M3.5S, P1DT2H): seconds, or nothing when unreadable, negative or absurd. Years and
// months count as 365 and 30 days.
std::optional<double> isoDuration(QStringView text)
{
    text = text.trimmed();
    if (text.size() < 2 || text.size() > maxDurationLength || text.front() != u'P') {
        return std::nullopt;
    }
    double seconds = 0;
    bool time = false, any = false;
    for (qsizetype at = 1; at < text.size();) {
        if (text.at(at) == u'T' && !time) {
            time = true;
            ++at;
            continue;
        }
        const qsizetype start = at;
        while (at < text.size() && ((text.at(at) >= u'0' && text.at(at) <= u'9') || text.at(at) == u'.')) {
            ++at;
        }
        bool ok = false;
        const double number = text.sliced(start, at - start).toDouble(&ok);
        if (!ok || at == text.size()) {
            return std::nullopt;
        }
        const char16_t unit = text.at(at++).unicode();
        double factor = 0;
        if (time) {
            factor = unit == u'H' ? 3600 : unit == u'M' ? 60 : unit == u'S' ? 1 : 0;
        } else {
            factor = unit == u'Y' ? 31'536'000
                : unit == u'M'    ? 2'592'000
                : unit == u'W'    ? 604'800
                : unit == u'D'    ? 86'400
                                  : 0;
        }
        if (factor == 0) {
            return std::nullopt;
        }
        seconds += number * factor;
        any = true;
    }
    if (!any || !std::isfinite(seconds) || seconds > maxSeconds) {
        return std::nullopt;
    }
    return seconds;
}

// $Number%05d$: the format a number may carry.
bool isNumberFormat(QStringView format)
{
    if (format.size() < 2 || format.size() > 5 || format.front() != u'%' || format.back() != u'd') {
        return false;
    }
    for (const QChar c : format.sliced(1, format.size() - 2)) {
        if (c < u'0' || c > u'9') {
            return false;
        }
    }
    return true;
}

QStringView attribute(const QXmlStreamAttributes &attributes, const char *name)
{
    return attributes.value(QLatin1StringView(name));
}

enum class Segments { None, Base, List, Template };

// What one level of the manifest (MPD, Period, AdaptationSet, Representation) hands down to the levels inside it.
struct Level
{
    QUrl base;
    // Some level up to here has a BaseURL.
    bool baseGiven = false;
    // This level's BaseURL was read; further ones are alternatives to it.
    bool ownBase = false;
    QString mimeType, contentType, codecs;
    int width = 0, height = 0;
    Segments segments = Segments::None;
    // SegmentTemplate attributes, each inherited on its own.
    QString media, initialization, index;
    // SegmentList and SegmentBase addresses, resolved against each Representation's own base.
    QStringList listed;
};

class Reader
{
public:
    Reader(const QByteArray &text, const QUrl &address)
        : xml(text)
        , builder(AdaptiveStream::Kind::Dash, address)
        , url(address)
    { }

    std::optional<AdaptiveStream> read();

private:
    void readLevel(Level &level, int depth);
    void readChild(const Level &parent, int depth);
    void readBaseUrl(Level &level);
    void readSegments(Level &level, Segments kind);
    void addRepresentation(const Level &representation, const QString &id, qint64 bandwidth);
    void addTemplate(const Level &representation, const QString &text, const QString &id, qint64 bandwidth);

    QXmlStreamReader xml;
    StreamBuilder builder;
    QUrl url;
    int periods = 0;
    int representations = 0;
    double periodSeconds = 0;
    bool periodsTimed = true;
};

std::optional<AdaptiveStream> Reader::read()
{
    while (!xml.atEnd() && !xml.isStartElement()) {
        // A DTD could declare entities; no manifest needs one.
        if (xml.readNext() == QXmlStreamReader::DTD) {
            return std::nullopt;
        }
    }
    if (!xml.isStartElement() || xml.name() != u"MPD") {
        return std::nullopt;
    }
    AdaptiveStream &stream = builder.stream();
    stream.master = true;
    const QXmlStreamAttributes attributes = xml.attributes();
    stream.live = attribute(attributes, "type") == u"dynamic";
    std::optional<double> duration = isoDuration(attribute(attributes, "mediaPresentationDuration"));
    Level top;
    top.base = url;
    readLevel(top, 0);
    if (xml.hasError() && (xml.error() != QXmlStreamReader::PrematureEndOfDocumentError || representations == 0)) {
        return std::nullopt;
    }
    if (!duration && periods > 0 && periodsTimed) {
        duration = periodSeconds;
    }
    stream.duration = duration.value_or(-1);
    if (stream.variants.isEmpty()) {
        stream.variants.swap(stream.audio);
    }
    return builder.take();
}

void Reader::readLevel(Level &level, int depth)
{
    static constexpr QStringView children[] = { u"Period", u"AdaptationSet", u"Representation" };
    while (xml.readNextStartElement()) {
        const QStringView name = xml.name();
        if (name == u"BaseURL") {
            readBaseUrl(level);
        } else if (name == u"SegmentBase") {
            readSegments(level, Segments::Base);
        } else if (name == u"SegmentList") {
            readSegments(level, Segments::List);
        } else if (name == u"SegmentTemplate") {
            readSegments(level, Segments::Template);
        } else if (depth < 3 && name == children[depth]) {
            readChild(level, depth + 1);
        } else {
            if (name == u"ContentProtection") {
                builder.stream().encrypted = true;
            }
            xml.skipCurrentElement();
        }
    }
}

void Reader::readChild(const Level &parent, int depth)
{
    Level level = parent;
    level.ownBase = false;
    const QXmlStreamAttributes attributes = xml.attributes();
    if (depth == 1) {
        ++periods;
        const std::optional<double> duration = isoDuration(attribute(attributes, "duration"));
        periodsTimed = periodsTimed && duration;
        periodSeconds += duration.value_or(0);
    }
    for (auto [name, field] : { std::pair { "mimeType", &level.mimeType },
                                { "contentType", &level.contentType },
                                { "codecs", &level.codecs } }) {
        if (!attribute(attributes, name).isNull()) {
            *field = StreamBuilder::boundedText(attribute(attributes, name));
        }
    }
    for (auto [name, field] : { std::pair { "width", &level.width }, { "height", &level.height } }) {
        const int number = attribute(attributes, name).toInt();
        if (number > 0) {
            *field = number;
        }
    }
    const QString id = StreamBuilder::boundedText(attribute(attributes, "id"));
    const qint64 bandwidth = std::max<qint64>(attribute(attributes, "bandwidth").toLongLong(), 0);
    readLevel(level, depth);
    if (depth == 3 && !xml.hasError()) {
        addRepresentation(level, id, bandwidth);
    }
}

void Reader::readBaseUrl(Level &level)
{
    const QString text = xml.readElementText(QXmlStreamReader::SkipChildElements).trimmed();
    if (level.ownBase || text.size() > AdaptiveStream::maxAddressLength) {
        return;
    }
    level.base = level.base.resolved(QUrl(text));
    level.baseGiven = true;
    level.ownBase = true;
}

void Reader::readSegments(Level &level, Segments kind)
{
    // A template completes the templates above it; any other description replaces what was above.
    if (kind != Segments::Template || level.segments != Segments::Template) {
        level.media.clear();
        level.initialization.clear();
        level.index.clear();
    }
    level.segments = kind;
    level.listed.clear();
    const QXmlStreamAttributes attributes = xml.attributes();
    if (kind == Segments::Template) {
        for (auto [name, field] : { std::pair { "media", &level.media },
                                    { "initialization", &level.initialization },
                                    { "index", &level.index } }) {
            if (!attribute(attributes, name).isNull()) {
                *field = attribute(attributes, name).toString();
            }
        }
    }
    while (xml.readNextStartElement()) {
        const QStringView name = xml.name();
        const QXmlStreamAttributes child = xml.attributes();
        for (const QStringView source :
             { name == u"SegmentURL" ? attribute(child, "media") : QStringView(),
               name == u"SegmentURL" ? attribute(child, "index") : QStringView(), attribute(child, "sourceURL") }) {
            if (!source.isEmpty() && level.listed.size() < AdaptiveStream::maxMembers) {
                level.listed.append(source.toString());
            }
        }
        xml.skipCurrentElement();
    }
}

void Reader::addRepresentation(const Level &representation, const QString &id, qint64 bandwidth)
{
    ++representations;
    if (periods == 1) {
        const QStringView type = representation.mimeType.isEmpty() ? QStringView(representation.contentType)
                                                                   : QStringView(representation.mimeType);
        const StreamVariant variant { id,        representation.width,  representation.height,
                                      bandwidth, representation.codecs, {} };
        if (type.startsWith(u"video")) {
            builder.addVariant(variant);
        } else if (type.startsWith(u"audio")) {
            builder.addAudio(variant);
        }
    }
    for (const QString &reference : representation.listed) {
        if (builder.membersFull()) {
            break;
        }
        builder.addMember(builder.resolve(representation.base, reference));
    }
    if (representation.segments == Segments::Template) {
        for (const QString *text : { &representation.media, &representation.initialization, &representation.index }) {
            addTemplate(representation, *text, id, bandwidth);
        }
    } else if (representation.baseGiven) {
        // The BaseURL is the media file itself (SegmentBase, or SegmentList entries that are ranges of it).
        builder.addMember(AdaptiveStream::memberKey(representation.base));
    }
}

// The template with the representation's identifiers filled in, then resolved like any address; the numbers
// (unknown until played) stand in as a marker the resolving leaves alone, and become digits in the pattern.
void Reader::addTemplate(const Level &representation, const QString &text, const QString &id, qint64 bandwidth)
{
    static const QString marker = QStringLiteral("qzxjv");
    if (text.isEmpty() || text.size() > AdaptiveStream::maxAddressLength) {
        return;
    }
    QString filled;
    qsizetype numbers = 0;
    for (qsizetype at = 0; at < text.size();) {
        const qsizetype open = text.indexOf(u'$', at);
        const qsizetype close = open < 0 ? -1 : text.indexOf(u'$', open + 1);
        if (open < 0) {
            filled += QStringView(text).sliced(at);
            break;
        }
        if (close < 0) {
            return;
        }
        filled += QStringView(text).sliced(at, open - at);
        at = close + 1;
        const QStringView token = QStringView(text).sliced(open + 1, close - open - 1);
        const qsizetype percent = token.indexOf(u'%');
        const QStringView name = percent < 0 ? token : token.first(percent);
        if (percent >= 0 && !isNumberFormat(token.sliced(percent))) {
            return;
        }
        if (token.isEmpty()) {
            filled += u'$';
        } else if (name == u"RepresentationID") {
            filled += id;
        } else if (name == u"Bandwidth" && bandwidth > 0) {
            filled += QString::number(bandwidth);
        } else if (name == u"Number" || name == u"Time" || name == u"SubNumber" || name == u"Bandwidth") {
            filled += marker;
            ++numbers;
        } else {
            return;
        }
    }
    // The marker has no border, so it cannot overlap itself: each one counted is one put in, unless the text held it.
    if (filled.count(marker, Qt::CaseInsensitive) != numbers) {
        return;
    }
    const QString address = builder.resolve(representation.base, filled);
    const QStringList pieces = address.split(marker);
    // The resolving rewrote a part holding a number (an international host name): no pattern can be trusted.
    if (address.isEmpty() || pieces.size() != numbers + 1) {
        return;
    }
    if (numbers == 0) {
        builder.addMember(address);
        return;
    }
    // Possessive digit runs keep matching linear whatever the template; numbers side by side share one run.
    QString pattern = QRegularExpression::escape(pieces.first());
    qsizetype run = 0;
    for (qsizetype i = 1; i < pieces.size(); ++i) {
        ++run;
        if (pieces.at(i).isEmpty() && i + 1 < pieces.size()) {
            continue;
        }
        pattern += run == 1 ? QStringLiteral("\\d++") : QStringLiteral("\\d{%1,}+").arg(run);
        pattern += QRegularExpression::escape(pieces.at(i));
        run = 0;
    }
    pattern += address.contains(u'?') ? QStringLiteral("(?:&.*)?") : QStringLiteral("(?:\\?.*)?");
    builder.addPattern(QRegularExpression::anchoredPattern(pattern));
}

} // namespace

std::optional<AdaptiveStream> DashManifest::read(const QByteArray &text, const QUrl &url)
{
    return Reader(text, url).read();
}
