#pragma once

#include <QDir>
#include <QElapsedTimer>
#include <QString>
#include <QTemporaryDir>

#include <cstdio>

#include <pcap/pcap.h>

#ifdef __GLIBC__
#include <malloc.h>
#endif

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

// Where a benchmark writes its capture file: in temporary, or in the folder CORVANE_BENCH_KEEP names, where it is
// kept to be replayed onto an adapter the window watches.
inline QString capturePath(const QTemporaryDir &temporary, const QString &name)
{
    const QString kept = qEnvironmentVariable("CORVANE_BENCH_KEEP");
    return QDir(kept.isEmpty() ? temporary.path() : kept).filePath(name);
}

// Heap bytes in use, or -1 where that cannot be read.
inline qint64 heapInUse()
{
#ifdef __GLIBC__
    return qint64(mallinfo2().uordblks);
#else
    return -1;
#endif
}
