#include "CookieSource.h"
#include "Files.h"
#include "SniffBrowser.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using Platform::Browser;
using Installed = QMap<Browser, QString>;
using Pick = std::optional<Browser>;

class tst_SniffBrowser final : public QObject
{
    Q_OBJECT

private slots:
    void choose_data();
    void choose();
    void arguments();
    void firefoxProfileTurnsHttp3Off();
    void cookieSourcesOfferedAndKept();
};

void tst_SniffBrowser::choose_data()
{
    QTest::addColumn<Pick>("preferred");
    QTest::addColumn<Installed>("installed");
    QTest::addColumn<Pick>("expected");
    const Installed all { { Browser::Chromium, QStringLiteral("/usr/bin/chromium") },
                          { Browser::Firefox, QStringLiteral("/usr/bin/firefox") } };
    QTest::newRow("default Firefox") << Pick(Browser::Firefox) << all << Pick(Browser::Firefox);
    QTest::newRow("default not ours") << Pick() << all << Pick(Browser::Chromium);
    QTest::newRow("default not installed") << Pick(Browser::Chrome) << all << Pick(Browser::Chromium);
    QTest::newRow("none installed") << Pick(Browser::Firefox) << Installed() << Pick();
}

void tst_SniffBrowser::choose()
{
    QFETCH(Pick, preferred);
    QFETCH(Installed, installed);
    QFETCH(Pick, expected);
    const std::optional<SniffBrowser::Choice> choice = SniffBrowser::choose(preferred, installed);
    QCOMPARE(choice.has_value(), expected.has_value());
    QVERIFY(!choice || (choice->browser == *expected && choice->program == installed.value(*expected)));
}

void tst_SniffBrowser::arguments()
{
    const QStringList user = SniffBrowser::arguments(Browser::Chromium, QStringLiteral("/p"), false);
    QVERIFY(user.contains(QStringLiteral("--user-data-dir=/p")) && user.contains(QStringLiteral("--disable-quic")));
    // Never without the browser's sandbox.
    QVERIFY(!user.contains(QStringLiteral("--no-sandbox")));
    const QStringList firefox = SniffBrowser::arguments(Browser::Firefox, QStringLiteral("/p"), false);
    QCOMPARE(firefox.mid(0, 3), (QStringList { "-profile", "/p", "-no-remote" }));
    QCOMPARE(SniffBrowser::arguments(Browser::Firefox, QStringLiteral("/p"), true), firefox.mid(0, 2));
}

void tst_SniffBrowser::firefoxProfileTurnsHttp3Off()
{
    QTemporaryDir data;
    const QString profile = SniffBrowser::profileFolder(Browser::Firefox, data.path());
    const QString userJs = profile + QStringLiteral("/user.js");
    for (const QByteArray &earlier : { QByteArray(), QByteArrayLiteral("user_pref(\"x\", 1);\n") }) {
        QVERIFY(earlier.isEmpty() || writeFile(userJs, earlier));
        QCOMPARE(SniffBrowser::prepareProfile(Browser::Firefox, profile), QString());
        QCOMPARE(readFile(userJs), QByteArrayLiteral("user_pref(\"network.http.http3.enable\", false);\n"));
    }
    const QString chromium = SniffBrowser::profileFolder(Browser::Chromium, data.path());
    QCOMPARE(SniffBrowser::prepareProfile(Browser::Chromium, chromium), QString());
    QVERIFY(QFileInfo(chromium).isDir() && !QFile::exists(chromium + QStringLiteral("/user.js")));
}

// The sign-in choice lists what is there, survives the settings file, and reads damaged texts as none.
void tst_SniffBrowser::cookieSourcesOfferedAndKept()
{
    QTemporaryDir data;
    const Installed installed { { Browser::Chromium, QStringLiteral("/usr/bin/chromium") },
                                { Browser::Firefox, QString() } };
    QCOMPARE(CookieSource::offered(installed, data.path()).size(), 2);
    QVERIFY(QDir().mkpath(SniffBrowser::profileFolder(Browser::Chromium, data.path())));
    const QList<CookieSource> offered = CookieSource::offered(installed, data.path());
    QCOMPARE(offered.size(), 3);
    QCOMPARE(offered.last().toolBrowser(data.path()),
             QStringLiteral("chromium:")
                 + QDir::fromNativeSeparators(SniffBrowser::profileFolder(Browser::Chromium, data.path())));
    const CookieSource file { CookieSource::Kind::File, Browser::Chromium, QStringLiteral("/home/u/cookies.txt") };
    for (const CookieSource &source : offered + QList<CookieSource> { file }) {
        QCOMPARE(CookieSource::fromSetting(source.toSetting()), source);
    }
    for (const char *damaged : { "", "browser:", "browser:opera", "file:relative.txt", "sniffing", "nonsense:x" }) {
        QCOMPARE(CookieSource::fromSetting(QString::fromLatin1(damaged)).kind, CookieSource::Kind::None);
    }
}

QTEST_GUILESS_MAIN(tst_SniffBrowser)
#include "tst_SniffBrowser.moc"
