/* The example office for klagent-sim tests: a fresh copy of examples/office per test, a run of
 * klagent-sim on it with its output captured, and whole-file helpers on the host. */
#ifndef TESTS_SUPPORT_EXAMPLE_OFFICE_H
#define TESTS_SUPPORT_EXAMPLE_OFFICE_H

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

/* What one klagent-sim run returned and printed. */
struct office_run {
    int code;
    std::string out;
    std::string err;
};

/* klagent-sim with these arguments (those after the program name). */
office_run office_klagent_sim(const std::vector<std::string> &args);

/* The bytes of a host file; "" when it cannot be read. */
std::string office_slurp(const std::filesystem::path &path);
/* Replace a host file's bytes. */
void office_write(const std::filesystem::path &path, const std::string &bytes);
/* Whether text has line as one of its lines. */
bool office_has_line(const std::string &text, const std::string &line);

/* A fresh copy of the example office in a temporary directory for each test. */
class ExampleOffice : public ::testing::Test {
protected:
    std::filesystem::path office;

    void SetUp() override;
    void TearDown() override;
    /* The path of one client's world, such as office/reception. */
    std::string world(const char *client) const;
};

/* Each row of a table is its own test on its own copy of the office. */
template <typename Row>
class ExampleOfficeRows : public ExampleOffice, public ::testing::WithParamInterface<Row> {
};

#endif
