#pragma once

#include "Platform.h"
#include "SettingsFile.h"

#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>

// The browser the sniffer page offers to start, and how: its TLS secrets go to the key log, it runs on a
// profile of its own and HTTP/3 is off, as QUIC does not run over the TCP the sniffer reads.
namespace SniffBrowser {

struct Choice
{
    Platform::Browser browser;
    QString program;
};

// The default browser when it is installed, otherwise the first installed one in the enum's order.
// Each browser the sniffer can start, with its program; empty where it is not installed.
QMap<Platform::Browser, QString> installed();

std::optional<Choice> choose(std::optional<Platform::Browser> preferred,
                             const QMap<Platform::Browser, QString> &installed);
// The same, from what this desktop says and has.
std::optional<Choice> find();

QString profileFolder(Platform::Browser browser, const QString &dataFolder);

// running: one started on this profile before still runs. Chromium hands a second start over to it by
// itself; Firefox is asked to, as a second instance could not open the profile in use.
QStringList arguments(Platform::Browser browser, const QString &profileFolder, bool running);

// Why no browser is started while this program runs as root (it would have to run without its sandbox, open to
// every site it shows), and how to run as a user who may still capture. program: this program's executable.
QString asRootProblem(const QString &program);

// Makes the profile folder and, for Firefox, its user.js that turns HTTP/3 off. Returns why it failed,
// empty when the profile is ready.
QString prepareProfile(Platform::Browser browser, const QString &profileFolder);

// The button's text from the "sniffer_texts" list; a built-in one when an older settings file lacks it.
QString buttonText(const SettingsLists &lists);

} // namespace SniffBrowser
