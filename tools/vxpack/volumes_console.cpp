/* The console disk prompt: what is in the drive, which disk is wanted, and consent before a
 * disk that holds anything is relabelled. */
#include "volumes_console.h"

#include <cctype>

#include "check_ini.h"
#include "pack_host.h"
#include "platform/os.h"
#include "platform/path.h"

namespace vxpack {

namespace {

/* The volume number of a label "word n" of this set's word, or 0 for any other label. */
long console_volume_of(const std::string &label, const std::string &word)
{
    size_t blank = label.find(' ');
    if (blank == std::string::npos || !ini_same(label.substr(0, blank), word))
        return 0;
    return strtol(label.c_str() + blank + 1, NULL, 10);
}

} // namespace

drive_contents console_read_drive(const std::string &root)
{
    drive_contents c{false, "", {}};
    char label[PATH_CAP] = "";
    if (!GetVolumeInformationA(root.c_str(), label, sizeof label, NULL, NULL, NULL, NULL, 0))
        return c;
    c.readable = true;
    c.label = label;
    std::string folder = root;
    while (!folder.empty() && folder.back() == '\\')
        folder.pop_back();
    host_list_files(folder, &c.files);
    return c;
}

std::string console_describe(const std::string &drive, const drive_contents &c)
{
    if (!c.readable)
        return "Drive " + drive + " holds no disk that can be read.";
    std::string text = "The disk in drive " + drive + " is " +
                       (c.label.empty() ? std::string("not labelled") :
                                          "labelled \"" + c.label + "\"");
    if (c.files.empty())
        return text + " and holds no files.";
    const size_t SHOWN = 4;
    text += " and holds ";
    for (size_t i = 0; i < c.files.size() && i < SHOWN; i++)
        text += (i == 0 ? "" : ", ") + c.files[i];
    if (c.files.size() > SHOWN)
        text += " and " + std::to_string(c.files.size() - SHOWN) + " more files";
    return text + ".";
}

void console_prompt(pack_volumes *v, char *drive_root, int32_t volume, int32_t *cancel,
                    const console_io &io)
{
    std::string wanted = volumes_label(v->label, volume);
    for (;;) {
        std::string drive = std::string(drive_root).substr(0, 2);
        drive_contents in = console_read_drive(drive_root);
        fprintf(io.out, "%s\n", console_describe(drive, in).c_str());
        bool in_place = in.readable && ini_same(in.label, wanted);
        /* What a split would label: only a blank disk goes without asking. */
        bool holds = in.readable && !in_place && (!in.label.empty() || !in.files.empty());
        long ours = holds ? console_volume_of(in.label, v->label) : 0;
        if (v->write && holds && ours > 0 && ours < volume)
            fprintf(io.out, "It is %s of this set: it keeps its label.\n", in.label.c_str());
        else if (v->write && holds && v->quiet) {
            v->failure = console_describe(drive, in) + " A split labels only a blank disk " +
                         "(without --quiet it asks before it relabels one)";
            *cancel = 1;
            return;
        } else if (v->write && holds)
            fprintf(io.out, "Type Y to label it %s (its files stay), or insert a blank disk "
                            "and press Enter.\n", wanted.c_str());
        fprintf(io.out,
                "Insert the disk labelled %s in drive %s and press Enter; type another drive, "
                "or Q to cancel: ",
                wanted.c_str(), drive.c_str());
        fflush(io.out);
        std::string line, root;
        if (!io.read_line(&line) || line == "q" || line == "Q") {
            fprintf(io.out, "\n");
            *cancel = 1;
            return;
        }
        if (line.empty()) {
            drive_contents now = console_read_drive(drive_root);
            bool now_holds = now.readable && !ini_same(now.label, wanted) &&
                             (!now.label.empty() || !now.files.empty());
            /* A join checks the label itself; a split must not label what holds anything. */
            if (!v->write || !now_holds)
                return;
            continue;
        }
        if ((line == "y" || line == "Y") && v->write && holds && !(ours > 0 && ours < volume))
            return;
        if (console_typed_drive(line, &root)) {
            snprintf(drive_root, PATH_CAP, "%s", root.c_str());
            drive_contents there = console_read_drive(drive_root);
            if (!v->write || !there.readable || ini_same(there.label, wanted) ||
                (there.label.empty() && there.files.empty()))
                return;
            continue;
        }
        fprintf(io.out, "\"%s\" is not a drive: type a letter and a colon, such as B:\n",
                line.c_str());
    }
}

bool console_typed_drive(const std::string &typed, std::string *root)
{
    std::string t = typed;
    while (!t.empty() && (t.back() == ' ' || t.back() == '\\' || t.back() == '/'))
        t.pop_back();
    if (t.size() != 2 || t[1] != ':' || !isalpha((unsigned char)t[0]))
        return false;
    *root = std::string(1, (char)toupper((unsigned char)t[0])) + ":\\";
    return true;
}

} // namespace vxpack
