#pragma once

#include <QList>
#include <QString>

// The percentage in a chunk of the tool's download output ("[download]  42.3% of 10.00MiB ..."): the
// number between the first "]" and the first "%", or from the "]" to the end when no "%" follows.
// A chunk that holds several progress lines gives the first one's; a chunk without a number gives 0.
float percentFromChunk(const QString &chunk);

// Every progress line's percentage in a chunk, in order. Lines without "]" before "%" (information lines,
// or the front of a line the pipe cut in two) give nothing.
QList<float> progressPercents(const QString &chunk);
