#include "StreamChoice.h"

namespace StreamChoice {

QStringList variantLabels(const AdaptiveStream &stream)
{
    QStringList labels;
    for (const StreamVariant &variant : stream.variants) {
        QStringList parts;
        if (variant.height > 0) {
            parts.append(QStringLiteral("%1x%2").arg(variant.width).arg(variant.height));
        }
        if (variant.bandwidth > 0) {
            parts.append(QStringLiteral("%1 Mbit/s").arg(double(variant.bandwidth) / 1e6, 0, 'f', 2));
        }
        if (!variant.codecs.isEmpty()) {
            parts.append(variant.codecs);
        }
        labels.append(parts.isEmpty() ? variant.uri : parts.join(QStringLiteral(", ")));
    }
    return labels;
}

QStringList converterMaps(const AdaptiveStream &stream, int variant)
{
    if (variant < 0 || variant >= stream.variants.size()) {
        return {};
    }
    if (stream.kind == AdaptiveStream::Kind::Hls) {
        // The HLS reader makes one program per variant, numbered in the master's order, with its audio group in it.
        return { QStringLiteral("0:p:%1:v?").arg(variant), QStringLiteral("0:p:%1:a?").arg(variant) };
    }
    // The DASH reader numbers picture representations in the manifest's order, then the sound ones.
    int bestAudio = -1;
    for (int index = 0; index < stream.audio.size(); ++index) {
        if (bestAudio < 0 || stream.audio.at(index).bandwidth > stream.audio.at(bestAudio).bandwidth) {
            bestAudio = index;
        }
    }
    if (stream.audio.isEmpty() && stream.variants.at(variant).height <= 0) {
        // A stream of sound alone lists its renditions as the variants.
        return { QStringLiteral("0:a:%1").arg(variant) };
    }
    QStringList maps { QStringLiteral("0:v:%1").arg(variant) };
    if (bestAudio >= 0) {
        maps.append(QStringLiteral("0:a:%1").arg(bestAudio));
    }
    return maps;
}

} // namespace StreamChoice
