/* Tables of test rows as parameterised tests: each row its own test, on a fresh fixture with its
 * own checks, named after the row's description (the row type's member name). */
#ifndef TESTS_SUPPORT_ROWS_H
#define TESTS_SUPPORT_ROWS_H

#include <gtest/gtest.h>

#include <ctype.h>

#include <string>

/* A row's description as a test name: its letters and digits, every other run of characters
 * one underscore. */
inline std::string row_test_name(const char *description)
{
    std::string name;
    for (const char *p = description; *p != '\0'; p++) {
        if (isalnum((unsigned char)*p))
            name += *p;
        else if (!name.empty() && name.back() != '_')
            name += '_';
    }
    while (!name.empty() && name.back() == '_')
        name.pop_back();
    return name;
}

struct RowName {
    template <typename Row> std::string operator()(const ::testing::TestParamInfo<Row> &info) const
    {
        return row_test_name(info.param.name);
    }
};

/* One test per row of the array rows for every TEST_P of suite. */
#define VX_ROWS(suite, rows) \
    INSTANTIATE_TEST_SUITE_P(Rows, suite, ::testing::ValuesIn(rows), RowName())

#endif
