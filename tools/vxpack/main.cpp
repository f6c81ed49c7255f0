/* vxpack: the administrator's packaging tool. The command line, and nothing else. */
#include <CLI/CLI.hpp>

#include "pack_host.h"
#include "pack_report.h"
#include "pack_volumes.h"
#include "vxpack.h"

namespace {

/* Where the volumes are: folders of DIR on Linux, the removable drive on Windows. */
void add_volume_options(CLI::App *command, std::string &volumes, std::string &drive,
                        const char *drive_help)
{
    command->add_option("--volumes", volumes, "Linux: each volume a folder of DIR")
        ->type_name("DIR");
    command->add_option("--drive", drive, drive_help)->type_name("X:");
}

/* A command line that cannot be run: one line naming what is wrong and where help is, exit 2. */
int usage_error(const std::string &what, const std::string &command)
{
    std::string help = command.empty() ? "vxpack --help" : "vxpack " + command + " --help";
    fprintf(stderr, "vxpack: %s (%s shows the usage)\n", what.c_str(), help.c_str());
    return vxpack::EXIT_USAGE;
}

/* The command the words name, or empty when none of them is one. */
std::string command_named(CLI::App &app, int argc, char **argv)
{
    for (int i = 1; i < argc; i++)
        for (const CLI::App *sub : app.get_subcommands({}))
            if (sub->get_name() == argv[i])
                return argv[i];
    return "";
}

/* The whole command line, with the platform started around the command that runs. */
int vxpack_main(int argc, char **argv)
{
    using namespace vxpack;
    CLI::App app{"vxpack: prepares files for the Vornex installation tools: compressed files, "
                 "volume sets, files with %NAME% tokens filled in, checks of a shared "
                 "home, and the workstations' pass reports.",
                 "vxpack"};
    app.require_subcommand(1);
    pack_global g{false, false};
    app.add_flag("-q,--quiet", g.quiet, "No progress bar and no result lines");
    app.add_flag("--trace", g.trace, "List every platform call on standard error");
    app.set_version_flag("--version", "vxpack 1.0");

    std::vector<std::string> files;
    std::string out_dir;
    CLI::App *compress = app.add_subcommand(
        "compress", "Write each FILE's compressed copy beside it (SETUP.EXE -> _SETUP.EXE)");
    compress->add_option("FILE", files, "Files to compress")->required();
    compress->add_option("-o,--output", out_dir, "Write the compressed files into DIR")
        ->type_name("DIR");

    CLI::App *expand = app.add_subcommand(
        "expand", "Expand each FILE from its compressed copy (given SETUP.EXE, reads _SETUP.EXE)");
    expand->add_option("FILE", files, "Files to expand, by their expanded names")->required();
    expand->add_option("-o,--output", out_dir, "Write the expanded files into DIR")
        ->type_name("DIR");

    substitute_options sub{"", "", {}, "", false};
    CLI::App *substitute = app.add_subcommand(
        "substitute", "Copy IN to OUT with every %NAME% token replaced by NAME's value");
    substitute->add_option("IN", sub.in, "The file with tokens")->required();
    substitute->add_option("OUT", sub.out, "The file to write")->required();
    substitute->add_option("-s,--set", sub.sets, "A value: NAME=VALUE (repeat for more)")
        ->type_name("NAME=VALUE");
    substitute->add_option("--vars", sub.vars_file,
                           "An .ini file whose [Variables] section holds NAME=VALUE lines")
        ->type_name("FILE.ini");
    substitute->add_flag("--keep-unknown", sub.keep_unknown,
                         "Leave a token that has no value as it stands");

    check_options chk{"", ""};
    CLI::App *check = app.add_subcommand(
        "check", "Read a shared home as the agent does and report what would make a client "
                 "fail or surprise you");
    check->add_option("HOME", chk.home, "The shared home's folder (holding vxinst and bin)")
        ->required();
    check->add_option("--clients", chk.clients_dir,
                      "The clients directory, to check newclnts.ini too")
        ->type_name("DIR");

    report_options rep{"", "", "", false, 14};
    std::string stale = "14";
    CLI::App *report = app.add_subcommand(
        "report", "Show the pass reports the agents left in the clients directory, against "
                  "the registered clients");
    report->add_option("CLIENTS_DIR", rep.clients_dir,
                       "The clients directory (holding newclnts.ini and the reports' folder)")
        ->required();
    CLI::Option *report_home =
        report->add_option("--home", rep.home,
                           "The shared home: its vxinst\\VCSM.ini names the reports' folder "
                           "([Reports] Folder=), and its clients.ini registers clients")
            ->type_name("HOME");
    CLI::Option *report_folder =
        report->add_option("--folder", rep.folder,
                           "The reports' folder itself (clients are then registered by "
                           "newclnts.ini alone)")
            ->type_name("DIR");
    report_home->excludes(report_folder);
    report->add_flag("--csv", rep.csv, "Write the same as CSV, for a spreadsheet");
    report->add_option("--stale", stale,
                       "A last pass older than DAYS days is stale (default 14)")
        ->type_name("DAYS");
    report->footer("One line per workstation, then the registered clients that never reported, "
                   "the reports of names that are not registered, the clients whose last pass "
                   "is stale, and the files in the folder that are no sound report. Exit 0 when "
                   "every registered client reported a current pass within the stale limit, 1 "
                   "otherwise. Ages are counted from the clock's local time, or from VXPACK_NOW "
                   "when it is set (YYYY-MM-DD hh:mm:ss).");

    split_options spl{"", "", 0, 0, {}, 0, "", ""};
    std::string volume_size = "1457664", limits;
    CLI::App *split = app.add_subcommand(
        "split", "Spread FILE over a volume set of removable disks (on Linux: folders)");
    split->add_option("FILE", spl.file, "The file to spread (a compressed one keeps its name)")
        ->required();
    split->add_option("--label", spl.label, "The labels' word: DISK labels DISK 1, DISK 2, ...")
        ->required()->type_name("WORD");
    split->add_option("--pieces", spl.pieces, "How many pieces (default: as the file needs)")
        ->type_name("N");
    split->add_option("--volume-size", volume_size,
                      "What a volume holds: bytes, or K (1024 bytes) or M (1024K); 360K, 720K, "
                      "1.2M, 1.44M and 2.88M are what such a floppy disk holds (default 1.44M: "
                      "1457664 bytes). Every piece is at most this size, less --reserve")
        ->type_name("SIZE");
    split->add_option("--limits", limits, "The size of each piece, in order")
        ->type_name("A,B,...");
    split->add_option("--reserve", spl.reserve, "Bytes to leave free on each volume")
        ->type_name("BYTES");
    add_volume_options(split, spl.volumes, spl.drive, "Windows: the removable drive (default A:)");

    join_options joi{"", "", false, "", "", ""};
    CLI::App *join = app.add_subcommand(
        "join", "Read FILE back from a volume set (on Linux: folders) into one file");
    join->add_option("FILE", joi.file, "The file's name on the volumes")->required();
    join->add_option("--label", joi.label, "The labels' word, as split was given it")
        ->required()->type_name("WORD");
    join->add_flag("--expand", joi.expand,
                   "The pieces hold FILE's compressed copy: expand it while joining");
    join->add_option("-o,--output", joi.output, "The file to write (default: FILE here)")
        ->type_name("OUT");
    add_volume_options(join, joi.volumes, joi.drive, "Windows: the removable drive (default A:)");

    list_options lst{"", ""};
    CLI::App *list = app.add_subcommand(
        "list", "Show what the volumes hold and whether each set on them is complete");
    add_volume_options(list, lst.volumes, lst.drive, "Windows: the disk in the drive (default A:)");

    for (CLI::App *sub_app : app.get_subcommands({}))
        sub_app->fallthrough();
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError &e) {
        if (e.get_exit_code() == 0)
            return app.exit(e) == 0 ? EXIT_DONE : EXIT_USAGE;
        std::string command = command_named(app, argc, argv);
        for (int i = 1; command.empty() && i < argc; i++)
            if (argv[i][0] != '-')
                return usage_error(std::string(argv[i]) + " is not a command (compress, expand, "
                                   "substitute, check, report, split, join, list)", "");
        return usage_error(e.what(), command);
    }

    std::string label_problem =
        split->parsed() ? label_word_problem(spl.label, spl.pieces == 0 ? 1 : spl.pieces)
        : join->parsed() ? label_word_problem(joi.label, 1)
                         : "";
    for (const std::string &one : substitute->parsed() ? sub.sets : std::vector<std::string>{}) {
        size_t eq = one.find('=');
        if (eq == std::string::npos || eq == 0 || one.find('%') < eq)
            return usage_error("--set " + one + ": give NAME=VALUE, the name without %",
                               "substitute");
    }
    if (report->parsed()) {
        if (rep.home.empty() == rep.folder.empty())
            return usage_error("give the shared home with --home, or the reports' folder "
                               "with --folder", "report");
        char *end = NULL;
        unsigned long days = stale.empty() || stale[0] < '0' || stale[0] > '9'
                                 ? 0 : strtoul(stale.c_str(), &end, 10);
        if (end == NULL || *end != '\0' || days < 1 || days > 36500)
            return usage_error("--stale " + stale + ": give a number of days from 1 to 36500",
                               "report");
        rep.stale_days = (uint32_t)days;
    }
    if (!label_problem.empty())
        return usage_error(label_problem, split->parsed() ? "split" : "join");
    if (split->parsed()) {
        if (!parse_size(volume_size, &spl.volume_size) || spl.volume_size > 0xFFFFFFFFu) {
            return usage_error("--volume-size " + volume_size +
                                   ": give bytes, or a size such as 720K, 1.44M or 100M",
                               "split");
        }
        for (size_t at = 0; !limits.empty() && at != std::string::npos;) {
            size_t comma = limits.find(',', at);
            std::string one = limits.substr(at, comma == std::string::npos ? comma : comma - at);
            uint64_t bytes = 0;
            if (!parse_size(one, &bytes) || bytes > 0xFFFFFFFFu) {
                return usage_error("--limits " + limits + ": \"" + one + "\" is not a size",
                                   "split");
            }
            spl.limits.push_back((uint32_t)bytes);
            at = comma == std::string::npos ? comma : comma + 1;
        }
    }
    std::string volumes_problem;
    if ((split->parsed() && !volumes_options_valid(spl.volumes, spl.drive, &volumes_problem)) ||
        (join->parsed() && !volumes_options_valid(joi.volumes, joi.drive, &volumes_problem)) ||
        (list->parsed() && !volumes_options_valid(lst.volumes, lst.drive, &volumes_problem)))
        return usage_error(volumes_problem, split->parsed() ? "split"
                                            : join->parsed() ? "join"
                                                             : "list");
    std::string error;
    if (!host_start(g.trace, &error))
        return usage_error(error, "");
    int code = EXIT_USAGE;
    if (compress->parsed())
        code = cmd_compress(g, files, out_dir);
    else if (expand->parsed())
        code = cmd_expand(g, files, out_dir);
    else if (substitute->parsed())
        code = cmd_substitute(g, sub);
    else if (check->parsed())
        code = cmd_check(g, chk);
    else if (report->parsed())
        code = cmd_report(g, rep);
    else if (split->parsed())
        code = cmd_split(g, spl);
    else if (join->parsed())
        code = cmd_join(g, joi);
    else if (list->parsed())
        code = cmd_list(g, lst);
    fflush(stdout);
    host_stop();
    return code;
}

} // namespace

int main(int argc, char **argv)
{
    return vxpack_main(argc, argv);
}
