#pragma once

#include <QCoreApplication>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

// Prints the runs as usual and keeps each benchmark's rate (items or bytes
// per second), so that two ways of doing the same work can be compared in
// one run: Ratio("bulk throughput", "BM_Bulk_Engine", "BM_Bulk_Posix", ...).
class RatioReporter final : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const auto& run : runs) {
            if (run.run_type != Run::RT_Iteration) continue;
            for (const char* counter : {"items_per_second", "bytes_per_second"}) {
                const auto it = run.counters.find(counter);
                if (it != run.counters.end()) rates_[run.benchmark_name()] = it->second.value;
            }
        }
    }

    // One line: both rates times `scale`, and the first over the second.
    void Ratio(const char* what, const std::string& ours, const std::string& plain, double scale, const char* unit,
               const char* oursName = "ours", const char* plainName = "plain") const {
        const auto o = Find(ours);
        const auto p = Find(plain);
        if (o < 0 || p <= 0) return;
        Compare(what, oursName, o * scale, plainName, p * scale, unit);
    }
    // The same line for two figures measured otherwise (such as times).
    static void Compare(const char* what, const char* firstName, double first, const char* secondName, double second,
                        const char* unit) {
        std::printf("%-28s %s %12.1f%s  %s %12.1f%s  ratio %s/%s %.3f\n", what, firstName, first, unit, secondName,
                    second, unit, firstName, secondName, second > 0 ? first / second : 0.0);
    }

private:
    // A benchmark's rate by its name, with or without the suffix the
    // reporter adds (such as "/real_time"); -1 when it did not run.
    double Find(const std::string& name) const {
        for (const auto& [key, rate] : rates_) {
            if (key == name || key.rfind(name + "/", 0) == 0) return rate;
        }
        return -1;
    }

    std::map<std::string, double> rates_;
};

// The main() of a benchmark that sets two ways side by side: runs the
// benchmarks (sockets need a Qt application object), then lets `compare`
// print its Ratio lines and anything else it reports.
template <class Compare>
int RunAndCompare(int argc, char** argv, Compare compare) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    compare(reporter);
    benchmark::Shutdown();
    return 0;
}
