/* The file families' marked differences between Wine and Windows (corpus_marks.cpp). */
#ifndef TESTS_CONFORMANCE_CORPUS_MARKS_H
#define TESTS_CONFORMANCE_CORPUS_MARKS_H

#include <string>

#include "conformance/corpus.h"
#include "support/conformance.h"

/* When a marked difference covers the case: true, with the answer Windows gives (derived from
 * the recorded Wine answer) and the marker. */
bool corpus_file_windows_answer(const corpus_case &c, const std::string &recorded,
                                std::string *windows, const ws_difference **marker);

#endif
