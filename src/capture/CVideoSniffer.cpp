#include "CVideoSniffer.h"

#include "CaptureHelper.h"
#include "CaptureReporter.h"
#include "CaptureSettings.h"
#include "FrameMatcher.h"
#include "KeyLog.h"
#include "ToolProcess.h"
#include "Trace.h"

#include <QDateTime>

#include <cstring>
#include <optional>

#include <pcap/pcap.h>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <fcntl.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {

struct AdapterListDeleter
{
    void operator()(pcap_if_t *adapters) const { pcap_freealldevs(adapters); }
};
using AdapterList = std::unique_ptr<pcap_if_t, AdapterListDeleter>;

bool usableOctet(quint8 first)
{
    return first != 0 && first != 255 && first != 169 && first != 254;
}

// Global and unique-local addresses; not loopback, unspecified, link-local (fe80::/10) or multicast.
bool usableIpv6(const in6_addr &address)
{
    const auto *bytes = reinterpret_cast<const quint8 *>(&address);
    const bool linkLocal = bytes[0] == 0xfe && (bytes[1] & 0xc0) == 0x80;
    return !IN6_IS_ADDR_UNSPECIFIED(&address) && !IN6_IS_ADDR_LOOPBACK(&address) && !linkLocal && bytes[0] != 0xff;
}

// The adapter, logging each usable IPv4 address found; nothing when it has no usable address.
std::optional<CVideoSniffer::Adapter> usableAdapter(const pcap_if_t &adapter, bool log)
{
    CVideoSniffer::Adapter found { QByteArray(adapter.name), 0 };
    bool usable = false;
    for (const pcap_addr_t *entry = adapter.addresses; entry; entry = entry->next) {
        if (entry->addr && entry->addr->sa_family == AF_INET6) {
            usable = usable || usableIpv6(reinterpret_cast<const sockaddr_in6 *>(entry->addr)->sin6_addr);
        }
        if (!entry->addr || entry->addr->sa_family != AF_INET) {
            continue;
        }
        std::array<quint8, 4> octets;
        std::memcpy(octets.data(), &reinterpret_cast<const sockaddr_in *>(entry->addr)->sin_addr, octets.size());
        if (usableOctet(octets[0])) {
            usable = true;
            if (log) {
                qDebug() << octets[0] << octets[1] << octets[2] << octets[3];
            }
        }
    }
    if (!usable) {
        return std::nullopt;
    }
#ifndef _WIN32
    found.index = if_nametoindex(adapter.name);
#endif
    return found;
}

// The link types the frame decoder reads.
bool decodable(int linkType)
{
    return linkType == DLT_EN10MB || linkType == DLT_RAW || linkType == DLT_LINUX_SLL || linkType == DLT_LINUX_SLL2;
}

// Returns after frames arrive or a short while; the caller rechecks its stop flag in between.
void waitForFrames([[maybe_unused]] pcap_t *handle)
{
#ifndef _WIN32
    pollfd watched { pcap_get_selectable_fd(handle), POLLIN, 0 };
    poll(&watched, 1, 200);
#endif
}

bool streamReady([[maybe_unused]] int pipeEnd)
{
#ifdef _WIN32
    return true;
#else
    pollfd watched { pipeEnd, POLLIN, 0 };
    return poll(&watched, 1, 200) > 0;
#endif
}

constexpr int helperOpenTimeoutMs = 5000;

} // namespace

QList<QByteArray> CVideoSniffer::listInterfaces()
{
    qDebug() << "listInterfaces";
    const std::optional<QList<Adapter>> adapters = usableAdapters(true);
    if (!adapters) {
        CaptureReporter::report(QStringLiteral("Unable to get interfaces"));
        return {};
    }
    QList<QByteArray> names;
    for (const Adapter &adapter : *adapters) {
        names.append(adapter.name);
        qDebug() << "sniffer iface: " << adapter.name;
    }
    return names;
}

std::optional<QList<CVideoSniffer::Adapter>> CVideoSniffer::usableAdapters(bool log)
{
    char errorBuffer[PCAP_ERRBUF_SIZE] = {};
    if (log) {
        qDebug() << "before pcap_findalldevs";
    }
    pcap_if_t *found = nullptr;
    if (pcap_findalldevs(&found, errorBuffer) == -1) {
        qDebug() << "Error in pcap finaldevs" << errorBuffer;
        return std::nullopt;
    }
    const AdapterList adapters(found);
    if (log) {
        qDebug() << "after pcap_findalldevs";
        qDebug() << "Sniff error:<<" << errorBuffer;
    }
    QList<Adapter> usable;
    for (const pcap_if_t *adapter = adapters.get(); adapter; adapter = adapter->next) {
        // One that is down cannot be opened; it counts once it is up.
        if ((adapter->flags & PCAP_IF_LOOPBACK) != 0 || (adapter->flags & PCAP_IF_UP) == 0) {
            continue;
        }
        if (std::optional<Adapter> entry = usableAdapter(*adapter, false)) {
            usable.append(std::move(*entry));
        }
    }
    return usable;
}

std::shared_ptr<KeyLog> CVideoSniffer::environmentKeyLog()
{
    const QString file = qEnvironmentVariable("SSLKEYLOGFILE");
    return file.isEmpty() ? nullptr : std::make_shared<KeyLog>(file);
}

CVideoSniffer::CVideoSniffer(const QByteArray &adapterName, std::shared_ptr<KeyLog> keys)
    : keyLog(std::move(keys))
{
    if (!open(adapterName)) {
        traceError() << "CVideoSniffer" << adapterName << ":" << error;
        return;
    }
    matcher = std::make_unique<FrameMatcher>(
        ignored, [this](SniffReport report) { deliver(std::move(report)); }, keyLog.get());
    start();
    trace() << "CVideoSniffer" << adapterName << ":"
            << "OK";
}

CVideoSniffer::~CVideoSniffer()
{
    stopRequested.store(true);
    if (!handle) {
        return;
    }
    if (helper) {
        helper->closeInput();
    }
    while (!loopFinished.load()) {
        QThread::msleep(10);
    }
    wait();
    pcap_close(handle);
    helper.reset();
}

bool CVideoSniffer::open(const QByteArray &adapterName)
{
    char errorBuffer[PCAP_ERRBUF_SIZE] = {};
    pcap_if_t *found = nullptr;
    if (pcap_findalldevs(&found, errorBuffer) == -1) {
        error = QStringLiteral("Unable to get interfaces");
        CaptureReporter::report(error);
        return false;
    }
    {
        const AdapterList adapters(found);
        qDebug() << "pcap_findalldevs:\n" << errorBuffer;
        const pcap_if_t *adapter = adapters.get();
        while (adapter && adapterName != adapter->name) {
            adapter = adapter->next;
        }
        if (!adapter) {
            error = QStringLiteral("No adapter named %1").arg(QString::fromLocal8Bit(adapterName));
            return false;
        }
        if (!adapter->addresses) {
            error = QStringLiteral("Unable to get interface address");
            CaptureReporter::report(error);
            return false;
        }
        std::optional<Adapter> usable = usableAdapter(*adapter, true);
        if (!usable) {
            error = QStringLiteral("Adapter %1 has no usable IP address").arg(QString::fromLocal8Bit(adapterName));
            return false;
        }
        openedAdapter = std::move(*usable);
    }
    return activate(adapterName) || (denied && startHelper(adapterName));
}

bool CVideoSniffer::activate(const QByteArray &adapterName)
{
    char errorBuffer[PCAP_ERRBUF_SIZE] = {};

    // Immediate mode and a non-blocking handle let the loop see its stop flag on a quiet adapter too.
    pcap_t *opened = pcap_create(adapterName.constData(), errorBuffer);
    int status = PCAP_ERROR;
    if (opened) {
        pcap_set_snaplen(opened, CaptureSettings::snapshotLength);
        pcap_set_promisc(opened, 0);
        pcap_set_timeout(opened, CaptureSettings::readTimeoutMs);
        pcap_set_immediate_mode(opened, 1);
        pcap_set_buffer_size(opened, CaptureSettings::kernelBufferBytes);
        status = pcap_activate(opened);
        if (status != 0) {
            const char *text = pcap_geterr(opened);
            qstrncpy(errorBuffer, *text ? text : pcap_statustostr(status), sizeof errorBuffer);
        }
    }
    qDebug() << "pcap_openlive:" << errorBuffer << " "
             << "pcapHandle:\n"
             << static_cast<const void *>(status < 0 ? nullptr : opened);
    if (status < 0) {
        error = QString::fromLocal8Bit(errorBuffer);
        denied = status == PCAP_ERROR_PERM_DENIED;
        if (opened) {
            pcap_close(opened);
        }
        return false;
    }
    if (!decodable(pcap_datalink(opened))) {
        const char *linkName = pcap_datalink_val_to_name(pcap_datalink(opened));
        error = QStringLiteral("Adapter %1 delivers frames of link type %2, which cannot be read")
                    .arg(QString::fromLocal8Bit(adapterName),
                         linkName ? QString::fromLatin1(linkName) : QString::number(pcap_datalink(opened)));
        pcap_close(opened);
        return false;
    }
#ifndef _WIN32
    if (pcap_setnonblock(opened, 1, errorBuffer) == -1) {
        error = QString::fromLocal8Bit(errorBuffer);
        pcap_close(opened);
        return false;
    }
#endif
    // Without the filter every frame still reaches the decoder, which keeps only IPv4 TCP itself.
    bpf_program program;
    if (pcap_compile(opened, &program, CaptureSettings::filter, 1, 0) == -1) {
        traceError() << "pcap_compile" << adapterName << ":" << pcap_geterr(opened);
    } else {
        if (pcap_setfilter(opened, &program) == -1) {
            traceError() << "pcap_setfilter" << adapterName << ":" << pcap_geterr(opened);
        }
        pcap_freecode(&program);
    }
    handle = opened;
    return true;
}

bool CVideoSniffer::startHelper([[maybe_unused]] const QByteArray &adapterName)
{
#ifdef _WIN32
    return false;
#else
    const QString program = CaptureHelper::path();
    int ends[2];
    if (program.isEmpty() || pipe2(ends, O_CLOEXEC) != 0) {
        return false;
    }
    // The pipe, not ToolProcess's own reading, carries the frames: libpcap reads them on the capture thread.
    helper = std::make_unique<ToolProcess>();
    ToolProcess::Options options;
    options.output = ToolProcess::Output::Discard;
    options.standardOutputHandle = ends[1];
    helper->start(program, { QString::fromLocal8Bit(adapterName) }, options);
    close(ends[1]);
    // A helper that may not capture either ends without the stream's header; the engine stays denied.
    pollfd watched { ends[0], POLLIN, 0 };
    FILE *stream = poll(&watched, 1, helperOpenTimeoutMs) == 1 && (watched.revents & POLLIN) != 0
        ? fdopen(ends[0], "rb")
        : nullptr;
    if (!stream) {
        close(ends[0]);
        error += QStringLiteral(" (%1 could not capture either)").arg(program);
        return false;
    }
    // Unbuffered, so that a poll on the pipe tells whether a frame is waiting.
    setvbuf(stream, nullptr, _IONBF, 0);
    char errorBuffer[PCAP_ERRBUF_SIZE] = {};
    pcap_t *opened = pcap_fopen_offline(stream, errorBuffer);
    if (!opened) {
        fclose(stream);
        error += QStringLiteral(" (%1: %2)").arg(program, QString::fromLocal8Bit(errorBuffer));
        return false;
    }
    if (!decodable(pcap_datalink(opened))) {
        pcap_close(opened);
        error
            = QStringLiteral("Adapter %1 delivers frames that cannot be read").arg(QString::fromLocal8Bit(adapterName));
        denied = false;
        return false;
    }
    trace() << "CVideoSniffer" << adapterName << ": captured by" << program;
    handle = opened;
    helperOutput = ends[0];
    denied = false;
    error.clear();
    return true;
#endif
}

void CVideoSniffer::registerCallback(SniffCallback receiver)
{
    const std::lock_guard lock(callbackMutex);
    callback = receiver;
    qDebug() << "Register callback func";
}

void CVideoSniffer::addIgnoredUrl(const QByteArray &url, int count)
{
    ignored.add(url, count);
}

bool CVideoSniffer::takeIgnoredUrl(const QByteArray &url)
{
    return ignored.take(url);
}

std::vector<QByteArray> CVideoSniffer::takeIgnoredUrls()
{
    return ignored.takeAll();
}

bool CVideoSniffer::isCapturing() const
{
    return handle != nullptr && !hasEnded();
}

bool CVideoSniffer::hasEnded() const
{
    return handle != nullptr && loopFinished.load() && !stopRequested.load();
}

QString CVideoSniffer::openError() const
{
    return error;
}

bool CVideoSniffer::permissionDenied() const
{
    return denied;
}

const CVideoSniffer::Adapter &CVideoSniffer::adapter() const
{
    return openedAdapter;
}

void CVideoSniffer::run()
{
    loopFinished.store(false);
    while (!stopRequested.load()) {
        if (helperOutput >= 0 && !streamReady(helperOutput)) {
            matcher->idle(QDateTime::currentSecsSinceEpoch());
            continue;
        }
        pcap_pkthdr *header = nullptr;
        const u_char *data = nullptr;
        const int result = pcap_next_ex(handle, &header, &data);
        if (result < 0) {
            // The helper's stream ends when the engine stops it, too.
            if (!stopRequested.load()) {
                traceError() << "pcap_next_ex :" << pcap_geterr(handle);
            }
            break;
        }
        if (result == 0) {
            // A download whose keys came after its last frame is read now, not at the next frame.
            matcher->idle(QDateTime::currentSecsSinceEpoch());
            waitForFrames(handle);
            continue;
        }
        // The frame's capture time is the clock that ages requests.
        matcher->handleFrame(pcap_datalink(handle), data, qsizetype(header->caplen), qint64(header->ts.tv_sec));
    }
    logStatistics();
    loopFinished.store(true);
}

void CVideoSniffer::logStatistics()
{
    pcap_stat counts {};
    if (pcap_stats(handle, &counts) == -1) {
        trace() << "pcap_stats" << openedAdapter.name << ":" << pcap_geterr(handle);
        return;
    }
    // Frames the kernel dropped were never seen: a nonzero count means responses may have been missed.
    QDebug line = counts.ps_drop != 0 || counts.ps_ifdrop != 0 ? traceError() : trace();
    line << "pcap_stats" << openedAdapter.name << ":"
         << "received" << counts.ps_recv << "dropped" << counts.ps_drop << "by the interface" << counts.ps_ifdrop;
}

void CVideoSniffer::deliver(SniffReport report)
{
    SniffCallback target = nullptr;
    {
        const std::lock_guard lock(callbackMutex);
        target = callback;
    }
    if (!target) {
        return;
    }
    qDebug() << "Execute callback with type 2 " << report.mediaType;
    target(std::move(report.url), std::move(report.requestHeader), std::move(report.contentLength),
           std::move(report.mediaType), std::move(report.body));
}
