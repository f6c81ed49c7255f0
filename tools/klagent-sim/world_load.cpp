/* klagent-sim's world: reading world.ini and the registry files into the simulated
 * workstation. */
#include "world_internal.h"

#include <sys/stat.h>

#include <cctype>
#include <sstream>

#include "textfile.h"

namespace ksim {

namespace {

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

/* A number of decimal digits only, at most max; false for anything else, an overflow included. */
bool parse_number(const std::string &text, unsigned long long max, unsigned long long *out)
{
    unsigned long long n = 0;
    if (text.empty())
        return false;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        unsigned d = (unsigned)(c - '0');
        if (n > (max - d) / 10)
            return false;
        n = n * 10 + d;
    }
    *out = n;
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
        w_->registries.push_back(world_registry{"", "workstation", "", "", -1, reg_file()});
        for (const ini_section &s : w_->ini.sections) {
            bool ok;
            std::string name = text_lower(s.name);
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
        r.file_line = e.line;
        if (is_dir(r.file_path))
            return fail(e.line, "the registry file " + e.value + " is a directory, not a .reg file");
        if (!is_file(r.file_path))
            return fail(e.line, "the registry file " + e.value + " does not exist");
        return true;
    }

    bool workstation(const ini_section &s)
    {
        for (const ini_entry &e : s.entries) {
            std::string key = text_lower(e.key);
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
            } else if (key == "wow64") {
                std::string v = text_lower(text_trim(e.value));
                if (v != "yes" && v != "no")
                    return fail(e.line, "wow64 = yes (64-bit Windows) or no");
                w_->wow64 = v == "yes";
                sim_set_wow64(w_->wow64);
            } else {
                return fail(e.line, "unknown key " + e.key +
                                        " in [workstation] (expected name, module, registry, "
                                        "windows, version or wow64)");
            }
        }
        return true;
    }

    bool version(const ini_entry &e)
    {
        static const char USAGE[] = "version = nt or win95, optionally with major.minor";
        std::istringstream in(e.value);
        std::string family, number, more;
        in >> family >> number >> more;
        DWORD id;
        unsigned long long major, minor;
        if (text_lower(family) == "nt") {
            id = VER_PLATFORM_WIN32_NT;
            major = 6;
            minor = 1;
        } else if (text_lower(family) == "win95") {
            id = VER_PLATFORM_WIN32_WINDOWS;
            major = 4;
            minor = 0;
        } else {
            return fail(e.line, USAGE);
        }
        if (!more.empty())
            return fail(e.line, USAGE);
        if (!number.empty()) {
            size_t dot = number.find('.');
            if (dot == std::string::npos ||
                !parse_number(number.substr(0, dot), 0xFFFFFFFFu, &major) ||
                !parse_number(number.substr(dot + 1), 0xFFFFFFFFu, &minor))
                return fail(e.line, std::string(USAGE) + " (each 0 to 4294967295)");
        }
        sim_set_version(id, (DWORD)major, (DWORD)minor);
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
            std::string type = text_lower(text_trim(e.value.substr(0, comma)));
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
        /* The name also names the server's registry file, when the world gives none. */
        if (name.find_first_of("/\\") != std::string::npos)
            return fail(s.line, "a machine's name has no / or \\ in it: [" + s.name + "]");
        sim_add_machine(name.c_str());
        w_->registries.push_back(world_registry{name, s.name, "", "", -1, reg_file()});
        world_registry &r = w_->registries.back();
        for (const ini_entry &e : s.entries) {
            std::string key = text_lower(e.key);
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
                /* The error number RegConnectRegistryA returns: a LONG, and not success. */
                unsigned long long err = 0;
                if (!parse_number(e.value, 0x7FFFFFFF, &err) || err == 0)
                    return fail(e.line, "unreachable = the network error number, such as 53 "
                                        "(1 to 2147483647)");
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
            if (text_lower(remote).compare(0, 11, "remembered ") == 0) {
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
            /* WinExec's result is a UINT. */
            unsigned long long result = 0;
            if (!parse_number(e.value, 0xFFFFFFFFu, &result))
                return fail(e.line, "a program's line gives WinExec's result, such as 2 or 33 "
                                    "(0 to 4294967295)");
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
        /* Without deletions the sections can go into the registry as they stand, in file order:
         * the registry keeps keys and values in the order of their first appearance and lets a
         * later definition win, as the model does. With deletions the model applies them. */
        if (!reg_has_deletions(r.file)) {
            for (const reg_section &sec : r.file.sections) {
                HKEY root = reg_root_of(sec.root);
                if (!registry_key(r, machine, root, sec.path, sec.values.empty()))
                    return false;
                for (const reg_line_value &v : sec.values)
                    if (!registry_value(r, machine, root, sec.path, v.name, v.type, v.data))
                        return false;
            }
            return true;
        }
        for (const reg_model_key &k : reg_model(r.file)) {
            HKEY root = reg_root_of(k.root);
            if (!registry_key(r, machine, root, k.path, k.values.empty()))
                return false;
            for (const reg_model_value &v : k.values)
                if (!registry_value(r, machine, root, k.path, v.name, v.type, v.data))
                    return false;
        }
        return true;
    }

    /* A key with values is made by its first value; one without is made here. */
    bool registry_key(const world_registry &r, const char *machine, HKEY root,
                      const std::string &path, bool without_values)
    {
        if (path.empty() || !without_values || sim_reg_create_key(machine, root, path.c_str()))
            return true;
        *error_ = r.file_path + ": the key " + reg_root_name(root) + "\\" + path +
                  " cannot be created";
        return false;
    }

    bool registry_value(const world_registry &r, const char *machine, HKEY root,
                        const std::string &path, const std::string &name, DWORD type,
                        const std::string &data)
    {
        if (sim_reg_set(machine, root, path.c_str(), name.c_str(), type, data.data(),
                        (DWORD)data.size()))
            return true;
        *error_ = r.file_path + ": the value " + name + " of " + reg_root_name(root) + "\\" +
                  path + " cannot be set";
        return false;
    }

    world *w_;
    std::string *error_;
};

} // namespace

bool world_load(const std::string &arg, world *w, std::string *error)
{
    loader l(w, error);
    return l.load(arg);
}

} // namespace ksim
