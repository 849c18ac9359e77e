// Start-up time, redraw time and peak memory of the main window.
//
//   bench_window            runs itself 21 times as a child and prints the figures
//   bench_window --child    one start: shows the window, prints "shown", then measures
//
// Run it with QT_QPA_PLATFORM=offscreen for figures that compare across machines.

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QWindow>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "app/brevaneapp.h"
#include "bench/procinfo.h"
#include "platform/seams.h"

namespace {

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Nanoseconds of each of `runs` redraws, after `change` prepares the table for each.
template <typename Change>
std::vector<double> timeRedraws(BrevaneApp& app, int runs, Change change) {
    std::vector<double> ns;
    ns.reserve(runs);
    QElapsedTimer timer;
    for (int run = 0; run < runs; ++run) {
        change(run);
        timer.start();
        app.window().ShowCnf();
        ns.push_back(static_cast<double>(timer.nsecsElapsed()));
    }
    return ns;
}

int child(int argc, char* argv[]) {
    QApplication application(argc, argv);
    BrevaneApp app(Seams::system());
    app.window().show();
    // Shown means exposed and painted: the platform delivers the expose event, and the
    // widgets paint inside it.
    QElapsedTimer waited;
    waited.start();
    while (!app.window().windowHandle()->isExposed()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        if (waited.elapsed() > 10000) {
            return 1;
        }
    }
    std::printf("shown\n");
    std::fflush(stdout);

    ModBrevane& mod = app.mod();
    // A typical edit: one link switched, then the whole table redrawn.
    const auto edit = timeRedraws(app, 4000, [&](int run) {
        const int slot = run % LinkSlots;
        mod.field(slot, OEnabled) ^= 1U;
    });
    // The worst case: every row's captions and colours change (as after Open or Upload).
    CnfTable a{};
    CnfTable b{};
    for (int slot = 0; slot < LinkSlots; ++slot) {
        for (int f = 0; f <= IRef; ++f) {
            b[cnfOffset(slot, f)] = static_cast<std::uint8_t>(f == OType ? 2 : slot + f + 1);
        }
    }
    const auto all = timeRedraws(app, 2000, [&](int run) { mod.Cnf = (run % 2 != 0) ? a : b; });

    std::printf("redraw_edit_ms %.4f\nredraw_all_ms %.4f\npeak_rss_mb %.1f\n", median(edit) / 1e6,
                median(all) / 1e6, static_cast<double>(peakMemoryBytes()) / (1024.0 * 1024.0));
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc > 1 && qstrcmp(argv[1], "--child") == 0) {
        return child(argc, argv);
    }
    QCoreApplication application(argc, argv);
    QTemporaryDir home; // the window creates its working folders; keep them out of the user's
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home.path());
    if (!env.contains(QStringLiteral("QT_QPA_PLATFORM"))) {
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    }

    constexpr int Starts = 21;
    std::vector<double> shownMs;
    std::vector<double> editMs;
    std::vector<double> allMs;
    std::vector<double> rssMb;
    for (int run = 0; run < Starts; ++run) {
        QProcess proc;
        proc.setProcessEnvironment(env);
        QElapsedTimer timer;
        timer.start();
        proc.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--child")});
        if (!proc.waitForReadyRead(10000) || !proc.readLine().startsWith("shown")) {
            std::fprintf(stderr, "child did not show its window\n");
            return 1;
        }
        shownMs.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        proc.waitForFinished(60000);
        for (const QByteArray& line : proc.readAllStandardOutput().split('\n')) {
            const QList<QByteArray> parts = line.split(' ');
            if (parts.size() != 2) {
                continue;
            }
            const double value = parts[1].toDouble();
            if (parts[0] == "redraw_edit_ms") {
                editMs.push_back(value);
            } else if (parts[0] == "redraw_all_ms") {
                allMs.push_back(value);
            } else if (parts[0] == "peak_rss_mb") {
                rssMb.push_back(value);
            }
        }
    }
    if (editMs.empty() || allMs.empty() || rssMb.empty()) {
        std::fprintf(stderr, "child printed no figures\n");
        return 1;
    }
    std::printf("%-36s %10s  %s\n", "figure", "value", "target");
    std::printf("%-36s %8.1f ms  <= 60 ms\n", "start to window shown (median of 21)",
                median(shownMs));
    std::printf("%-36s %8.3f ms  <= 0.5 ms\n", "ShowCnf after one edit (median)", median(editMs));
    std::printf("%-36s %8.3f ms  (every row changes)\n", "ShowCnf, all rows new (median)",
                median(allMs));
    std::printf("%-36s %8.1f MB  < 40 MB\n", "peak memory (max of runs)",
                *std::max_element(rssMb.begin(), rssMb.end()));
    return 0;
}
