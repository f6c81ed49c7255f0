/* The agent's pass in words: the recorded platform calls read back as what the agent learned,
 * decided and did. */
#include "explain.h"

#include <cstdlib>
#include <map>
#include <set>

#include "platform/text.h"

namespace ksim {

namespace {

/* The quoted texts of a call's arguments or result, unescaped, in order. */
std::vector<std::string> quoted(const std::string &s)
{
    std::vector<std::string> out;
    for (size_t i = 0; i < s.size(); i++) {
        if (s[i] != '"')
            continue;
        std::string text;
        for (i++; i < s.size() && s[i] != '"'; i++) {
            if (s[i] == '\\' && i + 1 < s.size()) {
                char c = s[++i];
                if (c == 'x' && i + 2 < s.size()) {
                    text += (char)strtol(s.substr(i + 1, 2).c_str(), NULL, 16);
                    i += 2;
                } else {
                    text += c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c;
                }
            } else {
                text += s[i];
            }
        }
        out.push_back(text);
    }
    return out;
}

/* The number a result starts with. */
long result_number(const std::string &result)
{
    return strtol(result.c_str(), NULL, 0);
}

/* The handle after "-> " in a result, or "". */
std::string result_handle(const std::string &result)
{
    size_t arrow = result.find("-> ");
    if (arrow == std::string::npos)
        return "";
    size_t end = result.find(' ', arrow + 3);
    return result.substr(arrow + 3, end == std::string::npos ? std::string::npos : end - arrow - 3);
}

std::string first_field(const std::string &args)
{
    return args.substr(0, args.find(','));
}

struct key_place {
    std::string machine; /* "" for this workstation */
    std::string path;    /* below HKEY_LOCAL_MACHINE */
};

std::string registry_name(const std::string &machine)
{
    return machine.empty() ? "the workstation's registry" : machine + "'s registry";
}

/* The value a registry read found, as the registry holds it now. */
std::string value_text(const key_place &k, const std::string &name)
{
    DWORD type = 0;
    std::string data;
    if (!sim_reg_get(k.machine.empty() ? NULL : k.machine.c_str(), HKEY_LOCAL_MACHINE,
                     k.path.c_str(), name.c_str(), &type, &data))
        return "";
    return data.substr(0, data.find('\0'));
}

const char *drive_type_words(long type)
{
    switch (type) {
    case DRIVE_REMOVABLE:
        return "a removable drive";
    case DRIVE_FIXED:
        return "a fixed drive";
    case DRIVE_REMOTE:
        return "a network drive";
    case DRIVE_CDROM:
        return "a CD-ROM drive";
    case DRIVE_RAMDISK:
        return "a RAM disk";
    default:
        return "a drive of unknown type";
    }
}

class narrator {
public:
    std::vector<std::string> lines;

    void call(const sim_call &c)
    {
        std::vector<std::string> q = quoted(c.args);
        long rc = result_number(c.result);
        if (c.name == "GetPrivateProfileStringA" && q.size() >= 4 && q[0] == "Reports" &&
            q[1] == "Folder") {
            report_folder(q[3], rc, quoted(c.result));
            return;
        }
        /* The report comes after the outcome and changes nothing: only its writes count. */
        if (reporting_) {
            if (c.name == "WritePrivateProfileSectionA" && q.size() >= 3)
                report_write(q[0], q[2], rc, c.result);
            else if (c.name == "RegQueryValueExA" && !q.empty() && q[0] == "TIMESTAMP")
                report_reached_ = true;
            else if (c.name == "RegisterEventSourceA" && rc == 0)
                say("The failure could not be logged: the event log refused its source "
                    "(the pass is unchanged).");
            else if (c.name == "ReportEventA")
                say(rc != 0 ? "The failure was logged to the Application event log."
                            : "The event log refused the failure's event (the pass is "
                              "unchanged).");
            return;
        }
        if (c.name == "GetModuleFileNameA") {
            std::vector<std::string> r = quoted(c.result);
            if (!r.empty())
                module_ = r[0];
        } else if (c.name == "GetDriveTypeA" && !q.empty()) {
            start_drive(q[0], rc);
        } else if (c.name == "RegConnectRegistryA" && !q.empty()) {
            std::string machine = q[0].substr(q[0].find_first_not_of('\\'));
            if (rc == 0)
                keys_[result_handle(c.result)] = key_place{machine, ""};
            else
                cause("the registry of " + machine + " cannot be reached (error " +
                      std::to_string(rc) + ")");
        } else if ((c.name == "RegOpenKeyExA" || c.name == "RegCreateKeyExA") && !q.empty()) {
            open_key(first_field(c.args), q[0], rc, c.result);
        } else if (c.name == "RegQueryValueExA" && !q.empty()) {
            read_value(first_field(c.args), q[0], rc);
        } else if (c.name == "GetPrivateProfileStringA" && q.size() >= 4) {
            read_profile(q[0], q[1], q[3], rc, quoted(c.result));
        } else if (c.name == "_access" && !q.empty()) {
            say_once("The shared home " + q[0] +
                     (rc == 0 ? " exists, so its drive is not reconnected."
                              : " cannot be found, so the agent reconnects its drive letter."));
        } else if (c.name == "WNetGetConnectionA" && q.size() >= 2 && rc == 0) {
            found_[upper(q[0])] = q[1];
        } else if (c.name == "WNetAddConnection2A" && q.size() >= 2) {
            std::string letter = upper(q[0]);
            if (rc == 0) {
                connected_.insert(letter);
                say(letter + " was connected to " + q[1] + ".");
            } else {
                cause(letter + " could not be connected to " + q[1] + " (error " +
                      std::to_string(rc) + ")");
            }
        } else if (c.name == "RegSetValueExA" && !q.empty()) {
            wrote_value(first_field(c.args), q[0], rc);
        } else if (c.name == "WinExec" && !q.empty()) {
            launched(q[0], rc);
        } else if (c.name == "MessageBoxA" && !q.empty()) {
            message(q[0]);
        }
    }

    void finish()
    {
        if (!outcome_)
            say("The client is current: nothing was started and nothing was shown.");
        if (!reporting_)
            return;
        if (!report_refused_.empty())
            say("The pass report could not be written to " + report_file_ + " (" +
                report_refused_ + "); it was dropped and the pass is unchanged.");
        else if (!report_file_.empty())
            say("The pass report was written to " + report_file_ + ", section" +
                (report_sections_.size() > 1 ? "s " : " ") + join(report_sections_) + ".");
        else if (!report_reached_)
            say("No pass report was written: the folder \"" + report_folder_ +
                "\" would leave the clients directory, or the client's name cannot be a file "
                "name (a character Windows forbids, a device name such as CON, too long), or "
                "the path is too long.");
        else
            say("No pass report was written: its keys and values did not fit.");
    }

private:
    static std::string upper(std::string s)
    {
        for (char &c : s)
            if (c >= 'a' && c <= 'z')
                c = (char)(c - 32);
        return s;
    }

    void say(const std::string &s) { lines.push_back(s); }

    void say_once(const std::string &s)
    {
        if (said_.insert(s).second)
            say(s);
    }

    /* A failure that the outcome may owe to: the last one before it is named there. */
    void cause(const std::string &s)
    {
        last_cause_ = s;
        say_once(upper(s.substr(0, 1)) + s.substr(1) + ".");
    }

    void start_drive(const std::string &root, long type)
    {
        std::string mode = type == DRIVE_REMOTE ? "a network start: a failed check starts the "
                                                  "installer with /bootstrap and shows nothing"
                           : type == DRIVE_FIXED || type == DRIVE_REMOVABLE
                               ? "a local start: a failure shows a message box, and an out-of-"
                                 "date client starts the installer with /configure"
                               : "neither a local nor a network start";
        say("The agent was started as " + module_ + "; " + root + " is " +
            drive_type_words(type) + ", so this is " + mode + ".");
    }

    void open_key(const std::string &parent, const std::string &path, long rc,
                  const std::string &result)
    {
        key_place k;
        if (parent == "HKEY_LOCAL_MACHINE") {
            k.path = path;
        } else {
            auto it = keys_.find(parent);
            if (it == keys_.end())
                return;
            k = it->second;
            k.path = k.path.empty() ? path : k.path + "\\" + path;
        }
        if (rc == 0)
            keys_[result_handle(result)] = k;
        else
            cause("the key HKEY_LOCAL_MACHINE\\" + k.path + " is missing from " +
                  registry_name(k.machine) + (rc == 5 ? " or may not be read" : ""));
    }

    void read_value(const std::string &handle, const std::string &name, long rc)
    {
        auto it = keys_.find(handle);
        if (it == keys_.end())
            return;
        const key_place &k = it->second;
        std::string where = registry_name(k.machine) + " (HKEY_LOCAL_MACHINE\\" + k.path + ")";
        if (rc != 0) {
            cause(name + " is missing from " + where);
            return;
        }
        std::string value = value_text(k, name);
        if (name == "TIMESTAMP" && k.machine.empty())
            compare_stamps(value);
        else
            say_once("It read " + name + " = \"" + value + "\" from " + where + ".");
    }

    void read_profile(const std::string &section, const std::string &key,
                      const std::string &file, long n, const std::vector<std::string> &result)
    {
        std::string value = result.empty() ? "" : result[0];
        if (key == "TIMESTAMP") {
            if (n > 0) {
                server_stamp_ = value;
                stamp_place_ = file + ", section " + section;
                last_cause_.clear();
                say("The client's time stamp " + value + " was found in " + stamp_place_ + ".");
            } else if (stamp_missing_in_.empty()) {
                stamp_missing_in_ = file;
                say(file + " has no TIMESTAMP for the client in section " + section +
                    " (or it is empty), so the new-client list is asked.");
            } else {
                cause("neither " + stamp_missing_in_ + " nor " + file +
                      " holds a TIMESTAMP in section " + section +
                      ": the client is not registered");
            }
            return;
        }
        if (n > 0)
            say_once("It read " + key + " = \"" + value + "\" from " + file + ", section " +
                     section + ".");
        else
            cause(key + " is missing or empty in " + file + ", section " + section);
    }

    void compare_stamps(const std::string &local)
    {
        if (server_stamp_.empty())
            return;
        bool equal = text_versions_equal(local.c_str(), server_stamp_.c_str(), 1024) != 0;
        say("The local TIMESTAMP " + local + (equal ? " equals " : " differs from ") +
            server_stamp_ + " in " + stamp_place_ +
            (equal ? ": the client is current." : ": the installer is started."));
    }

    void wrote_value(const std::string &handle, const std::string &name, long rc)
    {
        auto it = keys_.find(handle);
        if (it == keys_.end())
            return;
        if (rc != 0) {
            cause(name + " could not be written to the workstation's registry (error " +
                  std::to_string(rc) + ")");
            return;
        }
        std::string value = value_text(it->second, name);
        std::string letter = upper(value.substr(0, 2));
        auto found = found_.find(letter);
        if (name == "CLIENTS_DIR" && !connected_.count(letter) && found != found_.end())
            say(letter + " was already connected to " + found->second +
                ", the clients directory, so no connection was made.");
        say(name + " = \"" + value + "\" was written to the workstation's registry.");
    }

    void launched(const std::string &command, long rc)
    {
        outcome_ = true;
        if (rc >= 32) {
            say("The installer was started: " + command + ".");
            return;
        }
        last_cause_ = "Windows refused to start the installer " + command +
                      " (WinExec returned " + std::to_string(rc) + ")";
        say(upper(last_cause_.substr(0, 1)) + last_cause_.substr(1) + ".");
    }

    void message(const std::string &text)
    {
        outcome_ = true;
        say("The message box says: \"" + text + "\"" +
            (last_cause_.empty() ? "." : ", because " + last_cause_ + "."));
    }

    /* Reports switched off say nothing: the pass is told as it always was. */
    static std::string write_error_text(long error)
    {
        switch (error) {
        case 0:
            return "";
        case ERROR_PATH_NOT_FOUND:
            return ": the folder does not exist (the agent never makes it)";
        case ERROR_ACCESS_DENIED:
            return ": access is denied (a read-only file, or no write access to the folder)";
        case 112:
            return ": the disk is full";
        default:
            return ", error " + std::to_string(error);
        }
    }

    void report_folder(const std::string &settings, long n, const std::vector<std::string> &r)
    {
        if (reporting_)
            return;
        if (n <= 0)
            return;
        reporting_ = true;
        report_folder_ = r.empty() ? "" : r[0];
        say("Reports are switched on in " + settings + " (section Reports, Folder = \"" +
            report_folder_ + "\").");
    }

    void report_write(const std::string &section, const std::string &file, long ok,
                      const std::string &result)
    {
        report_file_ = file;
        if (!ok) {
            size_t at = result.find("error ");
            long error = at == std::string::npos ? 0 : strtol(result.c_str() + at + 6, NULL, 10);
            if (report_refused_.empty())
                report_refused_ = "writing its section " + section + " was refused" +
                                  write_error_text(error);
            return;
        }
        if (report_sections_.empty() || report_sections_.back() != section)
            report_sections_.push_back(section);
    }

    static std::string join(const std::vector<std::string> &v)
    {
        std::string r;
        for (size_t i = 0; i < v.size(); i++)
            r += (i == 0 ? "" : " and ") + v[i];
        return r;
    }

    bool reporting_ = false;
    bool report_reached_ = false; /* the report got past its path to reading its values */
    std::string report_folder_, report_file_, report_refused_;
    std::vector<std::string> report_sections_;

    std::string module_;
    std::map<std::string, key_place> keys_;     /* open handle -> key */
    std::map<std::string, std::string> found_;  /* drive letter -> share it is connected to */
    std::set<std::string> connected_;           /* letters this pass connected */
    std::set<std::string> said_;
    std::string server_stamp_, stamp_place_, stamp_missing_in_, last_cause_;
    bool outcome_ = false;
};

} // namespace

std::vector<std::string> explain_pass(const std::vector<sim_call> &calls)
{
    narrator n;
    for (const sim_call &c : calls)
        n.call(c);
    n.finish();
    return n.lines;
}

std::vector<std::string> reports_written(const std::vector<sim_call> &calls)
{
    std::vector<std::string> files;
    for (const sim_call &c : calls) {
        std::vector<std::string> q = quoted(c.args);
        if (c.name != "WritePrivateProfileSectionA" || q.size() < 3 || result_number(c.result) == 0)
            continue;
        bool seen = false;
        for (const std::string &f : files)
            seen = seen || f == q[2];
        if (!seen)
            files.push_back(q[2]);
    }
    return files;
}

} // namespace ksim
