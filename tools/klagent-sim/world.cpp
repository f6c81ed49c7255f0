/* klagent-sim's world: reading it into the simulated workstation, running the agent's pass,
 * reporting what happened and writing what the agent changed back into the world's files. */
#include "world.h"

#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

#include "inifile.h"
#include "regfile.h"
#include "textfile.h"
#include "sim/sim.h"

namespace ksim {

namespace {

const char USAGE[] =
    "usage: klagent-sim [--trace] [--no-save] WORLD [ARGS...] [--trace]\n"
    "  WORLD     a world directory holding world.ini, or the world's .ini file itself\n"
    "  ARGS      the agent's own arguments, passed on to the installer\n"
    "  --trace   list every platform call with its arguments and result\n"
    "  --no-save leave the world's files as they are (by default what the agent changed in\n"
    "            the registry and its new drive connections are written back)\n";

const HKEY ALL_ROOTS[] = {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS};

/* A registry the world describes: the workstation's ("") or a server's. */
struct world_registry {
    std::string machine;
    std::string section;   /* the world file's section that names its file */
    std::string file_path; /* host path; empty when the world gives none */
    std::string file_key;  /* as written in the world file */
    reg_file file;
};

struct world {
    std::string ini_path;
    std::string dir;
    ini_file ini;
    std::string module;
    std::vector<world_registry> registries;
};

struct snapshot {
    /* machine -> values and keys of every root */
    std::map<std::string, std::vector<std::pair<HKEY, sim_reg_value>>> values;
    std::map<std::string, std::vector<std::pair<HKEY, std::string>>> keys;
    std::vector<sim_connection> connections;
};

std::string world_lower(std::string s)
{
    for (char &c : s)
        if (c >= 'A' && c <= 'Z')
            c = (char)(c + 32);
    return s;
}

bool is_dir(const std::string &path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool is_file(const std::string &path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string host_join(const std::string &dir, const std::string &rel)
{
    if (!rel.empty() && rel[0] == '/')
        return rel;
    return dir + "/" + rel;
}

bool write_text(const std::string &path, const std::string &text, std::string *error)
{
    std::string tmp = path + ".klagent-sim.tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        out << text;
        out.close();
        if (!out) {
            *error = tmp + ": cannot be written";
            return false;
        }
    }
    if (rename(tmp.c_str(), path.c_str()) != 0) {
        *error = path + ": cannot be replaced";
        remove(tmp.c_str());
        return false;
    }
    return true;
}

class loader {
public:
    loader(world *w, std::string *error) : w_(w), error_(error) {}

    bool load(const std::string &arg)
    {
        w_->ini_path = is_dir(arg) ? arg + "/world.ini" : arg;
        size_t slash = w_->ini_path.rfind('/');
        w_->dir = slash == std::string::npos ? "." : w_->ini_path.substr(0, slash);
        if (!is_file(w_->ini_path)) {
            *error_ = w_->ini_path + ": no such world file";
            return false;
        }
        if (!ini_read(w_->ini_path, &w_->ini, error_))
            return false;

        sim_reset();
        w_->registries.clear();
        w_->registries.push_back(world_registry{"", "workstation", "", "", reg_file()});
        for (const ini_section &s : w_->ini.sections) {
            bool ok;
            std::string name = world_lower(s.name);
            if (name == "workstation")
                ok = workstation(s);
            else if (name == "drives")
                ok = drives(s);
            else if (name.compare(0, 7, "server ") == 0)
                ok = server(s, text_trim(s.name.substr(7)));
            else if (name == "connections")
                ok = connections(s);
            else if (name == "programs")
                ok = programs(s);
            else
                ok = fail(s.line, "unknown section [" + s.name +
                                      "] (expected [workstation], [drives], [server NAME], "
                                      "[connections] or [programs])");
            if (!ok)
                return false;
        }
        if (w_->module.empty())
            return fail(0, "the world needs [workstation] module = the agent's path, such as "
                           "C:\\VORNEX\\KLAGENT.EXE");
        sim_set_module_path(w_->module.c_str());
        for (world_registry &r : w_->registries)
            if (!r.file_path.empty() && !load_registry(r))
                return false;
        return true;
    }

private:
    bool fail(int line, const std::string &what)
    {
        *error_ = w_->ini_path + ":" + std::to_string(line + 1) + ": " + what;
        return false;
    }

    bool registry_file(world_registry &r, const ini_entry &e)
    {
        if (e.value.empty())
            return fail(e.line, "registry = needs a .reg file");
        r.file_key = e.value;
        r.file_path = host_join(w_->dir, e.value);
        if (!is_file(r.file_path))
            return fail(e.line, "the registry file " + e.value + " does not exist");
        return true;
    }

    bool workstation(const ini_section &s)
    {
        for (const ini_entry &e : s.entries) {
            std::string key = world_lower(e.key);
            if (key == "name") {
                sim_set_computer_name(e.value.c_str());
            } else if (key == "module") {
                if (e.value.empty())
                    return fail(e.line, "module = needs the agent's Windows path");
                w_->module = e.value;
            } else if (key == "registry") {
                if (!registry_file(w_->registries[0], e))
                    return false;
            } else if (key == "windows") {
                sim_set_windows_dir(e.value.c_str());
            } else if (key == "version") {
                if (!version(e))
                    return false;
            } else {
                return fail(e.line, "unknown key " + e.key +
                                        " in [workstation] (expected name, module, registry, "
                                        "windows or version)");
            }
        }
        return true;
    }

    bool version(const ini_entry &e)
    {
        std::istringstream in(e.value);
        std::string family, number;
        in >> family >> number;
        DWORD id;
        DWORD major, minor;
        if (world_lower(family) == "nt") {
            id = VER_PLATFORM_WIN32_NT;
            major = 6;
            minor = 1;
        } else if (world_lower(family) == "win95") {
            id = VER_PLATFORM_WIN32_WINDOWS;
            major = 4;
            minor = 0;
        } else {
            return fail(e.line, "version = nt or win95, optionally with major.minor");
        }
        if (!number.empty()) {
            unsigned a = 0, b = 0;
            char dot = 0;
            std::istringstream n(number);
            if (!(n >> a >> dot >> b) || dot != '.')
                return fail(e.line, "version = nt or win95, optionally with major.minor");
            major = a;
            minor = b;
        }
        sim_set_version(id, major, minor);
        return true;
    }

    static bool letter_of(const std::string &key, char *letter)
    {
        if (key.size() == 2 && key[1] == ':')
            return letter_of(key.substr(0, 1), letter);
        if (key.size() != 1 || !isalpha((unsigned char)key[0]))
            return false;
        *letter = (char)toupper((unsigned char)key[0]);
        return true;
    }

    bool drives(const ini_section &s)
    {
        static const struct {
            const char *name;
            UINT type;
        } TYPES[] = {{"removable", DRIVE_REMOVABLE}, {"fixed", DRIVE_FIXED},
                     {"remote", DRIVE_REMOTE},       {"network", DRIVE_REMOTE},
                     {"cdrom", DRIVE_CDROM},         {"ramdisk", DRIVE_RAMDISK},
                     {"unknown", DRIVE_UNKNOWN}};
        for (const ini_entry &e : s.entries) {
            char letter;
            if (!letter_of(e.key, &letter))
                return fail(e.line, "a drive is named by its letter, not \"" + e.key + "\"");
            size_t comma = e.value.find(',');
            std::string type = world_lower(text_trim(e.value.substr(0, comma)));
            std::string dir = comma == std::string::npos ? "-" : text_trim(e.value.substr(comma + 1));
            UINT t = 0;
            bool known = false;
            for (const auto &row : TYPES)
                if (type == row.name) {
                    t = row.type;
                    known = true;
                }
            if (!known)
                return fail(e.line, "unknown drive type \"" + type +
                                        "\" (expected removable, fixed, remote, cdrom, ramdisk "
                                        "or unknown)");
            if (dir.empty() || dir == "-") {
                sim_add_drive(letter, t, NULL);
                continue;
            }
            std::string host = host_join(w_->dir, dir);
            if (!is_dir(host))
                return fail(e.line, "the backing directory " + dir + " of drive " +
                                        std::string(1, letter) + ": does not exist");
            sim_add_drive(letter, t, host.c_str());
        }
        return true;
    }

    bool server(const ini_section &s, const std::string &name)
    {
        if (name.empty())
            return fail(s.line, "a server section needs the machine's name: [server NAME]");
        sim_add_machine(name.c_str());
        w_->registries.push_back(world_registry{name, s.name, "", "", reg_file()});
        world_registry &r = w_->registries.back();
        for (const ini_entry &e : s.entries) {
            std::string key = world_lower(e.key);
            if (key == "registry") {
                if (!registry_file(r, e))
                    return false;
            } else if (key.compare(0, 6, "share ") == 0) {
                std::string share = text_trim(e.key.substr(6));
                std::string host = host_join(w_->dir, e.value);
                if (share.empty())
                    return fail(e.line, "share NAME = directory needs the share's name");
                if (e.value.empty() || !is_dir(host))
                    return fail(e.line, "the backing directory " + e.value + " of share " +
                                            share + " does not exist");
                sim_add_share(name.c_str(), share.c_str(), host.c_str());
            } else if (key == "deny") {
                std::istringstream in(e.value);
                std::string share;
                while (std::getline(in, share, ','))
                    if (!text_trim(share).empty())
                        sim_deny_share(name.c_str(), text_trim(share).c_str());
            } else if (key == "unreachable") {
                char *end = NULL;
                long err = strtol(e.value.c_str(), &end, 10);
                if (e.value.empty() || *end != '\0' || err <= 0)
                    return fail(e.line, "unreachable = the network error number, such as 53");
                sim_set_machine_unreachable(name.c_str(), (LONG)err);
            } else {
                return fail(e.line, "unknown key " + e.key + " in [" + s.name +
                                        "] (expected registry, share NAME, deny or unreachable)");
            }
        }
        return true;
    }

    bool connections(const ini_section &s)
    {
        for (const ini_entry &e : s.entries) {
            char letter;
            if (!letter_of(e.key, &letter))
                return fail(e.line, "a connection is named by its drive letter, not \"" + e.key +
                                        "\"");
            std::string remote = e.value;
            bool remembered = false;
            if (world_lower(remote).compare(0, 11, "remembered ") == 0) {
                remembered = true;
                remote = text_trim(remote.substr(11));
            }
            if (remote.size() < 5 || remote[0] != '\\' || remote[1] != '\\' ||
                remote.find('\\', 2) == std::string::npos)
                return fail(e.line, "a connection goes to \\\\server\\share, not \"" + remote +
                                        "\"");
            if (remembered)
                sim_remember(letter, remote.c_str());
            else
                sim_connect(letter, remote.c_str());
        }
        return true;
    }

    bool programs(const ini_section &s)
    {
        for (const ini_entry &e : s.entries) {
            char *end = NULL;
            long result = strtol(e.value.c_str(), &end, 10);
            if (e.value.empty() || *end != '\0' || result < 0)
                return fail(e.line, "a program's line gives WinExec's result, such as 2 or 33");
            sim_set_winexec_result(e.key.c_str(), (UINT)result);
        }
        return true;
    }

    bool load_registry(world_registry &r)
    {
        if (!reg_read(r.file_path, &r.file, error_)) {
            /* Name the file as the world file does. */
            if (error_->compare(0, r.file_path.size(), r.file_path) == 0)
                *error_ = host_join(w_->dir, r.file_key) + error_->substr(r.file_path.size());
            return false;
        }
        const char *machine = r.machine.empty() ? NULL : r.machine.c_str();
        for (const reg_model_key &k : reg_model(r.file)) {
            HKEY root = reg_root_of(k.root);
            if (!k.path.empty() && !sim_reg_create_key(machine, root, k.path.c_str())) {
                *error_ = r.file_path + ": the key " + k.root + "\\" + k.path +
                          " cannot be created";
                return false;
            }
            for (const reg_model_value &v : k.values)
                if (!sim_reg_set(machine, root, k.path.c_str(), v.name.c_str(), v.type,
                                 v.data.data(), (DWORD)v.data.size())) {
                    *error_ = r.file_path + ": the value " + v.name + " of " + k.root + "\\" +
                              k.path + " cannot be set";
                    return false;
                }
        }
        return true;
    }

    world *w_;
    std::string *error_;
};

snapshot take_snapshot(const world &w)
{
    snapshot s;
    for (const world_registry &r : w.registries) {
        const char *machine = r.machine.empty() ? NULL : r.machine.c_str();
        for (HKEY root : ALL_ROOTS) {
            for (const sim_reg_value &v : sim_reg_dump(machine, root))
                s.values[r.machine].push_back({root, v});
            for (const std::string &k : sim_reg_keys(machine, root))
                s.keys[r.machine].push_back({root, k});
        }
    }
    s.connections = sim_connections();
    return s;
}

std::string show_data(DWORD type, const std::string &data)
{
    if ((type == REG_SZ || type == REG_EXPAND_SZ) && !data.empty() && data.back() == '\0') {
        std::string text = data.substr(0, data.find('\0'));
        return "\"" + text + "\"" + (type == REG_EXPAND_SZ ? " (REG_EXPAND_SZ)" : "");
    }
    if (type == REG_DWORD && data.size() == 4) {
        uint32_t n = 0;
        for (int b = 3; b >= 0; b--)
            n = n * 256 + (unsigned char)data[(size_t)b];
        return std::to_string(n) + " (REG_DWORD)";
    }
    std::string hex;
    char byte[4];
    for (unsigned char c : data) {
        snprintf(byte, sizeof byte, "%02x", c);
        hex += (hex.empty() ? "" : ",") + std::string(byte);
    }
    return "hex(" + std::to_string(type) + "):" + hex;
}

std::string key_text(HKEY root, const std::string &path)
{
    return std::string(reg_root_name(root)) + (path.empty() ? "" : "\\" + path);
}

/* What the pass changed in one machine's registry, in dump order. */
std::vector<reg_change> registry_changes(const snapshot &before, const snapshot &after,
                                         const std::string &machine)
{
    std::vector<reg_change> changes;
    auto find_in = [](const std::vector<std::pair<HKEY, sim_reg_value>> &list, HKEY root,
                      const sim_reg_value &v) -> const sim_reg_value * {
        for (const auto &p : list)
            if (p.first == root && reg_names_equal(p.second.path, v.path) &&
                reg_names_equal(p.second.name, v.name))
                return &p.second;
        return NULL;
    };
    static const std::vector<std::pair<HKEY, sim_reg_value>> NO_VALUES;
    static const std::vector<std::pair<HKEY, std::string>> NO_KEYS;
    auto bv = before.values.find(machine);
    auto av = after.values.find(machine);
    const auto &old_values = bv == before.values.end() ? NO_VALUES : bv->second;
    const auto &new_values = av == after.values.end() ? NO_VALUES : av->second;
    auto bk = before.keys.find(machine);
    auto ak = after.keys.find(machine);
    const auto &old_keys = bk == before.keys.end() ? NO_KEYS : bk->second;
    const auto &new_keys = ak == after.keys.end() ? NO_KEYS : ak->second;

    for (const auto &k : new_keys) {
        bool known = false;
        for (const auto &o : old_keys)
            if (o.first == k.first && reg_names_equal(o.second, k.second))
                known = true;
        bool has_values = false;
        for (const auto &v : new_values)
            if (v.first == k.first && reg_names_equal(v.second.path, k.second))
                has_values = true;
        if (!known && !has_values)
            changes.push_back(reg_change{reg_root_name(k.first), k.second, "", false, true, 0, ""});
    }
    for (const auto &p : new_values) {
        const sim_reg_value *old = find_in(old_values, p.first, p.second);
        if (old != NULL && old->type == p.second.type && old->data == p.second.data)
            continue;
        changes.push_back(reg_change{reg_root_name(p.first), p.second.path, p.second.name, false,
                                     false, p.second.type, p.second.data});
    }
    for (const auto &p : old_values)
        if (find_in(new_values, p.first, p.second) == NULL)
            changes.push_back(reg_change{reg_root_name(p.first), p.second.path, p.second.name,
                                         true, false, 0, ""});
    return changes;
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

bool save_world(world &w, const snapshot &before, const snapshot &after, bool save, FILE *out,
                std::string *error)
{
    std::vector<ini_change> ini_changes;
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
        if (r.file_path.empty()) {
            /* The world had no file for this registry: start one and name it in the world. */
            r.file_key = r.machine.empty() ? "registry.reg" : r.machine + ".reg";
            r.file_path = host_join(w.dir, r.file_key);
            if (!reg_parse(r.file_path, "REGEDIT4\r\n", &r.file, error))
                return false;
            ini_changes.push_back(ini_change{r.section, "registry", r.file_key, false});
        }
        if (!write_text(r.file_path, reg_apply_changes(r.file, changes), error))
            return false;
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
        if (!write_text(w.ini_path, ini_apply_changes(w.ini, ini_changes), error))
            return false;
        size_t slash = w.ini_path.rfind('/');
        saved.push_back(slash == std::string::npos ? w.ini_path : w.ini_path.substr(slash + 1));
    }
    if (!saved.empty()) {
        std::string list;
        for (const std::string &s : saved)
            list += (list.empty() ? "" : ", ") + s;
        fprintf(out, "saved to the world: %s\n", list.c_str());
    }
    return true;
}

} // namespace

int ksim_run(const std::vector<std::string> &args, FILE *out, FILE *err)
{
    bool trace = false;
    bool save = true;
    size_t i = 0;
    for (; i < args.size() && args[i].compare(0, 2, "--") == 0; i++) {
        if (args[i] == "--trace") {
            trace = true;
        } else if (args[i] == "--no-save") {
            save = false;
        } else if (args[i] == "--help") {
            fputs(USAGE, out);
            return 0;
        } else {
            fprintf(err, "klagent-sim: unknown option %s\n%s", args[i].c_str(), USAGE);
            return 2;
        }
    }
    if (i == args.size()) {
        fputs(USAGE, err);
        return 2;
    }
    std::string world_arg = args[i++];
    std::vector<std::string> agent_args(args.begin() + (long)i, args.end());
    if (!agent_args.empty() && agent_args.back() == "--trace") {
        trace = true;
        agent_args.pop_back();
    }

    world w;
    std::string error;
    loader l(&w, &error);
    if (!l.load(world_arg)) {
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
    if (!save_world(w, before, after, save, out, &error)) {
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
