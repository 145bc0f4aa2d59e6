#pragma once

#include "ByteBudget.h"

#include <QByteArray>
#include <QByteArrayView>

#include <memory>

class BodyDecoder;

// One answer's body kept whole, its content coding undone, up to bodyLimit bytes and within the capture's budget.
// A body that passes either, cannot be decoded or loses bytes is given up with one log line; what it held is
// given back to the budget, as it is when the body is dropped.
class KeptBody
{
public:
    static constexpr qsizetype bodyLimit = qsizetype(2) << 20;

    KeptBody();
    // contentEncoding: the answer's Content-Encoding, empty for none. what: the kind of body, for the log line.
    KeptBody(ByteBudget &budget, QByteArrayView contentEncoding, const char *what);
    ~KeptBody();
    KeptBody(KeptBody &&other) noexcept;
    KeptBody &operator=(KeptBody &&other) noexcept;

    // Still keeping: nothing was given up.
    bool keeping() const { return state == State::Keeping; }
    // The coding could be undone (an unknown one is given up at once).
    bool decodable() const;
    // The next body bytes; data null: they went by unseen.
    void append(const uchar *data, qsizetype size);
    // What was decoded so far.
    const QByteArray &bytes() const { return kept; }
    // The body ended: its decoded bytes when it is whole, else nothing. The budget gets them back.
    QByteArray finish();

private:
    enum class State : quint8 { Idle, Keeping, GivenUp };

    void giveUp(const char *why);
    void release();

    ByteBudget *budget = nullptr;
    std::unique_ptr<BodyDecoder> decoder;
    QByteArray kept;
    // Bytes taken from the budget.
    qsizetype counted = 0;
    const char *kind = "";
    State state = State::Idle;
};
