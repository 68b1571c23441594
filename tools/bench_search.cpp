// trovander-bench search [--entries N] [--tree DIR] [--pattern P]... [--runs K]
// Times searches from Enter in the search box to the painted results window, through the windows the program
// shows, over an index of a generated tree; beside them plocate -i (basename) and find -iname on that tree.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "WindowSet.h"
#include "bench.h"
#include "bench_tree.h"
#include "frmMain.h"
#include "frmResult.h"
#include "platform/ProgramEnd.h"
#include "results/ResultsModel.h"
#include "search/Search.h"
#include "store/IndexStore.h"

namespace {

using Clock = std::chrono::steady_clock;

struct SearchOptions {
    uint64_t entries = 1000000;
    std::string treeDir;
    std::vector<std::string> patterns;
    int runs = 5;
};

SearchOptions parse(int argc, char** argv) {
    SearchOptions o;
    for (int i = 0; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--entries" && i + 1 < argc)
            o.entries = std::strtoull(argv[++i], nullptr, 10);
        else if (a == "--tree" && i + 1 < argc)
            o.treeDir = argv[++i];
        else if (a == "--pattern" && i + 1 < argc)
            o.patterns.emplace_back(argv[++i]);
        else if (a == "--runs" && i + 1 < argc)
            o.runs = std::max(1, std::atoi(argv[++i]));
    }
    return o;
}

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Runs argv without a shell and counts the NUL-terminated records it prints; -1 seconds when it failed.
struct Counted {
    double seconds = -1;
    long long records = 0;
};
Counted runCounting(const std::vector<std::string>& argv) {
    int out[2];
    if (::pipe(out) != 0) return {};
    const auto start = Clock::now();
    const pid_t pid = ::fork();
    if (pid < 0) return {};
    if (pid == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(out[1], 1);
        ::dup2(null, 2);
        ::close(out[0]);
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    ::close(out[1]);
    Counted c;
    char buffer[1 << 16];
    for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;)
        c.records += std::count(buffer, buffer + n, '\0');
    ::close(out[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    // plocate exits 1 when nothing matched; that is still an answer.
    if (!WIFEXITED(status) || WEXITSTATUS(status) > 1) return {};
    c.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return c;
}

// The search text as a glob over the whole name for find and plocate: "*", blank and "?" stand for any run.
std::string globOf(const std::string& text) {
    std::string glob = "*";
    for (char ch : text) glob += (ch == ' ' || ch == '?') ? '*' : ch;
    if (glob.back() != '*') glob += '*';
    return glob;
}

// Peak resident memory since the last reset, in MiB (VmHWM).
double peakResidentMb() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmHWM:", 0) == 0) return std::strtod(line.c_str() + 6, nullptr) / 1024.0;
    }
    return trovander::bench::peakRssMb();
}
void resetPeakResident() { std::ofstream("/proc/self/clear_refs") << "5"; }

std::string toolsDir() {
    std::error_code ec;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string("tools") : self.parent_path().string();
}

// The longest time the window thread went without running its event loop, from start() on: a timer that
// asks to run every millisecond notes the largest gap between two of its runs.
class BlockWatch {
  public:
    BlockWatch() {
        timer_.setInterval(1);
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, [this] { tick(); });
    }
    void start() {
        last_ = Clock::now();
        timer_.start();
    }
    void stop() {
        tick();
        timer_.stop();
    }
    double maxBlockMs() const { return maxMs_; }

  private:
    void tick() {
        const auto now = Clock::now();
        maxMs_ = std::max(maxMs_, std::chrono::duration<double, std::milli>(now - last_).count());
        last_ = now;
    }
    QTimer timer_;
    Clock::time_point last_;
    double maxMs_ = 0;
};

// One start of the program's windows over a freshly opened index: the page cache of the engine is empty.
class Session {
  public:
    // watch, when given, starts once the index is open: the program opens it before it has any window.
    Session(const std::string& dbPath, bool idleWarmUp, BlockWatch* watch = nullptr) {
        store_ = trovander::IndexStore::open(dbPath);
        if (watch) watch->start();
        // The warm-up the search window schedules takes the store it finds when it is made.
        services_.end = &end_;
        services_.store = idleWarmUp ? store_.get() : nullptr;
        windows_ = std::make_unique<trovander::Windows>(services_);
        windows_->main().show();
        services_.store = store_.get();
        const auto start = Clock::now();
        // The warm-up reads the index a slice at a time from the event loop: let it get through.
        do {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        } while (!windows_->main().indexWarm() && msSince(start) < 30000);
        idleMs_ = msSince(start);
    }
    double idleMs() const { return idleMs_; }
    // Statement 6 alone, read to its end, without the look-ups and the windows. Milliseconds.
    double statementOnly(const std::string& text) {
        const auto start = Clock::now();
        trovander::ResultRows rows;
        trovander::readSearch(store_.get(), trovander::namePattern(text), rows);
        return msSince(start);
    }
    double namesMb() const { return static_cast<double>(store_->namesBytes()) / (1024.0 * 1024.0); }

    // A click on the "File Name" header of the results list, to the list laid out again. Milliseconds.
    double sortByName() {
        const auto start = Clock::now();
        windows_->result().lstResult_ColumnClick(1);
        QCoreApplication::processEvents();
        return msSince(start);
    }

    // Enter in the search box to the painted results window. Returns milliseconds; hits gets the count.
    double search(const std::string& text, long long* hits) {
        trovander::frmMain& main = windows_->main();
        trovander::frmResult& result = windows_->result();
        if (result.isVisible()) result.cmdNewSearch_Click();
        main.txtSearch->setText(QString::fromStdString(text));
        QCoreApplication::processEvents();
        const auto start = Clock::now();
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier);
        QCoreApplication::sendEvent(main.txtSearch, &press);
        QCoreApplication::sendEvent(main.txtSearch, &release);
        QCoreApplication::processEvents();  // the results window lays out and paints
        const double ms = msSince(start);
        if (hits) *hits = result.results().count();
        return ms;
    }

  private:
    std::unique_ptr<trovander::IndexStore> store_;
    trovander::ProgramEnd end_;  // nothing here ends the program; it is there for the windows that could
    trovander::Services services_;
    std::unique_ptr<trovander::Windows> windows_;
    double idleMs_ = 0;
};

struct PatternResult {
    std::string text;
    long long hits = 0;
    double ms = -1;
    double plocateMs = -1, findMs = -1;
    long long plocateHits = -1, findHits = -1;
};

}  // namespace

int runSearchBench(int argc, char** argv) {
    using namespace trovander;
    namespace fs = std::filesystem;
    const SearchOptions o = parse(argc, argv);

    const bench::TreeInfo tree = bench::obtainTree(o.treeDir, o.entries);

    const fs::path work =
        fs::temp_directory_path() / ("trovander-bench-search-" + std::to_string(::getpid()));
    fs::create_directories(work);
    const std::string dbPath = (work / "Main.mdb").string();
    IndexStore::createEmpty(dbPath);
    // The index is built by the program's own walk in a process of its own, so this one's peak memory is the
    // searches' alone.
    std::fprintf(stderr, "indexing %s ...\n", tree.root.c_str());
    const auto indexStart = Clock::now();
    if (bench::timeCommand({toolsDir() + "/trovander-index", dbPath, tree.root}) < 0) {
        std::fprintf(stderr, "trovander-bench: trovander-index failed on %s\n", tree.root.c_str());
        fs::remove_all(work);
        return 1;
    }
    std::fprintf(stderr, "indexed in %.1f s\n", msSince(indexStart) / 1000);

    const bool havePlocate = bench::haveProgram("plocate") && bench::haveProgram("updatedb");
    const std::string plocateDb = (work / "plocate.db").string();
    if (havePlocate) {
        bench::timeCommand({"updatedb", "-U", tree.root, "-o", plocateDb, "--prunepaths", "", "--prunefs", "",
                            "--prunenames", "", "-l", "no"});
    }

    std::vector<PatternResult> results;
    auto addPattern = [&](const std::string& text) {
        PatternResult r;
        r.text = text;
        results.push_back(r);
    };
    addPattern(bench::kSelectiveWord);
    addPattern(bench::kBroadWord);
    for (const std::string& p : o.patterns) addPattern(p);
    addPattern("");
    const size_t selective = 0, broad = 1, empty = results.size() - 1;

    // First search after start-up: without and with the warm-up the search window runs in idle time.
    std::vector<double> cold, first, idle;
    for (int run = 0; run < o.runs; ++run) {
        cold.push_back(Session(dbPath, /*idleWarmUp=*/false).search(bench::kSelectiveWord, nullptr));
        Session s(dbPath, /*idleWarmUp=*/true);
        idle.push_back(s.idleMs());
        first.push_back(s.search(bench::kSelectiveWord, nullptr));
        std::fprintf(stderr, "start %d: cold first %.0f ms, idle warm-up %.0f ms, first %.1f ms\n", run + 1,
                     cold.back(), idle.back(), first.back());
    }

    // The window thread's longest block from the open index to the search window shown and warmed, and over
    // the empty searches below.
    BlockWatch startBlock;
    Session session(dbPath, /*idleWarmUp=*/true, &startBlock);
    for (int spin = 0; spin < 50; ++spin) QCoreApplication::processEvents();
    startBlock.stop();
    double emptyBlockMs = 0;
    double emptyPeakMb = 0, runPeakMb = 0;
    for (size_t i = 0; i < results.size(); ++i) {
        PatternResult& r = results[i];
        if (i == empty) {
            runPeakMb = peakResidentMb();
            resetPeakResident();
        }
        std::vector<double> times;
        BlockWatch block;
        if (i == empty) block.start();
        for (int run = 0; run < o.runs; ++run) times.push_back(session.search(r.text, &r.hits));
        if (i == empty) block.stop(), emptyBlockMs = block.maxBlockMs();
        if (i == empty) emptyPeakMb = peakResidentMb();
        r.ms = bench::median(times);
        std::fprintf(stderr, "trovander \"%s\": %lld hits, median %.1f ms\n", r.text.c_str(), r.hits, r.ms);

        std::vector<double> plocate, find;
        for (int run = 0; run < o.runs; ++run) {
            if (havePlocate) {
                // -b: the name alone, as the index matches; a glob when the text has wildcards or is empty.
                const bool plain = !r.text.empty() && r.text.find_first_of(" *?") == std::string::npos;
                const Counted c = runCounting(
                    {"plocate", "-i", "-b", "-0", "-d", plocateDb, plain ? r.text : globOf(r.text)});
                if (c.seconds >= 0) plocate.push_back(c.seconds * 1000), r.plocateHits = c.records;
            }
            const Counted c =
                runCounting({"find", tree.root, "-mindepth", "1", "-iname", globOf(r.text), "-print0"});
            if (c.seconds >= 0) find.push_back(c.seconds * 1000), r.findHits = c.records;
        }
        r.plocateMs = bench::median(plocate);
        r.findMs = bench::median(find);
    }

    // A header click on the name column over the empty search's rows, until the list has laid out again.
    const double sortMs = session.sortByName();
    std::vector<double> statementSelective, statementBroad;
    for (int run = 0; run < o.runs; ++run) {
        statementSelective.push_back(session.statementOnly(bench::kSelectiveWord));
        statementBroad.push_back(session.statementOnly(bench::kBroadWord));
    }

    std::printf("tree %s: %llu entries; %d runs each, medians\n", tree.root.c_str(),
                static_cast<unsigned long long>(tree.entries), o.runs);
    std::printf("first search after start-up: %.1f ms after the idle warm-up (%.0f ms), %.0f ms without it\n",
                bench::median(first), bench::median(idle), bench::median(cold));
    for (const PatternResult& r : results) {
        std::printf("hits\t%s\t%lld\n", r.text.c_str(), r.hits);
        std::printf("  trovander %.1f ms", r.ms);
        if (r.plocateMs >= 0)
            std::printf(" | plocate -i %.1f ms, %lld hits, ratio %.2f", r.plocateMs, r.plocateHits,
                        r.ms / r.plocateMs);
        else
            std::printf(" | plocate not installed");
        if (r.findMs >= 0)
            std::printf(" | find -iname %.1f ms, %lld hits, ratio %.2f", r.findMs, r.findHits,
                        r.ms / r.findMs);
        std::printf("\n");
    }
    std::printf("peak resident memory: %.0f MiB during the empty searches, %.0f MiB for the whole run\n",
                emptyPeakMb, std::max(runPeakMb, emptyPeakMb));
    std::printf("statement 6 alone, read to its end: %.1f ms selective, %.1f ms broad\n",
                bench::median(statementSelective), bench::median(statementBroad));
    const double arenaMb = session.namesMb();
    std::printf("names in memory: %.1f MiB, %.1f bytes per entry\n", arenaMb,
                arenaMb * 1024 * 1024 / static_cast<double>(std::max<uint64_t>(1, tree.entries)));
    const double maxBlockMs = std::max(startBlock.maxBlockMs(), emptyBlockMs);
    std::printf("window thread: longest block %.0f ms at start-up, %.0f ms over the empty searches\n",
                startBlock.maxBlockMs(), emptyBlockMs);
    auto plocateField = [](const PatternResult& r) {
        char text[32] = "na";
        if (r.plocateMs >= 0) std::snprintf(text, sizeof text, "%.1f", r.plocateMs);
        return std::string(text);
    };
    std::printf(
        "search selective_ms=%.1f first_ms=%.1f broad_ms=%.1f empty_ms=%.1f empty_peak_mb=%.0f arena_mb=%.1f "
        "sort_ms=%.0f max_block_ms=%.0f plocate_selective_ms=%s plocate_broad_ms=%s\n",
        results[selective].ms, bench::median(first), results[broad].ms, results[empty].ms, emptyPeakMb,
        arenaMb, sortMs, maxBlockMs, plocateField(results[selective]).c_str(),
        plocateField(results[broad]).c_str());
    fs::remove_all(work);
    return 0;
}
