/* klagent-sim's world: one pass of the agent on it, the report of what happened, and what the
 * agent changed written back into the world's files. */
#include "world.h"

#include "explain.h"

#include <cctype>
#include <cstdio>
#include <fstream>

#include "savefiles.h"
#include "textfile.h"
#include "world_internal.h"

namespace ksim {

namespace {

const char USAGE[] =
    "usage: klagent-sim [OPTIONS] WORLD [ARGS...] [-- ARGS...]\n"
    "  WORLD     a world directory holding world.ini, or the world's .ini file itself\n"
    "  ARGS      the agent's own arguments, passed on to the installer: every word after\n"
    "            WORLD that is not an option below, and every word after --\n"
    "options, wherever they stand before --:\n"
    "  --explain say in sentences why the pass ended as it did: the values read and from\n"
    "            where, the drives found or connected, how the time stamps compared\n"
    "  --trace   list every platform call with its arguments and result\n"
    "  --no-save leave the world's files as they are (by default what the agent changed in\n"
    "            the registry and its new drive connections are written back)\n"
    "  --save-outside\n"
    "            also write back files that the world names outside its own folder\n"
    "            (such as registry = ../server/SERVER.reg)\n"
    "  --help    show this text\n"
    "  --version show the version\n"
    "exit code: the agent's own (0), 1 when the world cannot be read or written back,\n"
    "2 when the command line is wrong\n";

const char VERSION[] = "klagent-sim 1.0\n";

/* What the command line asks for. */
struct command_line {
    bool trace = false;
    bool explain = false;
    bool save = true;
    bool save_outside = false;
    bool help = false;
    bool version = false;
    std::string world;
    std::vector<std::string> agent_args;
};

/* The tool's options wherever they stand, the world's name, every other word after it for the
 * agent, and after "--" every word for the agent. False with *error for an unknown option
 * before the world, or no world. */
bool parse_command_line(const std::vector<std::string> &args, command_line *c,
                        std::string *error)
{
    bool rest = false;
    bool have_world = false;
    for (const std::string &a : args) {
        if (!rest && a == "--") {
            rest = true;
        } else if (!rest && a == "--trace") {
            c->trace = true;
        } else if (!rest && a == "--explain") {
            c->explain = true;
        } else if (!rest && a == "--no-save") {
            c->save = false;
        } else if (!rest && a == "--save-outside") {
            c->save_outside = true;
        } else if (!rest && a == "--help") {
            c->help = true;
        } else if (!rest && a == "--version") {
            c->version = true;
        } else if (!have_world) {
            if (!rest && a.size() > 1 && a[0] == '-') {
                *error = "unknown option " + a;
                return false;
            }
            c->world = a;
            have_world = true;
        } else {
            c->agent_args.push_back(a);
        }
    }
    if (!have_world && !c->help && !c->version) {
        *error = "no world given";
        return false;
    }
    return true;
}

std::string key_text(HKEY root, const std::string &path)
{
    return std::string(reg_root_name(root)) + (path.empty() ? "" : "\\" + path);
}

std::string connection_text(const sim_connection &c)
{
    return (c.remembered_only ? "remembered " : "") + c.remote;
}

void report_outcome(FILE *out)
{
    const std::vector<sim_exec> &execs = sim_execs();
    const std::vector<sim_message_box> &boxes = sim_message_boxes();
    for (const sim_exec &e : execs) {
        if (e.result >= 32)
            fprintf(out, "installer started: %s\n", e.command_line.c_str());
        else
            fprintf(out, "installer not started (WinExec returned %u): %s\n", e.result,
                    e.command_line.c_str());
    }
    for (const sim_message_box &b : boxes)
        fprintf(out, "message box \"%s\":\n  %s\n", b.caption.c_str(), b.text.c_str());
    if (execs.empty() && boxes.empty())
        fprintf(out, "client is current: nothing started, nothing shown\n");
}

/* The pass report as the pass left it, and the events it logged: what an administrator would
 * find on the clients share and in the Application log. */
void report_written(FILE *out)
{
    for (const std::string &file : reports_written(sim_calls())) {
        fprintf(out, "report written: %s\n", file.c_str());
        std::ifstream in(sim_host_path(file.c_str()), std::ios::binary);
        std::string line;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            fprintf(out, "  %s\n", line.c_str());
        }
    }
    for (const sim_event &e : sim_events()) {
        std::string strings;
        for (const std::string &s : e.strings)
            strings += (strings.empty() ? "" : " | ") + s;
        fprintf(out, "event logged: Application, source \"%s\", %s %lu: %s\n", e.source.c_str(),
                e.type == EVENTLOG_ERROR_TYPE ? "error" : "event", (unsigned long)e.id,
                strings.c_str());
    }
}

/* On 64-bit Windows the 32-bit agent finds HKEY_LOCAL_MACHINE\SOFTWARE\X at
 * SOFTWARE\Wow6432Node\X: name the keys an administrator put only where it does not look. */
void report_views(const world &w, FILE *out)
{
    if (!w.wow64)
        return;
    for (const std::string &path : sim_reg_keys(NULL, HKEY_LOCAL_MACHINE)) {
        size_t cut = path.find('\\');
        if (cut == std::string::npos || path.find('\\', cut + 1) != std::string::npos ||
            text_lower(path.substr(0, cut)) != "software")
            continue;
        std::string name = path.substr(cut + 1);
        std::string redirected = path.substr(0, cut) + "\\Wow6432Node\\" + name;
        if (text_lower(name) == "wow6432node" ||
            sim_reg_key_exists(NULL, HKEY_LOCAL_MACHINE, redirected.c_str()))
            continue;
        fprintf(out,
                "note: HKEY_LOCAL_MACHINE\\%s is in the 64-bit view only; the agent, a 32-bit "
                "program on 64-bit Windows, reads HKEY_LOCAL_MACHINE\\%s\n",
                path.c_str(), redirected.c_str());
    }
}

/* The line of world.ini that names a file, for messages. */
std::string named_at(const world &w, int line)
{
    return line < 0 ? "" : w.ini_path + ":" + std::to_string(line + 1);
}

/* Report what the pass changed and, with save, write it into the world's files: all of them or
 * none (see save_files). */
bool save_world(world &w, const snapshot &before, const snapshot &after, bool save,
                bool save_outside, FILE *out, std::string *error)
{
    std::vector<ini_change> ini_changes;
    std::vector<save_target> targets;
    std::vector<std::string> saved;

    for (world_registry &r : w.registries) {
        std::vector<reg_change> changes = registry_changes(before, after, r.machine);
        for (const reg_change &c : changes) {
            std::string where = (r.machine.empty() ? "" : "\\\\" + r.machine + " ") +
                                key_text(reg_root_of(c.root), c.path);
            if (c.key_only)
                fprintf(out, "registry key created: %s\n", where.c_str());
            else if (c.remove)
                fprintf(out, "registry value deleted: %s: %s\n", where.c_str(),
                        c.name.empty() ? "@" : c.name.c_str());
            else
                fprintf(out, "registry value written: %s: %s = %s\n", where.c_str(),
                        c.name.empty() ? "@" : c.name.c_str(), show_data(c.type, c.data).c_str());
        }
        if (changes.empty() || !save)
            continue;
        bool named = !r.file_path.empty();
        if (!named) {
            /* The world had no file for this registry: start one and name it in the world. */
            r.file_key = r.machine.empty() ? "registry.reg" : r.machine + ".reg";
            r.file_path = w.dir + "/" + r.file_key;
            if (!reg_parse(r.file_path, "REGEDIT4\r\n", &r.file, error))
                return false;
            ini_changes.push_back(ini_change{r.section, "registry", r.file_key, false});
        }
        targets.push_back(save_target{r.file_path, reg_apply_changes(r.file, changes),
                                      named_at(w, r.file_line), !named});
        saved.push_back(r.file_key);
    }

    for (const sim_connection &c : after.connections) {
        const sim_connection *old = NULL;
        for (const sim_connection &o : before.connections)
            if (toupper((unsigned char)o.letter) == toupper((unsigned char)c.letter))
                old = &o;
        if (old != NULL && connection_text(*old) == connection_text(c))
            continue;
        std::string letter(1, (char)toupper((unsigned char)c.letter));
        fprintf(out, "drive connected: %s: = %s\n", letter.c_str(), connection_text(c).c_str());
        ini_changes.push_back(ini_change{"connections", letter, connection_text(c), false});
    }
    for (const sim_connection &o : before.connections) {
        bool kept = false;
        for (const sim_connection &c : after.connections)
            if (toupper((unsigned char)o.letter) == toupper((unsigned char)c.letter))
                kept = true;
        if (kept)
            continue;
        std::string letter(1, (char)toupper((unsigned char)o.letter));
        fprintf(out, "drive disconnected: %s:\n", letter.c_str());
        ini_changes.push_back(ini_change{"connections", letter, "", true});
        ini_changes.push_back(ini_change{"connections", letter + ":", "", true});
    }
    if (save && !ini_changes.empty()) {
        targets.push_back(
            save_target{w.ini_path, ini_apply_changes(w.ini, ini_changes), "", false});
        size_t slash = w.ini_path.rfind('/');
        saved.push_back(slash == std::string::npos ? w.ini_path : w.ini_path.substr(slash + 1));
    }
    if (targets.empty())
        return true;
    if (!save_files(targets, w.dir, save_outside, error))
        return false;
    std::string list;
    for (const std::string &name : saved)
        list += (list.empty() ? "" : ", ") + name;
    fprintf(out, "saved to the world: %s\n", list.c_str());
    return true;
}

} // namespace

int ksim_run(const std::vector<std::string> &args, FILE *out, FILE *err)
{
    command_line c;
    std::string error;
    if (!parse_command_line(args, &c, &error)) {
        fprintf(err, "klagent-sim: %s (klagent-sim --help shows the usage)\n", error.c_str());
        return 2;
    }
    if (c.help) {
        fputs(USAGE, out);
        return 0;
    }
    if (c.version) {
        fputs(VERSION, out);
        return 0;
    }
    const bool trace = c.trace, save = c.save, save_outside = c.save_outside;
    const std::string &world_arg = c.world;
    const std::vector<std::string> &agent_args = c.agent_args;

    world w;
    if (!world_load(world_arg, &w, &error)) {
        fprintf(err, "klagent-sim: %s\n", error.c_str());
        sim_reset();
        return 1;
    }

    std::vector<std::string> argv_text;
    argv_text.push_back(w.module);
    argv_text.insert(argv_text.end(), agent_args.begin(), agent_args.end());
    std::vector<const char *> argv;
    for (const std::string &a : argv_text)
        argv.push_back(a.c_str());
    sim_set_args((int)argv.size(), argv.data());
    std::string tail;
    for (const std::string &a : agent_args)
        tail += (tail.empty() ? "" : " ") + a;
    std::vector<char> tail_buf(tail.begin(), tail.end());
    tail_buf.push_back('\0');

    std::string shown = w.module;
    for (const std::string &a : agent_args)
        shown += " " + a;
    fprintf(out, "world: %s\n", w.ini_path.c_str());
    fprintf(out, "agent: %s\n", shown.c_str());
    fflush(out);

    snapshot before = take_snapshot(w);
    if (trace)
        sim_set_trace(out);
    int code = WinMain((HINSTANCE)(uintptr_t)0x400000, NULL, tail_buf.data(), SW_SHOWNORMAL);
    sim_set_trace(NULL);
    fflush(out);
    snapshot after = take_snapshot(w);

    report_outcome(out);
    report_written(out);
    report_views(w, out);
    if (c.explain) {
        fprintf(out, "why:\n");
        for (const std::string &line : explain_pass(sim_calls()))
            fprintf(out, "  %s\n", line.c_str());
    }
    if (!save_world(w, before, after, save, save_outside, out, &error)) {
        fprintf(err, "klagent-sim: %s\n", error.c_str());
        sim_reset();
        return 1;
    }
    fprintf(out, "exit code: %d\n", code);
    sim_reset();
    return code;
}

int ksim_main(int argc, char **argv, FILE *out, FILE *err)
{
    std::vector<std::string> args;
    for (int i = 1; i < argc; i++)
        args.push_back(argv[i]);
    return ksim_run(args, out, err);
}

} // namespace ksim
