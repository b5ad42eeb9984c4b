#pragma once

#include <string>
#include <vector>

#include "app/varnelpro_app.h"

// The window lives in a module of its own, loaded only when a window opens,
// so that a command-line run starts without Qt's widgets and what they pull
// in.

// What the module exports: fills in the runner of its window.
extern "C" void VarnelProWindowRunner(CVarnelProApp::WindowRunner* runner);
inline constexpr char kWindowRunnerFunction[] = "VarnelProWindowRunner";

// A runner that loads the module from the first of places (relative to the
// program's folder) when the window is to open. When it cannot be loaded, a
// plain application object stands in and the run says why and ends.
CVarnelProApp::WindowRunner ModuleWindowRunner(std::vector<std::string> places);
