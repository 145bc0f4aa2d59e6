#include "Readable.h"

#include <QImage>
#include <QWidget>

#include <algorithm>
#include <array>
#include <numeric>

bool darkOnLight(QWidget *widget)
{
    const QImage image = widget->grab().toImage();
    std::array<int, 256> count {};
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            ++count[qGray(image.pixel(x, y))];
        }
    }
    const auto ground = int(std::max_element(count.cbegin(), count.cend()) - count.cbegin());
    return ground >= 160 && std::accumulate(count.cbegin(), count.cbegin() + ground - 100, 0) >= 8;
}
