#include "KeptBody.h"

#include "BodyDecoder.h"
#include "Trace.h"

#include <utility>

KeptBody::KeptBody() = default;

KeptBody::KeptBody(ByteBudget &bodies, QByteArrayView contentEncoding, const char *what)
    : budget(&bodies)
    , decoder(std::make_unique<BodyDecoder>(contentEncoding.toByteArray()))
    , kind(what)
    , state(State::Keeping)
{
    if (!decoder->isSupported()) {
        giveUp("its content coding is not known here");
    }
}

KeptBody::~KeptBody()
{
    release();
}

KeptBody::KeptBody(KeptBody &&other) noexcept
    : budget(other.budget)
    , decoder(std::move(other.decoder))
    , kept(std::move(other.kept))
    , counted(std::exchange(other.counted, 0))
    , kind(other.kind)
    , state(std::exchange(other.state, State::Idle))
{ }

KeptBody &KeptBody::operator=(KeptBody &&other) noexcept
{
    if (this != &other) {
        release();
        budget = other.budget;
        decoder = std::move(other.decoder);
        kept = std::move(other.kept);
        counted = std::exchange(other.counted, 0);
        kind = other.kind;
        state = std::exchange(other.state, State::Idle);
    }
    return *this;
}

bool KeptBody::decodable() const
{
    return decoder && decoder->isSupported();
}

void KeptBody::append(const uchar *data, qsizetype size)
{
    if (state != State::Keeping || size <= 0) {
        return;
    }
    if (!data) {
        giveUp("part of it was not captured");
        return;
    }
    const QByteArray piece = QByteArray::fromRawData(reinterpret_cast<const char *>(data), size);
    if (!decoder->decode(piece, kept, bodyLimit)) {
        giveUp(kept.size() > bodyLimit ? "it is too large" : "it could not be decoded");
        return;
    }
    if (!budget->take(kept.size() - counted)) {
        giveUp("the capture keeps too many bodies already");
        return;
    }
    counted = kept.size();
}

QByteArray KeptBody::finish()
{
    QByteArray whole;
    if (state == State::Keeping && decoder->isComplete()) {
        whole = std::move(kept);
    }
    release();
    state = State::Idle;
    return whole;
}

void KeptBody::giveUp(const char *why)
{
    trace() << "KeptBody : a" << kind << "body was given up," << why;
    release();
    state = State::GivenUp;
}

void KeptBody::release()
{
    if (budget) {
        budget->give(counted);
    }
    counted = 0;
    kept = QByteArray();
    decoder.reset();
}
