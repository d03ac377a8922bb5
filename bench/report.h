// The benchmark table as Markdown and the bar chart as SVG, from the medians of the runs.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "generator.h"

namespace kova::bench {

// What one case measured in one run; error is set when it could not run.
struct Run {
    double seconds = 0;
    double cpu_seconds = 0;  // 0 where only the wall clock was taken
    double objects = 0;
    double out_bytes = 0;
    double export_seconds = 0;
    double exported = 0;
    double floor_seconds = 0;  // writes: open, write and close of the same bytes alone
    long peak_kb = 0;
    std::string error;
};

enum class Case { Scan, Read, Write, Store, Libical, Vobject };

struct Cell {
    std::vector<Run> runs;
};

struct Measurements {
    std::vector<unsigned> sizes;
    std::vector<Kind> kinds;
    std::map<std::pair<Kind, unsigned>, double> file_bytes;
    std::map<std::tuple<Kind, unsigned, Case>, Cell> cells;
    std::string machine;  // a line on the machine and its load
    std::string command;  // how the table was made
};

std::string markdown(const Measurements &m);
std::string svg_chart(const Measurements &m);

}  // namespace kova::bench
