// Papyr against libharu on the same document, side by side in one run, at
// 200 and 2,000 pages (cost per item should stay flat). Each iteration draws
// the whole document and writes the file.
#include "ReportLikeDocument.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace {

// A private folder for the written files, removed when the program ends.
struct ScratchFolder {
    std::string path;
    ScratchFolder()
    {
        const char *tmp = std::getenv("TMPDIR");
        path = std::string(tmp && *tmp ? tmp : "/tmp") + "/papyr-bench-XXXXXX";
        if (::mkdtemp(path.data()) == nullptr)
            throw std::runtime_error("mkdtemp failed");
    }
    ~ScratchFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

std::string scratchFile(const char *name)
{
    static const ScratchFolder folder;
    return folder.path + "/" + name;
}

template <long long (*Write)(int, const std::string &)>
void writeDocument(benchmark::State &state, const char *name)
{
    const int pages = static_cast<int>(state.range(0));
    const std::string path = scratchFile(name);
    long long bytes = 0;
    for (auto _ : state) {
        bytes = Write(pages, path);
        if (bytes == 0)
            state.SkipWithError("writing the document failed");
    }
    state.SetItemsProcessed(state.iterations() * pages * papyrbench::kRowsPerPage * 2);
    state.SetBytesProcessed(state.iterations() * bytes);
    state.counters["file_bytes"] = static_cast<double>(bytes);
}

void BM_Papyr(benchmark::State &state)
{
    writeDocument<papyrbench::writeWithPapyr>(state, "papyr.pdf");
}

void BM_Libharu(benchmark::State &state)
{
    writeDocument<papyrbench::writeWithLibharu>(state, "libharu.pdf");
}

BENCHMARK(BM_Papyr)->Arg(200)->Arg(2000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Libharu)->Arg(200)->Arg(2000)->Unit(benchmark::kMillisecond);

} // namespace
