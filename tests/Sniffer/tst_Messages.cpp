#include "Readable.h"
#include "UpdatedToday.h"
#include "WindowFixture.h"

#include <QAbstractButton>
#include <QLabel>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTest>

#include <memory>

// No "error_messages_dl" group: download errors fall back.
static const QByteArray settingsContent = R"([error_titles]
0=Oops
2=Download failed
6=Careful

[error_messages]
3="2~The address is not valid."

[warning_messages]
1="6~Mind this."
)";

class tst_Messages final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { fixture = std::make_unique<WindowFixture>(updatedToday(settingsContent)); }
    void cleanupTestCase() { fixture.reset(); }
    void showsBox_data();
    void showsBox();

private:
    std::unique_ptr<WindowFixture> fixture;
};

void tst_Messages::showsBox_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("footer");
    QTest::addColumn<int>("icon");
    QTest::addColumn<int>("traceChannel");

    const auto footer = [](const QString &lines) {
        return QStringLiteral("<br><br><hr><div style=\"font-size:10px\"><i>") + lines + QStringLiteral("</i></div>");
    };
    QTest::newRow("error") << int(Sniffer::Error) << 3 << "Download failed"
                           << "The address is not valid."
                           << footer(QStringLiteral("<b>error #3:36</b><br>in 'processURL'<br>comment: "))
                           << int(QMessageBox::Critical) << int(QtCriticalMsg);
    QTest::newRow("download error, list missing: the built-in text")
        << int(Sniffer::DownloadError) << 11 << "Oops"
        << "The disk is full, so the file could not be written. Free some space on it, or choose a folder on another "
           "disk, then try again. Nothing of yours was replaced."
        << footer(QStringLiteral("<b>error #11:36</b><br>[DL] in 'processURL'<br>comment: "))
        << int(QMessageBox::Critical) << int(QtCriticalMsg);
    QTest::newRow("warning") << int(Sniffer::Warning) << 1 << "Careful"
                             << "Mind this." << QString() << int(QMessageBox::Warning) << int(QtDebugMsg);
}

void tst_Messages::showsBox()
{
    QFETCH(int, kind);
    QFETCH(int, id);
    QFETCH(QString, title);
    QFETCH(QString, text);
    QFETCH(QString, footer);
    QFETCH(int, icon);
    QFETCH(int, traceChannel);

    Sniffer &window = fixture->window();
    window.setStyleSheet(QStringLiteral("background-color:#1d1d1e;"));
    window.errorContext
        = { QStringLiteral("src/ProcessURL.cpp"), QStringLiteral("36"), QStringLiteral("processURL"), QString() };

    struct
    {
        QWidget *parent = nullptr;
        QString title, text;
        bool readable = false;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QMessageBox::StandardButtons buttons;
    } seen;
    answerNextModal([&seen](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        QVERIFY(box != nullptr);
        seen.parent = box->parentWidget();
        seen.title = box->windowTitle();
        seen.text = box->text();
        seen.readable = darkOnLight(box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label")));
        seen.icon = box->icon();
        seen.buttons = box->standardButtons();
        box->button(QMessageBox::Ok)->click();
    });
    if (traceChannel == QtCriticalMsg) {
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral(R"(raised in "src/ProcessURL.cpp 36)")));
    }
    QTest::ignoreMessage(
        QtMsgType(traceChannel),
        QRegularExpression(QStringLiteral(R"(messageBox : "%1" : "%2)")
                               .arg(QRegularExpression::escape(title), QRegularExpression::escape(text))));

    if (kind == Sniffer::Warning) {
        window.showWarning(id);
    } else if (kind == Sniffer::Error) {
        window.showError(id);
    } else {
        window.showDownloaderError(id);
    }

    QCOMPARE(seen.parent, &window);
    QCOMPARE(seen.title, title);
    QCOMPARE(seen.text, text + footer);
    QCOMPARE(int(seen.icon), icon);
    QCOMPARE(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    // On the window's dark recorder-save style.
    QVERIFY(seen.readable);
}

QTEST_MAIN(tst_Messages)
#include "tst_Messages.moc"
