#pragma once

#include "AdaptiveStream.h"

#include <QSet>
#include <QString>
#include <QStringView>
#include <QUrl>

#include <utility>

// Collects what a reader finds into an AdaptiveStream, within AdaptiveStream's caps: what exceeds them is
// dropped quietly, so that a hostile document costs bounded time and memory.
class StreamBuilder
{
public:
    // Variant and audio texts (ids, codecs, groups) longer than this are dropped.
    static constexpr qsizetype maxTextLength = 1'024;

    StreamBuilder(AdaptiveStream::Kind kind, const QUrl &url);

    // reference resolved against base, in memberKey form; empty when it is no http(s) address, or when the budget for
    // resolving (twice maxMembers) is spent.
    QString resolve(const QUrl &base, QStringView reference);
    void addMember(const QString &key);
    // No more members can be added: a cap is reached or the budget for resolving is spent.
    bool membersFull() const
    {
        return built.members.size() >= AdaptiveStream::maxMembers || memberChars >= AdaptiveStream::maxMemberChars
            || resolveBudget <= 0;
    }
    void addVariant(const StreamVariant &variant);
    void addAudio(const StreamVariant &variant);
    // An anchored regular expression over absolute addresses.
    void addPattern(const QString &pattern);

    AdaptiveStream &stream() { return built; }
    AdaptiveStream take() { return std::move(built); }

    static QString boundedText(QStringView text) { return text.size() <= maxTextLength ? text.toString() : QString(); }

private:
    AdaptiveStream built;
    qsizetype memberChars = 0;
    qsizetype resolveBudget = 2 * AdaptiveStream::maxMembers;
    // The memberKey of the last base's folder, ending in '/'; empty when the base has none.
    QUrl folderBase;
    QString folderKey;
    QSet<QString> patternTexts;
};
