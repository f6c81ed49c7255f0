/* What klagent-sim reports as changed in a registry: against a plain pairwise comparison, over
 * random passes that write, rewrite, delete and write again, create keys and change letter
 * case. */
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "platform/os.h"
#include "sim/sim.h"
#include "tools/klagent-sim/world_internal.h"

using namespace ksim;

namespace {

/* The comparison written for clarity only: every new entry looked up among all old ones. */
std::vector<reg_change> oracle(const snapshot &before, const snapshot &after)
{
    auto values_of = [](const snapshot &s) {
        auto it = s.values.find("");
        return it == s.values.end() ? std::vector<std::pair<HKEY, sim_reg_value>>() : it->second;
    };
    auto keys_of = [](const snapshot &s) {
        auto it = s.keys.find("");
        return it == s.keys.end() ? std::vector<std::pair<HKEY, std::string>>() : it->second;
    };
    const auto old_values = values_of(before), new_values = values_of(after);
    const auto old_keys = keys_of(before), new_keys = keys_of(after);
    auto same_value = [](const std::pair<HKEY, sim_reg_value> &a,
                         const std::pair<HKEY, sim_reg_value> &b) {
        return a.first == b.first && reg_names_equal(a.second.path, b.second.path) &&
               reg_names_equal(a.second.name, b.second.name);
    };
    std::vector<reg_change> changes;
    for (const auto &k : new_keys) {
        bool known = false, has_values = false;
        for (const auto &o : old_keys)
            known = known || (o.first == k.first && reg_names_equal(o.second, k.second));
        for (const auto &v : new_values)
            has_values = has_values || (v.first == k.first && reg_names_equal(v.second.path, k.second));
        if (!known && !has_values)
            changes.push_back(reg_change{reg_root_name(k.first), k.second, "", false, true, 0, ""});
    }
    for (const auto &n : new_values) {
        const sim_reg_value *old = NULL;
        for (const auto &o : old_values)
            if (same_value(o, n))
                old = &o.second;
        if (old == NULL || old->type != n.second.type || old->data != n.second.data)
            changes.push_back(reg_change{reg_root_name(n.first), n.second.path, n.second.name,
                                         false, false, n.second.type, n.second.data});
    }
    for (const auto &o : old_values) {
        bool kept = false;
        for (const auto &n : new_values)
            kept = kept || same_value(o, n);
        if (!kept)
            changes.push_back(reg_change{reg_root_name(o.first), o.second.path, o.second.name,
                                         true, false, 0, ""});
    }
    return changes;
}

std::string describe(const std::vector<reg_change> &changes)
{
    std::string text;
    for (const reg_change &c : changes)
        text += (c.key_only ? "key " : c.remove ? "delete " : "write ") + c.root + "\\" + c.path +
                ": " + c.name + " = " + c.data.substr(0, c.data.find('\0')) + "\n";
    return text;
}

HKEY open_key(const std::string &path)
{
    HKEY key = NULL;
    DWORD disposition = 0;
    EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, NULL, 0, KEY_READ | KEY_WRITE, NULL,
                              &key, &disposition),
              ERROR_SUCCESS)
        << path;
    return key;
}

TEST(RegistryChanges, AgreeWithAPlainComparisonOverRandomPasses)
{
    world w;
    w.registries.push_back(world_registry{"", "workstation", "", "", -1, reg_file()});
    for (unsigned seed = 1; seed <= 200; seed++) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 rng(seed);
        auto pick = [&](unsigned n) { return (unsigned)(rng() % n); };
        sim_reset();
        /* A registry of a few keys holding many values, then a pass of a few operations. */
        const unsigned keys = 1 + pick(4), per_key = pick(60);
        for (unsigned k = 0; k < keys; k++)
            for (unsigned v = 0; v < per_key; v++)
                sim_reg_set_text(NULL, HKEY_LOCAL_MACHINE, ("SOFTWARE\\K" + std::to_string(k)).c_str(),
                                 ("V" + std::to_string(v)).c_str(), "old");
        snapshot before = take_snapshot(w);
        const unsigned operations = pick(40);
        for (unsigned n = 0; n < operations; n++) {
            std::string path = "SOFTWARE\\K" + std::to_string(pick(keys + 2));
            if (pick(4) == 0)
                path = "software\\k" + std::to_string(pick(keys + 2));
            if (pick(8) == 0)
                path += "\\SUB" + std::to_string(pick(3));
            std::string name = (pick(3) == 0 ? "v" : "V") + std::to_string(pick(per_key + 5));
            HKEY key = open_key(path);
            switch (pick(4)) {
            case 0:
                RegDeleteValueA(key, name.c_str());
                break;
            case 1:
                RegSetValueExA(key, name.c_str(), 0, REG_SZ, (const BYTE *)"old", 4);
                break;
            default:
                RegSetValueExA(key, name.c_str(), 0, REG_SZ, (const BYTE *)"new", 4);
                break;
            }
            RegCloseKey(key);
        }
        snapshot after = take_snapshot(w);
        EXPECT_EQ(describe(registry_changes(before, after, "")), describe(oracle(before, after)));
    }
    sim_reset();
}

} // namespace
