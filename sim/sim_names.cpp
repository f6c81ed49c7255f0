/* How the simulation compares names: without regard to the case of A-Z, as Windows compares
 * keys, values, files, shares, variables, sections and classes, and otherwise exactly. */
#include "sim/sim_internal.h"

#include <string.h>

char simi_fold(char c)
{
    return (c >= 'A' && c <= 'Z') ? (char)(c - 'A' + 'a') : c;
}

std::string simi_folded(const std::string &name)
{
    std::string folded(name);
    for (char &c : folded)
        c = simi_fold(c);
    return folded;
}

bool simi_same_n(const char *a, size_t na, const char *b, size_t nb)
{
    if (na != nb)
        return false;
    for (size_t i = 0; i < na; i++)
        if (simi_fold(a[i]) != simi_fold(b[i]))
            return false;
    return true;
}

bool simi_same(const std::string &a, const std::string &b)
{
    return simi_same_n(a.data(), a.size(), b.data(), b.size());
}

bool simi_same(const std::string &a, const char *b)
{
    return simi_same_n(a.data(), a.size(), b, strlen(b));
}

bool simi_same(const char *a, const char *b)
{
    return simi_same_n(a, strlen(a), b, strlen(b));
}

bool simi_drive_letter(char c, char *upper)
{
    if (c >= 'a' && c <= 'z')
        c = (char)(c - 'a' + 'A');
    if (c < 'A' || c > 'Z')
        return false;
    *upper = c;
    return true;
}
