#pragma once

#include <QHash>
#include <QList>

#include <optional>

// The main window shows one "layer" at a time: a fixed set of its six pages, stacked top to bottom.
enum Layer : int {
    LayerMain = 0,
    LayerProgress = 1,
    LayerInsertUrl = 2,
    LayerOptions = 3,
    LayerSettings = 4,
    LayerSniffer = 5,
    LayerUpdate = 6,
};

// Which pages a layer shows and how high the window is then.
class LayerPlan final
{
public:
    enum class Page { Navigation, InsertUrl, Options, Progress, Settings, Sniffer };

    LayerPlan();

    static QList<Page> pages();
    static bool shows(int layer, Page page);
    // The navigation bar's own page: the site buttons on the main layer, the Back row on every other.
    static int navigationPage(int layer);
    // Where Back leads from the given layer: the URL page from a download's options, else the main layer.
    static int previousLayer(int lastLayer, bool recorderSaveMode);

    int pageHeight(Page page) const;
    void setPageHeight(Page page, int height);

    // formatListHeight is the format list's current height, or nothing while the list is hidden.
    int windowHeight(int layer, std::optional<int> formatListHeight, bool titleHidden) const;

private:
    QHash<Page, int> heights;
};
