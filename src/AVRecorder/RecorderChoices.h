#pragma once

#include <QRect>
#include <QString>

class QSettings;

// What the user chose on the recorder frame for the recordings to come; kept in the settings file.
struct RecorderChoices
{
    enum class Sound { Playback, Microphone, Both };
    enum class Quality { Low, Medium, High };

    Sound sound = Sound::Playback;
    int frameRate = 30;
    Quality quality = Quality::High;

    // Unknown or missing values fall back to the defaults above.
    static RecorderChoices read(const QSettings &settings);
    void write(QSettings &settings) const;

    // The screen capture's quantiser: lower is better and larger.
    int videoQuantiser() const;
    // A generous guess of what a minute of recording of the region takes on disk.
    qint64 bytesPerMinute(const QSize &region) const;
};

inline bool operator==(const RecorderChoices &a, const RecorderChoices &b)
{
    return a.sound == b.sound && a.frameRate == b.frameRate && a.quality == b.quality;
}
