#include "report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <sstream>

namespace kova::bench {
namespace {

struct Summary {
    bool ok = false;
    std::string error;
    double seconds = 0;      // median
    double cpu_seconds = 0;  // median
    double objects = 0;
    double out_bytes = 0;
    double export_seconds = 0;  // median
    double exported = 0;
    double floor_seconds = 0;  // median
    long peak_kb = 0;  // largest of the runs
    size_t runs = 0;
};

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    size_t n = v.size();
    if (n == 0) return 0;
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

std::optional<Summary> summary(const Measurements &m, Kind kind, unsigned size, Case c)
{
    auto it = m.cells.find({kind, size, c});
    if (it == m.cells.end() || it->second.runs.empty()) return std::nullopt;
    Summary s;
    std::vector<double> seconds, cpu_seconds, export_seconds, floor_seconds;
    for (const Run &r : it->second.runs) {
        if (!r.error.empty()) {
            s.error = r.error;
            continue;
        }
        seconds.push_back(r.seconds);
        cpu_seconds.push_back(r.cpu_seconds);
        floor_seconds.push_back(r.floor_seconds);
        export_seconds.push_back(r.export_seconds);
        s.objects = r.objects;
        s.out_bytes = r.out_bytes;
        s.exported = r.exported;
        s.peak_kb = std::max(s.peak_kb, r.peak_kb);
    }
    s.runs = seconds.size();
    s.ok = !seconds.empty() && s.error.empty();
    s.seconds = median(seconds);
    s.cpu_seconds = median(cpu_seconds);
    s.floor_seconds = median(floor_seconds);
    s.export_seconds = median(export_seconds);
    return s;
}

std::string fixed(double value, int digits)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", digits, value);
    return text;
}

// Three significant digits at most, thousands apart by a thin space: 842, 61.3, 380 000.
std::string readable(double value)
{
    if (value >= 1000) {
        std::string digits = std::to_string(static_cast<long long>(std::llround(value)));
        std::string out;
        for (size_t i = 0; i < digits.size(); ++i) {
            if (i && (digits.size() - i) % 3 == 0) out += "\u202f";
            out += digits[i];
        }
        return out;
    }
    if (value >= 100) return fixed(value, 0);
    if (value >= 10) return fixed(value, 1);
    if (value >= 1) return fixed(value, 2);
    return fixed(value, 3);
}

std::string ratio(double value) { return fixed(value, value >= 10 ? 0 : 1) + "×"; }

std::string mb(double bytes) { return readable(bytes / 1e6); }
std::string mib(long kb) { return readable(static_cast<double>(kb) / 1024.0) + " MiB"; }

double bytes_of(const Measurements &m, Kind kind, unsigned size)
{
    auto it = m.file_bytes.find({kind, size});
    return it == m.file_bytes.end() ? 0 : it->second;
}

std::string not_run(const std::optional<Summary> &s)
{
    if (!s) return "—";
    return "n/a (" + s->error + ")";
}

std::string count_label(unsigned size)
{
    return size % 1000 == 0 ? std::to_string(size / 1000) + "k" : std::to_string(size);
}

using Row = std::vector<std::string>;

void table(std::ostringstream &out, const Row &head, const std::vector<Row> &rows)
{
    auto line = [&](const Row &cells) {
        out << "|";
        for (const std::string &c : cells) out << " " << c << " |";
        out << "\n";
    };
    line(head);
    out << "|";
    for (size_t i = 0; i < head.size(); ++i) out << (i ? "---:|" : "---|");
    out << "\n";
    for (const Row &r : rows) line(r);
}

// Speed of a case in MB/s of input, or 0 when it did not run.
double input_speed(const Measurements &m, Kind kind, unsigned size, Case c)
{
    auto s = summary(m, kind, size, c);
    if (!s || !s->ok || s->seconds <= 0) return 0;
    return bytes_of(m, kind, size) / s->seconds / 1e6;
}

void size_table(std::ostringstream &out, const Measurements &m, unsigned size)
{
    Row head = {count_label(size) + " objects"};
    for (Kind k : m.kinds) head.push_back(kind_name(k));
    std::vector<Row> rows;
    auto row = [&](const std::string &label, auto cell) {
        Row r = {label};
        for (Kind k : m.kinds) r.push_back(cell(k));
        rows.push_back(r);
    };
    auto read = [&](Kind k) { return summary(m, k, size, Case::Read); };
    auto speed = [&](Kind k, Case c, bool per_object) -> std::string {
        auto s = summary(m, k, size, c);
        if (!s || !s->ok) return not_run(s);
        std::string text = mb(bytes_of(m, k, size) / s->seconds) + " MB/s";
        if (per_object) text += ", " + readable(s->objects / s->seconds) + " obj/s";
        // A peer that skips what it cannot parse is still timed over the whole file.
        auto r = read(k);
        bool peer = c == Case::Libical || c == Case::Vobject;
        if (peer && r && r->ok && s->objects != r->objects)
            text += " (" + readable(s->objects) + " objects)";
        return text;
    };
    auto scan = [&](Kind k) { return summary(m, k, size, Case::Scan); };

    row("input", [&](Kind k) {
        auto r = read(k);
        return mb(bytes_of(m, k, size)) + " MB" +
               (r && r->ok ? ", " + readable(r->objects) + " objects" : std::string());
    });
    row("`getc_unlocked` line scan", [&](Kind k) { return speed(k, Case::Scan, false); });
    row("**`KOVA_ReadObjects`**, counting callback", [&](Kind k) { return speed(k, Case::Read, true); });
    row("read time ÷ line-scan time", [&](Kind k) {
        auto s = scan(k), r = read(k);
        if (!s || !r || !s->ok || !r->ok) return std::string("—");
        return ratio(r->seconds / s->seconds);
    });
    row("the same in CPU time", [&](Kind k) {
        auto s = scan(k), r = read(k);
        if (!s || !r || !s->ok || !r->ok || s->cpu_seconds <= 0) return std::string("—");
        return ratio(r->cpu_seconds / s->cpu_seconds);
    });
    row("**`KOVA_WriteObject`**, one call per object", [&](Kind k) {
        auto w = summary(m, k, size, Case::Write);
        if (!w || !w->ok) return not_run(w);
        return mb(w->out_bytes / w->seconds) + " MB/s out, " + readable(w->objects / w->seconds) +
               " obj/s";
    });
    row("floor: `open` + `write` + `close` of the same bytes", [&](Kind k) {
        auto w = summary(m, k, size, Case::Write);
        if (!w || !w->ok || w->floor_seconds <= 0) return std::string("—");
        return readable(w->objects / w->floor_seconds) + " obj/s";
    });
    row("write ÷ read, objects per second", [&](Kind k) {
        auto w = summary(m, k, size, Case::Write), r = read(k);
        if (!w || !r || !w->ok || !r->ok) return std::string("—");
        return ratio((w->objects / w->seconds) / (r->objects / r->seconds));
    });
    row("import: `KOVA_AddObject` from the callback", [&](Kind k) {
        auto s = summary(m, k, size, Case::Store);
        if (!s || !s->ok) return not_run(s);
        return readable(s->objects / s->seconds) + " obj/s";
    });
    row("export: `KOVA_GetObjectById` + `KOVA_WriteObject`", [&](Kind k) {
        auto s = summary(m, k, size, Case::Store);
        if (!s || !s->ok) return not_run(s);
        return readable(s->exported / s->export_seconds) + " obj/s";
    });
    row("libical `Parse_MIME` (vcc)", [&](Kind k) { return speed(k, Case::Libical, true); });
    row("Kova read ÷ libical, speed", [&](Kind k) {
        double kova = input_speed(m, k, size, Case::Read), peer = input_speed(m, k, size, Case::Libical);
        return kova > 0 && peer > 0 ? ratio(kova / peer) : std::string("—");
    });
    row("Python vobject `readComponents`", [&](Kind k) { return speed(k, Case::Vobject, true); });
    row("Kova read ÷ vobject, speed", [&](Kind k) {
        double kova = input_speed(m, k, size, Case::Read), peer = input_speed(m, k, size, Case::Vobject);
        return kova > 0 && peer > 0 ? ratio(kova / peer) : std::string("—");
    });
    for (auto [label, c] : {std::pair{"peak memory: read", Case::Read},
                            std::pair{"peak memory: write", Case::Write},
                            std::pair{"peak memory: import + export", Case::Store},
                            std::pair{"peak memory: libical", Case::Libical},
                            std::pair{"peak memory: vobject", Case::Vobject}}) {
        row(label, [&, c = c](Kind k) {
            auto s = summary(m, k, size, c);
            return s && s->ok ? mib(s->peak_kb) : std::string("—");
        });
    }
    if (size != m.sizes.front()) {
        unsigned small = m.sizes.front();
        row("peak memory, read: " + count_label(size) + " ÷ " + count_label(small), [&](Kind k) {
            auto big = read(k), little = summary(m, k, small, Case::Read);
            if (!big || !little || !big->ok || !little->ok) return std::string("—");
            return fixed(static_cast<double>(big->peak_kb) / static_cast<double>(little->peak_kb), 2) +
                   "×";
        });
    }
    table(out, head, rows);
}

std::string verdict(bool met) { return met ? "met" : "**not met**"; }

void targets(std::ostringstream &out, const Measurements &m)
{
    unsigned size = m.sizes.back();
    out << "Targets, at " << count_label(size) << " objects:\n\n";
    for (Kind k : {Kind::VCard, Kind::VCalendar}) {
        auto s = summary(m, k, size, Case::Scan), r = summary(m, k, size, Case::Read);
        if (s && r && s->ok && r->ok) {
            double x = r->seconds / s->seconds;
            out << "- " << kind_name(k) << " read within 3× the line scan: " << ratio(x) << ", "
                << verdict(x <= 3.0) << "\n";
        }
        double kova = input_speed(m, k, size, Case::Read), peer = input_speed(m, k, size, Case::Libical);
        if (kova > 0 && peer > 0)
            out << "- " << kind_name(k) << " read more than 10× libical: " << ratio(kova / peer)
                << ", " << verdict(kova / peer > 10) << "\n";
    }
    for (Kind k : m.kinds) {
        auto w = summary(m, k, size, Case::Write), r = summary(m, k, size, Case::Read);
        if (w && r && w->ok && r->ok) {
            double x = (w->objects / w->seconds) / (r->objects / r->seconds);
            out << "- " << kind_name(k) << " write at least as fast as read per object: "
                << ratio(x) << ", " << verdict(x >= 1.0);
            if (x < 1.0 && w->floor_seconds > 0)
                out << " (`open` + `write` + `close` of the same bytes alone reach "
                    << ratio((w->objects / w->floor_seconds) / (r->objects / r->seconds))
                    << " of the read rate; KOVA_WriteObject takes "
                    << ratio(w->seconds / w->floor_seconds) << " their time)";
            out << "\n";
        }
    }
    if (m.sizes.size() > 1) {
        for (Kind k : m.kinds) {
            auto big = summary(m, k, size, Case::Read), small = summary(m, k, m.sizes.front(), Case::Read);
            if (big && small && big->ok && small->ok) {
                double x = static_cast<double>(big->peak_kb) / static_cast<double>(small->peak_kb);
                out << "- " << kind_name(k) << " peak memory of read, " << count_label(size)
                    << " ÷ " << count_label(m.sizes.front()) << " at most 1.2×: " << fixed(x, 2)
                    << "×, " << verdict(x <= 1.2) << "\n";
            }
        }
    }
    auto store = summary(m, Kind::VCard, size, Case::Store);
    if (store && store->ok) {
        double in = store->objects / store->seconds, back = store->exported / store->export_seconds;
        out << "- import at least 20 000 contacts/s: " << readable(in) << ", " << verdict(in >= 20000)
            << "\n- export at least as fast as import: " << readable(back) << ", "
            << verdict(back >= in) << "\n";
    } else {
        out << "- import and export: not measured (" << (store ? store->error : "not run") << ")\n";
    }
}

}  // namespace

std::string markdown(const Measurements &m)
{
    std::ostringstream out;
    out << "Medians of the runs; MB is 10^6 bytes of the input file (of the output for writes);"
           " peak memory is the largest resident set of a fresh process per case.\n"
        << m.machine << "\n\n";
    for (unsigned size : m.sizes) {
        size_table(out, m, size);
        out << "\n";
    }
    targets(out, m);
    out << "\nReproduce with `" << m.command << "`.\n";
    return out.str();
}

std::string svg_chart(const Measurements &m)
{
    unsigned size = m.sizes.back();
    struct Bar {
        const char *label;
        Case c;
        const char *colour;
    };
    const Bar bars[] = {{"getc_unlocked line scan", Case::Scan, "#9e9e9e"},
                        {"Kova read", Case::Read, "#1565c0"},
                        {"Kova write (output MB/s)", Case::Write, "#42a5f5"},
                        {"libical vcc", Case::Libical, "#ef6c00"},
                        {"Python vobject", Case::Vobject, "#8e24aa"}};
    auto value = [&](Kind k, const Bar &b) {
        if (b.c != Case::Write) return input_speed(m, k, size, b.c);
        auto w = summary(m, k, size, Case::Write);
        return w && w->ok ? w->out_bytes / w->seconds / 1e6 : 0.0;
    };
    double top = 1;
    for (Kind k : m.kinds)
        for (const Bar &b : bars) top = std::max(top, value(k, b));
    const int left = 210, width = 560, bar_height = 14, gap = 4, group_gap = 22;
    std::ostringstream body;
    int y = 56;
    for (Kind k : m.kinds) {
        body << "<text x='8' y='" << y + 10 << "' font-weight='bold'>" << kind_name(k) << "</text>\n";
        y += 16;
        for (const Bar &b : bars) {
            double v = value(k, b);
            if (v <= 0) continue;
            int w = std::max(1, static_cast<int>(std::lround(v / top * width)));
            body << "<text x='" << left - 6 << "' y='" << y + 11 << "' text-anchor='end'>" << b.label
                 << "</text>\n<rect x='" << left << "' y='" << y << "' width='" << w
                 << "' height='" << bar_height << "' fill='" << b.colour << "'/>\n<text x='"
                 << left + w + 4 << "' y='" << y + 11 << "'>" << readable(v) << " MB/s</text>\n";
            y += bar_height + gap;
        }
        y += group_gap;
    }
    std::ostringstream out;
    out << "<svg xmlns='http://www.w3.org/2000/svg' width='860' height='" << y + 10
        << "' font-family='sans-serif' font-size='12'>\n<rect width='100%' height='100%' "
           "fill='white'/>\n<text x='8' y='22' font-size='15' font-weight='bold'>Kova, "
        << count_label(size)
        << " objects per file: MB/s (medians, higher is better)</text>\n<text x='8' y='40' "
           "fill='#555'>"
        << m.machine << "</text>\n"
        << body.str() << "</svg>\n";
    return out.str();
}

}  // namespace kova::bench
