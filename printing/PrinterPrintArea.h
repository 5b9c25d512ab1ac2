#pragma once

#include "printing/unitPrintArea.h"

class QPrinter;

// The page figures of one printer as it stands, in its device pixels.
PrintArea PrintAreaOf(const QPrinter& printer);
