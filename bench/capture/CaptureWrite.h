#pragma once

#include "FrameBuilder.h"
#include "TlsSession.h"

#include <QString>

#include <pcap/pcap.h>

// A capture file being written: single frames, or the flights of a TLS session cut into segments of one flow.
class CaptureWrite
{
public:
    CaptureWrite(const QString &path, qsizetype segmentSize)
        : dead(pcap_open_dead(DLT_EN10MB, 65535))
        , dumper(pcap_dump_open(dead, path.toLocal8Bit().constData()))
        , segment(segmentSize)
    { }
    Q_DISABLE_COPY_MOVE(CaptureWrite)
    ~CaptureWrite()
    {
        if (dumper) {
            pcap_dump_close(dumper);
        }
        pcap_close(dead);
    }
    bool isOpen() const { return dumper != nullptr; }
    void write(const QByteArray &frame)
    {
        pcap_pkthdr header {};
        header.ts.tv_sec = 1'700'000'000;
        header.caplen = header.len = bpf_u_int32(frame.size());
        pcap_dump(reinterpret_cast<u_char *>(dumper), &header, reinterpret_cast<const u_char *>(frame.constData()));
    }
    void write(TcpFlow &flow, const QList<TlsSession::Flight> &flights)
    {
        for (const TlsSession::Flight &flight : flights) {
            for (qsizetype at = 0; at < flight.bytes.size(); at += segment) {
                const QByteArray part = flight.bytes.mid(at, segment);
                write(flight.fromClient ? flow.out(part) : flow.in(part));
            }
        }
    }

private:
    pcap_t *dead;
    pcap_dumper_t *dumper;
    const qsizetype segment;
};
