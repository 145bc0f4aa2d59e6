#include "StreamBuilder.h"

namespace {

// A relative path (with or without a query) that resolving only appends to the base's folder, and that QUrl keeps
// exactly as written: no scheme, no leading '/' or '?', no dot segments, nothing to percent-encode.
bool isPlainPath(QStringView reference)
{
    if (reference.isEmpty() || reference.front() == u'/' || reference.front() == u'?') {
        return false;
    }
    qsizetype segmentStart = 0;
    bool inQuery = false;
    for (qsizetype i = 0; i <= reference.size(); ++i) {
        const char16_t c = i < reference.size() ? reference.at(i).unicode() : u'/';
        if (!inQuery && (c == u'/' || c == u'?')) {
            const QStringView segment = reference.sliced(segmentStart, i - segmentStart);
            if (segment == u"." || segment == u"..") {
                return false;
            }
            segmentStart = i + 1;
            inQuery = c == u'?';
            continue;
        }
        const bool safe = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9')
            || QStringView(u"-._~!$&'()*+,;=@/?").contains(QChar(c));
        if (!safe) {
            return false;
        }
    }
    return true;
}

} // namespace

StreamBuilder::StreamBuilder(AdaptiveStream::Kind kind, const QUrl &url)
{
    built.kind = kind;
    built.url = url;
}

QString StreamBuilder::resolve(const QUrl &base, QStringView reference)
{
    if (resolveBudget <= 0 || reference.size() > AdaptiveStream::maxAddressLength) {
        return {};
    }
    --resolveBudget;
    // Segment lists hold thousands of plain names beside one base; QUrl's full resolving costs microseconds each.
    if (isPlainPath(reference)) {
        if (base != folderBase) {
            folderBase = base;
            const QString probe = AdaptiveStream::memberKey(base.resolved(QUrl(QStringLiteral("x"))));
            folderKey = probe.endsWith(QLatin1StringView("/x")) ? probe.chopped(1) : QString();
        }
        if (!folderKey.isEmpty()) {
            return folderKey.size() + reference.size() <= AdaptiveStream::maxAddressLength
                ? folderKey + reference.toString()
                : QString();
        }
    }
    return AdaptiveStream::memberKey(base.resolved(QUrl(reference.toString())));
}

void StreamBuilder::addMember(const QString &key)
{
    if (key.isEmpty() || membersFull()) {
        return;
    }
    if (memberChars + key.size() > AdaptiveStream::maxMemberChars) {
        memberChars = AdaptiveStream::maxMemberChars;
        return;
    }
    const qsizetype before = built.members.size();
    built.members.insert(key);
    if (built.members.size() > before) {
        memberChars += key.size();
    }
}

void StreamBuilder::addVariant(const StreamVariant &variant)
{
    if (built.variants.size() < AdaptiveStream::maxVariants) {
        built.variants.append(variant);
    }
}

void StreamBuilder::addAudio(const StreamVariant &variant)
{
    if (built.audio.size() < AdaptiveStream::maxVariants) {
        built.audio.append(variant);
    }
}

void StreamBuilder::addPattern(const QString &pattern)
{
    if (built.memberPatterns.size() >= AdaptiveStream::maxPatterns || patternTexts.contains(pattern)) {
        return;
    }
    QRegularExpression expression(pattern);
    if (!expression.isValid()) {
        return;
    }
    // Compiled now, so that belongs() costs the same from its first call and never compiles on a shared object.
    expression.optimize();
    patternTexts.insert(pattern);
    built.memberPatterns.append(expression);
}
