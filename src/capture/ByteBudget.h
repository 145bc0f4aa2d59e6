#pragma once

#include <QtGlobal>

// Bytes that the connections of one capture hold of one kind (bodies, header text, held records), bounded as a
// whole. A budget may draw from an overall one as well, so that each kind is bounded and all kinds together are.
// One thread at a time.
class ByteBudget
{
public:
    // what: the kind of bytes, for the one log line said each time the budget runs full.
    explicit ByteBudget(qsizetype bytes, const char *what = "bytes", ByteBudget *overall = nullptr)
        : limit(bytes)
        , kind(what)
        , whole(overall)
    { }
    Q_DISABLE_COPY_MOVE(ByteBudget)

    // false, and nothing taken, when size more bytes would pass this limit or the overall one.
    bool take(qsizetype size);
    bool fits(qsizetype size) const;
    // Counts bytes that fits() allowed.
    void add(qsizetype size);
    void give(qsizetype size);
    qsizetype inUse() const { return used; }

private:
    void refused();

    const qsizetype limit;
    const char *const kind;
    ByteBudget *const whole;
    qsizetype used = 0;
    // Said once until the budget is half empty again, so that an attack does not flood the log.
    bool fullTold = false;
};

// What one holder took from a budget, given back when it is dropped.
class BudgetShare
{
public:
    BudgetShare() = default;
    ~BudgetShare() { release(); }
    BudgetShare(BudgetShare &&other) noexcept;
    BudgetShare &operator=(BudgetShare &&other) noexcept;

    // The holder now holds bytes: takes or gives the difference. false, and the share unchanged, when the budget
    // cannot give it. No budget always succeeds.
    bool set(ByteBudget *budget, qsizetype bytes);
    void release();

private:
    ByteBudget *from = nullptr;
    qsizetype taken = 0;
};
