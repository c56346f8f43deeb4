// The PostgreSQL archive against a server of its own (PostgreSQL 15, started as the tests start
// it, but syncing its writes as a server in use does): a year of hourly measurements of 63 sensors
// (553,392 values) read from its monthly data files and pushed in one transaction, then pushed
// again (every row already there), and the night's "new" copy of 10 loggers: each one's open
// monthly file queued in its outbox and pushed.
//
//   archive_bench [--sensors N] [--loggers N]
//
// Prints the seconds of each step and the rows sent and new.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "archive/Archive.h"
#include "archive/Outbox.h"
#include "protocol/DateTime.h"
#include "store/ValueLines.h"
#include "tests/support/HourlyMonths.h"
#include "tests/support/PgServer.h"

namespace fs = std::filesystem;
using namespace qm;

namespace {

double Since(std::chrono::steady_clock::time_point t) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
}

// A year from 1 Jan 2024, hourly, in monthly files as a logger writes them.
std::size_t WriteYear(const fs::path& folder, std::size_t sensors, unsigned seed) {
    constexpr std::size_t kHours = 366 * 24;
    test::WriteHourlyMonths(
        folder, *DateTime::FromDate(2024, 1, 1), kHours, sensors, [sensors, seed](std::size_t h) {
            std::vector<std::int32_t> block;
            for (std::size_t s = 0; s < sensors; ++s)
                block.push_back(static_cast<std::int32_t>((h * 7 + s * 13 + seed) % 4000) - 2000);
            return block;
        });
    return kHours * sensors;
}

}  // namespace

int main(int argc, char* argv[]) {
    std::size_t sensors = 63;
    std::size_t loggers = 10;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--sensors")) sensors = std::strtoul(argv[i + 1], nullptr, 10);
        if (!std::strcmp(argv[i], "--loggers")) loggers = std::strtoul(argv[i + 1], nullptr, 10);
    }
    test::PgServer server(true);
    if (!server.Available()) {
        std::printf("archive_bench: no server: %s\n", server.Why().c_str());
        return 1;
    }
    const fs::path root = fs::temp_directory_path() / "qmc-archive-bench";
    fs::remove_all(root);
    const std::size_t values = WriteYear(root / "year" / "2024", sensors, 0);

    Archive archive;
    if (const auto e = archive.Connect({server.Url(), std::nullopt, "bench"})) {
        std::printf("archive_bench: %s\n", e->c_str());
        return 1;
    }
    auto t = std::chrono::steady_clock::now();
    ArchiveRows rows;
    AddDataSet(root / "year" / "2024", "year", "2024", rows);
    const double read = Since(t);
    t = std::chrono::steady_clock::now();
    PushCount first;
    if (const auto e = archive.Push(rows, first)) std::printf("push failed: %s\n", e->c_str());
    const double pushed = Since(t);
    t = std::chrono::steady_clock::now();
    PushCount again;
    if (const auto e = archive.Push(rows, again)) std::printf("push failed: %s\n", e->c_str());
    const double pushedAgain = Since(t);
    std::printf("a year of %zu sensors hourly: %zu values in the files\n", sensors, values);
    std::printf("  read from the files         %6.2f s (%zu rows)\n", read, rows.measurementCount);
    std::printf("  pushed                      %6.2f s (%lld sent, %lld new)\n", pushed,
                static_cast<long long>(first.sent), static_cast<long long>(first.added));
    std::printf("  read and pushed             %6.2f s (goal 5 s)\n", read + pushed);
    std::printf("  pushed again                %6.2f s (%lld sent, %lld new)\n", pushedAgain,
                static_cast<long long>(again.sent), static_cast<long long>(again.added));

    // The night's copy: each logger's open month (December) rewritten, queued and pushed.
    std::vector<fs::path> sets;
    for (std::size_t l = 0; l < loggers; ++l) {
        sets.push_back(root / ("logger-" + std::to_string(l)) / "2024");
        WriteYear(sets.back(), sensors, static_cast<unsigned>(l + 1));
    }
    t = std::chrono::steady_clock::now();
    std::int64_t sent = 0;
    for (std::size_t l = 0; l < loggers; ++l) {
        ArchiveRows night;
        // The copy rewrote the open month: its file changed since the picture before the copy.
        const DataFilesPicture before = DataFilesPicture::Of({sets[l]});
        const fs::path open = sets[l] / MonthFileName(2024, 12);
        fs::last_write_time(open, fs::last_write_time(open) + std::chrono::seconds(1));
        AddDataSet(sets[l], "logger-" + std::to_string(l), "2024", night, &before);
        QueueInOutbox(sets[l], night);
        const OutboxPush push = PushOutbox(archive, sets[l]);
        if (push.error) std::printf("push failed: %s\n", push.error->c_str());
        sent += push.pushed;
    }
    const double night = Since(t);
    std::printf(
        "the night's copy of %zu loggers (their open month queued and pushed): %.2f s, "
        "%.3f s per logger (%lld rows; goal 1 s per logger)\n",
        loggers, night, night / static_cast<double>(loggers), static_cast<long long>(sent));
    fs::remove_all(root);
    return 0;
}
