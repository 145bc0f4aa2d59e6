#include "CaptureCommands.h"

#include <QHash>
#include <QRegularExpression>

#include <algorithm>

namespace CaptureCommands {

QString progName(const QString &appDir, Platform::Os os, bool olderThanNt52)
{
    QString dir = appDir;
    if (os == Platform::Os::Windows) {
        dir.replace(QLatin1Char('/'), QLatin1Char('\\'));
    }
    return dir + Platform::nativeSeparator(os) + Platform::executableName(Platform::Tool::Converter, os, olderThanNt52);
}

QRect visibleRegion(const QRect &frame, const QRect &screen)
{
    QRect visible = frame.intersected(screen);
    visible.setLeft(qMax(visible.left(), 0));
    visible.setTop(qMax(visible.top(), 0));
    return visible.isValid() ? visible : QRect();
}

QPoint stopDialogPlace(const QRect &region, const QList<QRect> &screens, const QSize &dialog)
{
    QList<QRect> ordered = screens;
    std::stable_sort(ordered.begin(), ordered.end(), [&region](const QRect &a, const QRect &b) {
        return a.intersects(region) && !b.intersects(region);
    });
    constexpr int Margin = 10;
    QPoint best;
    qint64 least = -1;
    for (const QRect &screen : ordered) {
        const int left = screen.left() + Margin;
        const int right = screen.right() + 1 - dialog.width() - 2 * Margin;
        const int top = screen.top() + Margin;
        const int bottom = screen.bottom() + 1 - dialog.height() - 4 * Margin;
        for (const QPoint corner :
             { QPoint(right, top), QPoint(left, top), QPoint(right, bottom), QPoint(left, bottom) }) {
            const QRect covered = QRect(corner, dialog).intersected(region);
            const qint64 area = covered.isEmpty() ? 0 : qint64(covered.width()) * covered.height();
            if (least < 0 || area < least) {
                least = area;
                best = corner;
            }
        }
    }
    return best;
}

QRect pickedWindow(const QByteArray &pickerOutput)
{
    static const QRegularExpression field(
        QStringLiteral("^\\s*(Absolute upper-left X|Absolute upper-left Y|Width|Height):\\s*(-?\\d+)"),
        QRegularExpression::MultilineOption);
    QHash<QString, int> values;
    for (const QRegularExpressionMatch &match : field.globalMatch(QString::fromLocal8Bit(pickerOutput))) {
        values.insert(match.captured(1), match.captured(2).toInt());
    }
    if (values.size() != 4) {
        return {};
    }
    return { values.value(QStringLiteral("Absolute upper-left X")),
             values.value(QStringLiteral("Absolute upper-left Y")), values.value(QStringLiteral("Width")),
             values.value(QStringLiteral("Height")) };
}

QString cropFilter(int width, int height, int x, int y)
{
    return QStringLiteral("crop=%1:%2:%3:%4:keep_aspect=1").arg(width).arg(height).arg(x).arg(y);
}

QStringList videoArguments(Platform::Os os, const QString &display, const QString &crop, const QString &videoFile,
                           const RecorderChoices &choices)
{
    const QString rate = QString::number(choices.frameRate);
    QStringList arguments { QStringLiteral("-copyts"), QStringLiteral("-rtbufsize"), QStringLiteral("2000M"),
                            QStringLiteral("-framerate"), rate };
    arguments += Platform::screenInput(os, display);
    arguments << QStringLiteral("-r") << rate << QStringLiteral("-vf") << crop << QStringLiteral("-q:v")
              << QString::number(choices.videoQuantiser()) << QStringLiteral("-flush_packets") << QStringLiteral("1")
              << videoFile;
    return arguments;
}

QStringList audioArguments(Platform::Os os, const QString &audioFile, RecorderChoices::Sound sound)
{
    // Written out packet by packet, as the picture is: a disk that fills up then takes little with it.
    const QStringList flushed { QStringLiteral("-flush_packets"), QStringLiteral("1"), audioFile };
    // Up to 1000 samples a second are stretched or squeezed; a jump of more than 0.1 s is filled or cut at once.
    const QString resample = QStringLiteral("aresample=async=1000");
    QStringList arguments { QStringLiteral("-copyts") };
    if (os == Platform::Os::Windows || sound == RecorderChoices::Sound::Playback) {
        return arguments + Platform::soundInput(os) + QStringList { QStringLiteral("-af"), resample } + flushed;
    }
    const QStringList microphone { QStringLiteral("-f"), QStringLiteral("pulse"), QStringLiteral("-i"),
                                   QStringLiteral("@DEFAULT_SOURCE@") };
    if (sound == RecorderChoices::Sound::Microphone) {
        return arguments + microphone + QStringList { QStringLiteral("-af"), resample } + flushed;
    }
    // Each input is put on its own time stamps before the two are mixed at their own levels.
    return arguments + Platform::soundInput(os) + microphone
        + QStringList { QStringLiteral("-filter_complex"),
                        QStringLiteral("[0:a]%1[p];[1:a]%1[m];[p][m]amix=inputs=2:normalize=0").arg(resample) }
    + flushed;
}

QStringList mergeArguments(const QString &videoFile, const QString &audioFile, const QString &resultFile)
{
    // Without make_zero the kept wall-clock stamps would start the result hours in.
    QStringList arguments { QStringLiteral("-copyts") };
    for (const QString &input : { videoFile, audioFile }) {
        if (!input.isEmpty()) {
            arguments << QStringLiteral("-i") << input;
        }
    }
    arguments << QStringLiteral("-vcodec") << QStringLiteral("copy") << QStringLiteral("-acodec")
              << QStringLiteral("copy") << QStringLiteral("-avoid_negative_ts") << QStringLiteral("make_zero")
              << QStringLiteral("-y") << resultFile;
    return arguments;
}

Span inputSpan(const QByteArray &converterOutput)
{
    static const QRegularExpression stated(
        QStringLiteral("Duration: (\\d+):(\\d+):(\\d+(?:\\.\\d+)?), start: (-?\\d+(?:\\.\\d+)?)"));
    const QRegularExpressionMatch match = stated.match(QString::fromLocal8Bit(converterOutput));
    if (!match.hasMatch()) {
        return {};
    }
    return { match.captured(4).toDouble(),
             match.captured(1).toInt() * 3600 + match.captured(2).toInt() * 60 + match.captured(3).toDouble() };
}

QStringList partMergeArguments(const QString &videoFile, const QString &audioFile, const QString &resultFile,
                               const Span &picture)
{
    if (picture.duration <= 0 || videoFile.isEmpty() || audioFile.isEmpty()) {
        return mergeArguments(videoFile, audioFile, resultFile);
    }
    // The sound is encoded again, as it is cut; the picture is copied.
    const QString cut = QStringLiteral("atrim=start=%1:end=%2")
                            .arg(picture.start, 0, 'f', 6)
                            .arg(picture.start + picture.duration, 0, 'f', 6);
    return { QStringLiteral("-copyts"),
             QStringLiteral("-i"),
             videoFile,
             QStringLiteral("-i"),
             audioFile,
             QStringLiteral("-map"),
             QStringLiteral("0:v"),
             QStringLiteral("-map"),
             QStringLiteral("1:a"),
             QStringLiteral("-vcodec"),
             QStringLiteral("copy"),
             QStringLiteral("-af"),
             cut,
             QStringLiteral("-acodec"),
             QStringLiteral("mp2"),
             QStringLiteral("-b:a"),
             QStringLiteral("384k"),
             QStringLiteral("-avoid_negative_ts"),
             QStringLiteral("make_zero"),
             QStringLiteral("-y"),
             resultFile };
}

QStringList joinArguments(const QString &listFile, const QString &resultFile)
{
    return { QStringLiteral("-f"),    QStringLiteral("concat"),
             QStringLiteral("-safe"), QStringLiteral("0"),
             QStringLiteral("-i"),    listFile,
             QStringLiteral("-c"),    QStringLiteral("copy"),
             QStringLiteral("-y"),    resultFile };
}

QByteArray joinList(const QStringList &files)
{
    QByteArray list;
    for (QString file : files) {
        list += "file '" + file.replace(QLatin1Char('\''), QStringLiteral("'\\''")).toUtf8() + "'\n";
    }
    return list;
}

} // namespace CaptureCommands
