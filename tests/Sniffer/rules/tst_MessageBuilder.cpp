#include "MessageBuilder.h"
#include "MessageIds.h"

#include <QSettings>
#include <QTest>

using MessageBuilder::Kind;

namespace {

QString wrapped(const QString &lines)
{
    return QStringLiteral("<br><br><hr><div style=\"font-size:10px\"><i>") + lines + QStringLiteral("</i></div>");
}

SettingsLists sampleLists()
{
    SettingsLists lists;
    lists.insert(
        SettingsGroups::ErrorTitles,
        { { 0, QStringLiteral("Oops") }, { 2, QStringLiteral("Download failed") }, { 6, QStringLiteral("Careful") } });
    lists.insert(SettingsGroups::ErrorMessages,
                 { { 1, QStringLiteral("2~Bad address") },
                   { 4, QStringLiteral("no separator") },
                   { 5, QStringLiteral("x~Non-numeric title") },
                   { 6, QStringLiteral("~Empty title") },
                   { 7, QStringLiteral("9~Unknown title") },
                   { 8, QStringLiteral("2~First~second") } });
    lists.insert(SettingsGroups::DownloadErrorMessages, { { 1, QStringLiteral("2~Tool failed") } });
    lists.insert(SettingsGroups::WarningMessages, { { 1, QStringLiteral("6~Mind this") } });
    return lists;
}

} // namespace

class tst_MessageBuilder final : public QObject
{
    Q_OBJECT

private slots:
    void footer_data();
    void footer();
    void build_data();
    void build();
    void missingEntryGivesBuiltInText();
};

void tst_MessageBuilder::footer_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QStringList>("context");
    QTest::addColumn<QString>("expected");

    const int error = int(Kind::Error);
    const int download = int(Kind::DownloadError);
    const QStringList where { QStringLiteral("src/ProcessURL.cpp"), QStringLiteral("36"),
                              QStringLiteral("processURL") };

    QTest::newRow("empty comment") << 3 << error << (where + QStringList { QString() })
                                   << wrapped(QStringLiteral("<b>error #3:36</b><br>in 'processURL'<br>comment: "));
    QTest::newRow("inline comment") << 3 << error << (where + QStringList { QStringLiteral("host rejected") })
                                    << wrapped(QStringLiteral("<b>error #3:36</b><br>in 'processURL'"
                                                              "<br>comment: host rejected"));
    QTest::newRow("two comment lines bulleted")
        << 3 << error << (where + QStringList { QStringLiteral("one"), QStringLiteral("two") })
        << wrapped(
               QStringLiteral("<b>error #3:36</b><br>in 'processURL'<br>comment: <ul><li>one</li><li>two</li></ul>"));
    QTest::newRow("download error marks the location line")
        << 5 << download << (where + QStringList { QString() })
        << wrapped(QStringLiteral("<b>error #5:36</b><br>[DL] in 'processURL'<br>comment: "));
    QTest::newRow("file and line only") << 7 << download
                                        << QStringList { QStringLiteral("a.cpp"), QStringLiteral("12") }
                                        << wrapped(QStringLiteral("<b>error #7:12</b><br>[DL] in '?'<br>comment: ---"));
    QTest::newRow("empty context") << 0 << error << QStringList()
                                   << wrapped(QStringLiteral("<b>error #0:?</b><br>in '?'<br>comment: ---"));
    QTest::newRow("markup in the context shows as written")
        << 3 << error << (where + QStringList { QStringLiteral("<a> & <b>") })
        << wrapped(QStringLiteral("<b>error #3:36</b><br>in 'processURL'<br>comment: &lt;a&gt; &amp; &lt;b&gt;"));
}

void tst_MessageBuilder::footer()
{
    QFETCH(int, id);
    QFETCH(int, kind);
    QFETCH(QStringList, context);
    QFETCH(QString, expected);

    QCOMPARE(MessageBuilder::footer(id, Kind(kind), context), expected);
}

void tst_MessageBuilder::build_data()
{
    QTest::addColumn<QString>("withoutGroup");
    QTest::addColumn<int>("id");
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("critical");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");

    const int warning = int(Kind::Warning);
    const int error = int(Kind::Error);
    const int download = int(Kind::DownloadError);
    const QString indefinite = QStringLiteral("Indefinite Error");

    QTest::newRow("warning") << QString() << 1 << warning << false << "Careful"
                             << "Mind this";
    QTest::newRow("error") << QString() << 1 << error << true << "Download failed"
                           << "Bad address";
    QTest::newRow("download error reads its own list") << QString() << 1 << download << true << "Download failed"
                                                       << "Tool failed";
    QTest::newRow("missing id") << QString() << 42 << error << true << "Oops" << indefinite;
    QTest::newRow("missing id and title 0")
        << SettingsGroups::ErrorTitles << 42 << download << true << "Error" << indefinite;
    QTest::newRow("no separator") << QString() << 4 << error << true << "Oops" << indefinite;
    QTest::newRow("non-numeric title id") << QString() << 5 << error << true << "Oops"
                                          << "Non-numeric title";
    QTest::newRow("unknown title id") << QString() << 7 << error << true << "Error"
                                      << "Unknown title";
    QTest::newRow("parts after the text ignored") << QString() << 8 << error << true << "Download failed"
                                                  << "First";
}

void tst_MessageBuilder::build()
{
    QFETCH(QString, withoutGroup);
    QFETCH(int, id);
    QFETCH(int, kind);
    QFETCH(bool, critical);
    QFETCH(QString, title);
    QFETCH(QString, text);

    SettingsLists lists = sampleLists();
    lists.remove(withoutGroup);
    const QStringList context { QStringLiteral("a.cpp"), QStringLiteral("9"), QStringLiteral("op"), QString() };

    const MessageBuilder::Message message = MessageBuilder::build(lists, id, Kind(kind), context);
    QCOMPARE(message.critical, critical);
    QCOMPARE(message.title, title);
    QCOMPARE(message.text, text);
    const QString footer = critical ? MessageBuilder::footer(id, Kind(kind), context) : QString();
    QCOMPARE(message.boxText(), text + footer);
}

// A settings file from an earlier version lacks the newer entries: every message the program raises still
// shows its delivered text and title.
void tst_MessageBuilder::missingEntryGivesBuiltInText()
{
    QSettings file(QStringLiteral(CORVANE_SOURCE_DIR "/resources/sniffer.ini"), QSettings::IniFormat);
    const SettingsLists delivered = SettingsFile::readAll(file);
    const auto check = [&delivered](Kind kind, const QString &group, int id) {
        const QStringList parts = delivered.value(group).value(id).split(QLatin1Char('~'));
        const MessageBuilder::Message message = MessageBuilder::build({}, id, kind, {});
        QCOMPARE(message.text, parts.value(1));
        QCOMPARE(message.title, delivered[SettingsGroups::ErrorTitles][parts.value(0).toInt()]);
    };
    for (const int id : MessageIds::errors) {
        check(Kind::Error, SettingsGroups::ErrorMessages, id);
    }
    for (int code = 0; code < MessageIds::downloadErrorCount; ++code) {
        check(Kind::DownloadError, SettingsGroups::DownloadErrorMessages, code);
    }
    check(Kind::Warning, SettingsGroups::WarningMessages, 1);
}

QTEST_GUILESS_MAIN(tst_MessageBuilder)
#include "tst_MessageBuilder.moc"
