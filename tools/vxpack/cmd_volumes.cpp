/* vxpack split, join and list: volume sets through the engine's transfer_split and its joining
 * copy, the disk prompts answered as the platform allows. */
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "pack_host.h"
#include "pack_job.h"
#include "pack_report.h"
#include "pack_volumes.h"
#include "vxpack.h"
#include "check_ini.h"
#include "platform/os.h"
#include "platform/path.h"
#include "transfer/transfer.h"
#include "transfer/volume.h"

namespace vxpack {

namespace {

/* The names of the pieces of a set of n pieces of name, in order, as the engine names them. */
std::vector<std::string> piece_names(const std::string &name, uint32_t n)
{
    std::vector<std::string> out;
    char buf[PATH_CAP];
    snprintf(buf, sizeof buf, "%s", name.c_str());
    if (n <= 1)
        return {name};
    for (uint32_t i = 0; i < n; i++) {
        volume_next_piece_name(buf, i == 0, i + 1 == n && i > 0);
        out.push_back(buf);
    }
    return out;
}

/* A failure to reach the volumes, told of the --volumes folder, else of the file; a drive is
 * named by the words themselves ("A:: ..." would double its colon). */
void report_volumes_failure(const std::string &volumes, const std::string &file,
                            const std::string &error)
{
    if (!volumes.empty() || !file.empty())
        report_failure(!volumes.empty() ? volumes : file, error);
    else
        fprintf(stderr, "vxpack: %s\n", error.c_str());
}

/* Words for the statuses of a copy over volumes. */
bool volume_words(const pack_volumes &v, status_t rc, std::string *words)
{
    if (rc == STATUS_CANCELLED) {
        *words = v.failure.empty() ? "cancelled at the disk prompt" : v.failure;
        return true;
    }
    return false;
}

/* A piece found on a volume: the pieces of one file share every character of their names but
 * the piece's. */
struct piece {
    std::string key;   /* the name with ? at the piece position */
    char character;    /* 1 to 9, or 0 for the last */
    std::string label; /* of its volume */
    std::string shown; /* its volume, as list shows it */
    std::string name;  /* its own */
};

/* Whether the pieces of one set make the set: numbered pieces with consecutive characters
 * from 1 (or 2) on consecutive volumes of one label word, and the last piece 0 on the volume
 * after them. */
std::string set_state(const std::vector<piece> &found, const std::string &key)
{
    struct placed {
        char character;
        std::string word;
        long volume;
    };
    std::vector<placed> numbered;
    const placed *last = NULL;
    placed last_piece{0, "", 0};
    for (const piece &p : found) {
        if (!ini_same(p.key, key))
            continue;
        char word[PATH_CAP] = "";
        long volume = 0;
        sscanf(p.label.c_str(), "%259s %ld", word, &volume);
        placed x{p.character, word, volume};
        if (p.character == '0') {
            last_piece = x;
            last = &last_piece;
        } else {
            numbered.push_back(x);
        }
    }
    std::sort(numbered.begin(), numbered.end(),
              [](const placed &a, const placed &b) { return a.character < b.character; });
    if (numbered.empty())
        return last == NULL ? "incomplete" : "incomplete: only the last piece (0) is here";
    if (numbered[0].character > '2')
        return std::string("incomplete: piece 1 is missing");
    for (size_t i = 1; i < numbered.size(); i++) {
        if (numbered[i].character != numbered[i - 1].character + 1)
            return std::string("incomplete: piece ") + (char)(numbered[i - 1].character + 1) +
                   " is missing";
        if (!ini_same(numbered[i].word, numbered[0].word) ||
            numbered[i].volume != numbered[i - 1].volume + 1)
            return std::string("incomplete: piece ") + numbered[i].character +
                   " is not on the volume after piece " + numbered[i - 1].character;
    }
    const placed &end = numbered.back();
    if (last == NULL)
        return "incomplete: the last piece (0) is missing";
    if (ini_same(last->word, end.word) && last->volume > end.volume + 1)
        return std::string("incomplete: piece ") + (char)(end.character + 1) + " is missing";
    if (!ini_same(last->word, end.word) || last->volume != end.volume + 1)
        return "incomplete: the last piece (0) is not on the volume after piece " +
               std::string(1, end.character);
    return "complete: " + std::to_string(numbered.size() + 1) + " pieces on " +
           volumes_label(numbered[0].word, (int32_t)numbered[0].volume) + " to " +
           volumes_label(last->word, (int32_t)last->volume);
}

/* Two volumes that carry one label of a set make it ambiguous: a join would read whichever
 * comes first. The words that say so, naming both, or empty. */
std::string set_ambiguity(const std::vector<volume_info> &vols, const std::vector<piece> &found,
                          const std::string &key)
{
    for (const piece &p : found) {
        if (!ini_same(p.key, key))
            continue;
        std::string word = p.label.substr(0, p.label.find(' '));
        for (size_t i = 0; i < vols.size(); i++)
            for (size_t j = i + 1; j < vols.size(); j++)
                if (!vols[i].label.empty() && ini_same(vols[i].label, vols[j].label) &&
                    ini_same(vols[i].label.substr(0, vols[i].label.find(' ')), word))
                    return "ambiguous: " + vols[i].shown + " and " + vols[j].shown +
                           " both carry the label " + vols[i].label + " (take one of them away)";
    }
    return "";
}

/* Two pieces of one set on one volume whose names differ only in letter case: a join takes
 * them for one name and refuses the set. The words that say so, naming both, or "". */
std::string set_piece_spellings(const std::vector<piece> &found, const std::string &key)
{
    for (size_t i = 0; i < found.size(); i++)
        for (size_t j = i + 1; j < found.size(); j++)
            if (ini_same(found[i].key, key) && ini_same(found[j].key, key) &&
                found[i].character == found[j].character && found[i].shown == found[j].shown)
                return "ambiguous: " + found[i].shown + " holds " + found[i].name + " and " +
                       found[j].name + ", which differ only in letter case";
    return "";
}

/* What one volume read alone shows of a set: its pieces there, and that the rest was not
 * looked at. */
std::string seen_alone(const std::vector<piece> &found, const std::string &key)
{
    std::string seen;
    for (const piece &p : found)
        if (ini_same(p.key, key))
            seen += std::string(seen.empty() ? "" : ", ") + "piece " + p.character + " (on " +
                    (p.label.empty() ? std::string("a disk without label") : p.label) + ")";
    return seen + " here; its other pieces are on disks not read";
}

/* A file of an earlier set on a volume this split writes: the file under its own name or any
 * piece of it. A join reads a volume's file before its pieces and a numbered piece before the
 * last one, so such a file would be read in place of the new set's piece. Empty when the
 * volumes within reach (every folder on Linux, the disk in the drive on Windows) hold none. */
std::string earlier_set(const pack_volumes &v, const std::string &name, uint32_t pieces)
{
    std::vector<volume_info> vols;
    std::string error;
    if (!volumes_list(v, &vols, &error))
        return ""; /* nothing readable: the prompt asks for the disk */
    std::vector<std::string> names = piece_names(name, VOLUME_PIECES_MAX);
    names.push_back(name);
    for (const volume_info &vol : vols)
        for (uint32_t n = 1; n <= pieces; n++) {
            if (!ini_same(vol.label, volumes_label(v.label, (int32_t)n)))
                continue;
            for (const auto &f : vol.files)
                for (const std::string &p : names)
                    if (ini_same(f.first, p))
                        return vol.shown + " (" + vol.label + ") already holds " + f.first +
                               " of an earlier set, which a join would read: take it off or "
                               "split onto fresh volumes";
        }
    return "";
}

/* Whether a joined file is a compressed one: a compressed name (the base begins with an
 * underscore) and the header byte of the code width the engine's encoder writes. */
bool holds_compressed(const std::string &name, const std::string &path)
{
    const int ENCODER_WIDTH = 13;
    if (name.empty() || name[0] != '_')
        return false;
    FILE *f = crt_fopen(path.c_str(), "rb");
    if (f == NULL)
        return false;
    int first = fgetc(f);
    fclose(f);
    return first == ENCODER_WIDTH;
}

/* The names a join of name may read: the file under its own name, then its pieces (with
 * --expand, those of its compressed copy), as the engine steps them. */
std::vector<std::string> join_names(const std::string &name, bool expand)
{
    std::vector<std::string> out{expand ? names_compressed(name) : name};
    char buf[PATH_CAP];
    snprintf(buf, sizeof buf, "%s", name.c_str());
    for (uint32_t i = 0; i < VOLUME_PIECES_MAX; i++) {
        bool first = i == 0, last = i + 1 == VOLUME_PIECES_MAX;
        if (expand)
            volume_next_compressed_piece_name(buf, first, last);
        else
            volume_next_piece_name(buf, first, last);
        std::string piece = expand ? names_compressed(buf) : buf;
        if (std::find(out.begin(), out.end(), piece) == out.end())
            out.push_back(piece);
    }
    return out;
}

/* A file of a set on a volume within reach, as a join may read it. */
struct set_input {
    std::string label; /* of its volume */
    std::string shown; /* where it is, as the user sees it */
    std::string name;  /* the name of the set it answers to */
    host_file_state state;
};

/* The files on the volumes within reach that carry the word's labels whose names are among
 * names, in any letter case (the workstation finds them so); labels [out]: the labels of those
 * volumes. Nothing when the volumes cannot be listed. */
void set_inputs(const pack_volumes &v, const std::vector<std::string> &names,
                std::vector<set_input> *files, std::vector<std::string> *labels)
{
    std::vector<volume_info> vols;
    std::string error;
    files->clear();
    labels->clear();
    if (!volumes_list(v, &vols, &error))
        return;
    for (const volume_info &vol : vols) {
        if (!ini_same(vol.label.substr(0, vol.label.find(' ')), v.label))
            continue;
        labels->push_back(vol.label);
        for (size_t i = 0; i < vol.files.size(); i++)
            for (const std::string &n : names)
                if (ini_same(vol.files[i].first, n))
                    files->push_back(set_input{vol.label,
                                               vol.shown + host_separator() + vol.files[i].first,
                                               n,
                                               {vol.files[i].second, vol.written[i]}});
    }
}

/* Two files of one volume that differ only in letter case and answer to one name of the set:
 * the workstation would read either. The words that refuse the join, naming both, or "". */
std::string set_spelling_clash(const std::vector<set_input> &files)
{
    for (size_t i = 0; i < files.size(); i++)
        for (size_t j = i + 1; j < files.size(); j++)
            if (files[i].label == files[j].label && files[i].name == files[j].name)
                return files[i].shown + " and " + files[j].shown +
                       " differ only in letter case, and a join takes them for one name: "
                       "remove or rename one of them";
    return "";
}

/* The first file of before whose size or write time is not the same in after, or that is no
 * longer there, on a volume that after still reaches (Windows reaches only the disk in the
 * drive); "" when none. */
std::string set_input_changed(const std::vector<set_input> &before,
                              const std::vector<set_input> &after,
                              const std::vector<std::string> &labels_after)
{
    for (const set_input &b : before) {
        if (std::find(labels_after.begin(), labels_after.end(), b.label) == labels_after.end())
            continue;
        bool same = false;
        for (const set_input &a : after)
            if (a.label == b.label && a.shown == b.shown)
                same = a.state.size == b.state.size && a.state.written == b.state.written;
        if (!same)
            return b.shown;
    }
    return "";
}

} // namespace

std::string label_word_problem(const std::string &word, uint32_t volumes)
{
    const size_t LABEL_MAX = 11;
    if (word.empty())
        return "--label needs a word, such as DISK (the volumes are labelled DISK 1, DISK 2, ...)";
    for (char c : word) {
        unsigned char u = (unsigned char)c;
        if (u <= ' ' || u >= 0x7F || strchr("\"*+,./:;<=>?[\\]|", c) != NULL)
            return "--label " + word + ": a volume label cannot hold " +
                   (u == ' ' ? std::string("a blank in the word")
                    : u < ' ' || u >= 0x7F ? std::string("control or non-ASCII characters")
                                           : "\"" + std::string(1, c) + "\"") +
                   "; use letters, digits and - _";
    }
    std::string last = volumes_label(word, (int32_t)(volumes == 0 ? 1 : volumes));
    if (last.size() > LABEL_MAX)
        return "--label " + word + ": the label " + last + " is longer than the " +
               std::to_string(LABEL_MAX) + " characters a volume label holds";
    return "";
}

std::string volumes_label(const std::string &base, int32_t volume)
{
    return base + " " + std::to_string(volume);
}

int cmd_split(const pack_global &g, const split_options &o)
{
    pack_file source;
    std::string error;
    if (!names_file(o.file, &source))
        return EXIT_FAILED;
    pack_volumes v{o.volumes, o.drive, o.volume_size, true, o.label, ""};
    v.quiet = g.quiet;
    if (!label_word_problem(o.label, 1).empty()) {
        report_failure(o.file, label_word_problem(o.label, 1));
        return EXIT_FAILED;
    }
    if (!volumes_open(&v, &error)) {
        report_volumes_failure(o.volumes, o.file, error);
        return EXIT_FAILED;
    }
    uint64_t size = 0;
    if (!names_exists(source.path) || !host_file_size(o.file, &size)) {
        report_failure(source.shown, report_words(STATUS_NOT_FOUND, REPORT_SOURCE));
        return EXIT_FAILED;
    }
    uint32_t pieces = o.pieces;
    if (pieces == 0 && !o.limits.empty())
        pieces = (uint32_t)o.limits.size();
    if (o.volume_size < 512) {
        report_failure(o.file, "--volume-size " + std::to_string(o.volume_size) +
                                   ": a volume holds at least one sector of 512 bytes");
        return EXIT_FAILED;
    }
    /* Every piece gets a budget of its own, never the volume's free space: a split onto a
     * large disk would otherwise put the whole file into the first piece. */
    std::vector<uint32_t> budgets = o.limits;
    if (pieces > VOLUME_PIECES_MAX) {
        report_failure(o.file, "--pieces " + std::to_string(pieces) +
                                   ": a set has at most 10 pieces (the digits 1 to 9, then 0)");
        return EXIT_FAILED;
    }
    if (budgets.empty()) {
        if (o.volume_size / 512 * 512 <= o.reserve) {
            report_failure(o.file, "--reserve leaves nothing of a volume of " +
                                       report_size(o.volume_size));
            return EXIT_FAILED;
        }
        uint64_t per = o.volume_size / 512 * 512 - o.reserve;
        uint64_t needed = size == 0 ? 1 : (size + per - 1) / per;
        if (pieces == 0 && needed > VOLUME_PIECES_MAX) {
            report_failure(o.file, "needs " + std::to_string(needed) +
                                       " pieces, and a set has at most 10 (the digits 1 to 9, "
                                       "then 0): give a larger --volume-size");
            return EXIT_FAILED;
        }
        if (pieces == 0)
            pieces = (uint32_t)needed;
        budgets.assign(pieces, (uint32_t)std::min<uint64_t>(per, 0xFFFFFFFFu));
    }
    std::string name = names_last(o.file);
    if (!volume_pieces_fit(name.c_str(), pieces)) {
        report_failure(o.file, "needs " + std::to_string(pieces) +
                                   " pieces, and a set has at most 10 (the digits 1 to 9, then "
                                   "0): give a larger --volume-size");
        return EXIT_FAILED;
    }
    if (budgets.size() < pieces) {
        report_failure(o.file, "--limits gives " + std::to_string(o.limits.size()) +
                                   " sizes for " + std::to_string(pieces) + " pieces");
        return EXIT_FAILED;
    }
    std::string label_problem = label_word_problem(o.label, pieces);
    if (!label_problem.empty()) {
        report_failure(o.file, label_problem);
        return EXIT_FAILED;
    }
    /* The pieces must hold the whole file, and none may be left empty: a set with an empty
     * piece cannot be told from one cut short. */
    uint64_t before_last = 0, all = 0;
    for (uint32_t i = 0; i < pieces; i++) {
        all += budgets[i];
        if (i + 1 < pieces)
            before_last += budgets[i];
    }
    if (all < size) {
        report_failure(source.shown, report_size(size) + " do not fit " +
                                         std::to_string(pieces) + " piece" +
                                         (pieces == 1 ? "" : "s") + " of at most " +
                                         report_size(budgets[0]) +
                                         " (give more --pieces or a larger --volume-size)");
        return EXIT_FAILED;
    }
    if (pieces > 1 && before_last >= size) {
        report_failure(source.shown, report_size(size) + " leave the last of " +
                                         std::to_string(pieces) + " pieces empty (give fewer "
                                         "--pieces, or leave --pieces out)");
        return EXIT_FAILED;
    }
    std::string earlier = earlier_set(v, name, pieces);
    if (!earlier.empty()) {
        report_failure(source.shown, earlier);
        return EXIT_FAILED;
    }
    char target[PATH_CAP], label[PATH_CAP];
    snprintf(target, sizeof target, "%s", name.c_str());
    snprintf(label, sizeof label, "%s", o.label.c_str());
    uint32_t counter = 0;
    /* A source written to while it is read gives pieces of neither version. */
    host_file_state before, after;
    bool watched = host_file_state_of(source.path, &before);
    progress_begin(name, size, !g.quiet && host_stderr_is_terminal());
    status_t rc = transfer_split(source.path.c_str(), target, 1, pieces, o.reserve, 0, 0, 0,
                                 label, &v, volumes_prompt, progress_callback, NULL, 0,
                                 budgets.data(), &counter);
    progress_end();
    std::vector<std::string> names = piece_names(name, pieces);
    /* Checked whatever the split answered: a change explains a failure too. */
    if (watched && (!host_file_state_of(source.path, &after) || after.size != before.size ||
                    after.written != before.written)) {
        volumes_discard(v, 1, (int32_t)pieces, names);
        report_failure(source.shown, JOB_CHANGED_WORDS);
        return EXIT_FAILED;
    }
    if (rc != STATUS_OK) {
        volumes_discard(v, 1, (int32_t)pieces, names);
        std::string words;
        std::string at = volumes_label(o.label, (int32_t)counter + 1);
        if (!volume_words(v, rc, &words)) {
            if (rc == STATUS_WRITE_ERROR && counter >= pieces)
                words = "does not fit the " + std::to_string(pieces) + " volume" +
                        (pieces == 1 ? "" : "s") + " planned (give more --pieces or a larger "
                        "--volume-size)";
            else if (rc == STATUS_WRITE_ERROR)
                words = "cannot be written to " + at + ": the volume is full or "
                        "write-protected";
            else
                words = report_words(rc, report_side_of(rc));
        }
        report_failure(source.shown, words + "; nothing of the set is kept");
        return EXIT_FAILED;
    }
    if (!g.quiet) {
        std::string list;
        for (size_t i = 0; i < names.size(); i++)
            list += (i == 0 ? "" : ", ") + names[i] + " on " + volumes_label(o.label, (int32_t)i + 1);
        printf("%s -> %u piece%s: %s\n", source.shown.c_str(), pieces, pieces == 1 ? "" : "s",
               list.c_str());
    }
    return EXIT_DONE;
}

int cmd_join(const pack_global &g, const join_options &o)
{
    pack_volumes v{o.volumes, o.drive, 0, false, o.label, ""};
    std::string error;
    std::string name = names_last(o.file);
    if (!label_word_problem(o.label, 1).empty()) {
        report_failure(o.file, label_word_problem(o.label, 1));
        return EXIT_FAILED;
    }
    if (!volumes_open(&v, &error)) {
        report_volumes_failure(o.volumes, o.file, error);
        return EXIT_FAILED;
    }
    pack_file target, source;
    if (!names_file(o.output.empty() ? name : o.output, &target))
        return EXIT_FAILED;
    source.shown = o.expand ? names_compressed(name) : name;
    auto explain = [&](status_t rc, std::string *file, std::string *words) {
        *file = source.shown;
        if (volume_words(v, rc, words))
            return true;
        if (rc == STATUS_NOT_FOUND) {
            *words = "is not on " + volumes_label(o.label, 1) +
                     " as a file or as the first piece of a set, or the set's last piece is "
                     "missing (vxpack list shows what the volumes hold)";
            return true;
        }
        if (rc == STATUS_FILE_CORRUPT) {
            *words = "its pieces hold no valid compressed file" +
                     std::string(o.expand ? " (join without --expand?)" : "");
            return true;
        }
        return false;
    };
    /* The pieces as the volumes hold them now: one spelling each, and the same at the end. */
    std::vector<std::string> names = join_names(name, o.expand);
    std::vector<set_input> before, after;
    std::vector<std::string> labels;
    set_inputs(v, names, &before, &labels);
    std::string clash = set_spelling_clash(before);
    if (!clash.empty()) {
        report_failure(source.shown, clash);
        return EXIT_FAILED;
    }
    auto inputs = [&]() {
        set_inputs(v, names, &after, &labels);
        return set_input_changed(before, after, labels);
    };
    bool bar = !g.quiet && host_stderr_is_terminal();
    if (!job_write(source, target, name, 0, bar,
                   [&](const char *temp) {
                       char label[PATH_CAP];
                       snprintf(label, sizeof label, "%s", o.label.c_str());
                       return transfer_single(name.c_str(), temp, 1, 0, 0, o.expand ? 1 : 0, 0,
                                              label, &v, volumes_prompt, progress_callback,
                                              NULL, 0, 0, 0, NULL);
                   },
                   explain, inputs))
        return EXIT_FAILED;
    uint64_t size = 0;
    host_file_size(target.shown, &size);
    if (!g.quiet)
        printf("%s (from %s on) -> %s: %llu bytes%s\n", source.shown.c_str(),
               volumes_label(o.label, 1).c_str(), target.shown.c_str(),
               (unsigned long long)size, o.expand ? ", expanded" : "");
    if (!o.expand && holds_compressed(name, target.path)) {
        fflush(stdout);
        fprintf(stderr, "vxpack: %s: the set holds a compressed file, written as it is; join "
                        "it by its expanded name with --expand to get the file itself\n",
                target.shown.c_str());
    }
    return EXIT_DONE;
}

int cmd_list(const pack_global &g, const list_options &o)
{
    (void)g;
    pack_volumes v{o.volumes, o.drive, 0, false, "", ""};
    std::vector<volume_info> vols;
    std::string error;
    if (!volumes_list(v, &vols, &error)) {
        report_volumes_failure(o.volumes, "", error);
        return EXIT_FAILED;
    }
    if (vols.empty()) {
        report_failure(o.volumes, "holds no volumes: give the folder whose folders a split made");
        return EXIT_FAILED;
    }
    std::vector<piece> found;
    for (const volume_info &vol : vols) {
        printf("%s (%s)\n", vol.shown.c_str(),
               vol.label.empty() ? "no label" : ("label \"" + vol.label + "\"").c_str());
        for (const auto &f : vol.files) {
            printf("  %-14s %10llu bytes\n", f.first.c_str(), (unsigned long long)f.second);
            std::string base = f.first.substr(0, f.first.find('.'));
            size_t pos = base.size() == 8 ? 1 : 0;
            if (pos < base.size() && base[pos] == '_')
                pos++;
            if (pos < base.size() && base[pos] >= '0' && base[pos] <= '9') {
                std::string key = f.first;
                key[pos] = '?';
                found.push_back(piece{key, base[pos], vol.label, vol.shown, f.first});
            }
        }
    }
    std::vector<std::string> keys;
    for (const piece &p : found)
        if (std::none_of(keys.begin(), keys.end(),
                         [&](const std::string &k) { return ini_same(k, p.key); }))
            keys.push_back(p.key);
    bool alone = false;
    for (const volume_info &vol : vols)
        alone = alone || vol.alone;
    int incomplete = 0;
    for (const std::string &key : keys) {
        std::string state = set_piece_spellings(found, key);
        if (state.empty())
            state = alone ? seen_alone(found, key) : set_ambiguity(vols, found, key);
        if (state.empty())
            state = set_state(found, key);
        /* Not shown complete is not complete: a script that checks a set before it ships
         * must not pass on what was never seen. */
        if (state.compare(0, 8, "complete") != 0)
            incomplete++;
        printf("set %s: %s\n", key.c_str(), state.c_str());
    }
    if (alone)
        printf("Only %s was read: the disks of a set are read one at a time, so whether a set "
               "is complete shows when it is joined.\n",
               vols[0].shown.c_str());
    return incomplete == 0 ? EXIT_DONE : EXIT_FAILED;
}

} // namespace vxpack
