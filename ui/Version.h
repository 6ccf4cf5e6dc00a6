// The one place the version lives: read by the resource script's VERSIONINFO
// (through the resource compiler's preprocessor, hence macros only) and by
// the code.
#pragma once

#define TOVRANE_VERSION_MAJOR 1
#define TOVRANE_VERSION_MINOR 0
#define TOVRANE_VERSION_PATCH 0

#define TOVRANE_STRINGIFY_(x) #x
#define TOVRANE_STRINGIFY(x) TOVRANE_STRINGIFY_(x)

// "1.0.0"
#define TOVRANE_VERSION_STRING               \
    TOVRANE_STRINGIFY(TOVRANE_VERSION_MAJOR) \
    "." TOVRANE_STRINGIFY(TOVRANE_VERSION_MINOR) "." TOVRANE_STRINGIFY(TOVRANE_VERSION_PATCH)

#define TOVRANE_PRODUCT_NAME "Tovrane"
#define TOVRANE_EXE_NAME "Tovrane.exe"
#define TOVRANE_COPYRIGHT "© Tovrane 项目"
