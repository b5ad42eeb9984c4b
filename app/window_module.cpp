// The entry of the window module (libvarnelpro_window.so).
#include "app/window_module.h"
#include "app/window/window_runner.h"

extern "C" void VarnelProWindowRunner(CVarnelProApp::WindowRunner* runner)
{
    *runner = MakeWindowRunner();
}
