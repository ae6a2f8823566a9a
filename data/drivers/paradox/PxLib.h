#pragma once

// pxlib's C interface; its header declares no C linkage of its own.
#include <cstdio>
#include <iconv.h>

extern "C" {
#include <paradox.h>
}
