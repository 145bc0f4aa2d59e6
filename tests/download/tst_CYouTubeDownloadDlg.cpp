#include "CYouTubeDownloadDlg.h"
#include "CYouTubeDownloader.h"
#include "Files.h"
#include "LocalHttpServer.h"
#include "MediaProbe.h"
#include "StreamSamples.h"
#include "TempHome.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

namespace {

struct Box
{
    QString title;
    QString text;
};

// Notes and accepts every message box the dialog raises over itself.
void answerBoxes(QDialog *dialog, QList<Box> *boxes)
{
    auto *poll = new QTimer(dialog);
    QObject::connect(poll, &QTimer::timeout, dialog, [boxes] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget()); box && box->isVisible()) {
            const QString detail = box->informativeText();
            boxes->append({ box->windowTitle(), detail.isEmpty() ? box->text() : box->text() + '\n' + detail });
            box->button(QMessageBox::Ok)->click();
        }
    });
    poll->start(20);
}

} // namespace

class tst_CYouTubeDownloadDlg final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void result_data();
    void result();
    void cancel_data();
    void cancel();
    void progressTexts();
    void liveSaveStopsAndKeeps();

private:
    std::unique_ptr<CYouTubeDownloadDlg> dialogFor(const QString &path, const QString &target);
    // exec() of the dialog, ended with 2 by a watchdog if the transfer never ends.
    int run(CYouTubeDownloadDlg &dialog);

    TempHome home;
    QTemporaryDir served;
    QTemporaryDir out;
    std::unique_ptr<LocalHttpServer> server;
    QByteArray body;
};

void tst_CYouTubeDownloadDlg::initTestCase()
{
    for (int i = 0; i < 64 * 1024; ++i) {
        body.append(char(i % 253));
    }
    QFile file(served.filePath(QStringLiteral("clip.flv")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(body);
    file.close();
    QVERIFY(makeStream(SampleStream::HlsTs, served.path()));
    QVERIFY(writeFile(served.filePath("ts/slow.m3u8"),
                      readFile(served.filePath("ts/stream_1.m3u8")).replace(".ts\n", ".ts?drip=4096\n")));
    server = std::make_unique<LocalHttpServer>(served.path());
}

std::unique_ptr<CYouTubeDownloadDlg> tst_CYouTubeDownloadDlg::dialogFor(const QString &path, const QString &target)
{
    auto dialog = std::make_unique<CYouTubeDownloadDlg>(nullptr);
    dialog->worker()->setUrl(server->url(path));
    dialog->worker()->setFileName(target);
    dialog->beginDownload();
    return dialog;
}

int tst_CYouTubeDownloadDlg::run(CYouTubeDownloadDlg &dialog)
{
    QTimer::singleShot(15000, &dialog, [&dialog] { dialog.done(2); });
    return dialog.exec();
}

void tst_CYouTubeDownloadDlg::result_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("writable");
    QTest::addColumn<int>("expected");
    QTest::addColumn<QString>("boxText");

    QTest::newRow("saved") << QStringLiteral("clip.flv") << true << 1 << QString();
    QTest::newRow("server error") << QStringLiteral("missing.flv") << true << 0
                                  << QStringLiteral("^Server Error\n.*Not Found$");
    QTest::newRow("unwritable target") << QStringLiteral("clip.flv") << false << 0 << QStringLiteral("Not a directory");
}

void tst_CYouTubeDownloadDlg::result()
{
    QFETCH(QString, path);
    QFETCH(bool, writable);
    QFETCH(int, expected);
    QFETCH(QString, boxText);

    const QString folder = writable ? out.path() : served.filePath(QStringLiteral("clip.flv"));
    const QString target = folder + QStringLiteral("/result.flv");
    QFile::remove(target);
    auto dialog = dialogFor(path, target);
    QList<Box> boxes;
    answerBoxes(dialog.get(), &boxes);
    QCOMPARE(run(*dialog), expected);
    QCOMPARE(readFile(target), expected == 1 ? body : QByteArray());
    QCOMPARE(boxes.size(), boxText.isEmpty() ? 0 : 1);
    if (!boxText.isEmpty()) {
        QCOMPARE(boxes.constFirst().title, QStringLiteral("Error"));
        QVERIFY2(boxes.constFirst().text.contains(QRegularExpression(boxText)), qPrintable(boxes.constFirst().text));
        QVERIFY(writable || boxes.constFirst().text.contains(target));
    }
}

void tst_CYouTubeDownloadDlg::cancel_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("how");

    QTest::newRow("Cancel mid-transfer") << QStringLiteral("clip.flv?drip=1024") << QStringLiteral("button");
    QTest::newRow("Cancel while the server is silent") << QStringLiteral("clip.flv?stall") << QStringLiteral("button");
    QTest::newRow("Escape") << QStringLiteral("clip.flv?drip=1024") << QStringLiteral("escape");
    QTest::newRow("title-bar close") << QStringLiteral("clip.flv?drip=1024") << QStringLiteral("close");
}

void tst_CYouTubeDownloadDlg::cancel()
{
    QFETCH(QString, path);
    QFETCH(QString, how);

    const QString target = out.filePath(QStringLiteral("cancelled.flv"));
    auto dialog = dialogFor(path, target);
    QSignalSpy finished(dialog->worker(), &CYouTubeDownloader::finished);
    QTimer::singleShot(300, dialog.get(), [&dialog, how] {
        if (how == QStringLiteral("button")) {
            dialog->findChild<QPushButton *>(QStringLiteral("pbCancel"))->click();
        } else if (how == QStringLiteral("escape")) {
            QTest::keyClick(dialog.get(), Qt::Key_Escape);
        } else {
            dialog->close();
        }
    });
    QCOMPARE(run(*dialog), 0);
    QCOMPARE(finished.count(), 1);
    QVERIFY(dialog->worker()->isAborted());
    QVERIFY(!QFile::exists(target));
    QVERIFY(!QFile::exists(target + QStringLiteral(".part")));
}

void tst_CYouTubeDownloadDlg::progressTexts()
{
    auto dialog = dialogFor(QStringLiteral("clip.flv?drip=2048&x=1"), out.filePath(QStringLiteral("slow.flv")));
    QCOMPARE(dialog->findChild<QLabel *>(QStringLiteral("lbFileStatus"))->text(),
             QStringLiteral("clip.flv from 127.0.0.1"));
    QSignalSpy titles(dialog.get(), &QWidget::windowTitleChanged);
    QCOMPARE(run(*dialog), 1);

    QVERIFY(titles.size() > 2);
    static const QRegularExpression title(QStringLiteral("^(\\d+)% of clip\\.flv Completed$"));
    int previous = -1;
    for (const QList<QVariant> &change : titles) {
        const auto match = title.match(change.constFirst().toString());
        QVERIFY2(match.hasMatch(), qPrintable(change.constFirst().toString()));
        QVERIFY(match.captured(1).toInt() > previous);
        previous = match.captured(1).toInt();
    }
    QCOMPARE(previous, 100);
    QCOMPARE(dialog->findChild<QProgressBar *>(QStringLiteral("progressDownload"))->value(), 100);
    const QString timeLeft = dialog->findChild<QLabel *>(QStringLiteral("lbTimeLeft"))->text();
    QVERIFY2(QRegularExpression(QStringLiteral("^\\d+ sec \\(\\d+\\.\\d KB of 64\\.0 KB copied\\)$"))
                 .match(timeLeft)
                 .hasMatch(),
             qPrintable(timeLeft));
    const QString rate = dialog->findChild<QLabel *>(QStringLiteral("lbTransferRate"))->text();
    QVERIFY2(QRegularExpression(QStringLiteral("^(\\d+ Bytes|\\d+(\\.\\d\\d)? KB)/Sec$")).match(rate).hasMatch(),
             qPrintable(rate));
}

void tst_CYouTubeDownloadDlg::liveSaveStopsAndKeeps()
{
    const StreamSave::Job job { server->url("ts/slow.m3u8"), {}, {}, -1, true, out.filePath("live.mkv") };
    CYouTubeDownloadDlg dialog(nullptr);
    dialog.beginStreamSave(job);
    QCOMPARE(dialog.findChild<QPushButton *>(QStringLiteral("pbCancel"))->text(), QStringLiteral("Stop and keep"));
    QCOMPARE(dialog.findChild<QProgressBar *>(QStringLiteral("progressDownload"))->maximum(), 0);
    connect(dialog.findChild<StreamSave *>(), &StreamSave::progress, &dialog, [&dialog](double seconds) {
        if (seconds > 1) {
            QTest::keyClick(&dialog, Qt::Key_Escape);
        }
    });
    QCOMPARE(run(dialog), 1);

    const MediaProbe probe = probeMedia(job.fileName);
    QCOMPARE(probe.streams, QStringList({ "audio", "video" }));
    QVERIFY2(probe.duration > 1 && probe.duration < streamSeconds - 1, qPrintable(QString::number(probe.duration)));
    const QString saved = dialog.findChild<QLabel *>(QStringLiteral("lbTimeLeft"))->text();
    QVERIFY2(saved.contains(QRegularExpression("^0:0\\d saved, \\d+\\.\\d+ (KB|MB)(, \\d+\\.\\dx)?$")),
             qPrintable(saved));
}

QTEST_MAIN(tst_CYouTubeDownloadDlg)
#include "tst_CYouTubeDownloadDlg.moc"
