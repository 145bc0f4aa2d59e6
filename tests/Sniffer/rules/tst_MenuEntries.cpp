#include "MenuEntries.h"

#include <QTest>

namespace {

// "caption|target" per entry, so a failing comparison shows the whole menu.
QStringList describe(const QList<MenuEntry> &entries)
{
    QStringList lines;
    for (const MenuEntry &entry : entries) {
        lines.append(entry.caption + QLatin1Char('|') + entry.target);
    }
    return lines;
}

} // namespace

class tst_MenuEntries final : public QObject
{
    Q_OBJECT

private slots:
    void helpEntries_data();
    void helpEntries();
    void siteEntriesFollowIds();
    void interpretHelpTarget_data();
    void interpretHelpTarget();
};

void tst_MenuEntries::helpEntries_data()
{
    QTest::addColumn<SettingsList>("captions");
    QTest::addColumn<SettingsList>("actions");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("ascending ids, not text order")
        << SettingsList { { 10, QStringLiteral("Ten") }, { 2, QStringLiteral("Two") }, { 1, QStringLiteral("One") } }
        << SettingsList { { 1, QStringLiteral("a") }, { 2, QStringLiteral("b") }, { 10, QStringLiteral("c") } }
        << QStringList { QStringLiteral("One|a"), QStringLiteral("Two|b"), QStringLiteral("Ten|c") };
    QTest::newRow("missing action is empty")
        << SettingsList { { 1, QStringLiteral("One") }, { 2, QStringLiteral("Two") } }
        << SettingsList { { 2, QStringLiteral("b") } }
        << QStringList { QStringLiteral("One|"), QStringLiteral("Two|b") };
    QTest::newRow("action without caption makes no entry")
        << SettingsList { { 1, QStringLiteral("One") } }
        << SettingsList { { 1, QStringLiteral("a") }, { 7, QStringLiteral("orphan") } }
        << QStringList { QStringLiteral("One|a") };
    QTest::newRow("no help list") << SettingsList {} << SettingsList { { 1, QStringLiteral("a") } } << QStringList {};
}

void tst_MenuEntries::helpEntries()
{
    QFETCH(SettingsList, captions);
    QFETCH(SettingsList, actions);
    QFETCH(QStringList, expected);

    SettingsLists lists;
    if (!captions.isEmpty()) {
        lists.insert(SettingsGroups::Help, captions);
    }
    lists.insert(SettingsGroups::HelpActions, actions);
    QCOMPARE(describe(MenuEntries::helpEntries(lists)), expected);
}

void tst_MenuEntries::siteEntriesFollowIds()
{
    const SettingsLists lists {
        { SettingsGroups::OtherSiteUrls,
          { { 10, QStringLiteral("twitch.tv") },
            { 2, QStringLiteral("dailymotion.com") },
            { 1, QStringLiteral("vimeo.com") } } },
        { SettingsGroups::VideoSiteUrls, { { 0, QStringLiteral("youtube.com") } } },
    };
    QCOMPARE(describe(MenuEntries::siteEntries(lists)),
             (QStringList { QStringLiteral("vimeo.com|vimeo.com"), QStringLiteral("dailymotion.com|dailymotion.com"),
                            QStringLiteral("twitch.tv|twitch.tv") }));
    QVERIFY(MenuEntries::siteEntries({}).isEmpty());
}

void tst_MenuEntries::interpretHelpTarget_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("value");

    QTest::newRow("empty shows caption") << QString() << int(HelpTarget::ShowCaption) << QString();
    QTest::newRow("https address") << QStringLiteral("https://corvane2.example.org/help") << int(HelpTarget::OpenUrl)
                                   << QStringLiteral("https://corvane2.example.org/help");
    QTest::newRow("only the first four characters count")
        << QStringLiteral("httpfoo") << int(HelpTarget::OpenUrl) << QStringLiteral("httpfoo");
    QTest::newRow("address keeps its tilde") << QStringLiteral("http://a.example/~user") << int(HelpTarget::OpenUrl)
                                             << QStringLiteral("http://a.example/~user");
    QTest::newRow("too short for an address")
        << QStringLiteral("htt") << int(HelpTarget::InvokeMethod) << QStringLiteral("htt");
    QTest::newRow("method name") << QStringLiteral("showAboutDialog") << int(HelpTarget::InvokeMethod)
                                 << QStringLiteral("showAboutDialog");
    QTest::newRow("method name, rest ignored")
        << QStringLiteral("showLogsFolder~extra") << int(HelpTarget::InvokeMethod) << QStringLiteral("showLogsFolder");
    QTest::newRow("only the first tilde splits")
        << QStringLiteral("showLogsFolder~a~b") << int(HelpTarget::InvokeMethod) << QStringLiteral("showLogsFolder");
    QTest::newRow("leading tilde names nothing")
        << QStringLiteral("~showLogsFolder") << int(HelpTarget::InvokeMethod) << QString();
}

void tst_MenuEntries::interpretHelpTarget()
{
    QFETCH(QString, target);
    QFETCH(int, kind);
    QFETCH(QString, value);

    const HelpTarget interpreted = MenuEntries::interpretHelpTarget(target);
    QCOMPARE(int(interpreted.kind), kind);
    QCOMPARE(interpreted.value, value);
}

QTEST_GUILESS_MAIN(tst_MenuEntries)
#include "tst_MenuEntries.moc"
