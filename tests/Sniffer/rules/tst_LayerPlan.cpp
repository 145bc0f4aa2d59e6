#include "LayerPlan.h"
#include "WindowTitle.h"

#include <QTest>

#include <optional>

using Page = LayerPlan::Page;

class tst_LayerPlan final : public QObject
{
    Q_OBJECT

private slots:
    void windowHeights_data();
    void windowHeights();
    void tallerSnifferPage();
    void backGoesOneStep_data();
    void backGoesOneStep();
    void title_data();
    void title();
};

void tst_LayerPlan::windowHeights_data()
{
    QTest::addColumn<int>("layer");
    QTest::addColumn<std::optional<int>>("listHeight");
    QTest::addColumn<bool>("titleHidden");
    QTest::addColumn<int>("height");
    QTest::newRow("main") << int(LayerMain) << std::optional<int>() << false << 60;
    QTest::newRow("progress alone") << int(LayerProgress) << std::optional<int>() << false << 120;
    QTest::newRow("URL page") << int(LayerInsertUrl) << std::optional<int>() << false << 176;
    QTest::newRow("download options, 3 formats") << int(LayerOptions) << std::optional<int>(81) << false << 336;
    QTest::newRow("recording options") << int(LayerOptions) << std::optional<int>() << true << 155;
    QTest::newRow("default folders") << int(LayerSettings) << std::optional<int>() << false << 215;
    QTest::newRow("sniffer") << int(LayerSniffer) << std::optional<int>() << false << 262;
    QTest::newRow("update") << int(LayerUpdate) << std::optional<int>() << false << 60;
}

void tst_LayerPlan::windowHeights()
{
    QFETCH(int, layer);
    QFETCH(std::optional<int>, listHeight);
    QFETCH(bool, titleHidden);
    QFETCH(int, height);
    QCOMPARE(LayerPlan().windowHeight(layer, listHeight, titleHidden), height);
}

void tst_LayerPlan::tallerSnifferPage()
{
    LayerPlan plan;
    plan.setPageHeight(Page::Sniffer, 320);
    QCOMPARE(plan.windowHeight(LayerSniffer, std::nullopt, false), 380);
    QCOMPARE(plan.windowHeight(LayerInsertUrl, std::nullopt, false), 176);
}

void tst_LayerPlan::backGoesOneStep_data()
{
    QTest::addColumn<int>("last");
    QTest::addColumn<bool>("recording");
    QTest::addColumn<int>("target");
    QTest::newRow("download options → URL page") << int(LayerOptions) << false << int(LayerInsertUrl);
    QTest::newRow("recording options → main") << int(LayerOptions) << true << int(LayerMain);
    QTest::newRow("URL page → main") << int(LayerInsertUrl) << false << int(LayerMain);
    QTest::newRow("settings → main") << int(LayerSettings) << false << int(LayerMain);
    QTest::newRow("sniffer → main") << int(LayerSniffer) << false << int(LayerMain);
    QTest::newRow("update → main") << int(LayerUpdate) << false << int(LayerMain);
}

void tst_LayerPlan::backGoesOneStep()
{
    QFETCH(int, last);
    QFETCH(bool, recording);
    QFETCH(int, target);
    QCOMPARE(LayerPlan::previousLayer(last, recording), target);
}

void tst_LayerPlan::title_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("title");
    QTest::newRow("no recorded version") << QStringLiteral("last") << QStringLiteral("Corvane 2 (last) (2.0.0.299)");
    QTest::newRow("four characters") << QStringLiteral("2014") << QStringLiteral("Corvane 2 (2014) (2.0.0.299)");
    QTest::newRow("five characters") << QStringLiteral("2014.") << QStringLiteral("Corvane 2 (2014.)");
    QTest::newRow("a real version") << QStringLiteral("2014.05.19") << QStringLiteral("Corvane 2 (2014.05.19)");
}

void tst_LayerPlan::title()
{
    QFETCH(QString, version);
    QFETCH(QString, title);
    QCOMPARE(composeWindowTitle(version), title);
}

QTEST_GUILESS_MAIN(tst_LayerPlan)
#include "tst_LayerPlan.moc"
