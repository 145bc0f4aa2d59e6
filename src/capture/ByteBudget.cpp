#include "ByteBudget.h"

#include "Trace.h"

#include <utility>

bool ByteBudget::take(qsizetype size)
{
    if (used + size > limit) {
        refused();
        return false;
    }
    if (whole && !whole->take(size)) {
        return false;
    }
    used += size;
    return true;
}

bool ByteBudget::fits(qsizetype size) const
{
    return used + size <= limit && (!whole || whole->fits(size));
}

void ByteBudget::add(qsizetype size)
{
    used += size;
    if (whole) {
        whole->add(size);
    }
}

void ByteBudget::give(qsizetype size)
{
    used -= size;
    if (whole) {
        whole->give(size);
    }
    if (used <= limit / 2) {
        fullTold = false;
    }
}

void ByteBudget::refused()
{
    if (!fullTold) {
        fullTold = true;
        trace() << "ByteBudget :" << kind << "held by all connections reached their limit;"
                << "what asks for more is given up";
    }
}

BudgetShare::BudgetShare(BudgetShare &&other) noexcept
    : from(std::exchange(other.from, nullptr))
    , taken(std::exchange(other.taken, 0))
{ }

BudgetShare &BudgetShare::operator=(BudgetShare &&other) noexcept
{
    if (this != &other) {
        release();
        from = std::exchange(other.from, nullptr);
        taken = std::exchange(other.taken, 0);
    }
    return *this;
}

bool BudgetShare::set(ByteBudget *budget, qsizetype bytes)
{
    if (!budget) {
        release();
        return true;
    }
    if (from != budget) {
        release();
        from = budget;
    }
    if (bytes > taken && !from->take(bytes - taken)) {
        return false;
    }
    if (bytes < taken) {
        from->give(taken - bytes);
    }
    taken = bytes;
    return true;
}

void BudgetShare::release()
{
    if (from && taken > 0) {
        from->give(taken);
    }
    from = nullptr;
    taken = 0;
}
