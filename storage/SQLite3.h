#pragma once

// The engine's C entry points. The access layer reaches the engine only through this unit, so a
// different engine build (a bundled amalgamation, say) can be swapped in here alone.

#include <sqlite3.h>
