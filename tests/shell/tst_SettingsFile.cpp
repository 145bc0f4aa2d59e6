#include "MessageIds.h"
#include "SettingsFile.h"
#include "TempHome.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTest>

namespace {

const QString deliveredTemplate = QStringLiteral(CORVANE_SOURCE_DIR "/resources/sniffer.ini");

void writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

struct Layout
{
    TempHome home;
    QString appDir = home.path() + QStringLiteral("/app");
    QString dataFolder = home.dataFolder();
    QString settingsPath = SettingsFile::settingsPath(dataFolder);
    QString templatePath = SettingsFile::templatePath(appDir);

    Layout()
    {
        QDir().mkpath(appDir);
        QDir().mkpath(dataFolder);
    }
};

} // namespace

class tst_SettingsFile final : public QObject
{
    Q_OBJECT

private slots:
    void firstRunMovesTemplateAndMakesFolders_data();
    void firstRunMovesTemplateAndMakesFolders();
    void noTemplateMeansNoFileAndNoFolders();
    void laterStartAddsOnlyNewEntries();
    void listIdsAreDecimalKeys();
    void unquotedCommasKeepTheText();
    void deliveredTemplateCoversEveryRaisedId();
};

void tst_SettingsFile::firstRunMovesTemplateAndMakesFolders_data()
{
    QTest::addColumn<QDate>("today");
    QTest::addColumn<QString>("lastUpdate");
    QTest::newRow("mid year") << QDate(2026, 12, 8) << QStringLiteral("341");
    QTest::newRow("1 January") << QDate(2026, 1, 1) << QStringLiteral("0");
}

void tst_SettingsFile::firstRunMovesTemplateAndMakesFolders()
{
    QFETCH(QDate, today);
    QFETCH(QString, lastUpdate);
    Layout layout;
    QVERIFY(QFile::copy(deliveredTemplate, layout.templatePath));

    QVERIFY(SettingsFile::provision(layout.settingsPath, layout.templatePath, layout.home.documents(), today));

    QVERIFY(!QFile::exists(layout.templatePath));
    QVERIFY(QFile::exists(layout.settingsPath));
    QSettings settings(layout.settingsPath, QSettings::IniFormat);
    QCOMPARE(settings.value(SettingsKeys::LastUpdate).toString(), lastUpdate);
    const QString video = layout.home.documents() + QStringLiteral("/Corvane 2/Video");
    const QString audio = layout.home.documents() + QStringLiteral("/Corvane 2/Audio");
    QVERIFY(QDir(video).exists());
    QVERIFY(QDir(audio).exists());
    QCOMPARE(settings.value(SettingsKeys::SavePathVideo).toString(), QDir::toNativeSeparators(video));
    QCOMPARE(settings.value(SettingsKeys::SavePathAudio).toString(), QDir::toNativeSeparators(audio));
    // The delivered lists came along with the scalar values.
    QVERIFY(!SettingsFile::readList(settings, SettingsGroups::ErrorTitles).isEmpty());
}

void tst_SettingsFile::noTemplateMeansNoFileAndNoFolders()
{
    Layout layout;
    QVERIFY(
        !SettingsFile::provision(layout.settingsPath, layout.templatePath, layout.home.documents(), QDate(2026, 5, 5)));
    QVERIFY(!QFile::exists(layout.settingsPath));
    QVERIFY(!QDir(layout.home.documents() + QStringLiteral("/Corvane 2")).exists());

    QSettings settings(layout.settingsPath, QSettings::IniFormat);
    const SettingsLists lists = SettingsFile::readAll(settings);
    QCOMPARE(lists.size(), SettingsGroups::all().size());
    for (const SettingsList &list : lists) {
        QVERIFY(list.isEmpty());
    }
}

// A file from an earlier version, with texts of the user's own, meets a newer template.
void tst_SettingsFile::laterStartAddsOnlyNewEntries()
{
    Layout layout;
    writeFile(layout.settingsPath, "last_update=17\n[error_messages_dl]\n5=\"3~My own words, kept\"\n");
    QVERIFY(QFile::copy(deliveredTemplate, layout.templatePath));

    QVERIFY(
        !SettingsFile::provision(layout.settingsPath, layout.templatePath, layout.home.documents(), QDate(2026, 5, 5)));
    QVERIFY(SettingsFile::merge(layout.settingsPath, layout.templatePath));

    QVERIFY(QFile::exists(layout.templatePath));
    QSettings settings(layout.settingsPath, QSettings::IniFormat);
    QSettings delivered(deliveredTemplate, QSettings::IniFormat);
    QCOMPARE(settings.value(SettingsKeys::LastUpdate).toString(), QStringLiteral("17"));
    SettingsLists expected = SettingsFile::readAll(delivered);
    expected[SettingsGroups::DownloadErrorMessages][5] = QStringLiteral("3~My own words, kept");
    QCOMPARE(SettingsFile::readAll(settings), expected);
}

void tst_SettingsFile::listIdsAreDecimalKeys()
{
    Layout layout;
    writeFile(layout.settingsPath, "[help]\n1=one\n2=two\n10=ten\nx=not a number\n[other]\n3=elsewhere\n");
    QSettings settings(layout.settingsPath, QSettings::IniFormat);

    const SettingsList list = SettingsFile::readList(settings, SettingsGroups::Help);
    const SettingsList expected { { 1, QStringLiteral("one") },
                                  { 2, QStringLiteral("two") },
                                  { 10, QStringLiteral("ten") },
                                  { 0, QStringLiteral("not a number") } };
    QCOMPARE(list, expected);
    QVERIFY(SettingsFile::readList(settings, QStringLiteral("missing")).isEmpty());
}

void tst_SettingsFile::unquotedCommasKeepTheText()
{
    Layout layout;
    writeFile(layout.settingsPath, "[error_messages]\n1=\"1~Quoted, as it should be\"\n2=1~Unquoted, by hand\n");
    QSettings settings(layout.settingsPath, QSettings::IniFormat);

    const SettingsList list = SettingsFile::readList(settings, SettingsGroups::ErrorMessages);
    QCOMPARE(list.value(1), QStringLiteral("1~Quoted, as it should be"));
    QCOMPARE(list.value(2), QStringLiteral("1~Unquoted, by hand"));
}

void tst_SettingsFile::deliveredTemplateCoversEveryRaisedId()
{
    QSettings settings(deliveredTemplate, QSettings::IniFormat);
    QCOMPARE(settings.status(), QSettings::NoError);
    const SettingsLists lists = SettingsFile::readAll(settings);
    const SettingsList titles = lists.value(SettingsGroups::ErrorTitles);
    QVERIFY(titles.contains(0));

    const auto checkEntry = [&titles](const SettingsList &list, int id) {
        QVERIFY2(list.contains(id), qPrintable(QStringLiteral("no entry %1").arg(id)));
        const QStringList parts = list.value(id).split(QLatin1Char('~'));
        QVERIFY2(parts.size() == 2 && parts.at(1).size() > 20, qPrintable(list.value(id)));
        bool numeric = false;
        const int title = parts.at(0).toInt(&numeric);
        QVERIFY2(numeric && titles.contains(title), qPrintable(list.value(id)));
    };
    for (const int id : MessageIds::errors) {
        checkEntry(lists.value(SettingsGroups::ErrorMessages), id);
    }
    for (int code = 0; code < MessageIds::downloadErrorCount; ++code) {
        checkEntry(lists.value(SettingsGroups::DownloadErrorMessages), code);
    }

    const SettingsList help = lists.value(SettingsGroups::Help);
    const SettingsList actions = lists.value(SettingsGroups::HelpActions);
    QVERIFY(!help.isEmpty());
    QCOMPARE(help.keys().size(), actions.keys().size());
    for (int id = 1; id <= 3; ++id) {
        QVERIFY(lists.value(SettingsGroups::TestUrls).value(id).startsWith(QStringLiteral("http")));
    }
    QVERIFY(lists.value(SettingsGroups::TestSniffer).value(0).startsWith(QStringLiteral("http://")));
    QVERIFY(lists.value(SettingsGroups::OtherSiteUrls).size() >= 5);
    QVERIFY(!lists.value(SettingsGroups::VideoSiteUrls).isEmpty());
}

QTEST_GUILESS_MAIN(tst_SettingsFile)
#include "tst_SettingsFile.moc"
