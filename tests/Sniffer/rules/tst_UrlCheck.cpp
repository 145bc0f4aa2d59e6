#include "UrlCheck.h"

#include <QTest>

namespace {

const QString videoSite = QStringLiteral("yt_urls");
const QString otherSites = QStringLiteral("os_urls");
const QString watch = QStringLiteral("https://www.youtube.com/watch?v=aqz-KE-bpKQ");

} // namespace

class tst_UrlCheck final : public QObject
{
    Q_OBJECT

private slots:
    void check_data();
    void check();
};

void tst_UrlCheck::check_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QStringList>("sites");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("url");

    const QStringList none;
    QTest::newRow("words before the address") << videoSite << none << "look at this: " + watch << 0 << watch;
    QTest::newRow("extra query items dropped")
        << videoSite << none << "https://www.youtube.com/watch?list=PL1&v=aqz-KE-bpKQ&t=42s" << 0 << watch;
    QTest::newRow("host without www") << videoSite << none << "https://youtube.com/watch?v=aqz-KE-bpKQ" << 0 << watch;
    QTest::newRow("short link") << videoSite << none << "https://youtu.be/aqz-KE-bpKQ" << 0 << watch;
    QTest::newRow("plain http made canonical")
        << videoSite << none << "http://www.youtube.com/watch?v=aqz-KE-bpKQ" << 0 << watch;
    QTest::newRow("not a watch page") << videoSite << none << "https://www.youtube.com/feed/trending" << 2 << QString();
    QTest::newRow("empty short link") << videoSite << none << "https://youtu.be/" << 2 << QString();
    QTest::newRow("another site in video mode")
        << videoSite << none << "https://vimeo.com/watch?v=aqz-KE-bpKQ" << 2 << QString();
    QTest::newRow("no scheme has no host")
        << videoSite << none << "www.youtube.com/watch?v=aqz-KE-bpKQ" << 2 << QString();
    QTest::newRow("empty field") << videoSite << none << "   " << 1 << QString();

    const QStringList listed { "vimeo.com", "dailymotion" };
    QTest::newRow("listed site passed on unchanged")
        << otherSites << listed << "http://player.vimeo.com/video/1084537?t=3" << 0
        << "http://player.vimeo.com/video/1084537?t=3";
    QTest::newRow("entry is part of the host")
        << otherSites << listed << "https://www.dailymotion.de/video/x1" << 0 << "https://www.dailymotion.de/video/x1";
    QTest::newRow("host not listed") << otherSites << listed << "https://example.org/vimeo.com/1" << 1 << QString();
    QTest::newRow("empty entry takes every host")
        << otherSites << QStringList { QString() } << "http://127.0.0.1:8080/page.html" << 0
        << "http://127.0.0.1:8080/page.html";
    QTest::newRow("empty field, other sites") << otherSites << listed << QString() << 1 << QString();
    QTest::newRow("invalid after the check") << otherSites << listed << "http://vimeo.com:99999/x" << 3 << QString();
}

void tst_UrlCheck::check()
{
    QFETCH(QString, mode);
    QFETCH(QStringList, sites);
    QFETCH(QString, text);
    SettingsList list;
    for (int i = 0; i < sites.size(); ++i) {
        list.insert(i + 1, sites.at(i));
    }
    const int kind = mode == videoSite ? 2 : 1;
    const UrlCheck::Outcome outcome = UrlCheck(mode, kind, { { mode, list } }).check(text);

    QTEST(outcome.error, "error");
    QFETCH(QString, url);
    if (outcome.error == 0) {
        QCOMPARE(outcome.url.toString(), url);
    }
}

QTEST_GUILESS_MAIN(tst_UrlCheck)
#include "tst_UrlCheck.moc"
