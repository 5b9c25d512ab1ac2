#include "storage/unitBuildData.h"

#include "storage/unitCreateDB.h"
#include "storage/unitFilePath.h"

#include <filesystem>
#include <system_error>

void PrepareDataFiles() {
    namespace fs = std::filesystem;
    std::error_code ec;
    // One level each, results not examined: a folder that cannot be made shows up as the
    // database failing to open, which names the path.
    if (!fs::is_directory(fs::path(BaseFolder()), ec))
        fs::create_directory(fs::path(BaseFolder()), ec);
    if (!fs::is_directory(fs::path(DataFolder()), ec))
        fs::create_directory(fs::path(DataFolder()), ec);
    if (!fs::exists(fs::path(ContactDbPath()), ec))
        BuildContactDatabase();
}
