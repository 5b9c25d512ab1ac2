#pragma once

#include <filesystem>
#include <vector>

// The sync with a local radicale, each figure against a floor measured in the same run: the
// same requests sent by a minimal HTTP client over one connection.
int RunSyncBench(const std::filesystem::path& booksDir, const std::vector<int>& sizes);

// The window while cards arrive from radicale: the longest gap between paints of the contact
// list, against the same window idle.
int RunSyncWindowBench(const std::vector<int>& sizes);
