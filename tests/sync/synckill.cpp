// A sync in a process of its own that ends itself at once, as a kill would, after its n-th step
// that changes the book or the server: synckill BOOK URL N. Ends with status 0 when the sync
// finishes first, 9 when stopped, 1 when it failed.
#include "sync/DavClient.h"
#include "sync/Synchronizer.h"

#include <QCoreApplication>
#include <QUrl>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 4)
        return 2;
    const int stopAt = std::atoi(argv[3]);
    int steps = 0;
    SetSyncStepObserver([&] {
        if (++steps == stopAt)
            _exit(9);
    });
    try {
        TDavClient client(QUrl(QString::fromLocal8Bit(argv[2])), "user", "secret");
        SyncAddressBook(client, argv[1]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
