#pragma once

#if defined(CONTROLS_BUILDING)
#define CONTROLS_API __attribute__((visibility("default")))
#else
#define CONTROLS_API
#endif
