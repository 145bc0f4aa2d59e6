#pragma once

#include <QElapsedTimer>
#include <QString>

#include <cstdio>

#include <pcap/pcap.h>

// One timed pass over a capture file.
struct Run
{
    double seconds = 0;
    qint64 frames = 0;
    qint64 bytes = 0;
};

// Reads every frame of the file at path through libpcap, handing each to handle.
template<typename Handle>
Run readAll(const QString &path, Handle handle)
{
    char error[PCAP_ERRBUF_SIZE] = {};
    pcap_t *file = pcap_open_offline(path.toLocal8Bit().constData(), error);
    Run run;
    if (!file) {
        std::fprintf(stderr, "%s\n", error);
        return run;
    }
    QElapsedTimer timer;
    timer.start();
    pcap_pkthdr *header = nullptr;
    const u_char *data = nullptr;
    while (pcap_next_ex(file, &header, &data) == 1) {
        handle(header, data);
        ++run.frames;
        run.bytes += header->caplen;
    }
    run.seconds = double(timer.nsecsElapsed()) / 1e9;
    pcap_close(file);
    return run;
}
