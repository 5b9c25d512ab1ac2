#pragma once

#include "printing/SheetCanvas.h"
#include "printing/unitPrintArea.h"

#include <functional>

// The job around the sheet: one page on the default printer, the canvas font set to the sheet's
// "Arial" bold 8 points, and `draw` given the canvas and the page figures of this job's printer.
// Throws std::runtime_error when there is no default printer or the job cannot start. If `draw`
// throws, the job is still ended (what was drawn is printed) and the exception passes on.
void RunSheetPrintJob(const std::function<void(ISheetCanvas&, const PrintArea&)>& draw);
