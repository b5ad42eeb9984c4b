#pragma once

#include "app/varnelpro_app.h"

// The desktop window for CVarnelProApp: a QApplication, then the main frame
// until it closes.
CVarnelProApp::WindowRunner MakeWindowRunner();
