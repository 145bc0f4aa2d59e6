#pragma once

// For targets that use widgets: the common QtCore headers and the QtWidgets headers most windows include.
#include "CoreHeaders.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QWidget>
