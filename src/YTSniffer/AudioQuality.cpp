#include "AudioQuality.h"

#include <QHash>

#include <initializer_list>

namespace {

QHash<int, QString> qualityTable()
{
    QHash<int, QString> table;
    const auto add = [&table](std::initializer_list<int> codes, const char *text) {
        for (const int code : codes) {
            table.insert(code, QString::fromLatin1(text));
        }
    };
    add({ 5, 6 }, "MP3 64 KBps");
    add({ 13 }, "AAC N/A");
    add({ 17, 151 }, "AAC 24 KBps");
    add({ 18, 82, 83, 127, 128 }, "AAC 96 KBps");
    add({ 22, 37, 38, 84, 85 }, "AAC 192 KBps");
    add({ 34, 35, 93, 94, 120 }, "AAC 128 KBps");
    add({ 36 }, "AAC 36 KBps");
    add({ 43, 44, 100 }, "Vorbis 128 KBps");
    add({ 45, 46, 101, 102 }, "Vorbis 192 KBps");
    add({ 92, 132 }, "AAC 48 KBps");
    add({ 95, 96 }, "AAC 256 KBps");
    return table;
}

} // namespace

QString audioQuality(int code)
{
    static const QHash<int, QString> table = qualityTable();
    return table.value(code);
}
