/* Small text helpers shared by the world's file readers. */
#ifndef TOOLS_KLAGENT_SIM_TEXTFILE_H
#define TOOLS_KLAGENT_SIM_TEXTFILE_H

#include <string>

namespace ksim {

/* The whole file as bytes; false with "PATH: cannot be read" in *error. */
bool text_file_read(const std::string &path, std::string *bytes, std::string *error);
/* s without leading and trailing spaces and TABs. */
std::string text_trim(const std::string &s);

} // namespace ksim

#endif
