#include "storage/unitFilePath.h"

#include "storage/unitAppInformation.h"

#include <cstdlib>

char PathSeparator() {
#ifdef _WIN32
    return '\\';
#else
    return '/';
#endif
}

std::string BaseFolder() {
#ifdef _WIN32
    return "c:\\QuorvaSoftWare\\";
#else
    const char* home = std::getenv("HOME");
    std::string base = home ? home : "";
    // "HOME=/" must not turn into "//QuorvaSoftWare/".
    if (!base.empty() && base.back() == '/')
        base.pop_back();
    return base + "/QuorvaSoftWare/";
#endif
}

std::string DataFolder() {
    return BaseFolder() + AppTitle() + AppMajorVersion();
}

std::string ContactDbPath() {
    return DataFolder() + PathSeparator() + AppTitle() + ".db";
}
