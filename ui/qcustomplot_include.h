#pragma once
// QCustomPlot declares its signals and slots with Qt's keywords, which this project
// builds without; they are defined for its header alone.

#define signals Q_SIGNALS
#define slots Q_SLOTS
#define foreach Q_FOREACH
#include <qcustomplot.h>
#undef foreach
#undef slots
#undef signals
