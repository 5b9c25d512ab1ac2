#pragma once

// The start-up sequence: prepare the data files behind the busy indicator, create and show the
// main window, run the event loop until it closes. A start-up failure is shown in an error box
// and gives the status 1, with no main window left.
int RunProgram();
