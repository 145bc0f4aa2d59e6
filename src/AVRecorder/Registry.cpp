#include "Registry.h"

#include "Platform.h"
#include "Trace.h"

#include <QSettings>

namespace Registry {

void clean(const QString &store)
{
    trace() << "cleanRegistry"
            << ":"
            << "Ok";
    QSettings settings(store, QSettings::NativeFormat);
    for (const char *key : { "start_x", "start_y", "capture_width", "capture_height" }) {
        settings.remove(QLatin1String(key));
    }
    settings.sync();
}

void clean()
{
    clean(Platform::captureFilterStore());
}

} // namespace Registry
