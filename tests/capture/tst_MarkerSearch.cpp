#include "MarkerSearch.h"

#include <QTest>

class tst_MarkerSearch final : public QObject
{
    Q_OBJECT

private slots:
    void everyPosition_data();
    void everyPosition();
};

void tst_MarkerSearch::everyPosition_data()
{
    QTest::addColumn<QByteArray>("marker");
    QTest::newRow("one byte") << QByteArray(" ");
    QTest::newRow("two bytes") << QByteArray("\r\n");
    QTest::newRow("four bytes") << QByteArray("HTTP");
    QTest::newRow("twenty bytes") << QByteArray("Content-Type: video/");
}

// Ranges of many lengths around the 16-byte blocks, the marker at every start position including the last.
void tst_MarkerSearch::everyPosition()
{
    QFETCH(QByteArray, marker);
    const std::string_view view(marker.constData(), size_t(marker.size()));
    for (qsizetype length = 0; length < 160; ++length) {
        // A near miss (first and last bytes right, middle wrong) everywhere else.
        QByteArray haystack(length, 'x');
        const auto *begin = reinterpret_cast<const uchar *>(haystack.constData());
        QCOMPARE(findMarker(begin, begin + length, view), begin + length);
        for (qsizetype at = 0; at + marker.size() <= length; ++at) {
            QByteArray text = haystack;
            text.replace(at, marker.size(), marker);
            if (marker.size() > 2 && at > marker.size()) {
                text.replace(0, marker.size(), marker);
                text[1] = '?';
            }
            const auto *data = reinterpret_cast<const uchar *>(text.constData());
            QCOMPARE(findMarker(data, data + length, view) - data, at);
            // One byte less and a marker at the very end is out of range.
            if (at + marker.size() == length) {
                QCOMPARE(findMarker(data + (at > 0 ? at : 0), data + length - 1, view), data + length - 1);
            }
        }
    }
}

QTEST_GUILESS_MAIN(tst_MarkerSearch)
#include "tst_MarkerSearch.moc"
