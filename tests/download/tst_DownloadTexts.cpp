#include "DownloadTexts.h"

#include <QTest>

using Pairs = QList<std::pair<QByteArray, QByteArray>>;

class tst_DownloadTexts final : public QObject
{
    Q_OBJECT

private slots:
    void sizeText_data();
    void sizeText();
    void timeLeftText_data();
    void timeLeftText();
    void transferText_data();
    void transferText();
    void rateText_data();
    void rateText();
    void shownFileName_data();
    void shownFileName();
    void rawHeaderPairs_data();
    void rawHeaderPairs();
    void replayHeaderPairs();
};

void tst_DownloadTexts::sizeText_data()
{
    QTest::addColumn<quint64>("bytes");
    QTest::addColumn<QString>("expected");

    QTest::newRow("below a kilobyte") << quint64(1023) << QStringLiteral("1023 Bytes");
    QTest::newRow("one kilobyte") << quint64(1024) << QStringLiteral("1.0 KB");
    QTest::newRow("below a megabyte") << quint64(1048575) << QStringLiteral("1024.0 KB");
    QTest::newRow("one megabyte") << quint64(1048576) << QStringLiteral("1.00 MB");
    QTest::newRow("beyond 32 bits") << quint64(5368709120) << QStringLiteral("5120.00 MB");
}

void tst_DownloadTexts::sizeText()
{
    QFETCH(quint64, bytes);
    QFETCH(QString, expected);
    QCOMPARE(DownloadTexts::sizeText(bytes), expected);
}

void tst_DownloadTexts::timeLeftText_data()
{
    QTest::addColumn<quint64>("seconds");
    QTest::addColumn<QString>("expected");

    const QString copied = QStringLiteral(" (1.5 KB of 3.00 MB copied)");
    QTest::newRow("seconds only") << quint64(59) << QStringLiteral("59 sec") + copied;
    QTest::newRow("whole minute") << quint64(60) << QStringLiteral("1 min") + copied;
    QTest::newRow("minute and a second") << quint64(61) << QStringLiteral("1 min 1 sec") + copied;
    QTest::newRow("minute and seconds") << quint64(75) << QStringLiteral("1 min 15 sec") + copied;
    QTest::newRow("two minutes") << quint64(120) << QStringLiteral("2 min") + copied;
}

void tst_DownloadTexts::timeLeftText()
{
    QFETCH(quint64, seconds);
    QFETCH(QString, expected);
    QCOMPARE(DownloadTexts::timeLeftText(seconds, 1536, 3145728), expected);
}

void tst_DownloadTexts::transferText_data()
{
    QTest::addColumn<qint64>("total");
    QTest::addColumn<bool>("estimated");
    QTest::addColumn<double>("speed");
    QTest::addColumn<qint64>("left");
    QTest::addColumn<QString>("expected");
    QTest::newRow("all known") << 47'815'065LL << false << 1'258'291.0 << 27LL
                               << "12.30 MB of 45.60 MB, 1.20 MB/s, 27 sec left";
    QTest::newRow("a guess, no speed yet") << 47'815'065LL << true << -1.0 << -1LL << "12.30 MB of about 45.60 MB";
    QTest::newRow("nothing but the bytes") << -1LL << false << -1.0 << -1LL << "12.30 MB";
}

void tst_DownloadTexts::transferText()
{
    QFETCH(qint64, total);
    QFETCH(bool, estimated);
    QFETCH(double, speed);
    QFETCH(qint64, left);
    QTEST(DownloadTexts::transferText(12'897'484, total, estimated, speed, left), "expected");
}

void tst_DownloadTexts::rateText_data()
{
    QTest::addColumn<double>("rate");
    QTest::addColumn<QString>("expected");

    QTest::newRow("below one: times 1024") << 0.5 << QStringLiteral("512 Bytes/Sec");
    QTest::newRow("one") << 1.0 << QStringLiteral("1.00 KB/Sec");
    QTest::newRow("below ten: two decimals") << 2.5 << QStringLiteral("2.50 KB/Sec");
    QTest::newRow("ten and up: none") << 12.4 << QStringLiteral("12 KB/Sec");
}

void tst_DownloadTexts::rateText()
{
    QFETCH(double, rate);
    QFETCH(QString, expected);
    QCOMPARE(DownloadTexts::rateText(rate), expected);
}

void tst_DownloadTexts::shownFileName_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("expected");

    QTest::newRow("query left out") << QStringLiteral("http://h/a/b/clip.flv?x=1") << QStringLiteral("clip.flv");
    QTest::newRow("root") << QStringLiteral("http://h/") << QStringLiteral("/");
    QTest::newRow("trailing slash") << QStringLiteral("http://h/a/") << QString();
}

void tst_DownloadTexts::shownFileName()
{
    QFETCH(QString, url);
    QFETCH(QString, expected);
    QCOMPARE(DownloadTexts::shownFileName(QUrl(url)), expected);
}

void tst_DownloadTexts::rawHeaderPairs_data()
{
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<Pairs>("expected");

    QTest::newRow("request line skipped")
        << QByteArray("GET /clip.flv?at=10: 00 HTTP/1.1\r\nHost: example.test\r\n\r\n")
        << Pairs { { "Host", "example.test" } };
    QTest::newRow("cookie pairs unchanged")
        << QByteArray("Cookie: a=1; b=2; c=x y\r\n\r\n") << Pairs { { "Cookie", "a=1; b=2; c=x y" } };
    QTest::newRow("value cut at a second separator") << QByteArray("X-Test: a: b\r\n") << Pairs { { "X-Test", "a" } };
    QTest::newRow("no separator, no name")
        << QByteArray("Broken\r\n: value\r\nReferer:http://x/\r\nRange: bytes=0-\r\n")
        << Pairs { { "Range", "bytes=0-" } };
    QTest::newRow("bare line feed ends a line") << QByteArray("Referer: http://x/\nX-Injected: 1\r\n")
                                                << Pairs { { "Referer", "http://x/" }, { "X-Injected", "1" } };
}

void tst_DownloadTexts::rawHeaderPairs()
{
    QFETCH(QByteArray, header);
    QFETCH(Pairs, expected);
    QCOMPARE(DownloadTexts::rawHeaderPairs(header), expected);
}

void tst_DownloadTexts::replayHeaderPairs()
{
    const QByteArray captured = "Range: bytes=15040512-\r\nIf-Range: \"e1\"\r\nIF-NONE-MATCH: \"e1\"\r\nIf-Match: *\r\n"
                                "If-Modified-Since: x\r\nIf-Unmodified-Since: x\r\naccept-encoding: gzip, br\r\n"
                                "Cookie: a=1\r\n\r\n";
    QCOMPARE(DownloadTexts::replayHeaderPairs(captured),
             (Pairs { { "Cookie", "a=1" }, { "Accept-Encoding", "identity" } }));
    QCOMPARE(DownloadTexts::playerHeaders("GET /a HTTP/1.1\r\nHost: h\r\nconnection: keep-alive\r\n" + captured),
             QByteArray("Cookie: a=1\r\nAccept-Encoding: identity\r\n"));
}

QTEST_GUILESS_MAIN(tst_DownloadTexts)
#include "tst_DownloadTexts.moc"
