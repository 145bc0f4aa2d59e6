#include "QueuePanel.h"

#include "DownloadQueue.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace {

constexpr int rowHeight = 22;
constexpr int shownRows = 4;
constexpr int buttonRow = 34;

} // namespace

QueuePanel::QueuePanel(DownloadQueue *downloads, QWidget *parent)
    : QWidget(parent)
    , queue(downloads)
    , view(new QTableView(this))
    , removeButton(new QPushButton(tr("Remove"), this))
{
    setObjectName(QStringLiteral("queuePanel"));
    view->setObjectName(QStringLiteral("queueView"));
    view->setModel(downloads);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->verticalHeader()->hide();
    view->verticalHeader()->setDefaultSectionSize(rowHeight);
    view->horizontalHeader()->setSectionResizeMode(DownloadQueue::TitleColumn, QHeaderView::Stretch);
    view->horizontalHeader()->setSectionResizeMode(DownloadQueue::SizeColumn, QHeaderView::ResizeToContents);
    view->horizontalHeader()->setSectionResizeMode(DownloadQueue::StateColumn, QHeaderView::ResizeToContents);
    // Light on the dark window, as the settings page's buttons and fields are.
    setStyleSheet(QStringLiteral("QTableView { background-color: white; color: black; }"
                                 "QHeaderView::section { background-color: #e8e8e8; color: black; border: none;"
                                 " border-right: 1px solid gray; border-bottom: 1px solid gray; padding: 2px 4px; }"
                                 "QPushButton { background-color: white; padding: 3px 12px; }"
                                 "QPushButton:disabled { color: gray; }"));

    auto *addButton = new QPushButton(tr("Add address"), this);
    addButton->setObjectName(QStringLiteral("btnAddAddress"));
    addButton->setToolTip(tr("Queue another download while this one runs"));
    removeButton->setObjectName(QStringLiteral("btnRemoveEntry"));
    removeButton->setToolTip(tr("Cancel the chosen download, or take it off the list"));
    removeButton->setEnabled(false);
    connect(addButton, &QPushButton::clicked, this, &QueuePanel::addAddress);
    connect(removeButton, &QPushButton::clicked, this, &QueuePanel::removeChosen);
    connect(view->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { removeButton->setEnabled(view->selectionModel()->hasSelection()); });

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(addButton);
    buttons->addStretch();
    buttons->addWidget(removeButton);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view);
    layout->addLayout(buttons);
}

int QueuePanel::fittingHeight() const
{
    const int rows = std::clamp(queue->rowCount(), 1, shownRows);
    return view->horizontalHeader()->sizeHint().height() + rows * rowHeight + 4 + buttonRow;
}

void QueuePanel::removeChosen()
{
    const QModelIndexList chosen = view->selectionModel()->selectedRows();
    if (!chosen.isEmpty()) {
        queue->remove(chosen.constFirst().row());
    }
}
