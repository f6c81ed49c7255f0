/* Small text helpers shared by the world's file readers and writers. */
#ifndef TOOLS_KLAGENT_SIM_TEXTFILE_H
#define TOOLS_KLAGENT_SIM_TEXTFILE_H

#include <string>
#include <vector>

namespace ksim {

/* The whole file as bytes; false with "PATH: cannot be read" (or "PATH: is a directory") in
 * *error. */
bool text_file_read(const std::string &path, std::string *bytes, std::string *error);
/* s without leading and trailing spaces and TABs. */
std::string text_trim(const std::string &s);
/* s with the letters A-Z in lower case: names compare case-blind, as Windows compares them. */
std::string text_lower(const std::string &s);
bool text_names_equal(const std::string &a, const std::string &b);

/* A text file cut into lines, each with its own line end, so that a rewrite gives back every
 * line it does not change byte for byte. */
struct text_lines {
    std::string bom;                /* a UTF-8 byte-order mark the file began with, or "" */
    std::vector<std::string> lines; /* without their line ends */
    std::vector<std::string> ends;  /* each line's end as it stood: "\r\n", "\n", or "" for a
                                       last line without one */
    std::string eol;                /* the end new lines get: that of most lines ("\n" when
                                       LF alone ends more lines than CR LF) */
};
/* A line ends at an LF; a CR right before it belongs to the line end, any CR before that to
 * the line. */
void text_split_lines(const std::string &text, text_lines *out);

/* Builds a file's new text from kept lines (with their own ends) and new lines (with eol): a
 * last line that had no end gets one when a line follows it. */
class text_writer {
public:
    text_writer(const std::string &bom, const std::string &eol) : text_(bom), eol_(eol) {}
    void kept(const std::string &line, const std::string &end);
    void added(const std::string &line);
    /* Whether the text ends in an empty line (or is empty): where new sections need no blank
     * line in front of them. */
    bool ends_blank() const;
    const std::string &text() const { return text_; }

private:
    std::string text_;
    std::string eol_;
    bool open_ = false;       /* the last line has no end yet */
    bool last_empty_ = true;  /* the last line was empty, or there is none */
};

} // namespace ksim

#endif
