#include "UpdatedToday.h"
#include "WindowFixture.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTest>
#include <QTimer>

namespace {

const QByteArray testSettings = "last_update_v=last\n"
                                "[tovrin_test_urls]\n1=https://one.example/a\n2=https://two.example/b\n"
                                "3=https://three.example/c\n";

QStringList visibleContainers(const WindowFixture &fixture)
{
    QStringList shown;
    for (const char *name : { "widgetNavigation", "widgetInsertURL", "widgetOptions", "widgetProgress",
                              "widgetSettings", "widgetOldSniffer" }) {
        if (!fixture.find<QWidget>(QLatin1String(name))->isHidden()) {
            shown.append(QLatin1String(name));
        }
    }
    return shown;
}

void click(const WindowFixture &fixture, const char *button)
{
    QPushButton *target = fixture.find<QPushButton>(QLatin1String(button));
    QVERIFY2(target != nullptr, button);
    QVERIFY2(target->isVisible(), button);
    target->click();
}

} // namespace

class tst_Window final : public QObject
{
    Q_OBJECT

private slots:
    void startsOnTheNavigationBar();
    void layers_data();
    void layers();
    void optionsWaitForTitleAndFormats();
    void recordingOptions();
    void backFromEachPage_data();
    void backFromEachPage();
    void titleFromRecordedVersion();
    void testAddressesCycle();
    void urlHintGoesOnFocusOnlyAfterThePageWasShown();
    void editedTitleReachesTheLabel();
    void leavingTheProgressPageStopsItsTimer();
    void rightPressAsksForTheContextMenu();
    void escapeKeepsTheProgramRunning();
};

void tst_Window::startsOnTheNavigationBar()
{
    const WindowFixture fixture(updatedToday(testSettings));
    Sniffer &window = fixture.window();
    QVERIFY(window.isVisible());
    QCOMPARE(window.size(), QSize(528, 60));
    QCOMPARE(window.windowTitle(), QStringLiteral("Corvane 2 (last) (2.0.0.299)"));
    QVERIFY(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QVERIFY(window.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!window.windowFlags().testFlag(Qt::WindowContextHelpButtonHint));
    QCOMPARE(visibleContainers(fixture), QStringList { QStringLiteral("widgetNavigation") });
    QCOMPARE(fixture.find<QStackedWidget>(QStringLiteral("stackedWidget"))->currentIndex(), 0);
}

void tst_Window::layers_data()
{
    QTest::addColumn<QByteArray>("button");
    QTest::addColumn<int>("height");
    QTest::addColumn<QStringList>("pages");
    QTest::newRow("video site") << QByteArray("btnDownloaderYT") << 176
                                << QStringList { QStringLiteral("widgetNavigation"),
                                                 QStringLiteral("widgetInsertURL") };
    QTest::newRow("other sites") << QByteArray("btnDownloaderOS") << 176
                                 << QStringList { QStringLiteral("widgetNavigation"),
                                                  QStringLiteral("widgetInsertURL") };
    QTest::newRow("default folders") << QByteArray(
        "btnOptions") << 215 << QStringList { QStringLiteral("widgetNavigation"), QStringLiteral("widgetSettings") };
}

void tst_Window::layers()
{
    QFETCH(QByteArray, button);
    QFETCH(int, height);
    QFETCH(QStringList, pages);
    const WindowFixture fixture(updatedToday(testSettings));
    click(fixture, button.constData());
    QCOMPARE(fixture.window().height(), height);
    QCOMPARE(fixture.window().width(), 528);
    QCOMPARE(visibleContainers(fixture), pages);
    // Every page but the main one offers Back instead of the site buttons.
    QVERIFY(fixture.find<QPushButton>(QStringLiteral("btnBack"))->isVisible());
    QVERIFY(!fixture.find<QPushButton>(QStringLiteral("btnSniffer"))->isVisible());

    fixture.window().showLayer(LayerSniffer);
    QCOMPARE(fixture.window().height(), 262);
    fixture.window().showLayer(LayerProgress);
    QCOMPARE(fixture.window().height(), 120);
    QCOMPARE(visibleContainers(fixture), QStringList { QStringLiteral("widgetProgress") });
}

void tst_Window::optionsWaitForTitleAndFormats()
{
    const WindowFixture fixture(updatedToday(testSettings));
    Sniffer &window = fixture.window();
    auto *formats = fixture.find<QListWidget>(QStringLiteral("listFormats"));
    formats->addItems({ QStringLiteral("640x360"), QStringLiteral("1280x720"), QStringLiteral("1920x1080") });
    formats->setFixedHeight(81);
    click(fixture, "btnDownloaderYT");

    window.videoInfo().received.append(RequestTitle);
    window.showLayer(LayerOptions);
    QCOMPARE(window.height(), 176);
    QVERIFY(fixture.find<QWidget>(QStringLiteral("widgetOptions"))->isHidden());

    window.videoInfo().received.append(RequestFormats);
    window.showLayer(LayerOptions);
    QCOMPARE(window.height(), 255 + 81);
    QVERIFY(formats->isVisible());
    QVERIFY(fixture.find<QLabel>(QStringLiteral("lblTitle"))->isVisible());
    QVERIFY(!fixture.find<QLineEdit>(QStringLiteral("inputTitle"))->isVisible());
    QVERIFY(window.styleSheet().isEmpty());
}

void tst_Window::recordingOptions()
{
    const WindowFixture fixture(updatedToday(testSettings));
    Sniffer &window = fixture.window();
    window.postRecorderAV();
    QCOMPARE(window.height(), 155);
    QCOMPARE(window.styleSheet(), QStringLiteral("background-color:#1d1d1e;"));
    QCOMPARE(fixture.find<QLineEdit>(QStringLiteral("inputTitle"))->text(), QStringLiteral("Screen_Capture_1"));
    QVERIFY(!fixture.find<QListWidget>(QStringLiteral("listFormats"))->isVisible());
    QVERIFY(fixture.find<QPushButton>(QStringLiteral("btnDownloadVideo"))->isVisible());

    click(fixture, "btnBack");
    QCOMPARE(window.height(), 60);
    QVERIFY(!window.recorderSaveMode);
}

void tst_Window::backFromEachPage_data()
{
    QTest::addColumn<int>("layer");
    QTest::addColumn<int>("height");
    QTest::newRow("download options → URL page") << int(LayerOptions) << 176;
    QTest::newRow("URL page → main") << int(LayerInsertUrl) << 60;
    QTest::newRow("default folders → main") << int(LayerSettings) << 60;
    QTest::newRow("sniffer → main") << int(LayerSniffer) << 60;
    QTest::newRow("update → main") << int(LayerUpdate) << 60;
}

void tst_Window::backFromEachPage()
{
    QFETCH(int, layer);
    QFETCH(int, height);
    const WindowFixture fixture(updatedToday(testSettings));
    fixture.window().videoInfo().received = { RequestTitle, RequestFormats };
    fixture.window().showLayer(layer);
    click(fixture, "btnBack");
    QCOMPARE(fixture.window().height(), height);
    QCOMPARE(fixture.find<QStackedWidget>(QStringLiteral("stackedWidget"))->currentIndex(), height == 60 ? 0 : 1);
}

void tst_Window::titleFromRecordedVersion()
{
    const WindowFixture fixture(updatedToday("last_update_v=2014.05.19\n"));
    QCOMPARE(fixture.window().windowTitle(), QStringLiteral("Corvane 2 (2014.05.19)"));
    fixture.window().updateWindowTitle(QStringLiteral("last"));
    QCOMPARE(fixture.window().windowTitle(), QStringLiteral("Corvane 2 (last) (2.0.0.299)"));
}

void tst_Window::testAddressesCycle()
{
    const WindowFixture fixture(updatedToday(testSettings));
    auto *field = fixture.find<QLineEdit>(QStringLiteral("inputURL"));
    QStringList seen;
    for (int press = 0; press < 4; ++press) {
        fixture.window().tovrinSetDefaultURL();
        seen.append(field->text());
    }
    QCOMPARE(seen,
             QStringList({ QStringLiteral("https://one.example/a"), QStringLiteral("https://two.example/b"),
                           QStringLiteral("https://three.example/c"), QStringLiteral("https://one.example/a") }));
}

void tst_Window::urlHintGoesOnFocusOnlyAfterThePageWasShown()
{
    const WindowFixture fixture(updatedToday(testSettings));
    Sniffer &window = fixture.window();
    QApplication::setActiveWindow(&window);
    auto *field = fixture.find<QLineEdit>(QStringLiteral("inputURL"));
    const QString before = field->styleSheet();
    window.focusChanged(nullptr, field);
    QCOMPARE(field->styleSheet(), before);

    click(fixture, "btnDownloaderYT");
    QVERIFY(field->styleSheet().contains(QStringLiteral("url(:/bgURL)")));
    field->setFocus();
    QTRY_VERIFY(!field->styleSheet().contains(QStringLiteral("bgURL")));
    QVERIFY(field->styleSheet().contains(QStringLiteral("border: 2px solid gray")));

    // Opening the page again brings the hint back for the empty field.
    click(fixture, "btnBack");
    click(fixture, "btnDownloaderOS");
    QVERIFY(field->text().isEmpty());
    QVERIFY(field->styleSheet().contains(QStringLiteral("url(:/bgURL)")));
}

void tst_Window::editedTitleReachesTheLabel()
{
    const WindowFixture fixture(updatedToday(testSettings));
    Sniffer &window = fixture.window();
    QApplication::setActiveWindow(&window);
    window.videoInfo().received = { RequestTitle, RequestFormats };
    window.showLayer(LayerOptions);
    auto *title = fixture.find<QLineEdit>(QStringLiteral("inputTitle"));
    title->show();
    title->setFocus();
    QTRY_VERIFY(title->hasFocus());
    title->setText(QStringLiteral("My own title"));
    fixture.find<QPushButton>(QStringLiteral("btnDownloadVideo"))->setFocus();
    QTRY_COMPARE(fixture.find<QLabel>(QStringLiteral("lblTitle"))->text(), QStringLiteral("My own title"));
}

void tst_Window::leavingTheProgressPageStopsItsTimer()
{
    const WindowFixture fixture(updatedToday(testSettings));
    auto *timer = fixture.find<QTimer>(QStringLiteral("iterationTimer"));
    QVERIFY(timer != nullptr);
    fixture.window().showLayer(LayerProgress);
    timer->start(100);
    fixture.window().showLayer(LayerProgress);
    QVERIFY(timer->isActive());
    fixture.window().showLayer(LayerMain);
    QVERIFY(!timer->isActive());
}

void tst_Window::rightPressAsksForTheContextMenu()
{
    const WindowFixture fixture(updatedToday(testSettings));
    QSignalSpy spy(&fixture.window(), &QWidget::customContextMenuRequested);
    QTest::mousePress(&fixture.window(), Qt::LeftButton, {}, QPoint(30, 20));
    QCOMPARE(spy.count(), 0);
    QTest::mousePress(&fixture.window(), Qt::RightButton, {}, QPoint(30, 20));
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toPoint(), QPoint(30, 20));
}

void tst_Window::escapeKeepsTheProgramRunning()
{
    WindowFixture fixture(updatedToday());
    QSignalSpy finished(&fixture.window(), &QDialog::finished);
    QTest::keyClick(&fixture.window(), Qt::Key_Escape);
    QVERIFY(fixture.window().isVisible());
    QCOMPARE(finished.count(), 0);

    fixture.window().close();
    QVERIFY(!fixture.window().isVisible());
}

QTEST_MAIN(tst_Window)
#include "tst_Window.moc"
