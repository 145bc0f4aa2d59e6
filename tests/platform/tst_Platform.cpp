#include "Files.h"
#include "Platform.h"
#include "TempHome.h"

#include <QDir>
#include <QStandardPaths>
#include <QTest>

using Platform::Os;
using Platform::Tool;

class tst_Platform final : public QObject
{
    Q_OBJECT

private slots:
    void dataFolderRoot_data();
    void dataFolderRoot();
    void dataFolderRootFromEnvironment();
    void executableName_data();
    void executableName();
    void notAnOldWindowsHere();
    void captureInputs_data();
    void captureInputs();
    void screenInputUsesTheDisplay();
    void captureFilterStore_data();
    void captureFilterStore();
    void browserNamed_data();
    void browserNamed();
    void defaultBrowserFromTheUsersList();
};

void tst_Platform::dataFolderRoot_data()
{
    QTest::addColumn<QString>("appData");
    QTest::addColumn<QString>("expected");
    QTest::newRow("set") << QStringLiteral("C:/Users/ann/AppData/Roaming")
                         << QStringLiteral("C:/Users/ann/AppData/Roaming");
    QTest::newRow("empty falls back, never the root") << QString() << QStringLiteral("/home/ann/.local/share");
}

void tst_Platform::dataFolderRoot()
{
    QFETCH(QString, appData);
    QFETCH(QString, expected);
    QCOMPARE(Platform::dataFolderRoot(appData, QStringLiteral("/home/ann/.local/share")), expected);
}

void tst_Platform::dataFolderRootFromEnvironment()
{
    TempHome home;
    QCOMPARE(Platform::dataFolderRoot(), home.appData());
    qputenv("APPDATA", "");
    QCOMPARE(Platform::dataFolderRoot(), QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
    QVERIFY(Platform::dataFolderRoot().startsWith(home.path()));
}

void tst_Platform::executableName_data()
{
    QTest::addColumn<Tool>("tool");
    QTest::addColumn<Os>("os");
    QTest::addColumn<bool>("old");
    QTest::addColumn<QString>("expected");
    QTest::newRow("site tool, Windows") << Tool::SiteDownloader << Os::Windows << false << QStringLiteral("ytdl.exe");
    QTest::newRow("converter, Windows") << Tool::Converter << Os::Windows << false << QStringLiteral("ffmpeg.exe");
    QTest::newRow("converter, old Windows") << Tool::Converter << Os::Windows << true << QStringLiteral("ffmpeg32.exe");
    QTest::newRow("player, old Windows") << Tool::Player << Os::Windows << true << QStringLiteral("ffplay.exe");
    QTest::newRow("site tool, here") << Tool::SiteDownloader << Os::Unix << false << QStringLiteral("ytdl");
    QTest::newRow("converter, here") << Tool::Converter << Os::Unix << true << QStringLiteral("ffmpeg");
    QTest::newRow("player, here") << Tool::Player << Os::Unix << false << QStringLiteral("ffplay");
}

void tst_Platform::executableName()
{
    QFETCH(Tool, tool);
    QFETCH(Os, os);
    QFETCH(bool, old);
    QFETCH(QString, expected);
    QCOMPARE(Platform::executableName(tool, os, old), expected);
}

void tst_Platform::notAnOldWindowsHere()
{
    QVERIFY(!Platform::isOlderThanNt52());
}

void tst_Platform::captureInputs_data()
{
    QTest::addColumn<Os>("os");
    QTest::addColumn<QStringList>("screen");
    QTest::addColumn<QStringList>("sound");
    QTest::newRow("Windows") << Os::Windows << QStringList { "-f", "dshow", "-i", "video=screen-capture-recorder" }
                             << QStringList { "-f", "dshow", "-i", "audio=virtual-audio-capturer" };
    QTest::newRow("here") << Os::Unix << QStringList { "-f", "x11grab", "-i", ":7.0" }
                          << QStringList { "-f", "pulse", "-i", "@DEFAULT_MONITOR@" };
}

void tst_Platform::captureInputs()
{
    QFETCH(Os, os);
    QFETCH(QStringList, screen);
    QFETCH(QStringList, sound);
    QCOMPARE(Platform::screenInput(os, QStringLiteral(":7.0")), screen);
    QCOMPARE(Platform::soundInput(os), sound);
}

void tst_Platform::screenInputUsesTheDisplay()
{
    const QByteArray saved = qgetenv("DISPLAY");
    qputenv("DISPLAY", ":42");
    const QStringList input = Platform::screenInput();
    qputenv("DISPLAY", saved);
    QCOMPARE(input, (QStringList { "-f", "x11grab", "-i", ":42" }));
}

void tst_Platform::captureFilterStore_data()
{
    QTest::addColumn<Os>("os");
    QTest::addColumn<QString>("expected");
    QTest::newRow("Windows registry key")
        << Os::Windows << QStringLiteral("HKEY_CURRENT_USER\\Software\\screen-capture-recorder");
    QTest::newRow("here, in the configuration folder")
        << Os::Unix << QStringLiteral("/home/ann/.config/screen-capture-recorder.conf");
}

void tst_Platform::captureFilterStore()
{
    QFETCH(Os, os);
    QFETCH(QString, expected);
    QCOMPARE(Platform::captureFilterStore(os, QStringLiteral("/home/ann/.config")), expected);
}

void tst_Platform::browserNamed_data()
{
    QTest::addColumn<Os>("os");
    QTest::addColumn<QString>("name");
    QTest::addColumn<std::optional<Platform::Browser>>("expected");
    using enum Platform::Browser;
    QTest::newRow("desktop entry") << Os::Unix << "firefox-esr.desktop" << std::optional(Firefox);
    QTest::newRow("alternatives link") << Os::Unix << "/usr/bin/chromium" << std::optional(Chromium);
    QTest::newRow("other browser") << Os::Unix << "brave-browser.desktop" << std::optional<Platform::Browser>();
    QTest::newRow("ProgId") << Os::Windows << "FirefoxURL-308046B0AF4A39CB" << std::optional(Firefox);
}

void tst_Platform::browserNamed()
{
    QFETCH(Os, os);
    QFETCH(QString, name);
    QFETCH(std::optional<Platform::Browser>, expected);
    QVERIFY(Platform::browserNamed(os, name) == expected);
}

void tst_Platform::defaultBrowserFromTheUsersList()
{
    const QByteArray list = "[Added Associations]\nx-scheme-handler/https=brave.desktop\n"
                            "[Default Applications]\nbroken line\ntext/html=chromium.desktop\n"
                            "x-scheme-handler/https= ;google-chrome.desktop;firefox.desktop\n";
    QCOMPARE(Platform::mimeDefault(list, QStringLiteral("x-scheme-handler/https")), "google-chrome.desktop");
    QCOMPARE(Platform::mimeDefault(list, QStringLiteral("text/html")), "chromium.desktop");
    TempHome home;
    QVERIFY(QDir().mkpath(home.path() + QStringLiteral("/.config")));
    QVERIFY(writeFile(home.path() + QStringLiteral("/.config/mimeapps.list"), list));
    QVERIFY(Platform::defaultBrowser() == Platform::Browser::Chrome);
}

QTEST_GUILESS_MAIN(tst_Platform)
#include "tst_Platform.moc"
