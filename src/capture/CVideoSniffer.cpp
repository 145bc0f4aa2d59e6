#include "CVideoSniffer.h"

#include "CaptureReporter.h"
#include "FrameMatcher.h"
#include "Trace.h"

#include <cstring>
#include <optional>

#include <pcap/pcap.h>

#ifdef _WIN32
#include <winsock2.h>
#else
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
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

// The last IPv4 address of the adapter whose first octet makes it usable, logging each one found.
std::optional<std::array<quint8, 4>> usableAddress(const pcap_if_t &adapter, bool log)
{
    std::optional<std::array<quint8, 4>> found;
    for (const pcap_addr_t *entry = adapter.addresses; entry; entry = entry->next) {
        if (!entry->addr || entry->addr->sa_family != AF_INET) {
            continue;
        }
        std::array<quint8, 4> octets;
        std::memcpy(octets.data(), &reinterpret_cast<const sockaddr_in *>(entry->addr)->sin_addr, octets.size());
        if (usableOctet(octets[0])) {
            found = octets;
            if (log) {
                qDebug() << octets[0] << octets[1] << octets[2] << octets[3];
            }
        }
    }
    return found;
}

// Returns after frames arrive or a short while; the caller rechecks its stop flag in between.
void waitForFrames([[maybe_unused]] pcap_t *handle)
{
#ifndef _WIN32
    pollfd watched { pcap_get_selectable_fd(handle), POLLIN, 0 };
    poll(&watched, 1, 200);
#endif
}

constexpr int snapshotLength = 65535;
constexpr int readTimeoutMs = 1000;

} // namespace

QList<QByteArray> CVideoSniffer::listInterfaces()
{
    qDebug() << "listInterfaces";
    QList<QByteArray> names;
    char errorBuffer[PCAP_ERRBUF_SIZE] = {};
    qDebug() << "before pcap_findalldevs";
    pcap_if_t *found = nullptr;
    if (pcap_findalldevs(&found, errorBuffer) == -1) {
        qDebug() << "Error in pcap finaldevs" << errorBuffer;
        CaptureReporter::report(QStringLiteral("Unable to get interfaces"));
        return names;
    }
    const AdapterList adapters(found);
    qDebug() << "after pcap_findalldevs";
    qDebug() << "Sniff error:<<" << errorBuffer;
    for (const pcap_if_t *adapter = adapters.get(); adapter; adapter = adapter->next) {
        if (!adapter->addresses || (adapter->flags & PCAP_IF_LOOPBACK) != 0) {
            continue;
        }
        if (usableAddress(*adapter, false)) {
            names.append(QByteArray(adapter->name));
            qDebug() << "sniffer iface: " << adapter->name;
        }
    }
    return names;
}

CVideoSniffer::CVideoSniffer(const QByteArray &adapterName)
{
    if (!open(adapterName)) {
        traceError() << "CVideoSniffer" << adapterName << ":" << error;
        return;
    }
    matcher = std::make_unique<FrameMatcher>(ignored, [this](SniffReport report) { deliver(std::move(report)); });
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
    while (!loopFinished.load()) {
        QThread::msleep(10);
    }
    wait();
    pcap_close(handle);
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
        const auto address = usableAddress(*adapter, true);
        if (!address) {
            error = QStringLiteral("Adapter %1 has no usable IPv4 address").arg(QString::fromLocal8Bit(adapterName));
            return false;
        }
        interfaceAddress = *address;
    }

    // Immediate mode and a non-blocking handle let the loop see its stop flag on a quiet adapter too.
    pcap_t *opened = pcap_create(adapterName.constData(), errorBuffer);
    int status = PCAP_ERROR;
    if (opened) {
        pcap_set_snaplen(opened, snapshotLength);
        pcap_set_promisc(opened, 0);
        pcap_set_timeout(opened, readTimeoutMs);
        pcap_set_immediate_mode(opened, 1);
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
        if (opened) {
            pcap_close(opened);
        }
        return false;
    }
    if (pcap_datalink(opened) != DLT_EN10MB) {
        error = QStringLiteral("Adapter %1 does not deliver Ethernet frames (link type %2)")
                    .arg(QString::fromLocal8Bit(adapterName),
                         QString::fromLatin1(pcap_datalink_val_to_name(pcap_datalink(opened))));
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
    if (pcap_compile(opened, &program, "tcp", 1, 0) == -1) {
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

bool CVideoSniffer::isCapturing() const
{
    return handle != nullptr;
}

QString CVideoSniffer::openError() const
{
    return error;
}

void CVideoSniffer::run()
{
    loopFinished.store(false);
    while (!stopRequested.load()) {
        pcap_pkthdr *header = nullptr;
        const u_char *data = nullptr;
        const int result = pcap_next_ex(handle, &header, &data);
        if (result < 0) {
            traceError() << "pcap_next_ex :" << pcap_geterr(handle);
            break;
        }
        if (result == 0) {
            waitForFrames(handle);
            continue;
        }
        // The frame's capture time is the clock that ages requests.
        matcher->handleFrame(pcap_datalink(handle), data, qsizetype(header->caplen), qint64(header->ts.tv_sec));
    }
    loopFinished.store(true);
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
           std::move(report.mediaType));
}
