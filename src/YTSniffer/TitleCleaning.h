#pragma once

#include <QString>

// A page title made fit for a file name: only ASCII letters, digits, "(", ")" and single spaces remain,
// cut to its first 30 characters (the cut may end in a space).
QString cleanTitle(const QString &title);
