#pragma once

#include <cstddef>

// How an import shows its progress: the window layer puts up a dialog with Cancel for big
// files. Step returns false when the user has cancelled; the import then undoes everything.
class IImportProgress {
public:
    virtual ~IImportProgress() = default;
    virtual void Start(std::size_t total) = 0;
    virtual bool Step(std::size_t done) = 0;
    virtual void Finish() = 0;
};
