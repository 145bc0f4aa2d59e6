#include "SniffBrowser.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using Platform::Browser;
using Installed = QMap<Browser, QString>;

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
    QTest::addColumn<std::optional<Browser>>("preferred");
    QTest::addColumn<Installed>("installed");
    QTest::addColumn<std::optional<Browser>>("expected");
    const Installed all { { Browser::Chromium, QStringLiteral("/usr/bin/chromium") },
                          { Browser::Firefox, QStringLiteral("/usr/bin/firefox") } };
    QTest::newRow("default Firefox") << std::optional(Browser::Firefox) << all << std::optional(Browser::Firefox);
    QTest::newRow("default not ours") << std::optional<Browser>() << all << std::optional(Browser::Chromium);
    QTest::newRow("default not installed") << std::optional(Browser::Chrome) << all << std::optional(Browser::Chromium);
    QTest::newRow("none installed") << std::optional(Browser::Firefox) << Installed() << std::optional<Browser>();
}

void tst_SniffBrowser::choose()
{
    QFETCH(std::optional<Browser>, preferred);
    QFETCH(Installed, installed);
    QFETCH(std::optional<Browser>, expected);
    const std::optional<SniffBrowser::Choice> choice = SniffBrowser::choose(preferred, installed);
    QCOMPARE(choice.has_value(), expected.has_value());
    QVERIFY(!choice || (choice->browser == *expected && choice->program == installed.value(*expected)));
}

void tst_SniffBrowser::arguments()
{
    const QStringList user = SniffBrowser::arguments(Browser::Chromium, QStringLiteral("/p"), false, false);
    QVERIFY(user.contains(QStringLiteral("--user-data-dir=/p")) && user.contains(QStringLiteral("--disable-quic")));
    QCOMPARE(SniffBrowser::arguments(Browser::Chrome, QStringLiteral("/p"), true, false),
             user + QStringList { "--no-sandbox" });
    const QStringList firefox = SniffBrowser::arguments(Browser::Firefox, QStringLiteral("/p"), true, false);
    QCOMPARE(firefox.mid(0, 3), (QStringList { "-profile", "/p", "-no-remote" }));
    QCOMPARE(SniffBrowser::arguments(Browser::Firefox, QStringLiteral("/p"), false, true), firefox.mid(0, 2));
}

void tst_SniffBrowser::firefoxProfileTurnsHttp3Off()
{
    QTemporaryDir data;
    const QString profile = SniffBrowser::profileFolder(Browser::Firefox, data.path());
    QFile userJs(profile + QStringLiteral("/user.js"));
    for (const QByteArray &earlier : { QByteArray(), QByteArrayLiteral("user_pref(\"x\", 1);\n") }) {
        if (!earlier.isEmpty()) {
            QVERIFY(userJs.open(QIODevice::WriteOnly) && userJs.write(earlier) == earlier.size());
            userJs.close();
        }
        QCOMPARE(SniffBrowser::prepareProfile(Browser::Firefox, profile), QString());
        QVERIFY(userJs.open(QIODevice::ReadOnly));
        QCOMPARE(userJs.readAll(), QByteArrayLiteral("user_pref(\"network.http.http3.enable\", false);\n"));
        userJs.close();
    }
    const QString chromium = SniffBrowser::profileFolder(Browser::Chromium, data.path());
    QCOMPARE(SniffBrowser::prepareProfile(Browser::Chromium, chromium), QString());
    QVERIFY(QFileInfo(chromium).isDir() && !QFile::exists(chromium + QStringLiteral("/user.js")));
}

QTEST_GUILESS_MAIN(tst_SniffBrowser)
#include "tst_SniffBrowser.moc"
