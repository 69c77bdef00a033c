#include "PdfTestSupport.h"

#include "Papyrer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>

namespace papyrtest {

TempDir::TempDir()
{
    const char *parent = std::getenv("TELLAR_TEST_TMPDIR");
    std::string base = parent && *parent ? parent : "/tmp";
    std::filesystem::create_directories(base);
    std::string pattern = base + "/papyr-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed under " + base);
    m_path = pattern;
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void writeFile(const std::string &path, const std::string &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

bool fileExists(const std::string &path)
{
    return std::filesystem::exists(path);
}

CommandResult runCommand(const std::string &command)
{
    CommandResult result;
    FILE *pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (!pipe)
        return result;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        result.output.append(buffer, n);
    const int status = ::pclose(pipe);
    result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

static std::string quoted(const std::string &path)
{
    std::string q = "'";
    for (char c : path) {
        if (c == '\'')
            q += "'\\''";
        else
            q += c;
    }
    return q + "'";
}

CommandResult qpdfCheck(const std::string &path)
{
    return runCommand("qpdf --check " + quoted(path));
}

std::string pdfToText(const std::string &path)
{
    return runCommand("pdftotext -raw -enc UTF-8 " + quoted(path) + " -").output;
}

static bool startsAt(const std::string &s, size_t pos, const std::string &prefix)
{
    return pos <= s.size() && s.compare(pos, prefix.size(), prefix) == 0;
}

std::string checkXref(const std::string &pdf, XrefTable *table)
{
    const std::string tail = "\r\n%%EOF";
    if (pdf.size() < tail.size() || pdf.compare(pdf.size() - tail.size(), tail.size(), tail) != 0)
        return "file does not end with CR LF %%EOF";
    const size_t startxref = pdf.rfind("startxref\r\n");
    if (startxref == std::string::npos)
        return "no startxref";
    const size_t xref = std::stoull(pdf.substr(startxref + 11));
    if (!startsAt(pdf, xref, "xref\r\n0 "))
        return "startxref " + std::to_string(xref) + " does not point at \"xref\"";
    size_t pos = xref + 8;
    const size_t lineEnd = pdf.find("\r\n", pos);
    const int count = std::stoi(pdf.substr(pos, lineEnd - pos));
    pos = lineEnd + 2;

    XrefTable t;
    std::vector<std::pair<int, size_t>> freeLinks;
    for (int n = 0; n < count; ++n, pos += 20) {
        const std::string entry = pdf.substr(pos, 20);
        if (entry.size() != 20 || entry.compare(18, 2, "\r\n") != 0 || entry[10] != ' ' || entry[16] != ' ')
            return "entry " + std::to_string(n) + " is not a 20-byte line: " + entry;
        const size_t field = std::stoull(entry.substr(0, 10));
        const int generation = std::stoi(entry.substr(11, 5));
        if (entry[17] == 'n') {
            const std::string header = std::to_string(n) + " 0 obj\r\n";
            if (!startsAt(pdf, field, header) || (field > 0 && pdf[field - 1] != '\n'))
                return "offset of object " + std::to_string(n) + " does not point at its \"N 0 obj\" line";
            t.inUse[n] = field;
        } else if (entry[17] == 'f') {
            if (n == 0 && generation != 65535)
                return "entry 0 is not generation 65535";
            t.freeNumbers.insert(n);
            freeLinks.push_back({n, field});
        } else {
            return "entry " + std::to_string(n) + " is neither n nor f";
        }
    }
    if (!startsAt(pdf, pos, "trailer\r\n<<\r\n/Size " + std::to_string(count) + "\r\n"))
        return "trailer /Size does not equal the entry count " + std::to_string(count);
    // The free list starts at 0, visits every free number once in ascending
    // order and ends at 0.
    for (size_t i = 0; i < freeLinks.size(); ++i) {
        const size_t expected = i + 1 < freeLinks.size() ? static_cast<size_t>(freeLinks[i + 1].first) : 0;
        if (freeLinks[i].second != expected)
            return "free entry " + std::to_string(freeLinks[i].first) + " links to " +
                   std::to_string(freeLinks[i].second) + ", expected " + std::to_string(expected);
    }
    // Every object in the file is in the table.
    for (size_t at = pdf.find(" 0 obj\r\n"); at != std::string::npos; at = pdf.find(" 0 obj\r\n", at + 1)) {
        size_t begin = pdf.rfind('\n', at);
        begin = begin == std::string::npos ? 0 : begin + 1;
        const int number = std::stoi(pdf.substr(begin, at - begin));
        if (!t.inUse.count(number) || t.inUse[number] != begin)
            return "object " + std::to_string(number) + " in the file has no matching entry";
    }
    t.size = count;
    std::vector<std::pair<size_t, int>> byOffset;
    for (const auto &[number, offset] : t.inUse)
        byOffset.push_back({offset, number});
    std::sort(byOffset.begin(), byOffset.end());
    for (const auto &item : byOffset)
        t.fileOrder.push_back(item.second);
    if (table)
        *table = t;
    return {};
}

std::string streamBody(const std::string &pdf, int number, std::string *problem)
{
    const std::string header = "\n" + std::to_string(number) + " 0 obj\r\n<< /Length ";
    const size_t at = pdf.find(header);
    if (at == std::string::npos) {
        *problem = "no stream object " + std::to_string(number);
        return {};
    }
    const size_t lengthAt = at + header.size();
    const size_t length = std::stoull(pdf.substr(lengthAt));
    const size_t body = pdf.find(" >>\r\nstream\r\n", lengthAt);
    const size_t end = pdf.find("endstream\r\n", body);
    if (body == std::string::npos || end == std::string::npos) {
        *problem = "object " + std::to_string(number) + " is not a stream";
        return {};
    }
    const size_t begin = body + 13;
    if (end - begin != length) {
        *problem = "/Length " + std::to_string(length) + " but the stream holds " + std::to_string(end - begin) + " bytes";
        return {};
    }
    problem->clear();
    return pdf.substr(begin, length);
}

std::string writeAndCheck(Papyrer &pdf, const std::string &path, XrefTable *table)
{
    pdf.FileName(path);
    const std::string error = pdf.EndDoc();
    EXPECT_EQ(error, "");
    const CommandResult check = qpdfCheck(path);
    EXPECT_EQ(check.exitStatus, 0) << check.output;
    const std::string bytes = readFile(path);
    EXPECT_EQ(checkXref(bytes, table), "");
    return bytes;
}

size_t countOf(const std::string &haystack, const std::string &needle)
{
    size_t count = 0;
    for (size_t at = haystack.find(needle); at != std::string::npos; at = haystack.find(needle, at + needle.size()))
        ++count;
    return count;
}

} // namespace papyrtest
