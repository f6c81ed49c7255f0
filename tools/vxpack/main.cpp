/* vxpack: the administrator's packaging tool. The command line, and nothing else. */
#include <CLI/CLI.hpp>

#include "pack_host.h"
#include "vxpack.h"

namespace {

/* The whole command line, with the platform started around the command that runs. */
int vxpack_main(int argc, char **argv)
{
    using namespace vxpack;
    CLI::App app{"vxpack: prepares files for the Vornex installation tools: compressed files, "
                 "files with %NAME% tokens filled in, and checks of a shared home.",
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

    for (CLI::App *sub_app : app.get_subcommands({}))
        sub_app->fallthrough();
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError &e) {
        return app.exit(e) == 0 ? EXIT_DONE : EXIT_USAGE;
    }

    std::string error;
    if (!host_start(g.trace, &error)) {
        fprintf(stderr, "vxpack: %s\n", error.c_str());
        return EXIT_USAGE;
    }
    int code = EXIT_USAGE;
    if (compress->parsed())
        code = cmd_compress(g, files, out_dir);
    else if (expand->parsed())
        code = cmd_expand(g, files, out_dir);
    else if (substitute->parsed())
        code = cmd_substitute(g, sub);
    else if (check->parsed())
        code = cmd_check(g, chk);
    fflush(stdout);
    host_stop();
    return code;
}

} // namespace

int main(int argc, char **argv)
{
    return vxpack_main(argc, argv);
}
