#pragma once

#include <QWidget>

class DownloadQueue;
class QPushButton;
class QTableView;

// The queue of site downloads as the progress page shows it: a row per download (title, size, state), a button
// that leads to the URL page for the next address and one that cancels or removes the chosen row.
class QueuePanel final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(QueuePanel)

public:
    explicit QueuePanel(DownloadQueue *queue, QWidget *parent = nullptr);

    // The height that shows every row, up to a few.
    int fittingHeight() const;

signals:
    void addAddress();

private:
    void removeChosen();

    DownloadQueue *queue;
    QTableView *view;
    QPushButton *removeButton;
};
