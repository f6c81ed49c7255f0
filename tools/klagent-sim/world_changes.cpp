/* klagent-sim's view of what the agent's pass changed: the registries and drive connections
 * before and after, and their differences. */
#include "world_internal.h"

#include <cstdio>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "textfile.h"

namespace ksim {

namespace {

const HKEY ALL_ROOTS[] = {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS};

/* A key, or a value of a key, as one case-folded text: root NUL path, and for a value NUL name
 * after it (none of them can hold a NUL). Made in one piece, so that a registry of very many
 * values is compared quickly. */
void append_folded(std::string *id, const std::string &text)
{
    size_t at = id->size();
    id->append(text);
    for (size_t i = at; i < id->size(); i++)
        if ((*id)[i] >= 'A' && (*id)[i] <= 'Z')
            (*id)[i] = (char)((*id)[i] - 'A' + 'a');
}

std::string key_id(HKEY root, const std::string &path)
{
    std::string id;
    id.reserve(20 + path.size());
    id.append(reg_root_name(root));
    id.push_back('\0');
    append_folded(&id, path);
    return id;
}

std::string value_id(HKEY root, const sim_reg_value &v)
{
    std::string id = key_id(root, v.path);
    id.push_back('\0');
    append_folded(&id, v.name);
    return id;
}

/* The key part of a value's id. */
std::string_view key_part(const std::string &value_id)
{
    return std::string_view(value_id).substr(0, value_id.rfind('\0'));
}

template <typename T>
const std::vector<T> &of_machine(const std::map<std::string, std::vector<T>> &all,
                                 const std::string &machine)
{
    static const std::vector<T> NONE;
    auto it = all.find(machine);
    return it == all.end() ? NONE : it->second;
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

    /* Lookups by identity, so that a registry of many values is compared in linear time; each
     * id is made once and looked up through views of it. */
    std::vector<std::string> old_ids, new_ids, old_key_ids;
    old_ids.reserve(old_values.size());
    new_ids.reserve(new_values.size());
    old_key_ids.reserve(old_keys.size());
    for (const auto &p : old_values)
        old_ids.push_back(value_id(p.first, p.second));
    for (const auto &p : new_values)
        new_ids.push_back(value_id(p.first, p.second));
    for (const auto &k : old_keys)
        old_key_ids.push_back(key_id(k.first, k.second));
    std::unordered_map<std::string_view, size_t> old_at(old_ids.size());
    for (size_t i = 0; i < old_ids.size(); i++)
        old_at.emplace(old_ids[i], i);
    std::unordered_set<std::string_view> new_value_ids(new_ids.begin(), new_ids.end());
    std::unordered_set<std::string_view> keys_with_values(new_ids.size());
    for (const std::string &id : new_ids)
        keys_with_values.insert(key_part(id));
    std::unordered_set<std::string_view> known_keys(old_key_ids.begin(), old_key_ids.end());

    std::vector<reg_change> changes;
    for (const auto &k : new_keys) {
        std::string id = key_id(k.first, k.second);
        if (known_keys.count(id) == 0 && keys_with_values.count(id) == 0)
            changes.push_back(reg_change{reg_root_name(k.first), k.second, "", false, true, 0, ""});
    }
    for (size_t j = 0; j < new_values.size(); j++) {
        const sim_reg_value &v = new_values[j].second;
        auto old = old_at.find(new_ids[j]);
        if (old != old_at.end() && old_values[old->second].second.type == v.type &&
            old_values[old->second].second.data == v.data)
            continue;
        changes.push_back(reg_change{reg_root_name(new_values[j].first), v.path, v.name, false,
                                     false, v.type, v.data});
    }
    for (size_t i = 0; i < old_values.size(); i++)
        if (new_value_ids.count(old_ids[i]) == 0)
            changes.push_back(reg_change{reg_root_name(old_values[i].first),
                                         old_values[i].second.path, old_values[i].second.name,
                                         true, false, 0, ""});
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
