#pragma once

#include "ContactSheet.h"

#include <functional>

// Prints the contact sheet as one job of one page on the default printer with its current
// settings. Throws std::runtime_error when there is no default printer or the job cannot start.
void PrintContactSheet(const ContactSheetData& data);

// The job around the sheet: one page on the default printer, the canvas font set to the sheet's
// "Arial" bold 8 points, and the page metrics answering for this job's printer while `draw`
// runs. If `draw` throws, the job is still ended (what was drawn is printed) and the exception
// passes on.
void RunSheetPrintJob(const std::function<void(ISheetCanvas&)>& draw);
