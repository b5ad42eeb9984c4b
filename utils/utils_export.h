#pragma once

#if defined(UTILS_BUILDING)
#define UTILS_API __attribute__((visibility("default")))
#else
#define UTILS_API
#endif
