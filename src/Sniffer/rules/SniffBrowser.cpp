#include "SniffBrowser.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

namespace SniffBrowser {

namespace {

constexpr Platform::Browser browsers[]
    = { Platform::Browser::Chromium, Platform::Browser::Chrome, Platform::Browser::Firefox };

const QByteArray noHttp3 = QByteArrayLiteral("user_pref(\"network.http.http3.enable\", false);\n");

} // namespace

std::optional<Choice> choose(std::optional<Platform::Browser> preferred,
                             const QMap<Platform::Browser, QString> &installed)
{
    if (preferred && !installed.value(*preferred).isEmpty()) {
        return Choice { *preferred, installed.value(*preferred) };
    }
    for (const Platform::Browser browser : browsers) {
        if (!installed.value(browser).isEmpty()) {
            return Choice { browser, installed.value(browser) };
        }
    }
    return std::nullopt;
}

QMap<Platform::Browser, QString> installed()
{
    QMap<Platform::Browser, QString> programs;
    for (const Platform::Browser browser : browsers) {
        programs.insert(browser, Platform::browserProgram(browser));
    }
    return programs;
}

std::optional<Choice> find()
{
    return choose(Platform::defaultBrowser(), installed());
}

QString profileFolder(Platform::Browser browser, const QString &dataFolder)
{
    static const QMap<Platform::Browser, QString> names { { Platform::Browser::Chromium, QStringLiteral("chromium") },
                                                          { Platform::Browser::Chrome, QStringLiteral("chrome") },
                                                          { Platform::Browser::Firefox, QStringLiteral("firefox") } };
    return QDir::toNativeSeparators(
        QDir(QDir(dataFolder).filePath(QStringLiteral("browser"))).filePath(names.value(browser)));
}

QStringList arguments(Platform::Browser browser, const QString &profileFolder, bool running)
{
    // A profile of its own, so that a browser the user already runs does not take the request over
    // and start without the key log.
    if (browser == Platform::Browser::Firefox) {
        QStringList list { QStringLiteral("-profile"), profileFolder };
        if (!running) {
            list << QStringLiteral("-no-remote") << QStringLiteral("-new-instance");
        }
        return list;
    }
    return { QStringLiteral("--user-data-dir=") + profileFolder, QStringLiteral("--disable-quic"),
             QStringLiteral("--no-first-run"), QStringLiteral("--no-default-browser-check") };
}

QString asRootProblem(const QString &program)
{
    return QStringLiteral("Corvane 2 runs as root, and a browser started from it would have to run without its "
                          "sandbox, open to every site it shows. Start Corvane 2 as your own user; to let it capture "
                          "then, give it the right once: sudo setcap cap_net_raw+eip %1")
        .arg(QDir::toNativeSeparators(program));
}

QString prepareProfile(Platform::Browser browser, const QString &profileFolder)
{
    if (!QDir().mkpath(profileFolder)) {
        return QStringLiteral("cannot make the folder %1").arg(QDir::toNativeSeparators(profileFolder));
    }
    if (browser != Platform::Browser::Firefox) {
        return {};
    }
    const QString path = QDir(profileFolder).filePath(QStringLiteral("user.js"));
    QFile current(path);
    if (current.open(QIODevice::ReadOnly) && current.readAll() == noHttp3) {
        return {};
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(noHttp3) != noHttp3.size() || !file.commit()) {
        return file.errorString();
    }
    return {};
}

QString buttonText(const SettingsLists &lists)
{
    const QString text = lists.value(SettingsGroups::SnifferTexts).value(1);
    return text.isEmpty() ? QStringLiteral("Open a browser for sniffing") : text;
}

} // namespace SniffBrowser
