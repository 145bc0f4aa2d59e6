#include "Sniffer.h"

#include "SniffBrowser.h"
#include "Trace.h"
#include "ui_Settings.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QSettings>

namespace {

const int fileEntry = -1;

} // namespace

void Sniffer::initCookies()
{
    QComboBox *combo = settingsPage->comboCookies;
    const CookieSource chosen = CookieSource::fromSetting(settings().value(SettingsKeys::Cookies).toString());
    QList<CookieSource> sources = CookieSource::offered(SniffBrowser::installed(), dataFolder);
    if (!sources.contains(chosen)) {
        sources.append(chosen);
    }
    combo->clear();
    for (const CookieSource &source : std::as_const(sources)) {
        combo->addItem(source.label(), source.toSetting());
    }
    combo->addItem(tr("Cookies from a cookies.txt file..."), fileEntry);
    combo->setCurrentIndex(int(sources.indexOf(chosen)));
    applyCookies(chosen);
    connect(combo, &QComboBox::activated, this, &Sniffer::chooseCookies);
}

void Sniffer::chooseCookies(int index)
{
    QComboBox *combo = settingsPage->comboCookies;
    CookieSource source;
    if (combo->itemData(index) != fileEntry) {
        source = CookieSource::fromSetting(combo->itemData(index).toString());
    } else {
        const QString file = QFileDialog::getOpenFileName(this, tr("Cookies for site downloads"), QDir::homePath(),
                                                          tr("Cookies (*.txt);;All files (*)"));
        if (file.isEmpty()) {
            combo->setCurrentIndex(combo->findData(
                CookieSource::fromSetting(settings().value(SettingsKeys::Cookies).toString()).toSetting()));
            return;
        }
        source = { CookieSource::Kind::File, Platform::Browser::Chromium, file };
        combo->insertItem(index, source.label(), source.toSetting());
        combo->setCurrentIndex(index);
    }
    settings().setValue(SettingsKeys::Cookies, source.toSetting());
    settings().sync();
    applyCookies(source);
}

void Sniffer::applyCookies(const CookieSource &source)
{
    trace() << "applyCookies :" << source.label();
    cookieSource = source;
    downloader->useCookies(source.toolBrowser(dataFolder),
                           source.kind == CookieSource::Kind::File ? source.file : QString(),
                           QDir(dataFolder).filePath(QStringLiteral("cookies.txt")));
}
