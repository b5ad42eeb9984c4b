#pragma once

#if defined(TEXTRION_BUILDING)
#define TEXTRION_API __attribute__((visibility("default")))
#else
#define TEXTRION_API
#endif
