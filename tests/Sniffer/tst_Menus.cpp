#include "UpdatedToday.h"
#include "WindowFixture.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QUrl>

namespace {

const QByteArray menuSettings = R"([help]
1=Help online
10=Plain text
2=Log folder
3=About
4=Self-destruct
5=Unknown

[help_actions]
1=https://corvane2.example.org/help
2=showLogsFolder~extra
3=showAboutDialog~ignored
4=deleteLater
5=noSuchMethod~x

[os_urls]
2=dailymotion.com
1=vimeo.com
)";

QAction *actionNamed(const Sniffer &window, const QString &text)
{
    for (QAction *action : window.findChildren<QAction *>()) {
        if (action->text() == text) {
            return action;
        }
    }
    return nullptr;
}

QMenu *openMenu(const Sniffer &window)
{
    for (QMenu *menu : window.findChildren<QMenu *>()) {
        if (menu->isVisible()) {
            return menu;
        }
    }
    return nullptr;
}

QStringList texts(const QList<QAction *> &actions)
{
    QStringList result;
    for (const QAction *action : actions) {
        result.append(action->text());
    }
    return result;
}

QList<QDialog *> aboutDialogs()
{
    QList<QDialog *> dialogs;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == QLatin1String("DialogAbout")) {
            dialogs.append(qobject_cast<QDialog *>(widget));
        }
    }
    return dialogs;
}

} // namespace

// Takes the place of the desktop's browser and file manager.
class OpenedUrls final : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> urls;

public slots:
    void open(const QUrl &url) { urls.append(url); }
};

class tst_Menus final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void helpEntryOpensAddress_data();
    void helpEntryOpensAddress();
    void helpEntryOpensAbout();
    void helpEntryWithoutActionShowsCaption();
    void helpEntryNamingNoOwnMethodDoesNothing();
    void helpMenuListsEntriesInIdOrder();
    void rightPress_data();
    void rightPress();
    void siteLinkOpensAddressAndUrlPage();
    void aboutDialog();
    void aboutDialogLifecycle();

private:
    OpenedUrls opened;
};

void tst_Menus::init()
{
    opened.urls.clear();
    for (const QString &scheme : { QStringLiteral("http"), QStringLiteral("https"), QStringLiteral("file") }) {
        QDesktopServices::setUrlHandler(scheme, &opened, "open");
    }
}

void tst_Menus::cleanup()
{
    for (const QString &scheme : { QStringLiteral("http"), QStringLiteral("https"), QStringLiteral("file") }) {
        QDesktopServices::unsetUrlHandler(scheme);
    }
    QTRY_VERIFY(aboutDialogs().isEmpty());
}

void tst_Menus::helpEntryOpensAddress_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("logFolder");

    QTest::newRow("web address") << QStringLiteral("Help online") << false;
    QTest::newRow("method with extra text") << QStringLiteral("Log folder") << true;
}

void tst_Menus::helpEntryOpensAddress()
{
    QFETCH(QString, caption);
    QFETCH(bool, logFolder);

    WindowFixture fixture(updatedToday(menuSettings));
    QAction *action = actionNamed(fixture.window(), caption);
    QVERIFY(action != nullptr);
    QCOMPARE(action->statusTip(), caption);
    action->trigger();

    const QUrl expected = logFolder ? QUrl::fromLocalFile(fixture.home().dataFolder())
                                    : QUrl(QStringLiteral("https://corvane2.example.org/help"));
    QCOMPARE(opened.urls, QList<QUrl> { expected });
}

void tst_Menus::helpEntryOpensAbout()
{
    WindowFixture fixture(updatedToday(menuSettings));
    actionNamed(fixture.window(), QStringLiteral("About"))->trigger();
    QCOMPARE(aboutDialogs().size(), 1);
    QVERIFY(aboutDialogs().constFirst()->isVisible());
}

void tst_Menus::helpEntryWithoutActionShowsCaption()
{
    WindowFixture fixture(updatedToday(menuSettings));
    QString title;
    QString text;
    answerNextModal([&](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        QVERIFY(box != nullptr);
        title = box->windowTitle();
        text = box->text();
        QCOMPARE(box->icon(), QMessageBox::Information);
        QCOMPARE(box->buttons().size(), 1);
        box->button(QMessageBox::Ok)->click();
    });
    actionNamed(fixture.window(), QStringLiteral("Plain text"))->trigger();
    QCOMPARE(title, QStringLiteral("Help"));
    QCOMPARE(text, QStringLiteral("Plain text"));
}

void tst_Menus::helpEntryNamingNoOwnMethodDoesNothing()
{
    WindowFixture fixture(updatedToday(menuSettings));
    const QPointer<Sniffer> window = &fixture.window();
    actionNamed(*window, QStringLiteral("Self-destruct"))->trigger();
    actionNamed(*window, QStringLiteral("Unknown"))->trigger();
    QTest::qWait(50);
    QVERIFY(!window.isNull());
    QVERIFY(window->isVisible());
    QVERIFY(opened.urls.isEmpty());
    QVERIFY(aboutDialogs().isEmpty());
}

void tst_Menus::helpMenuListsEntriesInIdOrder()
{
    WindowFixture fixture(updatedToday(menuSettings));
    QVERIFY(QTest::qWaitForWindowExposed(&fixture.window()));
    fixture.find<QPushButton>(QStringLiteral("btnHelp"))->click();

    QMenu *menu = openMenu(fixture.window());
    QVERIFY(menu != nullptr);
    QCOMPARE(
        texts(menu->actions()),
        (QStringList { QStringLiteral("Help online"), QStringLiteral("Log folder"), QStringLiteral("About"),
                       QStringLiteral("Self-destruct"), QStringLiteral("Unknown"), QStringLiteral("Plain text") }));

    // Each opening makes its own menu; a closed one does not stay behind.
    menu->close();
    QTRY_VERIFY(fixture.window().findChildren<QMenu *>().isEmpty());
}

void tst_Menus::rightPress_data()
{
    QTest::addColumn<int>("layer");
    QTest::addColumn<QPoint>("offset");
    QTest::addColumn<bool>("menuExpected");

    // Offsets from the button's top-left corner; the button is w x h, so w and h are just outside.
    QTest::newRow("top-left corner") << int(LayerMain) << QPoint(0, 0) << true;
    QTest::newRow("last pixel inside") << int(LayerMain) << QPoint(-1, -1) << true;
    QTest::newRow("right of the button") << int(LayerMain) << QPoint(-2, 5) << false;
    QTest::newRow("below the button") << int(LayerMain) << QPoint(5, -2) << false;
    QTest::newRow("where the button is, on the URL page") << int(LayerInsertUrl) << QPoint(5, 5) << false;
}

void tst_Menus::rightPress()
{
    QFETCH(int, layer);
    QFETCH(QPoint, offset);
    QFETCH(bool, menuExpected);

    WindowFixture fixture(updatedToday(menuSettings));
    Sniffer &window = fixture.window();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto *button = fixture.find<QPushButton>(QStringLiteral("btnDownloaderOS"));
    const QRect area(button->mapTo(&window, QPoint(0, 0)), button->size());
    window.showLayer(layer);

    // -1 stands for the last pixel inside, -2 for the first one outside.
    const auto resolve = [](int value, int size) { return value == -1 ? size - 1 : value == -2 ? size : value; };
    const QPoint press = area.topLeft() + QPoint(resolve(offset.x(), area.width()), resolve(offset.y(), area.height()));
    QTest::mousePress(&window, Qt::RightButton, {}, press);

    QMenu *menu = openMenu(window);
    QCOMPARE(menu != nullptr, menuExpected);
    if (menu != nullptr) {
        QCOMPARE(texts(menu->actions()),
                 (QStringList { QStringLiteral("vimeo.com"), QStringLiteral("dailymotion.com") }));
        menu->close();
    }
    QVERIFY(opened.urls.isEmpty());
}

void tst_Menus::siteLinkOpensAddressAndUrlPage()
{
    WindowFixture fixture(updatedToday(menuSettings));
    Sniffer &window = fixture.window();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto *button = fixture.find<QPushButton>(QStringLiteral("btnDownloaderOS"));
    QTest::mousePress(&window, Qt::RightButton, {}, button->mapTo(&window, QPoint(10, 10)));

    QMenu *menu = openMenu(window);
    QVERIFY(menu != nullptr);
    QAction *vimeo = menu->actions().value(0);
    QCOMPARE(vimeo->text(), QStringLiteral("vimeo.com"));
    QCOMPARE(vimeo->statusTip(), QStringLiteral("vimeo.com"));
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(vimeo).center());

    QCOMPARE(opened.urls, QList<QUrl> { QUrl(QStringLiteral("http://vimeo.com")) });
    QCOMPARE(window.height(), 176);
    QVERIFY(fixture.find<QLineEdit>(QStringLiteral("inputURL"))->isVisible());
    QCOMPARE(window.layerHistory.value(window.layerHistory.size() - 1), int(LayerInsertUrl));
}

void tst_Menus::aboutDialog()
{
    WindowFixture fixture(updatedToday(menuSettings));
    fixture.window().showAboutDialog();

    QCOMPARE(aboutDialogs().size(), 1);
    QDialog *dialog = aboutDialogs().constFirst();
    QVERIFY(dialog->isVisible());
    QVERIFY(!dialog->isModal());
    QCOMPARE(dialog->parentWidget(), nullptr);
    QVERIFY(dialog->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QCOMPARE(dialog->windowTitle(), QStringLiteral("About Corvane 2"));
    QCOMPARE(dialog->minimumSize(), QSize(400, 340));
    QCOMPARE(dialog->maximumSize(), QSize(400, 340));
    QCOMPARE(dialog->findChild<QLabel *>(QStringLiteral("lblTitle"))->text(),
             QStringLiteral("Corvane 2 Version 2.0.0.299"));
    for (const QString &name : { QStringLiteral("lblWebsite"), QStringLiteral("lblHelpDesk") }) {
        QVERIFY(dialog->findChild<QLabel *>(name)->openExternalLinks());
    }
}

void tst_Menus::aboutDialogLifecycle()
{
    WindowFixture fixture(updatedToday(menuSettings));
    Sniffer &window = fixture.window();

    window.showAboutDialog();
    QPointer<QDialog> first = aboutDialogs().value(0);
    QVERIFY(!first.isNull());
    window.showAboutDialog();
    QCOMPARE(aboutDialogs(), QList<QDialog *> { first.data() });

    // Close deletes it; the next request builds a fresh one.
    QTest::mouseClick(first->findChild<QPushButton *>(QStringLiteral("btnClose")), Qt::LeftButton);
    QTRY_VERIFY(first.isNull());
    QVERIFY(aboutDialogs().isEmpty());
    window.showAboutDialog();
    QDialog *fresh = aboutDialogs().value(0);
    QVERIFY(fresh != nullptr);
    QVERIFY(fresh->isVisible());

    // The frame's close only hides it: the next request replaces it instead of keeping both.
    const QPointer<QDialog> second = fresh;
    fresh->close();
    window.showAboutDialog();
    QTRY_VERIFY(second.isNull());
    QCOMPARE(aboutDialogs().size(), 1);
    QVERIFY(aboutDialogs().constFirst()->isVisible());
}

QTEST_MAIN(tst_Menus)
#include "tst_Menus.moc"
