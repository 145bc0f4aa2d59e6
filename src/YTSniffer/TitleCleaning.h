#pragma once

#include <QString>

// A page title made fit for a file name: letters of every script stay; runs of white space become one
// space, what a file name cannot hold goes, and the title is cut to its first 30 characters (never
// inside a character). An empty title stays empty.
QString cleanTitle(const QString &title);
