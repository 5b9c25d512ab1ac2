#pragma once

// Creates the base and data folders when missing and builds the contact database when its file
// is missing. An existing file is taken as it is.
void PrepareDataFiles();
