#pragma once

#include <string>

// The program's name, version and maker. The major version is part of the data folder's name,
// so a new major version keeps its data apart from the old one.
std::string AppTitle();
std::string AppFullTitle();
std::string AppMajorVersion();
std::string AppMinorVersion();
std::string AppCopyrightYears();
std::string AppMakerName();
std::string AppMakerWebSite();
std::string AppMakerEmail();
