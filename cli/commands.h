// The commands of the kova tool. Each takes its parsed options and returns the exit code;
// main.cpp owns the command line and the device root.
#pragma once

#include <string>
#include <vector>

namespace kova::cli {

struct ImportOptions {
    std::vector<std::string> files;
    bool update = false;   // modify the object KOVA_FindObject finds instead of adding one
    bool dry_run = false;  // parse only
};
int run_import(const ImportOptions &options);

struct ExportOptions {
    std::string type;    // contact, calendar, appointment, task; "" to infer
    std::string output;  // one file for everything; "" with no dir: standard output
    std::string dir;     // one file per object
    std::vector<std::string> ids;
};
int run_export(const ExportOptions &options);

struct ListOptions {
    std::vector<std::string> types;  // none: everything
};
int run_list(const ListOptions &options);

struct ShowOptions {
    std::string type;  // for ids: contact or calendar; "" tries both
    std::vector<std::string> targets;
};
int run_show(const ShowOptions &options);

struct CheckOptions {
    std::vector<std::string> files;
};
int run_check(const CheckOptions &options);

struct LogOptions {
    std::string address = "0.0.0.0";
};
int run_log(const LogOptions &options);

}  // namespace kova::cli
