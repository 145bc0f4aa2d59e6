#pragma once

#include <QByteArray>

// One outgoing HTTP GET request waiting for its response.
struct PendingRequest
{
    // Addresses and ports as they stand in the packet, never byte-swapped.
    quint32 clientAddress = 0;
    quint32 serverAddress = 0;
    quint16 clientPort = 0;
    quint16 serverPort = 0;
    QByteArray host;
    // The request target up to and including the space that ends it.
    QByteArray path;
    QByteArray requestHeader;
    qint64 createdAt = 0;
};
