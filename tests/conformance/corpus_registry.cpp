/* The corpus's registry family: RegSetValueExA with every type, size and terminator shape, then
 * RegQueryValueExA with every name, buffer and size shape. */
#include "conformance/corpus.h"

#include <string.h>

#include "platform/os.h"

static const unsigned char CORPUS_REG_POISON = 0xCC;
static const uint32_t CORPUS_REG_TYPE_POISON = 0xCCCCCCCCu;
#define CORPUS_REG_QWORD 11
#define CORPUS_REG_ODD_TYPE 0x1234

/* What the caller's buffer holds from its start; the set call gets a size around it. */
static const std::string corpus_reg_shapes[] = {
    std::string("abc"),
    std::string(""),
    std::string("a\0b", 3),
    std::string("ab\0\0", 4),
    std::string("a\0bc\0\0", 6),
    std::string("a\0bc", 4),
    std::string("\x01\x02\x00\x41", 4),
    std::string("\x78\x56\x34\x12", 4),
    std::string("%WINDIR%\\x"),
    std::string("abcdef"),
    std::string("\0", 1),
    std::string(1023, 'x'),
    std::string(1024, 'y'),
    std::string(1025, 'z'),
};
/* The bytes after the shape: whether a terminator follows the data decides what is stored. */
static const std::string corpus_reg_tails[] = {
    std::string("\0\0", 2), std::string("Z\0", 2), std::string("\0Z", 2), std::string("ZZ"),
};
static const uint32_t corpus_reg_types[] = {
    REG_SZ,    REG_SZ,           REG_SZ,       REG_EXPAND_SZ, REG_MULTI_SZ,     REG_MULTI_SZ,
    REG_NONE,  REG_BINARY,       REG_DWORD,    REG_DWORD,     REG_DWORD_BIG_ENDIAN,
    CORPUS_REG_QWORD, CORPUS_REG_ODD_TYPE,
};

static corpus_text corpus_reg_name(corpus_rng *rng, const corpus_text &set)
{
    uint32_t n = corpus_rng_below(rng, 100);
    if (n < 55)
        return set;
    if (n < 65)
        return corpus_text{false, "v"}; /* the other letter case of "V" */
    if (n < 75)
        return corpus_text{false, ""};
    if (n < 85)
        return corpus_text{true, ""};
    return corpus_text{false, "Nope"};
}

void corpus_make_registry(corpus_rng *rng, corpus_registry_case *out)
{
    uint32_t n = corpus_rng_below(rng, 100);
    out->set_name = n < 75 ? corpus_text{false, "V"} : n < 90 ? corpus_text{false, ""}
                                                              : corpus_text{true, ""};
    out->type = corpus_pick(rng, corpus_reg_types);
    std::string shape = corpus_pick(rng, corpus_reg_shapes);
    out->data = shape + corpus_pick(rng, corpus_reg_tails);
    out->data_null = corpus_rng_chance(rng, 4);
    uint32_t len = (uint32_t)shape.size();
    uint32_t c = corpus_rng_below(rng, 100);
    out->cb = c < 30 ? len : c < 60 ? len + 1 : c < 70 ? len + 2 : c < 85 ? (len > 0 ? len - 1 : 0)
                                                                          : (c < 95 ? 0 : 3);
    /* Wine 8 crashes converting a null text of non-zero size. */
    bool text = out->type == REG_SZ || out->type == REG_EXPAND_SZ || out->type == REG_MULTI_SZ;
    if (out->data_null && (text || corpus_rng_chance(rng, 70)))
        out->cb = 0;
    out->query_name = corpus_reg_name(rng, out->set_name);
    out->type_null = corpus_rng_chance(rng, 15);
    out->query_data_null = corpus_rng_chance(rng, 20);
    out->query_cb_null = out->query_data_null && corpus_rng_chance(rng, 15);
    static const uint32_t sizes[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 1023, 1024, 1025, 2048};
    uint32_t q = corpus_rng_below(rng, 100);
    out->query_cb = q < 50   ? corpus_pick(rng, sizes)
                    : q < 80 ? len + corpus_rng_below(rng, 4) - (len > 0 ? 1 : 0)
                             : corpus_rng_below(rng, 13);
}

static const char *corpus_reg_type_name(uint32_t type)
{
    switch (type) {
    case REG_NONE: return "REG_NONE";
    case REG_SZ: return "REG_SZ";
    case REG_EXPAND_SZ: return "REG_EXPAND_SZ";
    case REG_BINARY: return "REG_BINARY";
    case REG_DWORD: return "REG_DWORD";
    case REG_DWORD_BIG_ENDIAN: return "REG_DWORD_BIG_ENDIAN";
    case REG_MULTI_SZ: return "REG_MULTI_SZ";
    case CORPUS_REG_QWORD: return "REG_QWORD";
    default: return "type 0x1234";
    }
}

std::string corpus_describe_registry(const corpus_registry_case &c)
{
    return "RegSetValueExA(" + corpus_quote_text(c.set_name) + ", " +
           corpus_reg_type_name(c.type) + ", " + (c.data_null ? "NULL" : corpus_quote(c.data)) +
           ", cb " + corpus_num(c.cb) + "); RegQueryValueExA(" + corpus_quote_text(c.query_name) +
           ", " + (c.type_null ? "type NULL" : "&type") + ", " +
           (c.query_data_null ? "data NULL" : "data") + ", " +
           (c.query_cb_null ? "cb NULL" : "cb " + corpus_num(c.query_cb)) + ")";
}

static const char *corpus_reg_arg(const corpus_text &t)
{
    return t.null ? NULL : t.text.c_str();
}

std::string corpus_run_registry(const corpus_registry_case &c, int id,
                                const corpus_place_root &root)
{
    (void)id;
    HKEY key = NULL;
    DWORD disposition = 0;
    LONG rc = RegCreateKeyExA(HKEY_LOCAL_MACHINE, root.hklm_key.c_str(), 0, NULL,
                              REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE, NULL, &key,
                              &disposition);
    if (rc != ERROR_SUCCESS)
        return "set-up failed: RegCreateKeyExA " + corpus_num(rc);
    /* Every case starts with neither of the names the cases use. */
    RegDeleteValueA(key, "V");
    RegDeleteValueA(key, "");

    /* The set call may look one byte past its data; the buffer has room for that. */
    std::vector<unsigned char> in(c.data.begin(), c.data.end());
    in.resize(c.data.size() + 16, 'P');
    LONG set = RegSetValueExA(key, corpus_reg_arg(c.set_name), 0, c.type,
                              c.data_null ? NULL : in.data(), c.cb);

    std::vector<unsigned char> out(2100, CORPUS_REG_POISON);
    DWORD type = CORPUS_REG_TYPE_POISON;
    DWORD cb = c.query_cb;
    LONG query = RegQueryValueExA(key, corpus_reg_arg(c.query_name), NULL,
                                  c.type_null ? NULL : &type,
                                  c.query_data_null ? NULL : out.data(),
                                  c.query_cb_null ? NULL : &cb);
    RegCloseKey(key);

    std::string answer = "set " + corpus_num(set) + "; query " + corpus_num(query);
    if (!c.type_null)
        answer += " type " + (type == CORPUS_REG_TYPE_POISON ? std::string("untouched")
                                                             : corpus_num(type));
    if (!c.query_cb_null)
        answer += " cb " + corpus_num(cb);
    if (!c.query_data_null) {
        size_t n = out.size();
        while (n > 0 && out[n - 1] == CORPUS_REG_POISON)
            n--;
        answer += " data " + corpus_quote(std::string((const char *)out.data(), n));
    }
    return answer;
}
