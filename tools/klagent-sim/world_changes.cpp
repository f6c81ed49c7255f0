/* klagent-sim's view of what the agent's pass changed: the registries and drive connections
 * before and after, and their differences. */
#include "world_internal.h"

#include <algorithm>
#include <cstdio>
#include <unordered_map>
#include <unordered_set>

#include "textfile.h"

namespace ksim {

namespace {

const HKEY ALL_ROOTS[] = {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS};

template <typename T>
const std::vector<T> &of_machine(const std::map<std::string, std::vector<T>> &all,
                                 const std::string &machine)
{
    static const std::vector<T> NONE;
    auto it = all.find(machine);
    return it == all.end() ? NONE : it->second;
}

typedef std::pair<HKEY, sim_reg_value> dumped_value;
typedef std::pair<HKEY, std::string> dumped_key;

/* A key, or a value of a key, as one case-folded text: root NUL path, and for a value NUL name
 * after it (none of them can hold a NUL). */
void append_folded(std::string *id, const std::string &text)
{
    size_t at = id->size();
    id->append(text);
    for (size_t i = at; i < id->size(); i++)
        if ((*id)[i] >= 'A' && (*id)[i] <= 'Z')
            (*id)[i] = (char)((*id)[i] - 'A' + 'a');
}

std::string key_id(const dumped_key &k)
{
    std::string id(reg_root_name(k.first));
    id.push_back('\0');
    append_folded(&id, k.second);
    return id;
}

std::string value_id(const dumped_value &v)
{
    std::string id = key_id(dumped_key(v.first, v.second.path));
    id.push_back('\0');
    append_folded(&id, v.second.name);
    return id;
}

bool same_key(const dumped_key &a, const dumped_key &b)
{
    return a.first == b.first && text_names_equal(a.second, b.second);
}

bool same_value(const dumped_value &a, const dumped_value &b)
{
    return a.first == b.first && text_names_equal(a.second.name, b.second.name) &&
           text_names_equal(a.second.path, b.second.path);
}

/* How two dumps of one registry line up: the positions that name the same key or value, and
 * those of either side without a partner (deleted before, new after). */
struct alignment {
    std::vector<std::pair<size_t, size_t>> pairs; /* old position, new position */
    std::vector<size_t> only_old;                 /* ascending */
    std::vector<size_t> only_new;                 /* ascending */
};

/* A pass keeps the order of what it leaves alone (the registry lists keys and values in the
 * order they were made), so the dumps are walked side by side: a few new or deleted entries
 * are stepped over by looking a little ahead, without building anything. What the walk leaves
 * unpaired (an entry deleted and made again moves to the end of its key; long runs of changes
 * pass the look-ahead) is paired by identity afterwards, so the result is exact whatever the
 * pass did. */
template <typename T, typename Same, typename Id>
alignment align_dumps(const std::vector<T> &old_list, const std::vector<T> &new_list, Same same,
                      Id id)
{
    const size_t LOOK_AHEAD = 16;
    alignment a;
    size_t i = 0, j = 0;
    while (i < old_list.size() && j < new_list.size()) {
        if (same(old_list[i], new_list[j])) {
            a.pairs.push_back({i++, j++});
            continue;
        }
        size_t k = j + 1, stop = std::min(new_list.size(), j + 1 + LOOK_AHEAD);
        while (k < stop && !same(old_list[i], new_list[k]))
            k++;
        if (k < stop) {
            while (j < k)
                a.only_new.push_back(j++);
            continue;
        }
        size_t m = i + 1;
        stop = std::min(old_list.size(), i + 1 + LOOK_AHEAD);
        while (m < stop && !same(old_list[m], new_list[j]))
            m++;
        if (m < stop) {
            while (i < m)
                a.only_old.push_back(i++);
            continue;
        }
        a.only_old.push_back(i++);
        a.only_new.push_back(j++);
    }
    while (i < old_list.size())
        a.only_old.push_back(i++);
    while (j < new_list.size())
        a.only_new.push_back(j++);

    if (a.only_old.empty() || a.only_new.empty())
        return a;
    std::unordered_map<std::string, size_t> old_at;
    for (size_t x : a.only_old)
        old_at.emplace(id(old_list[x]), x);
    std::vector<bool> paired(old_list.size(), false);
    std::vector<size_t> still_new;
    for (size_t y : a.only_new) {
        auto it = old_at.find(id(new_list[y]));
        if (it == old_at.end()) {
            still_new.push_back(y);
            continue;
        }
        a.pairs.push_back({it->second, y});
        paired[it->second] = true;
    }
    std::vector<size_t> still_old;
    for (size_t x : a.only_old)
        if (!paired[x])
            still_old.push_back(x);
    a.only_old.swap(still_old);
    a.only_new.swap(still_new);
    return a;
}

} // namespace

snapshot take_snapshot(const world &w)
{
    snapshot s;
    for (const world_registry &r : w.registries) {
        const char *machine = r.machine.empty() ? NULL : r.machine.c_str();
        for (HKEY root : ALL_ROOTS) {
            for (sim_reg_value &v : sim_reg_dump(machine, root))
                s.values[r.machine].push_back({root, std::move(v)});
            for (std::string &k : sim_reg_keys(machine, root))
                s.keys[r.machine].push_back({root, std::move(k)});
        }
    }
    s.connections = sim_connections();
    return s;
}

std::vector<reg_change> registry_changes(const snapshot &before, const snapshot &after,
                                         const std::string &machine)
{
    const auto &old_values = of_machine(before.values, machine);
    const auto &new_values = of_machine(after.values, machine);
    const auto &old_keys = of_machine(before.keys, machine);
    const auto &new_keys = of_machine(after.keys, machine);
    std::vector<reg_change> changes;

    /* New keys that hold no value: a value would bring its key along when written back. */
    alignment keys = align_dumps(old_keys, new_keys, same_key, key_id);
    if (!keys.only_new.empty()) {
        std::unordered_set<std::string> holding;
        for (const dumped_value &v : new_values)
            holding.insert(key_id(dumped_key(v.first, v.second.path)));
        for (size_t y : keys.only_new)
            if (holding.count(key_id(new_keys[y])) == 0)
                changes.push_back(reg_change{reg_root_name(new_keys[y].first), new_keys[y].second,
                                             "", false, true, 0, ""});
    }

    alignment values = align_dumps(old_values, new_values, same_value, value_id);
    std::vector<size_t> written = values.only_new;
    for (const auto &p : values.pairs) {
        const sim_reg_value &was = old_values[p.first].second;
        const sim_reg_value &now = new_values[p.second].second;
        if (was.type != now.type || was.data != now.data)
            written.push_back(p.second);
    }
    std::sort(written.begin(), written.end());
    for (size_t y : written) {
        const sim_reg_value &v = new_values[y].second;
        changes.push_back(reg_change{reg_root_name(new_values[y].first), v.path, v.name, false,
                                     false, v.type, v.data});
    }
    for (size_t x : values.only_old)
        changes.push_back(reg_change{reg_root_name(old_values[x].first),
                                     old_values[x].second.path, old_values[x].second.name, true,
                                     false, 0, ""});
    return changes;
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

} // namespace ksim
