// Helpers shared by the Papyr tests: a private scratch folder, reading the
// written file back, the external checkers (qpdf, pdftotext) and a parser of
// the cross-reference table that checks every offset against the file.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

class Papyrer;

namespace papyrtest {

// A fresh folder under TELLAR_TEST_TMPDIR (or /tmp), removed with its files.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    const std::string &path() const { return m_path; }
    std::string file(const std::string &name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

std::string readFile(const std::string &path);
void writeFile(const std::string &path, const std::string &bytes);
bool fileExists(const std::string &path);

struct CommandResult {
    int exitStatus = -1;
    std::string output;   // stdout and stderr
};
CommandResult runCommand(const std::string &command);

// qpdf --check on the file; exitStatus 0 means no damage found.
CommandResult qpdfCheck(const std::string &path);
// The text of the file through pdftotext -raw -enc UTF-8 (in drawing order;
// the default layout mode drops blanks between single letters).
std::string pdfToText(const std::string &path);

// The cross-reference table as read from the file, after every check passed.
struct XrefTable {
    int size = 0;                          // /Size of the trailer
    std::map<int, size_t> inUse;           // object number -> offset
    std::set<int> freeNumbers;             // 0 included
    std::vector<int> fileOrder;            // in-use numbers by offset
};
// Checks startxref, the subsection header, 20-byte entries, that every in-use
// offset is the start of its "N 0 obj" line, that the free entries form one
// list from entry 0, and that /Size equals the entry count. Empty when all
// holds, else what failed.
std::string checkXref(const std::string &pdf, XrefTable *table = nullptr);

// The bytes between "stream\r\n" and "endstream" of object `number`, checked
// against its /Length; an empty optional-like "" plus a failure in *problem.
std::string streamBody(const std::string &pdf, int number, std::string *problem);

// Writes pdf through EndDoc to `path` and runs every file check: EndDoc
// result empty, qpdf --check clean, the cross-reference table sound.
// Returns the file's bytes; failures are reported through gtest.
std::string writeAndCheck(Papyrer &pdf, const std::string &path, XrefTable *table = nullptr);

// Number of non-overlapping occurrences of needle in haystack.
size_t countOf(const std::string &haystack, const std::string &needle);

} // namespace papyrtest
