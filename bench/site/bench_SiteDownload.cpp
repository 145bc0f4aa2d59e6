// A large MP4 saved as MP4 through the window (the tool's download, then only a rename into the chosen name),
// from the save dialog's answer to the completion box, against the tool downloading the same address into the
// same folder directly. The rounds alternate, and every saved file must equal the served one.

#include "Files.h"
#include "LocalHttpServer.h"
#include "WindowFixture.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <QTimer>

#include <algorithm>
#include <vector>

namespace {

constexpr int Rounds = 5;
constexpr qint64 WantedBytes = 300'000'000;
constexpr int ToolTimeout = 300'000;

const QString tools = QStringLiteral(CORVANE_TOOLS_DIR);

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

bool runTool(const QString &program, const QStringList &arguments, const QString &folder)
{
    QProcess tool;
    tool.setWorkingDirectory(folder);
    tool.start(program, arguments);
    return tool.waitForFinished(ToolTimeout) && tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0;
}

// About WantedBytes of 1080p H.264 with sound in big.mp4: ten seconds are encoded once, then repeated as they are,
// which takes seconds where encoding it all would take minutes.
bool makeMedia(const QString &folder)
{
    const QString ffmpeg = tools + QStringLiteral("/ffmpeg");
    const QString clip = QDir(folder).filePath(QStringLiteral("clip.mp4"));
    if (!runTool(ffmpeg,
                 { QStringLiteral("-v"),
                   QStringLiteral("error"),
                   QStringLiteral("-f"),
                   QStringLiteral("lavfi"),
                   QStringLiteral("-i"),
                   QStringLiteral("testsrc2=size=1920x1080:rate=30"),
                   QStringLiteral("-f"),
                   QStringLiteral("lavfi"),
                   QStringLiteral("-i"),
                   QStringLiteral("sine=frequency=440:sample_rate=48000"),
                   QStringLiteral("-t"),
                   QStringLiteral("10"),
                   QStringLiteral("-c:v"),
                   QStringLiteral("libx264"),
                   QStringLiteral("-preset"),
                   QStringLiteral("ultrafast"),
                   QStringLiteral("-b:v"),
                   QStringLiteral("20M"),
                   QStringLiteral("-c:a"),
                   QStringLiteral("aac"),
                   clip },
                 folder)) {
        return false;
    }
    const qint64 clipBytes = std::max<qint64>(QFileInfo(clip).size(), 1);
    const qint64 repeats = (WantedBytes + clipBytes - 1) / clipBytes - 1;
    return runTool(ffmpeg,
                   { QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-stream_loop"),
                     QString::number(repeats), QStringLiteral("-i"), clip, QStringLiteral("-c"), QStringLiteral("copy"),
                     QStringLiteral("big.mp4") },
                   folder)
        && QFile::remove(clip);
}

QByteArray digest(const QString &path)
{
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Md5);
    if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file)) {
        return {};
    }
    return hash.result();
}

// Notes when the first message box is shown, so that the poll which answers it adds nothing to the time.
class BoxShown final : public QObject
{
    Q_DISABLE_COPY_MOVE(BoxShown)

public:
    explicit BoxShown(const QElapsedTimer &started)
        : clock(started)
    {
        qApp->installEventFilter(this);
    }

    qint64 nanoseconds = -1;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (nanoseconds < 0 && event->type() == QEvent::Show && qobject_cast<QMessageBox *>(watched) != nullptr) {
            nanoseconds = clock.nsecsElapsed();
        }
        return false;
    }

private:
    const QElapsedTimer &clock;
};

bool showOptions(const WindowFixture &fixture, const QString &url)
{
    fixture.find<QPushButton>(QStringLiteral("btnDownloaderOS"))->click();
    fixture.find<QLineEdit>(QStringLiteral("inputURL"))->setText(url);
    fixture.find<QPushButton>(QStringLiteral("btnProcessURL"))->click();
    const QWidget *options = fixture.find<QWidget>(QStringLiteral("widgetOptions"));
    return QTest::qWaitFor([options] { return options->isVisible(); }, ToolTimeout);
}

// The seconds from answering the save dialog to the completion box; -1 when the save did not complete.
double windowSave(const WindowFixture &fixture, const QString &file)
{
    QElapsedTimer clock;
    const BoxShown shown(clock);
    QString box;
    QEventLoop answered;
    QTimer::singleShot(ToolTimeout, &answered, &QEventLoop::quit);
    answerNextModal([&clock, &box, &answered, file](QWidget *modal) {
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        dialog->selectNameFilter(QStringLiteral("MPEG-4 (*.mp4)"));
        dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(file);
        answerNextModal([&box, &answered](QWidget *shownBox) {
            auto *message = qobject_cast<QMessageBox *>(shownBox);
            box = message->text();
            message->button(QMessageBox::Ok)->click();
            answered.quit();
        });
        clock.start();
        static_cast<QDialog *>(dialog)->accept();
    });
    fixture.find<QPushButton>(QStringLiteral("btnDownloadVideo"))->click();
    answered.exec();
    if (box != QStringLiteral("Processing is completed")) {
        QTextStream(stderr) << "the window's save ended with: " << box << Qt::endl;
        return -1;
    }
    return double(shown.nanoseconds) / 1e9;
}

double bareRound(const QString &url, const QString &file)
{
    QProcess tool;
    QElapsedTimer clock;
    clock.start();
    tool.start(tools + QStringLiteral("/ytdl"),
               { QStringLiteral("--no-check-certificate"), QStringLiteral("-o"), file, QStringLiteral("--"), url });
    const bool done
        = tool.waitForFinished(ToolTimeout) && tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0;
    return done ? double(clock.nsecsElapsed()) / 1e9 : -1;
}

// A run counts only when it saved the served file exactly; the file goes before the next run.
bool savedAsServed(double seconds, const QString &file, const QByteArray &wanted)
{
    const bool same = seconds >= 0 && digest(file) == wanted;
    if (!same) {
        QTextStream(stderr) << "not saved as served: " << file << Qt::endl;
    }
    return QFile::remove(file) && same;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QTemporaryDir served;
    QTemporaryDir saves;
    const QString source = served.filePath(QStringLiteral("big.mp4"));
    if (!makeMedia(served.path())
        || !writeFile(
            served.filePath(QStringLiteral("walk.html")),
            "<html><head><title>Big walk</title></head><body><video src=\"big.mp4\"></video></body></html>")) {
        return 1;
    }
    const QByteArray wanted = digest(source);
    // The server reads a whole file into memory for each request: a few hundred MB here, fine for a bench.
    const LocalHttpServer server(served.path());
    const QString url = server.url(QStringLiteral("walk.html"));

    QByteArray settings = WindowFixture::deliveredSettings();
    settings.replace("[os_urls]\n", "[os_urls]\n0=127.0.0.1\n");
    settings += "\n[General]\nlast_update=" + QByteArray::number(QDate::currentDate().dayOfYear()) + '\n';
    const WindowFixture fixture(settings);

    const QString chosen = saves.filePath(QStringLiteral("Big walk"));
    const QString bare = saves.filePath(QStringLiteral("bare.mp4"));
    std::vector<double> window;
    std::vector<double> direct;
    // The page is read before the previous bare file is checked: each timed run then starts right after the other
    // side's file was read and removed, and neither right after the tool's page request.
    for (int round = 0; round < Rounds; ++round) {
        if (!showOptions(fixture, url) || (round > 0 && !savedAsServed(direct.back(), bare, wanted))) {
            return 1;
        }
        window.push_back(windowSave(fixture, chosen));
        if (!savedAsServed(window.back(), chosen + QStringLiteral(".mp4"), wanted)) {
            return 1;
        }
        direct.push_back(bareRound(url, bare));
    }
    if (!savedAsServed(direct.back(), bare, wanted)) {
        return 1;
    }

    const double windowMs = median(window) * 1000;
    const double directMs = median(direct) * 1000;
    QTextStream(stdout) << "site download " << qRound(double(QFileInfo(source).size()) / 1e6)
                        << " MB: " << qRound(windowMs) << " ms through the window (bare tool " << qRound(directMs)
                        << " ms, ratio " << QString::number(windowMs / directMs, 'f', 3) << ")" << Qt::endl;
    return 0;
}
