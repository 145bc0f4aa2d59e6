// How far apart picture and sound land in a finished recording. A tone starts and a window on the X display turns
// from black to white as it arrives at the sound output; the recorder captures the window's region and the output
// as it does for the user and merges them, and the merged file tells when each of the two happened.
// Then one long recording: how far the sound's length strays from its time stamps, which a player that plays the
// sound straight through would show as a growing lag.

#include "Grabbers.h"
#include "SoundServer.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QLoggingCategory>
#include <QPixmap>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <iterator>
#include <limits>
#include <numbers>
#include <optional>
#include <utility>
#include <vector>

namespace {

constexpr int Recordings = 5;
constexpr double GoalSeconds = 0.05;
constexpr int BeforeChangeMsecs = 1000;
constexpr int AfterChangeMsecs = 2000;
// The tone of one recording may still sound from the player's buffer when the next begins; it would be taken for
// that recording's tone. Each recording starts once the output has been silent this long.
constexpr int QuietMsecs = 300;
constexpr int QuietDeadlineMsecs = 10000;
constexpr int LongRecordingSecs = 130;
const QRect Region(100, 80, 320, 240);

constexpr int SampleRate = 48000;
constexpr double ToneHz = 1000.0;
constexpr double ToneAmplitude = 16000.0;
constexpr int FeedMsecs = 5;
// Sound queued ahead of the clock: enough to ride out a late timer, little enough to start the tone promptly.
constexpr qint64 LeadSamples = SampleRate / 100;
// The tone takes some 20 ms to reach the output; a player started in the sound server's first two seconds lags by
// what is left of them, and that backlog stays until the event loop is held up.
constexpr int ToneDeadlineMsecs = 3000;
// A capture asked to stop closes its file within seconds; a merge of a short recording as well.
constexpr int StopDeadlineMsecs = 120000;

// signalstats' average luma: black is 16, white 235.
constexpr double BrightnessJump = 100.0;
// astats over 1 ms chunks: silence is -inf dB, the tone about -9 dB.
constexpr int ChunkSamples = SampleRate / 1000;
constexpr double LoudDb = -30.0;

struct BenchFailure
{
    QString message;
};

void wait(int msecs)
{
    QEventLoop loop;
    QTimer::singleShot(msecs, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

// One clock for everything the bench times itself.
QElapsedTimer &clock()
{
    static QElapsedTimer started;
    if (!started.isValid()) {
        started.start();
    }
    return started;
}

QStringList rawSound()
{
    return { QStringLiteral("--raw"), QStringLiteral("--format=s16ne"), QStringLiteral("--channels=1"),
             QStringLiteral("--rate=%1").arg(SampleRate) };
}

// Raw sound into the sound server's default output: silence, or the tone once switched on. The player runs all
// along and is fed in step with the clock, so the tone begins with the next write and not after the start-up of
// a stream of its own.
class TonePlayer final
{
public:
    TonePlayer()
    {
        player.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        player.start(QStringLiteral("pacat"),
                     QStringList { QStringLiteral("--playback") } + rawSound()
                         + QStringList { QStringLiteral("--latency-msec=10") });
        if (!player.waitForStarted()) {
            throw BenchFailure { QStringLiteral("pacat cannot be started: ") + player.errorString() };
        }
        written = clock().nsecsElapsed() * SampleRate / 1'000'000'000;
        QObject::connect(&pace, &QTimer::timeout, &pace, [this] { feed(); });
        pace.setTimerType(Qt::PreciseTimer);
        pace.start(FeedMsecs);
    }
    ~TonePlayer()
    {
        player.closeWriteChannel();
        if (!player.waitForFinished(2000)) {
            player.kill();
            player.waitForFinished();
        }
    }
    TonePlayer(const TonePlayer &) = delete;
    TonePlayer &operator=(const TonePlayer &) = delete;

    void setTone(bool on)
    {
        tone = on;
        toneStart = written;
        feed();
        player.waitForBytesWritten(100);
    }

private:
    void feed()
    {
        if (player.state() != QProcess::Running) {
            return;
        }
        const qint64 due = clock().nsecsElapsed() * SampleRate / 1'000'000'000 + LeadSamples;
        // Whatever was missed while the event loop was held up (a capture stopping, the merge) stays missed:
        // queueing it would delay all that follows.
        written = std::max(written, due - 2 * LeadSamples);
        std::vector<qint16> samples;
        for (; written < due; ++written) {
            const double phase = 2.0 * std::numbers::pi * ToneHz * double(written - toneStart) / SampleRate;
            samples.push_back(tone ? qint16(std::lround(ToneAmplitude * std::sin(phase))) : qint16(0));
        }
        player.write(reinterpret_cast<const char *>(samples.data()), qint64(samples.size() * sizeof(qint16)));
    }

    QProcess player;
    QTimer pace;
    qint64 written = 0;
    qint64 toneStart = 0;
    bool tone = false;
};

// Listens to the monitor of the default output, which is what the sound capture records, and reacts the moment the
// tone arrives there. It falls behind for good once the event loop was held up while it delivered, so each one
// listens only briefly.
class ToneListener final
{
public:
    ToneListener()
    {
        QObject::connect(&recorder, &QProcess::readyReadStandardOutput, &recorder, [this] { take(); });
        recorder.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        recorder.start(QStringLiteral("parec"),
                       rawSound()
                           + QStringList { QStringLiteral("--latency-msec=5"), QStringLiteral("-d"),
                                           QStringLiteral("@DEFAULT_MONITOR@") });
        if (!recorder.waitForStarted()) {
            throw BenchFailure { QStringLiteral("parec cannot be started: ") + recorder.errorString() };
        }
    }
    ~ToneListener()
    {
        recorder.kill();
        recorder.waitForFinished();
    }
    ToneListener(const ToneListener &) = delete;
    ToneListener &operator=(const ToneListener &) = delete;

    // True once nothing loud has arrived for msecs.
    bool quietFor(int msecs) const
    {
        const qint64 since = lastLoud < 0 ? started : lastLoud;
        return clock().nsecsElapsed() - since > qint64(msecs) * 1'000'000;
    }

    void listen(std::function<void()> heard)
    {
        onHeard = std::move(heard);
        arrived = -1;
    }
    // Clock time in ns when the tone arrived, or -1.
    qint64 arrival() const { return arrived; }

private:
    void take()
    {
        const QByteArray data = recorder.read(recorder.bytesAvailable() & ~qint64(1));
        const qint64 now = clock().nsecsElapsed();
        std::vector<qint16> samples(std::size_t(data.size()) / sizeof(qint16));
        std::memcpy(samples.data(), data.constData(), samples.size() * sizeof(qint16));
        const auto loud = std::find_if(samples.cbegin(), samples.cend(),
                                       [](qint16 sample) { return std::abs(sample) > ToneAmplitude / 4; });
        if (loud == samples.cend()) {
            return;
        }
        lastLoud = now;
        if (!onHeard) {
            return;
        }
        // The last sample read has just arrived.
        arrived = now - std::distance(loud, samples.cend()) * 1'000'000'000 / SampleRate;
        std::exchange(onHeard, {})();
    }

    QProcess recorder;
    std::function<void()> onHeard;
    qint64 arrived = -1;
    qint64 started = clock().nsecsElapsed();
    qint64 lastLoud = -1;
};

// A borderless window over the recorded region, all of one colour.
class Picture final
{
public:
    Picture()
    {
        window.setWindowFlags(Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint);
        window.setGeometry(Region);
        window.setAutoFillBackground(true);
        window.show();
    }

    // Paints at once; true when the X server holds the new colour straight after.
    bool paint(Qt::GlobalColor colour)
    {
        QPalette palette = window.palette();
        palette.setColor(QPalette::Window, colour);
        window.setPalette(palette);
        window.repaint();
        return shows(colour);
    }

    void show(Qt::GlobalColor colour)
    {
        const QDeadlineTimer deadline(5000);
        for (bool shown = paint(colour); !shown; shown = shows(colour)) {
            if (deadline.hasExpired()) {
                throw BenchFailure { QStringLiteral("the window does not show on the X display") };
            }
            wait(10);
        }
    }

private:
    bool shows(const QColor &colour) const
    {
        const QPoint centre = Region.center();
        const QImage seen = window.screen()->grabWindow(0, centre.x(), centre.y(), 1, 1).toImage();
        return !seen.isNull() && seen.pixelColor(0, 0) == colour;
    }

    QWidget window;
};

// Time stamp and value of one metadata key for each frame of one stream of the file, as the converter's
// metadata filter at the end of the chain prints them.
std::vector<std::pair<double, double>> series(const QString &file, const QString &stream, const QString &filters,
                                              const QString &listing)
{
    QProcess converter;
    converter.setProcessChannelMode(QProcess::MergedChannels);
    converter.start(QStringLiteral(CORVANE_TOOLS_DIR "/ffmpeg"),
                    { QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-copyts"), QStringLiteral("-i"),
                      file, QStringLiteral("-map"), stream, QStringLiteral("-filter"),
                      filters + QStringLiteral(":file=") + listing, QStringLiteral("-f"), QStringLiteral("null"),
                      QStringLiteral("-") });
    QFile printed(listing);
    if (!converter.waitForFinished(60000) || converter.exitStatus() != QProcess::NormalExit || converter.exitCode() != 0
        || !printed.open(QIODevice::ReadOnly)) {
        throw BenchFailure { QStringLiteral("the merged file cannot be analysed: ")
                             + QString::fromLocal8Bit(converter.readAll()).trimmed() };
    }
    static const QRegularExpression stamp(QStringLiteral("pts_time:(\\S+)"));
    std::vector<std::pair<double, double>> values;
    double time = std::numeric_limits<double>::quiet_NaN();
    while (!printed.atEnd()) {
        const QString line = QString::fromLatin1(printed.readLine()).trimmed();
        const auto match = stamp.match(line);
        if (match.hasMatch()) {
            time = match.captured(1).toDouble();
        } else if (const qsizetype equals = line.indexOf(QLatin1Char('=')); equals > 0) {
            bool ok = false;
            const double value = line.mid(equals + 1).toDouble(&ok);
            values.emplace_back(time, ok ? value : -std::numeric_limits<double>::infinity());
        }
    }
    return values;
}

// The change lies between the last dark frame's grab and the first bright one's.
double pictureChange(const QString &file, const QTemporaryDir &temp)
{
    const auto frames = series(file, QStringLiteral("0:v:0"),
                               QStringLiteral("signalstats,metadata=mode=print:key=lavfi.signalstats.YAVG"),
                               temp.filePath(QStringLiteral("picture.txt")));
    if (frames.empty()) {
        throw BenchFailure { QStringLiteral("the merged file has no picture") };
    }
    const double dark = frames.front().second;
    const auto bright = std::find_if(frames.cbegin(), frames.cend(),
                                     [dark](const auto &frame) { return frame.second - dark > BrightnessJump; });
    if (bright == frames.cend()) {
        throw BenchFailure { QStringLiteral("the picture never turns bright in the merged file") };
    }
    return (std::prev(bright)->first + bright->first) / 2;
}

double toneOnset(const QString &file, const QTemporaryDir &temp)
{
    const auto chunks = series(file, QStringLiteral("0:a:0"),
                               QStringLiteral("asetnsamples=n=%1:p=0,astats=metadata=1:reset=1,"
                                              "ametadata=mode=print:key=lavfi.astats.Overall.RMS_level")
                                   .arg(ChunkSamples),
                               temp.filePath(QStringLiteral("sound.txt")));
    const auto loud
        = std::find_if(chunks.cbegin(), chunks.cend(), [](const auto &chunk) { return chunk.second > LoudDb; });
    if (loud == chunks.cend()) {
        throw BenchFailure { QStringLiteral("the tone is missing from the merged file") };
    }
    if (loud == chunks.cbegin()) {
        throw BenchFailure { QStringLiteral("the merged file's sound is loud from its start") };
    }
    return loud->first;
}

struct Recording
{
    // The sound's onset minus the picture's change in the merged file.
    double offset = 0;
    // How much later the picture reached the screen than the tone reached the sound server's output.
    double pictureLag = 0;
};

void waitForQuiet(const ToneListener &listener)
{
    const QDeadlineTimer deadline(QuietDeadlineMsecs);
    while (!listener.quietFor(QuietMsecs)) {
        if (deadline.hasExpired()) {
            throw BenchFailure {
                QStringLiteral("the tone still sounds %1 s after it was stopped").arg(QuietDeadlineMsecs / 1000)
            };
        }
        wait(10);
    }
}

// Starts both captures; returns once both record.
void startCaptures(Grabbers &grabbers, const QString &failure)
{
    grabbers.start(Region);
    const QDeadlineTimer deadline(20000);
    while (failure.isEmpty() && !(grabbers.isRecording(Grabbers::Video) && grabbers.isRecording(Grabbers::Audio))) {
        if (deadline.hasExpired()) {
            throw BenchFailure { QStringLiteral("the captures did not start within 20 s") };
        }
        wait(10);
    }
}

void stopCaptures(Grabbers &grabbers)
{
    // Stopping and merging report through signals; the recorder never blocks on them.
    bool stopped = false;
    QObject::connect(&grabbers, &Grabbers::stopped, [&stopped] { stopped = true; });
    grabbers.stop();
    const QDeadlineTimer stopDeadline(StopDeadlineMsecs);
    while (!stopped && !stopDeadline.hasExpired()) {
        wait(10);
    }
    if (!stopped) {
        throw BenchFailure { QStringLiteral("the captures did not stop within %1 s").arg(StopDeadlineMsecs / 1000) };
    }
}

Recording record(Picture &picture, TonePlayer &tone)
{
    ToneListener listener;
    QTemporaryDir temp;
    Grabbers grabbers(QStringLiteral(CORVANE_TOOLS_DIR), temp.path());
    QString failure;
    QObject::connect(&grabbers, &Grabbers::failed, &grabbers,
                     [&failure](Grabbers::Failure, const QString &message) { failure = message; });

    picture.show(Qt::black);
    waitForQuiet(listener);
    startCaptures(grabbers, failure);
    Recording recording;
    if (failure.isEmpty()) {
        wait(BeforeChangeMsecs);
        // A pipe and the player's buffer lie between playing the tone and its arrival at the output, so the
        // picture follows the tone's arrival instead: 1 to 3 ms later as measured here (each run prints it).
        qint64 shown = -1;
        listener.listen([&picture, &shown] {
            if (picture.paint(Qt::white)) {
                shown = clock().nsecsElapsed();
            }
        });
        tone.setTone(true);
        const QDeadlineTimer heard(ToneDeadlineMsecs);
        while (listener.arrival() < 0 && !heard.hasExpired()) {
            wait(1);
        }
        if (listener.arrival() < 0) {
            throw BenchFailure { QStringLiteral("the tone did not reach the sound server's output within %1 s")
                                     .arg(ToneDeadlineMsecs / 1000) };
        }
        if (shown < 0) {
            picture.show(Qt::white);
            shown = clock().nsecsElapsed();
        }
        recording.pictureLag = double(shown - listener.arrival()) / 1e9;
        wait(AfterChangeMsecs);
    }
    stopCaptures(grabbers);
    tone.setTone(false);
    if (!failure.isEmpty()) {
        throw BenchFailure { QStringLiteral("the recording failed: %1 (%2)").arg(failure, grabbers.failureDetail()) };
    }
    std::optional<bool> merged;
    QObject::connect(&grabbers, &Grabbers::merged, [&merged](bool ok) { merged = ok; });
    grabbers.mergeAudioVideo();
    const QDeadlineTimer mergeDeadline(StopDeadlineMsecs);
    while (!merged && !mergeDeadline.hasExpired()) {
        wait(10);
    }
    if (!merged.value_or(false)) {
        throw BenchFailure { QStringLiteral("the merge failed: ") + grabbers.failureDetail() };
    }
    const QString result = grabbers.files().resultFile;
    recording.offset = toneOnset(result, temp) - pictureChange(result, temp);
    return recording;
}

struct SoundLength
{
    double samples = 0;
    double stamps = 0;
    // How fast samples and stamps move apart, by a straight line through all packets, in seconds per second.
    double drift = 0;
    // The farthest the samples were from the stamps at any packet.
    double largest = 0;
};

// The sound's length by its samples against the span of its time stamps, from the audio capture's packets: a
// player that plays the samples straight through is that much ahead of or behind the picture.
SoundLength soundLength(const QString &file)
{
    QProcess probe;
    probe.start(QStringLiteral("ffprobe"),
                { QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-select_streams"),
                  QStringLiteral("a:0"), QStringLiteral("-show_entries"),
                  QStringLiteral("packet=pts_time,duration_time"), QStringLiteral("-of"), QStringLiteral("csv=p=0"),
                  file });
    if (!probe.waitForFinished(60000) || probe.exitCode() != 0) {
        throw BenchFailure { QStringLiteral("the sound capture cannot be read") };
    }
    SoundLength length;
    std::optional<double> first;
    double end = 0;
    // Sums for the least-squares line of stray against time.
    double n = 0, sumT = 0, sumS = 0, sumTT = 0, sumTS = 0;
    while (probe.canReadLine()) {
        const QList<QByteArray> fields = probe.readLine().trimmed().split(',');
        const double pts = fields.value(0).toDouble();
        const double duration = fields.value(1).toDouble();
        first = first.value_or(pts);
        const double t = pts - *first;
        const double stray = length.samples - t;
        length.largest = std::max(length.largest, std::abs(stray));
        n += 1;
        sumT += t;
        sumS += stray;
        sumTT += t * t;
        sumTS += t * stray;
        end = std::max(end, pts + duration);
        length.samples += duration;
    }
    if (!first || n < 2) {
        throw BenchFailure { QStringLiteral("the long recording has no sound") };
    }
    length.stamps = end - *first;
    length.drift = (n * sumTS - sumT * sumS) / (n * sumTT - sumT * sumT);
    return length;
}

SoundLength recordLong()
{
    QTemporaryDir temp;
    Grabbers grabbers(QStringLiteral(CORVANE_TOOLS_DIR), temp.path());
    QString failure;
    QObject::connect(&grabbers, &Grabbers::failed, &grabbers,
                     [&failure](Grabbers::Failure, const QString &message) { failure = message; });
    startCaptures(grabbers, failure);
    wait(LongRecordingSecs * 1000);
    stopCaptures(grabbers);
    if (!failure.isEmpty()) {
        throw BenchFailure { QStringLiteral("the long recording failed: %1").arg(failure) };
    }
    return soundLength(grabbers.files().audioFile);
}

// Seconds with three decimals, never "-0.000".
QString inMsecSteps(double seconds)
{
    return QString::number(std::round(seconds * 1000) / 1000 + 0.0, 'f', 3);
}

} // namespace

int main(int argc, char *argv[])
{
    QTextStream error(stderr);
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        error << "recorder audio-video offset: needs an X display, run under scripts/with-display.sh" << Qt::endl;
        return 1;
    }
    QApplication app(argc, argv);
    // The recorder traces every line the converter prints; that would bury the result.
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
    const SoundServer sound;
    if (!sound.error().isEmpty()) {
        error << "recorder audio-video offset: " << sound.error() << Qt::endl;
        return 1;
    }

    std::vector<Recording> recordings;
    SoundLength longRecording;
    bool recordingsStarted = false;
    try {
        Picture picture;
        TonePlayer tone;
        recordingsStarted = true;
        while (recordings.size() < Recordings) {
            recordings.push_back(record(picture, tone));
        }
        longRecording = recordLong();
    } catch (const BenchFailure &failure) {
        error << "recorder audio-video offset: ";
        if (recordingsStarted && recordings.size() < Recordings) {
            error << "recording " << recordings.size() + 1 << " of " << Recordings << ": ";
        }
        error << failure.message << Qt::endl;
        return 1;
    }

    QTextStream out(stdout);
    out << "recorder audio-video offsets (sound minus picture):";
    double sum = 0;
    double largest = 0;
    double lagMin = recordings.front().pictureLag;
    double lagMax = lagMin;
    for (const Recording &recording : recordings) {
        out << ' ' << inMsecSteps(recording.offset);
        sum += std::abs(recording.offset);
        largest = std::max(largest, std::abs(recording.offset));
        lagMin = std::min(lagMin, recording.pictureLag);
        lagMax = std::max(lagMax, recording.pictureLag);
    }
    out << " s; the picture changed " << inMsecSteps(lagMin) << " to " << inMsecSteps(lagMax)
        << " s after the tone arrived\n";
    const double mean = sum / double(recordings.size());
    out << "recorder audio-video offset: " << inMsecSteps(mean) << " s, largest " << inMsecSteps(largest)
        << " s (goal each within " << QString::number(GoalSeconds) << " s, ratio "
        << QString::number(mean / GoalSeconds, 'f', 2) << ")\n";
    const double stray = longRecording.samples - longRecording.stamps;
    out << "recorder long recording: " << inMsecSteps(longRecording.samples) << " s of sound for "
        << inMsecSteps(longRecording.stamps) << " s of time stamps, " << inMsecSteps(stray) << " s apart at the end, "
        << inMsecSteps(longRecording.largest) << " s at most; drifting " << inMsecSteps(longRecording.drift * 3600)
        << " s per hour (goal within one frame, " << inMsecSteps(1.0 / 30) << " s)" << Qt::endl;
    return 0;
}
