#pragma once

#if defined(VARNEX_BUILDING)
#define VARNEX_API __attribute__((visibility("default")))
#else
#define VARNEX_API
#endif
