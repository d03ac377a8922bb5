// kova_bench: reading and writing vObject files, side by side with a plain getc_unlocked
// line scan of the same file and with two peers (libical's vcc parser, Python vobject),
// and the checksums that pin what the readers and writers do.
//
//   kova_bench [--sizes 10000,100000] [--runs 5] [--md FILE] [--svg FILE]
//   kova_bench --verify [--sizes 10000] [--expect bench/checksums.txt] [--record FILE]
//
// Every measurement runs in a fresh process (this program again, with --child), so the
// peak resident memory it reports belongs to that one case; the runs of all cases are
// interleaved, so that a burst of load elsewhere on the machine spreads over all of them.
#include <arpa/inet.h>
#include <fcntl.h>
#include <limits.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "base/utf16.h"
#include "generator.h"
#include "kova/kova.h"
#include "libical_peer.h"
#include "record_hash.h"
#include "report.h"

namespace kova::bench {
namespace {

namespace fs = std::filesystem;

constexpr uint64_t kSeed = 20240601;
constexpr const char *kPython = "/usr/bin/python3";

double clock_seconds(clockid_t clock)
{
    timespec t;
    clock_gettime(clock, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

double now() { return clock_seconds(CLOCK_MONOTONIC); }

// The process's own CPU time: on a machine shared with other work it moves far less than
// the wall clock.
double cpu_now() { return clock_seconds(CLOCK_PROCESS_CPUTIME_ID); }

std::u16string wide(const std::string &path) { return base::utf8_to_utf16(path); }

long file_size(const std::string &path)
{
    struct stat s;
    return stat(path.c_str(), &s) == 0 ? static_cast<long>(s.st_size) : 0;
}

std::string code_text(uint32_t code)
{
    return std::to_string(code) + ": " + base::utf16_to_utf8(KOVA_CodeToString(code));
}

constexpr std::pair<Case, const char *> kCaseSlugs[] = {
    {Case::Scan, "scan"},       {Case::Read, "read"},       {Case::Write, "write"},
    {Case::Store, "store"},     {Case::Libical, "libical"}, {Case::Vobject, "vobject"}};

const char *case_slug(Case c)
{
    for (const auto &[k, slug] : kCaseSlugs)
        if (k == c) return slug;
    return "";
}

bool case_from_slug(const std::string &slug, Case &c)
{
    for (const auto &[k, text] : kCaseSlugs)
        if (slug == text) {
            c = k;
            return true;
        }
    return false;
}

// ---- the cases, each run in a child process that prints one result line ----

void print_result(const Run &r)
{
    std::printf("seconds=%.9f cpu_seconds=%.9f objects=%.0f out_bytes=%.0f "
                "export_seconds=%.9f exported=%.0f floor_seconds=%.9f",
                r.seconds, r.cpu_seconds, r.objects, r.out_bytes, r.export_seconds, r.exported,
                r.floor_seconds);
    if (!r.error.empty()) std::printf(" error=%s", r.error.c_str());
    std::printf("\n");
}

// The limit the readers are measured against: every byte through getc_unlocked, as
// they take it, and nothing else.
Run line_scan(const std::string &path)
{
    Run r;
    double start = now(), cpu_start = cpu_now();
    std::FILE *f = std::fopen(path.c_str(), "rb");
    if (!f) {
        r.error = "cannot open " + path;
        return r;
    }
    long lines = 0;
    for (int c; (c = getc_unlocked(f)) != EOF;)
        if (c == '\n') ++lines;
    std::fclose(f);
    r.seconds = now() - start;
    r.cpu_seconds = cpu_now() - cpu_start;
    r.objects = static_cast<double>(lines);
    return r;
}

void count_object(uint32_t, ObjectRecord *, uint32_t, void *context)
{
    ++*static_cast<long *>(context);
}

Run read_case(const std::string &path)
{
    Run r;
    long objects = 0;
    std::u16string name = wide(path);
    double start = now(), cpu_start = cpu_now();
    uint32_t rc = KOVA_ReadObjects(name.c_str(), count_object, &objects);
    r.seconds = now() - start;
    r.cpu_seconds = cpu_now() - cpu_start;
    r.objects = static_cast<double>(objects);
    if (rc != 0) r.error = "KOVA_ReadObjects " + code_text(rc);
    return r;
}

// Notes and messages come back from a release with dangling pointers: the reader must
// find the lent record empty after a callback that handed it on.
void forget(uint32_t type, ObjectRecord *record)
{
    if (type != KOVA_TYPE_CONTACT && type != KOVA_TYPE_CALENDAR)
        std::memset(record, 0, sizeof *record);
}

struct WriteContext {
    std::u16string out;
    double seconds = 0;
    long objects = 0;
    uint32_t failure = 0;
};

// Each object the reader lends is written at once (appending, as a sync writes its
// objects one by one); only the KOVA_WriteObject calls are timed.
void write_object(uint32_t type, ObjectRecord *record, uint32_t, void *context)
{
    auto &w = *static_cast<WriteContext *>(context);
    double start = now();
    uint32_t rc = KOVA_WriteObject(type, record, w.out.c_str(), 0);
    w.seconds += now() - start;
    forget(type, record);
    if (rc != 0 && w.failure == 0) w.failure = rc;
    ++w.objects;
}

// What no writer that opens the file per object can beat: as many bytes in as many
// objects, each through open, write and close and nothing else.
double write_floor(long objects, long bytes, const std::string &path)
{
    if (objects <= 0) return 0;
    std::vector<char> text(static_cast<size_t>(bytes / objects) + 1, 'x');
    std::remove(path.c_str());
    double start = now();
    for (long i = 0; i < objects; ++i) {
        // The remainder goes one byte each to the first objects.
        size_t size = static_cast<size_t>(bytes / objects + (i < bytes % objects ? 1 : 0));
        int fd = open(path.c_str(), O_RDWR | O_CREAT | O_APPEND, 0666);
        if (fd < 0) return 0;
        ssize_t n = write(fd, text.data(), size);
        close(fd);
        if (n != static_cast<ssize_t>(size)) return 0;
    }
    double seconds = now() - start;
    std::remove(path.c_str());
    return seconds;
}

Run write_case(const std::string &path, const std::string &work)
{
    Run r;
    std::string out = work + "/write-" + std::to_string(getpid()) + ".out";
    std::remove(out.c_str());
    WriteContext w;
    w.out = wide(out);
    uint32_t rc = KOVA_ReadObjects(wide(path).c_str(), write_object, &w);
    r.seconds = w.seconds;
    r.objects = static_cast<double>(w.objects);
    r.out_bytes = static_cast<double>(file_size(out));
    std::remove(out.c_str());
    r.floor_seconds = write_floor(w.objects, static_cast<long>(r.out_bytes), out);
    if (rc != 0) r.error = "KOVA_ReadObjects " + code_text(rc);
    if (w.failure) r.error = "KOVA_WriteObject " + code_text(w.failure);
    return r;
}

struct StoreContext {
    std::vector<std::pair<uint32_t, std::string>> ids;
    uint32_t failure = 0;
};

void add_object(uint32_t type, ObjectRecord *record, uint32_t, void *context)
{
    auto &s = *static_cast<StoreContext *>(context);
    if (s.failure) return;
    char id[KOVA_ID_CAPACITY] = "";
    uint32_t rc = KOVA_AddObject(type, record, id);
    if (rc != 0) {
        s.failure = rc;
        return;
    }
    s.ids.emplace_back(type, id);
}

// Import: every object of the file saved through KOVA_AddObject from the reader's
// callback, on a fresh device root. Export: every saved object fetched by its id and
// written out.
Run store_case(const std::string &path, const std::string &work)
{
    Run r;
    char pattern[PATH_MAX];
    std::snprintf(pattern, sizeof pattern, "%s/device-XXXXXX", work.c_str());
    if (!mkdtemp(pattern)) {
        r.error = "cannot make a device root";
        return r;
    }
    std::string root = pattern;
    setenv("KOVA_DEVICE_ROOT", root.c_str(), 1);
    auto finish = [&](Run &result) {
        KOVA_Close();
        std::error_code ec;
        fs::remove_all(root, ec);
        return result;
    };
    if (uint32_t rc = KOVA_Open(); rc != 0) {
        r.error = "KOVA_Open " + code_text(rc);
        return finish(r);
    }
    StoreContext s;
    double start = now();
    uint32_t rc = KOVA_ReadObjects(wide(path).c_str(), add_object, &s);
    r.seconds = now() - start;
    r.objects = static_cast<double>(s.ids.size());
    if (s.failure) {
        r.error = code_text(s.failure);
        return finish(r);
    }
    if (rc != 0) {
        r.error = "KOVA_ReadObjects " + code_text(rc);
        return finish(r);
    }
    std::u16string out = wide(root + "/export.out");
    static ObjectRecord record;
    start = now();
    for (const auto &[type, id] : s.ids) {
        uint32_t got = KOVA_GetObjectById(type, id.c_str(), &record);
        if (got != 0) {
            r.error = "KOVA_GetObjectById " + code_text(got);
            return finish(r);
        }
        KOVA_WriteObject(type, &record, out.c_str(), 0);
        forget(type, &record);
        ++r.exported;
    }
    r.export_seconds = now() - start;
    r.out_bytes = static_cast<double>(file_size(root + "/export.out"));
    return finish(r);
}

Run libical_case(const std::string &path, Kind kind, unsigned per_piece)
{
    Run r;
    long objects = 0;
    if (!libical_parse(path, kind == Kind::VCalendar, per_piece, r.seconds, objects, r.error))
        return r;
    r.objects = static_cast<double>(objects);
    return r;
}

int child_main(const std::vector<std::string> &args, unsigned per_piece)
{
    Case c;
    Kind kind;
    if (args.size() != 4 || !case_from_slug(args[0], c) || !kind_from_slug(args[1], kind)) {
        std::fprintf(stderr, "kova_bench: bad --child arguments\n");
        return 2;
    }
    const std::string &file = args[2], &work = args[3];
    Run r;
    switch (c) {
    case Case::Scan: r = line_scan(file); break;
    case Case::Read: r = read_case(file); break;
    case Case::Write: r = write_case(file, work); break;
    case Case::Store: r = store_case(file, work); break;
    case Case::Libical: r = libical_case(file, kind, per_piece); break;
    case Case::Vobject: r.error = "run by the parent"; break;
    }
    print_result(r);
    return 0;
}

// ---- the parent: children, files, the table ----

std::string self_path()
{
    std::error_code ec;
    fs::path p = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string("kova_bench") : p.string();
}

Run parse_result(const std::string &text)
{
    Run r;
    std::istringstream in(text);
    std::string token;
    while (in >> token) {
        size_t eq = token.find('=');
        if (eq == std::string::npos) continue;
        std::string key = token.substr(0, eq), value = token.substr(eq + 1);
        if (key == "error") {
            std::string rest;
            std::getline(in, rest);
            r.error = value + rest;
            break;
        }
        double number = std::atof(value.c_str());
        if (key == "seconds") r.seconds = number;
        if (key == "cpu_seconds") r.cpu_seconds = number;
        if (key == "objects") r.objects = number;
        if (key == "out_bytes") r.out_bytes = number;
        if (key == "export_seconds") r.export_seconds = number;
        if (key == "exported") r.exported = number;
        if (key == "floor_seconds") r.floor_seconds = number;
    }
    return r;
}

// Runs argv in a fresh process; its stdout is the result line, its peak memory comes
// from wait4.
Run run_process(const std::vector<std::string> &argv)
{
    int pipe_fds[2];
    if (pipe(pipe_fds) != 0) {
        Run r;
        r.error = "pipe failed";
        return r;
    }
    pid_t pid = fork();
    if (pid == 0) {
        dup2(pipe_fds[1], 1);
        close(pipe_fds[0]);
        close(pipe_fds[1]);
        std::vector<char *> args;
        for (const std::string &a : argv) args.push_back(const_cast<char *>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    close(pipe_fds[1]);
    std::string output;
    char buffer[4096];
    for (ssize_t n; (n = read(pipe_fds[0], buffer, sizeof buffer)) > 0;)
        output.append(buffer, static_cast<size_t>(n));
    close(pipe_fds[0]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    Run r = parse_result(output);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        r.error = "the process failed (status " + std::to_string(status) + ")";
    else if (output.find("seconds=") == std::string::npos)
        r.error = "no result";
    r.peak_kb = usage.ru_maxrss;
    return r;
}

std::string data_file(const std::string &dir, Kind kind, unsigned size)
{
    return dir + "/" + kind_slug(kind) + "-" + std::to_string(size) + kind_extension(kind);
}

void ensure_file(const std::string &path, Kind kind, unsigned size)
{
    if (file_size(path) > 0) return;
    std::FILE *out = std::fopen(path.c_str(), "wb");
    if (!out) {
        std::fprintf(stderr, "kova_bench: cannot write %s\n", path.c_str());
        std::exit(1);
    }
    generate(kind, size, kSeed, out);
    std::fclose(out);
}

bool python_vobject_available()
{
    if (access(kPython, X_OK) != 0) return false;
    std::string command = std::string(kPython) + " -c 'import vobject' >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

std::string machine_line()
{
    std::ifstream cpu("/proc/cpuinfo");
    std::string line, model = "unknown CPU";
    while (std::getline(cpu, line))
        if (line.rfind("model name", 0) == 0) {
            model = line.substr(line.find(':') + 2);
            break;
        }
    std::ifstream load("/proc/loadavg");
    std::string one;
    load >> one;
    return std::to_string(sysconf(_SC_NPROCESSORS_ONLN)) + " cores, " + model +
           "; load average " + one + " when the runs began; Kova built " KOVA_BENCH_BUILD_TYPE
           "; wall-clock times.";
}

struct Options {
    std::vector<unsigned> sizes = {10000, 100000};
    std::vector<std::string> kinds;
    unsigned runs = 5;
    unsigned peer_runs = 3;
    unsigned per_piece = 100;
    bool peers = true;
    std::string dir;
    std::string md;
    std::string svg;
    std::string command = "scripts/bench.sh";
    bool verify = false;
    std::string expect;
    std::string record;
    unsigned mutated = 3000;
    std::vector<std::string> child;
};

std::vector<Kind> chosen_kinds(const Options &o)
{
    if (o.kinds.empty()) return std::vector<Kind>(std::begin(kKinds), std::end(kKinds));
    std::vector<Kind> kinds;
    for (const std::string &slug : o.kinds) {
        Kind k;
        if (!kind_from_slug(slug, k)) {
            std::fprintf(stderr, "kova_bench: unknown kind %s\n", slug.c_str());
            std::exit(2);
        }
        kinds.push_back(k);
    }
    return kinds;
}

// A folder of our own for the files: the one given, or a fresh temporary one that goes
// again at the end.
class WorkDir {
public:
    explicit WorkDir(const std::string &given)
    {
        if (!given.empty()) {
            fs::create_directories(given);
            path_ = given;
            return;
        }
        const char *tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/kova-bench-XXXXXX";
        if (!mkdtemp(pattern.data())) {
            std::fprintf(stderr, "kova_bench: cannot make a temporary folder\n");
            std::exit(1);
        }
        path_ = pattern;
        owned_ = true;
    }
    ~WorkDir()
    {
        std::error_code ec;
        if (owned_) fs::remove_all(path_, ec);
    }
    const std::string &path() const { return path_; }

private:
    std::string path_;
    bool owned_ = false;
};

void write_text(const std::string &path, const std::string &text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out) std::fprintf(stderr, "kova_bench: cannot write %s\n", path.c_str());
}

int bench_main(const Options &o)
{
    WorkDir work(o.dir);
    std::vector<Kind> kinds = chosen_kinds(o);
    Measurements m;
    m.sizes = o.sizes;
    m.kinds = kinds;
    m.command = o.command;
    m.machine = machine_line();
    bool libical = o.peers && libical_available();
    bool vobject = o.peers && python_vobject_available();
    std::fprintf(stderr, "kova_bench: files in %s; libical %s, Python vobject %s\n",
                 work.path().c_str(), libical ? "yes" : "no", vobject ? "yes" : "no");
    for (unsigned size : o.sizes)
        for (Kind k : kinds) {
            std::string file = data_file(work.path(), k, size);
            ensure_file(file, k, size);
            m.file_bytes[{k, size}] = static_cast<double>(file_size(file));
        }
    const std::string self = self_path(), per_piece = std::to_string(o.per_piece);
    unsigned rounds = std::max(o.runs, o.peer_runs);
    for (unsigned round = 0; round < rounds; ++round) {
        for (unsigned size : o.sizes) {
            for (Kind k : kinds) {
                std::string file = data_file(work.path(), k, size);
                bool peer_kind = k == Kind::VCard || k == Kind::VCalendar;
                std::vector<Case> cases;
                if (round < o.runs)
                    for (Case c : {Case::Scan, Case::Read, Case::Write, Case::Store}) cases.push_back(c);
                if (round < o.peer_runs && peer_kind && libical) cases.push_back(Case::Libical);
                // vobject reads well under 1 MB/s: one run of a large file is plenty.
                bool large = m.file_bytes[{k, size}] > 20e6;
                if (round < (large ? 1u : o.peer_runs) && peer_kind && vobject)
                    cases.push_back(Case::Vobject);
                for (Case c : cases) {
                    std::fprintf(stderr, "  run %u: %s %s %u\n", round + 1, case_slug(c),
                                 kind_slug(k), size);
                    Run r = c == Case::Vobject
                                ? run_process({kPython, KOVA_BENCH_DIR "/vobject_peer.py", file,
                                               kind_slug(k)})
                                : run_process({self, "--per-piece", per_piece, "--child",
                                               case_slug(c), kind_slug(k), file, work.path()});
                    if (!r.error.empty())
                        std::fprintf(stderr, "    %s\n", r.error.c_str());
                    m.cells[{k, size, c}].runs.push_back(r);
                    // A store that is not there answers the same every time.
                    if (c == Case::Store && !r.error.empty() && r.objects == 0) {
                        auto &runs = m.cells[{k, size, c}].runs;
                        while (runs.size() < o.runs) runs.push_back(r);
                    }
                }
            }
        }
    }
    std::string table = markdown(m);
    std::printf("%s", table.c_str());
    if (!o.md.empty()) write_text(o.md, table);
    if (!o.svg.empty()) write_text(o.svg, svg_chart(m));
    return 0;
}

// ---- verification: checksums of everything read, written and logged ----

uint32_t loopback_address()
{
    unsigned pid = static_cast<unsigned>(getpid());
    return (127u << 24) | ((1 + pid % 250) << 16) | ((1 + pid / 250 % 250) << 8) |
           (1 + pid / 62500 % 250);
}

// Receives the library's diagnostic log on a loopback address of this process.
class LogCapture {
public:
    explicit LogCapture(const std::string &root)
    {
        socket_ = socket(AF_INET, SOCK_DGRAM, 0);
        int size = 8 << 20;
        setsockopt(socket_, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
        sockaddr_in at{};
        at.sin_family = AF_INET;
        at.sin_port = htons(38182);
        at.sin_addr.s_addr = htonl(loopback_address());
        if (socket_ < 0 || bind(socket_, reinterpret_cast<sockaddr *>(&at), sizeof at) != 0) {
            std::fprintf(stderr, "kova_bench: cannot bind the log receiver\n");
            std::exit(1);
        }
        char text[256];
        std::snprintf(text, sizeof text,
                      "Windows Registry Editor Version 5.00\r\n\r\n"
                      "[HKEY_LOCAL_MACHINE\\Software\\Harvex\\BTConfig\\Debug]\r\n"
                      "\"LogIPAddr\"=dword:%08x\r\n",
                      loopback_address());
        write_text(root + "/registry.reg", text);
        setenv("KOVA_DEVICE_ROOT", root.c_str(), 1);
        KOVA_Open();
        // What opening the store logs is no part of reading or writing.
        Checksum opening;
        drain(opening);
        count_ = 0;
    }
    ~LogCapture()
    {
        if (socket_ >= 0) close(socket_);
    }
    void drain(Checksum &sum)
    {
        char buffer[2048];
        for (ssize_t n; (n = recv(socket_, buffer, sizeof buffer, MSG_DONTWAIT)) > 0;) {
            sum.bytes(buffer, static_cast<size_t>(n));
            ++count_;
        }
    }
    long count() const { return count_; }

private:
    int socket_ = -1;
    long count_ = 0;
};

struct Sums {
    Checksum read, written, log;
};

struct VerifyContext {
    Sums &sums;
    LogCapture &log;
    std::u16string out;
};

void verify_object(uint32_t type, ObjectRecord *record, uint32_t status, void *context)
{
    auto &v = *static_cast<VerifyContext *>(context);
    add_record(v.sums.read, type, *record, status);
    v.log.drain(v.sums.log);
    v.sums.written.number(KOVA_WriteObject(type, record, v.out.c_str(), 0));
    v.log.drain(v.sums.log);
    forget(type, record);
}

void verify_file(const std::string &path, const std::string &out, Sums &sums, LogCapture &log)
{
    std::remove(out.c_str());
    VerifyContext v{sums, log, wide(out)};
    sums.read.number(KOVA_ReadObjects(wide(path).c_str(), verify_object, &v));
    log.drain(sums.log);
    std::ifstream in(out, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    sums.written.bytes(bytes.data(), bytes.size());
    std::remove(out.c_str());
}

std::string sums_line(const std::string &name, const Sums &s)
{
    return name + " read=" + s.read.hex() + " written=" + s.written.hex() + " log=" + s.log.hex();
}

int verify_main(const Options &o)
{
    WorkDir work(o.dir);
    std::string root = work.path() + "/device";
    fs::create_directories(root);
    LogCapture log(root);
    std::string out = work.path() + "/verify.out";
    std::vector<std::string> lines;
    for (unsigned size : o.sizes)
        for (Kind k : chosen_kinds(o)) {
            std::string file = data_file(work.path(), k, size);
            ensure_file(file, k, size);
            Sums sums;
            verify_file(file, out, sums, log);
            lines.push_back(sums_line(std::string(kind_slug(k)) + "-" + std::to_string(size), sums));
            std::printf("%s\n", lines.back().c_str());
            std::fflush(stdout);
        }
    if (o.mutated) {
        Sums all;
        std::string file = work.path() + "/mutated.in";
        for (const std::string &input : mutated_inputs(o.mutated, kSeed)) {
            write_text(file, input);
            Sums one;
            verify_file(file, out, one, log);
            all.read.number(one.read.value());
            all.written.number(one.written.value());
            all.log.number(one.log.value());
        }
        lines.push_back(sums_line("mutated-" + std::to_string(o.mutated), all));
        std::printf("%s\n", lines.back().c_str());
    }
    std::fprintf(stderr, "kova_bench: %ld log lines received\n", log.count());
    if (!o.record.empty()) {
        std::string text;
        for (const std::string &l : lines) text += l + "\n";
        write_text(o.record, text);
    }
    if (o.expect.empty()) return 0;
    std::map<std::string, std::string> expected;
    std::ifstream in(o.expect);
    for (std::string l; std::getline(in, l);)
        if (!l.empty() && l[0] != '#') expected[l.substr(0, l.find(' '))] = l;
    int failures = 0;
    for (const std::string &l : lines) {
        auto it = expected.find(l.substr(0, l.find(' ')));
        if (it == expected.end()) {
            std::fprintf(stderr, "kova_bench: no expected checksums for %s\n", l.c_str());
            ++failures;
        } else if (it->second != l) {
            std::fprintf(stderr, "kova_bench: CHANGED\n  expected %s\n  got      %s\n",
                         it->second.c_str(), l.c_str());
            ++failures;
        }
    }
    std::fprintf(stderr, "kova_bench: %s\n",
                 failures ? "checksums differ" : "checksums unchanged");
    return failures ? 1 : 0;
}

}  // namespace
}  // namespace kova::bench

int main(int argc, char **argv)
{
    using namespace kova::bench;
    Options o;
    CLI::App app{"Kova benchmark: read and write speed side by side with a line scan and "
                 "the peers, and the checksums that pin the behaviour"};
    app.add_option("--sizes", o.sizes, "objects per file, comma-separated")->delimiter(',');
    app.add_option("--kinds", o.kinds, "vcard,vcalendar,vnote,vmessage (default: all)")
        ->delimiter(',');
    app.add_option("--runs", o.runs, "runs of each Kova case; the table shows medians");
    app.add_option("--peer-runs", o.peer_runs, "runs of each peer case (vobject: one on large files)");
    app.add_option("--per-piece", o.per_piece, "objects per piece handed to libical");
    app.add_flag("!--no-peers", o.peers, "leave libical and vobject out");
    app.add_option("--dir", o.dir, "folder for the generated files (default: a temporary one)");
    app.add_option("--md", o.md, "write the table as Markdown to this file");
    app.add_option("--svg", o.svg, "write the bar chart as SVG to this file");
    app.add_option("--command", o.command, "the command named in the table");
    app.add_flag("--verify", o.verify, "print the checksums of everything read, written and logged");
    app.add_option("--expect", o.expect, "with --verify: compare with these checksums");
    app.add_option("--record", o.record, "with --verify: write the checksums to this file");
    app.add_option("--mutated", o.mutated, "with --verify: number of small mutated inputs");
    app.add_option("--child", o.child, "internal: run one case")->expected(4)->group("");
    CLI11_PARSE(app, argc, argv);
    if (!o.child.empty()) return child_main(o.child, o.per_piece);
    if (o.verify) return verify_main(o);
    return bench_main(o);
}
