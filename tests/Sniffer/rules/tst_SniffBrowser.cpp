#include "Files.h"
#include "SniffBrowser.h"

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

QTEST_GUILESS_MAIN(tst_SniffBrowser)
#include "tst_SniffBrowser.moc"
