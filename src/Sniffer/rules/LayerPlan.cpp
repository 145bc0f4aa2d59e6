#include "LayerPlan.h"

namespace {

// The options page's nominal height includes rows that are hidden on it; these adjust for them.
constexpr int optionsAllowance = 75;
constexpr int hiddenTitleAllowance = 100;

} // namespace

LayerPlan::LayerPlan()
    : heights { { Page::Navigation, 60 }, { Page::InsertUrl, 116 }, { Page::Options, 270 },
                { Page::Progress, 120 },  { Page::Settings, 155 },  { Page::Sniffer, 202 } }
{ }

QList<LayerPlan::Page> LayerPlan::pages()
{
    return { Page::Navigation, Page::InsertUrl, Page::Options, Page::Progress, Page::Settings, Page::Sniffer };
}

bool LayerPlan::shows(int layer, Page page)
{
    switch (layer) {
    case LayerProgress:
        return page == Page::Progress;
    case LayerInsertUrl:
        return page == Page::Navigation || page == Page::InsertUrl;
    case LayerOptions:
        return page == Page::Navigation || page == Page::Options;
    case LayerSettings:
        return page == Page::Navigation || page == Page::Settings;
    case LayerSniffer:
        return page == Page::Navigation || page == Page::Sniffer;
    default:
        return page == Page::Navigation;
    }
}

int LayerPlan::navigationPage(int layer)
{
    return layer == LayerMain ? 0 : 1;
}

int LayerPlan::previousLayer(int lastLayer, bool recorderSaveMode)
{
    return lastLayer == LayerOptions && !recorderSaveMode ? LayerInsertUrl : LayerMain;
}

int LayerPlan::pageHeight(Page page) const
{
    return heights.value(page);
}

void LayerPlan::setPageHeight(Page page, int height)
{
    heights.insert(page, height);
}

int LayerPlan::windowHeight(int layer, std::optional<int> formatListHeight, bool titleHidden) const
{
    int sum = 0;
    for (const Page page : pages()) {
        if (!shows(layer, page)) {
            continue;
        }
        sum += pageHeight(page);
        if (page == Page::Options) {
            sum -= optionsAllowance;
            sum += formatListHeight.value_or(0);
            if (titleHidden) {
                sum -= hiddenTitleAllowance;
            }
        }
    }
    return sum;
}
