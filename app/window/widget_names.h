#pragma once

#include <QLatin1String>

// Gives a child widget the object name tests and style sheets find it by.
template <typename Widget> Widget* Named(Widget* widget, const char* name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}
