// The entry window's memory: a process of its own logs the demo operator in to
// a generated account whose warehouse holds 10 or 4,000 opening rows, opens the
// entry window, loads the warehouse into it, shows and paints it, and reports
// its peak resident memory and the part of it the window added. The 4,000-row
// window is held to twice the 10-row one plus 30 MB.
//
//   qc_bench --benchmark_filter=EntryWindowMemory

#include "BenchAccount.h"
#include "BenchFigures.h"
#include "WindowMemory.h"
#include "opening/OpeningEntry.h"
#include "opening/ui/FrmQcInput.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPixmap>
#include <QRegularExpression>

#include <cstdio>

namespace qc::bench {

namespace {

const char* const kChildVariable = "QC_BENCH_WINDOW_CHILD";

// The current resident memory of this process (VmRSS), in MB.
double residentMB() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return 0;
}

}  // namespace

std::optional<int> runWindowMemoryChild() {
    const QString connection = qEnvironmentVariable(kChildVariable);
    if (connection.isEmpty()) return std::nullopt;
    QTemporaryDir dir;
    qputenv("QC_SETTINGS_FILE", dir.filePath(QStringLiteral("machine.ini")).toLocal8Bit());
    QString err;
    std::unique_ptr<VqLogin> login = demoLogin(connection, &err);
    if (!login) {
        std::fprintf(stderr, "%s\n", qPrintable(err));
        return 1;
    }
    LoginContext ctx;
    RecordingSink sink;
    NoPickers pickers;
    ctx.scratchFolder = dir.path();
    ctx.sink = &sink;
    openContext(ctx, *login, false, ConnectionMode::Reconnect);
    const double before = residentMB();
    int rows = 0;
    {
        opening::FrmQcInput window(ctx, pickers);
        ctx.sink = &sink;
        window.resize(1400, 800);
        window.show();
        QApplication::processEvents();
        const QString code =
            ctx.gDb->Connection().scalar(QStringLiteral("SELECT MIN(cWhCode) FROM Warehouse")).toString();
        for (const QString& item : window.entry().warehouseItems())
            if (item.left(15).trimmed() == code) window.entry().WarehouseClick(item);
        QApplication::processEvents();
        const QPixmap painted = window.grab();
        rows = window.entry().grid().dataRowCount();
        std::printf("rows=%d before=%.2f peak=%.2f width=%d\n", rows, before, peakMemoryMB(),
                    painted.width());
    }
    closeContext(ctx);
    return rows > 0 ? 0 : 2;
}

namespace {

void BM_EntryWindowMemory(benchmark::State& state) {
    const int rows = static_cast<int>(state.range(0));
    demo::ScaleOptions o = openingsAccount(rows);
    o.warehouses = 1;
    BenchAccount account(false, QStringLiteral("window_%1").arg(rows), o);
    double peak = 0, window = 0;
    int shown = 0;
    for (auto _ : state) {
        qputenv(kChildVariable, account.connectionString().toLocal8Bit());
        const ChildRun r = runChild(QCoreApplication::applicationFilePath(), {});
        qunsetenv(kChildVariable);
        const QStringList fields = r.output.split(QRegularExpression(QStringLiteral("\\s+")));
        const auto value = [&fields](const QString& name) {
            for (const QString& f : fields)
                if (f.startsWith(name + u'=')) return f.mid(name.size() + 1).toDouble();
            return 0.0;
        };
        if (r.exitCode != 0 || value(QStringLiteral("rows")) <= 0) {
            state.SkipWithError(("the window's process: " + r.output).toStdString().c_str());
            return;
        }
        shown = int(value(QStringLiteral("rows")));
        peak = value(QStringLiteral("peak"));
        window = peak - value(QStringLiteral("before"));
    }
    state.counters["rows"] = shown;
    state.counters["window_peak_MB"] = peak;
    state.counters["window_share_MB"] = window;
    if (const auto small = recordFigure(QStringLiteral("entry-window"), rows, peak, 10)) {
        state.counters["limit_MB"] = 2 * *small + 30;
        state.counters["vs_10_rows"] = peak / *small;
    }
}

const bool registered = [] {
    benchmark::RegisterBenchmark("EntryWindowMemory/sqlite", BM_EntryWindowMemory)
        ->Arg(10)
        ->Arg(4000)
        ->Iterations(1)
        ->Unit(benchmark::kSecond);
    return true;
}();

}  // namespace

}  // namespace qc::bench
