// The benchmark document, drawn the same way through Papyr and through
// libharu: every page holds 60 texts of 20 characters in Helvetica 9 pt and
// 60 horizontal lines, written uncompressed.
#pragma once

#include <string>

namespace papyrbench {

constexpr int kRowsPerPage = 60;

// Each writes a document of `pages` pages to `path` and returns the file's
// size in bytes (0 when writing failed).
long long writeWithPapyr(int pages, const std::string &path);
long long writeWithLibharu(int pages, const std::string &path);

} // namespace papyrbench
