#pragma once

#include "StreamSave.h"
#include "VideoInfo.h"

#include <QList>
#include <QString>

#include <optional>

namespace LiveJob {

// The recording of a live page's chosen format row into fileName, asked for as the site-download tool would ask:
// the row's own address, or for the best row the last format with pictures and sound (else the master playlist).
// Nothing when the listing names no address to record.
std::optional<StreamSave::Job> make(const QList<FormatEntry> &formats, const FormatEntry &chosen,
                                    const QString &fileName, UserFileSave::Replace replace);

} // namespace LiveJob
