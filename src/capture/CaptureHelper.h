#pragma once

#include <QString>

namespace CaptureHelper {

// The helper beside the running program; empty when there is none.
QString path();

// How to give the helper at helperPath the capture right, for the user; empty without a helper.
QString permissionAdvice(const QString &helperPath);

} // namespace CaptureHelper
