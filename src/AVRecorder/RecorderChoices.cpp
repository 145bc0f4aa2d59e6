#include "RecorderChoices.h"

#include <QSettings>

#include <algorithm>
#include <iterator>

namespace {

const QString SoundKey = QStringLiteral("recorder/sound");
const QString FrameRateKey = QStringLiteral("recorder/frame_rate");
const QString QualityKey = QStringLiteral("recorder/quality");

constexpr int FrameRates[] = { 15, 30, 60 };

// Sound: 48 kHz MPEG audio at its default rate.
constexpr qint64 SoundBytesPerMinute = 384'000 / 8 * 60;

} // namespace

RecorderChoices RecorderChoices::read(const QSettings &settings)
{
    RecorderChoices choices;
    const int sound = settings.value(SoundKey, int(choices.sound)).toInt();
    if (sound >= int(Sound::Playback) && sound <= int(Sound::Both)) {
        choices.sound = Sound(sound);
    }
    const int rate = settings.value(FrameRateKey, choices.frameRate).toInt();
    if (std::find(std::begin(FrameRates), std::end(FrameRates), rate) != std::end(FrameRates)) {
        choices.frameRate = rate;
    }
    const int quality = settings.value(QualityKey, int(choices.quality)).toInt();
    if (quality >= int(Quality::Low) && quality <= int(Quality::High)) {
        choices.quality = Quality(quality);
    }
    return choices;
}

void RecorderChoices::write(QSettings &settings) const
{
    settings.setValue(SoundKey, int(sound));
    settings.setValue(FrameRateKey, frameRate);
    settings.setValue(QualityKey, int(quality));
    settings.sync();
}

int RecorderChoices::videoQuantiser() const
{
    switch (quality) {
    case Quality::Low:
        return 12;
    case Quality::Medium:
        return 6;
    case Quality::High:
        break;
    }
    return 2;
}

qint64 RecorderChoices::bytesPerMinute(const QSize &region) const
{
    // Bits per pixel and frame of a busy screen at each quantiser, rounded up from what the capture writes.
    const double bitsPerPixel = quality == Quality::High ? 0.6 : quality == Quality::Medium ? 0.25 : 0.12;
    const double pixels = double(qMax(region.width(), 0)) * qMax(region.height(), 0);
    return qint64(pixels * bitsPerPixel * frameRate * 60 / 8) + SoundBytesPerMinute;
}
