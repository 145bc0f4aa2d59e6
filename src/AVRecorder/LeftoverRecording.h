#pragma once

#include "CaptureFiles.h"

#include <QList>
#include <QObject>
#include <QString>

class Grabbers;

// Captures of a recording that never reached its save: the program ended while recording, or before the
// user saved or discarded it. Found by the captures' own names in the temporary folder.
class LeftoverRecording final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LeftoverRecording)

public:
    LeftoverRecording(const QString &appDir, const QString &tempDir, QObject *parent = nullptr);
    ~LeftoverRecording() override;

    // The files of a recording's later parts, left when the program ended while it was paused or resumed.
    static QStringList partsOf(const CaptureFiles &files);

    // Every such recording that holds something, the newest first.
    static QList<CaptureFiles> find(const QString &tempDir);

    // Offers the newest leftover: merges its captures when that never happened, then found(). Leftovers
    // with nothing in them are removed. nothing() when there is none.
    void offer();

signals:
    // resultFile is empty when picture and sound could not be joined; each is then saved on its own.
    void found(const CaptureFiles &files);
    void nothing();

private:
    QString appDir;
    QString tempDir;
    Grabbers *merge = nullptr;
};
