#pragma once

#include "LocalHttpServer.h"

#include <QTemporaryDir>

// A closed port on this machine: a release address that answers nothing.
inline const QString unreachableRelease = QStringLiteral("https://127.0.0.1:9/");

// The settings with the site-download tool's release address replaced, so that no test reaches the internet.
QByteArray withToolRelease(const QByteArray &settings, const QString &address = unreachableRelease);

// A release of the site-download tool on a local https server: "yt-dlp", a small python zipapp that prints
// its version whatever it is asked, and "SHA2-256SUMS" with its sum.
struct FakeRelease
{
    static constexpr const char *version = "2099.01.02";

    FakeRelease();
    // Serves these in place of the release's own.
    bool publish(const QByteArray &tool, const QByteArray &sums);
    // A sums list as the releases publish it, with the sum of tool.
    static QByteArray sums(const QByteArray &tool);

    QTemporaryDir folder;
    LocalHttpServer server { folder.path(), QHostAddress::LocalHost, true };
    QByteArray tool;
};
