#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>

// What a page the site-download tool cannot read offers as plain links to media files.
struct PageLinks
{
    // The page's <title>, when it has one.
    QString title;
    // Absolute, in the page's order, each once.
    QList<QUrl> media;

    static PageLinks read(const QByteArray &html, const QUrl &page);
};
