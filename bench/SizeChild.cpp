#include "bench/BenchModes.h"
#include "bench/BenchRegister.h"
#include "bench/ContactFileBench.h"
#include "bench/RawScan.h"

#include "app/TApplication.h"
#include "model/ContactColumns.h"
#include "storage/ContactStatements.h"
#include "storage/DuplicateFinder.h"
#include "storage/SQLiteTable3.h"
#include "storage/unitBuildData.h"
#include "storage/unitFilePath.h"
#include "ui/dialogs/ErrorDisplay.h"
#include "ui/dialogs/frmSaving.h"
#include "ui/window/CustomerListModel.h"
#include "ui/window/frmCustomers.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTreeView>
#include <QWindow>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>

namespace {

// ---- the window under measurement -------------------------------------------------------------

// A failure inside one of the window's handlers is kept by the error display (no event loop
// runs here); the measurement must not go on as if nothing happened.
void ThrowKeptFailure() {
    if (std::exception_ptr failure = TakeStartupFailure())
        std::rethrow_exception(failure);
}

// Runs the event loop until nothing is left to do, so that no work of a set-up spills into the
// measured part that follows it.
void Drain() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents(QEventLoop::AllEvents, 1000);
}

void Settle() {
    Drain();
    ThrowKeptFailure();
}

void WaitExposed(QWidget* window) {
    QElapsedTimer clock;
    clock.start();
    while (!(window->windowHandle() && window->windowHandle()->isExposed())) {
        if (clock.elapsed() > 30000)
            throw std::runtime_error("window never exposed");
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
}

// The busy indicator stays on screen for its minimum time after a save; the next save must find
// none, as a user's next save would.
void WaitBusyGone() {
    QElapsedTimer clock;
    clock.start();
    while (SavingForm != nullptr && clock.elapsed() < 30000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    Settle();
}

// Counts the paints of the list, to show that a refill paints it once.
class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

struct Window {
    PaintCounter listPaints; // declared first: it outlives the window it watches
    PaintCounter editorPaints;
    std::unique_ptr<TCustomersForm> form;
    QWidget* editor = nullptr;
    QTreeView* list = nullptr;
    QComboBox* combo = nullptr;
    QLineEdit* search = nullptr;
    QLineEdit* address = nullptr;

    void Open() {
        if (form)
            return;
        form = std::make_unique<TCustomersForm>();
        form->show();
        WaitExposed(form.get());
        Settle();
        list = form->findChild<QTreeView*>("lstvCustomers");
        combo = form->findChild<QComboBox*>("cmboCustSearch");
        search = form->findChild<QLineEdit*>("txtCustSearch");
        address = form->findChild<QLineEdit*>("txtCustAddress");
        editor = form->findChild<QWidget*>("pnlContacts");
        if (!list || !combo || !search || !address || !editor)
            throw std::runtime_error("window controls not found");
        list->viewport()->installEventFilter(&listPaints);
        editor->installEventFilter(&editorPaints);
    }
    // What the user waits for after a handler: the event loop runs until nothing is left to do,
    // the list's layout and paint included. Should the platform not have painted the list by
    // then, the paint is forced, so it is always part of the figure.
    void ShowList() {
        const int before = listPaints.paints;
        Drain();
        if (listPaints.paints == before)
            list->viewport()->repaint();
    }
    // The same for the editor after a contact was opened.
    void ShowEditor() {
        const int before = editorPaints.paints;
        Drain();
        if (editorPaints.paints == before)
            form->repaint();
    }
    void SelectRow(int row) {
        const QModelIndex index = list->model()->index(row, TCustomerListModel::Company);
        list->selectionModel()->select(index, QItemSelectionModel::ClearAndSelect |
                                                  QItemSelectionModel::Rows);
    }
    void TypeKey(char letter) {
        const QString text(QChar::fromLatin1(letter));
        const int key = Qt::Key_A + (letter - 'a');
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
        QApplication::sendEvent(search, &press);
        QApplication::sendEvent(search, &release);
    }
};

struct Context {
    int size = 0;
    std::string dbPath;
    std::string id; // the identifier of the contact in the middle of the list
    int row = 0;    // its row
    Window window;
    std::map<std::string, std::uint64_t> rows; // rows each measured statement yields
};
Context* ctx = nullptr;

const std::string kAll = "SELECT * FROM Customers";

std::string SearchStatement(const std::string& text) {
    return BuildSearchStatement(SearchKind::LastName, text);
}

// ---- the measurements ---------------------------------------------------------------------------

// The floor of a measurement is taken inside the measurement's own loop, just before each
// round and outside its timing, so that both see the same load on the machine.
class Floor {
public:
    explicit Floor(std::string statement)
        : db_(RawOpen(ctx->dbPath)), statement_(std::move(statement)) {}
    ~Floor() { RawClose(db_); }
    Floor(const Floor&) = delete;
    Floor& operator=(const Floor&) = delete;

    // `update`, when given, runs first: the floor of a save.
    void Measure(const std::string* update = nullptr) {
        const auto start = std::chrono::steady_clock::now();
        if (update)
            RawRun(db_, *update);
        last_ = RawScan(db_, statement_);
        totalMs_ +=
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        ++rounds_;
        benchmark::DoNotOptimize(last_.bytes);
    }
    void Report(benchmark::State& state, const char* key) const {
        state.counters["floor_ms"] = rounds_ ? totalMs_ / rounds_ : 0.0;
        state.counters["rows"] = static_cast<double>(last_.rows);
        ctx->rows[key] = last_.rows;
    }

private:
    sqlite3* db_;
    std::string statement_;
    RawScanResult last_;
    double totalMs_ = 0;
    int rounds_ = 0;
};

void BM_OpenResult(benchmark::State& state) {
    Floor floor(kAll);
    TSQLiteDatabase db(ctx->dbPath);
    for (auto _ : state) {
        state.PauseTiming();
        floor.Measure();
        state.ResumeTiming();
        std::unique_ptr<TSQLiteTable> table = db.OpenResult(kAll);
        benchmark::DoNotOptimize(table->RowCount());
        table.reset(); // freeing the result is part of every use of it
    }
    floor.Report(state, "all");
}

// Finding the book's likely duplicates; its floor, one scan of the whole book.
void BM_FindDuplicates(benchmark::State& state) {
    Floor floor(kAll);
    TSQLiteDatabase db(ctx->dbPath);
    for (auto _ : state) {
        state.PauseTiming();
        floor.Measure();
        state.ResumeTiming();
        benchmark::DoNotOptimize(FindDuplicates(db).size());
    }
    floor.Report(state, "all");
}

void BM_StartupInProcess(benchmark::State& state) {
    // One window at a time, as in the program.
    ctx->window.form.reset();
    Settle();
    Floor floor(kAll);
    for (auto _ : state) {
        state.PauseTiming();
        floor.Measure();
        state.ResumeTiming();
        PrepareDataFiles();
        auto form = std::make_unique<TCustomersForm>();
        form->show();
        WaitExposed(form.get());
        Drain(); // its first paint
        state.PauseTiming();
        form.reset();
        Settle();
        state.ResumeTiming();
    }
    floor.Report(state, "all");
}

void BM_Refill(benchmark::State& state) {
    Floor floor(kAll);
    Window& w = ctx->window;
    w.Open();
    const int paints = w.listPaints.paints;
    for (auto _ : state) {
        state.PauseTiming();
        floor.Measure();
        state.ResumeTiming();
        w.form->pQueryCustomers();
        w.ShowList();
    }
    floor.Report(state, "all");
    state.counters["paints"] =
        static_cast<double>(w.listPaints.paints - paints) / static_cast<double>(state.iterations());
}

// One keystroke in the search edit with "Last Name" chosen: from `before` to `before + letter`.
void Keystroke(benchmark::State& state, const std::string& before, char letter, const char* key) {
    Floor floor(SearchStatement(before + letter));
    Window& w = ctx->window;
    w.Open();
    w.combo->setCurrentIndex(2);
    w.form->cmboCustSearchChange();
    Settle();
    int paints = 0;
    for (auto _ : state) {
        state.PauseTiming();
        w.search->setText(QString::fromLatin1(before.c_str()));
        Settle();
        floor.Measure();
        const int paintsBefore = w.listPaints.paints;
        state.ResumeTiming();
        w.TypeKey(letter);
        w.ShowList();
        state.PauseTiming();
        paints += w.listPaints.paints - paintsBefore;
        state.ResumeTiming();
    }
    floor.Report(state, key);
    state.counters["paints"] =
        static_cast<double>(paints) / static_cast<double>(state.iterations());
    if (w.search->text() != QString::fromLatin1((before + letter).c_str()) ||
        static_cast<std::uint64_t>(w.list->model()->rowCount()) != ctx->rows[key])
        throw std::runtime_error("the keystroke did not refill the list");
    w.form->pClearCustForm();
    Settle();
}

void BM_Search1(benchmark::State& state) {
    Keystroke(state, "", 'm', "search1");
}
void BM_Search2(benchmark::State& state) {
    Keystroke(state, "m", 'a', "search2");
}

void BM_Load(benchmark::State& state) {
    Floor floor(BuildSelectByIdStatement(ctx->id));
    Window& w = ctx->window;
    w.Open();
    for (auto _ : state) {
        state.PauseTiming();
        w.form->pClearCustForm(); // back to the full list, as Cancel leaves it
        Settle();
        w.SelectRow(ctx->row);
        floor.Measure();
        state.ResumeTiming();
        w.form->lstvCustomers1Click();
        w.ShowEditor();
    }
    floor.Report(state, "load");
    w.form->pClearCustForm();
    Settle();
}

// Its floor: the same UPDATE, then the refill's scan, on a bare connection.
void BM_Save(benchmark::State& state) {
    ContactValues values;
    {
        TSQLiteDatabase db(ctx->dbPath);
        std::unique_ptr<TSQLiteTable> row = db.OpenResult(BuildSelectByIdStatement(ctx->id));
        const auto& columns = SaveOrderColumns();
        for (int i = 0; i < kDataColumns; ++i)
            values[i] = row->TextOrEmptyAt(row->ColumnOf(columns[i]));
    }
    Floor floor(kAll);
    Window& w = ctx->window;
    w.Open();
    int turn = 0;
    int paints = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const char* address = ++turn % 2 ? "742 Evergreen Terrace" : "1313 Mockingbird Lane";
        values[3] = address;
        const std::string update = BuildUpdateStatement(values, ctx->id);
        floor.Measure(&update);
        WaitBusyGone();
        w.SelectRow(ctx->row);
        w.form->lstvCustomers1Click();
        w.address->setText(turn % 2 ? "1313 Mockingbird Lane" : "742 Evergreen Terrace");
        Settle();
        const int paintsBefore = w.listPaints.paints;
        state.ResumeTiming();
        w.form->SaveChangesToCustomers();
        w.ShowList();
        state.PauseTiming();
        paints += w.listPaints.paints - paintsBefore;
        state.ResumeTiming();
    }
    floor.Report(state, "all");
    state.counters["paints"] =
        static_cast<double>(paints) / static_cast<double>(state.iterations());
    WaitBusyGone();
}

// ---- reporting
// ------------------------------------------------------------------------------------

// Passes everything to the console as usual and keeps each benchmark's median and minimum
// (milliseconds of real time) for the driver.
class Collector : public benchmark::ConsoleReporter {
public:
    Collector() : ConsoleReporter(std::getenv("VC_BENCH_COLOR") ? OO_ColorTabular : OO_Tabular) {}
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred)
                continue; // a skipped figure has no time to report
            const std::string& name = run.run_name.function_name;
            const double ms = run.GetAdjustedRealTime();
            if (run.run_type != Run::RT_Aggregate) {
                // A single repetition has no aggregates: its one figure is both.
                if (run.repetitions <= 1) {
                    medians[name] = minima[name] = ms;
                    const auto painted = run.counters.find("paints");
                    if (painted != run.counters.end())
                        paints[name] = painted->second.value;
                    const auto floor = run.counters.find("floor_ms");
                    floorMedians[name] = floorMinima[name] =
                        floor == run.counters.end() ? 0.0 : floor->second.value;
                }
                continue;
            }
            const auto floor = run.counters.find("floor_ms");
            const double floorMs = floor == run.counters.end() ? 0.0 : floor->second.value;
            if (run.aggregate_name == "median") {
                medians[name] = ms;
                floorMedians[name] = floorMs;
                const auto painted = run.counters.find("paints");
                if (painted != run.counters.end())
                    paints[name] = painted->second.value;
            } else if (run.aggregate_name == "min") {
                minima[name] = ms;
                floorMinima[name] = floorMs;
            }
        }
        // The console shows the two figures the summary uses, not every aggregate.
        std::vector<Run> shown;
        for (const Run& run : runs)
            if (run.run_type != Run::RT_Aggregate || run.aggregate_name == "median" ||
                run.aggregate_name == "min")
                shown.push_back(run);
        ConsoleReporter::ReportRuns(shown);
    }
    std::map<std::string, double> medians, minima, floorMedians, floorMinima, paints;
};

} // namespace

int RunSizeChild(int& argc, char** argv, int size, int repetitions) {
    benchmark::Initialize(&argc, argv);
    TApplication app(argc, argv);
    SetEventLoopRunning(false); // a failure is kept, not shown in a box that would wait
    Context context;
    ctx = &context;
    context.size = size;
    context.dbPath = ContactDbPath();

    {
        // The contact the load and save measurements open: the middle row of the full list.
        TSQLiteDatabase db(context.dbPath);
        std::unique_ptr<TSQLiteTable> all = db.OpenResult(kAll);
        context.row = static_cast<int>(all->RowCount() / 2);
        const std::size_t idColumn = all->ColumnOf("dbCustomer_ID");
        for (int r = 0; r < context.row; ++r)
            all->Advance();
        context.id = all->TextOrEmptyAt(idColumn);
    }

    KeepBookForContactFiles(context.dbPath);

    // Expensive set-ups are paused, so the heavy measurements take a fixed number of rounds.
    const int slow = size >= 100000 ? 3 : size >= 10000 ? 5 : 10;
    const int quick = size >= 100000 ? 5 : size >= 10000 ? 20 : 100;
    Register("OpenResult", BM_OpenResult, repetitions, quick);
    Register("refill", BM_Refill, repetitions, quick);
    Register("search1", BM_Search1, repetitions, slow);
    Register("search2", BM_Search2, repetitions, slow);
    Register("load", BM_Load, repetitions, slow);
    Register("save", BM_Save, repetitions, slow);
    Register("startup_inprocess", BM_StartupInProcess, repetitions, slow);
    Register("find_duplicates", BM_FindDuplicates, repetitions, slow);

    Collector collector;
    try {
        benchmark::RunSpecifiedBenchmarks(&collector);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "benchmark failed: %s\n", e.what());
        return 1;
    }
    context.window.form.reset();
    Settle();
    // The peak memory figure is the window's; import and export hold whole files in memory and
    // run after it is read.
    const std::uint64_t windowPeakKb = PeakResidentKb();

    benchmark::ClearRegisteredBenchmarks();
    try {
        RegisterContactFileBenchmarks(size, repetitions, context.rows);
        benchmark::RunSpecifiedBenchmarks(&collector);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "benchmark failed: %s\n", e.what());
        return 1;
    }

    for (const auto& [name, ms] : collector.medians) {
        const auto min = collector.minima.find(name);
        const auto paints = collector.paints.find(name);
        std::printf("@@result %s %.4f %.4f %.4f %.4f %.2f\n", name.c_str(), ms,
                    min == collector.minima.end() ? ms : min->second, collector.floorMedians[name],
                    collector.floorMinima[name],
                    paints == collector.paints.end() ? -1.0 : paints->second);
    }
    for (const auto& [key, count] : context.rows)
        std::printf("@@rows %s %llu\n", key.c_str(), static_cast<unsigned long long>(count));
    std::printf("@@peak_kb %llu\n", static_cast<unsigned long long>(windowPeakKb));
    std::fflush(stdout);
    benchmark::Shutdown();
    return 0;
}
