#include "bench/BenchModes.h"

#include "app/TApplication.h"
#include "storage/unitBuildData.h"
#include "ui/dialogs/ErrorDisplay.h"
#include "ui/window/CustomerListModel.h"
#include "ui/window/frmCustomers.h"

#include <QElapsedTimer>
#include <QWindow>
#include <cstdio>
#include <memory>

// The program's start-up (the application object, the data files, the window created and
// shown) up to the moment the window is on screen and painted. The driver times this process from
// its launch, so loading the program and its libraries counts too.
int RunStartupProbe(int& argc, char** argv) {
    QElapsedTimer clock;
    clock.start();
    TApplication app(argc, argv);
    SetEventLoopRunning(false);
    PrepareDataFiles();
    auto form = std::make_unique<TCustomersForm>();
    form->show();
    while (!(form->windowHandle() && form->windowHandle()->isExposed())) {
        if (clock.elapsed() > 30000)
            return 1;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    // Its first paint.
    QCoreApplication::processEvents(QEventLoop::AllEvents, 1000);
    if (TakeStartupFailure())
        return 1;
    std::printf("@@exposed %.3f %d\n", clock.nsecsElapsed() / 1e6, form->listModel()->rowCount());
    std::fflush(stdout);
    return 0;
}
