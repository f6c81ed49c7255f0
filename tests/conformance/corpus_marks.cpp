/* The file families' marked differences: where Wine answers otherwise than Windows is
 * documented to, the answer the simulation must give, derived from the recorded one. */
#include "conformance/corpus_marks.h"

#include "platform/os.h"

#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <vector>

const ws_difference CORPUS_CASE_ONLY_RENAME = {
    "a rename that changes only letter case", WS_WINDOWS,
    "documented: the moved entry takes the new name as given; Wine keeps the old spelling when "
    "the names differ only in letter case"};
const ws_difference CORPUS_REPLACE_READ_ONLY = {
    "MoveFileExA replacing a read-only file", WS_WINDOWS,
    "documented: a read-only target is not superseded (ERROR_ACCESS_DENIED); Wine replaces it"};
const ws_difference CORPUS_FOLDER_REPLACING_FILE = {
    "MoveFileExA replacing a file by a folder", WS_WINDOWS,
    "documented: MOVEFILE_REPLACE_EXISTING cannot be used when a name is a folder "
    "(ERROR_ACCESS_DENIED); Wine puts the folder in the file's place"};
const ws_difference CORPUS_FAILED_MOVE_KEEPS = {
    "a failed move that changes the folder", WS_WINDOWS,
    "documented: a move that fails leaves both names as they were; Wine deletes the target "
    "before it finds the folder would go below itself"};
const ws_difference CORPUS_LONG_CRT_NAME = {
    "the C runtime on a name past MAX_PATH", WS_WINDOWS,
    "documented: an ANSI file name holds at most MAX_PATH characters and msvcrt opens through "
    "the ANSI calls (ENOENT); Wine's runtime converts the name itself and creates the file"};
const ws_difference CORPUS_HIDDEN_WITH_READ_ONLY = {
    "hidden or system set together with read-only", WS_WINDOWS,
    "documented: SetFileAttributesA sets every attribute it is given; Wine drops hidden and "
    "system when read-only comes with them"};
const ws_difference CORPUS_ACCESS_MODE = {
    "_access with a mode it does not define", WS_WINDOWS,
    "documented: a mode other than 0, 2, 4 or 6 is an invalid parameter (EINVAL); Wine's msvcrt "
    "ignores the other bits"};

const ws_difference CORPUS_STAMPS_THROUGH_READ_HANDLE = {
    "SetFileTime through a handle opened for reading", WS_WINDOWS,
    "documented: the handle needs FILE_WRITE_ATTRIBUTES (ERROR_ACCESS_DENIED); Wine sets them"};
const ws_difference CORPUS_STAMP_RANGE = {
    "a stamp outside the Linux file system's range", WS_WINDOWS,
    "documented: a FILETIME counts 100 ns from 1601 and is kept as given; Wine keeps it in the "
    "Linux file's time, which holds 1901-12-13 to 2446-05-10 only"};
const ws_difference CORPUS_DRIVE_TYPE_OF_A_NAME = {
    "GetDriveTypeA of a relative name", WS_WINDOWS,
    "documented: a name that is no root answers DRIVE_NO_ROOT_DIR; Wine takes a one-letter "
    "name for that drive"};

namespace {

std::string folded(std::string s)
{
    for (char &c : s)
        if (c >= 'A' && c <= 'Z')
            c = (char)(c - 'A' + 'a');
    return s;
}

/* The fixture entry a name of the corpus reaches, as the listing spells it ("d\in.txt" for the
 * file in d), or "" when it reaches none (missing, invalid, or a file named as a folder). */
std::string fixture_entry(const std::string &name)
{
    if (name.empty() || name[0] == '=')
        return "";
    if (name == "<long 250>")
        return name;
    std::vector<std::string> parts;
    std::string cur;
    bool ends_in_separator = false;
    for (size_t i = 0; i <= name.size(); i++) {
        char c = i < name.size() ? name[i] : '\\';
        if (c != '\\' && c != '/') {
            cur += c;
            continue;
        }
        ends_in_separator = i < name.size() && i + 1 == name.size();
        if (cur == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (cur != "." && !cur.empty()) {
            while (!cur.empty() && (cur.back() == '.' || cur.back() == ' '))
                cur.pop_back();
            if (!cur.empty())
                parts.push_back(cur);
        }
        cur.clear();
    }
    std::string joined;
    for (const std::string &p : parts)
        joined += (joined.empty() ? "" : "\\") + folded(p);
    static const char *const files[][2] = {
        {"a.txt", "a.txt"}, {"ro.txt", "ro.txt"}, {"mixed.txt", "Mixed.TXT"},
        {"d\\in.txt", "d\\in.txt"}};
    for (const auto &f : files)
        if (joined == f[0])
            return ends_in_separator ? "" : f[1];
    if (joined == "d" || joined == "e")
        return joined;
    return "";
}

bool is_folder_entry(const std::string &entry)
{
    return entry == "d" || entry == "e";
}

/* The listing's spelling of an entry's name at the top of the folder. */
std::string listed(const std::string &entry)
{
    if (entry == "<long 250>")
        return entry;
    size_t cut = entry.rfind('\\');
    return "\"" + (cut == std::string::npos ? entry : entry.substr(cut + 1)) + "\"";
}

/* The recorded answer cut at its folder: the calls' part and the listing. */
bool split_answer(const std::string &answer, std::string *calls, std::string *folder)
{
    size_t at = answer.rfind("; folder ");
    if (at == std::string::npos)
        return false;
    *calls = answer.substr(0, at);
    *folder = answer.substr(at + 9);
    return true;
}

/* The top-level entries of a listing, split where no quotes or braces enclose the comma. */
std::vector<std::string> entries_of(const std::string &folder)
{
    std::vector<std::string> out;
    std::string cur;
    int depth = 0;
    bool quoted = false;
    for (size_t i = 0; i < folder.size(); i++) {
        char c = folder[i];
        if (quoted) {
            if (c == '\\' && i + 1 < folder.size())
                cur += folder[i++];
            else if (c == '"')
                quoted = false;
        } else if (c == '"') {
            quoted = true;
        } else if (c == '{') {
            depth++;
        } else if (c == '}') {
            depth--;
        } else if (c == ',' && depth == 0 && i + 1 < folder.size() && folder[i + 1] == ' ') {
            out.push_back(cur);
            cur.clear();
            i++;
            continue;
        }
        cur += c;
    }
    if (!cur.empty())
        out.push_back(cur);
    return out;
}

/* The name an entry of the listing sorts by (a long name is a run of L). */
std::string sort_key(const std::string &entry)
{
    if (entry.rfind("<long ", 0) == 0)
        return std::string(atoi(entry.c_str() + 6) / 10, 'L');
    size_t close = entry.find('"', 1);
    return entry.substr(1, close == std::string::npos ? std::string::npos : close - 1);
}

std::string joined_listing(std::vector<std::string> entries)
{
    std::sort(entries.begin(), entries.end(), [](const std::string &a, const std::string &b) {
        return sort_key(a) < sort_key(b);
    });
    std::string out;
    for (const std::string &e : entries)
        out += (out.empty() ? "" : ", ") + e;
    return out;
}

bool succeeded(const std::string &result)
{
    return result == "TRUE" || result == "0";
}

/* The result of the case's call: the part of the calls after a holder's, before a release. */
bool call_result(const std::string &calls, size_t *begin, size_t *end)
{
    *begin = calls.rfind("hold ", 0) == 0 ? calls.find("; ") + 2 : 0;
    if (*begin == 1)
        return false;
    size_t release = calls.find("; release ", *begin);
    *end = release == std::string::npos ? calls.size() : release;
    return true;
}

std::string with_result(const std::string &calls, const std::string &result)
{
    size_t begin, end;
    if (!call_result(calls, &begin, &end))
        return calls;
    return calls.substr(0, begin) + result + calls.substr(end);
}

std::string result_of(const std::string &calls)
{
    size_t begin, end;
    if (!call_result(calls, &begin, &end))
        return "";
    return calls.substr(begin, end - begin);
}

bool is_move(const corpus_file_op &op)
{
    return op.call == CORPUS_MOVE || op.call == CORPUS_MOVE_EX || op.call == CORPUS_RENAME;
}

} // namespace

/* The stamps family: what Windows answers where Wine sets stamps through a handle without the
 * right to, or keeps another stamp than the one given. */
static bool stamps_windows_answer(const corpus_file_case &c, const std::string &recorded,
                                  std::string *windows, const ws_difference **marker)
{
    if (!c.set_time || recorded.rfind("ok; SetFileTime ", 0) != 0)
        return false;
    if ((c.hold_mode & 3) == 0 || (c.hold_mode & 3) == 3) {
        size_t folder = recorded.find("; _lclose ");
        *marker = &CORPUS_STAMPS_THROUGH_READ_HANDLE;
        *windows = "ok; SetFileTime FALSE GLE 5; GetFileTime access fixture write fixture" +
                   recorded.substr(folder);
        return true;
    }
    if (recorded.find("; SetFileTime TRUE;") == std::string::npos)
        return false;
    /* A stamp shown as a bare value is one the host changed: Windows shows the one given. */
    std::string out = recorded;
    bool changed = false;
    static const char *const slots[2] = {" access ", " write "};
    for (int i = 0; i < 2; i++) {
        size_t at = out.find(slots[i], out.find("GetFileTime"));
        if (at == std::string::npos)
            return false;
        at += strlen(slots[i]);
        size_t end = out.find_first_of(" ;", at);
        std::string seen = out.substr(at, end - at);
        if (seen == "fixture" || seen == "table" || seen == "now")
            continue;
        uint64_t given = corpus_stamp_value(c.stamps[i + 1]);
        char text[40];
        snprintf(text, sizeof text, "table %08lx:%08lx", (unsigned long)(given >> 32),
                 (unsigned long)(uint32_t)given);
        out = out.substr(0, at) + text + out.substr(end);
        changed = true;
    }
    if (!changed)
        return false;
    *marker = &CORPUS_STAMP_RANGE;
    *windows = out;
    return true;
}

bool corpus_file_windows_answer(const corpus_case &c, const std::string &recorded,
                                std::string *windows, const ws_difference **marker)
{
    if (c.family == CORPUS_VOLUME && c.volume.call == CORPUS_DRIVE_TYPE && !c.volume.root.null &&
        c.volume.root.text.size() == 1 && isalpha((unsigned char)c.volume.root.text[0])) {
        *marker = &CORPUS_DRIVE_TYPE_OF_A_NAME;
        *windows = "1";
        return true;
    }
    if (c.family == CORPUS_FILE_STAMPS)
        return stamps_windows_answer(c.file, recorded, windows, marker);
    if (c.family < CORPUS_FILE_NAMES || c.family > CORPUS_FILE_SHARING)
        return false;
    const corpus_file_op &op = c.file.op;
    std::string calls, folder;
    if (!split_answer(recorded, &calls, &folder))
        return false;
    std::string result = result_of(calls);
    std::string from = fixture_entry(op.a), to = fixture_entry(op.b);
    const std::string fixture = corpus_fixture_listing();

    if (c.family == CORPUS_FILE_NAMES && op.call == CORPUS_ACCESS && (op.arg & ~6L) != 0) {
        *marker = &CORPUS_ACCESS_MODE;
        *windows = "-1 errno 22; folder " + folder;
        return true;
    }
    if (c.family == CORPUS_FILE_NAMES && op.call == CORPUS_FOPEN &&
        op.a.rfind("<long ", 0) == 0 && atoi(op.a.c_str() + 6) > MAX_PATH &&
        calls.rfind("ok", 0) == 0) {
        std::vector<std::string> kept;
        for (const std::string &e : entries_of(folder))
            if (e.rfind(op.a, 0) != 0)
                kept.push_back(e);
        *marker = &CORPUS_LONG_CRT_NAME;
        *windows = "NULL errno 2; folder " + joined_listing(kept);
        return true;
    }
    if (op.call == CORPUS_SET_ATTRIBUTES && (op.arg & 1) != 0 && (op.arg & 6) != 0 &&
        succeeded(result) && !from.empty() && !is_folder_entry(from)) {
        std::string name = from == "<long 250>" ? from : listed(from);
        size_t at = folder.find(name + "[r]");
        if (at == std::string::npos)
            return false;
        std::string marks = std::string("[r") + ((op.arg & 2) ? "h" : "") + ((op.arg & 4) ? "s" : "") + "]";
        *marker = &CORPUS_HIDDEN_WITH_READ_ONLY;
        *windows = calls + "; folder " + folder.substr(0, at) + name + marks +
                   folder.substr(at + name.size() + 3);
        return true;
    }
    if (!is_move(op))
        return false;
    bool replaces = op.call == CORPUS_MOVE_EX && (op.arg & 1) != 0;
    if (replaces && succeeded(result) && to == "ro.txt" && from != "ro.txt") {
        *marker = &CORPUS_REPLACE_READ_ONLY;
        *windows = with_result(calls, "FALSE GLE 5") + "; folder " + fixture;
        return true;
    }
    if (replaces && succeeded(result) && is_folder_entry(from) && !to.empty() &&
        !is_folder_entry(to)) {
        *marker = &CORPUS_FOLDER_REPLACING_FILE;
        *windows = with_result(calls, "FALSE GLE 5") + "; folder " + fixture;
        return true;
    }
    if (c.family == CORPUS_FILE_MOVES && !succeeded(result) && folder != fixture) {
        *marker = &CORPUS_FAILED_MOVE_KEEPS;
        *windows = calls + "; folder " + fixture;
        return true;
    }
    /* A rename between two spellings of one entry of the folder's top. */
    if (c.family == CORPUS_FILE_MOVES && succeeded(result) && !from.empty() && from == to &&
        from.find('\\') == std::string::npos && op.b.find_first_of("\\/") == std::string::npos) {
        std::string spelled = op.b;
        while (!spelled.empty() && (spelled.back() == '.' || spelled.back() == ' '))
            spelled.pop_back();
        if (spelled == from)
            return false;
        std::vector<std::string> entries = entries_of(folder);
        for (std::string &e : entries)
            if (e.rfind(listed(from), 0) == 0)
                e = "\"" + spelled + "\"" + e.substr(listed(from).size());
        *marker = &CORPUS_CASE_ONLY_RENAME;
        *windows = calls + "; folder " + joined_listing(entries);
        return true;
    }
    return false;
}
