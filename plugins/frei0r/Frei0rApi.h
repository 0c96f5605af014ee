#pragma once
// frei0r's C interface; its header declares the entry points without C linkage of its own.

extern "C" {
#include <frei0r.h>
}
