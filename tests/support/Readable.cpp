#include "Readable.h"

#include <QHash>
#include <QImage>
#include <QWidget>

#include <algorithm>

bool darkOnLight(QWidget *widget)
{
    const QImage image = widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QHash<int, int> greys;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            ++greys[qGray(image.pixel(x, y))];
        }
    }
    const auto ground = std::max_element(greys.cbegin(), greys.cend());
    if (ground == greys.cend() || ground.key() < 160) {
        return false;
    }
    int marks = 0;
    for (auto grey = greys.cbegin(); grey != greys.cend(); ++grey) {
        marks += grey.key() < ground.key() - 100 ? grey.value() : 0;
    }
    return marks >= 8;
}
