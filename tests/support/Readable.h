#pragma once

class QWidget;

// Whether the widget, as drawn now, shows dark marks on a light ground: its commonest grey is light and enough
// of its pixels are far darker. Text drawn in the ground's own colour, or no text at all, fails.
bool darkOnLight(QWidget *widget);
