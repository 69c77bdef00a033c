// Writes the benchmark document once, with one writer, in a process of its
// own, and prints the time taken, the file size and the process's peak
// resident memory, so the two writers' memory can be compared:
//   papyr_bench_driver papyr|libharu PAGES PATH
#include "ReportLikeDocument.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/resource.h>

int main(int argc, char **argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s papyr|libharu PAGES PATH\n", argv[0]);
        return 2;
    }
    const std::string writer = argv[1];
    const int pages = std::atoi(argv[2]);
    const auto start = std::chrono::steady_clock::now();
    long long bytes = 0;
    if (writer == "papyr")
        bytes = papyrbench::writeWithPapyr(pages, argv[3]);
    else if (writer == "libharu")
        bytes = papyrbench::writeWithLibharu(pages, argv[3]);
    else
        return 2;
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    struct rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    std::printf("%s pages=%d time_ms=%.1f file_bytes=%lld peak_rss_kib=%ld\n", writer.c_str(), pages, ms, bytes,
                usage.ru_maxrss);
    return bytes > 0 ? 0 : 1;
}
