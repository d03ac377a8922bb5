// kova: the command-line face of the library. It loads files into the device store,
// lists, shows and exports what is there, checks files and explains why one is refused,
// and prints the diagnostic log. The commands live in their own files (commands.h);
// this one owns the command line and the device root.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "commands.h"
#include "common.h"

namespace {

using namespace kova::cli;

constexpr const char *kExitCodes =
    "Exit codes: 0 all done; 1 a file was refused, an object not stored or an id not found;\n"
    "2 the command line is wrong; 3 the store cannot be opened.\n"
    "The device root is --device-root, else $KOVA_DEVICE_ROOT, else $XDG_DATA_HOME/kova,\n"
    "else ~/.local/share/kova. See kova(1).";

const std::vector<std::string> kListTypes = {"contact", "appointment", "task",
                                             "calendar", "message", "note"};
const std::vector<std::string> kFetchTypes = {"contact", "calendar", "appointment", "task"};

}  // namespace

int main(int argc, char **argv)
{
    CLI::App app{"Moves personal information between vObject files (vCard 2.1, vCalendar 1.0,\n"
                 "vNote, vMessage) and a device's personal information store.",
                 "kova"};
    app.set_version_flag("--version", std::string("kova ") + KOVA_VERSION);
    app.require_subcommand(1);
    app.fallthrough();  // the global options go before or after the command
    std::string device_root;
    app.add_option("--device-root", device_root, "The device root to work on")->type_name("DIR");

    ImportOptions import_options;
    CLI::App *import_command = app.add_subcommand(
        "import", "Read every object of each FILE and store it; one line per object");
    import_command
        ->add_option("FILE", import_options.files, "vCard, vCalendar, vNote or vMessage files")
        ->required();
    import_command->add_flag("-u,--update", import_options.update,
                             "Update an object already in the store instead of adding another");
    import_command->add_flag("-n,--dry-run", import_options.dry_run,
                             "Only read the files; store nothing");

    ExportOptions export_options;
    CLI::App *export_command = app.add_subcommand(
        "export", "Write stored contacts and calendar items out as files, by ID or all of a type");
    export_command->add_option("ID", export_options.ids, "Object ids, as kova list shows them");
    export_command
        ->add_option("-t,--type", export_options.type,
                     "contact or calendar (or appointment, task); without ids: every such object")
        ->check(CLI::IsMember(kListTypes));
    CLI::Option *output = export_command->add_option(
        "-o,--output", export_options.output,
        "Write every object into this one file (.vcf: contacts, .vcs: calendar items)");
    CLI::Option *dir = export_command->add_option(
        "-d,--dir", export_options.dir,
        "Write one file per object into this folder, <id>.vcf or <id>.vcs");
    output->excludes(dir)->type_name("FILE");
    dir->type_name("DIR");

    ListOptions list_options;
    CLI::App *list_command = app.add_subcommand(
        "list", "List the store's objects: type, id and display name, one a line");
    list_command
        ->add_option("-t,--type", list_options.types,
                     "Only objects of these types (repeat it, or separate them with commas)")
        ->delimiter(',')
        ->check(CLI::IsMember(kListTypes))
        ->type_name("TYPE");

    ShowOptions show_options;
    CLI::App *show_command = app.add_subcommand(
        "show", "Print what a file or a stored object holds, property by property");
    show_command->alias("read");
    show_command->add_option("TARGET", show_options.targets, "A file, or an object id")->required();
    show_command
        ->add_option("-t,--type", show_options.type, "For an id: contact or calendar")
        ->check(CLI::IsMember(kFetchTypes));

    CheckOptions check_options;
    CLI::App *check_command = app.add_subcommand(
        "check", "Validate files; show per file and per object the result and its diagnostics");
    check_command->add_option("FILE", check_options.files, "Files to check")->required();

    LogOptions log_options;
    CLI::App *log_command = app.add_subcommand(
        "log", "Print the diagnostic log arriving on UDP port 38182 until interrupted");
    log_command->add_option("-a,--address", log_options.address, "The IPv4 address to listen on")
        ->capture_default_str();

    app.footer(kExitCodes);
    for (CLI::App *command : app.get_subcommands({})) command->footer(kExitCodes);

    if (argc < 2) {
        std::cerr << app.help();
        return kExitUsage;
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError &e) {
        if (e.get_exit_code() == 0) return app.exit(e);  // --help, --version
        // CLI11 misses the command before it sees the word that was meant as one.
        std::vector<std::string> rest = app.remaining();
        if (app.get_subcommands().empty() && !rest.empty())
            std::fprintf(stderr, "kova: %s: %s (kova --help lists them)\n", rest.front().c_str(),
                         rest.front()[0] == '-' ? "not an option" : "not a command");
        else
            std::fprintf(stderr, "kova: %s (kova --help lists the commands and options)\n",
                         e.what());
        return kExitUsage;
    }

    if (!device_root.empty()) setenv("KOVA_DEVICE_ROOT", device_root.c_str(), 1);
    if (*import_command) return run_import(import_options);
    if (*export_command) return run_export(export_options);
    if (*list_command) return run_list(list_options);
    if (*show_command) return run_show(show_options);
    if (*check_command) return run_check(check_options);
    if (*log_command) return run_log(log_options);
    return kExitUsage;
}
