// 打印 and 输出 at scale: the PDF of 4,000 and 8,000 entry rows (85 columns, the
// pages as printed) and the XLSX of 100,000 and 200,000 summary lines. Beside each
// stands the floor measured in the same run: the same cells written as plain CSV
// text, and the ratio to it.
//
//   qc_bench --benchmark_filter=Output

#include "BenchFigures.h"
#include "platform/GridExport.h"
#include "shared/ui/GridPrinter.h"

#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QTemporaryDir>

namespace {

using namespace qc;

// A grid like an entry window's (codes, names, numbers) or a summary's.
ExportGrid sampleGrid(int rows, int columns) {
    ExportGrid g;
    g.title = QStringLiteral("期初余额");
    for (int c = 0; c < columns; ++c)
        g.columns << ExportColumn{QStringLiteral("第%1列").arg(c + 1), c % 3 == 2, c % 5 == 0 ? 1400 : 1000};
    for (int r = 0; r < rows; ++r) {
        QStringList row;
        row.reserve(columns);
        for (int c = 0; c < columns; ++c)
            row << (c % 3 == 2 ? QString::number(r * 7.25 + c, 'f', 2)
                               : QStringLiteral("存货%1-%2").arg(r).arg(c));
        g.rows << row;
    }
    return g;
}

double floorSeconds(const ExportGrid& g, const QString& path) {
    QElapsedTimer t;
    t.start();
    writeCsv(g, path);
    return t.nsecsElapsed() / 1e9;
}

void BM_OutputPdf(benchmark::State& state, int rows) {
    const ExportGrid g = sampleGrid(rows, 85);
    QTemporaryDir dir;
    const GridPrinter pages(g, {QStringLiteral("仓库：电子料库(02)")}, {QStringLiteral("单位：华信")});
    double total = 0, floorTotal = 0;
    for (auto _ : state) {
        state.PauseTiming();
        floorTotal += floorSeconds(g, dir.filePath(QStringLiteral("floor.csv")));
        state.ResumeTiming();
        QElapsedTimer t;
        t.start();
        pages.writePdf(dir.filePath(QStringLiteral("out.pdf")));
        const double s = t.nsecsElapsed() / 1e9;
        state.SetIterationTime(s);
        total += s;
    }
    const double n = state.iterations() ? double(state.iterations()) : 1;
    state.counters["rows"] = rows;
    state.counters["pdf_s"] = total / n;
    state.counters["floor_s"] = floorTotal / n;
    state.counters["ratio"] = floorTotal > 0 ? total / floorTotal : 0;
    if (const auto half = bench::recordFigure(QStringLiteral("pdf"), rows, total / n, rows / 2))
        state.counters["vs_half"] = total / n / *half;
}

void BM_OutputXlsx(benchmark::State& state, int rows) {
    const ExportGrid g = sampleGrid(rows, 16);
    QTemporaryDir dir;
    double total = 0, floorTotal = 0;
    for (auto _ : state) {
        state.PauseTiming();
        floorTotal += floorSeconds(g, dir.filePath(QStringLiteral("floor.csv")));
        state.ResumeTiming();
        QElapsedTimer t;
        t.start();
        writeXlsx(g, dir.filePath(QStringLiteral("out.xlsx")));
        const double s = t.nsecsElapsed() / 1e9;
        state.SetIterationTime(s);
        total += s;
    }
    const double n = state.iterations() ? double(state.iterations()) : 1;
    state.counters["rows"] = rows;
    state.counters["xlsx_s"] = total / n;
    state.counters["floor_s"] = floorTotal / n;
    state.counters["ratio"] = floorTotal > 0 ? total / floorTotal : 0;
    if (const auto half = bench::recordFigure(QStringLiteral("xlsx"), rows, total / n, rows / 2))
        state.counters["vs_half"] = total / n / *half;
}

const bool registered = [] {
    for (const int rows : {4000, 8000})
        benchmark::RegisterBenchmark(QStringLiteral("Output/Pdf/%1").arg(rows).toStdString().c_str(),
                                     BM_OutputPdf, rows)
            ->UseManualTime()
            ->Iterations(2)
            ->Unit(benchmark::kMillisecond);
    for (const int rows : {100000, 200000})
        benchmark::RegisterBenchmark(QStringLiteral("Output/Xlsx/%1").arg(rows).toStdString().c_str(),
                                     BM_OutputXlsx, rows)
            ->UseManualTime()
            ->Iterations(2)
            ->Unit(benchmark::kMillisecond);
    return true;
}();

}  // namespace

// The program's main is bench/main.cpp.
