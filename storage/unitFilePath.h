#pragma once

#include <string>

// Where the program keeps its data. There is no configuration: on Windows the folders are fixed
// on drive C:, elsewhere they live in the user's home folder (HOME), which tests relocate.
std::string BaseFolder();
std::string DataFolder();
std::string ContactDbPath();
// The separator the paths above are composed with.
char PathSeparator();
